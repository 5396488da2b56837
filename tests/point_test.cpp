// Point and Permutation: bit access, distances, bit sums and the two random constructors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
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
int drawsBetween(const unsigned short before[3], const unsigned short after[3], int limit = 64) {
    unsigned short s[3] = {before[0], before[1], before[2]};
    for (int i = 0; i <= limit; i++) {
        if (s[0] == after[0] && s[1] == after[1] && s[2] == after[2]) return i;
        ::erand48(s);
    }
    return -1;
}

// The jump as written in words, with libc's generator and a locus-by-locus walk.
long referenceJump(long start, int minD, int maxD, unsigned short st[3], int n, int& drawnDist) {
    int d = minD + (int)(::erand48(st) * (maxD + 1 - minD));
    drawnDist = d;
    if (d == n) return start ^ ((1L << n) - 1);
    if (d < 1) return start;
    std::vector<bool> inMask(n, false);
    for (int i = 0; i < d; i++) {
        int j = (int)(::erand48(st) * (n - i)) + 1;
        for (int locus = 0; locus < n; locus++) {
            if (inMask[locus]) continue;
            if (--j == 0) {
                inMask[locus] = true;
                break;
            }
        }
    }
    long v = start;
    for (int locus = 0; locus < n; locus++)
        if (inMask[locus]) v ^= 1L << locus;
    return v;
}

long referenceChild(long p1, long p2, unsigned short st[3], int n, int& taken) {
    std::vector<int> differing;
    for (int locus = 0; locus < n; locus++)
        if (bitOf(p1, locus) != bitOf(p2, locus)) differing.push_back(locus);
    const int D = (int)differing.size();
    taken = 0;
    if (D == 0) return p1;
    const int c = (int)(::erand48(st) * (D - 1)) + 1;
    taken = c;
    if (c == D) return p2;
    std::vector<bool> chosen(D, false);
    int remaining = D;
    for (int i = 1; i <= c; i++) {
        int j = (int)(::erand48(st) * remaining) + 1;
        for (int k = 0; k < D; k++) {
            if (chosen[k]) continue;
            if (--j == 0) {
                chosen[k] = true;
                break;
            }
        }
        remaining--;
    }
    long v = p1;
    for (int k = 0; k < D; k++)
        if (chosen[k]) v = (v & ~(1L << differing[k])) | (p2 & (1L << differing[k]));
    return v;
}

class PointTest : public ::testing::Test {
protected:
    void SetUp() override { saved = Point::n; }
    void TearDown() override { Point::n = saved; }
    unsigned int saved = 0;
};

}  // namespace

TEST_F(PointTest, NoPointIsMinusOneAndEqualsNoValidPoint) {
    Point::n = 6;
    Point none;
    EXPECT_EQ(none.values, -1);
    for (long v = 0; v < 64; v++) {
        EXPECT_NE(none, Point(v));
        EXPECT_TRUE(none != Point(v));
    }
    EXPECT_EQ(none, Point());
    EXPECT_EQ(Point(13).getHash(), 13);
}

TEST_F(PointTest, BitStringAndBitsOfTwentyTwoInFiveLoci) {
    Point::n = 5;
    Point p(22);
    EXPECT_EQ(p.toBitString(), "10110");
    EXPECT_EQ(Point::toBitString(22), "10110");
    EXPECT_EQ(Point::toBitString(1), "00001");
    const unsigned int expectedBits[5] = {0, 1, 1, 0, 1};  // locus 0 .. 4
    for (unsigned int d = 0; d < 5; d++) EXPECT_EQ(p.getValue(d), expectedBits[d]) << "locus " << d;

    int sum = -1, sumFlipped = -1;
    p.getBitSums(sum, sumFlipped);
    EXPECT_EQ(sum, 3);
    EXPECT_EQ(sumFlipped, 3);
}

