#include <gtest/gtest.h>

#include <vector>

#include "console/Errors.h"
#include "image/ImageTestFiles.h"
#include "image/MemoryImage.h"

namespace mervex {
namespace {

using test::appendBlock;
using test::BlockList;
using test::blocksOf;

// Image with one-byte blocks at the given addresses, in that order.
MemoryImage imageAt(const std::vector<uint32_t>& addresses) {
    MemoryImage image;
    for (uint32_t a : addresses) appendBlock(image, a, {uint8_t(a)});
    return image;
}

// Walks the raw ring from the first block and checks it closes after `count` links.
void expectClosedRing(const MemoryImage& image, size_t count) {
    const ListNode* node = image.first();
    for (size_t i = 0; i < count; ++i) node = node->next;
    EXPECT_EQ(node, image.first());
    EXPECT_EQ(image.last()->next, image.first());
}

TEST(MemoryImage, EmptyImageHasNothing) {
    MemoryImage image;
    EXPECT_TRUE(image.empty());
    EXPECT_EQ(image.first(), nullptr);
    EXPECT_EQ(image.last(), nullptr);
    EXPECT_EQ(image.count(), 0u);
    EXPECT_EQ(image.totalLength(), 0u);
    EXPECT_EQ(image.findIf([](const MemoryBlock&) { return true; }), nullptr);
}

TEST(MemoryImage, OneBlockLinksToItself) {
    MemoryImage image = imageAt({5});
    EXPECT_EQ(image.first(), image.last());
    EXPECT_EQ(image.first()->next, image.first());
    EXPECT_EQ(image.next(image.first()), nullptr);
    EXPECT_EQ(image.previous(image.first()), nullptr);
}

TEST(MemoryImage, UnlinkKeepsTheRingClosed) {
    struct Case {
        const char* name;
        std::vector<uint32_t> blocks;
        size_t removed;  // index of the block to unlink
        BlockList after;
    };
    const Case cases[] = {
        {"only", {1}, 0, {}},
        {"last of several", {1, 2, 3}, 2, {{1, 1}, {2, 1}}},
        {"first of several", {1, 2, 3}, 0, {{2, 1}, {3, 1}}},
        {"middle", {1, 2, 3}, 1, {{1, 1}, {3, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryImage image = imageAt(c.blocks);
        MemoryBlock* target = image.first();
        for (size_t i = 0; i < c.removed; ++i) target = image.next(target);
        std::unique_ptr<MemoryBlock> taken = image.unlink(target);
        ASSERT_EQ(taken.get(), target);
        EXPECT_EQ(taken->next, nullptr);
        EXPECT_EQ(blocksOf(image), c.after);
        if (!image.empty()) expectClosedRing(image, c.after.size());
    }
}

TEST(MemoryImage, UnlinkOfForeignBlockChangesNothing) {
    MemoryImage image = imageAt({1, 2, 3});
    MemoryImage other = imageAt({9});
    MemoryBlock foreign(7, 1, reinterpret_cast<const uint8_t*>("x"));
    EXPECT_EQ(image.unlink(&foreign), nullptr);
    EXPECT_EQ(image.unlink(other.first()), nullptr);
    EXPECT_EQ(image.previous(other.first()), nullptr);
    EXPECT_EQ(blocksOf(image), (BlockList{{1, 1}, {2, 1}, {3, 1}}));
    EXPECT_EQ(other.count(), 1u);
}

TEST(MemoryImage, InsertAfterLastMakesNewLast) {
    MemoryImage image = imageAt({1, 3});
    appendBlock(image, 99, {0});
    std::unique_ptr<MemoryBlock> moved = image.unlink(image.last());
    image.insertAfter(image.first(), std::move(moved));  // middle
    image.insertAfter(image.last(), std::make_unique<MemoryBlock>(4, 2, reinterpret_cast<const uint8_t*>("ab")));
    appendBlock(image, 5, {0});
    EXPECT_EQ(blocksOf(image), (BlockList{{1, 1}, {99, 1}, {3, 1}, {4, 2}, {5, 1}}));
    expectClosedRing(image, 5);
    EXPECT_EQ(image.totalLength(), 6u);
}

TEST(MemoryImage, ForEachToleratesDestroyingTheVisitedBlock) {
    MemoryImage image = imageAt({1, 2, 3, 4});
    std::vector<uint32_t> seen;
    image.forEach([&](MemoryBlock& block) {
        seen.push_back(block.address);
        if (block.address % 2 == 0) image.unlink(&block);  // the returned owner destroys it
    });
    EXPECT_EQ(seen, (std::vector<uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(blocksOf(image), (BlockList{{1, 1}, {3, 1}}));

    seen.clear();
    image.forEach([&](MemoryBlock& block) {
        seen.push_back(block.address);
        image.unlink(&block);
    });
    EXPECT_EQ(seen, (std::vector<uint32_t>{1, 3}));
    EXPECT_TRUE(image.empty());
}

TEST(MemoryBlock, AbsoluteAddressing) {
    uint8_t bytes[16];
    for (int i = 0; i < 16; ++i) bytes[i] = uint8_t(0xA0 + i);
    MemoryBlock block(0x1000, 16, bytes);
    EXPECT_EQ(block.byteAt(0x1005), 0xA5);
    block.setByteAt(0x100F, 0x42);
    EXPECT_EQ(block.data[15], 0x42);
    EXPECT_EQ(block.lastAddress(), 0x100Fu);
}

TEST(MemoryBlock, AddressesAboveTwoGiBStayUnsigned) {
    uint8_t bytes[16] = {};
    MemoryBlock top(0xFFFFFFF0u, 16, bytes);
    EXPECT_EQ(top.lastAddress(), 0xFFFFFFFFu);
    EXPECT_EQ(top.endAddress(), uint64_t(1) << 32);
    MemoryBlock high(0x80000000u, 1, bytes);
    EXPECT_GT(high.lastAddress(), 0x7FFFFFFFu);
    EXPECT_THROW(MemoryBlock(0xFFFFFFF1u, 16, bytes), app_error);
    EXPECT_THROW(MemoryBlock(0, 0, bytes), app_error);
}

}  // namespace
}  // namespace mervex
