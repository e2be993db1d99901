// The machinery shared by the two scans: the directories waiting to be
// listed, the listing itself, the length limits and the link-cycle check.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

#include "core/settings.h"
#include "fsops/fs_calls.h"
#include "fsops/dir_identity.h"
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

// Lists a pattern through the seam; calls onRecord(record, exact) for each
// record, with the name in the ANSI code page. exact is false for a name
// that narrow paths cannot address: one the code page holds only by a
// best-fit substitute (listed "a.txt" for "ä.txt"), or one ending with a dot
// or a space (which narrow calls drop, naming another item).
// Missing: the directory is not there (not found, no files), its code in
// *error. Failed: any other error, its code in *error; records seen before
// are already passed on.
template <typename OnRecord>
Listing listDirectory(FileSystemCalls& fs, const std::string& pattern, DWORD* error, OnRecord onRecord);

// The narrow form of a wide listing record; false when it is not exact.
bool narrowRecord(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA& narrow);

// What the scans leave out: the ignore list, and the relative paths that
// never take part whatever the lists say: the run's own logs at the root,
// and the one root where it lies inside the other (the two never mirror
// into each other). Those compare with letter case folded as Windows folds it.
class ScanFilter {
public:
    explicit ScanFilter(const SettingsRecord& settings);
    bool leavesOut(const std::string& relPath) const;

private:
    RuleSet ignore_;
    std::vector<std::string> always_;  // folded
};

enum class Record { Handled, TooLong, Subdirectory };

// The steps both scans take with every listed record: "." and ".." are
// passed over, a relative path past the limit is reported (TooLong), a path
// the filter leaves out is passed over and a plain file recorded in
// dir.node. Subdirectory: a directory is left to the caller, relPath holding
// its relative path; with rootOnly directories are passed over instead.
Record takeRecord(const Dir& dir, const WIN32_FIND_DATAA& d, const ScanFilter& filter, bool rootOnly,
                  int32_t& errorCount, std::string& relPath);

// Whether the root's listing pattern fits; reported when it does not.
bool rootFits(const Dir& root, int32_t& errorCount);

// Whether a subdirectory of parent named `name` can be entered within the
// limits: its listing pattern and its work-list path (".\" + relative path)
// fit 1023 characters.
bool fitsToEnter(const Dir& parent, const std::string& relPath, const char* name);

Dir childDir(const Dir& parent, DirNode* node, const char* name, bool viaLink);

// The listing patterns of directories waiting to be listed.
std::vector<std::string> patternsOf(const std::vector<Dir>& dirs);

// ---------------------------------------------------------------------------

template <typename OnRecord>
Listing listDirectory(FileSystemCalls& fs, const std::string& pattern, DWORD* error, OnRecord onRecord) {
    WIN32_FIND_DATAW w;
    win::UniqueFind search(fs.findFirstFile(pattern.c_str(), &w));
    if (!search) {
        DWORD code = GetLastError();
        *error = code;
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_NO_MORE_FILES)
            return Listing::Missing;
        return Listing::Failed;
    }
    WIN32_FIND_DATAA d;
    do {
        bool exact = narrowRecord(w, d);
        onRecord(d, exact);
    } while (FindNextFileW(search.get(), &w));
    DWORD code = GetLastError();
    if (code == ERROR_NO_MORE_FILES) return Listing::Done;
    *error = code;
    return Listing::Failed;
}

}  // namespace scan
