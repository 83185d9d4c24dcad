// The scheduler's task groups and loop templates, each in a parallel flavour
// (ZODUVDispatcherLocal) and a sequential one (ZODUVDispatcherSequential) with one interface, so
// that a caller picks the flavour once and writes its loop once.
//
// Loop objects are shared by every task of a loop: their run members are called concurrently.
// Objects deriving from ZODUV_info learn whether the current run is parallel.
#pragma once
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "parallel/zoduv.h"

// Block sizes: one iteration per task for heavy bodies, blocks of 1000 for tiny ones, and the
// grain by which fast loops hand out 64-bit ranges.
struct ZODUVLargeGrain {
    static constexpr long long grain = 1;
};
struct ZODUVSmallGrain {
    static constexpr long long grain = 1;
    static constexpr long long fastgrain = 100;
};
struct ZODUVTinyGrain {
    static constexpr long long grain = 1000;
};

template <class T>
inline void ZODUV_markparallel(T& loop, bool parallel)
{
    if constexpr (std::is_base_of_v<ZODUV_info, T>) {
        if (parallel)
            ZODUV_setparallel(&loop);
        else
            ZODUV_setsequential(&loop);
    }
}

struct ZODUVDispatcherLocal {
    static constexpr bool parallel = true;
    template <class T>
    static void post(ZODUVDispatcher_join* join, const T& task)
    {
        if (ZODUV_LocalThreadManager* manager = g_ZODUV_manager) {
            manager->posttask(join, task);
        } else {
            T copy(task);
            copy.run();
        }
    }
    static void join(ZODUVDispatcher_join* join) { join->jointask(); }
};

struct ZODUVDispatcherSequential {
    static constexpr bool parallel = false;
    template <class T>
    static void post(ZODUVDispatcher_join*, const T& task)
    {
        T copy(task);
        copy.run();
    }
    static void join(ZODUVDispatcher_join*) {}
};

// A group of independent tasks; finish() returns when every added task has ended.
template <class D>
class ZODUV_independant_task {
public:
    ZODUV_independant_task() = default;
    ZODUV_independant_task(const ZODUV_independant_task&) = delete;
    ZODUV_independant_task& operator=(const ZODUV_independant_task&) = delete;
    ~ZODUV_independant_task() { finish(); }

    template <class T>
    void add(const T& task) { D::post(&m_join, task); }
    void finish() { D::join(&m_join); }
    int pending() const { return m_join.pending(); }

private:
    ZODUVDispatcher_join m_join;
};

// Tasks of the fixed-grain loops: a block of a shared loop object.
template <class I, class T>
struct ZODUVDispatcherLocal_process_for {
    T* loop;
    long long first, last;
    void run()
    {
        for (long long i = first; i <= last; ++i) loop->run(static_cast<I>(i));
    }
};

template <class I, class T>
struct ZODUVDispatcherLocal_process_forrange {
    T* loop;
    long long first, last;
    void run() { loop->run(static_cast<I>(first), static_cast<I>(last)); }
};

// Runs [first, last] in blocks of grain: whole in the caller when it fits one block, otherwise
// every full block as a task and the tail block in the caller, then joins.
template <class D, class I, class T, class Process, class Sequential>
void ZODUV_fixedgrain(long long grain, long long first, long long last, T& loop, Sequential&& sequential)
{
    if (first > last) return;
    if (grain < 1) grain = 1;
    if (!D::parallel || first + grain >= last) {
        ZODUV_markparallel(loop, false);
        sequential(first, last);
        return;
    }
    ZODUV_markparallel(loop, true);
    ZODUV_independant_task<D> group;
    long long s = first;
    while (s + grain - 1 < last) {
        group.add(Process{&loop, s, s + grain - 1});
        s += grain;
    }
    Process{&loop, s, last}.run();  // the small tail block
    group.finish();
}

// loop.run(i) for each i in [first, last], one task per iteration.
template <class D, class Grain, class I, class T>
void ZODUV_loop_for(I first, I last, T& loop)
{
    ZODUV_fixedgrain<D, I, T, ZODUVDispatcherLocal_process_for<I, T>>(
        Grain::grain, first, last, loop, [&loop](long long s, long long e) {
            for (long long i = s; i <= e; ++i) loop.run(static_cast<I>(i));
        });
}

// loop.run(s, e) on consecutive blocks of 1000 indices.
template <class D, class Grain, class T>
void ZODUV_loop_for_range(int first, int last, T& loop)
{
    ZODUV_fixedgrain<D, int, T, ZODUVDispatcherLocal_process_forrange<int, T>>(
        ZODUVTinyGrain::grain, first, last, loop,
        [&loop](long long s, long long e) { loop.run(static_cast<int>(s), static_cast<int>(e)); });
}

// loop.run(s, e) on consecutive blocks of a caller-given size.
template <class D, class I, class T>
void ZODUV_loop_for_rangedyn(I grain, I first, I last, T& loop)
{
    ZODUV_fixedgrain<D, I, T, ZODUVDispatcherLocal_process_forrange<I, T>>(
        grain, first, last, loop,
        [&loop](long long s, long long e) { loop.run(static_cast<I>(s), static_cast<I>(e)); });
}

