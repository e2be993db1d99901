// Test helpers for passes: the pieces a run is made of, a source and a
// destination tree in a temporary directory and a listing seam that refuses
// chosen directories.
#pragma once

#include <string>
#include <vector>

#include "support/fake_fs.h"
#include "support/stream_capture.h"
#include "support/test_support.h"
#include "sync/compare.h"
#include "sync/registry.h"
#include "sync/rules.h"
#include "sync/scan.h"
#include "sync/pass.h"
#include "worker/worker.h"

namespace test {

// Listings whose pattern starts with one of the chosen prefixes fail with a
// chosen error; every other call goes to Windows.
class RefusingListings : public WindowsFileSystem {
public:
    HANDLE findFirstFile(const char* pattern, WIN32_FIND_DATAW* data) override {
        for (const std::string& p : refused)
            if (std::string(pattern).compare(0, p.size(), p) == 0) {
                SetLastError(error);
                return INVALID_HANDLE_VALUE;
            }
        return WindowsFileSystem::findFirstFile(pattern, data);
    }
    std::vector<std::string> refused;
    DWORD error = ERROR_ACCESS_DENIED;
};

// The pieces of a run as the program wires them, owned by a test that may
// change any of them between passes.
struct RunParts {
    RunParts() { takeStartFacts(settings); }
    RunParts(const RunParts&) = delete;
    RunParts& operator=(const RunParts&) = delete;

    // A pass over the parts as they are now.
    Pass pass() { return Pass(settings, PassTools{*fs, gate, captions, copyThreads, listThreads}, errorCount); }
    // What the worker is handed.
    WorkerRun worker() {
        return WorkerRun{settings, gate, errorCount, *fs, captions, processes, copyThreads, listThreads};
    }

    SettingsRecord settings;
    int32_t errorCount = 0;
    WorkerGate gate;
    FileSystemCalls* fs = &FileSystemCalls::real();
    CaptionSink* captions = nullptr;
    ProcessPlatform* processes = nullptr;
    std::size_t copyThreads = 0;
    std::size_t listThreads = 0;
};

// Work lists kept by a test between the passes that build and apply them.
struct WorkLists {
    CopyList copyList;
    DeleteList deleteList;
};

// What a pass over the parts puts into its work lists.
inline WorkLists buildWorkLists(RunParts& run) {
    Pass pass = run.pass();
    pass.buildWorkLists();
    return {std::move(pass.copyList), std::move(pass.deleteList)};
}

// A pass over the parts that carries out the given work lists; the lists
// stay as they were.
inline void applyWorkLists(RunParts& run, const WorkLists& lists) {
    Pass pass = run.pass();
    pass.copyList = lists.copyList;
    pass.deleteList = lists.deleteList;
    pass.applyWorkLists();
}

// A source and a destination directory under one temporary directory, and
// run parts pointed at them with empty rule lists.
struct EngineTrees {
    EngineTrees() : src(tmp / "src"), dst(tmp / "dst") {
        makeDirs(src);
        makeDirs(dst);
        copyInto(run.settings.sourceDir, src + "\\");
        copyInto(run.settings.destDir, dst + "\\");
    }
    static void copyInto(char (&field)[kPathBuffer], const std::string& s) {
        s.copy(field, kPathBuffer - 1);
        field[s.size() < kPathBuffer ? s.size() : kPathBuffer - 1] = '\0';
    }
    // Writes a file on a side with a last-write time given in seconds from a fixed base.
    void put(const std::string& root, const std::string& rel, long long seconds = 0) {
        writeFile(root + "\\" + rel, rel);
        setFileTime(root + "\\" + rel, addSeconds(FILETIME{0x2A1B0000u, 0x01D90000u}, seconds));
    }

    TempDir tmp;
    std::string src, dst;
    RunParts run;
    WorkLists lists;
};

// The same trees with the engine on the Windows-like calls and the wide
// copy of Windows 2000 and later.
struct WindowsLikeTrees : EngineTrees {
    WindowsLikeTrees() {
        run.settings.osVersion5OrLater = true;
        run.fs = &calls;
    }
    ~WindowsLikeTrees() { run.fs = &FileSystemCalls::real(); }

    WindowsLikeCalls calls;
};

// A work list as lines "path [flags]: file file ...", files marked "+" when new.
inline std::vector<std::string> describe(const std::vector<DirRecord>& list) {
    std::vector<std::string> lines;
    for (const DirRecord& r : list) {
        std::string line = r.name;
        if (r.flags & DirMissing) line += " M";
        if (r.flags & DirDelete) line += " D";
        line += ":";
        for (const FileEntry& f : r.files) line += std::string(" ") + f.name + (f.isNew ? "+" : "");
        lines.push_back(line);
    }
    return lines;
}

// The names of a node's subdirectories and files, in order: "dir/" and "file".
inline std::vector<std::string> contents(const DirNode* n) {
    std::vector<std::string> names;
    for (const DirNode* c = n->firstChild; c; c = c->nextSibling) names.push_back(c->record.name + "/");
    for (const FileEntry& f : n->record.files) names.push_back(f.name);
    return names;
}

}  // namespace test
