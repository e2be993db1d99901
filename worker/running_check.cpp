#include "worker/running_check.h"

#include <cstdio>
#include <cstring>

#include "sync/sync_engine.h"
#include "win/fixed_text.h"
#include "worker/application_path.h"

namespace {

constexpr DWORD kPollInterval = 500;
constexpr int kHandshakePolls = 120;
constexpr int kMonitorPolls = 20;
constexpr int kSightings = 10;
constexpr UINT kMonitorQuit = WM_USER + 10;

// Seen in kSightings consecutive snapshots, kPollInterval apart.
bool staysVisible(ProcessPlatform& platform, const char* path) {
    for (int seen = 1;; ++seen) {
        if (!findProcessByPath(platform, path)) return false;
        platform.sleep(kPollInterval);
        if (seen == kSightings) return true;
    }
}

}  // namespace

const char* fileNameOf(const char* path) {
    const char* slash = std::strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

DWORD findProcessByPath(ProcessPlatform& platform, const char* path) {
    DWORD found = 0;
    platform.forEachProcess(fileNameOf(path), [&](DWORD id, const char* mainModule) {
        if (_stricmp(mainModule, path) != 0) return false;
        found = id;
        return true;
    });
    return found;
}

void waitOrTerminate(ProcessPlatform& platform, DWORD id, DWORD interval, int polls) {
    auto process = platform.openProcess(id);
    if (!process) return;
    if (process->waitForExit(0)) return;
    for (int i = 0; i < polls; ++i)
        if (process->waitForExit(interval)) return;
    process->terminate();
}

void startupHandshake(ProcessPlatform& platform) {
    DWORD self = platform.currentProcessId();
    char blockName[40], eventName[40];
    std::snprintf(blockName, sizeof blockName, "%luTolvaren", static_cast<unsigned long>(self));
    std::snprintf(eventName, sizeof eventName, "%sCheckStart", blockName);

    auto block = platform.openSharedBlock(blockName);
    if (!block) return;
    platform.signalEvent(eventName);
    DWORD waitFor = block->readProcessId();
    // A block naming this very process would have it end itself after a minute.
    if (waitFor != self) waitOrTerminate(platform, waitFor, kPollInterval, kHandshakePolls);
}

void stopMonitor(ProcessPlatform& platform, const char* destDir) {
    char path[kPathBuffer];
    if (!win::joinText(path, {destDir, "Кронваль\\DarvMon.exe"})) return;
    DWORD id = findProcessByPath(platform, path);
    if (!id) return;
    if (HWND window = platform.findWindow("MonitoringWindowClass")) platform.postMessage(window, kMonitorQuit);
    waitOrTerminate(platform, id, kPollInterval, kMonitorPolls);
}

bool SyncEngine::isApplicationRunning() {
    ProcessPlatform& platform = processes ? *processes : ProcessPlatform::real();
    startupHandshake(platform);
    stopMonitor(platform, settings.destDir);
    if (!settings.runningCheckPath[0]) return false;
    char path[kPathBuffer];
    if (!applicationPath(settings, path)) return false;
    return staysVisible(platform, path);
}
