// Esc on the splash window and the end of the worker: the gate that holds
// the worker while the question is up, the stop, and a worker that does not
// stop left running rather than terminated.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>

#include "win/show_message.h"
#include "splash/splash_window.h"
#include "support/splash_support.h"
#include "support/test_support.h"

using namespace splash_test;

namespace {

const DWORD kStoppedItself = 7, kFinished = 3;

// Sends numbered captions, passing the gate before each, until stopped
// (then ends with 7) or until told to finish (then closes the window and
// ends with 3).
struct CaptionWorker {
    SplashWindow* splash;
    HWND window;
    std::atomic<int> sent{0};
    std::atomic<bool> finish{false};
    bool ignoreStop = false;
    DWORD pauseMs = 2;
};

DWORD WINAPI runCaptionWorker(void* parameter) {
    auto* w = static_cast<CaptionWorker*>(parameter);
    for (;;) {
        if (!w->ignoreStop && w->splash->Gate().checkpoint()) return kStoppedItself;
        if (w->finish) {
            w->splash->PostClose();
            return kFinished;
        }
        if (!w->ignoreStop) {
            char text[64];
            std::snprintf(text, sizeof text, "Копирование ...\\файл%d.dat", w->sent.load() + 1);
            SendMessageA(w->window, WM_USER, reinterpret_cast<WPARAM>(text), 0);
            ++w->sent;
        }
        Sleep(w->pauseMs);
    }
}

struct SplashRun {
    test::TempDir dir;
    SplashWindow splash;
    CaptionWorker worker;
    HANDLE thread = nullptr;

    SplashRun() : splash(GetModuleHandleA(nullptr), writeSplashIni(dir, dir.path(), "").c_str()) {
        test::resetBoxes();
        quietMode = false;
    }
    ~SplashRun() {
        if (thread) {
            if (WaitForSingleObject(thread, 5000) == WAIT_TIMEOUT) TerminateThread(thread, 99);
            CloseHandle(thread);
        }
        quietMode = false;
        test::resetBoxes();
    }
    void start(bool ignoreStop = false) {
        ASSERT_TRUE(splash.CreateWindowAndShow());
        worker.splash = &splash;
        worker.window = splash.Window();
        worker.ignoreStop = ignoreStop;
        thread = CreateThread(nullptr, 0, &runCaptionWorker, &worker, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        splash.SetWorkerThread(thread);
    }
    void pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
        DWORD begin = GetTickCount();
        while (!done() && GetTickCount() - begin < timeoutMs) test::pumpMessages(10);
    }
    DWORD exitCode() {
        DWORD code = 1234;
        WaitForSingleObject(thread, 5000);
        GetExitCodeThread(thread, &code);
        return code;
    }
    test::Pixels captionLine() {
        test::Pixels p = test::captureClient(splash.Window());
        p.data.assign(p.data.begin() + 23 * p.width, p.data.begin() + 37 * p.width);
        return p;
    }
};

}  // namespace

TEST(SplashAbort, QuietEscStopsTheWorkerWithoutAQuestion) {
    SplashRun run;
    quietMode = true;
    run.start();
    run.pumpUntil([&] { return run.worker.sent >= 3; });
    PostMessageA(run.splash.Window(), WM_CHAR, 27, 0);
    DWORD begin = GetTickCount();
    EXPECT_EQ(run.splash.RunMessageLoop(), 0);
    EXPECT_LT(GetTickCount() - begin, 1500u);
    EXPECT_EQ(run.exitCode(), kStoppedItself);  // ended at its own check, not by force
    EXPECT_TRUE(run.splash.Gate().stopRequested());
    EXPECT_EQ(run.splash.Window(), nullptr);
    EXPECT_TRUE(test::boxCalls().empty());
}

namespace {

// What a user pressing a button of the real question saw before answering.
struct WhileAsked {
    std::string title;
    bool paused = false;
    bool stripMoved = false;
    int sentWhileAsked = -1;
};

// Presses Esc, and from another thread waits for the question, watches the
// worker and the strip for a while and answers; the caller serves the window.
std::thread answerQuestion(SplashRun& run, int answer, WhileAsked& seen) {
    HWND window = run.splash.Window();
    std::thread user([&run, window, answer, &seen] {
        HWND dialog = test::findOwnedDialog(window);
        if (!dialog) return;
        char text[128] = "";
        GetWindowTextA(dialog, text, sizeof text);
        seen.title = text;
        Sleep(100);  // a caption already on its way is still served by the box
        int sent = run.worker.sent;
        test::Pixels first = test::captureClient(window);
        Sleep(400);
        test::Pixels second = test::captureClient(window);
        for (int x = 0; x < first.width; ++x) seen.stripMoved |= first.at(x, 20) != second.at(x, 20);
        seen.sentWhileAsked = run.worker.sent - sent;
        seen.paused = run.splash.Gate().paused();
        test::pressDialogButton(dialog, answer);
    });
    PostMessageA(window, WM_CHAR, 27, 0);
    return user;
}

}  // namespace

