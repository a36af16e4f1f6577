#pragma once

#include "terminal/screen/CharData.hpp"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvix {

// Where the cells of lines kept in a large scroll-back live. Lines enter a scroll-back one after
// another and leave it in the same order, so their cell arrays are carved one after another out
// of 2 MiB blocks and a block empties whole: storing a line costs no malloc, a full ring reuses
// the blocks its oldest lines emptied, and a filling one faults in a huge page per block instead
// of a small page every few lines.
//
// Arrays are carved on the arena owner's thread only; they may be released on any thread and may
// outlive the arena (a block goes with its last array).
class CellArena {
public:
    static constexpr size_t kBlockBytes = size_t{2} << 20;

    CellArena() = default;
    CellArena(const CellArena&) = delete;
    CellArena& operator=(const CellArena&) = delete;
    ~CellArena();

    // Room for `bytes` bytes of cells (contents undefined, 8-byte aligned), or nullptr when they
    // would not fit a block. Throws `std::bad_alloc` when no block can be mapped.
    CharData* allocate(size_t bytes);
    // The array `allocate` returned last keeps only its first `bytes` bytes; the rest is carved
    // again. Any other array is left as it is.
    void shrinkLast(CharData* cells, size_t bytes);
    // Gives back an array `allocate` returned; its block is found from its address alone, so
    // the array's own (often long cold) memory is not touched.
    static void release(CharData* cells);
    // Gives every emptied block back to the system, keeping the one being carved.
    void trim();

    // Blocks this arena holds, and bytes held in blocks by every arena of the process (blocks
    // that outlived their arena included): the heap statistics do not see them.
    size_t blockCount() const { return blocks_.size(); }
    static size_t bytesInBlocks() { return mappedBytes_.load(std::memory_order_relaxed); }

private:
    struct Block;
    // Drops one reference to `block` and unmaps it with the last.
    static void unref(Block* block);
    void startBlock();

    std::vector<Block*> blocks_;
    Block* current_ = nullptr;
    size_t used_ = 0;
    // Where the last array was carved in the current block.
    size_t lastStart_ = 0;
    static std::atomic<size_t> mappedBytes_;
};

} // namespace corvix
