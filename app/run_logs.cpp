#include "app/run_logs.h"

#include <cstdio>
#include <iostream>
#include <string>

#include "sync/sync_engine.h"

namespace {

std::string logPath(const SyncEngine& engine, const char* name) { return std::string(engine.settings.destDir) + name; }

// The stream's position, or -1 when it cannot be read.
long long positionOf(FILE* stream) {
    fpos_t position;
    return std::fgetpos(stream, &position) == 0 ? static_cast<long long>(position) : -1;
}

}  // namespace

void openRunLogs(SyncEngine& engine) {
    engine.statisticsLogOpened = std::freopen(logPath(engine, "tolvaren.out").c_str(), "wt", stdout) != nullptr;
    engine.statisticsLogOpen = engine.statisticsLogOpened;
    engine.runLogsOpen = std::freopen(logPath(engine, "tolvaren.err").c_str(), "wt", stderr) != nullptr;
    // A write before this point (to a stream a windowed program lacks) may
    // have failed and left the C++ streams refusing everything.
    std::cout.clear();
    std::cerr.clear();
}

void closeStatisticsLog(SyncEngine& engine) {
    if (!engine.statisticsLogOpen) return;
    std::cout.flush();
    std::fclose(stdout);
    engine.statisticsLogOpen = false;
}

void closeRunLogs(SyncEngine& engine) {
    // The statistics stream may still be open when the run ended before the
    // statistics switch; it is closed in any case so an empty log can go.
    bool statisticsEmpty = true;
    if (engine.statisticsLogOpen) {
        std::cout.flush();
        statisticsEmpty = !engine.settings.writeStatistics || positionOf(stdout) == 0;
        closeStatisticsLog(engine);
    }
    if (engine.runLogsOpen) {
        std::cerr.flush();
        bool errorsEmpty = positionOf(stderr) == 0;
        std::fclose(stderr);
        engine.runLogsOpen = false;
        if (errorsEmpty) std::remove(logPath(engine, "tolvaren.err").c_str());
    }
    if (engine.statisticsLogOpened && statisticsEmpty) std::remove(logPath(engine, "tolvaren.out").c_str());
    engine.statisticsLogOpened = false;
}
