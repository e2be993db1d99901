// Scanning real trees: destination-only directories, root-only scans,
// directories that cannot be listed, letter case, link cycles, the path
// limit and the listings made on other threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <functional>
#include <stdexcept>
#include <thread>

#include "support/pass_fixture.h"
#include "sync/listing_prefetch.h"
#include "worker/gated_calls.h"

using test::contents;
using test::describe;
using Lines = std::vector<std::string>;

namespace {

Lines sorted(Lines v) {
    std::sort(v.begin(), v.end());
    return v;
}

// Every listing under a virtual root lists one real directory instead, so a
// tree of any depth can be walked without building it.
class MappedListings : public WindowsFileSystem {
public:
    MappedListings(std::string prefix, std::string real) : prefix_(std::move(prefix)), real_(std::move(real)) {}
    HANDLE findFirstFile(const char* pattern, WIN32_FIND_DATAW* data) override {
        if (std::string(pattern).compare(0, prefix_.size(), prefix_) == 0)
            return WindowsFileSystem::findFirstFile((real_ + "\\*.*").c_str(), data);
        return WindowsFileSystem::findFirstFile(pattern, data);
    }

private:
    std::string prefix_, real_;
};

// Refused listings as RefusingListings, and who listed which pattern: the
// thread that made the seam (the scan's) or another. With fail set, every
// listing on another thread calls it, and the scan's second listing waits
// (up to a minute) until one has.
class WatchedListings : public test::RefusingListings {
public:
    HANDLE findFirstFile(const char* pattern, WIN32_FIND_DATAW* data) override {
        bool scans = std::this_thread::get_id() == scanThread_;
        {
            std::unique_lock<std::mutex> hold(lock_);
            (scans ? byScan : byOthers).push_back(pattern);
            if (fail && scans && byScan.size() == 2)
                listed_.wait_for(hold, std::chrono::seconds(60), [&] { return !byOthers.empty(); });
        }
        listed_.notify_all();
        if (fail && !scans) fail();
        return RefusingListings::findFirstFile(pattern, data);
    }
    std::vector<std::string> byScan, byOthers;
    std::function<void()> fail;

private:
    std::mutex lock_;
    std::condition_variable listed_;
    std::thread::id scanThread_ = std::this_thread::get_id();
};

// Every node of a registry, depth first: its name, flags and contents, and
// each file's attributes, size and time.
std::vector<Lines> dump(const DirNode* root) {
    std::vector<Lines> nodes;
    for (std::vector<const DirNode*> todo{root}; !todo.empty();) {
        const DirNode* n = todo.back();
        todo.pop_back();
        Lines node = contents(n);
        node.push_back(n->record.name + " " + std::to_string(n->record.flags));
        for (const FileEntry& f : n->record.files)
            node.push_back(std::to_string(f.attributes) + " " + std::to_string(f.size) + " " +
                           std::to_string(f.lastWrite.dwLowDateTime));
        nodes.push_back(std::move(node));
        for (const DirNode* c = n->firstChild; c; c = c->nextSibling) todo.push_back(c);
    }
    return nodes;
}

}  // namespace

TEST(EngineScan, DestinationOnlyDirectoriesWithAndWithoutDeletion) {
    for (bool deletion : {false, true}) {
        SCOPED_TRACE(deletion);
        test::EngineTrees t;
        t.run.settings.deleteExtraFiles = deletion;
        t.put(t.src, "both\\a.txt");
        t.put(t.dst, "both\\a.txt");
        t.put(t.dst, "both\\extra.txt");
        t.put(t.dst, "extra\\inner\\f.txt");
        SyncRegistry source, dest;
        Pass pass = t.run.pass();
        sourceScan(pass, source, false);
        mirrorStructure(dest.root, source.root);
        destinationScan(pass, dest, source, false);
        if (deletion) {
            EXPECT_EQ(contents(dest.root), (Lines{"both/", "extra/"}));
            EXPECT_TRUE(testFlag(dest.root->lastChild->record, DirDelete));
            EXPECT_EQ(dest.root->lastChild->firstChild, nullptr);  // contents not recorded
            EXPECT_TRUE(dest.root->lastChild->record.files.empty());
        } else {
            EXPECT_EQ(contents(dest.root), (Lines{"both/"}));
        }
        EXPECT_FALSE(testFlag(dest.root->firstChild->record, DirMissing));  // found
        EXPECT_EQ(sorted(contents(dest.root->firstChild)), (Lines{"a.txt", "extra.txt"}));
    }
}

