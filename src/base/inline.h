// Point (an N-bit landscape point): the small value type used everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "rng.h"

// Number of 1 bits. Written out because the build does not assume a popcount
// instruction, and the library call the builtin becomes costs more on the hot paths.
inline int bitCount(uint32_t x) {
    x = x - ((x >> 1) & 0x55555555u);
    x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
    x = (x + (x >> 4)) & 0x0f0f0f0fu;
    return (int)((x * 0x01010101u) >> 24);
}

// The number of loci N is not stored in a point: whoever owns the landscape (its
// parameters) passes it to the operations that need it, so that simulations with different
// N can run side by side.
class Point {
public:
    // A point holds at most 31 bits.
    static constexpr unsigned int kMaxN = 31;

    int32_t values;

    Point() : values(-1) {}
    Point(long v) : values((int32_t)v) {}
    Point(const Point& point) = default;
    Point(const Point& point, unsigned int dim) : values(point.values ^ (int32_t)(1u << dim)) {}

    // Random point at a Hamming distance drawn uniformly from [minJumpDist, maxJumpDist].
    // Consumes 1 draw when the distance is N or below 1, otherwise 1 + distance draws.
    Point(const Point& point, int minJumpDist, int maxJumpDist, unsigned int n, unsigned short* state)
        : values(point.values) {
        int d = minJumpDist + (int)(rng48::erand48(state) * (maxJumpDist + 1 - minJumpDist));
        const int nn = (int)n;
        if (d > nn) d = nn;  // a distance beyond N has no meaning; treat it as "all loci"
        if (d == nn) {
            values ^= (int32_t)allMask(n);
            return;
        }
        if (d < 1) return;
        uint32_t changeMask = 0;
        for (int i = 0; i < d; i++) {
            int j = (int)(rng48::erand48(state) * (nn - i)) + 1;
            changeMask |= nthClearBit(changeMask, allMask(n), j);
        }
        values ^= (int32_t)changeMask;
    }

    // Random recombination child of two parents. Consumes 1 + c draws (1 when the
    // parents differ in one locus, none when they are equal).
    Point(const Point& point1, const Point& point2, unsigned int n, unsigned short* state) : values(point1.values) {
        const uint32_t diff = (uint32_t)(point1.values ^ point2.values) & allMask(n);
        const int D = bitCount(diff);
        if (D == 0) return;
        const int c = (int)(rng48::erand48(state) * (D - 1)) + 1;
        if (c == D) {
            values = point2.values;
            return;
        }
        uint32_t chosen = 0;
        int Di = D;
        for (int i = 1; i <= c; i++) {
            int j = (int)(rng48::erand48(state) * Di) + 1;
            chosen |= nthClearBit(chosen, diff, j);
            Di--;
        }
        values ^= (int32_t)chosen;  // the chosen loci differ, so flipping copies point2's values
    }

    unsigned int getValue(unsigned int dim) const { return ((uint32_t)values >> dim) & 1u; }

    long getKValues(unsigned int dim, unsigned int k, unsigned int n) const {
        long result = 0;
        unsigned int locus = dim + 1;
        if (locus >= n) locus = 0;
        for (unsigned int j = 0; j < k; j++) {
            result |= (long)getValue(locus) << j;
            if (++locus >= n) locus = 0;
        }
        return result;
    }

    long getHash() const { return values; }

    int hammingDist(const Point& other, unsigned int n) const {
        return bitCount((uint32_t)(values ^ other.values) & allMask(n));
    }

    bool closeInHammingDist(const Point& other, int closeRadius, unsigned int n) const {
        return hammingDist(other, n) <= closeRadius;
    }

    // sum: 1-count of all loci; sumFlipped: 1-count with the upper floor(N/2) loci inverted.
    void getBitSums(unsigned int n, int& sum, int& sumFlipped) const {
        const unsigned int h = n / 2;
        const uint32_t v = (uint32_t)values & allMask(n);
        const uint32_t lowerMask = (n - h >= 32) ? 0xffffffffu : ((1u << (n - h)) - 1u);
        const uint32_t upper = v & ~lowerMask;
        sum = bitCount(v);
        sumFlipped = bitCount(v & lowerMask) + (int)h - bitCount(upper);
    }

    bool operator==(const Point& o) const { return values == o.values; }
    bool operator!=(const Point& o) const { return values != o.values; }
    Point& operator=(const Point& o) = default;

    std::string toBitString(unsigned int n) const { return toBitString(values, n); }
    static std::string toBitString(long v, unsigned int n) {
        std::string s(n, '0');
        for (unsigned int d = 0; d < n; d++)
            if ((v >> d) & 1) s[n - 1 - d] = '1';
        return s;
    }

    void print(bool goToNextLine) const {
        printf("%4ld", (long)values);
        if (goToNextLine) printf("\n");
    }

    static uint32_t allMask(unsigned int n) { return n >= 32 ? 0xffffffffu : ((1u << n) - 1u); }

private:
    // The j-th (1-based) bit of `candidates`, counted from bit 0 upward, that is not in `taken`.
    static uint32_t nthClearBit(uint32_t taken, uint32_t candidates, int j) {
        uint32_t free = candidates & ~taken;
        for (int i = 1; i < j; i++) free &= free - 1;
        return free & (0u - free);
    }
};

// Hash of a point for hash tables that index by the low bits of the hash: points met in a
// run differ in few bits, so the identity would crowd them into few buckets.
struct PointHash {
    size_t operator()(int32_t v) const { return (size_t)(((uint64_t)(uint32_t)v * 0x9E3779B97F4A7C15ull) >> 32); }
};
