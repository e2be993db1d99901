// The file pairs of [Проверить пары], after the work lists: a destination
// file held equal to a source file of another name.
#include <windows.h>

#include <iostream>
#include <string>

#include "fsops/copy_lines.h"
#include "fsops/deletion_gate.h"
#include "fsops/ordered_log.h"
#include "sync/pass.h"
#include "win/fixed_text.h"

namespace {

// Brings one destination file up to date with its source of another name.
void copyPair(Pass& pass, DeletionGate& gate, const SyncPair& pair) {
    const SettingsRecord& s = pass.settings;
    char source[kPathBuffer];
    char destination[kPathBuffer];
    if (!win::joinText(source, {s.sourceDir, pair.source.c_str()})) {
        std::cerr << sourceTooLongLine(s.sourceDir + pair.source) << std::endl;
        ++pass.errorCount;
        return;
    }
    if (!win::joinText(destination, {s.destDir, pair.destination.c_str()})) {
        std::cerr << destinationTooLongLine(source) << std::endl;
        ++pass.errorCount;
        return;
    }
    // A pair written with ".." or into a directory reached through a link
    // would overwrite a file outside the destination, or the source itself.
    if (!gate.mayChange(destination)) {
        std::cerr << copyFailedLine(source, destination) << " путь вне каталога приемника" << std::endl;
        ++pass.errorCount;
        return;
    }

    WIN32_FILE_ATTRIBUTE_DATA from{};
    if (!GetFileAttributesExA(source, GetFileExInfoStandard, &from)) {
        DWORD code = GetLastError();
        std::cerr << "Ошибка " << code << " чтения аттрибутов файла \"" << source << "\"" << std::endl;
        ++pass.errorCount;
        return;
    }
    WIN32_FILE_ATTRIBUTE_DATA to{};
    bool exists = GetFileAttributesExA(destination, GetFileExInfoStandard, &to) != 0;
    if (exists && timeMatch(to.ftLastWriteTime, from.ftLastWriteTime)) return;  // up to date

    LogBlock block;
    if (pass.listOnly()) {
        block.out(copiedLine(source, destination));
        block.countCopy();
    } else {
        copyInto(CopyScope{s, pass.fs}, block, source, destination, from.dwFileAttributes, from.ftLastWriteTime,
                 exists);
    }
    block.writeTo(pass.errorCount, pass.tally.copied);
}

}  // namespace

void Pass::copyPairs() {
    DeletionGate gate = deletionGate();
    for (const SyncPair& pair : settings.pairList) {
        if (stopping()) return;
        copyPair(*this, gate, pair);
    }
}
