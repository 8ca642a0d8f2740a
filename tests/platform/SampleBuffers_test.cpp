#include <gtest/gtest.h>
#include <algorithm>

#include <cstdint>
#include <new>
#include <vector>

#include "platform/File.h"
#include "platform/SampleBuffers.h"

using namespace platform;

namespace {

FloatBlock Block(std::vector<float> v) {
    FloatBlock b = FloatBlock::Allocate(v.size());
    for (std::size_t i = 0; i < v.size(); ++i)
        b[i] = v[i];
    return b;
}

std::vector<float> Values(const FloatBlock& b) { return std::vector<float>(b.begin(), b.end()); }

TEST(SampleBuffers, CopiesAreBoundsChecked) {
    FloatBlock src = Block({1, 2, 3, 4, 5});
    FloatBlock dst = FloatBlock::Allocate(3);
    CopySamples32(src, dst, 3, 2);
    EXPECT_EQ(Values(dst), (std::vector<float>{3, 4, 5}));

    struct Case {
        int count, start;
    };
    for (Case c : {Case{4, 2}, Case{3, 3}, Case{-1, 0}, Case{1, -1}, Case{4, 0}}) {
        FloatBlock d = Block({9, 9, 9});
        CopySamples32(src, d, c.count, c.start);
        EXPECT_EQ(Values(d), (std::vector<float>{9, 9, 9})) << c.count << "," << c.start;
    }
    FloatBlock null;
    CopySamples32(null, dst, 1, 0);
    CopySamples32(src, null, 1, 0);
    EXPECT_TRUE(null.IsNull());

    Int16Block s16 = Int16Block::Allocate(4);
    s16[3] = -7;
    Int16Block d16 = Int16Block::Allocate(1);
    CopySamples16(s16, d16, 1, 3);
    EXPECT_EQ(d16[0], -7);
}

TEST(SampleBuffers, InsertAtEveryPosition) {
    struct Case {
        int position;
        std::vector<float> expected;
    };
    const Case cases[] = {
        {0, {8, 9, 1, 2, 3}},
        {1, {1, 8, 9, 2, 3}},
        {3, {1, 2, 3, 8, 9}},
    };
    for (const Case& c : cases) {
        FloatBlock dst = Block({1, 2, 3});
        FloatBlock ins = Block({8, 9});
        FloatBlock out = InsertSamples32(dst, ins, 3, 2, c.position);
        EXPECT_EQ(Values(out), c.expected) << c.position;
        EXPECT_TRUE(dst.IsNull());  // the old block is gone only after success
    }
    FloatBlock none;
    FloatBlock ins = Block({4, 5});
    EXPECT_EQ(Values(InsertSamples32(none, ins, 0, 2, 0)), (std::vector<float>{4, 5}));
}

TEST(SampleBuffers, AFailedInsertLeavesTheDestinationValid) {
    FloatBlock ins = Block({8});
    FloatBlock null;
    struct Case {
        const FloatBlock* inserted;
        int destCount, insCount, position;
    };
    const Case cases[] = {
        {&null, 3, 1, 0}, {&ins, 3, 0, 0}, {&ins, 3, 2, 0}, {&ins, 4, 1, 0}, {&ins, 3, 1, 4}, {&ins, 3, 1, -1},
    };
    for (const Case& c : cases) {
        FloatBlock dst = Block({1, 2, 3});
        EXPECT_THROW(InsertSamples32(dst, *c.inserted, c.destCount, c.insCount, c.position), platform::UserException);
        EXPECT_EQ(Values(dst), (std::vector<float>{1, 2, 3}));
    }
}

TEST(SampleBuffers, ReallocReturnsAFreshZeroedBlock) {
    FloatBlock b = Block({1, 2});
    FloatBlock n = ReallocGlobalBuffer(b, 4 * sizeof(float));
    EXPECT_TRUE(b.IsNull());
    ASSERT_EQ(n.size(), 4u);
    EXPECT_EQ(Values(n), (std::vector<float>{0, 0, 0, 0}));
    EXPECT_TRUE(ReallocGlobalBuffer(n, 0).IsNull());
}

TEST(SampleBlock, LargeBlocksAreZeroFilledAlignedAndOwnedOnce) {
    // Around the size from which blocks are mapped on their own.
    const std::size_t large = kLargeBlockBytes / sizeof(float);
    for (std::size_t count : {std::size_t{2}, std::size_t{1000}, large - 1, large, large + 1, 3 * large + 17}) {
        SCOPED_TRACE(count);
        FloatBlock b = FloatBlock::TryAllocate(count);
        ASSERT_FALSE(b.IsNull());
        ASSERT_EQ(b.size(), count);
        if (b.SizeBytes() >= kLargeBlockBytes) {
#if defined(__linux__)
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.data()) % kLargeBlockBytes, 0u);
#endif
        }
        std::size_t nonZero = 0;
        for (float v : b)
            nonZero += v != 0.0f;
        EXPECT_EQ(nonZero, 0u);
        // Every byte is usable, the last included.
        b[0] = 1.0f;
        b[count - 1] = 2.0f;

