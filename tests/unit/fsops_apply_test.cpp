// Copying, the file pairs, the free-space check and the carrying out of the
// work lists, on real trees; the fake calls answer as Windows does where Wine
// differs (a read-only or hidden destination refused, a full volume).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fsops/copy_lines.h"
#include "fsops/path_forms.h"
#include "support/caption_probe.h"
#include "support/pass_fixture.h"
#include "support/test_support.h"
#include "sync/pass.h"

namespace {

using Lines = std::vector<std::string>;

FileEntry entry(const char* name, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE, uint64_t size = 0, bool isNew = false) {
    FileEntry f;
    f.attributes = attributes;
    f.size = size;
    std::strcpy(f.name, name);
    f.isNew = isNew ? 1 : 0;
    return f;
}

DirRecord record(const std::string& path, uint32_t flags, std::vector<FileEntry> files = {}) {
    DirRecord d;
    d.name = path;
    d.flags = flags;
    for (const FileEntry& f : files) d.files.push_back(f);
    return d;
}

using Trees = test::WindowsLikeTrees;

std::wstring wide(const std::string& s) {
    std::wstring w;
    widenAnsi(s.c_str(), w);
    return w;
}

// Creates each level of a long directory path through the wide functions.
void makeLongDirs(const std::string& path) {
    std::wstring w = L"\\\\?\\" + wide(path);
    for (std::size_t i = 7; i <= w.size(); ++i)
        if (i == w.size() || w[i] == L'\\') CreateDirectoryW(w.substr(0, i).c_str(), nullptr);
}

void writeLongFile(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileW((L"\\\\?\\" + wide(path)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    DWORD n = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
}

bool longFileExists(const std::string& path) {
    return GetFileAttributesW((L"\\\\?\\" + wide(path)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

TEST(FsopsCopy, CopyFileTakesTheLongFormOrTheNarrowOne) {
    Trees t;
    test::writeFile(t.src + "\\a.txt", "new");
    std::string from = t.src + "\\.\\a.txt", to = t.dst + "\\.\\a.txt";

    ASSERT_TRUE(::copyFile(CopyScope{t.run.settings, *t.run.fs}, from.c_str(), to.c_str()));
    ASSERT_EQ(t.calls.wideCopies.size(), 1u);
    EXPECT_EQ(t.calls.wideCopies[0].first, L"\\\\?\\" + wide(t.src) + L"\\a.txt");
    EXPECT_EQ(t.calls.wideCopies[0].second, L"\\\\?\\" + wide(t.dst) + L"\\a.txt");
    EXPECT_EQ(test::readFile(t.dst + "\\a.txt"), "new");

    t.run.settings.osVersion5OrLater = false;
    test::writeFile(t.src + "\\a.txt", "newer");
    ASSERT_TRUE(::copyFile(CopyScope{t.run.settings, *t.run.fs}, from.c_str(), to.c_str()));
    ASSERT_EQ(t.calls.narrowCopies.size(), 1u);
    EXPECT_EQ(t.calls.narrowCopies[0].first, from);  // "\.\" stays in the narrow form
    EXPECT_EQ(t.calls.narrowCopies[0].second, to);
    EXPECT_EQ(test::readFile(t.dst + "\\a.txt"), "newer");

    // Windows refuses to overwrite a read-only file; so does the copy.
    test::setAttributes(t.dst + "\\a.txt", FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(::copyFile(CopyScope{t.run.settings, *t.run.fs}, from.c_str(), to.c_str()));
    t.run.settings.osVersion5OrLater = true;
    EXPECT_FALSE(::copyFile(CopyScope{t.run.settings, *t.run.fs}, from.c_str(), to.c_str()));
    EXPECT_FALSE(
        ::copyFile(CopyScope{t.run.settings, *t.run.fs}, (t.src + "\\.\\missing").c_str(), (t.dst + "\\.\\m").c_str()));
}

TEST(FsopsCopy, PairsCopyOnlyOutdatedFilesAndReportMissingSources) {
    Trees t;
    test::writeFile(t.src + "\\same.txt", "source");
    test::writeFile(t.dst + "\\same_copy.txt", "older and longer");
    test::setFileTime(t.dst + "\\same_copy.txt", test::addSeconds(test::fileTimeOf(t.src + "\\same.txt"), 1));
    test::writeFile(t.src + "\\cfg.txt", "config");
    test::setAttributes(t.src + "\\cfg.txt", FILE_ATTRIBUTE_READONLY);
    test::writeFile(t.dst + "\\conf\\cfg.ini", "old config");
    test::setFileTime(t.dst + "\\conf\\cfg.ini", test::addSeconds(test::fileTimeOf(t.src + "\\cfg.txt"), -3));
    test::setAttributes(t.dst + "\\conf\\cfg.ini", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    t.run.settings.pairList = {{"missing.txt", "m.txt"}, {"same.txt", "same_copy.txt"}, {"cfg.txt", "conf\\cfg.ini"}};
    {
        test::StreamCapture logs;
        t.run.pass().copyPairs();
        EXPECT_EQ(logs.out(), Lines{"Копирование файла \"" + t.src + "\\cfg.txt\" в \"" + t.dst + "\\conf\\cfg.ini\""});
        EXPECT_EQ(logs.err(), Lines{"Ошибка 2 чтения аттрибутов файла \"" + t.src + "\\missing.txt\""});
    }
    EXPECT_EQ(t.run.errorCount, 1);
    EXPECT_EQ(test::readFile(t.dst + "\\same_copy.txt"), "older and longer");  // 1 s off: up to date
    EXPECT_EQ(test::readFile(t.dst + "\\conf\\cfg.ini"), "config");
    EXPECT_FALSE(GetFileAttributesA((t.dst + "\\conf\\cfg.ini").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(test::fileExists(t.dst + "\\m.txt"));

    // Without read-only clearing the copy keeps its source's read-only bit.
    t.run.settings.clearReadOnly = false;
    t.run.settings.pairList = {{"cfg.txt", "cfg2.ini"}};
    test::StreamCapture logs;
    t.run.pass().copyPairs();
    EXPECT_EQ(test::readFile(t.dst + "\\cfg2.ini"), "config");
    EXPECT_TRUE(GetFileAttributesA((t.dst + "\\cfg2.ini").c_str()) & FILE_ATTRIBUTE_READONLY);
    test::setAttributes(t.dst + "\\cfg2.ini", FILE_ATTRIBUTE_NORMAL);
    test::setAttributes(t.src + "\\cfg.txt", FILE_ATTRIBUTE_NORMAL);
}

TEST(FsopsApply, DeletionsThenCreationsThenCopiesWithTheirLines) {
    Trees t;
    const std::string S = t.src + "\\.", D = t.dst + "\\.";
    test::writeFile(t.dst + "\\old\\inner\\x.txt", "x");
    test::setAttributes(t.dst + "\\old\\inner\\x.txt", FILE_ATTRIBUTE_READONLY);
    test::writeFile(t.dst + "\\extra.txt", "e");
    test::setAttributes(t.dst + "\\extra.txt", FILE_ATTRIBUTE_READONLY);
    test::writeFile(t.src + "\\a.txt", "a");
    test::writeFile(t.src + "\\hidden.txt", "fresh");
    test::writeFile(t.dst + "\\hidden.txt", "stale");
    test::setAttributes(t.dst + "\\hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    test::writeFile(t.src + "\\new\\b.txt", "b");
    test::setAttributes(t.src + "\\new\\b.txt", FILE_ATTRIBUTE_READONLY);
    test::writeFile(t.src + "\\nope\\deeper\\c.txt", "c");

    t.run.settings.deleteExtraFiles = true;
    t.lists.deleteList = {
        record(".\\old", DirDelete),
        record(".", 0, {entry("extra.txt", FILE_ATTRIBUTE_READONLY), entry("gone.txt")}),
    };
    t.lists.copyList = {
        record(".", 0, {entry("a.txt", FILE_ATTRIBUTE_ARCHIVE, 1, true), entry("hidden.txt")}),
        record(".\\new", DirMissing, {entry("b.txt", FILE_ATTRIBUTE_READONLY)}),
        record(".\\nope\\deeper", DirMissing, {entry("c.txt")}),
    };
    test::StreamCapture logs;
    test::applyWorkLists(t.run, t.lists);

    EXPECT_EQ(logs.out(), (Lines{
                              "Удаление каталога \"" + D + "\\old\\\"",
                              "Удаление файла \"" + D + "\\extra.txt\"",
                              "Удаление файла \"" + D + "\\gone.txt\"",
                              "Копирование файла \"" + S + "\\a.txt\" в \"" + D + "\\a.txt\"",
                              "Копирование файла \"" + S + "\\hidden.txt\" в \"" + D + "\\hidden.txt\"",
                              "Создание каталога \"" + D + "\\new\\\"",
                              "Копирование файла \"" + S + "\\new\\b.txt\" в \"" + D + "\\new\\b.txt\"",
                              "Создание каталога \"" + D + "\\nope\\deeper\\\"",
                          }));
    EXPECT_EQ(logs.err(),
              (Lines{
                  "Ошибка 2 удаления файла \"" + D + "\\gone.txt\"",
                  "Ошибка 3 создания каталога \"" + D + "\\nope\\deeper\\\"",
                  "Ошибка копирования файла \"" + S + "\\nope\\deeper\\c.txt\" в \"" + D + "\\nope\\deeper\\c.txt\"",
              }));
    EXPECT_EQ(t.run.errorCount, 3);
    EXPECT_FALSE(test::fileExists(t.dst + "\\old"));
    EXPECT_FALSE(test::fileExists(t.dst + "\\extra.txt"));
    EXPECT_EQ(test::readFile(t.dst + "\\a.txt"), "a");
    EXPECT_EQ(test::readFile(t.dst + "\\hidden.txt"), "fresh");  // made normal before the copy
    EXPECT_EQ(test::readFile(t.dst + "\\new\\b.txt"), "b");
    EXPECT_FALSE(GetFileAttributesA((t.dst + "\\new\\b.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(t.lists.deleteList.size(), 2u);  // the lists stay as they were
    EXPECT_EQ(t.lists.copyList[0].files.size(), 2u);
    test::setAttributes(t.src + "\\new\\b.txt", FILE_ATTRIBUTE_NORMAL);
}

TEST(FsopsApply, WithoutDeletionOnlyWholeDirectoriesGo) {
    Trees t;
    test::writeFile(t.dst + "\\keep.txt", "k");
    test::writeFile(t.dst + "\\gone\\y.txt", "y");
    t.lists.deleteList = {record(".", 0, {entry("keep.txt")}), record(".\\gone", DirDelete)};
    test::StreamCapture logs;
    test::applyWorkLists(t.run, t.lists);
    EXPECT_EQ(logs.out(), Lines{"Удаление каталога \"" + t.dst + "\\.\\gone\\\""});
    EXPECT_TRUE(logs.err().empty());
    EXPECT_TRUE(test::fileExists(t.dst + "\\keep.txt"));
    EXPECT_FALSE(test::fileExists(t.dst + "\\gone"));
    EXPECT_EQ(t.run.errorCount, 0);
}

TEST(FsopsApply, EachCopySendsItsStatusToTheWindow) {
    Trees t;
    test::CaptionProbe probe;

    test::writeFile(t.src + "\\dir\\Файл.txt", "f");
    t.lists.copyList = {record(".\\dir", DirMissing, {entry("Файл.txt"), entry("absent.txt")})};
    t.run.captions = &probe;
    test::StreamCapture logs;
    test::applyWorkLists(t.run, t.lists);
    EXPECT_EQ(probe.captions(), (Lines{"Копирование ...\\Файл.txt", "Копирование ...\\absent.txt"}));
    EXPECT_EQ(t.run.errorCount, 1);  // absent.txt
}

TEST(FsopsApply, PathsThatDoNotFitTheirBuffersAreRefused) {
    Trees t;
    // Relative directory path so that dst + "\" + dir + "\" + name is 1023 characters.
    std::string dir = ".";
    while (t.dst.size() + 1 + dir.size() < 900) dir += "\\" + std::string(150, 'd');
    std::string name1023(1023 - (t.dst.size() + 1 + dir.size() + 1), 'n');
    std::string name1024 = name1023 + "m";
    std::string rel = dir.substr(2);
    makeLongDirs(t.src + "\\" + rel);
    makeLongDirs(t.dst + "\\" + rel);
    writeLongFile(t.src + "\\" + rel + "\\" + name1023, "1023");
    writeLongFile(t.src + "\\" + rel + "\\" + name1024, "1024");
    std::string srcDir = t.src + "\\" + dir + "\\", dstDir = t.dst + "\\" + dir + "\\";
    ASSERT_EQ((dstDir + name1023).size(), 1023u);

    std::string farDir = ".\\" + std::string(1100, 'f');
    t.run.settings.deleteExtraFiles = true;
    t.lists.deleteList = {record(farDir, DirDelete), record(".\\" + std::string(1020, 'g'), 0, {entry("x.txt")})};
    t.lists.copyList = {record(dir, 0,
                               {entry(name1023.c_str(), FILE_ATTRIBUTE_ARCHIVE, 4, true),
                                entry(name1024.c_str(), FILE_ATTRIBUTE_ARCHIVE, 4, true)}),
                        record(farDir, DirMissing, {entry("y.txt")})};
    test::StreamCapture logs;
    test::applyWorkLists(t.run, t.lists);

    const std::string D = t.dst + "\\", S = t.src + "\\";
    EXPECT_EQ(logs.out(), Lines{"Копирование файла \"" + srcDir + name1023 + "\" в \"" + dstDir + name1023 + "\""});
    EXPECT_EQ(logs.err(),
              (Lines{
                  "Ошибка удаления каталога \"" + D + farDir + "\\\" путь в каталоге приемнике слишком длинный",
                  "Ошибка удаления файла \"" + D + ".\\" + std::string(1020, 'g') +
                      "\\x.txt\" путь в каталоге приемнике слишком длинный",
                  "Ошибка копирования файла \"" + srcDir + name1024 + "\" путь в каталоге приемнике слишком длинный",
                  "Ошибка создания каталога \"" + D + farDir + "\\\" путь в каталоге приемнике слишком длинный",
                  "Ошибка копирования файла \"" + S + farDir + "\\y.txt\" путь в каталоге приемнике слишком длинный",
              }));
    EXPECT_EQ(t.run.errorCount, 5);
    EXPECT_TRUE(longFileExists(t.dst + "\\" + rel + "\\" + name1023));
    EXPECT_FALSE(longFileExists(t.dst + "\\" + rel + "\\" + name1024));

    // A source root and directory that overflow the 2048-byte source buffer.
    std::string longRoot = "Z:\\" + std::string(1019, 'r') + "\\";
    std::strcpy(t.run.settings.sourceDir, longRoot.c_str());
    std::string mid = ".\\" + std::string(1030, 's');
    t.lists.deleteList.clear();
    t.lists.copyList = {record(mid, 0, {entry("z.txt")})};
    test::StreamCapture more;
    test::applyWorkLists(t.run, t.lists);
    EXPECT_EQ(more.err(), Lines{"Ошибка копирования файла \"" + longRoot + mid +
                                "\\z.txt\" путь в каталоге источнике слишком длинный"});
    EXPECT_EQ(t.run.errorCount, 6);

    // Pairs whose joined paths do not fit their 1024-byte buffers.
    std::strcpy(t.run.settings.sourceDir, (t.src + "\\").c_str());
    t.run.settings.pairList = {{"p.txt", std::string(1100, 'q')}, {std::string(1100, 'p'), "q.txt"}};
    test::StreamCapture pairs;
    t.run.pass().copyPairs();
    EXPECT_EQ(pairs.err(), (Lines{
                               "Ошибка копирования файла \"" + S + "p.txt\" путь в каталоге приемнике слишком длинный",
                               "Ошибка копирования файла \"" + S + std::string(1100, 'p') +
                                   "\" путь в каталоге источнике слишком длинный",
                           }));
    EXPECT_EQ(t.run.errorCount, 8);
}

TEST(FsopsFreeSpace, TheNetGrowthMustFitTheVolume) {
    Trees t;
    test::resetBoxes();
    t.run.settings.deleteExtraFiles = true;
    t.lists.copyList = {record(".", 0, {entry("a", 0, 100), entry("b", 0, 50)}),
                        record(".\\new", DirMissing, {entry("c", 0, 20)})};
    t.lists.deleteList = {record(".", 0, {entry("d", 0, 30)}), record(".\\gone", DirDelete)};
    auto fits = [&t] {
        Pass pass = t.run.pass();
        pass.copyList = t.lists.copyList;
        pass.deleteList = t.lists.deleteList;
        return pass.checkFreeSpace();
    };

    t.calls.freeBytes = 130;  // 10 bytes short of the 140 needed
    EXPECT_FALSE(fits());
    ASSERT_EQ(test::boxCalls().size(), 1u);
    EXPECT_EQ(test::boxCalls()[0].owner, nullptr);
    EXPECT_EQ(test::boxCalls()[0].text,
              "Не хватает свободного места в папке\" " + t.dst + "\\ \", освободите и попробуйте снова");
    EXPECT_EQ(test::boxCalls()[0].caption, "tolvaren");
    EXPECT_EQ(test::boxCalls()[0].type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(t.calls.freeSpaceQueries, Lines{t.dst + "\\"});
    EXPECT_EQ(t.run.errorCount, 0);

    t.calls.freeBytes = 140;
    EXPECT_TRUE(fits());
    // More deleted than copied passes even on a full volume.
    t.lists.deleteList.push_back(record(".\\big", 0, {entry("huge", 0, 1000)}));
    t.calls.freeBytes = 0;
    EXPECT_TRUE(fits());
    // ... but only what will really be deleted counts.
    t.run.settings.deleteExtraFiles = false;
    t.run.settings.strictList = {"big"};
    EXPECT_TRUE(fits());
    t.run.settings.strictList.clear();
    EXPECT_FALSE(fits());
    // A volume that cannot tell its free space does not block the run.
    t.lists.deleteList.pop_back();
    t.calls.freeSpaceKnown = false;
    EXPECT_TRUE(fits());
    EXPECT_EQ(test::boxCalls().size(), 2u);
    test::resetBoxes();
}

TEST(FsopsApply, ASourceRewrittenSinceTheScanIsCopiedAgainNextTime) {
    Trees t;
    test::StreamCapture streams;
    t.put(t.src, "grows.log", 0);
    t.lists = test::buildWorkLists(t.run);
    t.put(t.src, "grows.log", 100);  // rewritten between the scan and its copy
    test::applyWorkLists(t.run, t.lists);
    EXPECT_EQ(test::readFile(t.dst + "\\grows.log"), "grows.log");
    // The copy keeps the time the scan saw, so it can never look up to date.
    t.lists.copyList.clear();
    t.lists = test::buildWorkLists(t.run);
    EXPECT_EQ(test::describe(t.lists.copyList), Lines{".: grows.log"});
}

// Copies side by side must leave the same logs, error count and tree as one
// copy after another, failures, deletions, creations and pairs included.
TEST(FsopsApply, ParallelCopiesLogAndLeaveExactlyWhatSequentialOnesDo) {
    struct Outcome {
        Lines out, err, tree;
        int32_t errors;
    };
    auto runWith = [](std::size_t threads) {
        Trees t;
        t.run.copyThreads = threads;
        t.run.settings.deleteExtraFiles = true;
        t.run.settings.pairList = {{"pair.src", "pair.dst"}};
        t.put(t.src, "pair.src", 50);
        for (int d = 0; d < 6; ++d)
            for (int f = 0; f < 12; ++f) {
                std::string rel = "d" + std::to_string(d) + "\\f" + std::to_string(f) + ".txt";
                t.put(t.src, rel, 100);
                if (d % 2 == 0) t.put(t.dst, rel, 0);  // existing and outdated
            }
        t.put(t.dst, "d0\\surplus.txt");
        t.put(t.dst, "gone\\x.txt");
        test::StreamCapture streams;
        t.lists = test::buildWorkLists(t.run);
        // Sources gone since the scan: failures in the middle of the list.
        for (const char* rel : {"d1\\f3.txt", "d2\\f0.txt", "d5\\f11.txt"}) DeleteFileA((t.src + "\\" + rel).c_str());
        test::applyWorkLists(t.run, t.lists);
        t.run.pass().copyPairs();
        Outcome o{streams.out(), streams.err(), {}, t.run.errorCount};
        for (int d = 0; d < 6; ++d)
            for (int f = 0; f < 12; ++f) {
                std::string rel = "d" + std::to_string(d) + "\\f" + std::to_string(f) + ".txt";
                o.tree.push_back(rel + "=" + test::readFile(t.dst + "\\" + rel));
            }
        o.tree.push_back(test::fileExists(t.dst + "\\gone") ? "gone kept" : "gone removed");
        o.tree.push_back(test::readFile(t.dst + "\\pair.dst"));
        // The logs name the roots, which differ between the two runs.
        for (Lines* lines : {&o.out, &o.err})
            for (std::string& line : *lines)
                for (const std::string* root : {&t.src, &t.dst})
                    for (std::size_t at; (at = line.find(*root)) != std::string::npos;)
                        line.replace(at, root->size(), root == &t.src ? "<src>" : "<dst>");
        return o;
    };
    Outcome sequential = runWith(1), parallel = runWith(4);
    EXPECT_EQ(parallel.out, sequential.out);
    EXPECT_EQ(parallel.err, sequential.err);
    EXPECT_EQ(parallel.tree, sequential.tree);
    EXPECT_EQ(parallel.errors, sequential.errors);
    EXPECT_EQ(sequential.errors, 3);
    EXPECT_EQ(sequential.err.size(), 3u);
}
