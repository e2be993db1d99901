// Lists directories ahead of a scan on a few threads, so that on a share
// the round trips of many listings overlap, and the destination is listed
// while the source is scanned. The scan still takes every listing in its
// own order and handles its records as before, so the registries and the
// log lines come out exactly as a sequential scan makes them.
#pragma once

#include <windows.h>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "fsops/fs_calls.h"
#include "fsops/work_pool.h"
#include "sync/listing_records.h"
#include "sync/scan_walk.h"

// Threads for listing a tree below root: as set, or when 0 several on a
// network drive and none elsewhere.
std::size_t listingThreads(std::size_t setting, const char* root);
// Threads that list the destination while the source is scanned: as for
// listingThreads, but at least one (beside a busy owner one thread gains).
std::size_t destinationListingThreads(std::size_t setting, const char* root);

class ListingPrefetch {
public:
    // What the listings held ahead may take in all: a record takes about 50
    // bytes and its name, so tens of thousands of files. Held by count, a few
    // huge directories would take hundreds of MiB of a 32-bit process.
    static constexpr std::size_t kAheadBytes = 4u << 20;
    // A directory expected to take more than this is not queued: held whole
    // it would only add to the memory of the scan that takes it.
    static constexpr std::size_t kLargestQueued = kAheadBytes / 4;

    // With fewer than two threads and an owner that waits nothing is listed
    // ahead; beside an owner that goes on (WorkPool::Owner::GoesOn) one
    // thread lists what queue() gives it. Threads that cannot be started are
    // done without. A thread starts another listing only while what is held
    // ahead takes less than kAheadBytes; a listing under way is finished
    // whatever it takes.
    ListingPrefetch(FileSystemCalls& fs, std::size_t threads, WorkPool::Owner owner = WorkPool::Owner::Waits);
    ListingPrefetch(const ListingPrefetch&) = delete;
    ListingPrefetch& operator=(const ListingPrefetch&) = delete;

    // The subdirectories of dir (ending with '\') the scan enters, as their
    // patterns, in the order it takes them; they are listed first. Only with
    // several threads: a listing taken as soon as it is made only holds its
    // records twice. A listing asked for here also lists its own plain
    // subdirectories, after everything asked: on a share the scan then finds
    // the next level listed too. Of those, what the scan does not enter is
    // dropped here, when its parent's entered ones are given: each directory
    // left out (by the rules, say) is listed once at most, nothing below it.
    void ahead(const std::string& dir, const std::vector<std::string>& patterns);

    // A pattern a later scan will take, listed after those queued before.
    // expectedBytes is what its records are thought to take; it is queued
    // only while that fits beside what is held and queued already, within
    // kAheadBytes, and never over kLargestQueued. Nothing is queued below a
    // directory found missing or unlistable: the scan enters none of it.
    void queue(const std::string& pattern, std::size_t expectedBytes);

    // The scan will take nothing below dir (ending with '\') by that name:
    // what is held or queued there goes.
    void forget(const std::string& dir);

    // Lists pattern (or takes what was listed ahead) and hands each record to
    // onRecord(record, exact), as scan::listDirectory does. Rethrows what a
    // listing thread threw (a stop, or any failure) at the first call after;
    // so does every call but forget.
    template <typename OnRecord>
    scan::Listing list(const std::string& pattern, DWORD* error, OnRecord onRecord);

private:
    enum class State { Queued, Running, Done };
    struct Result {
        State state = State::Queued;
        bool awaited = false;    // the scan waits for it
        bool asked = false;      // given to ahead(): its plain subdirectories are guessed
        bool guessed = false;    // queued as a subdirectory of one asked for, not asked for itself
        std::size_t charge = 0;  // expected bytes until done, then what it holds
        scan::Listing kind = scan::Listing::Done;
        DWORD error = 0;
        ListingRecords records;
    };
    using Held = std::map<std::string, Result>;

    void listAhead(const std::string& pattern);
    // With the pool's lock held: the tasks that list the plain
    // subdirectories of a listing asked for, as guesses.
    void guessBelow(const std::string& pattern, const Result& listed, std::vector<std::string>& guesses);
    void runGuesses(const std::vector<std::string>& guesses);
    // What a thread listed, waited for; false when no thread has started
    // the listing (none will now: the scan lists it itself).
    bool take(const std::string& pattern, Result& taken);
    static std::size_t weight(const std::string& pattern, const Result& result);
    // With the pool's lock held: removes an entry and what it counts.
    void drop(Held::iterator at);
    void dropQueuedBelow(const std::string& dir);

    FileSystemCalls& fs_;
    // Guarded by the pool's lock. Entries are made when queued; the thread
    // that lists one and the scan that takes it find it by its pattern.
    Held held_;
    std::size_t heldBytes_ = 0;      // what the done entries hold
    std::size_t expectedBytes_ = 0;  // what the queued and running ones are expected to
    std::string deadDir_;            // found missing or unlistable: nothing more is queued below
    WorkPool pool_;                  // last: its threads end before what they fill goes
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
