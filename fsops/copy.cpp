// The copy primitive and the file pairs of [Проверить пары].
#include <windows.h>

#include <iostream>
#include <sstream>
#include <string>

#include "fsops/copy_lines.h"
#include "fsops/deletion_gate.h"
#include "fsops/ordered_log.h"
#include "fsops/partial_copy.h"
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
void copyPair(SyncEngine& engine, DeletionGate& gate, const SyncPair& pair) {
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
    // A pair written with ".." or into a directory reached through a link
    // would overwrite a file outside the destination, or the source itself.
    if (!gate.mayChange(destination)) {
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
    bool exists = GetFileAttributesExA(destination, GetFileExInfoStandard, &to) != 0;
    if (exists && timeMatch(to.ftLastWriteTime, from.ftLastWriteTime)) return;  // up to date

    copyAndReport(engine, source, destination, from.dwFileAttributes, from.ftLastWriteTime, exists);
}

std::wstring wideFor(const SyncEngine& engine, const char* path) {
    std::wstring wide;
    if (!engine.settings.osVersion5OrLater) return widenAnsi(path, wide) ? wide : std::wstring();
    std::wstring start;
    return widenAnsi(engine.settings.startDir, start) ? toLongPath(path, start) : std::wstring();
}

// Deletes the partial copy this run wrote itself, also while a stop unwinds
// the pass (so not through the worker's gate); one that stays is deleted by
// the next run.
void discard(const std::wstring& part) {
    FileSystemCalls& calls = FileSystemCalls::real();
    win::UniqueFileHandle item(calls.openForDeletion(part.c_str()));
    if (item) calls.deleteOpened(item.get(), FILE_ATTRIBUTE_READONLY);
}

// A copy that failed part way (a full volume) can leave a truncated file
// carrying the source's time, which a later run would take as up to date.
void dropLookalike(SyncEngine& engine, LogBlock& block, const char* destination, const std::wstring& wide,
                   const FILETIME& sourceTime) {
    WIN32_FILE_ATTRIBUTE_DATA now{};
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &now) || !timeMatch(now.ftLastWriteTime, sourceTime))
        return;
    int32_t refused = 0;
    std::ostringstream report;
    DWORD code = 0;
    DeletionGate(engine.settings.destDir, engine.settings.sourceDir, refused, report, *engine.fs)
        .deleteFile(destination, false, &code);
    if (!refused) return;
    std::string line = report.str();
    block.err(line.substr(0, line.size() - 1));
    block.count(refused);
}

// A source rewritten during its copy leaves a torn copy carrying the new
// time; the time the scan saw never matches the source's new one, so the
// next run copies it again. False, with its line, when the time cannot be set.
bool keepScannedTime(LogBlock& block, const std::wstring& part, const char* destination, const FILETIME& sourceTime) {
    WIN32_FILE_ATTRIBUTE_DATA now{};
    if (GetFileAttributesExW(part.c_str(), GetFileExInfoStandard, &now) && timeMatch(now.ftLastWriteTime, sourceTime))
        return true;
    win::UniqueFileHandle file(CreateFileW(part.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file && SetFileTime(file.get(), nullptr, nullptr, &sourceTime)) return true;
    block.err("Ошибка " + std::to_string(GetLastError()) + " установки времени файла \"" + destination + "\"");
    block.count();
    return false;
}

// Moves the finished copy over the destination name. Windows refuses to
// replace a read-only file: its own attributes (a link's, never its
// target's) are cleared then, and the move tried once more.
bool replace(SyncEngine& engine, const std::wstring& part, const std::wstring& destination) {
    if (engine.fs->moveReplacing(part.c_str(), destination.c_str())) return true;
    DWORD code = GetLastError();
    DWORD attributes = GetFileAttributesW(destination.c_str());
    const DWORD blocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (code != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(attributes & blocking)) {
        SetLastError(code);
        return false;
    }
    SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
    return engine.fs->moveReplacing(part.c_str(), destination.c_str());
}

}  // namespace

void copyInto(SyncEngine& engine, LogBlock& block, const char* source, const char* destination,
              DWORD sourceAttributes, const FILETIME& sourceTime, bool replacing) {
    std::string partName = replacing ? std::string(destination) + kPartialCopySuffix : std::string(destination);
    std::wstring part = wideFor(engine, partName.c_str()), target = wideFor(engine, destination);
    bool copied = false, done = false;
    try {
        copied = !part.empty() && !target.empty() && engine.copyFile(source, partName.c_str());
        if (copied && !keepScannedTime(block, part, destination, sourceTime)) {
            discard(part);  // reported there
            return;
        }
        done = copied && (!replacing || replace(engine, part, target));
    } catch (...) {
        if (replacing && !part.empty()) discard(part);
        throw;
    }
    if (!done) {
        if (replacing && !part.empty())
            discard(part);
        else if (!part.empty())
            dropLookalike(engine, block, destination, part, sourceTime);
        block.err(copyFailedLine(source, destination));
        block.count();
        return;
    }
    block.out(copiedLine(source, destination));
    if (engine.settings.clearReadOnly && (sourceAttributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(target.c_str(), sourceAttributes & ~FILE_ATTRIBUTE_READONLY);
}

void copyAndReport(SyncEngine& engine, const char* source, const char* destination, DWORD sourceAttributes,
                   const FILETIME& sourceTime, bool replacing) {
    LogBlock block;
    copyInto(engine, block, source, destination, sourceAttributes, sourceTime, replacing);
    block.writeTo(engine.errorCount);
}

void SyncEngine::copyPairs() {
    DeletionGate gate = deletionGate();
    for (const SyncPair& pair : settings.pairList) {
        if (stopping()) return;
        copyPair(*this, gate, pair);
    }
}
