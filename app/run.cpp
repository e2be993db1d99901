#include "app/run.h"

#include <cstdio>
#include <iostream>

#include "app/destination_lock.h"
#include "app/ini_path.h"
#include "app/ini_reading.h"
#include "app/list_only.h"
#include "app/load_settings.h"
#include "app/options.h"
#include "app/run_logs.h"
#include "win/show_message.h"
#include "fsops/directories.h"
#include "splash/splash_window.h"
#include "win/unique_handle.h"
#include "worker/process_platform.h"
#include "worker/running_check.h"
#include "worker/worker.h"

namespace {

// The loop ends when the window has gone, and the window stopped the worker
// and waited for it. A worker still running then cannot be stopped (a call
// that does not return, such as on a share that stopped answering). It is
// not terminated, which could leave a lock the teardown needs taken for
// good: the process ends instead, removing the logs that stayed empty.
void endIfWorkerStuck(const RunLogs& logs, HANDLE worker) {
    if (WaitForSingleObject(worker, 1) != WAIT_TIMEOUT) return;
    logs.abandon();
    TerminateProcess(GetCurrentProcess(), 0);
}

// The destination could not be prepared: one line in the error stream, no box.
void reportMessageError(const MessageError& error) {
    std::cerr << "Ошибка [" << error.code() << "], " << error.what() << std::endl;
    std::fflush(stderr);
    std::fflush(stdout);
}

}  // namespace

// The worker starts first: its listings run while the picture is looked
// for and the window made, which takes a share's round trips and the X
// server's time. Without a window the worker is stopped (nobody could see
// or stop the run) and there is no loop to wait for.
void runWindowAndWorker(SplashWindow& splash, WorkerRun& run, const RunLogs& logs, LPTHREAD_START_ROUTINE routine) {
    run.captions = &splash;
    splash.SetWorkerGate(&run.gate);

    WorkerStart start{&splash, &run};
    DWORD workerId = 0;
    win::UniqueKernelHandle worker(CreateThread(nullptr, 0, routine, &start, 0, &workerId));
    if (!worker) {
        std::cerr << "Ошибка " << GetLastError() << " запуска потока синхронизации" << std::endl;
        return;
    }
    splash.SetWorkerThread(worker.get(), workerId);
    if (splash.CreateWindowAndShow())
        splash.RunMessageLoop();
    else
        WaitForSingleObject(worker.get(), SplashWindow::kWorkerGraceMs);  // stopped by the failed window
    endIfWorkerStuck(logs, worker.get());
}

void runTolvaren(HINSTANCE instance, const char* arguments) {
    DWORD startTick = GetTickCount();
    if (!parseOptions(arguments)) return;
    // A list-only run asks nothing: what would be a box goes to the error stream.
    bool listOnly = findOption(arguments, "/l");
    if (listOnly) quietMode = true;
    char iniPath[kPathBuffer];
    if (!resolveIniPath(withoutLeadingOption(arguments, "/l"), iniPath)) return;
    if (listOnly) return runListOnly(iniPath, startTick);

    // Another run on the same destination is under way: give way before
    // anything here touches the directory or its logs. Held until the
    // logs below are closed (and perhaps removed).
    DestinationLock destination(readDestinationSetting(iniPath));
    if (!destination.held()) {
        // A launcher may wait for this process's answer without a time
        // limit; it gets it, though not the wait for its own end.
        DWORD launcher = 0;
        answerStartupHandshake(ProcessPlatform::real(), launcher);
        return;
    }

    // What the run is made of, each owned here: the settings (read-only once
    // loaded), the error count, the worker's gate and the run logs.
    SettingsRecord settings;
    takeStartFacts(settings);
    int32_t errorCount = 0;
    WorkerGate gate;
    RunLogs logs(settings);  // closed after the window has gone
    // Reads its picture setting from the INI file; destroyed first.
    SplashWindow splash(instance, iniPath);
    try {
        WorkerRun run{settings, gate, errorCount, FileSystemCalls::real()};
        run.startTick = startTick;
        if (loadSettings(iniPath, settings, errorCount, logs))
            runWindowAndWorker(splash, run, logs, workerMain);
        else
            showMessage(nullptr, "Ошибка в файле инициализации", "tolvaren", MB_OK);
    } catch (const MessageError& error) {
        reportMessageError(error);
    }
}
