// In-memory pictures of directory trees (registries) and the work lists
// flattened from them.
//
// A registry is a tree of DirNode, each holding the plain files found in its
// directory. Names compare by the name rule (sync/name_rule.h). Lookups of a
// file or a subdirectory by name cost O(1) on average (sync/name_index.h)
// while the results stay those of a scan in list order. Nothing here
// recurses: deep trees are walked with explicit stacks.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/time_match.h"
#include "sync/entry_blocks.h"
#include "sync/name_index.h"

constexpr uint32_t DirDelete = 1;   // destination-only directory, removed whole
constexpr uint32_t DirMissing = 2;  // directory without a counterpart (yet)

constexpr int kNameBuffer = 260;  // file names hold at most 259 characters

// One plain file. `name` is a NUL-terminated text of at most 259 characters.
// An entry in a FileList keeps its name right after the entry, in its list's
// storage, sized to the name, so a large tree costs no fixed 260 bytes per
// file. An entry made on its own owns a buffer of kNameBuffer bytes, so any
// name can be written into it (strcpy) before it is added to a list.
struct FileEntry {
    uint64_t size = 0;
    FILETIME lastWrite{};
    char* name;
    uint32_t attributes = 0;  // here, not first: no padding before size
    uint8_t isNew = 0;

    FileEntry();
    FileEntry(const FileEntry& other);
    FileEntry(FileEntry&& other);  // takes an own buffer over, copies a list's
    FileEntry& operator=(const FileEntry& other);
    FileEntry& operator=(FileEntry&& other);
    ~FileEntry();

private:
    friend class FileList;
    // Copies the text, cut at 259 characters; moves the name to a buffer of
    // its own only when it does not fit where it is.
    void setName(const char* text);
    // An entry whose name lives in storage of capacity bytes that it does
    // not own (the rest of its list node).
    FileEntry(char* storage, std::size_t capacity) : name(storage), capacity_(static_cast<uint16_t>(capacity)) {}
    void releaseName();

    // Beside isNew: the entry ends on an 8-byte boundary on both targets.
    bool ownsName_ = false;  // name was allocated by this entry
    uint16_t capacity_ = 0;  // bytes name can hold, NUL included
};

// The plain files of one directory, in the order they were added. Entries
// live one after another in the list's blocks (sync/entry_blocks.h) and keep
// their addresses until erased. An erased entry only leaves a gap that walks
// skip; a list that becomes empty gives all its blocks back.
class FileList {
    // The node, then the name's characters, padded to the blocks' alignment.
    struct Node {
        FileEntry entry;  // first member: a FileEntry* is the address of its Node
        uint32_t seq;
        uint16_t span;  // bytes the node takes in its block, name included
        bool live;
        const char* indexName() const { return entry.name; }

        Node(std::size_t capacity, std::size_t bytes, uint32_t order)
            : entry(reinterpret_cast<char*>(this + 1), capacity),
              seq(order),
              span(static_cast<uint16_t>(bytes)),
              live(true) {}
    };
    using Block = EntryBlocks::Block;

    // The first live node at or after `at` in block b or a later block;
    // null at the end. Moves b along to the block of the node.
    static Node* liveFrom(Block*& b, char* at) {
        while (b) {
            for (char* end = b->data() + b->used; at < end; at += reinterpret_cast<Node*>(at)->span)
                if (reinterpret_cast<Node*>(at)->live) return reinterpret_cast<Node*>(at);
            b = b->next;
            if (b) at = b->data();
        }
        return nullptr;
    }

    template <typename Entry>
    class Iter {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = FileEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = Entry*;
        using reference = Entry&;
        Iter() = default;
        Iter(Block* b, Node* n) : b_(b), n_(n) {}
        reference operator*() const { return n_->entry; }
        pointer operator->() const { return &n_->entry; }
        Iter& operator++() {
            n_ = liveFrom(b_, reinterpret_cast<char*>(n_) + n_->span);
            return *this;
        }
        Iter operator++(int) {
            Iter t = *this;
            ++*this;
            return t;
        }
        bool operator==(const Iter& o) const { return n_ == o.n_; }
        bool operator!=(const Iter& o) const { return n_ != o.n_; }
        operator Iter<const FileEntry>() const { return Iter<const FileEntry>(b_, n_); }

    private:
        friend class FileList;
        Block* b_ = nullptr;
        Node* n_ = nullptr;
    };

    template <typename It>
    It first() const {
        Block* b = blocks_.first();
        Node* n = b ? liveFrom(b, b->data()) : nullptr;
        return It(b, n);
    }

public:
    using iterator = Iter<FileEntry>;
    using const_iterator = Iter<const FileEntry>;

    FileList() = default;
    FileList(const FileList& other);
    FileList(FileList&& other) noexcept;
    FileList& operator=(const FileList& other);
    FileList& operator=(FileList&& other) noexcept;
    ~FileList() { clear(); }