        FloatBlock copy = b.Clone();
        EXPECT_EQ(copy[count - 1], 2.0f);
        FloatBlock moved = std::move(b);
        EXPECT_TRUE(b.IsNull());
        EXPECT_EQ(moved[0], 1.0f);
        moved = std::move(copy);  // frees the first block once
        EXPECT_EQ(moved[count - 1], 2.0f);
    }
    // A block no memory can hold is null, and Allocate says so.
    EXPECT_TRUE(FloatBlock::TryAllocate(std::size_t{1} << 60).IsNull());
    EXPECT_THROW(FloatBlock::Allocate(std::size_t{1} << 60), std::bad_alloc);
    EXPECT_TRUE(FloatBlock::TryAllocate(0).IsNull());
}

TEST(SampleBlock, PopulatingBlocksLeavesTheirContentsAndTheirNeighboursAlone) {
    // Blocks large and small, some of them already written to, a heap block
    // that shares its pages with others, and entries that hold nothing.
    const std::size_t large = kLargeBlockBytes / sizeof(float);
    std::vector<FloatBlock> blocks;
    for (std::size_t count : {std::size_t{3}, std::size_t{1000}, large + 1, 5 * large + 17})
        blocks.push_back(FloatBlock::Allocate(count));
    std::vector<float> heap(37, 5.0f);
    for (std::size_t i = 0; i < blocks.size(); i += 2)
        for (std::size_t k = 0; k < blocks[i].size(); k += 1021)
            blocks[i][k] = static_cast<float>(k + i);
    std::vector<BlockBytes> spans{{nullptr, 100}, {heap.data() + 1, 4}};
    for (FloatBlock& b : blocks)
        spans.push_back({b.data(), b.SizeBytes()});
    spans.push_back({blocks[0].data(), 0});
    PopulateBlocks(spans);
    PopulateBlocks({});
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        SCOPED_TRACE(i);
        std::size_t wrong = 0;
        for (std::size_t k = 0; k < blocks[i].size(); ++k)
            wrong += blocks[i][k] != (i % 2 == 0 && k % 1021 == 0 ? static_cast<float>(k + i) : 0.0f);
        EXPECT_EQ(wrong, 0u);
    }
    EXPECT_EQ(std::count(heap.begin(), heap.end(), 5.0f), 37);
}

TEST(ByteOrder, SwapsAndReverses) {
    EXPECT_EQ(SwapInt16(0x1234), 0x3412);
    EXPECT_EQ(SwapInt16(static_cast<std::int16_t>(0xFF00)), 0x00FF);
    EXPECT_EQ(SwapInt32(0x01020304), 0x04030201);
    EXPECT_EQ(SwapInt32(static_cast<std::int32_t>(0x800000FF)), static_cast<std::int32_t>(0xFF000080));
    const std::uint8_t src[3] = {1, 2, 3};
    std::uint8_t dst[3];
    ReverseBytes(src, dst, 3);
    EXPECT_EQ(dst[0], 3);
    EXPECT_EQ(dst[2], 1);
    const std::uint8_t be[8] = {0xC0, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18};
    EXPECT_DOUBLE_EQ(SwapDouble(be), -3.141592653589793);
}

}  // namespace
