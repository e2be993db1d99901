#include "worker/running_check.h"

#include <cstdio>
#include <cstring>

#include "win/fixed_text.h"
#include "worker/application_path.h"

namespace {

constexpr DWORD kPollInterval = 500;
constexpr int kHandshakePolls = 120;
constexpr int kMonitorPolls = 20;
constexpr int kSightings = 10;
constexpr UINT kMonitorQuit = WM_USER + 10;

// Seen in kSightings consecutive snapshots, kPollInterval apart. An abort
// ends the watch at once; the answer then does not matter.
bool staysVisible(ProcessPlatform& platform, const char* path, const WorkerGate& gate) {
    for (int seen = 1;; ++seen) {
        if (gate.checkpoint() || !findProcessByPath(platform, path)) return false;
        platform.sleep(kPollInterval);
        if (seen == kSightings) return !gate.checkpoint();
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

void waitOrTerminate(ProcessPlatform& platform, DWORD id, DWORD interval, int polls, const WorkerGate& gate) {
    auto process = platform.openProcess(id);
    if (!process) return;
    if (process->waitForExit(0)) return;
    for (int i = 0; i < polls; ++i) {
        if (gate.checkpoint()) return;
        if (process->waitForExit(interval)) return;
    }
    if (!gate.checkpoint()) process->terminate();
}

bool answerStartupHandshake(ProcessPlatform& platform, DWORD& launcher) {
    unsigned long self = platform.currentProcessId();
    char blockName[40], eventName[40];
    std::snprintf(blockName, sizeof blockName, "%luTolvaren", self);
    std::snprintf(eventName, sizeof eventName, "%sCheckStart", blockName);

    auto block = platform.openSharedBlock(blockName);
    if (!block) return false;
    platform.signalEvent(eventName);
    launcher = block->readProcessId();
    return true;
}

void startupHandshake(ProcessPlatform& platform, const WorkerGate& gate) {
    DWORD launcher = 0;
    if (gate.checkpoint() || !answerStartupHandshake(platform, launcher)) return;
    // A block naming this very process would have it end itself after a minute.
    if (launcher != platform.currentProcessId())
        waitOrTerminate(platform, launcher, kPollInterval, kHandshakePolls, gate);
}

void stopMonitor(ProcessPlatform& platform, const char* destDir, const WorkerGate& gate) {
    char path[kPathBuffer];
    if (!win::joinText(path, {destDir, "Кронваль\\DarvMon.exe"})) return;
    // Most workstations have no monitor: no process snapshot for it then.
    if (!platform.fileExists(path) || gate.checkpoint()) return;
    DWORD id = findProcessByPath(platform, path);
    if (!id || gate.checkpoint()) return;
    if (HWND window = platform.findWindow("MonitoringWindowClass")) platform.postMessage(window, kMonitorQuit);
    waitOrTerminate(platform, id, kPollInterval, kMonitorPolls, gate);
}

bool isApplicationRunning(const SettingsRecord& settings, ProcessPlatform* processes, const WorkerGate& gate) {
    // The real calls' waits end as soon as the run is stopped.
    std::unique_ptr<ProcessPlatform> own;
    if (!processes) own = ProcessPlatform::interruptible(gate.stopSignal());
    ProcessPlatform& platform = processes ? *processes : *own;
    startupHandshake(platform, gate);
    stopMonitor(platform, settings.destDir, gate);
    if (!settings.runningCheckPath[0] || gate.checkpoint()) return false;
    char path[kPathBuffer];
    if (!applicationPath(settings, path)) return false;
    return staysVisible(platform, path, gate);
}
