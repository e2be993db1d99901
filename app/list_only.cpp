#include "app/list_only.h"

#include <io.h>

#include <cstdio>
#include <fstream>
#include <iostream>

#include "app/load_settings.h"
#include "core/worker_gate.h"
#include "sync/pass.h"
#include "sync/summary.h"
#include "win/show_message.h"

namespace {

// Whether the C runtime's standard output leads to a file, a pipe or a
// console. A GUI program started from a shortcut, or from a console without
// a redirection, has no handle there; the runtime then keeps -1 or -2 (a
// pseudo-handle that is no file) in its place.
bool hasStandardOutput() {
    int fd = _fileno(stdout);
    if (fd < 0) return false;
    HANDLE out = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    return out && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN;
}

// Standard output when the program has one, else a file; the error stream
// follows it, so every line keeps its place.
class ListOutput {
public:
    ListOutput() {
        if (!hasStandardOutput()) {
            file_.open("tolvaren.lst", std::ios::out | std::ios::trunc);
            savedOutput_ = std::cout.rdbuf(file_.rdbuf());
        }
        savedErrors_ = std::cerr.rdbuf(std::cout.rdbuf());
    }
    ~ListOutput() {
        std::cout.flush();
        std::cerr.rdbuf(savedErrors_);
        if (savedOutput_) std::cout.rdbuf(savedOutput_);
    }
    ListOutput(const ListOutput&) = delete;
    ListOutput& operator=(const ListOutput&) = delete;

private:
    std::ofstream file_;
    std::streambuf* savedOutput_ = nullptr;
    std::streambuf* savedErrors_;
};

}  // namespace

void runListOnly(const char* iniPath, DWORD startTick) {
    ListOutput output;
    SettingsRecord settings;
    takeStartFacts(settings);
    int32_t errorCount = 0;
    if (!readSettingsOnly(iniPath, settings, errorCount)) {
        showMessage(nullptr, "Ошибка в файле инициализации", "tolvaren", MB_OK);
        return;
    }
    WorkerGate gate;  // never paused or stopped: there is no window
    PassTools tools{FileSystemCalls::real(), gate};
    tools.listOnly = true;
    Pass pass(settings, tools, errorCount);
    pass.run();
    std::cout << summaryLine(pass.tally, errorCount, GetTickCount() - startTick) << std::endl;
}
