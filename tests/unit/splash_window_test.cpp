// The splash window on a real display: size, position, colours, fixed
// texts, the caption line and the wave strip, read back as pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "splash/splash_window.h"
#include "support/splash_support.h"
#include "support/test_support.h"

using namespace splash_test;

namespace {

const COLORREF kBrush = RGB(12, 38, 61);

// Leftmost and rightmost columns in rows [top, bottom) whose pixels differ
// from what is underneath (the brush colour or the given picture).
struct Span {
    int left = -1, right = -1;
};
template <typename Under>
Span inkSpan(const test::Pixels& p, int top, int bottom, Under under) {
    Span s;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.at(x, y) != under(x, y)) {
                if (s.left < 0 || x < s.left) s.left = x;
                if (x > s.right) s.right = x;
            }
    return s;
}
Span inkSpan(const test::Pixels& p, int top, int bottom) {
    return inkSpan(p, top, bottom, [](int, int) { return kBrush; });
}

int textWidth(const char* text) {
    HFONT font = CreateFontA(13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Tahoma");
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    return size.cx;
}

LRESULT CALLBACK refuseCreation(HWND h, UINT m, WPARAM w, LPARAM l) {
    return m == WM_NCCREATE ? FALSE : DefWindowProcA(h, m, w, l);
}

}  // namespace

TEST(SplashWindow, WithoutPictureTheWindowIs420By400CentredInTheBrushColourWithItsTexts) {
    test::TempDir dir;
    std::string ini = writeSplashIni(dir, dir.path(), "darv.exe#101");  // no darv.exe, no archive
    {
        SplashWindow splash(GetModuleHandleA(nullptr), ini.c_str());
        ASSERT_TRUE(splash.CreateWindowAndShow());
        HWND hwnd = splash.Window();
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(splash.Width(), 420);
        EXPECT_EQ(splash.Height(), 400);

        RECT r{};
        GetWindowRect(hwnd, &r);
        EXPECT_EQ(r.right - r.left, 420);
        EXPECT_EQ(r.bottom - r.top, 400);
        EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 420) / 2);
        EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 400) / 2);
        char name[64] = "";
        GetWindowTextA(hwnd, name, sizeof name);
        EXPECT_STREQ(name, "Синхронизация файлов и каталогов");
        EXPECT_EQ(GetWindowLongA(hwnd, GWL_STYLE) & (WS_CAPTION | WS_BORDER | WS_SYSMENU), 0);

        test::Pixels p = test::captureClient(hwnd);
        ASSERT_EQ(p.width, 420);
        ASSERT_EQ(p.height, 400);
        for (auto xy : {std::pair<int, int>{0, 0}, {210, 200}, {419, 399}, {5, 300}, {419, 30}})
            EXPECT_EQ(p.at(xy.first, xy.second), kBrush) << xy.first << "," << xy.second;

        // "Версия 2" from x 15 and the copyright line ending at 414, both at y 4;
        // the title ending at 414 at height - 22; no caption yet.
        Span top = inkSpan(p, 4, 18);
        EXPECT_GE(top.left, 15);
        EXPECT_LE(top.left, 17);
        EXPECT_LE(top.right, 413);
        EXPECT_GE(top.right, 408);
        Span title = inkSpan(p, 378, 392);
        int titleWidth = textWidth("Синхронизация файлов и каталогов");
        EXPECT_GE(title.left, 414 - titleWidth);
        EXPECT_LE(title.left, 414 - titleWidth + 2);
        EXPECT_LE(title.right, 413);
        EXPECT_EQ(inkSpan(p, 23, 37).left, -1);
        EXPECT_EQ(inkSpan(p, 0, 4).left, -1);
        EXPECT_EQ(inkSpan(p, 40, 370).left, -1);
    }
    // Destroying a window whose loop never ran leaves no quit message behind.
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST(SplashWindow, CaptionsAreDrawnAt15By23AndCutAt1023Bytes) {
    test::TempDir dir;
    std::string ini = writeSplashIni(dir, dir.path(), "");
    SplashWindow splash(GetModuleHandleA(nullptr), ini.c_str());
    ASSERT_TRUE(splash.CreateWindowAndShow());
    HWND hwnd = splash.Window();

    SendMessageA(hwnd, WM_USER, reinterpret_cast<WPARAM>("Cканирование каталога источника"), 0);
    EXPECT_EQ(splash.Caption(), "Cканирование каталога источника");
    test::Pixels p = test::captureClient(hwnd);
    Span line = inkSpan(p, 23, 37);
    EXPECT_GE(line.left, 15);
    EXPECT_LE(line.left, 16);
    EXPECT_NEAR(line.right, 15 + textWidth("Cканирование каталога источника"), 2);
    EXPECT_EQ(inkSpan(p, 37, 370).left, -1);
    bool captionColour = false;
    for (int y = 23; y < 37; ++y)
        for (int x = 15; x < line.right + 1; ++x) captionColour |= p.at(x, y) == RGB(157, 157, 156);
    EXPECT_TRUE(captionColour);

    // A shorter caption replaces the longer one completely.
    SendMessageA(hwnd, WM_USER, reinterpret_cast<WPARAM>("Копирование"), 0);
    p = test::captureClient(hwnd);
    EXPECT_NEAR(inkSpan(p, 23, 37).right, 15 + textWidth("Копирование"), 2);

    std::string exact(1023, 'W');
    SendMessageA(hwnd, WM_USER, reinterpret_cast<WPARAM>(exact.c_str()), 0);
    EXPECT_EQ(splash.Caption(), exact);
    test::Pixels whole = test::captureClient(hwnd);
    std::string longer = exact + std::string(977, 'i');
    SendMessageA(hwnd, WM_USER, reinterpret_cast<WPARAM>(longer.c_str()), 0);
    EXPECT_EQ(splash.Caption(), exact);
    EXPECT_EQ(test::captureClient(hwnd).data, whole.data);

    SendMessageA(hwnd, WM_USER, reinterpret_cast<WPARAM>(""), 0);
    EXPECT_EQ(inkSpan(test::captureClient(hwnd), 23, 37).left, -1);
}

