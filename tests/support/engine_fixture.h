// Test helpers for the synchronisation engine: a source and a destination
// tree in a temporary directory, the in-memory side of a pass run in its
// order and a listing seam that refuses chosen directories.
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
#include "sync/sync_engine.h"

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

// A source and a destination directory under one temporary directory, and
// an engine pointed at them with empty rule lists.
struct EngineTrees {
    EngineTrees() : src(tmp / "src"), dst(tmp / "dst") {
        makeDirs(src);
        makeDirs(dst);
        copyInto(engine.settings.sourceDir, src + "\\");
        copyInto(engine.settings.destDir, dst + "\\");
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
    SyncEngine engine;
};

// The same trees with the engine on the Windows-like calls and the wide
// copy of Windows 2000 and later.
struct WindowsLikeTrees : EngineTrees {
    WindowsLikeTrees() {
        engine.settings.osVersion5OrLater = true;
        engine.fs = &calls;
    }
    ~WindowsLikeTrees() { engine.fs = &FileSystemCalls::real(); }

    WindowsLikeCalls calls;
};

// The in-memory side of a pass, in the order the pass runs it, up to the
// work lists (which land on the engine).
inline void runInMemoryPass(SyncEngine& e) {
    SyncRegistry source, dest;
    sourceScan(e, source, false);
    mirrorStructure(dest.root, source.root);
    destinationScan(e, dest, source, false);
    if (e.settings.hasUpdateList) {
        updatePruning(dest.root, Side::Destination, e.settings);
        updatePruning(source.root, Side::Source, e.settings);
    }
    ignoreStage(e, source, dest);
    cutStage(e, source, dest);
    for (const std::string& entry : e.settings.skipExistingList) skipExisting(dest.root, source.root, entry);
    for (const SyncPair& pair : e.settings.pairList) pairRemoval(source, dest, pair);
    compareTrees(source.root, dest.root);
    flatten(source, e.copyList, e.errorCount);
    flatten(dest, e.deleteList, e.errorCount);
}

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
