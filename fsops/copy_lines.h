// What every copy of the program shares: the copy step and its log lines.
#pragma once

#include <windows.h>
#include <iostream>
#include <string>

class SyncEngine;

// Copies, reports the outcome (a failure is counted) and, when the settings
// ask for it, takes away the read-only bit the copy took over from the source.
// sourceTime is the source's last-write time as scanned: a partial copy
// carrying it is removed, and a copy of a source rewritten since then keeps
// that time, so the next run copies it again.
void copyAndReport(SyncEngine& engine, const char* source, const char* destination, DWORD sourceAttributes,
                   const FILETIME& sourceTime);

inline void logCopied(const char* source, const char* destination) {
    std::cout << "Копирование файла \"" << source << "\" в \"" << destination << "\"" << std::endl;
}

inline void logCopyFailed(const char* source, const char* destination) {
    std::cerr << "Ошибка копирования файла \"" << source << "\" в \"" << destination << "\"" << std::endl;
}

// A destination path that would not fit its 1024-byte buffer.
inline void logDestinationTooLong(const std::string& source) {
    std::cerr << "Ошибка копирования файла \"" << source << "\" путь в каталоге приемнике слишком длинный"
              << std::endl;
}

// A source path that would not fit its buffer.
inline void logSourceTooLong(const std::string& source) {
    std::cerr << "Ошибка копирования файла \"" << source << "\" путь в каталоге источнике слишком длинный"
              << std::endl;
}
