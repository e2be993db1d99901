// One synchronisation pass and the state it builds: the work lists and
// what it reports once. Everything else a pass works with belongs to its
// caller: the settings (read-only), the error count of the run, the
// file-system calls, the worker's gate and the caption sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "core/caption_sink.h"
#include "core/settings.h"
#include "core/worker_gate.h"
#include "fsops/deletion_gate.h"
#include "fsops/fs_calls.h"
#include "sync/registry.h"

// What a pass is handed. Every call through fs may unwind with the worker's
// stop (worker/gated_calls.h) once the user confirmed an abort: code that
// must not be left half done does not hold the only copy of anything across
// such a call.
struct PassTools {
    FileSystemCalls& fs;
    WorkerGate& gate;
    CaptionSink* captions = nullptr;  // null: no window to show them
    // Threads that copy the files of the copy list side by side, and that
    // list directories ahead of each scan; 0 chooses by the drive (the
    // source's for copies, the scanned tree's for listings): several on a
    // network drive, where they mostly wait for the network, none on a
    // local one, where they would only contend. The destination is listed
    // while the source is scanned on as many, but at least one.
    std::size_t copyThreads = 0;
    std::size_t listThreads = 0;
    // A list-only run: the pass builds its work lists as a real one does,
    // then writes the lines of the actions it would take and changes nothing.
    bool listOnly = false;
};

// What a pass did (or, listing only, would do): the numbers of the run's
// summary line.
struct PassTally {
    int32_t copied = 0;
    int32_t deletedFiles = 0;
    int32_t deletedDirs = 0;
    int32_t createdDirs = 0;
};

class Pass {
public:
    Pass(const SettingsRecord& settings, const PassTools& tools, int32_t& errorCount)
        : settings(settings), fs(tools.fs), errorCount(errorCount), tools_(tools) {}
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

    // The whole pass (sync/pass.cpp); true when it counted no error.
    bool run();

    // The stages, in the order run() takes them:
    // scans, rule stages and comparison into the work lists (false when
    // nothing may be applied); the deletion limit (sync/deletion_limit.cpp);
    // the free-space check (false when the user was told there is not
    // enough); the work lists (sync/apply.cpp, which a list-only run walks
    // the same way, writing the lines instead of acting); the
    // pairs (sync/pairs.cpp).
    bool buildWorkLists();
    void holdDeletionsOverLimit();
    bool checkFreeSpace();
    void applyWorkLists();
    void copyPairs();

    // The worker's checkpoint: true once the user confirmed an abort.
    bool stopping() const { return tools_.gate.checkpoint(); }
    const WorkerGate& gate() const { return tools_.gate; }
    // Hands a progress caption to the window, if there is one.
    void showCaption(const char* text) const {
        if (tools_.captions) tools_.captions->HandCaption(text);
    }
    bool showsCaptions() const { return tools_.captions != nullptr; }
    bool listOnly() const { return tools_.listOnly; }
    std::size_t copyThreads() const { return tools_.copyThreads; }
    std::size_t listThreads() const { return tools_.listThreads; }
    // The gate every deletion on disk goes through (fsops/deletion_gate.h).
    DeletionGate deletionGate() const {
        return DeletionGate(settings.destDir, settings.sourceDir, errorCount, std::cerr, fs);
    }

    const SettingsRecord& settings;
    FileSystemCalls& fs;
    // The run's error count: every error line of the pass counts here.
    int32_t& errorCount;

    CopyList copyList;
    DeleteList deleteList;
    // The files the destination held after the ignore stage (directories
    // that only the destination has not counted: nothing lists them).
    int64_t destinationFiles = 0;
    PassTally tally;
    // Destination directories the update list left with nothing: the ignore
    // stage drops them on both sides.
    std::vector<std::string> emptiedByUpdate;
    // Source names that narrow paths cannot address, reported once per run.
    std::set<std::string> unaddressableReported;

private:
    PassTools tools_;
};
