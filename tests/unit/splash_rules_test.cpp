// The picture rules and the wave offsets, on plain data.
#include <gtest/gtest.h>

#include <set>

#include "splash/picture_rules.h"
#include "splash/progress_bar.h"

TEST(SplashRules, SettingSplitsAtTheLastHashAndReadsTheIdWithAtoi) {
    PictureSetting plain = splitPictureSetting("darv.exe#101");
    EXPECT_STREQ(plain.file, "darv.exe");
    EXPECT_TRUE(plain.hasId);
    EXPECT_EQ(plain.id, 101);

    PictureSetting twoHashes = splitPictureSetting("C:\\a#b\\m.dll# 7x");
    EXPECT_STREQ(twoHashes.file, "C:\\a#b\\m.dll");
    EXPECT_EQ(twoHashes.id, 7);  // leading blank allowed, stops at the first non-digit

    EXPECT_EQ(splitPictureSetting("m.dll#abc").id, 0);  // no digits: finds no bitmap
    EXPECT_EQ(splitPictureSetting("m.dll#").id, 0);
    EXPECT_EQ(splitPictureSetting("m.dll#65543").id, 7);  // a 16-bit id: 65543 wraps to 7
    EXPECT_EQ(splitPictureSetting("m.dll#-1").id, 0xFFFF);

    PictureSetting noHash = splitPictureSetting("picture.bmp");
    EXPECT_STREQ(noHash.file, "picture.bmp");
    EXPECT_FALSE(noHash.hasId);
    EXPECT_EQ(noHash.id, 101);
}

TEST(SplashRules, ExtensionsAreUpperCasedAfterTheLastDot) {
    EXPECT_EQ(UpperExtension("logo.Splash"), "SPLASH");
    EXPECT_EQ(UpperExtension("a.b.gif"), "GIF");
    EXPECT_EQ(UpperExtension("noext"), "");
    EXPECT_EQ(UpperExtension("dir.v1\\file"), "V1\\FILE");  // the dot may stand in a directory part
    EXPECT_EQ(UpperExtension("картинка.жпг"), "ЖПГ");       // Windows-1251 letters too
    EXPECT_TRUE(isSplashArchiveName("x.sPlAsH"));
    EXPECT_FALSE(isSplashArchiveName("x.splash.zip"));
    EXPECT_FALSE(isSplashArchiveName("splash"));
}

TEST(SplashRules, SourcePathsJoinWithOneBackslashAndRefuseWhatDoesNotFit) {
    EXPECT_EQ(joinSourcePath("C:\\src", "darv.exe"), "C:\\src\\darv.exe");
    EXPECT_EQ(joinSourcePath("C:\\src\\", "darv.exe"), "C:\\src\\darv.exe");
    EXPECT_EQ(joinSourcePath("\\\\srv\\share", "sub\\m.dll"), "\\\\srv\\share\\sub\\m.dll");
    EXPECT_EQ(joinSourcePath("", "darv.exe"), "");
    std::string longDir(1015, 'd');
    EXPECT_EQ(joinSourcePath(longDir.c_str(), "1234567").size(), 1023u);  // exactly fills the buffer
    EXPECT_EQ(joinSourcePath(longDir.c_str(), "12345678"), "");           // one byte too many
}

TEST(SplashRules, ArchiveChoiceComparesOnlyTheSignedFirstByte) {
    EXPECT_EQ(chooseSplashArchive({"readme.txt", "a.splash", "b.SPLASH", "c.zip"}), 2);
    EXPECT_EQ(chooseSplashArchive({"b1.splash", "b2.splash"}), 0);    // equal first bytes: the earlier stays
    EXPECT_EQ(chooseSplashArchive({"Яркий.splash", "1.splash"}), 1);  // Cyrillic bytes are negative
    EXPECT_EQ(chooseSplashArchive({"Яркий.splash", "Ёлка.splash"}), 0);
    EXPECT_EQ(chooseSplashArchive({"z.splash", "a.splash"}), 0);
    EXPECT_EQ(chooseSplashArchive({"a.txt", "splash"}), -1);
    EXPECT_EQ(chooseSplashArchive({}), -1);
}

TEST(SplashRules, TheFirstImageEntryIsChosenAndJpegAndPngArePassedOver) {
    std::list<std::string> names{"readme.txt", "noext", "big.jpeg", "logo.png", "pics/fon.Gif", "b.jpg"};
    const std::string* entry = firstImageEntry(names);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(*entry, "pics/fon.Gif");
    for (const char* ext : {"JPG", "bmp", "Dib", "emf", "WMF"})
        EXPECT_NE(firstImageEntry({std::string("x.") + ext}), nullptr) << ext;
    EXPECT_EQ(firstImageEntry({"a.jpeg", "b.png", "jpg", "c.tiff"}), nullptr);
    EXPECT_EQ(firstImageEntry({}), nullptr);
}

TEST(SplashRules, HimetricSizesBecomePixelsAndEmptySizesTheDefaults) {
    SIZE s = himetricToPixels(6000, 4000, 96, 96);
    EXPECT_EQ(s.cx, 227);
    EXPECT_EQ(s.cy, 151);
    s = himetricToPixels(7938, 5292, 96, 120);  // 300 x 200 at 96 dpi, the height at 120
    EXPECT_EQ(s.cx, 300);
    EXPECT_EQ(s.cy, 250);
    s = withDefaultSize(SIZE{0, 151});
    EXPECT_EQ(s.cx, 420);
    EXPECT_EQ(s.cy, 151);
    s = withDefaultSize(SIZE{227, -5});
    EXPECT_EQ(s.cx, 227);
    EXPECT_EQ(s.cy, 400);
}

TEST(SplashRules, WaveOffsetsRunFrom800DownAndCycleThrough266Positions) {
    int offset = WaveProgressBag::kFirstOffset;
    std::vector<int> first;
    do {
        offset = WaveProgressBag::nextOffset(offset);
        first.push_back(offset);
    } while (offset != 2);
    EXPECT_EQ(first.front(), 797);
    EXPECT_EQ(first.size(), 266u);  // 797, 794, ..., 2
    EXPECT_EQ(WaveProgressBag::nextOffset(2), 796);
    EXPECT_EQ(WaveProgressBag::nextOffset(1), 796);

    std::set<int> cycle;
    offset = 796;
    for (int i = 0; i < 266 * 3; ++i) {
        cycle.insert(offset);
        EXPECT_GT(offset, 0);
        EXPECT_LE(offset + WaveProgressBag::kBandWidth, 1228);  // always inside the 1228-column strip
        offset = WaveProgressBag::nextOffset(offset);
    }
    EXPECT_EQ(cycle.size(), 266u);
    EXPECT_EQ(*cycle.begin(), 1);
    EXPECT_EQ(*cycle.rbegin(), 796);
}
