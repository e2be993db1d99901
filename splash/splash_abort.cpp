// The abort on Esc and the end of the worker when the window goes away.
#include "splash/splash_window.h"

#include "app/message_box.h"
#include "app/show_message.h"

void SplashWindow::AbortRequest() {
    if (StopRequested() || workerSuspended) return;  // already stopping, or the question is up
    if (worker && SuspendThread(worker) != static_cast<DWORD>(-1)) workerSuspended = true;
    if (!quietMode && messageBox(window, "Прервать синхронизацию?", title, MB_YESNO) != IDYES) {
        if (workerSuspended) ResumeThread(worker);
        workerSuspended = false;
        return;
    }
    stopFlag->store(true);
    PostMessageA(window, WM_DESTROY, 0, 0);
}

void SplashWindow::OnDestroy() {
    StopWorker();
    PostQuitMessage(0);
    window = nullptr;
}

// Sets the stop flag and lets the worker reach its next check; only a worker
// that has not ended within the grace time is terminated.
void SplashWindow::StopWorker() {
    stopFlag->store(true);
    if (!worker) return;
    if (workerSuspended) ResumeThread(worker);
    workerSuspended = false;
    if (!WaitForWorker(kWorkerGraceMs)) TerminateThread(worker, 0);
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
