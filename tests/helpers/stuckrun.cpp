// A run whose worker cannot be stopped: it takes the lock of the error
// stream, as a thread in the middle of a write holds it, presses Esc on the
// window (quiet mode: no question) and never returns. The run must end its
// process, with exit code 0 and its empty logs removed from the directory
// named by the first argument, instead of hanging in teardown.
#include <windows.h>
#include <cstdio>
#include <string>

#include "app/run.h"
#include "app/run_logs.h"
#include "win/show_message.h"
#include "splash/splash_window.h"
#include "win/fixed_text.h"
#include "worker/worker.h"

namespace {

DWORD WINAPI stuckWorker(void* parameter) {
    auto* start = static_cast<WorkerStart*>(parameter);
    _lock_file(stderr);
    PostMessageA(start->window->ShownWindow(), WM_CHAR, 27, 0);
    Sleep(INFINITE);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    quietMode = true;
    const std::string dir = std::string(argv[1]) + "\\";
    SettingsRecord settings;
    win::copyText(settings.destDir, dir.c_str());
    int32_t errorCount = 0;
    WorkerGate gate;
    WorkerRun run{settings, gate, errorCount, FileSystemCalls::real()};
    RunLogs logs(settings);
    logs.open();
    logs.closeStatistics();
    SplashWindow splash(GetModuleHandleA(nullptr), (dir + "none.ini").c_str());
    runWindowAndWorker(splash, run, logs, stuckWorker);
    return 3;  // the run came back: the process was not ended
}
