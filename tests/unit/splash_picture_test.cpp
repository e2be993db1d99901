// Background pictures from real files: a module's bitmap resource and the
// first image of a splash archive, shown in a window of the picture's size.
#include <gtest/gtest.h>

#include "splash/splash_window.h"
#include "support/splash_support.h"
#include "support/test_support.h"

using namespace splash_test;

namespace {

COLORREF pattern(int x, int y) { return RGB(x % 256, y % 256, 100); }

struct Shown {
    int width, height;
    RECT rect;
    test::Pixels pixels;
};

Shown show(const std::string& ini) {
    SplashWindow splash(GetModuleHandleA(nullptr), ini.c_str());
    Shown s{0, 0, {}, {}};
    if (!splash.CreateWindowAndShow()) return s;
    s.width = splash.Width();
    s.height = splash.Height();
    GetWindowRect(splash.Window(), &s.rect);
    s.pixels = test::captureClient(splash.Window());
    return s;
}

}  // namespace

TEST(SplashPicture, AModuleBitmapGivesTheWindowItsSizeAndIsShown) {
    test::TempDir dir;
    std::string source = dir / "source";
    test::makeDirs(source);
    writeModuleWithBitmap(source + "\\darv.exe", 101, bmpFile(300, 200, pattern));
    writeModuleWithBitmap(dir / "other.dll", 7, bmpFile(160, 90, pattern));

    // The default setting: bitmap 101 of darv.exe in the source directory.
    Shown s = show(writeSplashIni(dir, source, nullptr));
    EXPECT_EQ(s.width, 300);
    EXPECT_EQ(s.height, 200);
    EXPECT_EQ(s.rect.right - s.rect.left, 300);
    EXPECT_EQ(s.rect.bottom - s.rect.top, 200);
    EXPECT_EQ(s.rect.left, (GetSystemMetrics(SM_CXSCREEN) - 300) / 2);
    EXPECT_EQ(s.rect.top, (GetSystemMetrics(SM_CYSCREEN) - 200) / 2);
    ASSERT_EQ(s.pixels.width, 300);
    for (auto xy : {std::pair<int, int>{150, 100}, {0, 199}, {299, 60}, {2, 40}})
        EXPECT_EQ(s.pixels.at(xy.first, xy.second), pattern(xy.first, xy.second)) << xy.first << "," << xy.second;
    bool versionDrawn = false;  // "Версия 2" over the picture at (15, 4)
    for (int y = 4; y < 18; ++y)
        for (int x = 15; x < 60; ++x) versionDrawn |= s.pixels.at(x, y) != pattern(x, y);
    EXPECT_TRUE(versionDrawn);

    // An absolute module path with id 7; a wrong id or a non-number finds nothing.
    std::string absolute = dir / "other.dll#7";
    s = show(writeSplashIni(dir, source, absolute.c_str()));
    EXPECT_EQ(s.width, 160);
    EXPECT_EQ(s.height, 90);
    s = show(writeSplashIni(dir, source, (dir / "other.dll#8").c_str()));
    EXPECT_EQ(s.width, 420);
    EXPECT_EQ(s.height, 400);
    s = show(writeSplashIni(dir, source, "darv.exe#x"));
    EXPECT_EQ(s.width, 420);
    // A plain image name is not loaded; without archives the defaults remain.
    test::writeFile(source + "\\fon.bmp", bmpFile(50, 40, pattern));
    s = show(writeSplashIni(dir, source, "fon.bmp"));
    EXPECT_EQ(s.width, 420);
    EXPECT_EQ(s.height, 400);
}

