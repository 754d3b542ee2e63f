#pragma once
// Sparse image of one chip memory: a circular singly linked chain of blocks.
// The handle points at the last block; the first block is the last one's next.
// The image owns its blocks; ownership moves in and out as std::unique_ptr.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "image/MemoryBlock.h"

namespace mervex {

class MemoryImage {
public:
    MemoryImage() = default;
    ~MemoryImage() { clear(); }
    MemoryImage(const MemoryImage&) = delete;
    MemoryImage& operator=(const MemoryImage&) = delete;
    MemoryImage(MemoryImage&& other) noexcept : last_(other.last_) { other.last_ = nullptr; }
    MemoryImage& operator=(MemoryImage&& other) noexcept;

    // True when the image holds no block.
    bool empty() const { return last_ == nullptr; }

    // The first block, or null for an empty image.
    MemoryBlock* first() const { return last_ ? asBlock(last_->next) : nullptr; }

    // The last block, or null for an empty image.
    MemoryBlock* last() const { return last_; }

    // The block after `block`, or null when `block` is the last one.
    MemoryBlock* next(const MemoryBlock* block) const {
        return block == last_ ? nullptr : asBlock(block->next);
    }

    // The block before `block`, walking from the first; null when `block` is the
    // first one or is not in the image.
    MemoryBlock* previous(const MemoryBlock* block) const;

    // Links the block after the last one and makes it the last.
    void append(std::unique_ptr<MemoryBlock> block);

    // Links the new block directly after `position` (a block of this image); the
    // new block becomes the last when `position` was the last.
    void insertAfter(MemoryBlock* position, std::unique_ptr<MemoryBlock> block);

    // Takes the block out of the chain and hands it back with its link cleared;
    // returns null and changes nothing when the block is not in the image.
    std::unique_ptr<MemoryBlock> unlink(MemoryBlock* block);

    // Destroys every block; the image is empty afterwards.
    void clear();

    // Number of blocks.
    size_t count() const;

    // Number of bytes held; overlapping ranges count twice.
    uint64_t totalLength() const;

    // Calls visit(block) for each block from first to last. The successor is taken
    // before the call, so the visitor may unlink and destroy the block it is given.
    template <typename Visitor>
    void forEach(Visitor&& visit) {
        for (MemoryBlock* block = first(); block != nullptr;) {
            MemoryBlock* following = next(block);
            visit(*block);
            block = following;
        }
    }

    // Read-only walk from first to last.
    template <typename Visitor>
    void forEach(Visitor&& visit) const {
        for (const MemoryBlock* block = first(); block != nullptr; block = next(block)) visit(*block);
    }

    // The first block, from the first one on, for which pred(block) is true; null if none.
    template <typename Predicate>
    MemoryBlock* findIf(Predicate&& pred) const {
        for (MemoryBlock* block = first(); block != nullptr; block = next(block))
            if (pred(static_cast<const MemoryBlock&>(*block))) return block;
        return nullptr;
    }

private:
    static MemoryBlock* asBlock(ListNode* node) { return static_cast<MemoryBlock*>(node); }

    MemoryBlock* last_ = nullptr;
};

}  // namespace mervex
