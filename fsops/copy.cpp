// The copy primitive: a file copied to its destination, or beside it and
// moved over it.
#include <windows.h>

#include <sstream>
#include <string>

#include "fsops/copy_lines.h"
#include "fsops/deletion_gate.h"
#include "fsops/ordered_log.h"
#include "fsops/partial_copy.h"
#include "fsops/path_forms.h"
#include "core/time_match.h"
#include "win/fixed_text.h"
#include "win/unique_handle.h"

bool copyFile(const CopyScope& context, const char* source, const char* destination) {
    const SettingsRecord& s = context.settings;
    if (!s.osVersion5OrLater) return context.fs.copyFileA(source, destination) == 1;

    std::wstring start;
    if (!widenAnsi(s.startDir, start)) return false;
    std::wstring from = toLongPath(source, start);
    std::wstring to = toLongPath(destination, start);
    if (from.empty() || to.empty()) return false;  // not convertible: a failed copy
    return context.fs.copyFileW(from.c_str(), to.c_str()) == 1;
}

namespace {

std::wstring wideFor(const CopyScope& context, const char* path) {
    std::wstring wide;
    if (!context.settings.osVersion5OrLater) return widenAnsi(path, wide) ? wide : std::wstring();
    std::wstring start;
    return widenAnsi(context.settings.startDir, start) ? toLongPath(path, start) : std::wstring();
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
void dropLookalike(const CopyScope& context, LogBlock& block, const char* destination, const std::wstring& wide,
                   const FILETIME& sourceTime) {
    WIN32_FILE_ATTRIBUTE_DATA now{};
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &now) || !timeMatch(now.ftLastWriteTime, sourceTime))
        return;
    int32_t refused = 0;
    std::ostringstream report;
    DWORD code = 0;
    DeletionGate(context.settings.destDir, context.settings.sourceDir, refused, report, context.fs)
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
bool replace(const CopyScope& context, const std::wstring& part, const std::wstring& destination) {
    if (context.fs.moveReplacing(part.c_str(), destination.c_str())) return true;
    DWORD code = GetLastError();
    DWORD attributes = GetFileAttributesW(destination.c_str());
    const DWORD blocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (code != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(attributes & blocking)) {
        SetLastError(code);
        return false;
    }
    SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
    return context.fs.moveReplacing(part.c_str(), destination.c_str());
}

}  // namespace

void copyInto(const CopyScope& context, LogBlock& block, const char* source, const char* destination,
              DWORD sourceAttributes, const FILETIME& sourceTime, bool replacing) {
    std::string partName = replacing ? std::string(destination) + kPartialCopySuffix : std::string(destination);
    std::wstring part = wideFor(context, partName.c_str()), target = wideFor(context, destination);
    bool copied = false, done = false;
    try {
        copied = !part.empty() && !target.empty() && copyFile(context, source, partName.c_str());
        if (copied && !keepScannedTime(block, part, destination, sourceTime)) {
            discard(part);  // reported there
            return;
        }
        done = copied && (!replacing || replace(context, part, target));
    } catch (...) {
        if (replacing && !part.empty()) discard(part);
        throw;
    }
    if (!done) {
        if (replacing && !part.empty())
            discard(part);
        else if (!part.empty())
            dropLookalike(context, block, destination, part, sourceTime);
        block.err(copyFailedLine(source, destination));
        block.count();
        return;
    }
    block.out(copiedLine(source, destination));
    block.countCopy();
    if (context.settings.clearReadOnly && (sourceAttributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(target.c_str(), sourceAttributes & ~FILE_ATTRIBUTE_READONLY);
}
