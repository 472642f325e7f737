#pragma once
// Gives the pages the heap holds free back to the system. A clip's decoders allocate tens of
// megabytes, much of it on threads of their own; the C library keeps what they free in per-thread
// arenas, so without this the resident size after a clip depends on which clips played before,
// and a long playlist's footprint drifts upwards.
//
// Any thread; it takes the allocator's locks for a few milliseconds, so call it where a pause of
// that length goes unnoticed (after a clip's graph is released).
void ReturnFreedMemory();
