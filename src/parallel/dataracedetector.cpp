// The data-race detector of parallel regions and the keyed computation lock.
#include "parallel/dataracedetector.h"

#include "parallel/zoduv.h"

namespace {
std::atomic<int> s_openregions{0};
std::atomic<std::uint32_t> s_lastregion{0};
thread_local std::uint32_t s_taskregion = 0;
} // namespace

std::uint32_t t_dataracedetector::addOpenMPregion()
{
    s_openregions.fetch_add(1, std::memory_order_seq_cst);
    std::uint32_t id = s_lastregion.fetch_add(1, std::memory_order_relaxed) + 1;
    return id ? id : s_lastregion.fetch_add(1, std::memory_order_relaxed) + 1;   // 0 means "no task"
}

std::uint32_t kst_omp_taskregion() { return s_taskregion; }

t_omptaskscope::t_omptaskscope(std::uint32_t region) : m_saved(s_taskregion) { s_taskregion = region; }
t_omptaskscope::~t_omptaskscope() { s_taskregion = m_saved; }
void t_dataracedetector::removeOpenMPregion() { s_openregions.fetch_sub(1, std::memory_order_seq_cst); }
int t_dataracedetector::openMPregions() { return s_openregions.load(std::memory_order_seq_cst); }

void t_dataracedetector::writeaccess()
{
    if (s_openregions.load(std::memory_order_relaxed) > 0)
        m_lastwriter.store(ZODUV_getindexcpu(), std::memory_order_relaxed);
}

bool t_dataracedetector::iswriteowner() const
{
    if (s_openregions.load(std::memory_order_relaxed) <= 0) return true;
    return m_lastwriter.load(std::memory_order_relaxed) == ZODUV_getindexcpu();
}

void kst_threadarrayinitlock(t_threadarraylock* table)
{
    const int n = ZODUV_getmaxavailablecpu();
    std::vector<t_threadarraylock_entry> fresh(static_cast<std::size_t>(n > 0 ? n : 1));
    table->entries.swap(fresh);
}

t_threadarraylock_entry* kst_threadarraylock(t_threadarraylock* table, const void* a, const void* b)
{
    std::unique_lock<std::mutex> lock(table->mutex);
    for (;;) {
        for (t_threadarraylock_entry& e : table->entries) {
            if (e.inuse && e.a == a && e.b == b) {
                e.waiting = true;
                const std::uint64_t generation = e.generation;
                e.cond.wait(lock, [&e, generation] { return e.generation != generation; });
                return nullptr;
            }
        }
        for (t_threadarraylock_entry& e : table->entries) {
            if (!e.inuse) {
                e.inuse = true;
                e.waiting = false;
                e.a = a;
                e.b = b;
                return &e;
            }
        }
        // More keys in flight than entries (callers outside the scheduler): wait for one.
        table->freecond.wait(lock);
    }
}

void kst_threadarrayunlock(t_threadarraylock* table, t_threadarraylock_entry* entry)
{
    if (!entry) return;
    std::lock_guard<std::mutex> lock(table->mutex);
    const bool waiters = entry->waiting;
    entry->waiting = false;
    entry->inuse = false;
    entry->a = entry->b = nullptr;
    ++entry->generation;
    if (waiters) entry->cond.notify_all();
    table->freecond.notify_all();
}
