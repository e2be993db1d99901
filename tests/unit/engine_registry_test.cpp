// Registry: name rule, time match, file lists with their index, mirroring,
// flattening and trees too deep for recursion.
#include <gtest/gtest.h>

#include <cstring>

#include "support/pass_fixture.h"

using test::contents;
using test::describe;

namespace {

FileEntry named(const char* name) {
    FileEntry e;
    std::strcpy(e.name, name);
    return e;
}

std::vector<std::string> names(const FileList& files) {
    std::vector<std::string> v;
    for (const FileEntry& f : files) v.push_back(f.name);
    return v;
}

FILETIME at(DWORD high, DWORD low) { return FILETIME{low, high}; }

}  // namespace

TEST(EngineRegistry, NameRuleFoldsLatinLettersOnly) {
    EXPECT_TRUE(nameMatch("Readme.TXT", "README.txt"));
    EXPECT_FALSE(nameMatch("Файл.txt", "файл.txt"));
    EXPECT_TRUE(nameMatch("Файл.TXT", "Файл.txt"));
    EXPECT_FALSE(nameMatch("ab", "abc"));
    EXPECT_EQ(nameHash("Readme.TXT"), nameHash("README.txt"));

    // Small lists are searched in order, large ones through the index: the
    // answers must be the same, first match in list order.
    for (int filler : {2, 200}) {
        SCOPED_TRACE(filler);
        FileList files;
        for (int i = 0; i < filler; ++i) files.push_back(named(("f" + std::to_string(i)).c_str()));
        files.push_back(named("Файл.txt"));
        files.push_back(named("файл.txt"));
        FileEntry& first = files.push_back(named("a.TXT"));
        first.size = 1;
        files.push_back(named("A.txt")).size = 2;
        EXPECT_EQ(files.find("ФАЙЛ.TXT"), nullptr);
        EXPECT_STREQ(files.find("Файл.TXT")->name, "Файл.txt");
        EXPECT_STREQ(files.find("файл.Txt")->name, "файл.txt");
        EXPECT_EQ(files.find("a.txt"), &first);
        files.erase(&first);
        EXPECT_EQ(files.find("a.txt")->size, 2u);
        files.push_back(named("a.txt")).size = 3;  // appended after the index exists
        EXPECT_EQ(files.find("A.TXT")->size, 2u);
        files.erase(files.find("A.TXT"));
        EXPECT_EQ(files.find("A.TXT")->size, 3u);
        EXPECT_EQ(files.size(), static_cast<std::size_t>(filler) + 3);
        std::vector<std::string> all = names(files);
        std::vector<std::string> tail(all.end() - 3, all.end());
        EXPECT_EQ(tail, (std::vector<std::string>{"Файл.txt", "файл.txt", "a.txt"}));

        FileList moved = std::move(files);
        EXPECT_TRUE(files.empty());
        EXPECT_EQ(moved.find("a.txt")->size, 3u);
        FileList copied = moved;
        EXPECT_NE(copied.find("a.txt"), moved.find("a.txt"));
        EXPECT_EQ(names(copied), names(moved));
    }
}

TEST(EngineRegistry, SubdirectoriesAreFoundByTheNameRuleInOrder) {
    for (int filler : {1, 100}) {
        SyncRegistry r;
        for (int i = 0; i < filler; ++i) appendChild(r.root, createNode("d" + std::to_string(i)));
        DirNode* bin = createNode("Bin");
        appendChild(r.root, bin);
        appendChild(r.root, createNode("BIN"));
        appendChild(r.root, createNode("Модули"));
        EXPECT_EQ(findChild(r.root, "bin"), bin);
        EXPECT_EQ(findChild(r.root, "модули"), nullptr);
        removeChild(r.root, bin);
        EXPECT_EQ(findChild(r.root, "bin")->record.name, "BIN");
        EXPECT_EQ(r.root->lastChild->record.name, "Модули");
        EXPECT_EQ(r.root->childCount, static_cast<std::size_t>(filler) + 2);
    }
}

TEST(EngineRegistry, TimeMatchWithinTwoSecondsOfTheSameHighHalf) {
    const DWORD second = 10000000;
    FILETIME t = at(0x01D90000, 0x40000000);
    EXPECT_TRUE(timeMatch(t, at(0x01D90000, 0x40000000 + second)));      // 1 s newer
    EXPECT_TRUE(timeMatch(t, at(0x01D90000, 0x40000000 - second)));      // 1 s older
    EXPECT_TRUE(timeMatch(t, at(0x01D90000, 0x40000000 + 2 * second)));  // 2 s: still equal
    EXPECT_FALSE(timeMatch(t, at(0x01D90000, 0x40000000 + 2 * second + 1)));
    EXPECT_FALSE(timeMatch(t, at(0x01D90000, 0x40000000 + 3 * second)));  // 3 s either way
    EXPECT_FALSE(timeMatch(t, at(0x01D90000, 0x40000000 - 3 * second)));
    // 1 s apart across a change of the high half: never equal.
    FILETIME before = at(0x01D90000, 0xFFFFFFFF - second / 2);
    FILETIME after = at(0x01D90001, second / 2 - 1);
    EXPECT_FALSE(timeMatch(before, after));
    EXPECT_FALSE(timeMatch(after, before));
    // Low halves far apart wrap as signed values.
    EXPECT_FALSE(timeMatch(at(1, 0x80000000u), at(1, 0)));
}