TEST(EngineScan, RootOnlyScansRecordTheRootFilesAlone) {
    test::EngineTrees t;
    t.run.settings.ignoreList = {"tolvaren.err"};
    t.put(t.src, "a.txt");
    t.put(t.src, "sub\\b.txt");
    t.put(t.dst, "c.txt");
    t.put(t.dst, "tolvaren.err");
    t.put(t.dst, "sub2\\d.txt");
    t.run.settings.deleteExtraFiles = true;
    SyncRegistry source, dest;
    Pass pass = t.run.pass();
    sourceScan(pass, source, true);
    destinationScan(pass, dest, source, true);
    EXPECT_EQ(contents(source.root), (Lines{"a.txt"}));
    EXPECT_EQ(contents(dest.root), (Lines{"c.txt"}));
    compareTrees(source.root, dest.root);
    EXPECT_EQ(contents(source.root), (Lines{"a.txt"}));  // a difference
    EXPECT_TRUE(source.root->record.files.front().isNew);
}

TEST(EngineScan, UnreadableSourceDirectoryIsLeftOutOnBothSides) {
    test::EngineTrees t;
    test::RefusingListings listings;
    t.run.fs = &listings;
    t.run.settings.deleteExtraFiles = true;
    t.put(t.src, "data\\x.txt", 100);
    t.put(t.src, "data\\inner\\y.txt");
    t.put(t.src, "ok\\z.txt", 100);
    t.put(t.dst, "data\\x.txt");
    t.put(t.dst, "data\\old.txt");
    t.put(t.dst, "data\\inner\\y.txt");
    t.put(t.dst, "ok\\z.txt");
    t.put(t.dst, "ok\\gone.txt");

    listings.refused = {t.src + "\\data\\"};
    {
        test::StreamCapture streams;
        t.lists = test::buildWorkLists(t.run);
        EXPECT_EQ(streams.err(), (Lines{"Ошибка 5 чтения каталога \"" + t.src + "\\data\\\""}));
    }
    EXPECT_EQ(t.run.errorCount, 1);
    EXPECT_EQ(describe(t.lists.copyList), (Lines{".\\ok: z.txt"}));
    EXPECT_EQ(describe(t.lists.deleteList), (Lines{".\\ok: gone.txt"}));

    // A directory gone since its parent listed it (a share going away) is
    // left out the same way: taken as empty, its files would be deleted.
    t.lists.copyList.clear();
    t.lists.deleteList.clear();
    listings.error = ERROR_PATH_NOT_FOUND;
    {
        test::StreamCapture streams;
        t.lists = test::buildWorkLists(t.run);
        EXPECT_EQ(streams.err(), (Lines{"Ошибка 3 чтения каталога \"" + t.src + "\\data\\\""}));
    }
    EXPECT_EQ(t.run.errorCount, 2);
    EXPECT_EQ(describe(t.lists.deleteList), (Lines{".\\ok: gone.txt"}));

    // The source root itself: nothing at all on either side.
    t.lists.copyList.clear();
    t.lists.deleteList.clear();
    listings.error = ERROR_NETWORK_UNREACHABLE;
    listings.refused = {t.src + "\\"};
    {
        test::StreamCapture streams;
        t.lists = test::buildWorkLists(t.run);
        EXPECT_EQ(streams.err(), (Lines{"Ошибка 1231 чтения каталога \"" + t.src + "\\\""}));
    }
    EXPECT_EQ(t.run.errorCount, 3);
    EXPECT_TRUE(t.lists.copyList.empty());
    EXPECT_TRUE(t.lists.deleteList.empty());

    // A destination directory that cannot be listed: the pair is left out.
    t.run.errorCount = 0;
    listings.refused = {t.dst + "\\ok\\"};
    {
        test::StreamCapture streams;
        t.lists = test::buildWorkLists(t.run);
        EXPECT_EQ(streams.err().size(), 1u);
    }
    EXPECT_EQ(t.run.errorCount, 1);
    EXPECT_EQ(describe(t.lists.copyList), (Lines{".\\data: x.txt"}));
    EXPECT_EQ(describe(t.lists.deleteList), (Lines{".\\data: old.txt"}));
}

