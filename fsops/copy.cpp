// The copy primitive and the file pairs of [Проверить пары].
#include <windows.h>

#include <iostream>
#include <string>

#include "fsops/copy_lines.h"
#include "fsops/path_forms.h"
#include "sync/registry.h"
#include "sync/sync_engine.h"
#include "win/fixed_text.h"

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
        logSourceTooLong(s.sourceDir + pair.source);
        ++engine.errorCount;
        return;
    }
    if (!win::joinText(destination, {s.destDir, pair.destination.c_str()})) {
        logDestinationTooLong(source);
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

    copyAndReport(engine, source, destination, from.dwFileAttributes);
}

}  // namespace

void copyAndReport(SyncEngine& engine, const char* source, const char* destination, DWORD sourceAttributes) {
    if (!engine.copyFile(source, destination)) {
        logCopyFailed(source, destination);
        ++engine.errorCount;
        return;
    }
    logCopied(source, destination);
    if (engine.settings.clearReadOnly && (sourceAttributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(destination, sourceAttributes & ~FILE_ATTRIBUTE_READONLY);
}

void SyncEngine::copyPairs() {
    for (const SyncPair& pair : settings.pairList) {
        if (stopping()) return;
        copyPair(*this, pair);
    }
}
