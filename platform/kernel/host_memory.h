#pragma once
// The host process's heap as firmware threads use it.

#include <cstddef>

namespace kernel {

// Puts every host thread on one malloc arena and fixes the size from which blocks are mapped on
// their own. Only one firmware thread runs at a time, and each boot makes its threads anew:
// per-thread arenas would be handed to new threads in turn and each keep its own scraps, so that
// the heap grew at every boot. Runs before main; idempotent.
void SetUpHostHeap();

// True under AddressSanitizer or ThreadSanitizer: their allocator replaces malloc, keeps freed
// blocks aside for a while and keeps state on thread stacks.
bool UnderSanitizer();

// Malloc arenas the process holds (1 once UseOneMallocArena ran before any other thread).
int MallocArenaCount();

// Resident anonymous memory of the process in KiB (heap, arenas, stacks); 0 if unknown.
std::size_t ResidentAnonymousKiB();

}  // namespace kernel
