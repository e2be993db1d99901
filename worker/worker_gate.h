// How the main thread holds and stops the worker: the worker stands still
// at its next checkpoint while paused, and a stop releases it for good.
// The worker is never suspended at an arbitrary point, where it might hold
// the heap lock or a stream lock that the main thread needs next.
#pragma once

#include <windows.h>
#include <atomic>

#include "win/unique_handle.h"

class WorkerGate {
public:
    WorkerGate();
    WorkerGate(const WorkerGate&) = delete;
    WorkerGate& operator=(const WorkerGate&) = delete;

    // Main thread.
    void pause();   // the worker stops at its next checkpoint until resume or stop
    void resume();
    void stop();    // for good; also releases a paused worker
    bool stopRequested() const { return stopFlag.load(); }
    bool paused() const { return WaitForSingleObject(open.get(), 0) == WAIT_TIMEOUT; }

    // Worker thread, before every file operation and caption: waits while
    // paused, then answers whether to stop.
    bool checkpoint() const;

private:
    std::atomic<bool> stopFlag{false};
    win::UniqueKernelHandle open;  // manual-reset event, signalled while not paused
};
