// Runs the real running-application check of a run with the given settings
// and writes "<answer> <milliseconds taken>" to the result file:
//   checkrun.exe RESULT-FILE DEST-DIR [RUNNING-CHECK-PATH]
// DEST-DIR comes without its trailing backslash (a backslash before a
// closing quote would escape it).
#include <windows.h>
#include <cstdio>
#include <string>

#include "core/worker_gate.h"
#include "win/fixed_text.h"
#include "worker/running_check.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    SettingsRecord settings;
    if (!win::joinText(settings.destDir, {argv[2], "\\"})) return 3;
    if (argc > 3 && !win::copyText(settings.runningCheckPath, argv[3])) return 3;

    DWORD start = GetTickCount();
    WorkerGate gate;
    bool running = isApplicationRunning(settings, nullptr, gate);
    DWORD took = GetTickCount() - start;

    std::string partial = std::string(argv[1]) + ".part";
    FILE* out = std::fopen(partial.c_str(), "wb");
    if (!out) return 4;
    std::fprintf(out, "%d %lu\n", running ? 1 : 0, static_cast<unsigned long>(took));
    std::fclose(out);
    return MoveFileA(partial.c_str(), argv[1]) ? 0 : 5;
}