TEST(EngineScan, LetterCaseOfDirectoryNames) {
    test::EngineTrees t;
    t.run.settings.deleteExtraFiles = true;
    t.put(t.src, "Данные\\a.txt");
    t.put(t.dst, "данные\\a.txt");
    t.put(t.src, "Bin\\b.txt");
    t.put(t.dst, "BIN\\b.txt");
    test::StreamCapture streams;
    t.lists = test::buildWorkLists(t.run);
    // Cyrillic letter case differs: a different directory on each side.
    EXPECT_EQ(describe(t.lists.copyList), (Lines{".\\Данные M: a.txt"}));
    EXPECT_EQ(describe(t.lists.deleteList), (Lines{".\\данные D:"}));
}

TEST(EngineScan, DirectoryLinkCyclesAreNotEnteredAgain) {
    test::EngineTrees t;
    t.put(t.src, "a\\f.txt");
    t.put(t.src, "b\\g.txt");
    // Unix symbolic links, made by the Unix ln through Wine.
    ASSERT_TRUE(test::makeUnixLink(t.src + "\\a", "..", "loop"));
    ASSERT_TRUE(test::makeUnixLink(t.src + "\\b", "../a", "toA"));
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((t.src + "\\a\\loop").c_str(), &d);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FindClose(h);
    EXPECT_EQ(d.dwFileAttributes & 0x410u, 0x410u);

    SyncRegistry source;
    Pass pass = t.run.pass();
    sourceScan(pass, source, false);
    DirNode* a = findChild(source.root, "a");
    DirNode* b = findChild(source.root, "b");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(contents(a), (Lines{"f.txt"}));  // loop leads back to the root
    ASSERT_EQ(contents(b), (Lines{"toA/", "g.txt"}));
    EXPECT_EQ(contents(b->firstChild), (Lines{"f.txt"}));  // entered once; its loop is not
    EXPECT_TRUE(isLeftOut(a, "loop"));
    EXPECT_EQ(t.run.errorCount, 0);
}

