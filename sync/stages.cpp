// The ignore and cut stages of a pass.
#include <cstring>
#include <iostream>

#include "fsops/deletion_gate.h"
#include "fsops/path_normal.h"
#include "sync/report.h"
#include "sync/rules.h"
#include "sync/pass.h"
#include "win/fixed_text.h"

namespace {

// The cut entry on disk: the entry itself when drive-absolute, otherwise
// under the destination root. Empty when it does not fit.
std::string cutDiskPath(Pass& pass, const std::string& entry) {
    char path[kPathBuffer];
    bool absolute = win::isDriveAbsolute(entry.c_str());
    if (absolute ? win::copyText(path, entry.c_str()) : win::joinText(path, {pass.settings.destDir, entry.c_str()}))
        return path;
    reportTooLong(absolute ? entry : pass.settings.destDir + entry, pass.errorCount);
    return {};
}

// The part of a disk path below the destination root, "." and ".." resolved;
// false when it does not lie there.
bool belowDestination(const SettingsRecord& s, const std::string& disk, std::string& relative) {
    std::string root, path;
    if (!absoluteNormal(s.destDir, root) || !absoluteNormal(disk, path)) return false;
    if (!liesBelow(foldCase(path), foldCase(root))) return false;
    relative = path.substr(root.size() + (root.back() == '\\' ? 0 : 1));
    return true;
}

}  // namespace

void ignoreStage(Pass& pass, SyncRegistry& source, SyncRegistry& dest) {
    if (pass.stopping()) return;
    if (!pass.listOnly()) std::cout << "удаление игнорируемых файлов из реестра синхронизации" << std::endl;
    auto remove = [&](const std::vector<std::string>& entries) {
        for (const std::string& entry : entries) {
            removeByPath(source.root, entry);
            removeByPath(dest.root, entry);
        }
    };
    remove(pass.settings.ignoreList);
    remove(pass.emptiedByUpdate);
}

void cutStage(Pass& pass, SyncRegistry& source, SyncRegistry& dest) {
    if (pass.stopping()) return;
    if (!pass.listOnly()) std::cout << "удаление 'вырезаемых' файлов из реестра синхронизации" << std::endl;
    // Cut entries are the administrator's own: one that is refused, or that
    // cannot be removed, is told in the statistics but fails no run.
    int32_t uncounted = 0;
    DeletionGate gate(pass.settings.destDir, pass.settings.sourceDir, uncounted, std::cout, pass.fs);
    for (const std::string& entry : pass.settings.cutList) {
        if (pass.stopping()) return;
        std::string disk = cutDiskPath(pass, entry);
        if (disk.empty()) continue;
        // The registries lose what the disk loses, matched as the file system
        // matches names, so a letter-case variant is not copied back.
        std::string relative;
        if (belowDestination(pass.settings, disk, relative)) {
            removeByDiskPath(source.root, relative);
            removeByDiskPath(dest.root, relative);
        }
        if (!pass.listOnly()) gate.removeTree(disk.c_str());
    }
}
