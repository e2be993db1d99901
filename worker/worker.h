// The worker thread: the whole work of a run, while the main thread keeps
// the splash window alive.
#pragma once

#include <windows.h>

class SyncEngine;
class WorkerWindow;

// The thread's only argument; lives in the entry's frame, which outlives it.
struct WorkerStart {
    WorkerWindow* window;
    SyncEngine* engine;
};

// The running check, the pass, the questions and the launch; owner is the
// window that owns the questions. Returns whether the command was started.
// Throws nothing: a stop ends the run quietly, any other exception with one
// counted error line, and neither starts the command or asks anything.
bool runWorker(SyncEngine& engine, HWND owner);

// Thread routine for CreateThread: runWorker, then asks the window to close.
DWORD WINAPI workerMain(void* start);
