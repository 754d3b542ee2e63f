#include "image/MemoryImage.h"

#include <utility>

namespace mervex {

MemoryImage& MemoryImage::operator=(MemoryImage&& other) noexcept {
    if (this != &other) {
        clear();
        last_ = std::exchange(other.last_, nullptr);
    }
    return *this;
}

MemoryBlock* MemoryImage::previous(const MemoryBlock* block) const {
    if (last_ == nullptr || block == nullptr) return nullptr;
    MemoryBlock* candidate = first();
    if (candidate == block) return nullptr;
    for (; candidate != last_; candidate = asBlock(candidate->next))
        if (candidate->next == block) return candidate;
    return nullptr;
}

void MemoryImage::append(std::unique_ptr<MemoryBlock> block) {
    if (!block) return;
    MemoryBlock* added = block.release();
    if (last_ == nullptr) {
        added->next = added;
    } else {
        added->next = last_->next;
        last_->next = added;
    }
    last_ = added;
}

void MemoryImage::insertAfter(MemoryBlock* position, std::unique_ptr<MemoryBlock> block) {
    if (!block) return;
    if (position == nullptr) return append(std::move(block));
    MemoryBlock* added = block.release();
    added->next = position->next;
    position->next = added;
    if (position == last_) last_ = added;
}

std::unique_ptr<MemoryBlock> MemoryImage::unlink(MemoryBlock* block) {
    if (last_ == nullptr || block == nullptr) return nullptr;
    if (block == last_) {
        if (block->next == block) {
            last_ = nullptr;
        } else {
            MemoryBlock* before = previous(block);
            before->next = block->next;
            last_ = before;
        }
    } else if (block == last_->next) {
        last_->next = block->next;
    } else {
        MemoryBlock* before = previous(block);
        if (before == nullptr) return nullptr;
        before->next = block->next;
    }
    block->next = nullptr;
    return std::unique_ptr<MemoryBlock>(block);
}

void MemoryImage::clear() {
    while (last_ != nullptr) unlink(first());
}

size_t MemoryImage::count() const {
    size_t n = 0;
    forEach([&n](const MemoryBlock&) { ++n; });
    return n;
}

uint64_t MemoryImage::totalLength() const {
    uint64_t total = 0;
    forEach([&total](const MemoryBlock& block) { total += block.length; });
    return total;
}

}  // namespace mervex
