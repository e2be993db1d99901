// Lines of the copying phase, written in list order although copies that
// run side by side end in any order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The lines one step writes and the errors it counts, kept until its turn.
class LogBlock {
public:
    void out(std::string line) { lines_.emplace_back(false, std::move(line)); }
    void err(std::string line) { lines_.emplace_back(true, std::move(line)); }
    void count(int32_t errors = 1) { errors_ += errors; }
    void countCopy() { ++copies_; }
    // Each line goes to its stream with a line end that flushes; the errors
    // are added to errorCount, the copies made to copies.
    void writeTo(int32_t& errorCount, int32_t& copies) const;

private:
    std::vector<std::pair<bool, std::string>> lines_;  // (error stream, text)
    int32_t errors_ = 0;
    int32_t copies_ = 0;
};

// Turns are taken in list order; a finished block is written as soon as
// every block before it has been, so nothing is held to the end. errorCount
// and copies change only here while copies run.
class OrderedLog {
public:
    OrderedLog(int32_t& errorCount, int32_t& copies) : errorCount_(errorCount), copies_(copies) {}
    std::size_t take();
    void finish(std::size_t turn, LogBlock block);

private:
    std::mutex lock_;
    std::deque<std::optional<LogBlock>> waiting_;
    std::size_t first_ = 0;  // the turn of waiting_.front()
    int32_t& errorCount_;
    int32_t& copies_;
};
