// Directory chains and tree removal on real trees under Wine.
#include <gtest/gtest.h>
#include <windows.h>
#include <malloc.h>
#include <functional>
#include <sstream>
#include <string>

#include "fsops/deletion_gate.h"
#include "fsops/directories.h"
#include "support/test_support.h"
#include "win/unique_handle.h"

namespace {

std::string raised(const std::string& path) {
    try {
        ensureDirectory(path.c_str());
    } catch (const MessageError& e) {
        return e.what();
    }
    return "";
}

// The Unix name of a Windows path (Wine's own export).
std::string unixNameOf(const std::string& path) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return "";
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char* name = unixName(wide);
    std::string result = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Runs a Unix command; Wine gives no handle to wait on, so done() is polled.
bool unixCommand(std::string command, const std::function<bool()>& done) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (int i = 0; i < 100 && !done(); ++i) Sleep(50);
    return done();
}

// A Unix symbolic link, which Wine lists as a directory reparse point (0x410).
bool makeUnixSymlink(const std::string& link, const std::string& target) {
    return unixCommand("Z:\\bin\\ln -s " + unixNameOf(target) + " " + unixNameOf(link), [&] {
        return GetFileAttributesA(link.c_str()) == (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    });
}

// Wine cannot take a Unix link away through Win32 calls.
void removeUnixLink(const std::string& link) {
    std::string name = unixNameOf(link);
    unixCommand("Z:\\bin\\rm -f " + name, [&] { return !test::fileExists(link); });
}

// Runs fn with only about `left` bytes of this thread's stack still free.
__attribute__((noinline)) void withStackLeft(std::size_t left, const std::function<void()>& fn) {
    MEMORY_BASIC_INFORMATION stack{};
    VirtualQuery(&stack, &stack, sizeof stack);
    std::size_t free = reinterpret_cast<char*>(&stack) - static_cast<char*>(stack.AllocationBase);
    volatile char* used = static_cast<char*>(alloca(free - left));
    used[0] = 0;
    fn();
    used[0] = 1;
}

}  // namespace

TEST(EnsureDirectory, CreatesEveryMissingLevelFromTheTopAndAcceptsWhatExists) {
    test::TempDir tmp;
    ensureDirectory((tmp / "a\\b\\c").c_str());
    EXPECT_TRUE(test::isDirectory(tmp / "a\\b\\c"));
    ensureDirectory((tmp / "a\\b\\c\\").c_str());  // existing chain, trailing backslash
    ensureDirectory((tmp / "a\\..\\a\\b\\d").c_str());
    EXPECT_TRUE(test::isDirectory(tmp / "a\\b\\d"));

    {
        test::CurrentDirectory cd(tmp.path());
        ensureDirectory("dst\\sub");
    }
    EXPECT_TRUE(test::isDirectory(tmp / "dst\\sub"));
    ensureDirectory("C:\\");  // a drive root is never created
    EXPECT_EQ(raised(""), "");
}

TEST(EnsureDirectory, FileInTheWayAndFailedCreationRaiseTheirTexts) {
    test::TempDir tmp;
    test::writeFile(tmp / "a", "x");
    EXPECT_EQ(raised(tmp / "a\\b"),
              "невозможно создать каталог \"" + (tmp / "a") + "\" т.к. найден файл с тем же именем");
    EXPECT_FALSE(test::fileExists(tmp / "a\\b"));

    test::writeFile(tmp / "last", "x");
    EXPECT_EQ(raised(tmp / "last"),
              "невозможно создать каталог \"" + (tmp / "last") + "\" т.к. найден файл с тем же именем");

    try {
        createOneDirectory((tmp / "missing\\x").c_str());
        ADD_FAILURE() << "no error raised";
    } catch (const MessageError& e) {
        EXPECT_EQ(std::string(e.what()), "невзможно создать каталог \"" + (tmp / "missing\\x") + "\"");
    }
}

TEST(EnsureDirectory, NetworkPathsNeedServerAndShareAndAreNeverCreatedThere) {
    EXPECT_EQ(raised("\\\\srv"), "неверное имя каталога \"\\\\srv\"");
    EXPECT_EQ(raised("\\\\srv\\"), "неверное имя каталога \"\\\\srv\\\"");
    // A share root has nothing to create; a level below an unreachable share
    // cannot be read and is passed over without a report.
    EXPECT_EQ(raised("\\\\srv\\share"), "");
    EXPECT_EQ(raised("\\\\srv\\share\\x\\y"), "");
}

TEST(EnsureDirectory, APathTooLongForTheBufferIsRefusedWithTheArgument) {
    std::string longPath = "C:\\" + std::string(1100, 'x');
    EXPECT_EQ(raised(longPath), "неверное имя каталога \"" + longPath + "\"");
    std::string exact = "C:\\" + std::string(1020, 'x');  // 1023 characters, no room for '\'
    EXPECT_EQ(raised(exact), "неверное имя каталога \"" + exact + "\"");
}

namespace {

std::wstring wideOf(const std::string& narrow) {
    std::wstring wide(narrow.size() + 1, L'\0');
    wide.resize(static_cast<std::size_t>(
                    MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, &wide[0], static_cast<int>(wide.size()))) -
                1);
    return wide;
}

