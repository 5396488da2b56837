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

// The streams a run seeds for itself (runSeeding 1).
enum class RunStream : uint64_t { InitialMemories = 0, Search = 1, Landscape = 2 };

// splitmix64's output function (Steele, Lea and Flood): neighbouring inputs give unrelated outputs.
inline uint64_t splitmix64(uint64_t x) {
    uint64_t z = x + 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// The 48-bit state of one stream of run `run` alone: every bit of the seed and of the run
// index counts, so that runs can be made in any order and any run can be made by itself.
inline uint64_t runStreamState(int seed, unsigned int run, RunStream stream) {
    const uint64_t key = ((uint64_t)(uint32_t)seed << 32) | run;
    return splitmix64(splitmix64(key) + (uint64_t)stream) & kMask;
}

inline void seedRunStream(unsigned short s[3], int seed, unsigned int run, RunStream stream) {
    store(s, runStreamState(seed, run, stream));
}

}  // namespace rng48
