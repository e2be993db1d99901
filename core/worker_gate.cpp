#include "core/worker_gate.h"

WorkerGate::WorkerGate() : stopped(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

bool WorkerGate::pause() {
    std::lock_guard<std::mutex> hold(lock);
    if (stopFlag || asker) return false;
    pausedFlag = true;
    return true;
}

void WorkerGate::resume() {
    {
        std::lock_guard<std::mutex> hold(lock);
        pausedFlag = false;
    }
    unpaused.notify_all();
}

void WorkerGate::stop() {
    {
        std::lock_guard<std::mutex> hold(lock);
        stopFlag = true;
        pausedFlag = false;
        SetEvent(stopped.get());
    }
    unpaused.notify_all();
}

bool WorkerGate::stopRequested() const {
    std::lock_guard<std::mutex> hold(lock);
    return stopFlag;
}

bool WorkerGate::paused() const {
    std::lock_guard<std::mutex> hold(lock);
    return pausedFlag;
}

DWORD WorkerGate::askingThread() const {
    std::lock_guard<std::mutex> hold(lock);
    return asker;
}

// Not paused, this is a flag read under the lock: no kernel (or Wine
// server) round trip for every file.
bool WorkerGate::checkpoint() const {
    std::unique_lock<std::mutex> hold(lock);
    unpaused.wait(hold, [this] { return !pausedFlag; });
    return stopFlag;
}

// A stop also ends a pause, so after the wait a stop is all that is left to ask.
bool WorkerGate::beginAsking() {
    std::unique_lock<std::mutex> hold(lock);
    unpaused.wait(hold, [this] { return !pausedFlag; });
    if (stopFlag) return false;
    asker = GetCurrentThreadId();
    return true;
}

void WorkerGate::endAsking() {
    std::lock_guard<std::mutex> hold(lock);
    asker = 0;
}
