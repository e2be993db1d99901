// The splash archive search on real files: it asks the file system for
// "*.splash" names only, and must pick exactly what the rule picks among the
// whole listing of the source directory, whatever the pattern lets through.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "splash/background_picture.h"
#include "splash/picture_rules.h"
#include "support/splash_support.h"
#include "support/test_support.h"

namespace {

// The archive the rule picks among every plain file of the directory, in
// the listing order of "*.*": the outcome of a search that lists everything.
std::string pickedFromWholeListing(const std::string& directory) {
    std::vector<std::string> files;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((directory + "\\*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return std::string();
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    int chosen = chooseSplashArchive(files);
    return chosen < 0 ? std::string() : directory + "\\" + files[chosen];
}

struct Case {
    const char* what;
    std::vector<std::string> files, directories;
    std::vector<std::string> expected;  // the names the rule may pick (ties hang on listing order); none: no pick
};

}  // namespace

TEST(SplashArchiveSearch, PicksWhatTheRulePicksAmongTheWholeListing) {
    const std::vector<Case> cases = {
        {"equal first bytes: the earlier in listing order stays",
         {"c.txt", "z1.splash", "Z0.splash", "z2.SPLASH", "a.splash", "Яркий.splash"},
         {"zz.splash"},
         {"z1.splash", "z2.SPLASH"}},
        {"names the pattern might let through but the rule refuses",
         {"x.splashy", "y.splas", "w.splash.txt", "splash", "v.spl", "longer name.splash2"},
         {"u.splash"},
         {}},
        {"names the rule accepts at the pattern's edges",
         {".splash", "a.b.Splash", "very long archive name.splash", "x.splashy"},
         {},
         {"very long archive name.splash"}},
        {"Cyrillic first bytes count as negative", {"Яркий.splash", "Ёлка.splash", "1.splash"}, {}, {"1.splash"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        std::string source = dir / "source";
        test::makeDirs(source);
        for (const std::string& name : c.files) test::writeFile(source + "\\" + name, "archive " + name);
        for (const std::string& name : c.directories) test::makeDirs(source + "\\" + name);
        std::string ini = splash_test::writeSplashIni(dir, source, "darv.exe#101");

        std::string found = findSplashArchive(ini.c_str());
        EXPECT_EQ(found, pickedFromWholeListing(source));
        bool expected = false;
        for (const std::string& name : c.expected) expected = expected || found == source + "\\" + name;
        EXPECT_EQ(expected, !c.expected.empty()) << found;
        EXPECT_EQ(found.empty(), c.expected.empty()) << found;
    }
}

TEST(SplashArchiveSearch, ASourceWithoutArchivesOrWithoutFilesGivesNone) {
    test::TempDir dir;
    std::string source = dir / "source";
    test::makeDirs(source + "\\sub");
    test::writeFile(source + "\\sub\\deep.splash", "not at the root");
    std::string ini = splash_test::writeSplashIni(dir, source, "");
    EXPECT_EQ(findSplashArchive(ini.c_str()), "");
    // A source written with a trailing backslash is searched the same way.
    test::writeFile(source + "\\top.splash", "x");
    ini = splash_test::writeSplashIni(dir, source + "\\", "");
    EXPECT_EQ(findSplashArchive(ini.c_str()), source + "\\top.splash");
}
