// Per-thread pools of fixed-size blocks: series terms and nodes, boxes of exact integers and their
// small limb arrays. A product of millions of terms asks for millions of blocks; malloc spent a
// quarter of such a product in its own bookkeeping, and the fresh 4 KiB pages behind it another
// third.
#pragma once
#include "interp/error.h"

#include <atomic>
#include <cstdlib>
#include <cstddef>
#include <mutex>
#include <utility>
#include <vector>

// Initial-exec: the library is linked by its host, not opened later, so the pools sit in the
// static TLS block and a block costs no __tls_get_addr call (it was 13% of a large product).
#define KST_TLS_IE __attribute__((tls_model("initial-exec")))

// Blocks of SIZE bytes carved from chunks, recycled through a free list of the thread that frees
// them. Terms made by the tasks of a parallel product are mostly freed by the main thread: a
// thread whose list grows past two batches hands a batch to a depot shared by all threads of the
// same TAG, and a thread whose list is empty takes a batch from there before it asks for a new
// chunk, so memory circulates instead of piling up in one thread. The depot's lock is taken once
// per batch of 4096 blocks; a thread that ends leaves its list and the uncut rest of its chunk
// there. Chunks of 2 MiB, then 4 MiB, sit on huge pages (on this kind of machine a fault per
// fresh 4 KiB page cost more than the arithmetic that fills it) and live until the process ends.
// TAG keeps pools of the same size apart.
// Under the address and thread sanitizers every block is its own allocation, so that a block
// used after it was given back is reported rather than hidden in a free list.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kst_pooled = false;
#else
inline constexpr bool kst_pooled = true;
#endif

template <size_t SIZE, class TAG>
class t_pool {
    static_assert(SIZE >= sizeof(void*) && SIZE % alignof(void*) == 0, "a block holds the free-list link");

public:
    t_pool() = default;
    t_pool(const t_pool&) = delete;
    t_pool& operator=(const t_pool&) = delete;
    // A thread that ends leaves its blocks to the others.
    ~t_pool()
    {
        const bool uncut = static_cast<size_t>(m_end - m_bump) >= SIZE;
        if (!m_free && !uncut) return;
        Depot& d = depot();
        std::lock_guard<std::mutex> g(d.lock);
        if (m_free) d.batches.push_back({m_free, m_count});
        // The uncut rest of the chunk goes as it is: threading it into a list would write every
        // block of megabytes that nobody may ask for.
        if (uncut) d.ranges.push_back({m_bump, m_end});
    }
    void* get()
    {
        if constexpr (!kst_pooled) return kst_checkmalloc(SIZE);
        if (!m_free) {
            if (static_cast<size_t>(m_end - m_bump) < SIZE) refill();
            if (!m_free) {
                void* p = m_bump;
                m_bump += SIZE;
                return p;
            }
        }
        Free* f = m_free;
        m_free = f->next;
        m_count--;
        return f;
    }
    void put(void* p)
    {
        if constexpr (!kst_pooled) {
            free(p);
            return;
        }
        Free* f = static_cast<Free*>(p);
        f->next = m_free;
        m_free = f;
        if (++m_count >= 2 * kBatch) giveback();
    }
    // Chunks taken so far by every thread's pool of this kind.
    static long chunks() { return s_chunks.load(std::memory_order_relaxed); }

private:
    struct Free {
        Free* next;
    };
    static constexpr size_t kChunk = size_t(2) << 20;
    static constexpr size_t kMaxChunk = size_t(4) << 20;
    static constexpr size_t kBatch = 4096;
    struct Batch {
        Free* head;
        size_t count;
    };
    struct Depot {
        std::mutex lock;
        std::vector<Batch> batches;
        std::vector<std::pair<char*, char*>> ranges;   // uncut rests left by threads that ended
    };
    static Depot& depot()
    {
        static Depot* d = new Depot;   // never destroyed: threads may free blocks at exit
        return *d;
    }
    void giveback()
    {
        Free* head = m_free;
        Free* last = head;
        for (size_t i = 1; i < kBatch; i++) last = last->next;
        m_free = last->next;
        last->next = nullptr;
        m_count -= kBatch;
        Depot& d = depot();
        std::lock_guard<std::mutex> g(d.lock);
        d.batches.push_back({head, kBatch});
    }
    void refill()
    {
        {
            Depot& d = depot();
            std::lock_guard<std::mutex> g(d.lock);
            if (!d.batches.empty()) {
                m_free = d.batches.back().head;
                m_count = d.batches.back().count;
                d.batches.pop_back();
                return;
            }
            if (!d.ranges.empty()) {
                m_bump = d.ranges.back().first;
                m_end = d.ranges.back().second;
                d.ranges.pop_back();
                return;
            }
        }
        // Exhausted memory ends the session with fatal error 436, checked once per chunk.
        const size_t bytes = m_chunk;
        if (m_chunk < kMaxChunk) m_chunk *= 2;
        char* chunk = static_cast<char*>(kst_checkmalloc_huge(bytes));
        s_chunks.fetch_add(1, std::memory_order_relaxed);
        // Blocks are cut from the fresh chunk as they are asked for: threading a free list
        // through it first wrote every block once more and touched its pages ahead of use.
        m_bump = chunk;
        m_end = chunk + bytes;
    }
    static inline std::atomic<long> s_chunks{0};
    Free* m_free = nullptr;
    size_t m_count = 0;
    char* m_bump = nullptr;   // the uncut rest of the newest chunk
    char* m_end = nullptr;
    size_t m_chunk = kChunk;
};
