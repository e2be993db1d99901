// The ignore and cut stages of a pass.
#include <cstring>
#include <iostream>

#include "fsops/directories.h"
#include "sync/report.h"
#include "sync/rules.h"
#include "sync/sync_engine.h"
#include "win/fixed_text.h"

namespace {

// Whether a cut entry names something strictly inside its root: at least one
// component, and none of them "." or "..". Empty components (doubled or
// trailing backslashes) are harmless to the removal.
bool namesSomethingInside(const char* relative) {
    bool any = false;
    const char* p = relative;
    while (*p) {
        const char* end = std::strchr(p, '\\');
        std::size_t n = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
        if ((n == 1 && p[0] == '.') || (n == 2 && p[0] == '.' && p[1] == '.')) return false;
        if (n) any = true;
        p += n;
        if (*p) ++p;
    }
    return any;
}

void removeCutFromDisk(SyncEngine& engine, const std::string& entry) {
    const char* e = entry.c_str();
    bool absolute = win::isDriveAbsolute(e);
    if (!namesSomethingInside(absolute ? e + 3 : e)) {
        ++engine.errorCount;
        std::cerr << "Ошибка: путь \"" << entry << "\" секции [Вырезать] не указывает на файл или каталог внутри "
                  << (absolute ? "диска" : "каталога приемника") << ", не удален" << std::endl;
        return;
    }
    char path[kPathBuffer];
    bool fits = absolute ? win::copyText(path, e) : win::joinText(path, {engine.settings.destDir, e});
    if (!fits) {
        reportTooLong(absolute ? entry : engine.settings.destDir + entry, engine.errorCount);
        return;
    }
    removeTree(path);
}

}  // namespace

void ignoreStage(SyncEngine& engine, SyncRegistry& source, SyncRegistry& dest) {
    std::cout << "удаление игнорируемых файлов из реестра синхронизации" << std::endl;
    for (const std::string& entry : engine.settings.ignoreList) {
        removeByPath(source.root, entry);
        removeByPath(dest.root, entry);
    }
}

void cutStage(SyncEngine& engine, SyncRegistry& source, SyncRegistry& dest) {
    std::cout << "удаление 'вырезаемых' файлов из реестра синхронизации" << std::endl;
    for (const std::string& entry : engine.settings.cutList) {
        removeByPath(source.root, entry);
        removeByPath(dest.root, entry);
        removeCutFromDisk(engine, entry);
    }
}
