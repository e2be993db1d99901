#include <iostream>
#include <optional>
#include <unordered_set>

#include "fsops/root_identity.h"
#include "sync/listing_prefetch.h"
#include "sync/report.h"
#include "sync/rules.h"
#include "sync/scan.h"
#include "sync/scan_walk.h"
#include "sync/pass.h"

using namespace scan;

namespace {

// A directory that both sides have but that cannot be taken part in: it
// goes from both registries, so nothing below it is copied or deleted.
void leaveOutPair(DirNode* node) {
    DirNode* source = node->counterpart;
    if (!node->parent) {
        clearNode(node);
        if (source) clearNode(source);
        return;
    }
    if (source && source->parent) removeChild(source->parent, source);
    removeChild(node->parent, node);
}

}  // namespace

void destinationScan(Pass& pass, SyncRegistry& dest, SyncRegistry& source, bool rootOnly,
                     ListingPrefetch* destination) {
    const SettingsRecord& settings = pass.settings;
    const ScanFilter filter(settings);
    const RootIdentity sourceRoot(settings.sourceDir);  // under any name, never deleted
    if (!dest.root->counterpart && !source.root->counterpart) {
        dest.root->counterpart = source.root;
        source.root->counterpart = dest.root;
    }
    if (source.root->unlisted) return;  // the source left the whole pass out
    Dir top;
    top.node = dest.root;
    top.full = settings.destDir;
    if (!rootFits(top, pass.errorCount)) {
        leaveOutPair(dest.root);
        return;
    }
    Walk walk(std::move(top));
    std::optional<ListingPrefetch> own;
    ListingPrefetch& prefetch =
        destination ? *destination : own.emplace(pass.fs, listingThreads(pass.listThreads(), settings.destDir));
    std::vector<Dir> children;
    std::string relPath;  // one buffer for every record of the scan
    std::unordered_set<DirNode*> entered;
    Dir dir;
    while (walk.next(dir)) {
        DirNode* node = dir.node;
        const DirNode* sourceNode = node->counterpart;
        entered.clear();
        DWORD error = 0;
        Listing result = prefetch.list(dir.full + "*.*", &error, [&](const WIN32_FIND_DATAA& d, bool exact) {
            if (!exact) return;                              // never matched to another name, never deleted
            if (isLeftOut(sourceNode, d.cFileName)) return;  // reported by the source scan
            // Below a link the administrator made, only what the source has
            // takes part: nothing there is ever deleted.
            bool isDir = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (node->keepsAll && !isDir && !(node->counterpart && findFile(node->counterpart->record, d.cFileName)))
                return;
            if (takeRecord(dir, d, filter, rootOnly, pass.errorCount, relPath) != Record::Subdirectory) return;
            if (sourceRoot.is(dir.full + d.cFileName, d.cFileName)) return;
            DirNode* child = findChild(node, d.cFileName);
            if (child && !child->mirrored) return;  // recorded already under another letter case
            if (child) {
                if (!entered.insert(child).second) return;
                bool viaLink = false;
                // A link where the source has a real directory: the
                // administrator moved that folder; it is kept up to date.
                child->keepsAll = node->keepsAll || (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
                bool entering = false;
                if (!fitsToEnter(dir, relPath, d.cFileName)) {
                    reportTooLong(dir.full + d.cFileName, pass.errorCount);
                } else if (!walk.closesCycle(dir, dir.full + d.cFileName, d, &viaLink)) {
                    entering = true;
                }
                // What the source scan queued under its spelling is taken
                // only under the same one, and only below directories entered.
                if (!entering || child->record.name != d.cFileName)
                    prefetch.forget(dir.full + child->record.name + "\\");
                if (entering)
                    children.push_back(childDir(dir, child, d.cFileName, viaLink));
                else
                    leaveOutPair(child);
                return;
            }
            if (node->keepsAll || (!settings.deleteExtraFiles && !strictTest(settings, relPath.c_str()))) return;
            if (2 + relPath.size() > kMaxPathLength) {
                reportTooLong(dir.full + d.cFileName, pass.errorCount);
                return;
            }
            DirNode* extra = createNode(d.cFileName);
            setFlag(extra->record, DirDelete);
            appendChild(node, extra);
        });
        if (result == Listing::Missing) continue;  // keeps DirMissing: not in the destination
        if (result == Listing::Failed) {
            children.clear();
            reportUnlisted(error, dir.full, pass.errorCount);
            leaveOutPair(node);
            continue;
        }
        clearFlag(node->record, DirMissing);
        node->record.files.trim();
        prefetch.ahead(dir.full, patternsOf(children));
        walk.enter(children);
    }
}
