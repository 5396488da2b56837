// Point and Permutation: bit access, distances, bit sums and the two random constructors,
// the latter against a locus-by-locus walk written with libc's generator.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "inline.h"

namespace {

bool bitOf(long v, int locus) { return (v >> locus) & 1; }

int countDiff(long a, long b, int n) {
    int d = 0;
    for (int i = 0; i < n; i++) d += bitOf(a, i) != bitOf(b, i);
    return d;
}

// Draws taken from a stream: how far `after` is from `before` along the libc stream.
int drawsBetween(const unsigned short before[3], const unsigned short after[3]) {
    unsigned short s[3] = {before[0], before[1], before[2]};
    for (int i = 0; i <= 64; i++, ::erand48(s))
        if (s[0] == after[0] && s[1] == after[1] && s[2] == after[2]) return i;
    return -1;
}

// Marks the j-th (1-based) entry of `marked` that is not yet marked.
void markJth(std::vector<bool>& marked, int j) {
    for (size_t i = 0; i < marked.size(); i++)
        if (!marked[i] && --j == 0) {
            marked[i] = true;
            return;
        }
}

long referenceJump(long start, int minD, int maxD, unsigned short st[3], int n, int& d) {
    d = minD + (int)(::erand48(st) * (maxD + 1 - minD));
    if (d == n) return start ^ ((1L << n) - 1);
    if (d < 1) return start;
    std::vector<bool> mask(n, false);
    for (int i = 0; i < d; i++) markJth(mask, (int)(::erand48(st) * (n - i)) + 1);
    for (int locus = 0; locus < n; locus++)
        if (mask[locus]) start ^= 1L << locus;
    return start;
}

long referenceChild(long p1, long p2, unsigned short st[3], int n, int& c) {
    std::vector<int> differing;
    for (int locus = 0; locus < n; locus++)
        if (bitOf(p1, locus) != bitOf(p2, locus)) differing.push_back(locus);
    const int D = (int)differing.size();
    c = 0;
    if (D == 0) return p1;
    c = (int)(::erand48(st) * (D - 1)) + 1;
    if (c == D) return p2;
    std::vector<bool> chosen(D, false);
    for (int i = 0; i < c; i++) markJth(chosen, (int)(::erand48(st) * (D - i)) + 1);
    for (int k = 0; k < D; k++)
        if (chosen[k]) p1 = (p1 & ~(1L << differing[k])) | (p2 & (1L << differing[k]));
    return p1;
}

}  // namespace

TEST(PointTest, BitsBitStringAndNoPoint) {
    const Point p(22);  // loci 4..0: 1 0 1 1 0
    EXPECT_EQ(p.toBitString(5), "10110");
    EXPECT_EQ(Point::toBitString(1, 5), "00001");
    for (unsigned int d = 0; d < 5; d++) EXPECT_EQ(p.getValue(d), (unsigned int)bitOf(22, d)) << "locus " << d;
    EXPECT_EQ(Point(p, 3).values, 30);
    EXPECT_EQ(Point().values, -1);
    for (long v = 0; v < 32; v++) EXPECT_TRUE(Point() != Point(v) && !(Point() == Point(v)));
}

TEST(PointTest, BitSumsCountOnesWithTheUpperHalfInverted) {
    int sum, sumFlipped;
    Point(22).getBitSums(5, sum, sumFlipped);  // upper loci 3, 4 hold one 0; lower loci 0..2 two 1s
    EXPECT_EQ(sum, 3);
    EXPECT_EQ(sumFlipped, 3);
    for (unsigned int n : {1u, 2u, 6u, 9u, 31u}) {
        const int h = (int)n / 2;
        for (long i = 0; i < 600; i++) {
            const long v = n <= 9 ? i % (1L << n) : (i * 2654435761L) & ((1L << n) - 1);
            int ones = 0, flipped = 0;
            for (int locus = 0; locus < (int)n; locus++) {
                ones += bitOf(v, locus);
                flipped += locus < (int)n - h ? bitOf(v, locus) : !bitOf(v, locus);
            }
            Point(v).getBitSums(n, sum, sumFlipped);
            ASSERT_EQ(sum, ones) << "n " << n << " v " << v;
            ASSERT_EQ(sumFlipped, flipped) << "n " << n << " v " << v;
        }
    }
}