// removeTree through a gate whose destination root is the temporary
// directory; the error count.
int32_t removeTree(const test::TempDir& root, const std::string& path, std::ostream& report = std::cerr) {
    int32_t errors = 0;
    DeletionGate(root.path().c_str(), "Z:\\no-source\\", errors, report).removeTree(path.c_str());
    return errors;
}

// Windows removes a link as the link; Wine would delete what it points to,
// so there the link stays, with its line.
void linkRemovedOrTold(const std::string& link, int32_t errors, const std::string& report) {
    if (!test::fileExists(link)) {
        EXPECT_EQ(errors, 0);
        return;
    }
    EXPECT_EQ(errors, 1);
    EXPECT_NE(report.find("ссылка \"" + link + "\" не может быть удалена"), std::string::npos) << report;
}

}  // namespace

TEST(RemoveTree, RemovesFilesAndTreesWithReadOnlyFilesAtAnyDepth) {
    test::TempDir tmp;
    test::writeFile(tmp / "single.txt", "x");
    test::setAttributes(tmp / "single.txt", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(removeTree(tmp, tmp / "single.txt"), 0);
    EXPECT_FALSE(test::fileExists(tmp / "single.txt"));

    std::string level = tmp / "tree";
    for (int depth = 0; depth < 5; ++depth) {
        test::writeFile(level + "\\plain.txt", "p");
        test::writeFile(level + "\\ro.txt", "r");
        test::setAttributes(level + "\\ro.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
        test::makeDirs(level + "\\empty");
        level += "\\sub";
    }
    test::writeFile(tmp / "keep.txt", "k");
    EXPECT_EQ(removeTree(tmp, tmp / "tree\\"), 0);
    EXPECT_FALSE(test::fileExists(tmp / "tree"));
    EXPECT_TRUE(test::fileExists(tmp / "keep.txt"));

    // Names narrow calls cannot address (trailing dots, a directory "...")
    // go too, instead of being announced and left.
    std::wstring odd = L"\\\\?\\" + wideOf(tmp / "odd");
    ASSERT_TRUE(CreateDirectoryW(odd.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((odd + L"\\...").c_str(), nullptr));
    for (const wchar_t* name : {L"\\...\\f.txt", L"\\x.", L"\\\u00e4.txt"})
        win::UniqueFileHandle(CreateFileW((odd + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_EQ(removeTree(tmp, tmp / "odd"), 0);
    EXPECT_EQ(GetFileAttributesW(odd.c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_EQ(removeTree(tmp, tmp / "nothing-here"), 0);  // silently nothing
    EXPECT_TRUE(test::fileExists(tmp / "keep.txt"));
}

TEST(RemoveTree, ADirectoryLinkIsNotFollowed) {
    test::TempDir tmp;
    test::writeFile(tmp / "outside\\data.txt", "keep me");
    test::writeFile(tmp / "outside\\deeper\\more.txt", "and me");
    test::writeFile(tmp / "tree\\sub\\file.txt", "x");
    ASSERT_TRUE(makeUnixSymlink(tmp / "tree\\link", tmp / "outside"));

    std::ostringstream report;
    int32_t errors = removeTree(tmp, tmp / "tree", report);
    EXPECT_EQ(test::readFile(tmp / "outside\\data.txt"), "keep me");
    EXPECT_EQ(test::readFile(tmp / "outside\\deeper\\more.txt"), "and me");
    EXPECT_FALSE(test::fileExists(tmp / "tree\\sub"));
    linkRemovedOrTold(tmp / "tree\\link", errors, report.str());

    // The link given itself, and one to an empty directory: what they point
    // to stays whatever happens to the link.
    test::makeDirs(tmp / "empty");
    for (const char* name : {"rootlink", "emptylink"}) {
        ASSERT_TRUE(makeUnixSymlink(tmp / name, tmp / (name[0] == 'r' ? "outside" : "empty")));
        std::ostringstream told;
        int32_t linkErrors = removeTree(tmp, tmp / name, told);
        linkRemovedOrTold(tmp / name, linkErrors, told.str());
    }
    EXPECT_EQ(test::readFile(tmp / "outside\\deeper\\more.txt"), "and me");
    EXPECT_TRUE(test::fileExists(tmp / "empty"));
    for (const char* name : {"tree\\link", "rootlink", "emptylink"})
        if (test::fileExists(tmp / name)) removeUnixLink(tmp / name);
}

// As deep as narrow paths go; removed with so little stack left that a
// recursion over the levels would overflow it.
TEST(RemoveTree, RemovesTheDeepestTreeNarrowPathsAllowWithoutRecursion) {
    test::TempDir tmp;
    std::string path = tmp / "deep";
    int depth = 0;
    // Each level must still be listable: its path + "\*.*" within MAX_PATH.
    while (path.size() + 4 < MAX_PATH && CreateDirectoryA(path.c_str(), nullptr)) {
        ++depth;
        test::writeFile(path + "\\f", "x");
        test::setAttributes(path + "\\f", FILE_ATTRIBUTE_READONLY);
        path += "\\d";
    }
    ASSERT_GE(depth, 100);
    withStackLeft(24 * 1024, [&] { removeTree(tmp, tmp / "deep"); });
    EXPECT_FALSE(test::fileExists(tmp / "deep"));
}
