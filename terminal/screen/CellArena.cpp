#include "terminal/screen/CellArena.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <new>

namespace corvix {

struct CellArena::Block {
    // Arrays carved from the block, plus one while an arena holds it.
    std::atomic<int64_t> refs{1};
};
// Carving starts past the block's header, on its own cache line.
static constexpr size_t kFirstOffset = 64;
static_assert(sizeof(std::atomic<int64_t>) <= kFirstOffset);

// 8-byte steps keep every array aligned for the word-wise cell stores.
static size_t carvedSize(size_t size)
{
    return (std::max(size, size_t{8}) + 7) & ~size_t{7};
}

std::atomic<size_t> CellArena::mappedBytes_{0};

CellArena::~CellArena()
{
    for (Block* block : blocks_) {
        unref(block);
    }
}

CharData* CellArena::allocate(size_t size)
{
    const size_t bytes = carvedSize(size);
    if (bytes > kBlockBytes - kFirstOffset) {
        return nullptr;
    }
    if (!current_ || used_ + bytes > kBlockBytes) {
        startBlock();
    }
    auto* cells = reinterpret_cast<CharData*>(reinterpret_cast<char*>(current_) + used_);
    lastStart_ = used_;
    used_ += bytes;
    current_->refs.fetch_add(1, std::memory_order_relaxed);
    return cells;
}

void CellArena::shrinkLast(CharData* cells, size_t bytes)
{
    if (current_ && reinterpret_cast<char*>(cells) == reinterpret_cast<char*>(current_) + lastStart_) {
        used_ = std::min(used_, lastStart_ + carvedSize(bytes));
    }
}

void CellArena::release(CharData* cells)
{
    const uintptr_t block = reinterpret_cast<uintptr_t>(cells) & ~uintptr_t{kBlockBytes - 1};
    unref(reinterpret_cast<Block*>(block));
}

void CellArena::trim()
{
    std::erase_if(blocks_, [this](Block* block) {
        if (block == current_ || block->refs.load(std::memory_order_acquire) != 1) {
            return false;
        }
        unref(block);
        return true;
    });
}

void CellArena::startBlock()
{
    // An emptied block (only the arena still holds it) is carved again; nothing else can take
    // a reference to it, so the check cannot go stale.
    for (Block* block : blocks_) {
        if (block != current_ && block->refs.load(std::memory_order_acquire) == 1) {
            current_ = block;
            used_ = kFirstOffset;
            trim();
            return;
        }
    }
    blocks_.reserve(blocks_.size() + 1);
    // Mapped twice the size to cut an aligned block out of it: huge pages need the alignment.
    void* mapped = mmap(nullptr, 2 * kBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    const auto start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kBlockBytes - 1) & ~uintptr_t{kBlockBytes - 1};
    if (aligned > start) {
        munmap(mapped, aligned - start);
    }
    if (aligned + kBlockBytes < start + 2 * kBlockBytes) {
        munmap(reinterpret_cast<void*>(aligned + kBlockBytes), start + 2 * kBlockBytes - (aligned + kBlockBytes));
    }
    // Huge pages where the system grants them, and the block's pages made in one call rather
    // than one fault each (both only advice: an older kernel faults them in as they are used).
    madvise(reinterpret_cast<void*>(aligned), kBlockBytes, MADV_HUGEPAGE);
    madvise(reinterpret_cast<void*>(aligned), kBlockBytes, MADV_POPULATE_WRITE);
    current_ = new (reinterpret_cast<void*>(aligned)) Block;
    used_ = kFirstOffset;
    blocks_.push_back(current_);
    mappedBytes_.fetch_add(kBlockBytes, std::memory_order_relaxed);
}

void CellArena::unref(Block* block)
{
    if (block->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        block->~Block();
        munmap(block, kBlockBytes);
        mappedBytes_.fetch_sub(kBlockBytes, std::memory_order_relaxed);
    }
}

} // namespace corvix
