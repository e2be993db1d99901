#include <iostream>

#include "fsops/partial_copy.h"
#include "fsops/root_identity.h"
#include "sync/listing_prefetch.h"
#include "sync/report.h"
#include "sync/rules.h"
#include "sync/scan.h"
#include "sync/scan_walk.h"
#include "sync/pass.h"

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
void reportUnaddressable(Pass& pass, const std::string& path) {
    if (!pass.unaddressableReported.insert(path).second) return;
    ++pass.errorCount;
    std::cerr << "Ошибка: имя \"" << path
              << "\" не может быть записано в кодировке Windows-1251 или оканчивается точкой или пробелом, пропущено"
              << std::endl;
}

}  // namespace

void sourceScan(Pass& pass, SyncRegistry& source, bool rootOnly, ListingPrefetch* destinationAhead) {
    const ScanFilter filter(pass.settings);
    const RootIdentity destination(pass.settings.destDir);  // under any name, never copied into itself
    Dir top;
    top.node = source.root;
    top.full = pass.settings.sourceDir;
    if (!rootFits(top, pass.errorCount)) {
        source.root->unlisted = true;
        return;
    }
    Walk walk(std::move(top));
    ListingPrefetch prefetch(pass.fs, listingThreads(pass.listThreads(), pass.settings.sourceDir));
    std::vector<Dir> children;
    std::string relPath;  // one buffer for every record of the scan
    const std::string destDir = pass.settings.destDir;
    Dir dir;
    while (walk.next(dir)) {
        DirNode* node = dir.node;
        DWORD error = 0;
        std::size_t bytes = 0;  // what the destination's listing is expected to hold
        Listing result = prefetch.list(dir.full + "*.*", &error, [&](const WIN32_FIND_DATAA& d, bool exact) {
            bytes += ListingRecords::weight(d);
            if (!exact) return reportUnaddressable(pass, dir.full + d.cFileName);
            if (isPartialCopy(d.cFileName) && !(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return;
            Record kind = takeRecord(dir, d, filter, rootOnly, pass.errorCount, relPath);
            if (kind == Record::TooLong) addLeftOut(node, d.cFileName);
            if (kind != Record::Subdirectory || destination.is(dir.full + d.cFileName, d.cFileName)) return;
            if (!fitsToEnter(dir, relPath, d.cFileName)) {
                reportTooLong(dir.full + d.cFileName, pass.errorCount);
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
            reportUnlisted(error, dir.full, pass.errorCount);
            leaveOut(dir);
            continue;
        }
        node->record.files.trim();
        if (destinationAhead) destinationAhead->queue(destDir + dir.prefix + "*.*", bytes);
        prefetch.ahead(dir.full, patternsOf(children));
        walk.enter(children);
    }
}
