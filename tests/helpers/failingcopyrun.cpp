// A run of tolvaren in which copying one file throws std::bad_alloc, as when
// memory runs out on a copy thread:
//   failingcopyrun.exe INI-PATH RESULT-FILE   (both full paths)
// Settings and logs come from the INI file and the run goes as the program
// runs it (the window, the worker, two copy threads); only the copy of a file
// named "сбой.txt" throws. After the run's teardown it writes "<errors counted>
// <window left> <statistics log there before the run>" to RESULT-FILE.
#include <windows.h>
#include <cstdio>
#include <cwchar>
#include <new>
#include <string>

#include "app/load_settings.h"
#include "app/run.h"
#include "splash/splash_window.h"
#include "core/worker_window.h"
#include "worker/worker.h"

namespace {

class FailingCopies : public WindowsFileSystem {
public:
    BOOL copyFileA(const char* from, const char* to) override {
        if (fails(std::string(from), std::string("\\сбой.txt"))) throw std::bad_alloc();
        return WindowsFileSystem::copyFileA(from, to);
    }
    BOOL copyFileW(const wchar_t* from, const wchar_t* to) override {
        if (fails(std::wstring(from), std::wstring(L"\\\u0441\u0431\u043e\u0439.txt"))) throw std::bad_alloc();
        return WindowsFileSystem::copyFileW(from, to);
    }

private:
    template <typename Text>
    static bool fails(const Text& path, const Text& name) {
        return path.size() >= name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0;
    }
};

// The window the worker ran under, once it was made.
HWND workerWindow = nullptr;

DWORD WINAPI recordingWorker(void* start) {
    workerWindow = static_cast<WorkerStart*>(start)->window->ShownWindow();
    return workerMain(start);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    int errors = -1;
    bool windowLeft = true, statisticsLogMade = false;
    {
        FailingCopies calls;
        SettingsRecord settings;
        takeStartFacts(settings);
        int32_t errorCount = 0;
        WorkerGate gate;
        WorkerRun run{settings, gate, errorCount, calls};
        run.copyThreads = 2;
        RunLogs logs(settings);
        if (!loadSettings(argv[1], settings, errorCount, logs)) return 3;
        statisticsLogMade =
            GetFileAttributesA((std::string(settings.destDir) + "tolvaren.out").c_str()) != INVALID_FILE_ATTRIBUTES;
        SplashWindow splash(GetModuleHandleA(nullptr), argv[1]);
        runWindowAndWorker(splash, run, logs, recordingWorker);
        errors = errorCount;
        windowLeft = workerWindow == nullptr || IsWindow(workerWindow);
    }  // the logs are closed here, as at the end of a run
    FILE* out = std::fopen(argv[2], "w");
    if (!out) return 4;
    std::fprintf(out, "%d %d %d\n", errors, windowLeft ? 1 : 0, statisticsLogMade ? 1 : 0);
    std::fclose(out);
    return 0;
}
