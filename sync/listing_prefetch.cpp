#include "sync/listing_prefetch.h"

#include <utility>

#include "fsops/path_forms.h"

std::size_t listingThreads(std::size_t setting, const char* root) {
    return setting ? setting : onNetworkDrive(root) ? WorkPool::kShareThreads : 0;
}

ListingPrefetch::ListingPrefetch(FileSystemCalls& fs, std::size_t threads)
    : fs_(fs), pool_(threads, [this] { return heldBytes_ < kAheadBytes; }) {}

void ListingPrefetch::ahead(const std::vector<std::string>& patterns) {
    if (!pool_.threads() || patterns.empty()) return;
    std::vector<WorkPool::Task> tasks;
    tasks.reserve(patterns.size());
    for (const std::string& pattern : patterns) tasks.emplace_back([this, pattern] { listAhead(pattern); });
    pool_.runFirst(std::move(tasks));
}

// A held listing's records, and a little for its entry and pattern: empty
// directories count too.
std::size_t ListingPrefetch::weight(const std::string& pattern, const Result& result) {
    return result.records.bytes() + pattern.size() + 64;
}

void ListingPrefetch::listAhead(const std::string& pattern) {
    bool mine = pool_.locked([&] {
        if (listedHere_.erase(pattern)) return false;
        held_.emplace(pattern, Result{});
        return true;
    });
    if (!mine) return;
    Result listed;
    listed.kind = scan::listDirectory(fs_, pattern, &listed.error,
                                      [&](const WIN32_FIND_DATAA& d, bool exact) { listed.records.add(d, exact); });
    listed.records.trim();
    listed.done = true;
    pool_.locked([&] {
        heldBytes_ += weight(pattern, listed);
        held_[pattern] = std::move(listed);  // std::map keeps other entries in place
    });
}

bool ListingPrefetch::take(const std::string& pattern, Result& taken) {
    std::map<std::string, Result>::iterator started;  // stays valid: only this thread erases
    bool found = pool_.when([] { return true; },
                            [&] {
                                started = held_.find(pattern);
                                if (started != held_.end()) return true;
                                listedHere_.insert(pattern);
                                return false;
                            });
    if (!found) return false;
    taken = pool_.when([&] { return started->second.done; },
                       [&] {
                           Result r = std::move(started->second);
                           held_.erase(started);
                           heldBytes_ -= weight(pattern, r);
                           return r;
                       });
    return true;
}
