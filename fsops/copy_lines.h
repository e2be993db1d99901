// The copy step every copy of the program shares, and its log lines.
#pragma once

#include <windows.h>
#include <string>

#include "core/settings.h"
#include "fsops/fs_calls.h"

class LogBlock;

// What a copy needs, and nothing of the run's state: a copy thread reaches
// the error count only through the lines of its LogBlock.
// (Not "CopyContext": windows.h declares a function of that name.)
struct CopyScope {
    const SettingsRecord& settings;
    FileSystemCalls& fs;
};

// The one copy primitive: the narrow copy function before Windows 2000, the
// wide one with long-path forms after it; true when the copy was made.
bool copyFile(const CopyScope& context, const char* source, const char* destination);

// Copies and records the outcome in block (a failure counted there); when
// the settings ask for it, takes away the read-only bit the copy took over
// from the source. A file that stands under the destination name already
// (replacing) is replaced by a copy written beside it (fsops/partial_copy.h),
// never written through; a new one is copied straight to its name, and what
// a failed copy left of it is deleted. sourceTime is the source's last-write
// time as scanned: a copy of a source rewritten since then keeps that time,
// so the next run copies it again. Safe to call from several threads at once.
void copyInto(const CopyScope& context, LogBlock& block, const char* source, const char* destination,
              DWORD sourceAttributes, const FILETIME& sourceTime, bool replacing);

inline std::string copiedLine(const char* source, const char* destination) {
    return std::string("Копирование файла \"") + source + "\" в \"" + destination + "\"";
}

inline std::string copyFailedLine(const char* source, const char* destination) {
    return std::string("Ошибка копирования файла \"") + source + "\" в \"" + destination + "\"";
}

// A destination path of a deletion or creation (what: "удаления файла",
// "удаления каталога", "создания каталога") that would not fit its buffer.
inline std::string destinationPathTooLongLine(const char* what, const std::string& path) {
    return std::string("Ошибка ") + what + " \"" + path + "\" путь в каталоге приемнике слишком длинный";
}

// A destination path that would not fit its 1024-byte buffer.
inline std::string destinationTooLongLine(const std::string& source) {
    return "Ошибка копирования файла \"" + source + "\" путь в каталоге приемнике слишком длинный";
}

// A source path that would not fit its buffer.
inline std::string sourceTooLongLine(const std::string& source) {
    return "Ошибка копирования файла \"" + source + "\" путь в каталоге источнике слишком длинный";
}
