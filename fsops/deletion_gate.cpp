#include "fsops/deletion_gate.h"

#include <iostream>
#include <vector>

#include "fsops/path_normal.h"
#include "win/unique_handle.h"

namespace {

bool isLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
bool isDirectory(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
bool isDots(const char* name) { return name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2])); }

std::string normalRoot(const char* dir) {
    std::string normal;
    return absoluteNormal(dir, normal) ? foldCase(normal) : std::string();
}

void deleteOne(const std::string& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    DeleteFileA(path.c_str());
}

// RemoveDirectoryA takes away a directory link itself, never its target.
void removeLink(const std::string& path) { RemoveDirectoryA(path.c_str()); }

// Deletes the files and links of one directory; its real subdirectories
// (by the listing's own attributes, so a link is never entered) are pushed
// for the caller to take apart.
void clearDirectory(const std::string& dir, std::vector<std::string>& pending) {
    WIN32_FIND_DATAA found;
    win::UniqueFind search(FindFirstFileA((dir + "\\*.*").c_str(), &found));
    if (!search) return;
    do {
        std::string entry = dir + "\\" + found.cFileName;
        if (!isDirectory(found.dwFileAttributes))
            deleteOne(entry, found.dwFileAttributes);
        else if (isLink(found.dwFileAttributes))
            removeLink(entry);
        else if (!isDots(found.cFileName))
            pending.push_back(entry);
    } while (FindNextFileA(search.get(), &found));
}

}  // namespace

DeletionGate::DeletionGate(const char* destDir, const char* sourceDir, int32_t& errorCount, std::ostream& report)
    : dest_(normalRoot(destDir)), source_(normalRoot(sourceDir)), errorCount_(errorCount), report_(report) {
    destInsideSource_ = liesBelow(dest_, source_);
}

DeletionGate::Verdict DeletionGate::judge(const std::string& normal, std::string& link) {
    std::string folded = foldCase(normal);
    if (dest_.empty() || !liesBelow(folded, dest_)) return Verdict::Outside;
    if (!source_.empty()) {
        if (folded == source_ || liesBelow(source_, folded)) return Verdict::TouchesSource;
        if (liesBelow(folded, source_) && !destInsideSource_) return Verdict::TouchesSource;
    }
    // Each directory between the destination root and the item must be a
    // real one. No trailing backslash: with one, Wine describes a link's target.
    std::size_t parentEnd = normal.rfind('\\');
    std::string parentFolded = folded.substr(0, parentEnd);
    if (parentFolded == linkFreeDir_) return Verdict::Allowed;
    for (std::size_t at = dest_.size() + (dest_.back() == '\\' ? 0 : 1); at < parentEnd;) {
        std::size_t end = normal.find('\\', at);
        std::string level = normal.substr(0, end);
        DWORD attributes = GetFileAttributesA(level.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && isLink(attributes)) {
            link = level;
            return Verdict::ThroughLink;
        }
        at = end + 1;
    }
    linkFreeDir_ = parentFolded;
    return Verdict::Allowed;
}

void DeletionGate::report(const char* path, Verdict verdict, const std::string& link) {
    ++errorCount_;
    report_ << "Ошибка: путь \"" << path << "\" ";
    switch (verdict) {
    case Verdict::ThroughLink:
        report_ << "ведет через ссылку \"" << link << "\"";
        break;
    case Verdict::TouchesSource:
        report_ << "затрагивает каталог источник";
        break;
    default:
        report_ << "не указывает на файл или каталог внутри каталога приемника";
        break;
    }
    report_ << ", не удален" << std::endl;
}

bool DeletionGate::allows(const char* path) {
    std::string normal, link;
    Verdict verdict = absoluteNormal(path, normal) ? judge(normal, link) : Verdict::Malformed;
    if (verdict == Verdict::Allowed) return true;
    report(path, verdict, link);
    return false;
}

bool DeletionGate::mayChange(const char* path) {
    std::string normal, link;
    return absoluteNormal(path, normal) && judge(normal, link) == Verdict::Allowed;
}

DeletionGate::Outcome DeletionGate::deleteFile(const char* path, DWORD attributes, bool announce, DWORD* error) {
    if (!allows(path)) return Outcome::Refused;
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    if (announce) std::cout << "Удаление файла \"" << path << "\"" << std::endl;
    if (DeleteFileA(path)) return Outcome::Deleted;
    *error = GetLastError();
    return Outcome::Failed;
}

// Depth first without recursion: a directory is listed when first met and
// removed when it comes up again, after everything below it.
void DeletionGate::removeTree(const char* path, bool announce) {
    std::string top;
    if (!allows(path) || !absoluteNormal(path, top)) return;
    if (announce) std::cout << "Удаление каталога \"" << path << "\"" << std::endl;
    DWORD attributes = GetFileAttributesA(top.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (!isDirectory(attributes)) return deleteOne(top, attributes);
    if (isLink(attributes)) return removeLink(top);

    struct Level {
        std::string path;
        bool listed;
    };
    std::vector<Level> stack{{top, false}};
    std::vector<std::string> found;
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.listed) {
            RemoveDirectoryA(level.path.c_str());
            stack.pop_back();
            continue;
        }
        level.listed = true;
        found.clear();
        clearDirectory(level.path, found);
        for (auto& dir : found) stack.push_back({std::move(dir), false});
    }
}
