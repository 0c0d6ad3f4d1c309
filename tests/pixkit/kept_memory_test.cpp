// Kept scratch memory: a block given back serves the next request of about
// its size, a much smaller request gets a block of its own, and what is
// kept never grows past the cap however many blocks come back.
#include "kept_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace pixkit;

TEST(KeptMemory, BlocksComeBackForSimilarSizesWithinTheCap) {
    constexpr std::size_t MB = std::size_t(1) << 20;
    const std::uint8_t* first;
    {
        KeptBlock a(24 * MB);
        std::memset(a.data(), 7, a.size());
        first = a.data();
    }
    {
        KeptBlock again(20 * MB);
        EXPECT_EQ(again.data(), first);
        EXPECT_GE(again.size(), 20 * MB);
        KeptBlock small(2 * MB); // too small to take the big block
        EXPECT_NE(small.data(), first);
        EXPECT_GE(small.size(), 2 * MB);
    }
    {
        std::vector<KeptBlock> many;
        for (int i = 0; i < 12; ++i) many.emplace_back(30 * MB);
    }
    EXPECT_LE(KeptBytes(), kKeptBytes);
    EXPECT_GE(KeptBytes(), kKeptBytes - 30 * MB);
    // Small blocks are never kept; a moved-from block gives nothing back.
    const std::size_t kept = KeptBytes();
    { KeptBlock tiny(1000); }
    EXPECT_EQ(KeptBytes(), kept);
    KeptBlock moved(2 * MB);
    const KeptBlock to(std::move(moved));
    EXPECT_EQ(moved.data(), nullptr);
    EXPECT_EQ(moved.size(), 0u);
}
