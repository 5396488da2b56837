// The inlined 48-bit generator against the C library's erand48/nrand48/srand48/drand48.
#include "rng.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

TEST(Rng48Test, StreamsMatchLibcDrawForDrawFromAnyState) {
    // Edge states (all-zero and all-ones words) and states spread over the 48-bit space.
    std::vector<std::vector<unsigned short>> states = {{0, 0, 0}, {0xffff, 0xffff, 0xffff}, {0x330e, 0, 0}, {1, 2, 3}};
    for (uint64_t i = 0, x = 0x123456789abcULL; i < 60; i++) {
        x = x * 6364136223846793005ULL + 1442695040888963407ULL;
        states.push_back({(unsigned short)(x >> 16), (unsigned short)(x >> 32), (unsigned short)(x >> 48)});
    }
    for (const auto& init : states) {
        unsigned short mine[3] = {init[0], init[1], init[2]}, libc[3] = {init[0], init[1], init[2]};
        for (int i = 0; i < 300; i++) {
            if (i % 3 == 2) {
                ASSERT_EQ(rng48::nrand48(mine), ::nrand48(libc));
            } else {
                ASSERT_EQ(rng48::erand48(mine), ::erand48(libc));
            }
            ASSERT_TRUE(mine[0] == libc[0] && mine[1] == libc[1] && mine[2] == libc[2]) << "draw " << i;
        }
    }
}

TEST(Rng48Test, FirstDrand48AfterSeedMatchesSrand48AndIgnoresBitsAbove32) {
    std::vector<long> seeds = {0, 1, -1, 0x330e, -12345, 2147483647L, -2147483648L, 3000000000L, 4294967295L, -65536};
    for (long s = -3000; s < 3000; s += 37) seeds.push_back(s * 1000003L);
    for (long seed : seeds) {
        for (long high : {0L, 1L << 32}) {
            srand48(seed + high);
            EXPECT_EQ(rng48::firstDrand48AfterSeed((uint32_t)seed), drand48()) << "seed " << seed << " + " << high;
        }
    }
}

TEST(Rng48Test, SeedStateWritesTheLow16BitsIntoEveryWord) {
    const std::pair<int, unsigned short> cases[] = {{0, 0},      {-1, 0xffff},         {0x12345, 0x2345},
                                                    {-65536, 0}, {2147483647, 0xffff}, {(int)0x80000001u, 1}};
    for (const auto& [seed, word] : cases) {
        unsigned short s[3] = {9, 9, 9};
        rng48::seedState(s, seed);
        EXPECT_TRUE(s[0] == word && s[1] == word && s[2] == word) << "seed " << seed;
    }
}
