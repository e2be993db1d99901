#include "fsops/ordered_log.h"

#include <iostream>

void LogBlock::writeTo(int32_t& errorCount, int32_t& copies) const {
    for (const auto& [toErrors, text] : lines_) (toErrors ? std::cerr : std::cout) << text << std::endl;
    errorCount += errors_;
    copies += copies_;
}

std::size_t OrderedLog::take() {
    std::lock_guard<std::mutex> hold(lock_);
    waiting_.emplace_back();
    return first_ + waiting_.size() - 1;
}

void OrderedLog::finish(std::size_t turn, LogBlock block) {
    std::lock_guard<std::mutex> hold(lock_);
    waiting_[turn - first_] = std::move(block);
    while (!waiting_.empty() && waiting_.front()) {
        waiting_.front()->writeTo(errorCount_, copies_);
        waiting_.pop_front();
        ++first_;
    }
}