// Claims shrink as the range drains (a share of what is left per claim, in whole blocks, down to
// one block), so a long loop costs a few dozen exchanges on the shared counter rather than one
// per block while the end still balances block by block. The body always sees blocks of G
// indices aligned on first.
template <class T, long long G>
void ZODUV_fastloop_run(void* object, std::atomic<std::int64_t>* next, std::int64_t last)
{
    T* loop = static_cast<T*>(object);
    const std::int64_t spread = 4 * static_cast<std::int64_t>(ZODUV_getmaxavailablecpu());
    std::int64_t c = next->load(std::memory_order_relaxed);
    while (c <= last) {
        const std::int64_t chunk = std::max<std::int64_t>(G, (last + 1 - c) / spread / G * G);
        const std::int64_t e = std::min<std::int64_t>(c + chunk, last + 1);
        if (next->compare_exchange_weak(c, e, std::memory_order_acq_rel, std::memory_order_relaxed)) {
            for (std::int64_t s = c; s < e; s += G) loop->run(s, std::min<std::int64_t>(s + G, e) - 1);
            c = next->load(std::memory_order_relaxed);
        }
    }
}

// loop.run(s, e) over a 64-bit range in blocks of 100 claimed from an atomic counter; idle
// threads join in while it runs.
template <class D, class Grain, class T>
void ZODUV_loop_for_fast(std::int64_t first, std::int64_t last, T& loop)
{
    constexpr long long G = Grain::fastgrain;
    if (first > last) return;
    ZODUV_LocalThreadManager* manager = g_ZODUV_manager;
    if (D::parallel && manager && first + G < last) {
        ZODUV_markparallel(loop, true);
        constexpr bool copyable = std::is_trivially_copyable_v<T>;
        if (manager->execute_loop_forfast(&loop, sizeof(T), copyable, &ZODUV_fastloop_run<T, G>, first, last))
            return;
        // This thread's slot is taken by an enclosing fast loop: run this one here.
        std::atomic<std::int64_t> next{first};
        ZODUV_fastloop_run<T, G>(&loop, &next, last);
        return;
    }
    ZODUV_markparallel(loop, false);
    loop.run(first, last);
}

template <class T, class Item>
struct ZODUVDispatcherLocal_process {
    T* loop;
    Item item;
    void run() { loop->run(item); }
};

// While loop.condition() holds, runs loop.run(loop.next()) as a task.
template <class D, class Grain, class T>
void ZODUV_loop_while(T& loop)
{
    using Item = std::decay_t<decltype(loop.next())>;
    ZODUV_markparallel(loop, D::parallel);
    ZODUV_independant_task<D> group;
    while (loop.condition()) group.add(ZODUVDispatcherLocal_process<T, Item>{&loop, loop.next()});
    group.finish();
}

template <class R, class Item, class Result>
struct ZODUVDispatcherLocal_process_child {
    R* reducer;
    const Item* item;
    Result* out;
    void run() { *out = reducer->run_child(*item); }
};

template <class R, class Result>
struct ZODUVDispatcherLocal_process_reduce {
    R* reducer;
    Result* left;
    Result* right;
    void run() { *left = reducer->reduce(std::move(*left), std::move(*right)); }
};

// Like ZODUV_loop_while, combining the items' results with reducer.reduce. The partial results
// are combined neighbour with neighbour in a fixed binary tree over the item order, so the
// result does not depend on the number of threads nor on which thread ran what.
// R: result_type, run_child(item), reduce(a, b). L: condition(), next().
template <class D, class R, class L>
typename R::result_type ZODUV_loop_while_reduce(R& reducer, L& loop)
{
    using Result = typename R::result_type;
    using Item = std::decay_t<decltype(loop.next())>;
    std::vector<Item> items;
    while (loop.condition()) items.push_back(loop.next());
    const std::size_t n = items.size();
    if (n == 0) return Result{};
    ZODUV_markparallel(reducer, D::parallel && n > 1);
    std::vector<Result> results(n);
    {
        ZODUV_independant_task<D> group;
        for (std::size_t i = 1; i < n; ++i)
            group.add(ZODUVDispatcherLocal_process_child<R, Item, Result>{&reducer, &items[i], &results[i]});
        ZODUVDispatcherLocal_process_child<R, Item, Result>{&reducer, &items[0], &results[0]}.run();
        group.finish();
    }
    for (std::size_t width = 1; width < n; width *= 2) {
        ZODUV_independant_task<D> group;
        for (std::size_t i = 2 * width; i + width < n; i += 2 * width)
            group.add(ZODUVDispatcherLocal_process_reduce<R, Result>{&reducer, &results[i], &results[i + width]});
        ZODUVDispatcherLocal_process_reduce<R, Result>{&reducer, &results[0], &results[width]}.run();
        group.finish();
    }
    return std::move(results[0]);
}

// Runs f(node) once on every node of the machine; the local scheduler is a single node.
template <class F>
void ZODUV_executeonallnodes_functor(F& f)
{
    f(0);
}