TEST(EngineScan, PathsOverTheLimitAreLeftOutWithOneLine) {
    test::EngineTrees t;
    t.put(t.tmp.path(), "real\\f.txt");
    test::makeDirs(t.tmp / "real\\d");
    MappedListings listings("Z:\\virtual\\", t.tmp / "real");
    t.run.fs = &listings;
    const std::string root = "Z:\\virtual\\";
    test::EngineTrees::copyInto(t.run.settings.sourceDir, root);
    SyncRegistry source;
    test::StreamCapture streams;
    Pass pass = t.run.pass();
    sourceScan(pass, source, false);
    // Level n lives at root + "d\" * n; its subdirectory is entered while
    // the listing pattern (its path, "d\", "*.*") fits 1023 characters.
    std::size_t deepest = 0;
    while (root.size() + 2 * (deepest + 1) + 3 <= 1023) ++deepest;
    std::size_t levels = 0;
    const DirNode* n = source.root;
    for (; n->firstChild; n = n->firstChild) {
        ++levels;
        ASSERT_EQ(contents(n->firstChild).back(), "f.txt");
    }
    EXPECT_EQ(levels, deepest);
    std::string tooLong = root;
    for (std::size_t i = 0; i < deepest; ++i) tooLong += "d\\";
    EXPECT_EQ(streams.err(), (Lines{"Ошибка: путь \"" + tooLong + "d\" слишком длинный, пропущен"}));
    EXPECT_EQ(t.run.errorCount, 1);
    EXPECT_TRUE(isLeftOut(n, "d"));

    // The destination root is longer: the deepest pair cannot be listed
    // there and is left out of the pass on both sides.
    const std::string destRoot = "Z:\\virtual\\xyz\\";
    test::EngineTrees::copyInto(t.run.settings.destDir, destRoot);
    SyncRegistry dest;
    mirrorStructure(dest.root, source.root);
    destinationScan(pass, dest, source, false);  // the pass reads the settings as they are now
    std::size_t destLevels = 0;
    for (const DirNode* m = dest.root; m->firstChild; m = m->firstChild) ++destLevels;
    std::size_t sourceLevels = 0;
    for (const DirNode* m = source.root; m->firstChild; m = m->firstChild) ++sourceLevels;
    EXPECT_EQ(destLevels, deepest - 2);
    EXPECT_EQ(sourceLevels, deepest - 2);
    EXPECT_EQ(t.run.errorCount, 2);
}

// Listings made ahead on several threads give exactly the registries, work
// lists and lines of a sequential scan, refused directories included.
TEST(EngineScan, ListingAheadOnThreadsChangesNothingButTheTime) {
    auto runWith = [](std::size_t threads) {
        test::EngineTrees t;
        test::RefusingListings listings;
        t.run.fs = &listings;
        t.run.listThreads = threads;
        t.run.settings.deleteExtraFiles = true;
        unsigned seed = 7;
        auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
        std::vector<std::string> dirs{""};
        for (int i = 0; i < 120; ++i) {
            std::string dir = dirs[next() % dirs.size()] + "d" + std::to_string(i) + "\\";
            dirs.push_back(dir);
            for (unsigned f = next() % 4; f > 0; --f) {
                std::string rel = dir + "f" + std::to_string(f) + ".txt";
                t.put(next() % 3 ? t.src : t.dst, rel, next() % 2 ? 0 : 100);
            }
            if (next() % 4 == 0) test::makeDirs(t.dst + "\\" + dir + "extra");
        }
        listings.refused = {t.src + "\\" + dirs[17], t.dst + "\\" + dirs[40]};
        test::StreamCapture streams;
        t.lists = test::buildWorkLists(t.run);
        Lines all = describe(t.lists.copyList);
        for (const std::string& line : describe(t.lists.deleteList)) all.push_back("delete " + line);
        for (std::string line : streams.err()) {
            for (const std::string* root : {&t.src, &t.dst})
                if (std::size_t at = line.find(*root); at != std::string::npos)
                    line.replace(at, root->size(), "<root>");
            all.push_back(line);
        }
        all.push_back(std::to_string(t.run.errorCount));
        t.run.fs = &FileSystemCalls::real();
        return all;
    };
    Lines sequential = runWith(1);
    EXPECT_EQ(runWith(4), sequential);
    EXPECT_GT(sequential.size(), 60u);
}

