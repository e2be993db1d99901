// How the main thread holds and stops the worker: the worker stands still
// at its next checkpoint while paused, and a stop releases it for good.
// The worker is never suspended at an arbitrary point, where it might hold
// the heap lock or a stream lock that the main thread needs next.
//
// The worker's own questions take part too: the main thread does not pause
// (ask whether to abort) while one is on screen, and the worker does not
// open one while the main thread is asking or after a stop.
#pragma once

#include <windows.h>
#include <condition_variable>
#include <mutex>

#include "win/unique_handle.h"

class WorkerGate {
public:
    WorkerGate();
    WorkerGate(const WorkerGate&) = delete;
    WorkerGate& operator=(const WorkerGate&) = delete;

    // Main thread.
    // The worker stops at its next checkpoint until resume or stop. False
    // (nothing paused) after a stop or while the worker shows a question.
    bool pause();
    void resume();
    void stop();  // for good; also releases a paused worker and ends its waits
    bool stopRequested() const;
    bool paused() const;
    // The thread that shows a question of the worker's own now, or 0.
    DWORD askingThread() const;

    // Worker thread.
    // Before every file operation and caption: waits while paused, then
    // answers whether to stop.
    bool checkpoint() const;
    // Signalled once stopped: lets a wait on something else end at once.
    HANDLE stopSignal() const { return stopped.get(); }
    // Before a question of the worker's own: waits while paused; false after
    // a stop (no question then). Every true is followed by endAsking.
    bool beginAsking();
    void endAsking();

private:
    mutable std::mutex lock;  // guards the three fields below
    mutable std::condition_variable unpaused;
    bool stopFlag = false;
    bool pausedFlag = false;
    DWORD asker = 0;
    // A manual-reset event, signalled once stopped, beside the flag: the
    // running check waits on it together with a process handle, which only
    // a kernel object can take part in.
    win::UniqueKernelHandle stopped;
};
