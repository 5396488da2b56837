// Indexed binary heap of memory order keys.
#include "orderheap.h"

bool OrderHeap::above(const Key& a, const Key& b) const {
    const bool aFirst = a.fitness != b.fitness ? a.fitness > b.fitness : seqOf[a.slot] < seqOf[b.slot];
    return aFirst != lastOnTop;
}

void OrderHeap::push(const Key& key, uint64_t seq) {
    // The vectors grow their capacity geometrically; only the slots in use are written.
    reserveSlot(key.slot);
    seqOf[key.slot] = seq;
    heap.push_back(key);
    siftUp(heap.size() - 1, key);
}

void OrderHeap::update(const Key& key, uint64_t seq) {
    seqOf[key.slot] = seq;
    const size_t i = position[key.slot];
    if (i > 0 && above(key, heap[(i - 1) / 2]))
        siftUp(i, key);
    else
        siftDown(i, key);
}

void OrderHeap::erase(uint32_t slot) {
    const size_t i = position[slot];
    position[slot] = kAbsent;
    const Key last = heap.back();
    heap.pop_back();
    if (i == heap.size()) return;  // it was the last key
    // The last key fills the hole and moves to where it belongs from there.
    if (i > 0 && above(last, heap[(i - 1) / 2]))
        siftUp(i, last);
    else
        siftDown(i, last);
}

void OrderHeap::assign(const OrderHeap& other) {
    heap = other.heap;
    seqOf = other.seqOf;
    position.assign(seqOf.size(), kAbsent);
    for (size_t i = 0; i < heap.size(); i++) position[heap[i].slot] = (uint32_t)i;
    for (size_t i = heap.size() / 2; i-- > 0;) siftDown(i, heap[i]);
}

// Moves `key`, destined for position i, up past every parent it belongs above.
void OrderHeap::siftUp(size_t i, Key key) {
    while (i > 0) {
        const size_t parent = (i - 1) / 2;
        if (!above(key, heap[parent])) break;
        place(i, heap[parent]);
        i = parent;
    }
    place(i, key);
}

// Moves `key`, destined for position i, down below every child that belongs above it.
void OrderHeap::siftDown(size_t i, Key key) {
    const size_t n = heap.size();
    for (;;) {
        size_t child = 2 * i + 1;
        if (child >= n) break;
        if (child + 1 < n && above(heap[child + 1], heap[child])) child++;
        if (!above(heap[child], key)) break;
        place(i, heap[child]);
        i = child;
    }
    place(i, key);
}