// What is listed ahead is bounded in bytes, and one directory holds more
// than the whole bound: it is still listed ahead and taken whole, and the
// registry is the one a sequential scan makes.
TEST(EngineScan, ListingAheadPastItsBoundInBytesChangesNothing) {
    test::EngineTrees t;
    // A record takes its fields (under 50 bytes) and its name.
    const std::size_t stem = 240, files = ListingPrefetch::kAheadBytes / (stem + 48) + 1;
    test::makeDirs(t.src + "\\zz");
    ASSERT_TRUE(test::runUnixShell(t.src + "\\zz", "p=$(printf %0" + std::to_string(stem) + "d 0 | tr 0 n)_ && seq " +
                                                       std::to_string(files) + " | sed s/^/$p/ | xargs touch"));
    for (int d = 0; d < 4; ++d)
        for (int e = 0; e < 3; ++e) t.put(t.src, "d" + std::to_string(d) + "\\e" + std::to_string(e) + "\\f.txt");
    auto scan = [&](std::size_t threads) {
        t.run.listThreads = threads;
        SyncRegistry source;
        Pass pass = t.run.pass();
        sourceScan(pass, source, false);
        return dump(source.root);
    };
    auto sequential = scan(1);
    ASSERT_EQ(sequential.size(), 18u);
    auto isBig = [&](const Lines& node) { return node.size() == 2 * files + 1; };
    EXPECT_EQ(std::count_if(sequential.begin(), sequential.end(), isBig), 1);
    EXPECT_EQ(scan(2), sequential);
    EXPECT_EQ(t.run.errorCount, 0);
    EXPECT_TRUE(test::runUnixShell(t.src, "rm -r zz"));  // Wine would take as long as to make it
}

// The destination listed on other threads while the source is scanned gives
// the registries and lines of a sequential scan: with directories the
// destination lacks, has alone, spells in another letter case or cannot
// list, and one too large to be listed ahead.
TEST(EngineScan, DestinationListedDuringTheSourceScanChangesNothingButTheTime) {
    test::EngineTrees t;
    t.run.settings.deleteExtraFiles = true;
    for (const char* rel : {"a\\f.txt", "a\\b\\g.txt", "a\\b\\c\\h.txt", "Bin\\sub\\i.txt", "refused\\in\\j.txt"}) {
        t.put(t.src, rel);
        t.put(t.dst, rel, 100);
    }
    t.put(t.src, "onlysource\\deep\\k.txt");
    t.put(t.dst, "onlydest\\inner\\l.txt");
    ASSERT_TRUE(test::runUnixShell(t.dst, "mv Bin BIN"));
    // Past the size queued ahead: a record takes its fields (under 50
    // bytes) and its name.
    const std::size_t stem = 240, files = ListingPrefetch::kLargestQueued / (stem + 48) + 50;
    test::makeDirs(t.src + "\\zbig");
    ASSERT_TRUE(test::runUnixShell(t.src + "\\zbig", "p=$(printf %0" + std::to_string(stem) + "d 0 | tr 0 n)_ && seq " +
                                                         std::to_string(files) + " | sed s/^/$p/ | xargs touch"));
    ASSERT_TRUE(test::runUnixShell(t.tmp.path(), "cp -a src/zbig dst/zbig"));

    WatchedListings listings;
    listings.refused = {t.dst + "\\refused\\"};
    t.run.fs = &listings;
    t.run.listThreads = 1;
    // Both registries, the error lines and the error count.
    auto scan = [&](ListingPrefetch* lister) {
        t.run.errorCount = 0;
        listings.byScan.clear();
        listings.byOthers.clear();
        SyncRegistry source, dest;
        Pass pass = t.run.pass();
        test::StreamCapture streams;
        sourceScan(pass, source, false, lister);
        mirrorStructure(dest.root, source.root);
        destinationScan(pass, dest, source, false, lister);
        std::vector<Lines> all = dump(source.root), destination = dump(dest.root);
        all.insert(all.end(), destination.begin(), destination.end());
        all.push_back(streams.err());
        all.push_back({std::to_string(t.run.errorCount)});
        return all;
    };
    const std::vector<Lines> sequential = scan(nullptr);
    EXPECT_EQ(listings.byOthers.size(), 0u);
    EXPECT_EQ(sequential.back(), Lines{"1"});   // the refused directory
    EXPECT_EQ(sequential.size(), 9u + 10 + 2);  // nodes of both sides, lines, count

    const std::string destPrefix = t.dst + "\\";
    for (std::size_t threads : {1, 3}) {
        SCOPED_TRACE(threads);
        {
            ListingPrefetch lister(*t.run.fs, destinationListingThreads(threads, t.run.settings.destDir),
                                   WorkPool::Owner::GoesOn);
            EXPECT_EQ(scan(&lister), sequential);
        }
        Lines dest;
        for (const std::string& p : listings.byOthers)
            if (p.compare(0, destPrefix.size(), destPrefix) == 0) dest.push_back(p);
        EXPECT_GT(dest.size(), 0u);
        for (const std::string& p : listings.byScan)
            if (p.compare(0, destPrefix.size(), destPrefix) == 0) dest.push_back(p);
        Lines once = sorted(dest);
        EXPECT_EQ(std::adjacent_find(once.begin(), once.end()), once.end());  // nothing listed twice
        EXPECT_EQ(std::count(dest.begin(), dest.end(), destPrefix + "onlydest\\*.*"), 0);
        // One thread takes the queue in order and only that: the large
        // directory is left to the scan, and below a directory found
        // missing nothing is listed. More threads also list ahead of the
        // destination scan itself, as on a share.
        if (threads == 1) {
            EXPECT_EQ(std::count(listings.byOthers.begin(), listings.byOthers.end(), destPrefix + "zbig\\*.*"), 0);
            EXPECT_EQ(std::count(dest.begin(), dest.end(), destPrefix + "onlysource\\deep\\*.*"), 0);
        }
    }
    t.run.fs = &FileSystemCalls::real();
    EXPECT_TRUE(test::runUnixShell(t.tmp.path(), "rm -r src/zbig dst/zbig"));
}

