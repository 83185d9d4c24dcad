// The scheduler core: start-up and thread creation, queueing, stealing, parking, joining and the
// fast loops that idle threads help.
#include "parallel/zoduv.h"
#include "parallel/scratch.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <sched.h>
#include <signal.h>
#include <thread>
#include <unistd.h>

ZODUV_LocalThreadManager* g_ZODUV_manager = nullptr;

namespace {

thread_local int t_indexcpu = 0;
bool s_havecas2 = false;

// Busy waits: a short pause keeps a spinning thread off the other hyper-thread's back.
inline void cpu_relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// How long a worker looks for work before parking, and a joiner before sleeping: long enough to
// bridge the gap between two fine-grained loops, short enough not to burn a shared machine.
constexpr auto k_workerspin = std::chrono::microseconds(200);
constexpr int k_joinspin = 2000;

timespec deadline_after(long nanoseconds)
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    ts.tv_nsec += nanoseconds;
    while (ts.tv_nsec >= 1000000000L) {
        ts.tv_nsec -= 1000000000L;
        ts.tv_sec += 1;
    }
    return ts;
}

void init_monotonic_cond(pthread_cond_t* cond)
{
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(cond, &attr);
    pthread_condattr_destroy(&attr);
}

// Creator and new thread meet here: the second to arrive signals, the first waits. One record per
// worker, kept for the life of the process, so neither side can outlive the other's last access.
struct ZODUV_firstrundata {
    int index = 0;
    ZODUV_LocalThreadManager* manager = nullptr;
    std::mutex mutex;
    std::condition_variable cond;
    int count = 0;
};

void ZODUV_synchronize_master_slave(ZODUV_firstrundata* data)
{
    std::unique_lock<std::mutex> lock(data->mutex);
    if (++data->count == 2) {
        data->cond.notify_one();
        return;
    }
    data->cond.wait(lock, [data] { return data->count >= 2; });
}

void* ZODUV_threadstart(void* arg)
{
    auto* data = static_cast<ZODUV_firstrundata*>(arg);
    ZODUV_setindexcpu(data->index);
    kst_parallel_workerstart(data->index);
    ZODUV_synchronize_master_slave(data);
    data->manager->threadfunc(data->index);
    return nullptr;
}

} // namespace

int ZODUV_getindexcpu() { return t_indexcpu; }
void ZODUV_setindexcpu(int index) { t_indexcpu = index; }

// ---------------------------------------------------------------------------------------------
// Workers and manager

ZODUV_workerthread_data::ZODUV_workerthread_data()
{
    // Slot 0 on top, so that a fresh pool hands out its slots in order.
    for (int s = ZODUV_NTASKSLOT - 1; s >= 0; --s) {
        m_slots[s].m_lifonext = m_ownfree;
        m_ownfree = &m_slots[s];
    }
    m_returnedslots.init();
    m_deque.init();
    pthread_mutex_init(&m_joinmutex, nullptr);
    init_monotonic_cond(&m_joincond);
}

ZODUV_workerthread_data::~ZODUV_workerthread_data()
{
    pthread_cond_destroy(&m_joincond);
    pthread_mutex_destroy(&m_joinmutex);
}

ZODUV_LocalThreadManager::ZODUV_LocalThreadManager(int nthreads)
    : m_maxthread(nthreads)
{
    pthread_mutex_init(&m_mutex, nullptr);
    init_monotonic_cond(&m_cond);
    m_workers = new ZODUV_workerthread_data[static_cast<std::size_t>(nthreads) + 1];
    for (int i = 0; i <= nthreads; ++i) {
        ZODUV_workerthread_data& w = m_workers[i];
        w.m_index = i;
        for (int s = 0; s < ZODUV_NTASKSLOT; ++s) {
            w.m_slots[s].m_owner = i;
            w.m_slots[s].m_index = s;
        }
    }
    m_workers[0].m_thread = pthread_self();
}

