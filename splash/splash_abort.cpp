// The abort on Esc and the end of the worker when the window goes away.
#include "splash/splash_window.h"

#include "win/message_box.h"
#include "win/show_message.h"

namespace {

// Presses the button of a worker's box that starts nothing: No where there
// is one, else OK.
BOOL CALLBACK withdrawBox(HWND window, LPARAM) {
    char cls[16] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") != 0) return TRUE;
    for (int id : {IDNO, IDOK, IDCANCEL})
        if (HWND button = GetDlgItem(window, id)) {
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
            break;
        }
    return TRUE;
}

}  // namespace

// The worker stands still at its next checkpoint while the question is up;
// the box's own loop keeps serving the window and the worker's captions.
// No question while the worker shows one of its own: the window is disabled
// by it then, and its answer decides anyway.
void SplashWindow::AbortRequest() {
    if (asking || !gate->pause()) return;
    if (!quietMode) {
        asking = true;
        bool abort = messageBox(window, "Прервать синхронизацию?", title, MB_YESNO) == IDYES;
        asking = false;
        if (!abort) {
            gate->resume();
            return;
        }
    }
    gate->stop();
    if (window) PostMessageA(window, WM_DESTROY, 0, 0);  // the window may have closed while asking
}

void SplashWindow::OnDestroy() {
    progress->Stop();
    StopWorker();
    PostQuitMessage(0);
    window = nullptr;
}

// Stops the worker and lets it reach its next checkpoint. One that has not
// ended within the grace time is left running, never terminated: it may be
// inside a call holding a lock (heap, stream, window system) that the
// process still needs. The caller decides what then (the entry ends the
// process). True when the worker has ended.
bool SplashWindow::StopWorker() {
    gate->stop();
    return !worker || WaitForWorker(kWorkerGraceMs);
}

// Waits for the worker while still answering the captions it sends, since a
// worker blocked in SendMessageA could not otherwise reach its next check,
// and withdrawing any box it shows, whose answer no longer matters.
bool SplashWindow::WaitForWorker(DWORD timeoutMs) {
    const DWORD kSlice = 50;
    DWORD start = GetTickCount();
    for (;;) {
        WithdrawWorkerBoxes();
        DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0;
        DWORD wait = timeoutMs - spent < kSlice ? timeoutMs - spent : kSlice;
        DWORD r = MsgWaitForMultipleObjects(1, &worker, FALSE, wait, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0) return true;
        if (r == WAIT_OBJECT_0 + 1) {
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // delivers the sent messages only
        } else if (r != WAIT_TIMEOUT) {
            return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0;
        }
    }
}

void SplashWindow::WithdrawWorkerBoxes() {
    DWORD thread = workerId ? workerId : gate->askingThread();
    if (thread) EnumThreadWindows(thread, withdrawBox, 0);
}
