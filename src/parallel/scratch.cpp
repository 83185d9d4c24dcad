// Per-thread scratch buffers of the kernels.
#include "parallel/scratch.h"

#include <cstdio>
#include <cstdlib>

namespace {
struct t_scratch {
    void* p = nullptr;
    std::size_t size = 0;
    ~t_scratch() { std::free(p); }
};
thread_local t_scratch s_scratch;
} // namespace

void* kst_parallel_scratch(std::size_t bytes)
{
    t_scratch& s = s_scratch;
    if (bytes <= s.size) return s.p;
    std::size_t size = s.size ? s.size : KST_SCRATCH_INITIAL;
    while (size < bytes) size *= 2;
    void* p = std::aligned_alloc(64, size);
    if (!p) return nullptr;
    std::free(s.p);
    s.p = p;
    s.size = size;
    return p;
}

std::size_t kst_parallel_scratchsize() { return s_scratch.size; }

void kst_parallel_workerstart(int) { kst_parallel_scratch(KST_SCRATCH_INITIAL); }