// Never called while workers run: the manager lives as long as the process.
ZODUV_LocalThreadManager::~ZODUV_LocalThreadManager()
{
    delete[] m_workers;
    pthread_cond_destroy(&m_cond);
    pthread_mutex_destroy(&m_mutex);
}

void ZODUV_LocalThreadManager::startthreads()
{
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    // Joins run tasks on the joiner's stack, nested up to the join-depth limit.
    pthread_attr_setstacksize(&attr, 16u << 20);
    // Workers inherit a mask without the terminal and timer signals, so that Ctrl-C and the like
    // reach the main thread, where the session handles them.
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP, SIGCONT, SIGWINCH, SIGALRM, SIGCHLD, SIGUSR1, SIGUSR2})
        sigaddset(&blocked, sig);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    auto* firstrun = new ZODUV_firstrundata[static_cast<std::size_t>(m_maxthread)];
    for (int i = 1; i < m_maxthread; ++i) {
        ZODUV_firstrundata& data = firstrun[i];
        data.index = i;
        data.manager = this;
        if (pthread_create(&m_workers[i].m_thread, &attr, &ZODUV_threadstart, &data) != 0) {
            fprintf(stderr, "fatalerror from pthread library\n");
            fflush(stderr);
            abort();
        }
        pthread_detach(m_workers[i].m_thread);
        ZODUV_synchronize_master_slave(&data);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    pthread_attr_destroy(&attr);
}

void ZODUV_LocalThreadManager::setsteal_withnumaaffinity(const char* kestdir, const char* numacfg)
{
    // No binding is applied and the configuration is not read: every worker steals from all.
    (void)kestdir;
    (void)numacfg;
}

void ZODUV_LocalThreadManager::setavailablethread(int lastindex)
{
    const int count = lastindex + 1;
    for (int i = 0; i < m_maxthread; ++i) {
        const bool on = ZODUV_availablerank(i, m_maxthread, m_hyperthreading) < count;
        m_workers[i].m_available.store(on, std::memory_order_seq_cst);
    }
    // Workers made available must notice; the others park at their next look.
    pthread_mutex_lock(&m_mutex);
    pthread_cond_broadcast(&m_cond);
    pthread_mutex_unlock(&m_mutex);
}

void ZODUV_LocalThreadManager::wakeparked()
{
    if (m_parked.load(std::memory_order_seq_cst) > 0) {
        pthread_mutex_lock(&m_mutex);
        pthread_cond_broadcast(&m_cond);
        pthread_mutex_unlock(&m_mutex);
    }
}

