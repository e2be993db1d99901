// The one way a run deletes anything in the trees it synchronises.
//
// Every deletion of a pass (files and directories of the delete list, strict
// deletions, cut entries, leftovers of interrupted copies, and everything a
// tree removal takes apart) is a call of this class. Before anything goes,
// the path is normalized (both separators, ".", "..", doubled separators)
// and refused unless it lies strictly inside the destination root, is not
// the source root, does not contain it and does not lie inside it (unless
// the whole destination does). Then the item is opened as it stands and the
// same is asked of what the handle really is: where the file system puts it
// (links, drive aliases and short names resolved). Only that handle is
// deleted, so the item checked is the item that goes, whatever is swapped
// on disk meanwhile. Refusals and failures are written to the report stream
// and counted, one line each.
#pragma once

#include <windows.h>
#include <cstdint>
#include <iostream>
#include <string>

#include "fsops/fs_calls.h"
#include "fsops/root_identity.h"

class DeletionGate {
public:
    // destDir and sourceDir as the settings hold them. Every call goes
    // through fs, so a stop met there unwinds a removal between two entries.
    DeletionGate(const char* destDir, const char* sourceDir, int32_t& errorCount, std::ostream& report = std::cerr,
                 FileSystemCalls& fs = FileSystemCalls::real());

    // Whether path may be deleted, judged on its text; a refusal is reported.
    bool allows(const char* path);
    // Where a file may be written: inside the destination by its text, and
    // in a directory that really lies there. Nothing is reported.
    bool mayChange(const char* path);

    enum class Outcome { Deleted, Refused, Failed };
    // Deletes one file (a link as the link), taking away its read-only bit
    // first; writes "Удаление файла" before it when announce is set. Failed
    // leaves the code in *error and reports nothing.
    Outcome deleteFile(const char* path, bool announce, DWORD* error);

    // Removes a file, a link or a directory with everything below it;
    // writes "Удаление каталога" first when announce is set. Every entry is
    // judged again right before it is listed and right before it goes.
    // False when anything stayed: each refusal and failure is reported.
    bool removeTree(const char* path, bool announce = false);

private:
    enum class Verdict { Allowed, Outside, TouchesSource, ThroughLink, LinkFollowed, Malformed };
    Verdict judgeText(const std::string& normal, std::string& link) const;
    Verdict judgeOpened(HANDLE item, const std::string& normal, std::string& link) const;
    std::string linkAbove(const std::string& normal) const;
    void refuse(const std::string& path, Verdict verdict, const std::string& link);
    void failed(const std::string& path, DWORD code, bool directory);

    class Removal;

    std::string dest_, source_;  // normalized and folded
    bool destInsideSource_ = false;
    // Final paths of the roots, read when first needed (a run that deletes
    // nothing asks a share nothing for them); empty where the system cannot
    // tell, and the text and the attributes of each level decide instead.
    void readFinalRoots() const;
    std::string destDir_, sourceDir_;
    mutable bool finalRootsRead_ = false;
    mutable std::wstring destFinal_, sourceFinal_;
    mutable bool destInsideSourceFinal_ = false;
    RootIdentity sourceRoot_;  // the source under any name, and what it lies in
    int32_t& errorCount_;
    std::ostream& report_;
    FileSystemCalls& fs_;
};
