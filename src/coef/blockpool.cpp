// Per-thread free lists of small blocks: sizes rounded up to 16 bytes, up to 1 KiB (a run pile
// with its parameter entries is about 800 bytes), each
// list holding at most a bounded number of blocks so that a burst does not pin memory.
#include "coef/blockpool.h"

#include <cstdint>
#include <cstdlib>

namespace {
constexpr std::size_t k_granule = 16;
constexpr std::size_t k_classes = 64;            // blocks up to 1 KiB
constexpr std::uint32_t k_maxperclass = 4096;

struct t_freeblock {
    t_freeblock* next;
};

// Plain data in the static TLS block: taking and giving touch no guard and call no loader.
struct t_freelists {
    t_freeblock* head[k_classes];
    std::uint32_t count[k_classes];
    bool owned;
    bool ended;   // the thread is ending: what its later destructors give goes to the heap
};
thread_local __attribute__((tls_model("initial-exec"))) t_freelists s_lists;

void drain()
{
    for (std::size_t c = 0; c < k_classes; c++) {
        while (t_freeblock* b = s_lists.head[c]) {
            s_lists.head[c] = b->next;
            ::operator delete(b);
        }
        s_lists.count[c] = 0;
    }
}

struct t_drainer {
    ~t_drainer()
    {
        drain();
        s_lists.ended = true;
    }
};
thread_local t_drainer s_drainer;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool k_pooled = false;   // the sanitizers see every allocation as it is
#else
constexpr bool k_pooled = true;
#endif
} // namespace

void* kst_blocktake(std::size_t size)
{
    if (size == 0) size = 1;
    std::size_t c = (size + k_granule - 1) / k_granule;
    if (k_pooled && c < k_classes) {
        if (t_freeblock* b = s_lists.head[c]) {
            s_lists.head[c] = b->next;
            s_lists.count[c]--;
            return b;
        }
        return ::operator new(c * k_granule);
    }
    return ::operator new(size);
}

void kst_blockgive(void* p, std::size_t size) noexcept
{
    if (!p) return;
    if (size == 0) size = 1;
    std::size_t c = (size + k_granule - 1) / k_granule;
    if (k_pooled && c < k_classes && s_lists.count[c] < k_maxperclass && !s_lists.ended) {
        if (!s_lists.owned) {
            (void)&s_drainer;   // the thread's blocks go back to the heap when it ends
            s_lists.owned = true;
        }
        auto* b = static_cast<t_freeblock*>(p);
        b->next = s_lists.head[c];
        s_lists.head[c] = b;
        s_lists.count[c]++;
        return;
    }
    ::operator delete(p);
}
