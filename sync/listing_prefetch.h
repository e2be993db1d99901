// Lists directories ahead of a scan on a few threads, so that on a share
// the round trips of many listings overlap. The scan still takes every
// listing in its own order and handles its records as before, so the
// registries and the log lines come out exactly as a sequential scan makes
// them.
#pragma once

#include <windows.h>
#include <cstddef>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "fsops/fs_calls.h"
#include "fsops/work_pool.h"
#include "sync/listing_records.h"
#include "sync/scan_walk.h"

// Threads for listing a tree below root: as set, or when 0 several on a
// network drive and none elsewhere.
std::size_t listingThreads(std::size_t setting, const char* root);

class ListingPrefetch {
public:
    // What the listings held ahead may take in all: a record takes about 50
    // bytes and its name, so tens of thousands of files. Held by count, a few
    // huge directories would take hundreds of MiB of a 32-bit process.
    static constexpr std::size_t kAheadBytes = 4u << 20;

    // With fewer than two threads nothing is listed ahead; threads that
    // cannot be started are done without. A thread starts another listing
    // only while what is held ahead takes less than kAheadBytes; a listing
    // under way is finished whatever it takes.
    ListingPrefetch(FileSystemCalls& fs, std::size_t threads);
    ListingPrefetch(const ListingPrefetch&) = delete;
    ListingPrefetch& operator=(const ListingPrefetch&) = delete;

    // Patterns the scan will take later; the last given is listed first, as
    // a depth-first walk takes them.
    void ahead(const std::vector<std::string>& patterns);

    // Lists pattern (or takes what was listed ahead) and hands each record to
    // onRecord(record, exact), as scan::listDirectory does. Rethrows what a
    // listing thread threw (a stop, or any failure) at the first call after.
    template <typename OnRecord>
    scan::Listing list(const std::string& pattern, DWORD* error, OnRecord onRecord);

private:
    struct Result {
        bool done = false;
        scan::Listing kind = scan::Listing::Done;
        DWORD error = 0;
        ListingRecords records;
    };
    void listAhead(const std::string& pattern);
    // What a thread listed, waited for; false when no thread has started
    // the listing (none will now: the scan lists it itself).
    bool take(const std::string& pattern, Result& taken);
    static std::size_t weight(const std::string& pattern, const Result& result);

    FileSystemCalls& fs_;
    // Guarded by the pool's lock.
    std::map<std::string, Result> held_;          // started or done, not taken yet
    std::size_t heldBytes_ = 0;                   // what the done ones in held_ take
    std::unordered_set<std::string> listedHere_;  // taken by the scan before a thread started them
    WorkPool pool_;                               // last: its threads end before what they fill goes
};

template <typename OnRecord>
scan::Listing ListingPrefetch::list(const std::string& pattern, DWORD* error, OnRecord onRecord) {
    if (!pool_.threads()) return scan::listDirectory(fs_, pattern, error, onRecord);
    Result r;
    if (!take(pattern, r)) return scan::listDirectory(fs_, pattern, error, onRecord);
    r.records.forEach(onRecord);
    *error = r.error;
    return r.kind;
}
