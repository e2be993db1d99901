// The abort on Esc and the end of the worker when the window goes away.
#include "splash/splash_window.h"

#include "app/message_box.h"
#include "app/show_message.h"

// The worker stands still at its next checkpoint while the question is up;
// the box's own loop keeps serving the window and the worker's captions.
void SplashWindow::AbortRequest() {
    if (gate->stopRequested() || asking) return;  // already stopping, or the question is up
    if (!quietMode) {
        gate->pause();
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
    StopWorker();
    PostQuitMessage(0);
    window = nullptr;
}

// Stops and releases the worker and lets it reach its next checkpoint; only
// a worker that has not ended within the grace time is terminated.
void SplashWindow::StopWorker() {
    gate->stop();
    if (worker && !WaitForWorker(kWorkerGraceMs)) TerminateThread(worker, 0);
}

// Waits for the worker while still answering the captions it sends, since a
// worker blocked in SendMessageA could not otherwise reach its next check.
bool SplashWindow::WaitForWorker(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0;
        DWORD r = MsgWaitForMultipleObjects(1, &worker, FALSE, timeoutMs - spent, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0) return true;
        if (r != WAIT_OBJECT_0 + 1) return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // delivers the sent messages only
    }
}
