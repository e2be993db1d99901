#include "app/run.h"

#include <cstdio>
#include <iostream>

#include "app/ini_path.h"
#include "app/options.h"
#include "app/show_message.h"
#include "fsops/directories.h"
#include "splash/splash_window.h"
#include "sync/sync_engine.h"
#include "win/unique_handle.h"
#include "worker/worker.h"

namespace {

// The loop has ended; the worker's last act was to ask for that, so it is
// normally gone. One still running is asked to stop, and terminated only if
// it does not within the grace period, so that teardown never waits on a
// lock (heap, log stream) held by a thread killed mid-call.
void stopWorker(SyncEngine& engine, HANDLE worker) {
    if (WaitForSingleObject(worker, 1) != WAIT_TIMEOUT) return;
    engine.gate.stop();
    if (WaitForSingleObject(worker, SplashWindow::kWorkerGraceMs) == WAIT_TIMEOUT) TerminateThread(worker, 0);
}

// The destination could not be prepared: one line in the error stream, no box.
void reportMessageError(const MessageError& error) {
    std::cerr << "Ошибка [" << error.code() << "], " << error.what() << std::endl;
    std::fflush(stderr);
    std::fflush(stdout);
}

// Settings loaded, run logs open: the window, the worker and the message
// loop. Without a window there is no worker and no loop to wait for.
void runLoadedSettings(SplashWindow& splash, SyncEngine& engine) {
    if (!splash.CreateWindowAndShow()) return;
    engine.settings.windowHandle = splash.Window();
    splash.SetWorkerGate(&engine.gate);

    WorkerStart start{&splash, &engine};
    win::UniqueKernelHandle worker(CreateThread(nullptr, 0, workerMain, &start, 0, nullptr));
    if (!worker) {
        std::cerr << "Ошибка " << GetLastError() << " запуска потока синхронизации" << std::endl;
        return;  // the window goes with the SplashWindow
    }
    splash.SetWorkerThread(worker.get());
    splash.RunMessageLoop();
    stopWorker(engine, worker.get());
}

}  // namespace

void runTolvaren(HINSTANCE instance, const char* arguments) {
    if (!parseOptions(arguments)) return;
    char iniPath[kPathBuffer];
    if (!resolveIniPath(arguments, iniPath)) return;

    SyncEngine engine;
    // Reads its picture setting from the INI file; destroyed before the engine.
    SplashWindow splash(instance, iniPath);
    try {
        if (engine.loadSettings(iniPath))
            runLoadedSettings(splash, engine);
        else
            showMessage(nullptr, "Ошибка в файле инициализации", "tolvaren", MB_OK);
    } catch (const MessageError& error) {
        reportMessageError(error);
    }
}
