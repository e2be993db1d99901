#include "fsops/directories.h"

#include <windows.h>
#include <vector>

#include "win/unique_handle.h"

namespace {

// Directory links (junctions, symbolic links) are removed as links: their
// targets lie outside the tree.
bool isLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
bool isDirectory(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
bool isDots(const char* name) { return name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2])); }

void deleteFile(const std::string& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    DeleteFileA(path.c_str());
}

// RemoveDirectoryA takes away the link itself, never what it points to.
void removeLink(const std::string& path) { RemoveDirectoryA(path.c_str()); }

// Deletes the files and links of one directory; its real subdirectories are
// pushed for the caller to take apart.
void clearDirectory(const std::string& dir, std::vector<std::string>& pending) {
    WIN32_FIND_DATAA found;
    win::UniqueFind search(FindFirstFileA((dir + "\\*.*").c_str(), &found));
    if (!search) return;
    do {
        std::string entry = dir + "\\" + found.cFileName;
        if (!isDirectory(found.dwFileAttributes))
            deleteFile(entry, found.dwFileAttributes);
        else if (isLink(found.dwFileAttributes))
            removeLink(entry);
        else if (!isDots(found.cFileName))
            pending.push_back(entry);
    } while (FindNextFileA(search.get(), &found));
}

}  // namespace

// Depth first without recursion: a directory is listed when first met and
// removed when it comes up again, after everything below it.
void removeTree(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (!isDirectory(attributes)) return deleteFile(path, attributes);
    if (isLink(attributes)) return removeLink(path);

    struct Level {
        std::string path;
        bool listed;
    };
    std::vector<Level> stack{{path, false}};
    std::vector<std::string> found;
    while (!stack.empty()) {
        Level& top = stack.back();
        if (top.listed) {
            RemoveDirectoryA(top.path.c_str());
            stack.pop_back();
            continue;
        }
        top.listed = true;
        found.clear();
        clearDirectory(top.path, found);
        for (auto& dir : found) stack.push_back({std::move(dir), false});
    }
}
