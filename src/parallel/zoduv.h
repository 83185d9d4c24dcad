// The ZODUV work-stealing scheduler: one worker per processor (the calling thread is worker 0),
// each with a pool of task slots and a deque of ready tasks; joining threads keep running tasks
// and idle workers steal. Free of the interpreter: tasks are plain objects with a run() member.
// Tasks are queued and joined from the main thread (worker 0) or from inside tasks: any other
// thread also counts as worker 0 and must not use the scheduler while the main thread does.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <pthread.h>
#include <type_traits>

#include "parallel/queue.h"
#include "parallel/topbotdeque.h"

constexpr int ZODUV_NTASKSLOT = 1025;           // task slots per worker
constexpr std::uint32_t ZODUV_DEQUESIZE = 8192; // entries of a worker's deque
constexpr std::size_t ZODUV_TASKINLINE = 128;   // task objects below this size travel inline
constexpr std::size_t ZODUV_FASTLOOPSIZE = 528; // loop objects up to this size are copied
constexpr int ZODUV_MAXJOINDEPTH = 50;          // nested joins beyond this steal nothing

// The state byte every task and loop object starts with: whether the current run is spread over
// threads (each body then evaluates on its own context copy) or runs in the caller.
struct ZODUV_info {
    unsigned char m_zoduvstate = 0;
};
inline void ZODUV_setparallel(ZODUV_info* info) { info->m_zoduvstate = 1; }
inline void ZODUV_setsequential(ZODUV_info* info) { info->m_zoduvstate = 0; }
inline bool ZODUV_isparallel(const ZODUV_info* info) { return info->m_zoduvstate == 1; }
inline bool ZODUV_issequential(const ZODUV_info* info) { return info->m_zoduvstate != 1; }

// Base of task objects T (CRTP): the copies the scheduler makes of a queued task.
template <class T>
struct ZODUV_task : ZODUV_info {
    T* duplicate() const { return new T(static_cast<const T&>(*this)); }
    void memcpy(void* dest) const { ::new (dest) T(static_cast<const T&>(*this)); }
    static constexpr std::size_t getsize() { return sizeof(T); }
};

// Index of the calling thread in the scheduler; 0 for any thread the scheduler did not create.
int ZODUV_getindexcpu();
void ZODUV_setindexcpu(int index);

struct ZODUV_workerthread_data;
struct ZODUVDispatcher_join;

// A task slot: the task object lives in m_buffer when small enough, on the heap otherwise.
// Slots start on cache lines: the owner fills one while a thief reads its neighbour.
struct alignas(64) ZODUV_task_local : tlifo_node {
    using runfunc = void (*)(void* data, bool islocal);

    runfunc m_run = nullptr;
    void* m_data = nullptr;
    ZODUVDispatcher_join* m_join = nullptr;
    bool m_islocal = false;
    int m_owner = 0;  // worker whose pool holds this slot
    int m_index = 0;  // position in that pool
    alignas(16) unsigned char m_buffer[ZODUV_TASKINLINE];
};

// Count of unfinished children of one task group and the worker waiting for them. On a line of
// its own: children on other threads write it while the joiner works beside it on its stack.
struct alignas(64) ZODUVDispatcher_join {
    void add() { m_usedtask.fetch_add(1, std::memory_order_relaxed); }
    void remove();
    void jointask();
    int pending() const { return m_usedtask.load(std::memory_order_acquire); }

    std::atomic<ZODUV_workerthread_data*> m_worker{nullptr};
    std::atomic<int> m_usedtask{0};
};

// The run function of the fast loop open on a worker: claims blocks from *next until past last.
using ZODUV_fastrunfunc = void (*)(void* loop, std::atomic<std::int64_t>* next, std::int64_t last);

struct alignas(64) ZODUV_workerthread_data {
    ZODUV_workerthread_data();
    ~ZODUV_workerthread_data();
    ZODUV_workerthread_data(const ZODUV_workerthread_data&) = delete;
    ZODUV_workerthread_data& operator=(const ZODUV_workerthread_data&) = delete;

    int m_index = 0;
    std::atomic<bool> m_available{false};
    int m_joindepth = 0;  // touched only by the worker's own thread
    // Written only by the owner, read by statistics.
    std::atomic<std::uint64_t> m_nposted{0};
    std::atomic<std::uint64_t> m_ninplace{0};

    // Free slots: the owner takes from its private list without atomics and refills it in one
    // exchange from the stack where other threads return the slots of the tasks they ran.
    ZODUV_task_local m_slots[ZODUV_NTASKSLOT];
    tlifo_node* m_ownfree = nullptr;  // owner only
    tlifo_singleconsumer m_returnedslots;
    ZODUV_task_local* takeslot()
    {
        if (!m_ownfree) m_ownfree = m_returnedslots.popall();
        tlifo_node* n = m_ownfree;
        if (n) m_ownfree = n->m_lifonext;
        return static_cast<ZODUV_task_local*>(n);
    }
    ttopbotdeque<ZODUV_task_local*, ZODUV_DEQUESIZE> m_deque;

    pthread_mutex_t m_joinmutex;
    pthread_cond_t m_joincond;
    std::atomic<bool> m_joinsleeping{false};   // set while this worker sleeps in a join
    pthread_t m_thread{};

