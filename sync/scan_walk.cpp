#include "sync/scan_walk.h"

#include <cstring>
#include <cwchar>

#include "fsops/final_path.h"
#include "fsops/path_forms.h"
#include "fsops/path_normal.h"
#include "sync/report.h"

namespace scan {

namespace {

bool isDotEntry(const WIN32_FIND_DATAA& d) {
    return std::strcmp(d.cFileName, ".") == 0 || std::strcmp(d.cFileName, "..") == 0;
}

bool isDirectory(const WIN32_FIND_DATAA& d) { return (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

}  // namespace

bool narrowRecord(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA& narrow) {
    narrow.dwFileAttributes = wide.dwFileAttributes;
    narrow.ftCreationTime = wide.ftCreationTime;
    narrow.ftLastAccessTime = wide.ftLastAccessTime;
    narrow.ftLastWriteTime = wide.ftLastWriteTime;
    narrow.nFileSizeHigh = wide.nFileSizeHigh;
    narrow.nFileSizeLow = wide.nFileSizeLow;
    narrow.dwReserved0 = wide.dwReserved0;
    narrow.dwReserved1 = wide.dwReserved1;
    narrow.cAlternateFileName[0] = '\0';
    BOOL substituted = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.cFileName, -1, narrow.cFileName,
                                sizeof narrow.cFileName, nullptr, &substituted);
    if (n <= 0) {
        narrow.cFileName[0] = '\0';
        return false;
    }
    std::size_t len = std::wcslen(wide.cFileName);
    bool dots = std::wcscmp(wide.cFileName, L".") == 0 || std::wcscmp(wide.cFileName, L"..") == 0;
    bool badEnd = !dots && len && (wide.cFileName[len - 1] == L'.' || wide.cFileName[len - 1] == L' ');
    return !substituted && !badEnd;
}

namespace {

// The relative path of inner below outer, folded; empty when it does not lie there.
std::string innerPart(const std::wstring& inner, const std::wstring& outer) {
    if (!canonicalBelow(inner, outer)) return std::string();
    return foldCase(narrowAnsi(inner.substr(outer.size() + (outer.back() == L'\\' ? 0 : 1))));
}

}  // namespace

ScanFilter::ScanFilter(const SettingsRecord& s) : ignore_(s.ignoreList) {
    always_ = {foldCase("tolvaren.err"), foldCase("tolvaren.out")};
    // Where the file system puts the roots: another spelling of the same
    // place (a drive letter, a link, a short name) is still the inner root.
    std::wstring source, dest;
    if (!canonicalPath(s.sourceDir, source) || !canonicalPath(s.destDir, dest)) return;
    for (const std::string& inner : {innerPart(source, dest), innerPart(dest, source)})
        if (!inner.empty()) always_.push_back(inner);
}

bool ScanFilter::leavesOut(const std::string& relPath) const {
    for (const std::string& path : always_)
        if (path.size() == relPath.size() && foldCase(relPath) == path) return true;
    return ignore_.matches(relPath.c_str());
}

Record takeRecord(const Dir& dir, const WIN32_FIND_DATAA& d, const ScanFilter& filter, bool rootOnly,
                  int32_t& errorCount, std::string& relPath) {
    const bool isDir = isDirectory(d);
    if (isDir && isDotEntry(d)) return Record::Handled;
    relPath.assign(dir.prefix).append(d.cFileName);  // reuses the caller's buffer: no allocation per file
    if (relPath.size() > kMaxPathLength) {
        reportTooLong(dir.full + d.cFileName, errorCount);
        return Record::TooLong;
    }
    if (filter.leavesOut(relPath)) return Record::Handled;
    if (!isDir) {
        addFile(dir.node, d);
        return Record::Handled;
    }
    return rootOnly ? Record::Handled : Record::Subdirectory;
}

bool rootFits(const Dir& root, int32_t& errorCount) {
    if (root.full.size() + 3 <= kMaxPathLength) return true;
    reportTooLong(root.full + "*.*", errorCount);
    return false;
}

bool fitsToEnter(const Dir& parent, const std::string& relPath, const char* name) {
    return 2 + relPath.size() <= kMaxPathLength && parent.full.size() + std::strlen(name) + 4 <= kMaxPathLength;
}

bool Walk::next(Dir& dir) {
    if (stack_.empty()) return false;
    dir = std::move(stack_.back());
    stack_.pop_back();
    path_.resize(dir.depth);
    path_.push_back(OnPath{dir.full, 0, {}});
    return true;
}

void Walk::enter(std::vector<Dir>& children) {
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack_.push_back(std::move(*it));
    children.clear();
}

bool Walk::closesCycle(const Dir& current, const std::string& childFull, const WIN32_FIND_DATAA& d, bool* viaLink) {
    *viaLink = current.viaLink || (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (!*viaLink) return false;  // without links a tree has no cycles
    DirIdentity id;
    if (!directoryIdentity(childFull, id)) return false;
    for (OnPath& p : path_) {
        if (p.idState == 0) p.idState = directoryIdentity(p.full, p.id) ? 1 : -1;
        if (p.idState == 1 && p.id == id) return true;
    }
    return false;
}

std::vector<std::string> patternsOf(const std::vector<Dir>& dirs) {
    std::vector<std::string> patterns;
    patterns.reserve(dirs.size());
    for (const Dir& d : dirs) patterns.push_back(d.full + "*.*");
    return patterns;
}

Dir childDir(const Dir& parent, DirNode* node, const char* name, bool viaLink) {
    Dir child;
    child.node = node;
    child.full = parent.full + name + "\\";
    child.prefix = parent.prefix + name + "\\";
    child.depth = parent.depth + 1;
    child.viaLink = viaLink;
    return child;
}

}  // namespace scan