// A stop or a failure met while the destination is listed ahead reaches the
// pass on its own thread, which unwinds; the lister goes without hanging.
TEST(EngineScan, FailureWhileListingTheDestinationAheadReachesThePass) {
    test::EngineTrees t;
    for (const char* rel : {"a\\f.txt", "b\\g.txt", "b\\c\\h.txt"}) {
        t.put(t.src, rel);
        t.put(t.dst, rel);
    }
    WatchedListings listings;
    t.run.fs = &listings;
    auto build = [&](std::function<void()> fail) {
        // Each build's second listing waits for one on another thread.
        listings.byScan.clear();
        listings.byOthers.clear();
        listings.fail = fail;
        Pass pass = t.run.pass();
        pass.buildWorkLists();
    };
    EXPECT_THROW(build([] { throw Stopped{}; }), Stopped);
    EXPECT_THROW(build([] { throw std::runtime_error("lister"); }), std::runtime_error);
    t.run.fs = &FileSystemCalls::real();
    EXPECT_EQ(t.run.errorCount, 0);
}

// Listings asked for ahead also list their own subdirectories as guesses:
// one the rules leave out is listed once at most and nothing below it, and
// no directory is listed twice.
TEST(EngineScan, GuessesListedAheadStopAtWhatTheScanLeavesOut) {
    test::EngineTrees t;
    for (const char* rel : {"a\\b\\c\\f.txt", "a\\b\\d\\f.txt", "a\\UserData\\x\\y\\f.txt", "e\\f.txt"}) {
        t.put(t.src, rel);
        t.put(t.dst, rel);
    }
    t.run.settings.ignoreList = {"a\\UserData"};
    WatchedListings listings;
    t.run.fs = &listings;
    t.run.listThreads = 3;
    t.lists = test::buildWorkLists(t.run);
    t.run.fs = &FileSystemCalls::real();
    Lines all = listings.byScan;
    all.insert(all.end(), listings.byOthers.begin(), listings.byOthers.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
    EXPECT_EQ(std::count(all.begin(), all.end(), t.src + "\\a\\b\\c\\*.*"), 1);
    for (const std::string& pattern : all) EXPECT_EQ(pattern.find("UserData\\x"), std::string::npos) << pattern;
    EXPECT_TRUE(t.lists.copyList.empty());
    EXPECT_EQ(t.run.errorCount, 0);
}
