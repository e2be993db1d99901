// The run sequence of the program, from the command line to teardown.
#pragma once

#include <windows.h>

class RunLogs;
class SplashWindow;
struct WorkerRun;

// Runs the program for the argument string (the command-line tail after the
// program path). Everything ends here; the exit code is always 0.
void runTolvaren(HINSTANCE instance, const char* arguments);

// With the settings loaded and the run logs open: makes the window the
// run's caption sink, starts worker on a thread of its own with the
// WorkerStart record, then shows the window (the worker's listings need not
// wait for it) and serves it until it closes. A window that cannot be made
// stops the worker. A worker that cannot be stopped ends the process (exit
// code 0), removing the logs that stayed empty, rather than leave it hanging.
void runWindowAndWorker(SplashWindow& splash, WorkerRun& run, const RunLogs& logs, LPTHREAD_START_ROUTINE worker);
