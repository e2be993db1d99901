// A by-name index over an ordered chain of nodes (files of a directory, or
// its subdirectories). It answers "the first node in chain order whose name
// matches by the name rule" in O(1) on average: every node carries the
// sequence number it got when appended, and appends only ever go to the end,
// so the smallest number among the matches is the first in chain order.
//
// Open addressing with linear probing in two flat arrays (node pointers and
// their names' hashes): no heap block per entry, and a probe compares names
// only where the hashes agree. Removal shifts the rest of the run back, so
// there are no tombstones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sync/name_rule.h"

template <typename Node>
class NameIndex {
public:
    // Node provides: const char* indexName() const; an unsigned seq.
    void add(Node* node) {
        if ((count_ + 1) * 8 > nodes_.size() * 7) resize(nodes_.empty() ? kFirstSize : nodes_.size() * 2);
        place(node, nameHash(node->indexName()));
        ++count_;
    }

    void remove(Node* node) {
        if (nodes_.empty()) return;
        std::size_t i = home(nameHash(node->indexName()));
        for (; nodes_[i] != node; i = (i + 1) & mask())
            if (!nodes_[i]) return;
        // Backward shift: move each later member of the run whose home does
        // not lie cyclically in (hole, member] into the hole.
        for (std::size_t j = (i + 1) & mask(); nodes_[j]; j = (j + 1) & mask()) {
            std::size_t k = home(hashes_[j]);
            bool stays = i <= j ? (i < k && k <= j) : (i < k || k <= j);
            if (stays) continue;
            nodes_[i] = nodes_[j];
            hashes_[i] = hashes_[j];
            i = j;
        }
        nodes_[i] = nullptr;
        --count_;
    }

    Node* find(const char* name) const {
        if (nodes_.empty()) return nullptr;
        uint32_t hash = nameHash(name);
        Node* best = nullptr;
        for (std::size_t i = home(hash); nodes_[i]; i = (i + 1) & mask())
            if (hashes_[i] == hash && nameMatch(nodes_[i]->indexName(), name) && (!best || nodes_[i]->seq < best->seq))
                best = nodes_[i];
        return best;
    }

    void reserve(std::size_t n) {
        std::size_t size = kFirstSize;
        while (n * 8 > size * 7) size *= 2;
        if (size > nodes_.size()) resize(size);
    }

    std::size_t size() const { return count_; }

private:
    static constexpr std::size_t kFirstSize = 16;  // a power of two, like every size

    std::size_t mask() const { return nodes_.size() - 1; }
    std::size_t home(uint32_t hash) const { return hash & mask(); }

    void place(Node* node, uint32_t hash) {
        std::size_t i = home(hash);
        while (nodes_[i]) i = (i + 1) & mask();
        nodes_[i] = node;
        hashes_[i] = hash;
    }

    void resize(std::size_t size) {
        std::vector<Node*> nodes(size, nullptr);
        std::vector<uint32_t> hashes(size);
        nodes.swap(nodes_);
        hashes.swap(hashes_);
        for (std::size_t i = 0; i < nodes.size(); ++i)
            if (nodes[i]) place(nodes[i], hashes[i]);
    }

    std::vector<Node*> nodes_;
    std::vector<uint32_t> hashes_;
    std::size_t count_ = 0;
};

// Chains shorter than this are searched linearly; the index is built on the
// first lookup past it and kept in step from then on.
constexpr std::size_t kIndexThreshold = 8;
