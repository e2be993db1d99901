#include "sync/compare.h"

#include <utility>
#include <vector>

namespace {

void compareFiles(DirRecord& source, DirRecord& dest) {
    FileList& files = source.files;
    for (auto it = files.begin(); it != files.end();) {
        FileEntry* f = findFile(dest, it->name);
        if (!f) {
            it->isNew = 1;
            ++it;
            continue;
        }
        bool upToDate = timeMatch(it->lastWrite, f->lastWrite);
        eraseFile(dest, f);
        it = upToDate ? files.erase(it) : std::next(it);
    }
}

}  // namespace

void compareTrees(DirNode* source, DirNode* dest) {
    std::vector<std::pair<DirNode*, DirNode*>> stack{{source, dest}};
    while (!stack.empty()) {
        auto [s, d] = stack.back();
        stack.pop_back();
        if (testFlag(d->record, DirMissing)) {
            clearFlag(d->record, DirMissing);
            continue;
        }
        clearFlag(s->record, DirMissing);
        compareFiles(s->record, d->record);
        for (DirNode* sc = s->firstChild; sc;) {
            DirNode* next = sc->nextSibling;
            if (sc->counterpart && sc->counterpart->parent == d)
                stack.emplace_back(sc, sc->counterpart);
            else
                removeChild(s, sc);
            sc = next;
        }
        for (DirNode* dc = d->firstChild; dc;) {
            DirNode* next = dc->nextSibling;
            if (dc->mirrored && !dc->counterpart) removeChild(d, dc);
            dc = next;
        }
    }
}
