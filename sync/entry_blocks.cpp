#include "sync/entry_blocks.h"

#include <malloc.h>

#include <cstdlib>
#include <new>
#include <utility>

namespace {

// The first block holds a couple of typical entries, so a directory of one
// file costs little more than its entry; later blocks stop growing where one
// more block is no longer a noticeable cost, so the tail left unused stays small.
constexpr std::size_t kFirstBlock = 128;
constexpr std::size_t kLargestBlock = 64 * 1024;

}  // namespace

void EntryBlocks::swap(EntryBlocks& other) noexcept {
    std::swap(first_, other.first_);
    std::swap(last_, other.last_);
    std::swap(total_, other.total_);
}

void* EntryBlocks::allocate(std::size_t bytes) {
    if (!last_ || last_->capacity - last_->used < bytes) {
        std::size_t capacity = total_ < kFirstBlock ? kFirstBlock : total_ < kLargestBlock ? total_ : kLargestBlock;
        if (capacity < bytes) capacity = bytes;
        Block* block = static_cast<Block*>(std::malloc(sizeof(Block) + capacity));
        if (!block) throw std::bad_alloc();
        block->next = nullptr;
        block->used = 0;
        block->capacity = capacity;
        (last_ ? last_->next : first_) = block;
        last_ = block;
        total_ += capacity;
    }
    void* at = last_->data() + last_->used;
    last_->used += bytes;
    return at;
}

void EntryBlocks::release() {
    for (Block* b = first_; b;) {
        Block* next = b->next;
        std::free(b);
        b = next;
    }
    first_ = last_ = nullptr;
    total_ = 0;
}

void EntryBlocks::trim() {
    if (!last_ || last_->capacity - last_->used < kFirstBlock) return;
    // Shrinks in place (HeapReAlloc with HEAP_REALLOC_IN_PLACE_ONLY): the
    // entries keep their addresses. Left as it is where the heap declines.
    if (!_expand(last_, sizeof(Block) + last_->used)) return;
    total_ -= last_->capacity - last_->used;
    last_->capacity = last_->used;
}