TEST(SplashAbort, EscAnsweredNoHoldsTheWorkerWhileAskedThenLetsItGoOn) {
    SplashRun run;
    run.start();
    run.pumpUntil([&] { return run.worker.sent >= 3; });
    for (WPARAM key : {WPARAM('a'), WPARAM('\r'), WPARAM(' '), WPARAM(26)})
        PostMessageA(run.splash.Window(), WM_CHAR, key, 0);
    test::pumpMessages(50);
    EXPECT_TRUE(test::boxCalls().empty());
    EXPECT_FALSE(run.splash.Gate().paused());

    test::useRealMessageBoxes(true);
    WhileAsked seen;
    std::thread user = answerQuestion(run, IDNO, seen);
    run.pumpUntil([&] { return !test::boxCalls().empty() && !run.splash.Gate().paused(); }, 10000);
    user.join();
    EXPECT_EQ(seen.title, "Синхронизация файлов и каталогов");
    EXPECT_TRUE(seen.paused);
    EXPECT_EQ(seen.sentWhileAsked, 0);  // stood still at its checkpoint
    EXPECT_TRUE(seen.stripMoved);
    ASSERT_EQ(test::boxCalls().size(), 1u);
    const test::BoxCall& box = test::boxCalls()[0];
    EXPECT_EQ(box.owner, run.splash.Window());
    EXPECT_EQ(box.text, "Прервать синхронизацию?");
    EXPECT_EQ(box.caption, "Синхронизация файлов и каталогов");
    EXPECT_EQ(box.type, static_cast<UINT>(MB_YESNO));
    EXPECT_FALSE(run.splash.Gate().stopRequested());

    // The worker goes on, and the next caption it sends is drawn.
    int sent = run.worker.sent;
    test::Pixels before = run.captionLine();
    run.pumpUntil([&] { return run.worker.sent > sent + 2; });
    EXPECT_GT(run.worker.sent, sent + 2);
    char expected[64];
    std::snprintf(expected, sizeof expected, "Копирование ...\\файл%d.dat", run.worker.sent.load());
    EXPECT_EQ(run.splash.Caption(), expected);
    EXPECT_NE(run.captionLine().data, before.data);

    run.worker.finish = true;
    EXPECT_EQ(run.splash.RunMessageLoop(), 0);
    EXPECT_EQ(run.exitCode(), kFinished);
    EXPECT_EQ(test::boxCalls().size(), 1u);
}

TEST(SplashAbort, EscAnsweredYesStopsTheWorkerAtItsCheckpoint) {
    SplashRun run;
    test::useRealMessageBoxes(true);
    run.start();
    run.pumpUntil([&] { return run.worker.sent >= 2; });
    WhileAsked seen;
    std::thread user = answerQuestion(run, IDYES, seen);
    EXPECT_EQ(run.splash.RunMessageLoop(), 0);
    user.join();
    EXPECT_EQ(seen.title, "Синхронизация файлов и каталогов");
    EXPECT_TRUE(seen.paused);
    EXPECT_EQ(seen.sentWhileAsked, 0);
    EXPECT_TRUE(seen.stripMoved);
    EXPECT_EQ(run.exitCode(), kStoppedItself);  // released and ended by itself, not terminated
    EXPECT_TRUE(run.splash.Gate().stopRequested());
    ASSERT_EQ(test::boxCalls().size(), 1u);
    EXPECT_EQ(test::boxCalls()[0].text, "Прервать синхронизацию?");
}

TEST(SplashAbort, ClosingWaitsForAWorkerBlockedOnACaptionAndNeverTerminatesAStubbornOne) {
    {
        // The worker sends without pause, so it is usually inside SendMessageA
        // when the window is destroyed: its caption is still answered.
        SplashRun run;
        run.worker.pauseMs = 0;
        run.start();
        run.pumpUntil([&] { return run.worker.sent >= 20; });
        PostMessageA(run.splash.Window(), WM_CLOSE, 0, 0);
        EXPECT_EQ(run.splash.RunMessageLoop(), 0);
        EXPECT_EQ(run.exitCode(), kStoppedItself);  // not held up until the forced end
    }
    {
        // One that does not stop is waited for the grace time, then left
        // running: never terminated, it may hold a lock the process needs.
        SplashRun run;
        run.start(/*ignoreStop=*/true);
        test::pumpMessages(50);
        PostMessageA(run.splash.Window(), WM_CLOSE, 0, 0);
        DWORD begin = GetTickCount();
        EXPECT_EQ(run.splash.RunMessageLoop(), 0);
        DWORD spent = GetTickCount() - begin;
        EXPECT_GE(spent, SplashWindow::kWorkerGraceMs - 50);
        EXPECT_LT(spent, SplashWindow::kWorkerGraceMs + 3500);  // Wine takes 2 s to destroy a shown window
        EXPECT_EQ(WaitForSingleObject(run.thread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        run.worker.finish = true;
        EXPECT_EQ(run.exitCode(), kFinished);  // still alive until told to end
    }
}
