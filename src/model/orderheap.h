// A binary heap of memory entries in memory order that knows where each entry sits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Keys are (fitness, slot) of the entries in a memory's slots, ordered by fitness
// descending, then earlier write (the entry's smaller seq) first; a slot has at most one
// key. Ties are rare, so the seq is kept beside the keys, by slot, and read only for them,
// which keeps a key at 16 bytes. With the best entry on top the heap serves a
// memory's best point, with the last entry on top its eviction. Knowing each slot's
// position, a rewrite moves the entry's key up or down and an eviction takes it out,
// each in O(log n), and the heap never holds more keys than entries.
class OrderHeap {
public:
    struct Key {
        double fitness;
        uint32_t slot;
    };

    explicit OrderHeap(bool lastOnTop) : lastOnTop(lastOnTop) {}

    bool empty() const { return heap.empty(); }
    size_t size() const { return heap.size(); }
    const Key& top() const { return heap.front(); }
    const std::vector<Key>& keys() const { return heap; }

    // Adds the key of a slot that has none; `seq` orders it among equal fitness.
    void push(const Key& key, uint64_t seq);
    // Replaces the key and seq of a slot that has one.
    void update(const Key& key, uint64_t seq);
    // Removes a slot's key.
    void erase(uint32_t slot);
    // The keys and seqs of `other`, in this heap's order (in O(n)).
    void assign(const OrderHeap& other);

private:
    static constexpr uint32_t kAbsent = 0xffffffffu;
    bool lastOnTop;
    std::vector<Key> heap;
    std::vector<uint32_t> position;  // by slot; kAbsent for a slot without a key
    std::vector<uint64_t> seqOf;     // by slot: the write order of the slot's entry

    // Room for a slot's position and seq. Slots are mostly taken one by one: an append then
    // costs less than a resize, which fills through a library call every time.
    void reserveSlot(uint32_t slot) {
        if (slot == position.size()) {
            position.push_back(kAbsent);
            seqOf.push_back(0);
        } else if (slot > position.size()) {
            position.resize((size_t)slot + 1, kAbsent);
            seqOf.resize((size_t)slot + 1, 0);
        }
    }

    // Whether `a` belongs above `b`.
    bool above(const Key& a, const Key& b) const;
    void place(size_t i, const Key& key) {
        heap[i] = key;
        position[key.slot] = (uint32_t)i;
    }
    void siftUp(size_t i, Key key);
    void siftDown(size_t i, Key key);
};
