// The POSIX 48-bit linear congruential generator (erand48/nrand48/srand48/drand48),
// inlined so that the hot paths avoid a library call; a test proves it equal to libc.
#pragma once

#include <cstdint>

namespace rng48 {

constexpr uint64_t kMult = 0x5DEECE66DULL;
constexpr uint64_t kAdd = 0xB;
constexpr uint64_t kMask = (1ULL << 48) - 1;

inline uint64_t load(const unsigned short s[3]) {
    return (uint64_t)s[0] | ((uint64_t)s[1] << 16) | ((uint64_t)s[2] << 32);
}

inline void store(unsigned short s[3], uint64_t x) {
    s[0] = (unsigned short)(x & 0xffff);
    s[1] = (unsigned short)((x >> 16) & 0xffff);
    s[2] = (unsigned short)((x >> 32) & 0xffff);
}

inline uint64_t next(uint64_t x) { return (x * kMult + kAdd) & kMask; }

// Uniform double in [0, 1): the 48 state bits are exact in a double's mantissa.
inline double erand48(unsigned short s[3]) {
    uint64_t x = next(load(s));
    store(s, x);
    return (double)x * (1.0 / 281474976710656.0);
}

// Uniform integer in [0, 2^31).
inline long nrand48(unsigned short s[3]) {
    uint64_t x = next(load(s));
    store(s, x);
    return (long)(x >> 17);
}

// The first drand48() after srand48(seed): only the low 32 bits of the seed matter.
inline double firstDrand48AfterSeed(uint32_t seed) {
    uint64_t x = next(((uint64_t)seed << 16) | 0x330E);
    return (double)x * (1.0 / 281474976710656.0);
}

// A configured seed is loaded by writing its low 16 bits into all three words.
inline void seedState(unsigned short s[3], int seed) { s[0] = s[1] = s[2] = (unsigned short)(seed & 0xffff); }

}  // namespace rng48
