// A run's tables, heaps and pools grow by doubling, so a run touches megabytes of fresh
// memory, and every first touch of a 4 KiB page is a page fault: 10-20 us on a virtual
// machine, a third of a short run's time. A 2 MiB page takes one fault for 512 of them.
// Transparent huge pages serve only memory that asks for them (madvise), and glibc's
// malloc asks only when an environment variable says so; the program asks itself: it
// grows the heap once by a reserve and advises that stretch.
#include "runheap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr uintptr_t kHugePage = (uintptr_t)2 << 20;
// The heap grows by this much at start, and the whole 2 MiB pages inside (4 MiB) are
// advised: they hold the heap of a short run (the small benchmark's), where the faults are
// a large share of the time. Longer runs grow beyond them in small pages: a heap that ends
// inside the advised stretch leaves its last 2 MiB page partly unused, up to 2 MiB more
// peak memory, which a short stretch keeps to short runs.
constexpr size_t kReserve = (size_t)6 << 20;
// Arrays up to this size come from the heap. Setting the top pad below fixes glibc's
// otherwise adaptive limit at 128 KiB; larger arrays keep their own mappings, given back
// when freed, as they were.
constexpr int kLargestHeapArray = 2 << 20;
// Above the reserve, so that the free top of the heap is not given back at the first free.
constexpr int kTrimThreshold = 16 << 20;
// Forces the heap to grow: larger than the free top of the heap at start, smaller than
// kLargestHeapArray.
constexpr size_t kProbeSize = (size_t)256 << 10;

// The stretch below the first 2 MiB boundary of the reserve, held for good.
void* keptBelowBoundary = nullptr;

}  // namespace

void reserveRunHeap() {
    mallopt(M_MMAP_THRESHOLD, kLargestHeapArray);
    mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
    // With the reserve as top pad, the growth that the probe forces adds the whole reserve.
    mallopt(M_TOP_PAD, (int)kReserve);
    const uintptr_t before = (uintptr_t)sbrk(0);
    char* probe = static_cast<char*>(malloc(kProbeSize));
    const uintptr_t after = (uintptr_t)sbrk(0);
    mallopt(M_TOP_PAD, 128 << 10);  // glibc's default
    // The probe starts where the free top of the heap started, and malloc has written the
    // new top's header just above it. Grown up to the first 2 MiB boundary above that
    // header and kept (untouched, so taking no memory), it keeps the run's arrays out of
    // the stretch below the boundary, which cannot have large pages. The advice comes
    // before the growth writes the next header at the boundary: a page touched before the
    // advice would keep its 2 MiB in small pages.
    const uintptr_t start = (uintptr_t)probe;
    const uintptr_t from = (start + kProbeSize + 16 + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t to = after & ~(kHugePage - 1);
    if (!probe || after <= before || to <= from) {
        free(probe);  // no contiguous heap (another malloc), or it could not grow
        return;
    }
    madvise((void*)from, to - from, MADV_HUGEPAGE);
    keptBelowBoundary = realloc(probe, from - start);
}

#else

void reserveRunHeap() {}

#endif