TEST_F(PointTest, BitSumsMatchTheDefinitionForEveryPoint) {
    for (unsigned int n : {1u, 2u, 5u, 6u, 9u}) {
        Point::n = n;
        const int h = (int)n / 2;
        for (long v = 0; v < (1L << n); v++) {
            int ones = 0, flipped = 0;
            for (int locus = 0; locus < (int)n; locus++) {
                ones += bitOf(v, locus);
                if (locus < (int)n - h)
                    flipped += bitOf(v, locus);
                else
                    flipped += !bitOf(v, locus);
            }
            int sum, sumFlipped;
            Point(v).getBitSums(sum, sumFlipped);
            ASSERT_EQ(sum, ones) << "n " << n << " v " << v;
            ASSERT_EQ(sumFlipped, flipped) << "n " << n << " v " << v;
        }
    }
    // The widest point: N = 31, all ones; upper 15 loci inverted leave 16 ones.
    Point::n = 31;
    int sum, sumFlipped;
    Point(0x7fffffffL).getBitSums(sum, sumFlipped);
    EXPECT_EQ(sum, 31);
    EXPECT_EQ(sumFlipped, 16);
}

TEST_F(PointTest, KValuesWrapAroundWithFirstFollowerInBitZero) {
    Point::n = 5;
    // Locus 0 = 1, locus 1 = 0: the followers of locus 4 are loci 0 and 1.
    EXPECT_EQ(Point(0b00001).getKValues(4, 2), 1);
    EXPECT_EQ(Point(0b00010).getKValues(4, 2), 2);
    // Followers of locus 3 with k = 3 are loci 4, 0, 1; for 0b10011 they are 1, 1, 1.
    EXPECT_EQ(Point(0b10011).getKValues(3, 3), 7);
    EXPECT_EQ(Point(0b10110).getKValues(0, 4), 0b1011);  // loci 1..4 = 1, 1, 0, 1
    EXPECT_EQ(Point(0b11111).getKValues(2, 0), 0);

    // k >= N repeats the loci: N = 3, bits 1, 0, 1 (loci 0..2), followers of 0 are 1, 2, 0, 1, 2.
    Point::n = 3;
    EXPECT_EQ(Point(0b101).getKValues(0, 5), 0b10110);
}

TEST_F(PointTest, NeighbourFlipsOneLocus) {
    Point::n = 8;
    Point p(0b10100101);
    for (unsigned int d = 0; d < 8; d++) {
        Point q(p, d);
        EXPECT_EQ(q.values, p.values ^ (1 << d));
        EXPECT_EQ(p.hammingDist(q), 1);
    }
}

TEST_F(PointTest, HammingDistanceAndClosenessByBruteForce) {
    Point::n = 6;
    for (long a = 0; a < 64; a++) {
        for (long b = 0; b < 64; b++) {
            const int d = countDiff(a, b, 6);
            ASSERT_EQ(Point(a).hammingDist(Point(b)), d);
            for (int r = 0; r <= 6; r++) ASSERT_EQ(Point(a).closeInHammingDist(Point(b), r), d <= r);
            // Radius 0: only the point itself.
            ASSERT_EQ(Point(a).closeInHammingDist(Point(b), 0), a == b);
        }
    }
}

TEST_F(PointTest, JumpOfFullDistanceInvertsEveryLocusWithOneDraw) {
    for (unsigned int n : {1u, 4u, 20u, 31u}) {
        Point::n = n;
        unsigned short st[3] = {11, 22, 33}, before[3] = {11, 22, 33};
        Point start((1L << n) / 3);
        Point q(start, (int)n, (int)n, st);
        EXPECT_EQ(q.values, start.values ^ (long)((1UL << n) - 1));
        EXPECT_EQ(start.hammingDist(q), (int)n);
        EXPECT_EQ(drawsBetween(before, st), 1);
    }
}

TEST_F(PointTest, JumpOfZeroDistanceKeepsThePointWithOneDraw) {
    Point::n = 10;
    unsigned short st[3] = {5, 6, 7}, before[3] = {5, 6, 7};
    Point start(0b1100110011);
    Point q(start, 0, 0, st);
    EXPECT_EQ(q, start);
    EXPECT_EQ(drawsBetween(before, st), 1);
}

