#include "core/worker_gate.h"

WorkerGate::WorkerGate()
    : open(CreateEventA(nullptr, TRUE, TRUE, nullptr)), stopped(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

bool WorkerGate::pause() {
    win::CriticalSectionLock hold(lock);
    if (stopFlag || asker) return false;
    pausedFlag = true;
    ResetEvent(open.get());
    return true;
}

void WorkerGate::resume() {
    win::CriticalSectionLock hold(lock);
    pausedFlag = false;
    SetEvent(open.get());
}

void WorkerGate::stop() {
    win::CriticalSectionLock hold(lock);
    stopFlag = true;
    pausedFlag = false;
    SetEvent(stopped.get());
    SetEvent(open.get());
}

bool WorkerGate::stopRequested() const {
    win::CriticalSectionLock hold(lock);
    return stopFlag;
}

bool WorkerGate::paused() const {
    win::CriticalSectionLock hold(lock);
    return pausedFlag;
}

DWORD WorkerGate::askingThread() const {
    win::CriticalSectionLock hold(lock);
    return asker;
}

bool WorkerGate::checkpoint() const {
    {
        // Not paused: a flag read, no wait on the event (a round trip to the
        // kernel, or to Wine's server, for every file).
        win::CriticalSectionLock hold(lock);
        if (!pausedFlag) return stopFlag;
    }
    if (open)
        WaitForSingleObject(open.get(), INFINITE);
    else  // the event could not be made: poll instead
        while (paused()) Sleep(10);
    return stopRequested();
}

bool WorkerGate::beginAsking() {
    for (;;) {
        {
            win::CriticalSectionLock hold(lock);
            if (stopFlag) return false;
            if (!pausedFlag) {
                asker = GetCurrentThreadId();
                return true;
            }
        }
        checkpoint();
    }
}

void WorkerGate::endAsking() {
    win::CriticalSectionLock hold(lock);
    asker = 0;
}
