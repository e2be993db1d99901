#include <iostream>

#include "fsops/partial_copy.h"
#include "fsops/root_identity.h"
#include "sync/listing_prefetch.h"
#include "sync/report.h"
#include "sync/rules.h"
#include "sync/scan.h"
#include "sync/scan_walk.h"
#include "sync/sync_engine.h"

using namespace scan;

namespace {

// A source directory that could not be listed takes no part on either side:
// its node goes, and its name is left out for the destination scan.
void leaveOut(Dir& dir) {
    DirNode* node = dir.node;
    if (!node->parent) {
        clearNode(node);
        node->unlisted = true;
        return;
    }
    DirNode* parent = node->parent;
    std::string name = node->record.name;
    removeChild(parent, node);
    addLeftOut(parent, name.c_str());
}

// A name the application would miss: told once per run.
void reportUnaddressable(SyncEngine& engine, const std::string& path) {
    if (!engine.unaddressableReported.insert(path).second) return;
    ++engine.errorCount;
    std::cerr << "Ошибка: имя \"" << path
              << "\" не может быть записано в кодировке Windows-1251 или оканчивается точкой или пробелом, пропущено"
              << std::endl;
}

}  // namespace

void sourceScan(SyncEngine& engine, SyncRegistry& source, bool rootOnly) {
    const ScanFilter filter(engine.settings);
    const RootIdentity destination(engine.settings.destDir);  // under any name, never copied into itself
    Dir top;
    top.node = source.root;
    top.full = engine.settings.sourceDir;
    if (!rootFits(top, engine.errorCount)) {
        source.root->unlisted = true;
        return;
    }
    Walk walk(std::move(top));
    ListingPrefetch prefetch(*engine.fs, listingThreads(engine.listThreads, engine.settings.sourceDir));
    std::vector<Dir> children;
    std::string relPath;  // one buffer for every record of the scan
    Dir dir;
    while (walk.next(dir)) {
        DirNode* node = dir.node;
        DWORD error = 0;
        Listing result = prefetch.list(dir.full + "*.*", &error, [&](const WIN32_FIND_DATAA& d, bool exact) {
            if (!exact) return reportUnaddressable(engine, dir.full + d.cFileName);
            if (isPartialCopy(d.cFileName) && !(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return;
            Record kind = takeRecord(dir, d, filter, rootOnly, engine.errorCount, relPath);
            if (kind == Record::TooLong) addLeftOut(node, d.cFileName);
            if (kind != Record::Subdirectory || destination.is(dir.full + d.cFileName, d.cFileName)) return;
            if (!fitsToEnter(dir, relPath, d.cFileName)) {
                reportTooLong(dir.full + d.cFileName, engine.errorCount);
                addLeftOut(node, d.cFileName);
                return;
            }
            bool viaLink = false;
            if (walk.closesCycle(dir, dir.full + d.cFileName, d, &viaLink)) {
                addLeftOut(node, d.cFileName);
                return;
            }
            DirNode* child = createNode(d.cFileName);
            appendChild(node, child);
            children.push_back(childDir(dir, child, d.cFileName, viaLink));
        });
        // Listed by its parent but not listable now, "not found" included (a
        // share going away, a folder renamed): taken as empty, its
        // destination files would be deleted.
        if (result != Listing::Done) {
            children.clear();
            reportUnlisted(error, dir.full, engine.errorCount);
            leaveOut(dir);
            continue;
        }
        prefetch.ahead(patternsOf(children));
        walk.enter(children);
    }
}
