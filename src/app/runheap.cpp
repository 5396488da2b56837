// A run's tables, heaps and pools grow by doubling, so a run touches megabytes of fresh
// memory, and every first touch of a 4 KiB page is a page fault: 10-20 us on a virtual
// machine, a third of a short run's time. A 2 MiB page takes one fault for 512 of them.
// Transparent huge pages serve only memory that asks for them (madvise), and glibc's
// malloc asks only when an environment variable says so; the program asks itself: it
// grows the heap once by a reserve of address space and advises that stretch.
#include "runheap.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr uintptr_t kHugePage = (uintptr_t)2 << 20;
// Address space only: untouched pages take no memory. Enough for the heap of the largest
// runs measured (N = 24, 200 agents x 2000 steps); a run that needs more grows on in
// small pages.
constexpr size_t kReserve = (size_t)256 << 20;
// Forces the heap to grow: larger than the free top of the heap at start.
constexpr size_t kProbeSize = (size_t)1 << 20;

// The stretch below the first 2 MiB boundary of the reserve, held for good.
void* keptBelowBoundary = nullptr;

// A limit on address space is shared with every mapping the run makes later.
size_t reserveSize() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur / 4 < kReserve)
        return (size_t)(limit.rlim_cur / 4);
    return kReserve;
}

// Arrays up to 32 MiB (glibc's largest setting) come from the heap rather than each from a
// mapping of its own, and the heap keeps what is freed for later arrays instead of giving
// it back, so no stretch is touched fresh twice.
void keepArraysInHeap() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
}

}  // namespace

void reserveRunHeap() {
    keepArraysInHeap();
    // With the reserve as top pad, the growth that the probe forces adds the whole reserve.
    mallopt(M_TOP_PAD, (int)reserveSize());
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
