// The copy primitive and the file pairs of [Проверить пары].
#include <windows.h>

#include <iostream>
#include <sstream>
#include <string>

#include "fsops/copy_lines.h"
#include "fsops/deletion_gate.h"
#include "fsops/ordered_log.h"
#include "fsops/path_forms.h"
#include "sync/registry.h"
#include "sync/sync_engine.h"
#include "win/fixed_text.h"
#include "win/unique_handle.h"

bool SyncEngine::copyFile(const char* source, const char* destination) {
    if (!settings.osVersion5OrLater) return fs->copyFileA(source, destination) == 1;

    std::wstring start;
    if (!widenAnsi(settings.startDir, start)) return false;
    std::wstring from = toLongPath(source, start);
    std::wstring to = toLongPath(destination, start);
    if (from.empty() || to.empty()) return false;  // not convertible: a failed copy
    return fs->copyFileW(from.c_str(), to.c_str()) == 1;
}

namespace {

// Brings one destination file up to date with its source of another name.
void copyPair(SyncEngine& engine, const SyncPair& pair) {
    const SettingsRecord& s = engine.settings;
    char source[kPathBuffer];
    char destination[kPathBuffer];
    if (!win::joinText(source, {s.sourceDir, pair.source.c_str()})) {
        std::cerr << sourceTooLongLine(s.sourceDir + pair.source) << std::endl;
        ++engine.errorCount;
        return;
    }
    if (!win::joinText(destination, {s.destDir, pair.destination.c_str()})) {
        std::cerr << destinationTooLongLine(source) << std::endl;
        ++engine.errorCount;
        return;
    }
    // A pair written with ".." or through a link would overwrite a file
    // outside the destination, or the source itself.
    if (!engine.deletionGate().mayChange(destination)) {
        std::cerr << copyFailedLine(source, destination) << " путь вне каталога приемника" << std::endl;
        ++engine.errorCount;
        return;
    }

    WIN32_FILE_ATTRIBUTE_DATA from{};
    if (!GetFileAttributesExA(source, GetFileExInfoStandard, &from)) {
        DWORD code = GetLastError();
        std::cerr << "Ошибка " << code << " чтения аттрибутов файла \"" << source << "\"" << std::endl;
        ++engine.errorCount;
        return;
    }
    WIN32_FILE_ATTRIBUTE_DATA to{};
    if (GetFileAttributesExA(destination, GetFileExInfoStandard, &to)) {
        if (timeMatch(to.ftLastWriteTime, from.ftLastWriteTime)) return;  // up to date
        if (to.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesA(destination, to.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
    }

    copyAndReport(engine, source, destination, from.dwFileAttributes, from.ftLastWriteTime);
}

}  // namespace

namespace {

// A destination file must never look up to date unless it is a whole copy
// of the source as scanned: a copy that failed part way (a full volume)
// can leave a truncated file carrying the source's time, and a source
// rewritten during its copy leaves a torn one carrying the new time.
void leaveNothingThatLooksUpToDate(SyncEngine& engine, LogBlock& block, const char* destination,
                                   const FILETIME& sourceTime, bool copied) {
    WIN32_FILE_ATTRIBUTE_DATA now{};
    if (!GetFileAttributesExA(destination, GetFileExInfoStandard, &now)) return;
    if (!copied) {
        if (!timeMatch(now.ftLastWriteTime, sourceTime)) return;  // the next run copies it again
        int32_t refused = 0;
        std::ostringstream report;
        DWORD code = 0;
        DeletionGate(engine.settings.destDir, engine.settings.sourceDir, refused, report)
            .deleteFile(destination, now.dwFileAttributes, false, &code);
        if (refused) block.err(report.str().substr(0, report.str().size() - 1));
        block.count(refused);
        return;
    }
    if (timeMatch(now.ftLastWriteTime, sourceTime)) return;
    // The time the scan saw never matches the source's new one.
    win::UniqueFileHandle file(CreateFileA(destination, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) SetFileTime(file.get(), nullptr, nullptr, &sourceTime);
}

}  // namespace

void copyInto(SyncEngine& engine, LogBlock& block, const char* source, const char* destination,
              DWORD sourceAttributes, const FILETIME& sourceTime) {
    if (!engine.copyFile(source, destination)) {
        block.err(copyFailedLine(source, destination));
        block.count();
        leaveNothingThatLooksUpToDate(engine, block, destination, sourceTime, false);
        return;
    }
    block.out(copiedLine(source, destination));
    leaveNothingThatLooksUpToDate(engine, block, destination, sourceTime, true);
    if (engine.settings.clearReadOnly && (sourceAttributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(destination, sourceAttributes & ~FILE_ATTRIBUTE_READONLY);
}

void copyAndReport(SyncEngine& engine, const char* source, const char* destination, DWORD sourceAttributes,
                   const FILETIME& sourceTime) {
    LogBlock block;
    copyInto(engine, block, source, destination, sourceAttributes, sourceTime);
    block.writeTo(engine.errorCount);
}

void SyncEngine::copyPairs() {
    for (const SyncPair& pair : settings.pairList) {
        if (stopping()) return;
        copyPair(*this, pair);
    }
}
