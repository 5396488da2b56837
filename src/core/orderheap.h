// A binary heap of memory entries in memory order that knows where each entry sits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Keys are (fitness, seq, slot): fitness descending, then earlier write (smaller seq)
// first; a slot has at most one key. With the best entry on top the heap serves a
// memory's best point, with the last entry on top its eviction. Knowing each slot's
// position, a rewrite moves the entry's key up or down and an eviction takes it out,
// each in O(log n), and the heap never holds more keys than entries.
class OrderHeap {
public:
    struct Key {
        double fitness;
        uint64_t seq;
        uint32_t slot;
    };

    explicit OrderHeap(bool lastOnTop) : lastOnTop(lastOnTop) {}

    bool empty() const { return heap.empty(); }
    size_t size() const { return heap.size(); }
    const Key& top() const { return heap.front(); }
    const std::vector<Key>& keys() const { return heap; }

    // Adds the key of a slot that has none.
    void push(const Key& key);
    // Replaces the key of a slot that has one.
    void update(const Key& key);
    // Removes a slot's key.
    void erase(uint32_t slot);
    // Replaces the whole heap (in O(n)).
    void assign(const std::vector<Key>& keys);

private:
    static constexpr uint32_t kAbsent = 0xffffffffu;
    bool lastOnTop;
    std::vector<Key> heap;
    std::vector<uint32_t> position;  // by slot; kAbsent for a slot without a key

    // Whether `a` belongs above `b`.
    bool above(const Key& a, const Key& b) const {
        const bool aFirst = a.fitness != b.fitness ? a.fitness > b.fitness : a.seq < b.seq;
        return aFirst != lastOnTop;
    }
    void place(size_t i, const Key& key) {
        heap[i] = key;
        position[key.slot] = (uint32_t)i;
    }
    void siftUp(size_t i, Key key);
    void siftDown(size_t i, Key key);
};
