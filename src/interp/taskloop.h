// Parallel loops as the kernel writes them: the evaluation context comes first, every body that
// runs in parallel evaluates on its own copy of it, and everything falls back to the sequential
// flavour when the context forbids parallel work or `_cpu` is 1. Errors raised by a body set
// Erreur_Execution; dynamic loops then stop handing out indices.
#pragma once
#include <atomic>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "interp/error.h"
#include "interp/roomapi.h"
#include "parallel/parallel_init.h"
#include "parallel/zoduv_loop.h"

// A task's own context, evaluating like `parent` (made current for the task's duration), and the
// end of it (the context that was current before comes back).
t_cctx* kst_taskcontext_enter(t_cctx* parent);
void kst_taskcontext_leave(t_cctx* saved);

// A task's own context: a copy of the parent made current for the task's duration.
class t_cctxtaskcopy {
public:
    explicit t_cctxtaskcopy(t_cctx* parent) : m_saved(kst_taskcontext_enter(parent)), m_cctx(kst_localcctx()) {}
    ~t_cctxtaskcopy() { kst_taskcontext_leave(m_saved); }
    t_cctxtaskcopy(const t_cctxtaskcopy&) = delete;
    t_cctxtaskcopy& operator=(const t_cctxtaskcopy&) = delete;
    t_cctx* get() const { return m_cctx; }

private:
    t_cctx* m_saved;
    t_cctx* m_cctx;
};

// The error flag as tasks see it: set by any thread without a lock, so read atomically.
inline bool kst_parallel_errorpending() { return Erreur_Execution.load(std::memory_order_relaxed) != 0; }

// Whether loops started from ctx may spread over threads.
bool kst_parallel_allowed(const t_cctx* ctx);

// Base of loop objects with a body per index, run_body(i, ctx), and/or per block,
// run_range(first, last, ctx) (CRTP). In the caller the body uses the caller's context; in
// parallel each call makes its own copy.
template <class Derived>
class t_parallelloop : public ZODUV_info {
public:
    explicit t_parallelloop(t_cctx* ctx) : m_cctx(ctx) {}
    void run(int i)
    {
        Derived& self = static_cast<Derived&>(*this);
        if (ZODUV_issequential(this)) {
            self.run_body(i, m_cctx);
            return;
        }
        t_cctxtaskcopy copy(m_cctx);
        self.run_body(i, copy.get());
    }
    void run(int first, int last)
    {
        Derived& self = static_cast<Derived&>(*this);
        if (ZODUV_issequential(this)) {
            self.run_range(first, last, m_cctx);
            return;
        }
        t_cctxtaskcopy copy(m_cctx);
        self.run_range(first, last, copy.get());
    }
    t_cctx* getcctx() const { return m_cctx; }

protected:
    t_cctx* m_cctx;
};

// A block loop around a callable f(first, last, ctx).
template <class F>
class t_parallel_loop_for_range_par : public t_parallelloop<t_parallel_loop_for_range_par<F>> {
public:
    t_parallel_loop_for_range_par(t_cctx* ctx, F f) : t_parallelloop<t_parallel_loop_for_range_par<F>>(ctx), m_f(std::move(f)) {}
    void run_range(int first, int last, t_cctx* ctx) { m_f(first, last, ctx); }

private:
    F m_f;
};

// A dynamic-loop body around a callable f(i, ctx) returning bool (false: this worker stops) or
// nothing; the hooks run around each worker's share.
template <class F>
class t_parallel_loop_for_fast3_par {
public:
    explicit t_parallel_loop_for_fast3_par(F f) : m_f(std::move(f)) {}
    void run_loop_init(t_cctx*) {}
    bool run_loop(int i, t_cctx* ctx)
    {
        if constexpr (std::is_void_v<std::invoke_result_t<F&, int, t_cctx*>>) {
            m_f(i, ctx);
            return true;
        } else {
            return static_cast<bool>(m_f(i, ctx));
        }
    }
    void run_loop_end(t_cctx*) {}

private:
    F m_f;
};

// One worker's share of a dynamic loop: a copy of the body L (run_loop_init(ctx),
// run_loop(i, ctx) -> bool, run_loop_end(ctx)) pulling indices from a shared counter.
template <class L>
class t_parallelloop2 : public ZODUV_info {
public:
    t_parallelloop2(t_cctx* ctx, const L& body) : m_body(body), m_cctx(ctx) {}
    void set_bound(std::atomic<std::int64_t>* next, std::int64_t last)
    {
        m_next = next;
        m_last = last;
    }
    // In a task: its own context, indices claimed one at a time.
    void run()
    {
        t_cctxtaskcopy copy(m_cctx);
        t_cctx* ctx = copy.get();
        m_body.run_loop_init(ctx);
        while (!kst_parallel_errorpending()) {
            const std::int64_t i = m_next->fetch_add(1, std::memory_order_relaxed);
            if (i > m_last) break;
            if (!m_body.run_loop(static_cast<int>(i), ctx)) break;
        }
        m_body.run_loop_end(ctx);
    }
    // In the caller, on the caller's context and the caller's body object.
    static void run_seq(t_cctx* ctx, L& body, std::int64_t first, std::int64_t last)
    {
        body.run_loop_init(ctx);
        for (std::int64_t i = first; i <= last && !kst_parallel_errorpending(); ++i)
            if (!body.run_loop(static_cast<int>(i), ctx)) break;
        body.run_loop_end(ctx);
    }

private:
    L m_body;
    t_cctx* m_cctx;
    std::atomic<std::int64_t>* m_next = nullptr;
    std::int64_t m_last = 0;
};