    iterator begin() { return first<iterator>(); }
    iterator end() { return iterator(); }
    const_iterator begin() const { return first<const_iterator>(); }
    const_iterator end() const { return const_iterator(); }
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    FileEntry& front() { return *begin(); }

    FileEntry& push_back(const FileEntry& entry);
    // Appends an entry of that name (cut at 259 characters) with every other
    // field zero.
    FileEntry& emplace_back(const char* name);
    // First entry whose name matches by the name rule, or nullptr.
    FileEntry* find(const char* name);
    void erase(FileEntry* entry);
    iterator erase(iterator it);  // returns the entry after it
    void clear();
    // The list is filled: what its storage holds unused goes back to the heap.
    void trim() { blocks_.trim(); }

private:
    void swap(FileList& other) noexcept;
    void buildIndex();

    EntryBlocks blocks_;
    std::size_t size_ = 0;
    uint32_t nextSeq_ = 0;
    std::unique_ptr<NameIndex<Node>> index_;
};

struct DirRecord {
    std::string name;  // own name in a registry ("." for the root), relative path in a work list
    FileList files;
    uint32_t flags = 0;
};

using CopyList = std::vector<DirRecord>;
using DeleteList = std::vector<DirRecord>;

// One directory of a registry. Its subdirectories are firstChild and that
// child's chain of nextSibling, in the order they were appended.
struct DirNode {
    DirRecord record;
    DirNode* nextSibling = nullptr;
    DirNode* firstChild = nullptr;

    // Bookkeeping for O(1) append, unlink and lookup.
    DirNode* parent = nullptr;
    DirNode* prevSibling = nullptr;
    DirNode* lastChild = nullptr;
    std::size_t childCount = 0;
    uint64_t seq = 0;
    uint64_t nextChildSeq = 0;
    std::unique_ptr<NameIndex<DirNode>> childIndex;

    // The node of the same directory in the other registry of the pass
    // (set by mirrorStructure and the destination scan; cleared when
    // either side is freed).
    DirNode* counterpart = nullptr;
    bool mirrored = false;  // destination node created by mirrorStructure
    // Destination side: reached through a link (or junction) where the
    // source has a real directory; nothing below it is deleted.
    bool keepsAll = false;
    // Source side: this directory could not be listed, so its counterpart
    // is not listed either.
    bool unlisted = false;
    // Source side: names in this directory left out of the pass (an
    // unreadable subdirectory, a path too long); the destination scan skips
    // them. Keys are names folded by the name rule.
    std::unique_ptr<std::unordered_set<std::string>> leftOut;

    const char* indexName() const { return record.name.c_str(); }
};

// A whole registry; destroying it frees every node, record and entry.
struct SyncRegistry {
    SyncRegistry();
    ~SyncRegistry() { destroy(); }
    SyncRegistry(const SyncRegistry&) = delete;
    SyncRegistry& operator=(const SyncRegistry&) = delete;

    void destroy();  // frees everything; root becomes null

    DirNode* root;  // named "."
};

// --- Nodes -------------------------------------------------------------------
DirNode* createNode(const std::string& name);  // owned by the caller until appended
void appendChild(DirNode* parent, DirNode* child);
// First subdirectory whose name matches by the name rule, or nullptr.
DirNode* findChild(DirNode* parent, const char* name);
// Unlinks child from its parent and frees it with its whole subtree.
void removeChild(DirNode* parent, DirNode* child);
// Frees a node that is not (or no longer) linked into a tree, with its subtree.
void destroyTree(DirNode* node);
// Removes every file and subdirectory of a node.
void clearNode(DirNode* node);

// Names left out of the pass by the source scan (see DirNode::leftOut).
void addLeftOut(DirNode* node, const char* name);
bool isLeftOut(const DirNode* node, const char* name);

// --- Files -------------------------------------------------------------------
FileEntry& addFile(DirNode* dir, const WIN32_FIND_DATAA& data);  // isNew 0
FileEntry* findFile(DirRecord& dir, const char* name);
void eraseFile(DirRecord& dir, FileEntry* entry);

// --- Flags -------------------------------------------------------------------
inline void setFlag(DirRecord& dir, uint32_t mask) { dir.flags |= mask; }
inline void clearFlag(DirRecord& dir, uint32_t mask) { dir.flags &= ~mask; }
inline bool testFlag(const DirRecord& dir, uint32_t mask) { return (dir.flags & mask) == mask; }

// --- Whole trees -------------------------------------------------------------
// For every subdirectory of source, in order and to any depth: a node of the
// same name appended under dest, DirMissing set on both. Files are not copied.
void mirrorStructure(DirNode* dest, DirNode* source);

// Pre-order walk: every directory with DirMissing, DirDelete or files goes to
// the list under its path ("." for the root, ".\bin", ".\bin\plugins"),
// taking its files over. A path longer than 1023 characters leaves that
// directory and its subtree out, with one error line counted in errorCount.
void flatten(SyncRegistry& registry, std::vector<DirRecord>& list, int32_t& errorCount);
