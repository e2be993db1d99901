// Nodes of a registry and the walks over whole trees, all with explicit
// stacks so that a tree thousands of levels deep needs no deep call stack.
#include <utility>

#include "core/settings.h"
#include "sync/registry.h"
#include "sync/report.h"

namespace {

void buildChildIndex(DirNode* parent) {
    parent->childIndex = std::make_unique<NameIndex<DirNode>>();
    parent->childIndex->reserve(parent->childCount);
    for (DirNode* c = parent->firstChild; c; c = c->nextSibling) parent->childIndex->add(c);
}

bool listedInWorkList(const DirNode* n) {
    return (n->record.flags & (DirMissing | DirDelete)) || !n->record.files.empty();
}

// Whether flattening would list n or anything below it.
bool subtreeHasWork(const DirNode* n) {
    std::vector<const DirNode*> stack{n};
    while (!stack.empty()) {
        const DirNode* d = stack.back();
        stack.pop_back();
        if (listedInWorkList(d)) return true;
        for (const DirNode* c = d->firstChild; c; c = c->nextSibling) stack.push_back(c);
    }
    return false;
}

}  // namespace

SyncRegistry::SyncRegistry() : root(createNode(".")) {}

void SyncRegistry::destroy() {
    destroyTree(root);
    root = nullptr;
}

DirNode* createNode(const std::string& name) {
    DirNode* n = new DirNode;
    n->record.name = name;
    return n;
}

void appendChild(DirNode* parent, DirNode* child) {
    child->parent = parent;
    child->seq = parent->nextChildSeq++;
    child->prevSibling = parent->lastChild;
    child->nextSibling = nullptr;
    (parent->lastChild ? parent->lastChild->nextSibling : parent->firstChild) = child;
    parent->lastChild = child;
    ++parent->childCount;
    if (parent->childIndex) parent->childIndex->add(child);
}

DirNode* findChild(DirNode* parent, const char* name) {
    if (!parent->childIndex && parent->childCount > kIndexThreshold) buildChildIndex(parent);
    if (parent->childIndex) return parent->childIndex->find(name);
    for (DirNode* c = parent->firstChild; c; c = c->nextSibling)
        if (nameMatch(c->record.name.c_str(), name)) return c;
    return nullptr;
}

void removeChild(DirNode* parent, DirNode* child) {
    if (parent->childIndex) parent->childIndex->remove(child);
    (child->prevSibling ? child->prevSibling->nextSibling : parent->firstChild) = child->nextSibling;
    (child->nextSibling ? child->nextSibling->prevSibling : parent->lastChild) = child->prevSibling;
    --parent->childCount;
    child->parent = child->prevSibling = child->nextSibling = nullptr;
    destroyTree(child);
}

void destroyTree(DirNode* node) {
    if (!node) return;
    std::vector<DirNode*> stack{node};
    while (!stack.empty()) {
        DirNode* n = stack.back();
        stack.pop_back();
        for (DirNode* c = n->firstChild; c; c = c->nextSibling) stack.push_back(c);
        if (n->counterpart) n->counterpart->counterpart = nullptr;
        delete n;
    }
}

void clearNode(DirNode* node) {
    for (DirNode* c = node->firstChild; c;) {
        DirNode* next = c->nextSibling;
        c->parent = c->prevSibling = c->nextSibling = nullptr;
        destroyTree(c);
        c = next;
    }
    node->firstChild = node->lastChild = nullptr;
    node->childCount = 0;
    node->childIndex.reset();
    node->record.files.clear();
}

void addLeftOut(DirNode* node, const char* name) {
    if (!node->leftOut) node->leftOut = std::make_unique<std::unordered_set<std::string>>();
    node->leftOut->insert(foldName(name));
}

bool isLeftOut(const DirNode* node, const char* name) {
    return node && node->leftOut && node->leftOut->count(foldName(name)) != 0;
}

void mirrorStructure(DirNode* dest, DirNode* source) {
    if (!dest->counterpart && !source->counterpart) {
        dest->counterpart = source;
        source->counterpart = dest;
    }
    std::vector<std::pair<DirNode*, DirNode*>> stack{{dest, source}};
    while (!stack.empty()) {
        auto [d, s] = stack.back();
        stack.pop_back();
        for (DirNode* sc = s->firstChild; sc; sc = sc->nextSibling) {
            DirNode* dc = createNode(sc->record.name);
            appendChild(d, dc);
            setFlag(sc->record, DirMissing);
            setFlag(dc->record, DirMissing);
            dc->mirrored = true;
            dc->counterpart = sc;
            sc->counterpart = dc;
            stack.emplace_back(dc, sc);
        }
    }
}

void flatten(SyncRegistry& registry, std::vector<DirRecord>& list, int32_t& errorCount) {
    std::vector<std::pair<DirNode*, std::string>> stack;
    stack.emplace_back(registry.root, registry.root->record.name);
    while (!stack.empty()) {
        DirNode* n = stack.back().first;
        std::string path = std::move(stack.back().second);
        stack.pop_back();
        if (path.size() > kMaxPathLength) {
            if (subtreeHasWork(n)) reportTooLong(path, errorCount);
            continue;
        }
        if (listedInWorkList(n)) {
            DirRecord r;
            r.name = path;
            r.files = std::move(n->record.files);
            r.flags = n->record.flags;
            list.push_back(std::move(r));
        }
        // Children pushed last-first so that they come off the stack in order.
        for (DirNode* c = n->lastChild; c; c = c->prevSibling) stack.emplace_back(c, path + "\\" + c->record.name);
    }
}
