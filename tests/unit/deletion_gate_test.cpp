// The deletion gate: path normalisation on plain data, then what the gate
// lets through on a real tree with a link in it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "fsops/deletion_gate.h"
#include "fsops/path_normal.h"
#include "fsops/root_identity.h"
#include "support/stream_capture.h"
#include "support/test_support.h"

namespace {

std::string normal(const std::string& path) {
    std::string out;
    return normalizePath(path, out) ? out : "(refused)";
}

}  // namespace

TEST(DeletionGate, PathsNormaliseBothSeparatorsDotsAndDoubledBackslashes) {
    EXPECT_EQ(normal("C:\\a\\b\\..\\c"), "C:\\a\\c");
    EXPECT_EQ(normal("C:/a//b/./c/"), "C:\\a\\b\\c");
    EXPECT_EQ(normal("C:\\"), "C:\\");
    EXPECT_EQ(normal("C:\\a\\.."), "C:\\");
    EXPECT_EQ(normal("\\\\srv\\share\\x\\.."), "\\\\srv\\share");
    EXPECT_EQ(normal("dir\\.\\sub"), "dir\\sub");
    // A long-path prefix names the same place as the path without it.
    EXPECT_EQ(normal("\\\\?\\Z:\\tmp\\x\\"), "Z:\\tmp\\x");
    EXPECT_EQ(normal("\\\\?\\unc\\srv\\share\\x"), "\\\\srv\\share\\x");
    // Climbing above the root, a share without its name, and names that
    // narrow calls would quietly change are refused.
    for (const char* bad : {"C:\\..", "C:\\a\\..\\..", "\\\\srv\\share\\..", "\\\\srv", "\\\\\\share", "a\\..\\..",
                            "C:\\UserData.", "C:\\user.cfg ", "C:\\a\\...\\b"})
        EXPECT_EQ(normal(bad), "(refused)") << bad;
    EXPECT_EQ(foldCase("Старое ёлка"), "СТАРОЕ ЁЛКА");
    EXPECT_TRUE(liesBelow("C:\\A\\B", "C:\\A"));
    EXPECT_TRUE(liesBelow("C:\\A", "C:\\"));
    EXPECT_FALSE(liesBelow("C:\\AB", "C:\\A"));
    EXPECT_FALSE(liesBelow("C:\\A", "C:\\A"));
}

TEST(DeletionGate, OnlyWhatLiesInsideTheDestinationAndNotBehindALinkOrInTheSource) {
    test::TempDir tmp;
    std::string dst = tmp / "dst";
    test::writeFile(tmp / "outside\\keep.txt", "k");
    test::makeDirs(dst + "\\distr");
    ASSERT_TRUE(test::makeUnixLink(dst, "../outside", "lnk"));
    int32_t errors = 0;
    {
        test::StreamCapture streams;
        DeletionGate gate((dst + "\\").c_str(), (dst + "\\distr\\").c_str(), errors);
        // By its text the link may go (as a link), with or without a
        // trailing backslash, and so may what lies behind it: the item opened
        // for deletion answers for that.
        for (const std::string& ok : {dst + "\\x.txt", dst + "\\sub\\..\\y", dst + "/a//b", dst + "\\lnk",
                                      dst + "\\lnk\\", dst + "\\lnk\\keep.txt"})
            EXPECT_TRUE(gate.allows(ok.c_str())) << ok;
        for (const std::string& refused : {dst, dst + "\\", dst + "\\..", tmp / "outside", dst + "\\sub/../..",
                                           dst + "\\distr", dst + "\\DISTR\\f.txt", dst + "\\odd."})
            EXPECT_FALSE(gate.allows(refused.c_str())) << refused;
        EXPECT_FALSE(gate.removeTree((dst + "\\lnk\\keep.txt").c_str()));
        EXPECT_EQ(streams.err().back(),
                  "Ошибка: путь \"" + dst + "\\lnk\\keep.txt\" ведет через ссылку \"" + dst + "\\lnk\", не удален");
    }
    EXPECT_EQ(errors, 9);
    EXPECT_EQ(test::readFile(tmp / "outside\\keep.txt"), "k");

    // A destination inside the source is the run's own.
    DeletionGate inner((tmp / "outside\\local\\").c_str(), (tmp / "outside").c_str(), errors);
    EXPECT_TRUE(inner.allows((tmp / "outside\\local\\x").c_str()));
}

// A drive root has no name to go by: every directory is compared with it by
// its identity (by file index first, then volume). A link to it is found
// from its own volume and from another.
TEST(RootIdentity, ARootOfNoNameIsFoundThroughALinkFromItsOwnVolumeAndFromAnother) {
    test::TempDir tmp;
    const std::string shm = "/dev/shm/tolvaren-root-" + std::to_string(GetCurrentProcessId());
    test::makeDirs(tmp / "plain");
    ASSERT_TRUE(test::runUnixShell(tmp.path(), "ln -s / up"));
    if (!test::runUnixShell(tmp.path(), "mkdir -p " + shm + "/plain && ln -s / " + shm + "/up"))
        GTEST_SKIP() << "no /dev/shm";
    const RootIdentity root("Z:\\");
    for (const std::string& walked : {tmp.path(), "Z:" + shm}) {
        EXPECT_TRUE(root.is(walked + "\\up", "up")) << walked;
        EXPECT_FALSE(root.is(walked + "\\plain", "plain")) << walked;
        EXPECT_FALSE(root.is(walked + "\\none", "none")) << walked;
    }
    EXPECT_TRUE(test::runUnixShell(tmp.path(), "rm -r " + shm + " up"));
}
