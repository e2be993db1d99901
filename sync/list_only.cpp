// A list-only run's work lists: the lines a real run writes for its actions,
// in the order it takes them, with the errors that show before anything is
// touched (paths that do not fit); nothing on disk changes.
#include <iostream>
#include <string>

#include "fsops/copy_lines.h"
#include "fsops/partial_copy.h"
#include "sync/pass.h"
#include "sync/rules.h"
#include "win/fixed_text.h"

namespace {

constexpr int kSourceBuffer = 2048;  // as the copies' source paths

void error(Pass& pass, const std::string& line) {
    std::cerr << line << std::endl;
    ++pass.errorCount;
}

void listDeletion(Pass& pass, const DirRecord& d) {
    const SettingsRecord& s = pass.settings;
    if ((d.flags & DirDelete) == DirDelete) {
        char dir[kPathBuffer];
        if (!win::joinText(dir, {s.destDir, d.name.c_str(), "\\"}))
            return error(pass, destinationPathTooLongLine("удаления каталога", s.destDir + d.name + "\\"));
        std::cout << "Удаление каталога \"" << dir << "\"" << std::endl;
        ++pass.tally.deletedDirs;
        return;
    }
    for (const FileEntry& f : d.files) {
        char path[kPathBuffer];
        bool fits = win::joinText(path, {s.destDir, d.name.c_str(), "\\", f.name});
        std::string full = fits ? std::string(path) : s.destDir + d.name + "\\" + f.name;
        if (!isPartialCopy(f.name) && !deletesFile(s, full)) continue;
        if (!fits) {
            error(pass, destinationPathTooLongLine("удаления файла", full));
            continue;
        }
        std::cout << "Удаление файла \"" << path << "\"" << std::endl;
        ++pass.tally.deletedFiles;
    }
}

void listCopies(Pass& pass, const DirRecord& d) {
    const SettingsRecord& s = pass.settings;
    char srcDir[kSourceBuffer];
    char dstDir[kPathBuffer];
    bool srcFits = win::joinText(srcDir, {s.sourceDir, d.name.c_str(), "\\"});
    bool dstFits = win::joinText(dstDir, {s.destDir, d.name.c_str(), "\\"});
    if ((d.flags & DirMissing) == DirMissing) {
        if (!dstFits) {
            error(pass, destinationPathTooLongLine("создания каталога", s.destDir + d.name + "\\"));
        } else {
            std::cout << "Создание каталога \"" << dstDir << "\"" << std::endl;
            ++pass.tally.createdDirs;
        }
    }
    for (const FileEntry& f : d.files) {
        char source[kSourceBuffer];
        char destination[kPathBuffer];
        if (!srcFits || !win::joinText(source, {srcDir, f.name})) {
            error(pass, sourceTooLongLine(s.sourceDir + d.name + "\\" + f.name));
        } else if (!dstFits || !win::joinText(destination, {dstDir, f.name})) {
            error(pass, destinationTooLongLine(source));
        } else {
            std::cout << copiedLine(source, destination) << std::endl;
            ++pass.tally.copied;
        }
    }
}

}  // namespace

void Pass::listWorkLists() {
    for (const DirRecord& d : deleteList) listDeletion(*this, d);
    for (const DirRecord& d : copyList) listCopies(*this, d);
}
