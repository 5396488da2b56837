// The inlined 48-bit generator against the C library's erand48/nrand48/srand48/drand48.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "rng.h"

namespace {

// States spread over the whole 48-bit space, including all-zero and all-ones words.
std::vector<std::vector<unsigned short>> sampleStates() {
    std::vector<std::vector<unsigned short>> states = {
        {0, 0, 0}, {0xffff, 0xffff, 0xffff}, {0x330e, 0, 0}, {1, 2, 3}, {0x8000, 0x7fff, 0xabcd}};
    uint64_t x = 0x123456789abcULL;
    for (int i = 0; i < 200; i++) {
        x = x * 6364136223846793005ULL + 1442695040888963407ULL;
        states.push_back({(unsigned short)(x >> 16), (unsigned short)(x >> 32), (unsigned short)(x >> 48)});
    }
    return states;
}

}  // namespace

TEST(Rng48Test, Erand48MatchesLibcOverLongStreams) {
    for (const auto& init : sampleStates()) {
        unsigned short mine[3] = {init[0], init[1], init[2]};
        unsigned short libc[3] = {init[0], init[1], init[2]};
        for (int i = 0; i < 500; i++) {
            ASSERT_EQ(rng48::erand48(mine), ::erand48(libc));
            ASSERT_EQ(mine[0], libc[0]);
            ASSERT_EQ(mine[1], libc[1]);
            ASSERT_EQ(mine[2], libc[2]);
        }
    }
}

TEST(Rng48Test, Nrand48MatchesLibcOverLongStreams) {
    for (const auto& init : sampleStates()) {
        unsigned short mine[3] = {init[0], init[1], init[2]};
        unsigned short libc[3] = {init[0], init[1], init[2]};
        for (int i = 0; i < 500; i++) {
            long a = rng48::nrand48(mine);
            ASSERT_EQ(a, ::nrand48(libc));
            ASSERT_GE(a, 0);
            ASSERT_LT(a, 1L << 31);
        }
        EXPECT_EQ(mine[0], libc[0]);
        EXPECT_EQ(mine[1], libc[1]);
        EXPECT_EQ(mine[2], libc[2]);
    }
}

TEST(Rng48Test, FirstDrand48AfterSeedMatchesSrand48ThenDrand48) {
    std::vector<long> seeds = {0,          1,           -1,          2,           0x330e,      12345,
                               -12345,     2147483647L, -2147483648L, 2147483648L, 3000000000L, 4294967295L,
                               0x7fff0000L, -65536};
    for (long s = -3000; s < 3000; s += 7) seeds.push_back(s * 1000003L);
    for (long seed : seeds) {
        srand48(seed);
        const double expected = drand48();
        // srand48 keeps only the low 32 bits of its argument.
        EXPECT_EQ(rng48::firstDrand48AfterSeed((uint32_t)seed), expected) << "seed " << seed;
    }
}

TEST(Rng48Test, Srand48IgnoresBitsAbove32) {
    for (long seed : {5L, 123456789L, 4000000000L}) {
        srand48(seed + (1L << 32));
        const double high = drand48();
        EXPECT_EQ(rng48::firstDrand48AfterSeed((uint32_t)seed), high);
    }
}

TEST(Rng48Test, SeedStateWritesLow16BitsIntoEveryWord) {
    struct Case {
        int seed;
        unsigned short word;
    };
    for (Case c : {Case{0, 0}, Case{1, 1}, Case{-1, 0xffff}, Case{0x12345, 0x2345}, Case{-65536, 0},
                   Case{2147483647, 0xffff}, Case{(int)0x80000001u, 1}}) {
        unsigned short s[3] = {9, 9, 9};
        rng48::seedState(s, c.seed);
        EXPECT_EQ(s[0], c.word);
        EXPECT_EQ(s[1], c.word);
        EXPECT_EQ(s[2], c.word);
        // The seeded stream is the libc stream from those words.
        unsigned short libc[3] = {c.word, c.word, c.word};
        EXPECT_EQ(rng48::nrand48(s), ::nrand48(libc));
    }
}
