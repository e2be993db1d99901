// The one way a run deletes anything in the trees it synchronises.
//
// Every deletion of a pass (files and directories of the delete list, strict
// deletions, cut entries, partial copies, and everything removeTree takes
// apart) is a call of this class, and this file is the only one of the pass
// that calls DeleteFile or RemoveDirectory. Before anything goes, the path is
// normalized (both separators, ".", "..", doubled separators) and refused,
// with one error line counted in errorCount, unless it lies strictly inside
// the destination root, is not the source root, does not contain it and
// does not lie inside it (unless the whole destination does), and is not
// reached through a link or junction below the destination root.
#pragma once

#include <windows.h>
#include <cstdint>
#include <iostream>
#include <string>

class DeletionGate {
public:
    // destDir and sourceDir as the settings hold them; refusals are written
    // to report (the error stream).
    DeletionGate(const char* destDir, const char* sourceDir, int32_t& errorCount, std::ostream& report = std::cerr);

    // Whether path may be deleted; a refusal is reported and counted.
    bool allows(const char* path);
    // The same test without a report: where a file pair may be written.
    bool mayChange(const char* path);

    enum class Outcome { Deleted, Refused, Failed };
    // Deletes one file, taking away a read-only bit of the given attributes
    // first; writes "Удаление файла" when announce is set. Failed leaves the
    // code in *error and reports nothing.
    Outcome deleteFile(const char* path, DWORD attributes, bool announce, DWORD* error);

    // Removes a file, a link (as a link, never what it points to) or a
    // directory with everything below it, as far as it can; writes
    // "Удаление каталога" first when announce is set. Only a refusal is
    // reported.
    void removeTree(const char* path, bool announce = false);

private:
    enum class Verdict { Allowed, Outside, TouchesSource, ThroughLink, Malformed };
    Verdict judge(const std::string& normal, std::string& link);
    void report(const char* path, Verdict verdict, const std::string& link);

    std::string dest_, source_;  // normalized and folded
    bool destInsideSource_ = false;
    std::string linkFreeDir_;    // folded: the last directory found to have no link above it
    int32_t& errorCount_;
    std::ostream& report_;
};
