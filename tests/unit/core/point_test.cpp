// Point: bit access, bit sums and distances by brute force, and the properties of the two
// random constructors (distance, loci kept, draws taken).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "inline.h"

namespace {

int countDiff(long a, long b, int n) { return __builtin_popcountl((unsigned long)(a ^ b) & ((1UL << n) - 1)); }

// Draws taken from a stream: how far `after` is from `before` along the libc stream.
int drawsBetween(const unsigned short before[3], const unsigned short after[3]) {
    unsigned short s[3] = {before[0], before[1], before[2]};
    for (int i = 0; i <= 64; i++, ::erand48(s))
        if (s[0] == after[0] && s[1] == after[1] && s[2] == after[2]) return i;
    return -1;
}

TEST(PointTest, BitsBitStringAndNoPoint) {
    const Point p(22);  // loci 4..0: 1 0 1 1 0
    EXPECT_EQ(p.toBitString(5), "10110");
    EXPECT_EQ(p.getValue(1), 1u);
    EXPECT_EQ(p.getValue(0), 0u);
    EXPECT_EQ(Point(p, 3).values, 30);
    for (long v = 0; v < 32; v++) EXPECT_TRUE(Point() != Point(v));
}

TEST(PointTest, BitSumsAndDistancesByBruteForce) {
    // sumFlipped counts the ones of the lower N - floor(N/2) loci and the zeros of the others.
    for (unsigned int n : {1u, 6u, 7u, 31u}) {
        for (long i = 0; i < 300; i++) {
            const long v = n <= 7 ? i % (1L << n) : (i * 2654435761L) & ((1L << n) - 1);
            int ones = 0, flipped = 0, sum, sumFlipped;
            for (int locus = 0; locus < (int)n; locus++) {
                const int bit = (v >> locus) & 1;
                ones += bit;
                flipped += locus < (int)(n - n / 2) ? bit : !bit;
            }
            Point(v).getBitSums(n, sum, sumFlipped);
            ASSERT_TRUE(sum == ones && sumFlipped == flipped) << "n " << n << " v " << v;
            const long w = n <= 7 ? (i * 37) % (1L << n) : v ^ (i * 40503L);
            ASSERT_EQ(Point(v).hammingDist(Point(w), n), countDiff(v, w, (int)n));
            ASSERT_EQ(Point(v).closeInHammingDist(Point(w), 2, n), countDiff(v, w, (int)n) <= 2);
        }
    }
}

TEST(PointTest, JumpAndChildKeepTheirDistanceRulesAndDrawCounts) {
    unsigned short st[3] = {0x1234, 5, 6}, parents[3] = {3, 1, 4};
    for (unsigned int n : {5u, 12u, 31u}) {
        const long mask = (1L << n) - 1;
        const int lo = n == 5 ? 0 : 2, hi = n == 31 ? 31 : (int)n - 3;
        for (int trial = 0; trial < 300; trial++) {
            // A jump: a distance from [lo, hi], one draw for it and one per changed locus
            // (none more when it is N or 0).
            const long start = ::nrand48(parents) & mask;
            unsigned short before[3] = {st[0], st[1], st[2]};
            const Point q(Point(start), lo, hi, n, st);
            const int d = countDiff(start, q.values, (int)n);
            ASSERT_TRUE(d >= lo && d <= hi) << "n " << n << " d " << d;
            ASSERT_EQ(drawsBetween(before, st), (d == (int)n || d == 0) ? 1 : 1 + d);
            // A child takes 1 to D - 1 of the D differing loci from the second parent: one
            // draw for their number and one per locus (one draw when D = 1, none when D = 0).
            const long p1 = ::nrand48(parents) & mask;
            const long p2 = trial == 0 ? p1 : trial == 1 ? p1 ^ 4 : ::nrand48(parents) & mask;
            std::copy(st, st + 3, before);
            const Point child(Point(p1), Point(p2), n, st);
            const int D = countDiff(p1, p2, (int)n), c = countDiff(child.values, p1, (int)n);
            ASSERT_EQ((child.values ^ p1) & ~(p1 ^ p2), 0) << "loci where the parents agree";
            ASSERT_EQ(D == 1 ? child.values : p2, p2) << "one differing locus: the second parent";
            if (D >= 2) {
                ASSERT_TRUE(c >= 1 && c <= D - 1) << "D " << D << " c " << c;
            }
            ASSERT_EQ(drawsBetween(before, st), D == 0 ? 0 : D == 1 ? 1 : 1 + c);
        }
    }
}

}  // namespace