    // The fast-loop slot: participants is -1 while closed; open is 1 while the owner distributes.
    alignas(16) unsigned char m_fastbuffer[ZODUV_FASTLOOPSIZE];
    void* m_fastloop = nullptr;
    std::atomic<ZODUV_fastrunfunc> m_fastrun{nullptr};
    std::atomic<std::int64_t> m_fastnext{0};
    std::int64_t m_fastlast = 0;
    std::atomic<std::int64_t> m_fastparticipants{-1};
    std::atomic<int> m_fastopen{0};
};

class ZODUV_LocalThreadManager {
public:
    explicit ZODUV_LocalThreadManager(int nthreads);
    ~ZODUV_LocalThreadManager();

    // Queues a task on the calling thread's own deque.
    template <class T>
    void posttask(ZODUVDispatcher_join* join, const T& task) { sendjob(ZODUV_getindexcpu(), join, task); }
    // Queues on worker index's deque; only that worker's thread may call it.
    template <class T>
    void sendjob(int index, ZODUVDispatcher_join* join, const T& task);

    // Takes and runs one queued task if any; answers whether tasks are still queued.
    bool findandexecute(int index);
    // Runs loop with the calling thread's fast-loop slot, helped by idle threads; false when
    // that slot is already in use (a fast loop nested in its own body), nothing run then.
    bool execute_loop_forfast(void* loop, std::size_t size, bool copyable, ZODUV_fastrunfunc run,
                              std::int64_t first, std::int64_t last);
    void setavailablethread(int lastindex);
    void setsteal_withnumaaffinity(const char* kestdir, const char* numacfg);
    void startthreads();
    void threadfunc(int index);

    // Read-mostly fields first; each counter that threads hammer sits on a cache line of its own.
    int m_maxthread;
    bool m_hyperthreading = false;
    ZODUV_workerthread_data* m_workers;  // m_maxthread + 1 entries
    std::atomic<void (*)(int)> m_idlefunc{nullptr};
    pthread_mutex_t m_mutex;
    pthread_cond_t m_cond;
    alignas(64) std::atomic<int> m_parked{0};         // workers inside the idle wait
    alignas(64) std::atomic<int> m_openfastloops{0};  // fast loops that idle workers could help

private:
    friend struct ZODUVDispatcher_join;
    void queueslot(ZODUV_workerthread_data& w, ZODUV_task_local& slot);
    ZODUV_task_local* findtask(int index);
    bool steal_loop_forfast(ZODUV_workerthread_data& owner);
    bool find_loop_forfast_counttask(int index);
    void performultiplejobs(int index);
    bool haswork(const ZODUV_workerthread_data& w) const;
    bool anyqueued() const;   // some deque holds a task (the queued tasks are the deques' contents)
    void wakeparked();
};

extern ZODUV_LocalThreadManager* g_ZODUV_manager;

// Runs the task in slot on worker runner's thread (then frees its object) and gives the slot
// back to its pool.
void ZODUV_executeslot(ZODUV_task_local* slot, int runner);

// What the scheduler does when memory for a task is exhausted: the kernel reports its fatal error
// there (the hook does not return); without a hook the process aborts.
void ZODUV_setnomemfunc(void (*func)(std::size_t bytes));
[[noreturn]] void ZODUV_nomemory(std::size_t bytes);

template <class T>
void ZODUV_runtaskobject(void* data, bool islocal)
{
    T* task = static_cast<T*>(data);
    task->run();
    if (islocal)
        task->~T();
    else
        delete task;
}

template <class T>
void ZODUV_LocalThreadManager::sendjob(int index, ZODUVDispatcher_join* join, const T& task)
{
    ZODUV_workerthread_data& w = m_workers[index];
    join->add();
    ZODUV_task_local* const free = w.takeslot();
    if (!free) {
        // Every slot is in flight: the task runs here and now.
        w.m_ninplace.store(w.m_ninplace.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        T copy(task);
        copy.run();
        join->remove();
        return;
    }
    ZODUV_task_local& slot = *free;
    slot.m_join = join;
    if constexpr (sizeof(T) < ZODUV_TASKINLINE && alignof(T) <= 16) {
        ::new (slot.m_buffer) T(task);
        slot.m_data = slot.m_buffer;
        slot.m_islocal = true;
    } else {
        slot.m_data = new (std::nothrow) T(task);
        if (!slot.m_data) ZODUV_nomemory(sizeof(T));
        slot.m_islocal = false;
    }
    slot.m_run = &ZODUV_runtaskobject<T>;
    queueslot(w, slot);
}

// Core entry points.
int ZODUV_getncpu();
bool ZODUV_haveCAS2();
// nthreads <= 0: one thread per processor. Returns 1; a second call changes nothing.
int ZODUV_init(const char* kestdir, const char* numacfg, int nthreads = 0);
void ZODUV_finalize();
void ZODUV_setavailablecpu(int n);
int ZODUV_getmaxavailablecpu();
void ZODUV_setidlefunc(void (*func)(int));
int ZODUV_isnumabind();
// Hyper-threading as read from a cpuinfo text file: (largest physical id + 1) * cpu cores equals
// half of ncpu. False when the file cannot be read.
bool ZODUV_cpuinfo_hyperthreading(const char* path, int ncpu);
// The rank at which a worker becomes available as the thread count grows: in index order, or,
// with hyper-threading, the even workers (one logical processor per core) before the odd ones.
int ZODUV_availablerank(int worker, int ncpu, bool hyperthreading);

// Statistics for tests and benchmarks: tasks queued on deques and tasks run at once because no
// slot was free, summed over workers.
std::uint64_t ZODUV_getpostedcount();
std::uint64_t ZODUV_getinplacecount();
