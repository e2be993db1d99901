// The deletion limit: a source that lists only part of its tree (a stale
// replica, a permission change, a half-finished copy) would otherwise have
// the rest of the destination deleted.
#include <windows.h>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "fsops/partial_copy.h"
#include "sync/pass.h"
#include "sync/rules.h"
#include "sync/scan_walk.h"

namespace {

// Fewer surplus files than this are never held back, whatever their share.
constexpr int64_t kFilesAlwaysDeleted = 20;

// The files below a directory only the destination has (the scan did not
// enter it); directory links are not entered, as a removal does not follow
// them. Unreadable parts count as empty.
int64_t filesBelow(FileSystemCalls& fs, const std::string& directory) {
    DWORD top = fs.getFileAttributes(directory.substr(0, directory.size() - 1).c_str());   // the item, not below it
    if (top == INVALID_FILE_ATTRIBUTES || (top & FILE_ATTRIBUTE_REPARSE_POINT)) return 0;  // a link goes alone
    int64_t files = 0;
    std::vector<std::string> stack{directory};
    while (!stack.empty()) {
        std::string dir = stack.back();
        stack.pop_back();
        DWORD error = 0;
        scan::listDirectory(fs, dir + "*.*", &error, [&](const WIN32_FIND_DATAA& d, bool) {
            if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ++files;
            else if (std::strcmp(d.cFileName, ".") != 0 && std::strcmp(d.cFileName, "..") != 0 &&
                     !(d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                stack.push_back(dir + d.cFileName + "\\");
        });
    }
    return files;
}

bool isWholeDirectory(const DirRecord& d) { return (d.flags & DirDelete) == DirDelete; }

}  // namespace

void Pass::holdDeletionsOverLimit() {
    if (settings.deletionLimit >= 100) return;
    int64_t doomed = 0, unlisted = 0;
    for (const DirRecord& d : deleteList) {
        std::string dir = settings.destDir + d.name + "\\";
        if (isWholeDirectory(d)) {
            int64_t below = filesBelow(fs, dir);
            doomed += below;
            unlisted += below;
            continue;
        }
        for (const FileEntry& f : d.files)
            if (!isPartialCopy(f.name) && deletesFile(settings, dir + f.name)) ++doomed;
    }
    int64_t held = destinationFiles + unlisted;
    if (doomed <= kFilesAlwaysDeleted || doomed * 100 <= settings.deletionLimit * held) return;

    // Only the run's own leftovers still go.
    DeleteList kept;
    for (DirRecord& d : deleteList) {
        if (isWholeDirectory(d)) continue;
        for (auto it = d.files.begin(); it != d.files.end();) {
            if (isPartialCopy(it->name))
                ++it;
            else
                it = d.files.erase(it);
        }
        if (!d.files.empty()) kept.push_back(std::move(d));
    }
    deleteList = std::move(kept);
    ++errorCount;
    std::cerr << "Ошибка: синхронизация удалила бы " << doomed << " файлов из " << held << " в каталоге приемнике \""
              << settings.destDir << "\", это больше предела удаления " << settings.deletionLimit
              << "%, файлы не удалены" << std::endl;
}
