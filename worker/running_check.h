// The steps of the running-application check, over the platform interface.
#pragma once

#include <windows.h>

#include "worker/process_platform.h"
#include "core/settings.h"
#include "core/worker_gate.h"

// Identifier of the first process, in snapshot order, whose main module is
// path (compared with _stricmp: only ASCII letters fold); 0 when none.
DWORD findProcessByPath(ProcessPlatform& platform, const char* path);

// Gives the process polls × interval ms to end by itself, then ends it by
// force. A process that cannot be opened counts as gone. Every poll passes
// the gate: nothing is ended while the user is asked whether to abort, and
// an abort ends the wait without ending the process.
void waitOrTerminate(ProcessPlatform& platform, DWORD id, DWORD interval, int polls, const WorkerGate& gate);

// Answers a launcher's start-up handshake, when one prepared it for this
// process: opens the block "<pid>Tolvaren", sets the event
// "<pid>TolvarenCheckStart" and reads the launcher's identifier from the
// block. False when there is no block.
bool answerStartupHandshake(ProcessPlatform& platform, DWORD& launcher);

// Answers the handshake and waits for the launcher it names.
void startupHandshake(ProcessPlatform& platform, const WorkerGate& gate);

// Asks the companion monitor running from destDir + "Кронваль\" to quit.
void stopMonitor(ProcessPlatform& platform, const char* destDir, const WorkerGate& gate);

// The whole check before a pass: the handshake, the monitor, then whether
// the application of runningCheckPath runs from the destination. processes
// null: the real calls, whose waits end as soon as the run is stopped.
bool isApplicationRunning(const SettingsRecord& settings, ProcessPlatform* processes, const WorkerGate& gate);
