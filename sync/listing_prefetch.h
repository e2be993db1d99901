// Lists directories ahead of a scan on a few threads, so that on a share
// the round trips of many listings overlap. The scan still takes every
// listing in its own order and handles its records as before, so the
// registries and the log lines come out exactly as a sequential scan makes
// them.
#pragma once

#include <windows.h>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "fsops/fs_calls.h"
#include "sync/scan_walk.h"

// Threads for listing a tree below root: as set, or when 0 several on a
// network drive and none elsewhere.
std::size_t listingThreads(std::size_t setting, const char* root);

class ListingPrefetch {
public:
    // With fewer than two threads nothing is listed ahead.
    ListingPrefetch(FileSystemCalls& fs, std::size_t threads);
    ~ListingPrefetch();
    ListingPrefetch(const ListingPrefetch&) = delete;
    ListingPrefetch& operator=(const ListingPrefetch&) = delete;

    // Patterns the scan will take later; the last given is listed first, as
    // a depth-first walk takes them.
    void ahead(const std::vector<std::string>& patterns);

    // Lists pattern (or takes what was listed ahead) and hands each record to
    // onRecord(record, exact), as scan::listDirectory does.
    template <typename OnRecord>
    scan::Listing list(const std::string& pattern, DWORD* error, OnRecord onRecord);

private:
    struct Result {
        bool done = false;
        scan::Listing kind = scan::Listing::Done;
        DWORD error = 0;
        std::vector<std::pair<WIN32_FIND_DATAA, bool>> records;
        std::exception_ptr thrown;  // a stop met on a listing thread, rethrown on the scan's
    };
    void serve();
    void fill(const std::string& pattern, Result& result);
    Result take(const std::string& pattern);

    static constexpr std::size_t kAhead = 64;  // listings held ahead at most

    FileSystemCalls& fs_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> wanted_;     // not started yet, the next at the back
    std::map<std::string, Result> held_;  // started or done, not taken yet
    std::unordered_set<std::string> listedHere_;  // taken by the scan before a thread started them
    bool closing_ = false;
    std::vector<std::thread> threads_;
};

template <typename OnRecord>
scan::Listing ListingPrefetch::list(const std::string& pattern, DWORD* error, OnRecord onRecord) {
    if (threads_.empty()) return scan::listDirectory(fs_, pattern, error, onRecord);
    Result r = take(pattern);
    if (r.thrown) std::rethrow_exception(r.thrown);
    for (const auto& [record, exact] : r.records) onRecord(record, exact);
    *error = r.error;
    return r.kind;
}
