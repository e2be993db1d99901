// Scanning real trees: destination-only directories, root-only scans,
// directories that cannot be listed, letter case, link cycles and the path
// limit.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/pass_fixture.h"
#include "sync/listing_prefetch.h"

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
    // Every node, depth first: its names, then each file's attributes, size and time.
    auto scan = [&](std::size_t threads) {
        t.run.listThreads = threads;
        SyncRegistry source;
        Pass pass = t.run.pass();
        sourceScan(pass, source, false);
        std::vector<Lines> nodes;
        for (std::vector<const DirNode*> todo{source.root}; !todo.empty();) {
            const DirNode* n = todo.back();
            todo.pop_back();
            Lines node = contents(n);
            for (const FileEntry& f : n->record.files)
                node.push_back(std::to_string(f.attributes) + " " + std::to_string(f.size) + " " +
                               std::to_string(f.lastWrite.dwLowDateTime));
            nodes.push_back(std::move(node));
            for (const DirNode* c = n->firstChild; c; c = c->nextSibling) todo.push_back(c);
        }
        return nodes;
    };
    auto sequential = scan(1);
    ASSERT_EQ(sequential.size(), 18u);
    auto isBig = [&](const Lines& node) { return node.size() == 2 * files; };
    EXPECT_EQ(std::count_if(sequential.begin(), sequential.end(), isBig), 1);
    EXPECT_EQ(scan(2), sequential);
    EXPECT_EQ(t.run.errorCount, 0);
    EXPECT_TRUE(test::runUnixShell(t.src, "rm -r zz"));  // Wine would take as long as to make it
}
