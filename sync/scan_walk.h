// The machinery shared by the two scans: the directories waiting to be
// listed, the listing itself, the length limits and the link-cycle check.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

#include "fsops/fs_calls.h"
#include "sync/dir_identity.h"
#include "sync/registry.h"
#include "sync/rules.h"
#include "win/unique_handle.h"

namespace scan {

// A directory waiting to be listed.
struct Dir {
    DirNode* node;
    std::string full;    // absolute, ends with '\'
    std::string prefix;  // relative to the root: "" or ending with '\'
    std::size_t depth = 0;
    bool viaLink = false;  // this directory or one above it was entered through a link
};

// Depth-first walk with an explicit stack. Everything waiting on the stack
// is a subdirectory of a directory on the current path, so taking the next
// one cuts the current path back to its parent: the path then holds exactly
// the directories it lies in, for the link-cycle check.
class Walk {
public:
    explicit Walk(Dir root) { stack_.push_back(std::move(root)); }
    bool next(Dir& dir);  // false when done
    // Queues the subdirectories of the current directory, given in order.
    void enter(std::vector<Dir>& children);
    // Whether entering a subdirectory of the current directory would revisit
    // a directory on the current path; sets *viaLink for the child.
    bool closesCycle(const Dir& current, const std::string& childFull, const WIN32_FIND_DATAA& d, bool* viaLink);

private:
    struct OnPath {
        std::string full;
        int idState = 0;  // 0 unknown, 1 known, -1 unavailable
        DirIdentity id;
    };
    std::vector<Dir> stack_;
    std::vector<OnPath> path_;
};

enum class Listing { Done, Missing, Failed };

// Lists dir->full + "*.*" through the seam; calls onRecord for each record.
// Missing: the directory is not there (not found, no files). Failed: any
// other error, its code in *error; records seen before are already passed on.
template <typename OnRecord>
Listing listDirectory(FileSystemCalls& fs, const std::string& pattern, DWORD* error, OnRecord onRecord);

enum class Record { Handled, TooLong, Subdirectory };

// The steps both scans take with every listed record: "." and ".." are
// passed over, a relative path past the limit is reported (TooLong), an
// ignored path is passed over and a plain file recorded in dir.node.
// Subdirectory: a directory is left to the caller, relPath holding its
// relative path; with rootOnly directories are passed over instead.
Record takeRecord(const Dir& dir, const WIN32_FIND_DATAA& d, const RuleSet& ignore, bool rootOnly,
                  int32_t& errorCount, std::string& relPath);

// Whether the root's listing pattern fits; reported when it does not.
bool rootFits(const Dir& root, int32_t& errorCount);

// Whether a subdirectory of parent named `name` can be entered within the
// limits: its listing pattern and its work-list path (".\" + relative path)
// fit 1023 characters.
bool fitsToEnter(const Dir& parent, const std::string& relPath, const char* name);

Dir childDir(const Dir& parent, DirNode* node, const char* name, bool viaLink);

// ---------------------------------------------------------------------------

template <typename OnRecord>
Listing listDirectory(FileSystemCalls& fs, const std::string& pattern, DWORD* error, OnRecord onRecord) {
    WIN32_FIND_DATAA d;
    win::UniqueFind search(fs.findFirstFile(pattern.c_str(), &d));
    if (!search) {
        DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_NO_MORE_FILES)
            return Listing::Missing;
        *error = code;
        return Listing::Failed;
    }
    do onRecord(d);
    while (FindNextFileA(search.get(), &d));
    DWORD code = GetLastError();
    if (code == ERROR_NO_MORE_FILES) return Listing::Done;
    *error = code;
    return Listing::Failed;
}

}  // namespace scan
