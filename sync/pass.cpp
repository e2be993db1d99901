// One synchronisation pass: source access check, optional root check, both
// scans, the rule stages, the comparison, the work lists and carrying them out.
#include <windows.h>

#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "sync/compare.h"
#include "sync/listing_prefetch.h"
#include "sync/registry.h"
#include "sync/rules.h"
#include "sync/scan.h"
#include "sync/pass.h"

namespace {

// Stage captions stay valid for the whole run: the window may read them
// while the worker goes on.
void sendCaption(const Pass& pass, const char* caption) {
    if (!pass.stopping()) pass.showCaption(caption);
}

// No stage line is written after a stop, nor by a list-only run, which
// writes only what it would do.
void statistics(const Pass& pass, const char* line) {
    if (!pass.stopping() && !pass.listOnly()) std::cout << line << std::endl;
}

bool sourceReachable(Pass& pass) {
    const char* root = pass.settings.sourceDir;
    if (pass.fs.getFileAttributes(root) != INVALID_FILE_ATTRIBUTES) return true;
    DWORD code = GetLastError();
    ++pass.errorCount;
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
        std::cerr << "Ошибка: каталог источник \"" << root << "\" не существует, синхронизация невозможна" << std::endl;
    else if (code == ERROR_BAD_NETPATH)
        std::cerr << "Ошибка: сетевой путь \"" << root << "\" не найден" << std::endl;
    else
        std::cerr << "Ошибка: " << code << " доступа к каталогу источнику \"" << root << "\", синхронизация невозможна"
                  << std::endl;
    return false;
}

// Whether a plain file of the source root is missing or outdated in the
// destination root. The cut entries are removed from disk here already.
bool rootsDiffer(Pass& pass) {
    SyncRegistry source, dest;
    sourceScan(pass, source, true);
    destinationScan(pass, dest, source, true);
    cutStage(pass, source, dest);
    ignoreStage(pass, source, dest);
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

// The files recorded in a registry.
int64_t countFiles(const DirNode* root) {
    int64_t files = 0;
    std::vector<const DirNode*> stack{root};
    while (!stack.empty()) {
        const DirNode* node = stack.back();
        stack.pop_back();
        files += static_cast<int64_t>(node->record.files.size());
        for (const DirNode* c = node->firstChild; c; c = c->nextSibling) stack.push_back(c);
    }
    return files;
}

// A reachable source that holds nothing is almost always a share being
// redeployed or a wrong path, not a wish to empty the destination.
bool refuseEmptySource(Pass& pass, DirNode* source, DirNode* dest) {
    if (source->firstChild || !source->record.files.empty() || !holdsDeletions(pass.settings, dest)) return false;
    ++pass.errorCount;
    std::cerr << "Ошибка: каталог источник \"" << pass.settings.sourceDir
              << "\" пуст, удаление файлов каталога приемника отменено, синхронизация невозможна" << std::endl;
    return true;
}

}  // namespace

// Scans, prunes, compares and flattens both trees into the work lists.
bool Pass::buildWorkLists() {
    Pass& pass = *this;
    const SettingsRecord& s = settings;
    SyncRegistry source, dest;

    {
        // The destination is listed while the source is scanned: on a share
        // the source scan mostly waits for the network.
        ListingPrefetch destination(fs, destinationListingThreads(listThreads(), s.destDir), WorkPool::Owner::GoesOn);
        sendCaption(pass, "Cканирование каталога источника");
        statistics(pass, "сканирование источника");
        sourceScan(pass, source, false, &destination);
        mirrorStructure(dest.root, source.root);

        sendCaption(pass, "Cканирование каталога приемника");
        statistics(pass, "сканирование приемника");
        destinationScan(pass, dest, source, false, &destination);
        // What the destination scan did not take goes with the lister here.
    }
    if (pass.stopping()) return false;  // the cut stage below deletes on disk

    if (s.hasUpdateList) {
        updatePruning(dest.root, Side::Destination, s.updateList, pass.emptiedByUpdate);
        updatePruning(source.root, Side::Source, s.updateList, pass.emptiedByUpdate);
    }
    ignoreStage(pass, source, dest);
    pass.destinationFiles = countFiles(dest.root);
    if (refuseEmptySource(pass, source.root, dest.root)) return false;
    cutStage(pass, source, dest);
    if (pass.stopping()) return false;
    statistics(pass, "удаление пропускаемых файлов из реестра синхронизации");
    for (const std::string& entry : s.skipExistingList) skipExisting(dest.root, source.root, entry);
    statistics(pass, "удаление проверяемых пар из реестра синхронизации");
    for (const SyncPair& pair : s.pairList) pairRemoval(source, dest, pair);

    sendCaption(pass, "Cканирование каталогов");
    compareTrees(source.root, dest.root);
    statistics(pass, "сравнение");
    flatten(source, pass.copyList, pass.errorCount);
    flatten(dest, pass.deleteList, pass.errorCount);
    statistics(pass, "построение списков");
    return true;
}  // both registries are destroyed here

bool Pass::run() {
    sendCaption(*this, "Проверка доступа к каталогу источнику");
    if (stopping() || !sourceReachable(*this)) return false;
    if (settings.rootOnly && !rootsDiffer(*this)) return errorCount == 0;

    // An abort confirmed by the user ends the pass before its next stage.
    if (stopping()) return false;
    if (!buildWorkLists() || stopping()) return false;
    holdDeletionsOverLimit();
    // A list-only run asks nothing: the free-space box would be a question.
    if (!listOnly() && !checkFreeSpace()) return errorCount == 0;  // the user has been told
    // A source that went away during the scans looks empty: nothing is
    // deleted on its word.
    if (!sourceReachable(*this)) return false;

    sendCaption(*this, "Копирование");
    statistics(*this, "собственно, синхронизация:");
    applyWorkLists();
    copyPairs();
    return errorCount == 0;
}