TEST(SplashPicture, TheFirstImageOfASplashArchiveIsThePicture) {
    test::TempDir dir;
    std::string source = dir / "source";
    test::makeDirs(source);
    // A text file, then a GIF inside a folder, then a JPG: the GIF is taken.
    test::writeFile(source + "\\fon.splash", zipFile({{"readme.txt", "not a picture"},
                                                      {"pics/fon.gif", gifFile(64, 48, RGB(200, 30, 40))},
                                                      {"fon.jpg", "not a jpeg either"}}));
    Shown s = show(writeSplashIni(dir, source, "fon.splash"));
    EXPECT_EQ(s.width, 64);
    EXPECT_EQ(s.height, 48);
    ASSERT_EQ(s.pixels.width, 64);
    EXPECT_EQ(s.pixels.at(40, 40), RGB(200, 30, 40));

    // A BMP entry: its size; the extension SPLASH in any case; named with "#" too.
    test::writeFile(source + "\\b.SpLaSh", zipFile({{"x.png", "png"}, {"b.BMP", bmpFile(123, 77, pattern)}}));
    s = show(writeSplashIni(dir, source, "b.SpLaSh"));
    EXPECT_EQ(s.width, 123);
    EXPECT_EQ(s.height, 77);
    EXPECT_EQ(s.pixels.at(100, 60), pattern(100, 60));
    s = show(writeSplashIni(dir, source, "b.splash#5"));
    EXPECT_EQ(s.width, 123);

    // Only JPEG and PNG entries: no picture.
    test::writeFile(source + "\\c.splash", zipFile({{"big.jpeg", "x"}, {"logo.png", "y"}}));
    s = show(writeSplashIni(dir, source, "c.splash"));
    EXPECT_EQ(s.width, 420);
    EXPECT_EQ(s.height, 400);
    // Not an archive at all.
    test::writeFile(source + "\\d.splash", "plain text");
    s = show(writeSplashIni(dir, source, "d.splash"));
    EXPECT_EQ(s.width, 420);
}

TEST(SplashPicture, WithoutANamedPictureTheSourceDirectoryIsSearched) {
    test::TempDir dir;
    std::string source = dir / "source";
    test::makeDirs(source);
    test::makeDirs(source + "\\z.splash");  // a directory: skipped
    test::writeFile(source + "\\a.splash", zipFile({{"a.bmp", bmpFile(111, 50, pattern)}}));
    test::writeFile(source + "\\b.splash", zipFile({{"b.bmp", bmpFile(222, 60, pattern)}}));
    test::writeFile(source + "\\Яркий.splash", zipFile({{"c.bmp", bmpFile(333, 70, pattern)}}));
    // The module named does not exist: the search picks b (greatest signed first byte).
    Shown s = show(writeSplashIni(dir, source, "darv.exe#101"));
    EXPECT_EQ(s.width, 222);
    EXPECT_EQ(s.height, 60);
    s = show(writeSplashIni(dir, source, ""));
    EXPECT_EQ(s.width, 222);
    // A missing source directory: no search, the defaults.
    s = show(writeSplashIni(dir, dir / "missing", ""));
    EXPECT_EQ(s.width, 420);
    EXPECT_EQ(s.height, 400);
}

TEST(SplashPicture, ASixtyMebibytePictureShowsItsWindowWithinSeconds) {
    // 4096 x 5120 pixels of 24 bits: a BMP of 60 MiB, close to the entry limit.
    test::TempDir dir;
    test::writeFile(dir / "fon.splash",
                    zipFile({{"fon.bmp", bmpFile(4096, 5120, [](int x, int y) { return RGB(x % 256, y % 256, 7); })}}));
    test::writeFile(dir / "big.ini", "[Основные параметры]\r\nКаталогИсточник=" + dir.path() +
                                         "\r\nКаталогПриемник=" + (dir / "dst") + "\r\nВыполнить=\r\n");
    DWORD start = GetTickCount();
    test::Process p("\"" + test::buildFile("tolvaren.exe") + "\" big.ini", dir.path());
    HWND window = nullptr;
    for (DWORD owner = 0; !(owner == p.id() && IsWindowVisible(window)) && GetTickCount() - start < 30000; Sleep(20))
        if ((window = FindWindowA("tolvaren.v2", nullptr))) GetWindowThreadProcessId(window, &owner);
    EXPECT_LT(GetTickCount() - start, 25000u);  // about 2 s on an idle machine, 12 s seen on a loaded one
    RECT r{};
    GetWindowRect(window, &r);
    EXPECT_EQ(r.right - r.left, 4096);
    EXPECT_EQ(r.bottom - r.top, 5120);
    EXPECT_EQ(p.wait(30000), 0);
}
