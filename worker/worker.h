// The worker thread: the whole work of a run, while the main thread keeps
// the splash window alive.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

#include "core/caption_sink.h"
#include "core/settings.h"
#include "core/worker_gate.h"
#include "fsops/fs_calls.h"

class ProcessPlatform;
class WorkerWindow;

// What a run's worker works with. Its caller owns all of it and wires it;
// the worker builds the pass from it.
struct WorkerRun {
    const SettingsRecord& settings;
    WorkerGate& gate;
    int32_t& errorCount;
    FileSystemCalls& fs;
    CaptionSink* captions = nullptr;       // null: no window
    ProcessPlatform* processes = nullptr;  // null: the real Windows calls
    std::size_t copyThreads = 0;           // 0: chosen by the source's drive
    std::size_t listThreads = 0;
    DWORD startTick = GetTickCount();  // when the run began, for its summary line
};

// The thread's only argument; lives in the entry's frame, which outlives it.
struct WorkerStart {
    WorkerWindow* window;
    const WorkerRun* run;
};

// The running check, the pass, the questions, the launch and the summary
// line; window (null: none) owns the questions, which wait until it has
// been made. Returns whether the command was started. Throws nothing: a stop ends the run quietly (no
// summary either), any other exception with one counted error line, and
// neither starts the command or asks anything.
bool runWorker(const WorkerRun& run, WorkerWindow* window);

// Thread routine for CreateThread: runWorker, then asks the window to close.
DWORD WINAPI workerMain(void* start);
