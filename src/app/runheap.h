// Heap set-up for runs: the memory a run grows, in 2 MiB pages.
#pragma once

// Makes malloc serve the arrays a run grows from one stretch of heap that the kernel may
// back with 2 MiB pages. Call once, early, before the run's structures are built. Does
// nothing where the C library or the system does not allow it; results never depend on it.
void reserveRunHeap();
