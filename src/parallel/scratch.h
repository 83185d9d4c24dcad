// Scratch space for kernels: one growing buffer per thread, reserved when a scheduler worker
// starts, so that a kernel's temporary arrays (pair lists, index rows, level copies) cost no
// allocation in a loop. The buffer is the calling thread's own; a kernel that calls another
// kernel needing scratch must take what it needs first and pass it down.
#pragma once
#include <cstddef>

// At least `bytes` bytes, 64-byte aligned, valid until the next call on this thread with a larger
// size; null when memory is exhausted (the caller reports fatal error 436, as for any allocation).
void* kst_parallel_scratch(std::size_t bytes);
// The bytes the calling thread holds now (0 before its first request).
std::size_t kst_parallel_scratchsize();
// What a new worker reserves before it takes its first task.
constexpr std::size_t KST_SCRATCH_INITIAL = 256u << 10;
// The worker-start hook of the scheduler: reserves the thread's scratch.
void kst_parallel_workerstart(int index);
