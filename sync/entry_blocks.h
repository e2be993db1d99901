// Storage for the entries of one file list: a chain of heap blocks filled in
// order, each new block as large as all before it together (up to a ceiling).
// A directory of n files then costs about log2(n) heap blocks instead of n,
// which is most of what a file cost under a slow heap; walking the blocks in
// chain order visits the entries in the order they were added.
#pragma once

#include <cstddef>

class EntryBlocks {
public:
    // Aligned so that data() suits any entry on both targets.
    struct alignas(8) Block {
        Block* next;
        std::size_t used;  // bytes handed out from data()
        std::size_t capacity;
        char* data() { return reinterpret_cast<char*>(this + 1); }
    };

    static constexpr std::size_t kAlign = alignof(Block);

    EntryBlocks() = default;
    EntryBlocks(const EntryBlocks&) = delete;
    EntryBlocks& operator=(const EntryBlocks&) = delete;
    ~EntryBlocks() { release(); }

    void swap(EntryBlocks& other) noexcept;
    // bytes (a multiple of kAlign) at the end of the last block, or of a new
    // one; never moves what was handed out before.
    void* allocate(std::size_t bytes);
    void release();  // frees every block
    // Gives the unused tail of the last block back to the heap, where the
    // next directory's blocks can take it: a list filled whole leaves about
    // a quarter of its blocks unused otherwise. Moves nothing; a later
    // allocation starts a new block.
    void trim();
    Block* first() const { return first_; }

private:
    Block* first_ = nullptr;
    Block* last_ = nullptr;
    std::size_t total_ = 0;  // capacity of all blocks
};