// Dynamic loop over [first, last]: min(_cpu, count) copies of loop share one counter.
template <class L>
void parallel_loop_for_fast2(t_cctx* ctx, int first, int last, L& loop)
{
    if (first > last) return;
    if (!kst_parallel_allowed(ctx)) {
        t_parallelloop2<L>::run_seq(ctx, loop, first, last);
        return;
    }
    std::atomic<std::int64_t> next{first};
    const std::int64_t count = static_cast<std::int64_t>(last) - first + 1;
    const std::int64_t ntasks = std::min<std::int64_t>(kst_get_gcpu(), count);
    t_parallelloop2<L> task(ctx, loop);
    task.set_bound(&next, last);
    ZODUV_setparallel(&task);
    ZODUV_independant_task<ZODUVDispatcherLocal> group;
    for (std::int64_t k = 0; k < ntasks; ++k) group.add(task);
    group.finish();
}

template <class F>
void parallel_loop_for_fast3(t_cctx* ctx, int first, int last, F body)
{
    t_parallel_loop_for_fast3_par<F> loop(std::move(body));
    parallel_loop_for_fast2(ctx, first, last, loop);
}

// loop.run(i), one task per index (heavy bodies).
template <class T>
void parallel_loop_for1_largegrain(t_cctx* ctx, int first, int last, T& loop)
{
    if (kst_parallel_allowed(ctx))
        ZODUV_loop_for<ZODUVDispatcherLocal, ZODUVLargeGrain, int, T>(first, last, loop);
    else
        ZODUV_loop_for<ZODUVDispatcherSequential, ZODUVLargeGrain, int, T>(first, last, loop);
}

// loop.run(s, e) on blocks of 1000 indices.
template <class T>
void parallel_loop_for_range_tinygrain(t_cctx* ctx, int first, int last, T& loop)
{
    if (kst_parallel_allowed(ctx))
        ZODUV_loop_for_range<ZODUVDispatcherLocal, ZODUVTinyGrain, T>(first, last, loop);
    else
        ZODUV_loop_for_range<ZODUVDispatcherSequential, ZODUVTinyGrain, T>(first, last, loop);
}

// loop.run(s, e) on blocks of grain indices.
template <class T>
void parallel_loop_for_range_Ngrain(t_cctx* ctx, int grain, int first, int last, T& loop)
{
    if (kst_parallel_allowed(ctx))
        ZODUV_loop_for_rangedyn<ZODUVDispatcherLocal, int, T>(grain, first, last, loop);
    else
        ZODUV_loop_for_rangedyn<ZODUVDispatcherSequential, int, T>(grain, first, last, loop);
}

// Base of independent tasks with hooks run_init(ctx), run(ctx), run_end(ctx); the first and last
// may be left out.
class t_paralleltask {
public:
    void run_init(t_cctx*) {}
    void run_end(t_cctx*) {}
};

// A group of t_paralleltask objects: in parallel each runs on its own context copy, otherwise
// each runs at once in the caller on the caller's context.
class t_paralleltaskgroup {
public:
    explicit t_paralleltaskgroup(t_cctx* ctx) : m_cctx(ctx), m_parallel(kst_parallel_allowed(ctx)) {}
    t_paralleltaskgroup(const t_paralleltaskgroup&) = delete;
    t_paralleltaskgroup& operator=(const t_paralleltaskgroup&) = delete;
    ~t_paralleltaskgroup() { finish(); }

    template <class D>
    void add(const D& task)
    {
        if (m_parallel) {
            m_group.add(process<D>{task, m_cctx});
        } else {
            D copy(task);
            runhooks(copy, m_cctx);
        }
    }
    void finish() { m_group.finish(); }
    bool isparallel() const { return m_parallel; }

private:
    template <class D>
    static void runhooks(D& task, t_cctx* ctx)
    {
        task.run_init(ctx);
        task.run(ctx);
        task.run_end(ctx);
    }
    template <class D>
    struct process {
        D task;
        t_cctx* parent;
        void run()
        {
            t_cctxtaskcopy copy(parent);
            runhooks(task, copy.get());
        }
    };

    t_cctx* m_cctx;
    bool m_parallel;
    ZODUV_independant_task<ZODUVDispatcherLocal> m_group;
};
