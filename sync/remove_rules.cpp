// The rules that remove named entries from the registries: removal by path,
// pair removal and skip-existing.
#include <utility>
#include <vector>

#include "fsops/path_normal.h"
#include "sync/rules.h"

bool removeByPath(DirNode* root, const std::string& entry) {
    if (entry.empty()) return false;
    DirNode* dir = root;
    std::size_t start = 0, slash;
    while ((slash = entry.find('\\', start)) != std::string::npos) {
        std::string component = entry.substr(start, slash - start);
        dir = dir->firstChild ? findChild(dir, component.c_str()) : nullptr;
        if (!dir) return false;
        start = slash + 1;
        if (start == entry.size()) return false;  // trailing backslash
    }
    const char* last = entry.c_str() + start;
    if (DirNode* child = findChild(dir, last)) {
        removeChild(dir, child);
        return true;
    }
    if (FileEntry* file = findFile(dir->record, last)) {
        eraseFile(dir->record, file);
        return true;
    }
    return false;
}

namespace {

bool sameOnDisk(const std::string& name, const std::string& folded) { return foldCase(name) == folded; }

}  // namespace

bool removeByDiskPath(DirNode* root, const std::string& relative) {
    DirNode* dir = root;
    std::size_t start = 0, slash;
    auto childNamed = [](DirNode* parent, const std::string& folded) {
        DirNode* c = parent->firstChild;
        while (c && !sameOnDisk(c->record.name, folded)) c = c->nextSibling;
        return c;
    };
    while ((slash = relative.find('\\', start)) != std::string::npos) {
        dir = childNamed(dir, foldCase(relative.substr(start, slash - start)));
        if (!dir) return false;
        start = slash + 1;
    }
    std::string last = foldCase(relative.substr(start));
    if (last.empty()) return false;
    if (DirNode* child = childNamed(dir, last)) {
        removeChild(dir, child);
        return true;
    }
    for (FileEntry& f : dir->record.files)
        if (sameOnDisk(f.name, last)) {
            eraseFile(dir->record, &f);
            return true;
        }
    return false;
}

void pairRemoval(SyncRegistry& source, SyncRegistry& dest, const SyncPair& pair) {
    removeByPath(source.root, pair.source);
    removeByPath(dest.root, pair.destination);
}

namespace {

// The destination subdirectory at the position of a source subdirectory.
DirNode* atSamePosition(const DirNode* sourceChild, DirNode* destParent) {
    DirNode* d = destParent->firstChild;
    for (const DirNode* s = sourceChild->parent->firstChild; s != sourceChild && d; s = s->nextSibling)
        d = d->nextSibling;
    return d;
}

// Every file present on both sides of the pair, and of every pair of
// subdirectories at the same position below it, is erased on both sides.
void skipBelow(DirNode* dest, DirNode* source) {
    std::vector<std::pair<DirNode*, DirNode*>> stack{{dest, source}};
    while (!stack.empty()) {
        auto [d, s] = stack.back();
        stack.pop_back();
        for (auto it = s->record.files.begin(); it != s->record.files.end();) {
            if (FileEntry* df = findFile(d->record, it->name)) {
                eraseFile(d->record, df);
                it = s->record.files.erase(it);
            } else {
                ++it;
            }
        }
        DirNode* dc = d->firstChild;
        for (DirNode* sc = s->firstChild; sc && dc; sc = sc->nextSibling, dc = dc->nextSibling)
            stack.emplace_back(dc, sc);
    }
}

}  // namespace

void skipExisting(DirNode* destRoot, DirNode* sourceRoot, const std::string& entry) {
    DirNode* d = destRoot;
    DirNode* s = sourceRoot;
    std::size_t start = 0, slash;
    while ((slash = entry.find('\\', start)) != std::string::npos) {
        if (!d->firstChild) return;
        std::string component = entry.substr(start, slash - start);
        DirNode* sc = findChild(s, component.c_str());
        DirNode* dc = sc ? atSamePosition(sc, d) : nullptr;
        if (!dc) return;
        s = sc;
        d = dc;
        start = slash + 1;
    }
    const char* last = entry.c_str() + start;
    if (FileEntry* sf = findFile(s->record, last)) {
        if (FileEntry* df = findFile(d->record, sf->name)) {
            eraseFile(d->record, df);
            eraseFile(s->record, sf);
        }
        return;
    }
    DirNode* dc = d->firstChild;
    for (DirNode* sc = s->firstChild; sc && dc; sc = sc->nextSibling, dc = dc->nextSibling)
        if (nameMatch(sc->record.name.c_str(), last) && nameMatch(dc->record.name.c_str(), last)) {
            skipBelow(dc, sc);
            return;
        }
}