void ZODUV_LocalThreadManager::queueslot(ZODUV_workerthread_data& w, ZODUV_task_local& slot)
{
    if (!w.m_deque.push(&slot)) {
        w.m_ninplace.store(w.m_ninplace.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        ZODUV_executeslot(&slot, w.m_index);
        return;
    }
    w.m_nposted.store(w.m_nposted.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    // A parked worker registers in m_parked before it looks at the deques: either it sees this
    // task, or this thread, past the fence, sees it parked and wakes it. No process-wide count
    // is touched per task: a counter that every push and every take writes bounced between the
    // cores and cost more than the task itself.
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (m_parked.load(std::memory_order_relaxed) > 0) wakeparked();
}

void ZODUV_executeslot(ZODUV_task_local* slot, int runner)
{
    const ZODUV_task_local::runfunc run = slot->m_run;
    void* const data = slot->m_data;
    const bool islocal = slot->m_islocal;
    ZODUVDispatcher_join* const join = slot->m_join;
    run(data, islocal);
    // The slot goes back before the join is released, so a finished group holds no slot.
    ZODUV_workerthread_data& owner = g_ZODUV_manager->m_workers[slot->m_owner];
    if (slot->m_owner == runner) {
        slot->m_lifonext = owner.m_ownfree;
        owner.m_ownfree = slot;
    } else {
        owner.m_returnedslots.push(slot);
    }
    join->remove();
}

ZODUV_task_local* ZODUV_LocalThreadManager::findtask(int index)
{
    ZODUV_workerthread_data& self = m_workers[index];
    ZODUV_task_local* task = nullptr;
    if (self.m_joindepth >= ZODUV_MAXJOINDEPTH) {
        if (self.m_deque.popbottom(task)) return task;
        if (self.m_fastopen.load(std::memory_order_acquire) == 1) steal_loop_forfast(self);
        return nullptr;
    }
    int victim = index;
    for (int k = 0; k < m_maxthread; ++k) {
        ZODUV_workerthread_data& w = m_workers[victim];
        if (w.m_deque.pop(task, index, victim)) return task;
        if (w.m_fastopen.load(std::memory_order_acquire) == 1 && steal_loop_forfast(w)) return nullptr;
        if (++victim == m_maxthread) victim = 0;
    }
    return nullptr;
}

bool ZODUV_LocalThreadManager::anyqueued() const
{
    for (int k = 0; k < m_maxthread; ++k)
        if (!m_workers[k].m_deque.empty()) return true;
    return false;
}

bool ZODUV_LocalThreadManager::findandexecute(int index)
{
    if (ZODUV_task_local* task = findtask(index)) {
        ZODUV_executeslot(task, index);
        return true;
    }
    return anyqueued();
}

bool ZODUV_LocalThreadManager::haswork(const ZODUV_workerthread_data& w) const
{
    return w.m_available.load(std::memory_order_relaxed) &&
           (anyqueued() ||
            m_openfastloops.load(std::memory_order_relaxed) > 0);
}

void ZODUV_LocalThreadManager::threadfunc(int index)
{
    for (;;) performultiplejobs(index);
}

void ZODUV_LocalThreadManager::performultiplejobs(int index)
{
    ZODUV_workerthread_data& w = m_workers[index];
    if (!haswork(w)) {
        // Back off between looks: every look reads the counters that the posting thread writes.
        const auto spinend = std::chrono::steady_clock::now() + k_workerspin;
        for (int n = 0, pauses = 1; !haswork(w); ++n) {
            if ((n & 15) == 15) {
                if (std::chrono::steady_clock::now() >= spinend) break;
                if (n > 256) sched_yield();
            }
            for (int k = 0; k < pauses; ++k) cpu_relax();
            if (pauses < 32) pauses *= 2;
        }
    }
    if (!haswork(w)) {
        pthread_mutex_lock(&m_mutex);
        m_parked.fetch_add(1, std::memory_order_seq_cst);
        while (!w.m_available.load(std::memory_order_seq_cst) ||
               (!anyqueued() &&
                m_openfastloops.load(std::memory_order_seq_cst) <= 0)) {
            const timespec ts = deadline_after(1000000000L);
            const int rc = pthread_cond_timedwait(&m_cond, &m_mutex, &ts);
            if (rc == ETIMEDOUT && !anyqueued()) {
                m_parked.fetch_sub(1, std::memory_order_seq_cst);
                pthread_mutex_unlock(&m_mutex);
                if (void (*idle)(int) = m_idlefunc.load(std::memory_order_acquire)) idle(index);
                if (w.m_available.load(std::memory_order_relaxed)) find_loop_forfast_counttask(index);
                pthread_mutex_lock(&m_mutex);
                m_parked.fetch_add(1, std::memory_order_seq_cst);
            }
        }
        m_parked.fetch_sub(1, std::memory_order_seq_cst);
        pthread_mutex_unlock(&m_mutex);
    }
    while (w.m_available.load(std::memory_order_relaxed) && findandexecute(index)) {
    }
    if (w.m_available.load(std::memory_order_relaxed) && m_openfastloops.load(std::memory_order_relaxed) > 0)
        find_loop_forfast_counttask(index);
    if (void (*idle)(int) = m_idlefunc.load(std::memory_order_acquire)) idle(index);
}

// ---------------------------------------------------------------------------------------------
// Joining

void ZODUVDispatcher_join::remove()
{
    // The worker is read before the count drops: once it reaches 0 the join may be gone.
    ZODUV_workerthread_data* w = m_worker.load(std::memory_order_seq_cst);
    // Only a sleeping joiner needs the signal; the flag lives with the worker, which outlives
    // the join that may be gone once the count is 0.
    if (m_usedtask.fetch_sub(1, std::memory_order_seq_cst) == 1 && w && w->m_joinsleeping.load(std::memory_order_seq_cst)) {
        pthread_mutex_lock(&w->m_joinmutex);
        pthread_cond_signal(&w->m_joincond);
        pthread_mutex_unlock(&w->m_joinmutex);
    }
}

void ZODUVDispatcher_join::jointask()
{
    if (m_usedtask.load(std::memory_order_acquire) == 0) return;
    ZODUV_LocalThreadManager* manager = g_ZODUV_manager;
    const int index = ZODUV_getindexcpu();
    ZODUV_workerthread_data* w = &manager->m_workers[index];
    m_worker.store(w, std::memory_order_seq_cst);
    ++w->m_joindepth;
    int idle = 0;
    while (m_usedtask.load(std::memory_order_seq_cst) != 0) {
        ZODUV_task_local* task = manager->findtask(index);
        if (task) {
            ZODUV_executeslot(task, index);
            idle = 0;
            continue;
        }
        if (++idle < k_joinspin) {
            // pause only at first: a stolen child usually ends within microseconds
            cpu_relax();
            if (idle > k_joinspin / 4 && (idle & 63) == 0) sched_yield();
            continue;
        }
        // The children run elsewhere: sleep, but never long, since a wake-up may slip by.
        pthread_mutex_lock(&w->m_joinmutex);
        w->m_joinsleeping.store(true, std::memory_order_seq_cst);
        if (m_usedtask.load(std::memory_order_seq_cst) != 0) {
            const timespec ts = deadline_after(1000000L);
            pthread_cond_timedwait(&w->m_joincond, &w->m_joinmutex, &ts);
        }
        w->m_joinsleeping.store(false, std::memory_order_relaxed);
        pthread_mutex_unlock(&w->m_joinmutex);
        idle = k_joinspin / 2;
    }
    --w->m_joindepth;
    m_worker.store(nullptr, std::memory_order_seq_cst);
}

// ---------------------------------------------------------------------------------------------
// Fast loops

bool ZODUV_LocalThreadManager::steal_loop_forfast(ZODUV_workerthread_data& owner)
{
    if (owner.m_fastopen.load(std::memory_order_acquire) != 1) return false;
    std::int64_t n = owner.m_fastparticipants.load(std::memory_order_seq_cst);
    do {
        if (n < 0) return false;
    } while (!owner.m_fastparticipants.compare_exchange_weak(n, n + 1, std::memory_order_seq_cst));
    bool helped = false;
    // Re-checked inside: the loop seen open may have been closed and another one opened since.
    if (owner.m_fastopen.load(std::memory_order_seq_cst) == 1) {
        if (ZODUV_fastrunfunc run = owner.m_fastrun.load(std::memory_order_seq_cst)) {
            run(owner.m_fastloop, &owner.m_fastnext, owner.m_fastlast);
            helped = true;
        }
        // The range is used up: whoever closes it first stops advertising it to idle workers.
        if (owner.m_fastopen.exchange(0, std::memory_order_seq_cst) == 1)
            m_openfastloops.fetch_sub(1, std::memory_order_seq_cst);
    }
    if (owner.m_fastparticipants.fetch_sub(1, std::memory_order_seq_cst) == 1) {
        // The last helper out: the owner may be asleep waiting for it.
        pthread_mutex_lock(&owner.m_joinmutex);
        pthread_cond_signal(&owner.m_joincond);
        pthread_mutex_unlock(&owner.m_joinmutex);
    }
    return helped;
}

bool ZODUV_LocalThreadManager::find_loop_forfast_counttask(int index)
{
    for (int k = 1; k < m_maxthread; ++k) {
        int victim = index + k;
        if (victim >= m_maxthread) victim -= m_maxthread;
        ZODUV_workerthread_data& w = m_workers[victim];
        if (w.m_fastopen.load(std::memory_order_acquire) == 1 && steal_loop_forfast(w)) return true;
    }
    return false;
}

bool ZODUV_LocalThreadManager::execute_loop_forfast(void* loop, std::size_t size, bool copyable,
                                                    ZODUV_fastrunfunc run, std::int64_t first,
                                                    std::int64_t last)
{
    ZODUV_workerthread_data& w = m_workers[ZODUV_getindexcpu()];
    std::int64_t closed = -1;
    // Reserve the slot: -2 marks it as being filled, so no helper can enter yet.
    if (!w.m_fastparticipants.compare_exchange_strong(closed, -2, std::memory_order_seq_cst)) return false;
    if (copyable && size <= ZODUV_FASTLOOPSIZE) {
        std::memcpy(w.m_fastbuffer, loop, size);
        w.m_fastloop = w.m_fastbuffer;
    } else {
        w.m_fastloop = loop;  // the caller's object outlives the loop
    }
    w.m_fastlast = last;
    w.m_fastnext.store(first, std::memory_order_seq_cst);
    w.m_fastrun.store(run, std::memory_order_seq_cst);
    w.m_fastparticipants.store(0, std::memory_order_seq_cst);
    w.m_fastopen.store(1, std::memory_order_seq_cst);
    m_openfastloops.fetch_add(1, std::memory_order_seq_cst);
    wakeparked();

    run(w.m_fastloop, &w.m_fastnext, last);

    if (w.m_fastopen.exchange(0, std::memory_order_seq_cst) == 1)
        m_openfastloops.fetch_sub(1, std::memory_order_seq_cst);
    // Helpers leave once they finish the blocks they hold; meanwhile run queued tasks, then sleep
    // until the last helper signals (timed, in case the signal slips by).
    ++w.m_joindepth;
    for (int n = 0;; ++n) {
        std::int64_t none = 0;
        if (w.m_fastparticipants.compare_exchange_strong(none, -1, std::memory_order_seq_cst)) break;
        if (ZODUV_task_local* task = findtask(w.m_index)) {
            ZODUV_executeslot(task, w.m_index);
            n = 0;
            continue;
        }
        if (n < k_joinspin) {
            cpu_relax();
            if ((n & 63) == 63) sched_yield();
            continue;
        }
        pthread_mutex_lock(&w.m_joinmutex);
        if (w.m_fastparticipants.load(std::memory_order_seq_cst) > 0) {
            const timespec ts = deadline_after(1000000L);
            pthread_cond_timedwait(&w.m_joincond, &w.m_joinmutex, &ts);
        }
        pthread_mutex_unlock(&w.m_joinmutex);
    }
    --w.m_joindepth;
    w.m_fastrun.store(nullptr, std::memory_order_seq_cst);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Start-up and settings

int ZODUV_getncpu()
{
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n >= 1 ? static_cast<int>(n) : 1;
}

bool ZODUV_haveCAS2() { return s_havecas2; }

namespace {
bool cpuinfo_hascx16(const char* path)
{
    FILE* f = fopen(path, "r");
    if (!f) return false;
    char line[4096];
    bool found = false;
    while (!found && fgets(line, sizeof line, f)) {
        if (strncmp(line, "flags", 5) == 0) found = strstr(line, " cx16") != nullptr;
    }
    fclose(f);
    return found;
}
} // namespace

bool ZODUV_cpuinfo_hyperthreading(const char* path, int ncpu)
{
    FILE* f = fopen(path, "r");
    if (!f) return false;
    char line[4096];
    long maxphysical = -1, maxcores = -1;
    while (fgets(line, sizeof line, f)) {
        const char* colon = strchr(line, ':');
        if (!colon) continue;
        long* target = nullptr;
        if (strncmp(line, "physical id", 11) == 0)
            target = &maxphysical;
        else if (strncmp(line, "cpu cores", 9) == 0)
            target = &maxcores;
        if (!target) continue;
        char* end = nullptr;
        const long v = strtol(colon + 1, &end, 10);
        if (end != colon + 1 && v > *target) *target = v;
    }
    fclose(f);
    if (maxphysical < 0 || maxcores <= 0) return false;
    return (maxphysical + 1) * maxcores * 2 == ncpu;
}

int ZODUV_availablerank(int worker, int ncpu, bool hyperthreading)
{
    if (!hyperthreading) return worker;
    return worker % 2 == 0 ? worker / 2 : (ncpu + 1) / 2 + worker / 2;
}

int ZODUV_init(const char* kestdir, const char* numacfg, int nthreads)
{
    if (g_ZODUV_manager) return 1;
    const int n = nthreads > 0 ? nthreads : ZODUV_getncpu();
    s_havecas2 = cpuinfo_hascx16("/proc/cpuinfo");
    auto* manager = new ZODUV_LocalThreadManager(n);
    manager->m_hyperthreading = ZODUV_cpuinfo_hyperthreading("/proc/cpuinfo", n);
    ZODUV_setindexcpu(0);
    kst_parallel_workerstart(0);   // the caller is worker 0
    manager->setavailablethread(n - 1);
    g_ZODUV_manager = manager;  // the new threads read it
    manager->startthreads();
    manager->setsteal_withnumaaffinity(kestdir, numacfg);
    return 1;
}

void ZODUV_finalize()
{
    if (g_ZODUV_manager) g_ZODUV_manager->m_idlefunc.store(nullptr, std::memory_order_release);
}

void ZODUV_setavailablecpu(int n)
{
    ZODUV_LocalThreadManager* manager = g_ZODUV_manager;
    if (!manager) return;
    n = std::clamp(n, 1, manager->m_maxthread);
    manager->setavailablethread(n - 1);
}

int ZODUV_getmaxavailablecpu() { return g_ZODUV_manager ? g_ZODUV_manager->m_maxthread : 1; }

namespace {
std::atomic<void (*)(std::size_t)> s_nomemfunc{nullptr};
}

void ZODUV_setnomemfunc(void (*func)(std::size_t)) { s_nomemfunc.store(func, std::memory_order_release); }

void ZODUV_nomemory(std::size_t bytes)
{
    if (void (*f)(std::size_t) = s_nomemfunc.load(std::memory_order_acquire)) f(bytes);
    abort();
}

void ZODUV_setidlefunc(void (*func)(int))
{
    if (g_ZODUV_manager) g_ZODUV_manager->m_idlefunc.store(func, std::memory_order_release);
}

int ZODUV_isnumabind() { return -1; }

std::uint64_t ZODUV_getpostedcount()
{
    ZODUV_LocalThreadManager* manager = g_ZODUV_manager;
    std::uint64_t total = 0;
    if (manager)
        for (int i = 0; i <= manager->m_maxthread; ++i)
            total += manager->m_workers[i].m_nposted.load(std::memory_order_relaxed);
    return total;
}

std::uint64_t ZODUV_getinplacecount()
{
    ZODUV_LocalThreadManager* manager = g_ZODUV_manager;
    std::uint64_t total = 0;
    if (manager)
        for (int i = 0; i <= manager->m_maxthread; ++i)
            total += manager->m_workers[i].m_ninplace.load(std::memory_order_relaxed);
    return total;
}
