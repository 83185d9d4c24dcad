// What the evaluator calls to run the language's parallel directives ("parallel for", "parallel",
// "parallel sections"): the work is spread here; parsing the directives and setting up private
// variables stay with the evaluator, which hands in bodies that evaluate a subtree on the given
// task context.
#pragma once
#include <atomic>
#include <cstdint>

#include "parallel/dataracedetector.h"
#include "interp/taskloop.h"

// Counts one open parallel region for the data-race detector while it lives.
class t_ompregion {
public:
    t_ompregion() : m_id(t_dataracedetector::addOpenMPregion()) {}
    ~t_ompregion() { t_dataracedetector::removeOpenMPregion(); }
    t_ompregion(const t_ompregion&) = delete;
    t_ompregion& operator=(const t_ompregion&) = delete;
    std::uint32_t id() const { return m_id; }

private:
    std::uint32_t m_id;
};

// Number of values start, start + step, ... that do not pass end; 0 for a zero step or when start
// is already past end.
inline std::int64_t kst_omp_iterationcount(std::int64_t start, std::int64_t end, std::int64_t step)
{
    if (step > 0 && start <= end) return (end - start) / step + 1;
    if (step < 0 && start >= end) return (start - end) / -step + 1;
    return 0;
}

// One of the _cpu tasks of a parallel for: its own context, iterations claimed one at a time.
template <class L>
struct t_ompfortask {
    L body;
    t_cctx* parent;
    std::atomic<std::int64_t>* next;
    std::int64_t count, start, step;
    std::uint32_t region;
    void run()
    {
        t_omptaskscope scope(region);
        t_cctxtaskcopy copy(parent);
        t_cctx* ctx = copy.get();
        body.run_loop_init(ctx);  // the private variables of this task
        while (!kst_parallel_errorpending()) {
            const std::int64_t k = next->fetch_add(1, std::memory_order_relaxed);
            if (k >= count) break;
            if (!body.run_loop(start + k * step, ctx)) break;
        }
        body.run_loop_end(ctx);
    }
};

// "parallel for": L has run_loop_init(ctx), run_loop(value, ctx) -> bool (false: this task
// stops), run_loop_end(ctx). Answers false when the loop ran sequentially in the caller (the
// context cannot run in parallel), true when exactly kst_get_gcpu() tasks ran it inside a
// counted region. The caller checks the integer bounds and the private names beforehand.
template <class L>
bool kst_omp_parallel_for(t_cctx* ctx, std::int64_t start, std::int64_t end, std::int64_t step, L& body)
{
    const std::int64_t count = kst_omp_iterationcount(start, end, step);
    if (!kst_parallel_allowed(ctx)) {
        body.run_loop_init(ctx);
        for (std::int64_t k = 0; k < count && !kst_parallel_errorpending(); ++k)
            if (!body.run_loop(start + k * step, ctx)) break;
        body.run_loop_end(ctx);
        return false;
    }
    t_ompregion region;
    std::atomic<std::int64_t> next{0};
    ZODUV_independant_task<ZODUVDispatcherLocal> group;
    const int ntasks = kst_get_gcpu();
    for (int t = 0; t < ntasks; ++t) group.add(t_ompfortask<L>{body, ctx, &next, count, start, step, region.id()});
    group.finish();
    return true;
}

// "parallel": block(threadnumber, ctx) once for each of the kst_get_gcpu() threads (numbered
// 1.._cpu), each a task on its own context, so that two threads are really two even when a
// fixed-grain loop over 1.._cpu would fit one block. In the caller when the context cannot run
// in parallel (once, numbered 1).
template <class F>
bool kst_omp_parallel(t_cctx* ctx, F block)
{
    if (!kst_parallel_allowed(ctx)) {
        block(1, ctx);
        return false;
    }
    t_ompregion region;
    struct task {
        F* f;
        t_cctx* parent;
        int number;
        std::uint32_t region;
        void run()
        {
            t_omptaskscope scope(region);
            t_cctxtaskcopy copy(parent);
            (*f)(number, copy.get());
        }
    };
    ZODUV_independant_task<ZODUVDispatcherLocal> group;
    const int ntasks = kst_get_gcpu();
    for (int t = 1; t <= ntasks; ++t) group.add(task{&block, ctx, t, region.id()});
    group.finish();
    return true;
}

// "parallel sections": section(k, ctx) for k = 0..nsections-1, each section a task on its own
// context; in the caller, in order, when the context cannot run in parallel.
template <class F>
bool kst_omp_parallel_sections(t_cctx* ctx, int nsections, F section)
{
    if (!kst_parallel_allowed(ctx)) {
        for (int k = 0; k < nsections && !kst_parallel_errorpending(); ++k) section(k, ctx);
        return false;
    }
    t_ompregion region;
    struct task {
        F* f;
        t_cctx* parent;
        int k;
        std::uint32_t region;
        void run()
        {
            t_omptaskscope scope(region);
            t_cctxtaskcopy copy(parent);
            (*f)(k, copy.get());
        }
    };
    ZODUV_independant_task<ZODUVDispatcherLocal> group;
    for (int k = 0; k < nsections; ++k) group.add(task{&section, ctx, k, region.id()});
    group.finish();
    return true;
}
