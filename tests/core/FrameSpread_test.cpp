// Frames spread into one block per channel, as every load into memory does.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/ScratchDataFile.h"

namespace vocomet {
namespace {

TEST(FrameSpread, EveryChannelGetsItsValuesBitForBit) {
    // Widths below, at and between four-channel groups, counts that end
    // inside a group of four frames, outputs at an odd place in their
    // blocks; the values include NaNs with payloads of their own, which
    // must arrive unchanged.
    std::mt19937 rng(5);
    std::uniform_int_distribution<std::uint32_t> bits;
    const std::size_t counts[] = {0, 1, 3, 4, 5, 7, 8, 255, kSpreadTileFrames};
    for (std::size_t n = 1; n <= 19; ++n) {
        for (const std::size_t count : counts) {
            for (const std::size_t at : {std::size_t{0}, std::size_t{3}}) {
                SCOPED_TRACE("channels " + std::to_string(n) + " frames " + std::to_string(count) + " at " +
                             std::to_string(at));
                std::vector<std::uint32_t> raw(count * n);
                for (std::uint32_t& b : raw)
                    b = bits(rng) % 4 == 0 ? 0x7FC00000u | (bits(rng) & 0x3FFFFFu) : bits(rng);
                std::vector<float> frames(raw.size());
                if (!raw.empty())
                    std::memcpy(frames.data(), raw.data(), raw.size() * sizeof(float));

                const std::uint32_t guard = 0xDEADBEEFu;
                std::vector<std::vector<std::uint32_t>> blocks(n, std::vector<std::uint32_t>(at + count + 1, guard));
                std::vector<float*> out(n);
                for (std::size_t l = 0; l < n; ++l)
                    out[l] = reinterpret_cast<float*>(blocks[l].data());
                SpreadFrameTile(frames.data(), count, n, out, at);

                for (std::size_t l = 0; l < n; ++l) {
                    for (std::size_t k = 0; k < at; ++k)
                        ASSERT_EQ(blocks[l][k], guard) << "channel " << l << " written before its place";
                    for (std::size_t k = 0; k < count; ++k)
                        ASSERT_EQ(blocks[l][at + k], raw[k * n + l]) << "channel " << l << " frame " << k;
                    ASSERT_EQ(blocks[l][at + count], guard) << "channel " << l << " written past its frames";
                }
            }
        }
    }
}

}  // namespace
}  // namespace vocomet
