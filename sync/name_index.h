// A by-name index over an ordered chain of nodes (files of a directory, or
// its subdirectories). It answers "the first node in chain order whose name
// matches by the name rule" in O(1) on average: every node carries the
// sequence number it got when appended, and appends only ever go to the end,
// so the smallest number among the matches is the first in chain order.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "sync/name_rule.h"

template <typename Node>
class NameIndex {
public:
    // Node provides: const char* indexName() const; uint64_t seq.
    void add(Node* node) { map_.emplace(nameHash(node->indexName()), node); }

    void remove(Node* node) {
        auto range = map_.equal_range(nameHash(node->indexName()));
        for (auto it = range.first; it != range.second; ++it)
            if (it->second == node) {
                map_.erase(it);
                return;
            }
    }

    Node* find(const char* name) const {
        Node* best = nullptr;
        auto range = map_.equal_range(nameHash(name));
        for (auto it = range.first; it != range.second; ++it)
            if (nameMatch(it->second->indexName(), name) && (!best || it->second->seq < best->seq)) best = it->second;
        return best;
    }

    void reserve(std::size_t n) { map_.reserve(n); }

private:
    std::unordered_multimap<uint32_t, Node*> map_;
};

// Chains shorter than this are searched linearly; the index is built on the
// first lookup past it and kept in step from then on.
constexpr std::size_t kIndexThreshold = 8;
