// A hash table keyed by point: the fitness cache, the visit index and memory indices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "inline.h"

// Open addressing with linear probing, at most three quarters full, the keys apart from
// the values: a probe reads 4 bytes per slot (16 keys a cache line, so the longer probes
// of a fuller table stay cheap), and a slot costs 4 bytes plus the value. Fresh memory is
// dear where page faults are slow, so the table is kept full rather than sparse. Erasing shifts
// the following keys back, so no tombstones build up. (Measured against
// google::dense_hash_map and absl::flat_hash_map for 32-bit point keys, this layout looks
// up fastest at the sizes a run reaches and takes the least memory.)
template <class V>
class PointTable {
public:
    PointTable() { reset(16); }

    size_t size() const { return count; }

    V* find(int32_t key) {
        for (size_t i = home(key);; i = (i + 1) & mask) {
            if (keys[i] == key) return &values[i];
            if (keys[i] == kEmpty) return nullptr;
        }
    }
    const V* find(int32_t key) const { return const_cast<PointTable*>(this)->find(key); }

    // The value of `key`, a value-initialized one inserted when absent. The reference
    // stays valid until the next insertion or erasure.
    V& operator[](int32_t key) {
        size_t i = home(key);
        for (; keys[i] != kEmpty; i = (i + 1) & mask)
            if (keys[i] == key) return values[i];
        if (4 * (count + 1) > 3 * keys.size()) {
            grow();
            return (*this)[key];
        }
        keys[i] = key;
        values[i] = V();
        count++;
        return values[i];
    }

    void erase(int32_t key) {
        size_t i = home(key);
        while (keys[i] != key) {
            if (keys[i] == kEmpty) return;
            i = (i + 1) & mask;
        }
        // Move back every following key whose probe would otherwise pass the hole.
        for (size_t j = (i + 1) & mask; keys[j] != kEmpty; j = (j + 1) & mask) {
            const size_t h = home(keys[j]);
            const bool reachable = i <= j ? (h > i && h <= j) : (h > i || h <= j);
            if (reachable) continue;
            keys[i] = keys[j];
            values[i] = values[j];
            i = j;
        }
        keys[i] = kEmpty;
        count--;
    }

    // Empties the table and keeps its size: the next run fills it about as far.
    void clear() {
        if (count == 0) return;
        keys.assign(keys.size(), kEmpty);
        count = 0;
    }

    template <class F>
    void forEach(F fn) const {
        for (size_t i = 0; i < keys.size(); i++)
            if (keys[i] != kEmpty) fn(keys[i], values[i]);
    }

private:
    static constexpr int32_t kEmpty = INT32_MIN;  // never a point (points are at least -1)
    std::vector<int32_t> keys;
    std::vector<V> values;
    size_t mask = 0;
    size_t count = 0;

    size_t home(int32_t key) const { return PointHash()(key) & mask; }

    void reset(size_t capacity) {
        keys.assign(capacity, kEmpty);
        values.assign(capacity, V());
        mask = capacity - 1;
        count = 0;
    }

    void grow() {
        std::vector<int32_t> oldKeys;
        std::vector<V> oldValues;
        oldKeys.swap(keys);
        oldValues.swap(values);
        reset(2 * oldKeys.size());
        for (size_t i = 0; i < oldKeys.size(); i++)
            if (oldKeys[i] != kEmpty) (*this)[oldKeys[i]] = oldValues[i];
    }
};