// Captions handed over from another thread never wait for the window: the
// window thread is busy meanwhile; when it serves its messages again it
// draws the last text.
TEST(SplashWindow, HandedCaptionsNeverWaitAndTheLastOneIsDrawn) {
    test::TempDir dir;
    std::string ini = writeSplashIni(dir, dir.path(), "");
    SplashWindow splash(GetModuleHandleA(nullptr), ini.c_str());
    ASSERT_TRUE(splash.CreateWindowAndShow());
    HWND hwnd = splash.Window();
    std::thread worker([&] {
        for (int i = 0; i < 1000; ++i) splash.HandCaption(("Копирование ...\\file" + std::to_string(i)).c_str());
        splash.HandCaption("Копирование");
    });
    worker.join();  // this thread served no message meanwhile
    EXPECT_EQ(splash.Caption(), "Копирование");
    for (DWORD start = GetTickCount(); GetTickCount() - start < 200;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        Sleep(5);
    }
    EXPECT_NEAR(inkSpan(test::captureClient(hwnd), 23, 37).right, 15 + textWidth("Копирование"), 2);
}

TEST(SplashWindow, TheStripBandShowsColumnsFromTheOffsetAndMoves) {
    test::TempDir dir;
    std::string ini = writeSplashIni(dir, dir.path(), "");
    SplashWindow splash(GetModuleHandleA(nullptr), ini.c_str());
    ASSERT_TRUE(splash.CreateWindowAndShow());
    HWND hwnd = splash.Window();
    auto* wave = dynamic_cast<const WaveProgressBag*>(splash.ProgressBar());
    ASSERT_NE(wave, nullptr);
    std::vector<COLORREF> strip = stripColumns();
    ASSERT_EQ(strip.size(), 1228u);

    auto expectBandAt = [&](const test::Pixels& p, int offset) {
        for (int y = 19; y < 22; ++y)
            for (int x = 0; x < std::min(428, p.width); ++x)
                ASSERT_EQ(p.at(x, y), strip[offset + x]) << "offset " << offset << " x " << x << " y " << y;
        for (int x = 0; x < p.width; ++x) {
            ASSERT_EQ(p.at(x, 18), kBrush);
            ASSERT_EQ(p.at(x, 22), kBrush);
        }
    };
    // Before the first tick: columns 800 to 1227.
    EXPECT_EQ(wave->Offset(), 800);
    expectBandAt(test::captureClient(hwnd), 800);

    test::pumpMessages(150);
    int offset = wave->Offset();
    EXPECT_LT(offset, 800);
    EXPECT_EQ((800 - offset) % 3, 0);
    expectBandAt(test::captureClient(hwnd), offset);

    test::pumpMessages(150);
    EXPECT_NE(wave->Offset(), offset);
    expectBandAt(test::captureClient(hwnd), wave->Offset());
}

// The worker starts before its window: one that wants to ask waits for the
// window, and one that ends first still has the window closed once made.
TEST(SplashWindow, AWorkerAheadOfItsWindowWaitsForItToAskAndItsCloseIsKept) {
    test::TempDir dir;
    std::string ini = writeSplashIni(dir, dir.path(), "");
    SplashWindow splash(GetModuleHandleA(nullptr), ini.c_str());
    HWND owner = nullptr;
    std::thread worker([&] {
        owner = splash.ShownWindow();
        splash.PostClose();
    });
    splash.PostClose();  // a worker that ended before the window was made
    ASSERT_TRUE(splash.CreateWindowAndShow());
    HWND made = splash.Window();
    worker.join();
    EXPECT_EQ(owner, made);
    splash.RunMessageLoop();  // returns: the early close was posted once the window existed
    EXPECT_FALSE(IsWindow(made));
}

TEST(SplashWindow, AWindowThatCannotBeCreatedIsReportedAndNotWaitedFor) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    UnregisterClassA(SplashWindow::kClassName, instance);
    // A class of that name whose windows refuse to be created is already there.
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &refuseCreation;
    wc.hInstance = instance;
    wc.lpszClassName = SplashWindow::kClassName;
    ASSERT_NE(RegisterClassExA(&wc), 0);

    test::TempDir dir;
    std::string ini = writeSplashIni(dir, dir.path(), "");
    std::ostringstream errors;
    std::streambuf* old = std::cerr.rdbuf(errors.rdbuf());
    bool created;
    {
        SplashWindow splash(instance, ini.c_str());
        WorkerGate gate;
        splash.SetWorkerGate(&gate);
        HWND owner = HWND(1);
        std::thread worker([&] { owner = splash.ShownWindow(); });  // a worker about to ask
        created = splash.CreateWindowAndShow();
        worker.join();
        EXPECT_EQ(splash.Window(), nullptr);
        EXPECT_EQ(owner, nullptr);
        EXPECT_TRUE(gate.stopRequested());  // the worker, already listing, is stopped
    }
    std::cerr.rdbuf(old);
    UnregisterClassA(SplashWindow::kClassName, instance);
    EXPECT_FALSE(created);
    EXPECT_EQ(errors.str().rfind("Ошибка ", 0), 0u) << errors.str();
    EXPECT_NE(errors.str().find("создания окна \"tolvaren.v2\"\n"), std::string::npos) << errors.str();
}
