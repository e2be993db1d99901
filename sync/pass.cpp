// One synchronisation pass: source access check, optional root check, both
// scans, the rule stages, the comparison, the work lists and carrying them out.
#include <windows.h>

#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "sync/compare.h"
#include "sync/registry.h"
#include "sync/rules.h"
#include "sync/scan.h"
#include "sync/sync_engine.h"

namespace {

// Stage captions stay valid for the whole run: the window may read them
// while the worker goes on.
void sendCaption(const SyncEngine& engine, const char* caption) {
    if (!engine.stopping()) engine.showCaption(caption);
}

// No stage line is written after a stop.
void statistics(const SyncEngine& engine, const char* line) {
    if (!engine.stopping()) std::cout << line << std::endl;
}

bool sourceReachable(SyncEngine& engine) {
    const char* root = engine.settings.sourceDir;
    if (engine.fs->getFileAttributes(root) != INVALID_FILE_ATTRIBUTES) return true;
    DWORD code = GetLastError();
    ++engine.errorCount;
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
        std::cerr << "Ошибка: каталог источник \"" << root << "\" не существует, синхронизация невозможна"
                  << std::endl;
    else if (code == ERROR_BAD_NETPATH)
        std::cerr << "Ошибка: сетевой путь \"" << root << "\" не найден" << std::endl;
    else
        std::cerr << "Ошибка: " << code << " доступа к каталогу источнику \"" << root
                  << "\", синхронизация невозможна" << std::endl;
    return false;
}

// Whether a plain file of the source root is missing or outdated in the
// destination root. The cut entries are removed from disk here already.
bool rootsDiffer(SyncEngine& engine) {
    SyncRegistry source, dest;
    sourceScan(engine, source, true);
    destinationScan(engine, dest, source, true);
    cutStage(engine, source, dest);
    ignoreStage(engine, source, dest);
    compareTrees(source.root, dest.root);
    return !source.root->record.files.empty();
}

// Whether a registry holds anything that the delete list would remove.
bool holdsDeletions(const SettingsRecord& s, DirNode* root) {
    std::vector<std::pair<DirNode*, std::string>> stack{{root, std::string(s.destDir) + "."}};
    while (!stack.empty()) {
        auto [node, path] = stack.back();
        stack.pop_back();
        if (node->record.flags & DirDelete) return true;
        for (const FileEntry& f : node->record.files)
            if (deletesFile(s, path + "\\" + f.name)) return true;
        for (DirNode* c = node->firstChild; c; c = c->nextSibling) stack.emplace_back(c, path + "\\" + c->record.name);
    }
    return false;
}

// A reachable source that holds nothing is almost always a share being
// redeployed or a wrong path, not a wish to empty the destination.
bool refuseEmptySource(SyncEngine& engine, DirNode* source, DirNode* dest) {
    if (source->firstChild || !source->record.files.empty() || !holdsDeletions(engine.settings, dest)) return false;
    ++engine.errorCount;
    std::cerr << "Ошибка: каталог источник \"" << engine.settings.sourceDir
              << "\" пуст, удаление файлов каталога приемника отменено, синхронизация невозможна" << std::endl;
    return true;
}

// Scans, prunes, compares and flattens both trees into the work lists;
// false when nothing may be applied.
bool buildWorkLists(SyncEngine& engine) {
    SettingsRecord& s = engine.settings;
    SyncRegistry source, dest;

    sendCaption(engine, "Cканирование каталога источника");
    statistics(engine, "сканирование источника");
    sourceScan(engine, source, false);
    mirrorStructure(dest.root, source.root);

    sendCaption(engine, "Cканирование каталога приемника");
    statistics(engine, "сканирование приемника");
    destinationScan(engine, dest, source, false);
    if (engine.stopping()) return false;  // the cut stage below deletes on disk

    if (s.hasUpdateList) {
        updatePruning(dest.root, Side::Destination, s);
        updatePruning(source.root, Side::Source, s);
    }
    ignoreStage(engine, source, dest);
    if (refuseEmptySource(engine, source.root, dest.root)) return false;
    cutStage(engine, source, dest);
    if (engine.stopping()) return false;
    statistics(engine, "удаление пропускаемых файлов из реестра синхронизации");
    for (const std::string& entry : s.skipExistingList) skipExisting(dest.root, source.root, entry);
    statistics(engine, "удаление проверяемых пар из реестра синхронизации");
    for (const SyncPair& pair : s.pairList) pairRemoval(source, dest, pair);

    sendCaption(engine, "Cканирование каталогов");
    compareTrees(source.root, dest.root);
    statistics(engine, "сравнение");
    flatten(source, engine.copyList, engine.errorCount);
    flatten(dest, engine.deleteList, engine.errorCount);
    statistics(engine, "построение списков");
    return true;
}  // both registries are destroyed here

}  // namespace

bool SyncEngine::runPass() {
    sendCaption(*this, "Проверка доступа к каталогу источнику");
    if (stopping() || !sourceReachable(*this)) return false;
    if (settings.rootOnly && !rootsDiffer(*this)) return errorCount == 0;

    // An abort confirmed by the user ends the pass before its next stage.
    if (stopping()) return false;
    if (!buildWorkLists(*this) || stopping()) return false;
    if (!checkFreeSpace()) return errorCount == 0;  // the user has been told
    // A source that went away during the scans looks empty: nothing is
    // deleted on its word.
    if (!sourceReachable(*this)) return false;

    sendCaption(*this, "Копирование");
    statistics(*this, "собственно, синхронизация:");
    applyWorkLists();
    copyPairs();
    return errorCount == 0;
}