TEST(PointTest, KValuesWrapAroundWithTheFirstFollowerInBitZero) {
    EXPECT_EQ(Point(0b00001).getKValues(4, 2, 5), 1);  // followers of locus 4: loci 0, 1
    EXPECT_EQ(Point(0b00010).getKValues(4, 2, 5), 2);
    EXPECT_EQ(Point(0b10011).getKValues(3, 3, 5), 7);       // loci 4, 0, 1
    EXPECT_EQ(Point(0b10110).getKValues(0, 4, 5), 0b1011);  // loci 1..4
    // N = 3, k >= N repeats the loci: followers of 0 are 1, 2, 0, 1, 2
    EXPECT_EQ(Point(0b101).getKValues(0, 5, 3), 0b10110);
}

TEST(PointTest, HammingDistanceAndClosenessByBruteForce) {
    for (long a = 0; a < 64; a++)
        for (long b = 0; b < 64; b++) {
            const int d = countDiff(a, b, 6);
            ASSERT_EQ(Point(a).hammingDist(Point(b), 6), d);
            for (int r = 0; r <= 6; r++) ASSERT_EQ(Point(a).closeInHammingDist(Point(b), r, 6), d <= r);
        }
}

TEST(PointTest, JumpChangesTheDrawnNumberOfLociWithOneDrawPerLocus) {
    struct Range {
        unsigned int n;
        int lo, hi;
    };
    // Full distance and distance 0 take one draw only; 31 loci need all bits of the value.
    for (Range r : {Range{5, 0, 5}, Range{12, 2, 7}, Range{20, 0, 20}, Range{31, 1, 31}, Range{31, 31, 31},
                    Range{31, 29, 30}, Range{10, 0, 0}, Range{8, 3, 3}, Range{1, 1, 1}}) {
        unsigned short st[3] = {0x1234, (unsigned short)r.n, (unsigned short)r.hi};
        unsigned short ref[3] = {st[0], st[1], st[2]};
        for (int trial = 0; trial < 200; trial++) {
            const long start = ::nrand48(ref) & ((1L << r.n) - 1);
            st[0] = ref[0], st[1] = ref[1], st[2] = ref[2];
            const unsigned short before[3] = {st[0], st[1], st[2]};
            int d = 0;
            const long expected = referenceJump(start, r.lo, r.hi, ref, (int)r.n, d);
            const Point q(Point(start), r.lo, r.hi, r.n, st);
            ASSERT_EQ(q.values, expected) << "n " << r.n << " trial " << trial;
            ASSERT_EQ(countDiff(start, q.values, (int)r.n), d);
            ASSERT_EQ(drawsBetween(before, st), (d == (int)r.n || d < 1) ? 1 : 1 + d);
        }
    }
}

TEST(PointTest, ChildTakesOneToDMinusOneDifferingLociFromTheSecondParent) {
    for (unsigned int n : {4u, 10u, 31u}) {
        const long mask = (1L << n) - 1;
        unsigned short st[3] = {99, 98, (unsigned short)n}, parents[3] = {3, 1, 4};
        unsigned short ref[3] = {st[0], st[1], st[2]};
        for (int trial = 0; trial < 300; trial++) {
            // Equal parents (no draw), parents one locus apart (the second, one draw), then random.
            const long p1 = ::nrand48(parents) & mask;
            const long p2 = trial == 0 ? p1 : trial == 1 ? p1 ^ 4 : ::nrand48(parents) & mask;
            const unsigned short before[3] = {st[0], st[1], st[2]};
            int c = 0;
            const long expected = referenceChild(p1, p2, ref, (int)n, c);
            const Point child(Point(p1), Point(p2), n, st);
            ASSERT_EQ(child.values, expected) << "trial " << trial;
            const int D = countDiff(p1, p2, (int)n);
            ASSERT_EQ(drawsBetween(before, st), D == 0 ? 0 : D == 1 ? 1 : 1 + c);
            ASSERT_EQ(countDiff(child.values, p1, (int)n), c);
            ASSERT_EQ((child.values ^ p1) & ~(p1 ^ p2), 0) << "loci where the parents agree";
            if (D >= 2) {
                ASSERT_TRUE(c >= 1 && c <= D - 1);
            }
        }
        EXPECT_EQ(drawsBetween(ref, st), 0);
    }
}

TEST(PointTest, PermutationIsTheIdentityAndResetsToIt) {
    Permutation perm(7);
    unsigned short st[3] = {4, 5, 6};
    perm.shuffle(st);
    perm.reset();
    for (unsigned int i = 0; i < 7; i++) EXPECT_EQ(perm[i], (int)i);
}