TEST(EngineRegistry, FileOfFiveGibibytesKeepsItsFullSize) {
    test::EngineTrees t;
    std::string big = t.src + "\\большой.bin";
    HANDLE h = CreateFileA(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 5LL << 30;
    ASSERT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(h));  // sparse on the Unix side
    CloseHandle(h);
    SyncRegistry source;
    Pass pass = t.run.pass();
    sourceScan(pass, source, false);
    ASSERT_EQ(source.root->record.files.size(), 1u);
    EXPECT_EQ(source.root->record.files.front().size, 5ull << 30);
    EXPECT_STREQ(source.root->record.files.front().name, "большой.bin");
}

TEST(EngineRegistry, MirrorAndFlattenKeepOrderAndFormPaths) {
    SyncRegistry source, dest;
    WIN32_FIND_DATAA d{};
    DirNode* empty = createNode("пусто");
    appendChild(source.root, empty);
    DirNode* inner = createNode("внутри");
    appendChild(empty, inner);
    std::strcpy(d.cFileName, "x.dll");
    addFile(inner, d);
    DirNode* bin = createNode("bin");
    appendChild(source.root, bin);
    std::strcpy(d.cFileName, "app.exe");
    addFile(bin, d);
    DirNode* plugins = createNode("plugins");
    appendChild(bin, plugins);
    std::strcpy(d.cFileName, "p.dll");
    addFile(plugins, d);
    std::strcpy(d.cFileName, "root.txt");
    d.nFileSizeHigh = 1;
    d.nFileSizeLow = 2;
    FileEntry& rootFile = addFile(source.root, d);
    EXPECT_EQ(rootFile.size, 0x100000002ull);
    EXPECT_EQ(rootFile.isNew, 0);

    mirrorStructure(dest.root, source.root);
    EXPECT_EQ(contents(dest.root), (std::vector<std::string>{"пусто/", "bin/"}));  // order kept
    EXPECT_EQ(contents(dest.root->lastChild), (std::vector<std::string>{"plugins/"}));
    EXPECT_TRUE(testFlag(dest.root->lastChild->record, DirMissing));
    EXPECT_TRUE(testFlag(plugins->record, DirMissing));
    EXPECT_FALSE(testFlag(source.root->record, DirMissing));
    EXPECT_FALSE(testFlag(dest.root->record, DirMissing));
    EXPECT_TRUE(dest.root->lastChild->record.files.empty());  // files are not mirrored
    EXPECT_EQ(bin->counterpart, dest.root->lastChild);

    // The empty directory without flags is left out of a work list, its
    // subdirectory is not.
    clearFlag(empty->record, DirMissing);
    std::vector<DirRecord> list;
    int32_t errors = 0;
    flatten(source, list, errors);
    EXPECT_EQ(describe(list), (std::vector<std::string>{".: root.txt", ".\\пусто\\внутри M: x.dll", ".\\bin M: app.exe",
                                                        ".\\bin\\plugins M: p.dll"}));
    EXPECT_TRUE(source.root->record.files.empty());  // taken over by the list
    EXPECT_EQ(errors, 0);
    std::vector<DirRecord> destList;
    flatten(dest, destList, errors);
    EXPECT_EQ(describe(destList),
              (std::vector<std::string>{".\\пусто M:", ".\\пусто\\внутри M:", ".\\bin M:", ".\\bin\\plugins M:"}));
}

TEST(EngineRegistry, TreesTwoThousandLevelsDeepNeedNoRecursion) {
    const int depth = 2000;
    SyncRegistry source, dest;
    DirNode* n = source.root;
    for (int i = 0; i < depth; ++i) {
        DirNode* c = createNode("d");
        appendChild(n, c);
        WIN32_FIND_DATAA d{};
        std::strcpy(d.cFileName, "f.txt");
        addFile(c, d);
        n = c;
    }
    mirrorStructure(dest.root, source.root);
    DirNode* deepest = dest.root;
    for (int i = 0; i < depth; ++i) deepest = deepest->firstChild;
    ASSERT_NE(deepest, nullptr);
    EXPECT_TRUE(testFlag(deepest->record, DirMissing));

    std::vector<std::string> emptied;
    updatePruning(dest.root, Side::Destination, {"d\\d\\d"}, emptied);
    EXPECT_TRUE(emptied.empty());  // the listed directory keeps its ancestors
    updatePruning(dest.root, Side::Destination, {"nothing"}, emptied);
    ASSERT_EQ(emptied.size(), static_cast<std::size_t>(depth));
    EXPECT_EQ(emptied.back(), "d");  // deepest first, the top last
    EXPECT_EQ(emptied.front().size(), static_cast<std::size_t>(2 * depth - 1));

    compareTrees(source.root, dest.root);
    test::StreamCapture streams;
    std::vector<DirRecord> list;
    int32_t errors = 0;
    flatten(source, list, errors);
    // "." and "\d" repeated: paths fit up to 511 levels; the rest is refused once.
    EXPECT_EQ(list.size(), 511u);
    EXPECT_EQ(list.back().name.size(), 1023u);
    EXPECT_EQ(errors, 1);
    ASSERT_EQ(streams.err().size(), 1u);
    EXPECT_EQ(streams.err()[0].rfind("Ошибка: путь \".\\d\\d", 0), 0u);
    EXPECT_NE(streams.err()[0].find("\" слишком длинный, пропущен"), std::string::npos);
    source.destroy();  // clears the back links of the other side
    EXPECT_EQ(dest.root->counterpart, nullptr);
}