TEST_F(PointTest, JumpChangesTheDrawnNumberOfLociLikeTheReference) {
    struct Range {
        unsigned int n;
        int lo, hi;
    };
    for (Range r : {Range{5, 0, 5}, Range{5, 1, 4}, Range{12, 2, 7}, Range{20, 0, 20}, Range{31, 1, 31},
                    Range{31, 29, 30}, Range{8, 3, 3}}) {
        Point::n = r.n;
        unsigned short st[3] = {0x1234, (unsigned short)r.n, (unsigned short)r.hi};
        unsigned short ref[3] = {st[0], st[1], st[2]};
        for (int trial = 0; trial < 300; trial++) {
            // The start point comes from the same stream; both copies stay in step.
            const long startValue = (long)(::nrand48(ref) & ((1L << r.n) - 1));
            st[0] = ref[0], st[1] = ref[1], st[2] = ref[2];
            const unsigned short before[3] = {st[0], st[1], st[2]};

            int d = 0;
            const long expected = referenceJump(startValue, r.lo, r.hi, ref, (int)r.n, d);
            Point q(Point(startValue), r.lo, r.hi, st);
            ASSERT_EQ(q.values, expected) << "n " << r.n << " trial " << trial;
            ASSERT_EQ(countDiff(startValue, q.values, (int)r.n), d);
            ASSERT_GE(d, r.lo);
            ASSERT_LE(d, r.hi);
            const int expectedDraws = (d == (int)r.n || d < 1) ? 1 : 1 + d;
            ASSERT_EQ(drawsBetween(before, st), expectedDraws);
            ASSERT_EQ(q.values & ~((1L << r.n) - 1), 0);
        }
    }
}

TEST_F(PointTest, ChildOfEqualParentsIsThatPointWithoutDraw) {
    Point::n = 9;
    unsigned short st[3] = {1, 2, 3};
    Point p(0b101010101);
    Point child(p, p, st);
    EXPECT_EQ(child, p);
    EXPECT_EQ(st[0], 1);
    EXPECT_EQ(st[1], 2);
    EXPECT_EQ(st[2], 3);
}

TEST_F(PointTest, ChildOfParentsDifferingInOneLocusIsTheSecondAfterOneDraw) {
    Point::n = 9;
    unsigned short st[3] = {1, 2, 3}, before[3] = {1, 2, 3};
    Point p1(0b101010101), p2(0b101000101);
    Point child(p1, p2, st);
    EXPECT_EQ(child, p2);
    EXPECT_EQ(drawsBetween(before, st), 1);
}

TEST_F(PointTest, ChildTakesBetweenOneAndDMinusOneLociFromTheSecondParent) {
    for (unsigned int n : {4u, 10u, 31u}) {
        Point::n = n;
        const long mask = (1L << n) - 1;
        unsigned short st[3] = {99, 98, (unsigned short)n};
        unsigned short ref[3] = {st[0], st[1], st[2]};
        unsigned short parents[3] = {3, 1, 4};
        for (int trial = 0; trial < 400; trial++) {
            const long p1 = ::nrand48(parents) & mask;
            const long p2 = ::nrand48(parents) & mask;
            unsigned short before[3] = {st[0], st[1], st[2]};
            int c = 0;
            const long expected = referenceChild(p1, p2, ref, (int)n, c);
            Point child(Point(p1), Point(p2), st);
            ASSERT_EQ(child.values, expected) << "trial " << trial;
            const int D = countDiff(p1, p2, (int)n);
            if (D == 0) {
                ASSERT_EQ(drawsBetween(before, st), 0);
                continue;
            }
            ASSERT_EQ(drawsBetween(before, st), D == 1 ? 1 : 1 + c);
            // Where the parents agree the child agrees; elsewhere exactly c loci come from p2.
            for (int locus = 0; locus < (int)n; locus++) {
                if (bitOf(p1, locus) == bitOf(p2, locus)) {
                    ASSERT_EQ(bitOf(child.values, locus), bitOf(p1, locus));
                }
            }
            ASSERT_EQ(countDiff(child.values, p1, (int)n), c);
            if (D >= 2) {
                ASSERT_GE(c, 1);
                ASSERT_LE(c, D - 1);
            }
        }
    }
}

TEST_F(PointTest, PermutationStartsAsIdentityAndResets) {
    Permutation perm(7);
    for (unsigned int i = 0; i < 7; i++) EXPECT_EQ(perm[i], (int)i);
    unsigned short st[3] = {4, 5, 6};
    perm.shuffle(st);
    std::vector<bool> seen(7, false);
    for (unsigned int i = 0; i < 7; i++) {
        ASSERT_GE(perm[i], 0);
        ASSERT_LT(perm[i], 7);
        seen[perm[i]] = true;
    }
    for (bool s : seen) EXPECT_TRUE(s);
    perm.reset();
    for (unsigned int i = 0; i < 7; i++) EXPECT_EQ(perm[i], (int)i);
}
