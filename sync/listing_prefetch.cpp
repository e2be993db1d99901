#include "sync/listing_prefetch.h"

#include <cstring>
#include <utility>

#include "fsops/path_forms.h"

std::size_t listingThreads(std::size_t setting, const char* root) {
    return setting ? setting : onNetworkDrive(root) ? WorkPool::kShareThreads : 0;
}

std::size_t destinationListingThreads(std::size_t setting, const char* root) {
    std::size_t threads = listingThreads(setting, root);
    return threads ? threads : 1;
}

ListingPrefetch::ListingPrefetch(FileSystemCalls& fs, std::size_t threads, WorkPool::Owner owner)
    : fs_(fs),
      pool_(
          threads, [this] { return heldBytes_ < kAheadBytes; }, owner) {}

void ListingPrefetch::ahead(const std::string& dir, const std::vector<std::string>& patterns) {
    if (pool_.threads() < 2) return;
    std::vector<WorkPool::Task> tasks;
    std::vector<std::string> guesses;
    tasks.reserve(patterns.size());
    pool_.locked([&] {
        for (const std::string& pattern : patterns) {
            auto [at, added] = held_.emplace(pattern, Result{});
            Result& entry = at->second;
            entry.asked = true;
            if (entry.guessed && entry.state == State::Done) guessBelow(pattern, entry, guesses);
            entry.guessed = false;
            // One queued behind: listed now; the later task finds it started.
            if (added || entry.state == State::Queued) tasks.emplace_back([this, pattern] { listAhead(pattern); });
        }
        // The guesses directly below dir still guesses are not entered. A
        // guess lists no guesses of its own, so nothing lies below them.
        for (auto at = held_.lower_bound(dir); at != held_.end() && at->first.compare(0, dir.size(), dir) == 0;) {
            bool child = at->first.find('\\', dir.size()) + 4 == at->first.size();
            if (child && at->second.guessed)
                drop(at++);
            else
                ++at;
        }
    });
    if (!tasks.empty()) pool_.runFirst(std::move(tasks));
    runGuesses(guesses);
}

void ListingPrefetch::guessBelow(const std::string& pattern, const Result& listed, std::vector<std::string>& guesses) {
    if (listed.kind != scan::Listing::Done) return;
    const std::string dir = pattern.substr(0, pattern.rfind('\\') + 1);
    if (!deadDir_.empty() && dir.compare(0, deadDir_.size(), deadDir_) == 0) return;
    listed.records.forEach([&](const WIN32_FIND_DATAA& d, bool exact) {
        const DWORD attributes = d.dwFileAttributes;
        // Links are left to the scan, which looks for cycles through them.
        if (!exact || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
            std::strcmp(d.cFileName, ".") == 0 || std::strcmp(d.cFileName, "..") == 0)
            return;
        std::string below = dir + d.cFileName + "\\*.*";
        auto [at, added] = held_.emplace(below, Result{});
        if (!added) return;
        at->second.guessed = true;
        guesses.push_back(std::move(below));
    });
}

void ListingPrefetch::runGuesses(const std::vector<std::string>& guesses) {
    for (const std::string& pattern : guesses) pool_.runLast([this, pattern] { listAhead(pattern); });
}

void ListingPrefetch::queue(const std::string& pattern, std::size_t expectedBytes) {
    if (!pool_.threads() || expectedBytes > kLargestQueued) return;
    bool queued = pool_.when([] { return true; },
                             [&] {
                                 if (!deadDir_.empty() && pattern.compare(0, deadDir_.size(), deadDir_) == 0)
                                     return false;
                                 std::size_t charge = expectedBytes + pattern.size() + 64;
                                 if (heldBytes_ + expectedBytes_ + charge > kAheadBytes) return false;
                                 auto [at, added] = held_.emplace(pattern, Result{});
                                 if (!added) return false;
                                 at->second.charge = charge;
                                 expectedBytes_ += charge;
                                 return true;
                             });
    if (queued) pool_.runLast([this, pattern] { listAhead(pattern); });
}

void ListingPrefetch::forget(const std::string& dir) {
    if (!pool_.threads()) return;
    pool_.locked([&] {
        for (auto at = held_.lower_bound(dir); at != held_.end() && at->first.compare(0, dir.size(), dir) == 0;)
            drop(at++);  // one running finds itself gone and keeps nothing
    });
}

// A held listing's records, and a little for its entry and pattern: empty
// directories count too.
std::size_t ListingPrefetch::weight(const std::string& pattern, const Result& result) {
    return result.records.bytes() + pattern.size() + 64;
}

void ListingPrefetch::drop(Held::iterator at) {
    (at->second.state == State::Done ? heldBytes_ : expectedBytes_) -= at->second.charge;
    held_.erase(at);
}

void ListingPrefetch::dropQueuedBelow(const std::string& dir) {
    for (auto at = held_.lower_bound(dir); at != held_.end() && at->first.compare(0, dir.size(), dir) == 0;) {
        if (at->second.state == State::Queued)
            drop(at++);
        else
            ++at;
    }
}

void ListingPrefetch::listAhead(const std::string& pattern) {
    bool mine = pool_.locked([&] {
        auto at = held_.find(pattern);
        if (at == held_.end() || at->second.state != State::Queued) return false;
        at->second.state = State::Running;
        return true;
    });
    if (!mine) return;
    Result listed;
    listed.kind = scan::listDirectory(fs_, pattern, &listed.error,
                                      [&](const WIN32_FIND_DATAA& d, bool exact) { listed.records.add(d, exact); });
    listed.records.trim();
    std::vector<std::string> guesses;
    pool_.locked([&] {
        auto at = held_.find(pattern);
        if (at == held_.end() || at->second.state != State::Running) return;  // forgotten meanwhile
        if (listed.kind != scan::Listing::Done) {
            // The scan enters nothing below a directory that is missing or
            // cannot be listed: what was queued there goes, and nothing more is.
            std::string dir = pattern.substr(0, pattern.rfind('\\') + 1);
            dropQueuedBelow(dir);
            if (deadDir_.empty() || dir.compare(0, deadDir_.size(), deadDir_) != 0) deadDir_ = dir;
            // Most missing directories are never asked for: their parents
            // on the other side lack them.
            if (listed.kind == scan::Listing::Missing && !at->second.awaited) return drop(at);
        }
        expectedBytes_ -= at->second.charge;
        listed.state = State::Done;
        listed.awaited = at->second.awaited;
        listed.guessed = at->second.guessed;
        listed.asked = at->second.asked;
        // One the scan waits for is entered at once, and asks for its own.
        if (listed.asked && !listed.awaited) guessBelow(pattern, listed, guesses);
        listed.charge = weight(pattern, listed);
        heldBytes_ += listed.charge;
        at->second = std::move(listed);  // std::map keeps other entries in place
    });
    runGuesses(guesses);
}

bool ListingPrefetch::take(const std::string& pattern, Result& taken) {
    Held::iterator started;  // stays valid: nothing drops an entry the scan waits for
    bool found = pool_.when([] { return true; },
                            [&] {
                                started = held_.find(pattern);
                                if (started == held_.end()) return false;
                                if (started->second.state == State::Queued) {
                                    drop(started);  // listed here now; its task finds it gone
                                    return false;
                                }
                                started->second.awaited = true;
                                return true;
                            });
    if (!found) return false;
    taken = pool_.when([&] { return started->second.state == State::Done; },
                       [&] {
                           heldBytes_ -= started->second.charge;
                           Result r = std::move(started->second);
                           held_.erase(started);
                           return r;
                       });
    return true;
}
