// The one object of a run: settings, rule lists, the registries and work
// lists of the pass, the error count and the splash window handle.
#pragma once

#include <cstdint>

#include <set>
#include <string>

#include "core/settings.h"
#include "core/caption_sink.h"
#include "fsops/deletion_gate.h"
#include "fsops/fs_calls.h"
#include "sync/registry.h"
#include "core/worker_gate.h"

class ProcessPlatform;

class SyncEngine {
public:
    SyncEngine();   // defaults, start directory, Windows version flag
    ~SyncEngine() = default;
    SyncEngine(const SyncEngine&) = delete;
    SyncEngine& operator=(const SyncEngine&) = delete;

    // The pass (sync/pass.cpp)
    bool runPass();

    // File-system work (fsops/)
    bool copyFile(const char* source, const char* destination);
    void copyPairs();
    bool checkFreeSpace();
    void applyWorkLists();

    // Application control (worker/)
    bool isApplicationRunning();
    void launchCommand();

    // Shows a progress caption: handed to captionSink when there is one,
    // otherwise sent to windowHandle as WM_USER (and waited for).
    void showCaption(const char* text) const;
    CaptionSink* captionSink = nullptr;

    // The gate every deletion on disk goes through (fsops/deletion_gate.h).
    DeletionGate deletionGate() { return DeletionGate(settings.destDir, settings.sourceDir, errorCount, std::cerr, *fs); }

    SettingsRecord settings;
    CopyList copyList;
    DeleteList deleteList;
    int32_t errorCount = 0;
    // Source names that narrow paths cannot address, reported once per run.
    std::set<std::string> unaddressableReported;
    // Paused by the splash window while it asks whether to abort, stopped when
    // the user confirmed or the window went away: no file operation or
    // caption starts after that. stopping() is the worker's checkpoint.
    WorkerGate gate;
    bool stopping() const { return gate.checkpoint(); }

    // Threads that copy the files of the copy list side by side; 0 chooses
    // by the source: several from a network drive, where copies mostly wait
    // for the network, one from a local one, where they would only contend.
    std::size_t copyThreads = 0;
    // Threads that list source directories ahead of the scan; 0 chooses by
    // the source in the same way.
    std::size_t listThreads = 0;

    // Seams over the platform; tests point them at fakes.
    FileSystemCalls* fs = &FileSystemCalls::real();
    ProcessPlatform* processes = nullptr;  // null: the real Windows calls
};
