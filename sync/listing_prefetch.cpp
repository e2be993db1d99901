#include "sync/listing_prefetch.h"

#include <utility>

#include "fsops/path_forms.h"
#include "fsops/thread_start.h"

std::size_t listingThreads(std::size_t setting, const char* root) {
    return setting ? setting : onNetworkDrive(root) ? 4 : 0;
}

ListingPrefetch::ListingPrefetch(FileSystemCalls& fs, std::size_t threads) : fs_(fs) {
    if (threads > 1) startThreads(threads_, threads, [this] { serve(); });
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

// A held listing's records, and a little for its entry and pattern: empty
// directories count too.
std::size_t ListingPrefetch::weight(const std::string& pattern, const Result& result) {
    return result.records.bytes() + pattern.size() + 64;
}

void ListingPrefetch::fill(const std::string& pattern, Result& result) {
    result.kind = scan::listDirectory(fs_, pattern, &result.error, [&](const WIN32_FIND_DATAA& d, bool exact) {
        result.records.add(d, exact);
    });
    result.records.trim();
}

// Whatever a listing or the thread itself throws goes to the scan's thread,
// and no listing starts after it; the thread ends quietly.
void ListingPrefetch::serve() noexcept {
    std::unique_lock<std::mutex> hold(lock_, std::defer_lock);
    try {
        hold.lock();
        for (;;) {
            changed_.wait(hold, [&] {
                return closing_ || thrown_ || (!wanted_.empty() && heldBytes_ < kAheadBytes);
            });
            if (closing_ || thrown_) return;
            std::string pattern = std::move(wanted_.back());
            wanted_.pop_back();
            if (listedHere_.erase(pattern)) continue;
            held_.emplace(pattern, Result{});
            hold.unlock();
            Result listed;
            fill(pattern, listed);
            listed.done = true;
            hold.lock();
            heldBytes_ += weight(pattern, listed);
            held_[pattern] = std::move(listed);  // std::map keeps other entries in place
            changed_.notify_all();
        }
    } catch (...) {
        if (!hold.owns_lock()) hold.lock();
        if (!thrown_) thrown_ = std::current_exception();
        hold.unlock();
        changed_.notify_all();
    }
}

bool ListingPrefetch::take(const std::string& pattern, Result& taken) {
    std::unique_lock<std::mutex> hold(lock_);
    if (thrown_) std::rethrow_exception(thrown_);
    auto started = held_.find(pattern);
    if (started == held_.end()) {
        listedHere_.insert(pattern);
        return false;
    }
    changed_.wait(hold, [&] { return thrown_ || started->second.done; });
    if (thrown_) std::rethrow_exception(thrown_);
    taken = std::move(started->second);
    held_.erase(started);
    heldBytes_ -= weight(pattern, taken);
    hold.unlock();
    changed_.notify_all();
    return true;
}
