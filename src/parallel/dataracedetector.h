// Write tracking for array elements inside the language's parallel regions, and the keyed
// computation lock with which one thread computes a shared result while the others wait for it.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

// One per array element: the last writing thread, recorded only while a parallel region is open,
// so that sequential code pays one relaxed load per write.
class t_dataracedetector {
public:
    t_dataracedetector() = default;
    t_dataracedetector(const t_dataracedetector& other)
        : m_lastwriter(other.m_lastwriter.load(std::memory_order_relaxed)) {}
    t_dataracedetector& operator=(const t_dataracedetector& other)
    {
        m_lastwriter.store(other.m_lastwriter.load(std::memory_order_relaxed), std::memory_order_relaxed);
        return *this;
    }

    void writeaccess();
    void readaccess() {}
    // True outside regions, or when the last access was a write by the calling thread.
    bool iswriteowner() const;
    void clearaccess() { m_lastwriter.store(-1, std::memory_order_relaxed); }

    // addOpenMPregion answers the region's number: 1, 2, ... in the order regions open.
    static std::uint32_t addOpenMPregion();
    static void removeOpenMPregion();
    static int openMPregions();

private:
    std::atomic<int> m_lastwriter{-1};
};

// The region whose task the calling thread is running, 0 outside the tasks of parallel regions.
// Objects stamped with it at creation are the task's own; anything older is shared with the
// caller and the other tasks.
std::uint32_t kst_omp_taskregion();

// Marks the calling thread as running a task of `region` while it lives (tasks nest when a
// joining thread runs another region's task).
class t_omptaskscope {
public:
    explicit t_omptaskscope(std::uint32_t region);
    ~t_omptaskscope();
    t_omptaskscope(const t_omptaskscope&) = delete;
    t_omptaskscope& operator=(const t_omptaskscope&) = delete;

private:
    std::uint32_t m_saved;
};

// Keyed computation lock: one entry per processor, each holding the key (a, b) being computed.
struct t_threadarraylock_entry {
    bool inuse = false;
    bool waiting = false;
    const void* a = nullptr;
    const void* b = nullptr;
    std::uint64_t generation = 0;  // bumped at each release, so waiters know their turn is over
    std::condition_variable cond;
};

struct t_threadarraylock {
    std::mutex mutex;
    std::condition_variable freecond;  // an entry became free
    std::vector<t_threadarraylock_entry> entries;
};

// Sizes the table to the processor count; the table must not be in use.
void kst_threadarrayinitlock(t_threadarraylock* table);
// The first thread asking for (a, b) gets an entry and computes; a thread asking for the same key
// meanwhile waits until the entry is released and gets null: the result is then there to find.
t_threadarraylock_entry* kst_threadarraylock(t_threadarraylock* table, const void* a, const void* b);
void kst_threadarrayunlock(t_threadarraylock* table, t_threadarraylock_entry* entry);
