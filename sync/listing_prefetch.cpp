#include "sync/listing_prefetch.h"

#include "fsops/path_forms.h"

std::size_t listingThreads(std::size_t setting, const char* root) {
    return setting ? setting : onNetworkDrive(root) ? 4 : 0;
}

ListingPrefetch::ListingPrefetch(FileSystemCalls& fs, std::size_t threads) : fs_(fs) {
    if (threads > 1)
        for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { serve(); });
}

ListingPrefetch::~ListingPrefetch() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        closing_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void ListingPrefetch::ahead(const std::vector<std::string>& patterns) {
    if (threads_.empty() || patterns.empty()) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        wanted_.insert(wanted_.end(), patterns.rbegin(), patterns.rend());
    }
    changed_.notify_all();
}

void ListingPrefetch::fill(const std::string& pattern, Result& result) {
    result.kind = scan::listDirectory(fs_, pattern, &result.error, [&](const WIN32_FIND_DATAA& d, bool exact) {
        result.records.emplace_back(d, exact);
    });
}

void ListingPrefetch::serve() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        changed_.wait(hold, [&] { return closing_ || (!wanted_.empty() && held_.size() < kAhead); });
        if (closing_) return;
        std::string pattern = std::move(wanted_.back());
        wanted_.pop_back();
        if (listedHere_.erase(pattern)) continue;
        held_.emplace(pattern, Result{});
        hold.unlock();
        Result listed;
        try {
            fill(pattern, listed);
        } catch (...) {
            listed.thrown = std::current_exception();
        }
        hold.lock();
        listed.done = true;
        held_[pattern] = std::move(listed);  // std::map keeps other entries in place
        changed_.notify_all();
    }
}

ListingPrefetch::Result ListingPrefetch::take(const std::string& pattern) {
    std::unique_lock<std::mutex> hold(lock_);
    auto started = held_.find(pattern);
    if (started == held_.end()) {
        // Not started: list it here rather than wait for a thread.
        listedHere_.insert(pattern);
        hold.unlock();
        Result r;
        fill(pattern, r);
        return r;
    }
    changed_.wait(hold, [&] { return held_[pattern].done; });
    Result r = std::move(held_[pattern]);
    held_.erase(pattern);
    hold.unlock();
    changed_.notify_all();
    return r;
}
