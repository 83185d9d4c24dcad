// The kernel-side loops: how many tasks they create, when they stay in the caller, which context
// each body sees, and how a false return or an error ends the work.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "coef/coefaff.h"
#include "numeric/numericroom.h"
#include "series/seriesroom.h"
#include "parallel_env.h"
#include "interp/cctx.h"
#include "interp/taskloop.h"

namespace {

class ParallelLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parallel_test_setup();
        parent.kc.cpu = k_testthreads;
        kst_kctx(&parent).options[g_kst_opt_affc] = 7;
        Erreur_Execution = 0;
    }
    void TearDown() override { Erreur_Execution = 0; }
    t_cctx parent;
};

// A dynamic-loop body that logs, per worker share, the indices it ran.
struct sharelog {
    struct entry {
        int share;
        int index;
        t_cctx* ctx;
    };
    std::mutex* m;
    std::vector<entry>* log;
    std::atomic<int>* shares;
    std::atomic<int>* inits;
    int stopat = -1;
    int share = -1;
    void run_loop_init(t_cctx*)
    {
        share = shares->fetch_add(1);
        inits->fetch_add(1);
    }
    bool run_loop(int i, t_cctx* ctx)
    {
        std::lock_guard<std::mutex> lock(*m);
        log->push_back({share, i, ctx});
        return i != stopat;
    }
    void run_loop_end(t_cctx*) {}
};

struct sharelogging {
    std::mutex m;
    std::vector<sharelog::entry> log;
    std::atomic<int> shares{0}, inits{0};
    sharelog make(int stopat = -1) { return sharelog{&m, &log, &shares, &inits, stopat}; }
    std::vector<int> indices()
    {
        std::vector<int> v;
        for (auto& e : log) v.push_back(e.index);
        std::sort(v.begin(), v.end());
        return v;
    }
};

std::vector<int> range(int first, int last)
{
    std::vector<int> v;
    for (int i = first; i <= last; ++i) v.push_back(i);
    return v;
}

TEST_F(ParallelLoopTest, DynamicLoopCreatesOneTaskPerThreadAtMost)
{
    for (int k : {1, 2, 3, 4, 50}) {
        const std::uint64_t posted0 = ZODUV_getpostedcount();
        sharelogging s;
        sharelog body = s.make();
        parallel_loop_for_fast2(&parent, 10, 10 + k - 1, body);
        EXPECT_EQ(ZODUV_getpostedcount() - posted0, static_cast<std::uint64_t>(std::min(k, k_testthreads))) << k;
        EXPECT_EQ(s.inits.load(), std::min(k, k_testthreads));
        EXPECT_EQ(s.indices(), range(10, 10 + k - 1));
    }
}

TEST_F(ParallelLoopTest, EmptyRangeRunsNoBodyAndNoInit)
{
    for (int cpu : {k_testthreads, 1}) {
        parent.kc.cpu = cpu;
        const std::uint64_t posted0 = ZODUV_getpostedcount();
        sharelogging s;
        sharelog body = s.make();
        parallel_loop_for_fast2(&parent, 5, 4, body);
        int calls = 0;
        parallel_loop_for_fast3(&parent, 0, -1, [&](int, t_cctx*) { return ++calls > 0; });
        EXPECT_EQ(s.inits.load(), 0);
        EXPECT_TRUE(s.log.empty());
        EXPECT_EQ(calls, 0);
        EXPECT_EQ(ZODUV_getpostedcount(), posted0);
    }
}

// Every wrapper with its loop object, recording the thread and context of each call.
struct calls {
    std::mutex m;
    std::set<std::thread::id> threads;
    std::set<t_cctx*> ctxs;
    long long sum = 0;
    void note(long long v, t_cctx* ctx)
    {
        std::lock_guard<std::mutex> lock(m);
        threads.insert(std::this_thread::get_id());
        ctxs.insert(ctx);
        sum += v;
    }
};

struct indexloop : t_parallelloop<indexloop> {
    calls* c;
    indexloop(t_cctx* ctx, calls* out) : t_parallelloop<indexloop>(ctx), c(out) {}
    void run_body(int i, t_cctx* ctx) { c->note(i, ctx); }
    void run_range(int s, int e, t_cctx* ctx)
    {
        for (int i = s; i <= e; ++i) c->note(i, ctx);
    }
};

struct hookedtask : t_paralleltask {
    calls* c;
    int value;
    t_cctx* initctx = nullptr;
    void run_init(t_cctx* ctx) { initctx = ctx; }
    void run(t_cctx* ctx) { c->note(value, ctx); }
    void run_end(t_cctx* ctx)
    {
        if (ctx != initctx) c->note(1000000, ctx);  // the three hooks share one context
    }
};

void run_every_wrapper(t_cctx* ctx, calls& c)
{
    parallel_loop_for_fast3(ctx, 0, 99, [&c](int i, t_cctx* x) {
        c.note(i, x);
        return true;
    });
    indexloop a(ctx, &c);
    parallel_loop_for1_largegrain(ctx, 0, 99, a);
    indexloop b(ctx, &c);
    parallel_loop_for_range_tinygrain(ctx, 0, 4999, b);
    indexloop d(ctx, &c);
    parallel_loop_for_range_Ngrain(ctx, 3, 0, 99, d);
    t_parallel_loop_for_range_par range(ctx, [&c](int s, int e, t_cctx* x) {
        for (int i = s; i <= e; ++i) c.note(i, x);
    });
    parallel_loop_for_range_Ngrain(ctx, 10, 0, 99, range);
    t_paralleltaskgroup group(ctx);
    for (int i = 0; i < 100; ++i) {
        hookedtask t;
        t.c = &c;
        t.value = i;
        group.add(t);
    }
    group.finish();
}

constexpr long long k_everywrappersum = 4950LL * 5 + 4999LL * 5000 / 2;

TEST_F(ParallelLoopTest, CpuOneRunsEverythingInTheCallerOnItsContext)
{
    t_cpusetting_restore restore;
    for (int setting = 0; setting < 2; ++setting) {
        // `_cpu` = 1 for the whole process, or a context that asks for one thread
        if (setting == 0) {
            ASSERT_TRUE(kst_parallel_setcpu(1));
        } else {
            ASSERT_TRUE(kst_parallel_setcpu(k_testthreads));
            parent.kc.cpu = 1;
        }
        const std::uint64_t posted0 = ZODUV_getpostedcount();
        calls c;
        run_every_wrapper(&parent, c);
        EXPECT_EQ(ZODUV_getpostedcount(), posted0);
        EXPECT_EQ(c.threads, std::set<std::thread::id>{std::this_thread::get_id()});
        EXPECT_EQ(c.ctxs, std::set<t_cctx*>{&parent});
        EXPECT_EQ(c.sum, k_everywrappersum);
    }
}

TEST_F(ParallelLoopTest, ParallelBodiesRunOnContextCopies)
{
    t_cctx* before = t_cctx::getLocalCctx();
    calls c;
    run_every_wrapper(&parent, c);
    EXPECT_EQ(c.sum, k_everywrappersum);
    EXPECT_EQ(c.ctxs.count(&parent), 0u);
    EXPECT_EQ(t_cctx::getLocalCctx(), before);  // the caller's current context is back

    // inside a task the copy is the thread's current context and carries the parent's settings:
    // numbers, options of every room (format, byte order, series mode), the active truncations;
    // the stop flag is the task's own, and a stop asked of the caller (Ctrl-C) reaches it
    t_kctx& kc = kst_kctx(&parent);
    kc.num.modenum = 2;
    kc.num.prec_digits = 40;
    kc.options[g_kst_opt_endian] = 1;
    kc.options[g_kst_opt_seriesmode] = 3;
    const auto* tronc = reinterpret_cast<const t_tronc*>(&kc);   // any address stands for one
    const auto* trmon = reinterpret_cast<const t_tronc*>(&parent);
    kc.tronc = tronc;
    kc.trmon = trmon;
    kc.stopflag = 1;
    std::atomic<int> mismatches{0};
    parallel_loop_for_fast3(&parent, 0, 199, [&](int, t_cctx* ctx) {
        const t_kctx& k = kst_kctx(ctx);
        if (ctx == &parent || t_cctx::getLocalCctx() != ctx || kst_affc(ctx) != 7 || k.cpu != k_testthreads ||
            k.num.modenum != 2 || k.num.prec_digits != 40 || !kst_endianswapped(ctx) || kst_seriesmode(ctx) != 3 ||
            k.tronc != tronc || k.trmon != trmon || k.stopflag != 0 || !k.stoprequested())
            mismatches.fetch_add(1);
        return true;
    });
    kc.stopflag = 0;
    EXPECT_EQ(mismatches.load(), 0);
}

TEST_F(ParallelLoopTest, FixedGrainLoopThatFitsOneBlockUsesTheCallerContext)
{
    const std::uint64_t posted0 = ZODUV_getpostedcount();
    calls c;
    indexloop a(&parent, &c);
    parallel_loop_for1_largegrain(&parent, 4, 5, a);
    indexloop b(&parent, &c);
    parallel_loop_for_range_Ngrain(&parent, 50, 0, 50, b);
    EXPECT_EQ(ZODUV_getpostedcount(), posted0);
    EXPECT_EQ(c.ctxs, std::set<t_cctx*>{&parent});
    EXPECT_EQ(c.sum, 9 + 50 * 51 / 2);
}

TEST_F(ParallelLoopTest, FalseReturnStopsOnlyItsOwnShare)
{
    constexpr int last = 20000, stopat = 5;
    sharelogging s;
    sharelog body = s.make(stopat);
    parallel_loop_for_fast2(&parent, 0, last, body);
    // the other shares went on to the end: every index ran once
    EXPECT_EQ(s.indices(), range(0, last));
    int stoppedshare = -1;
    for (auto& e : s.log)
        if (e.index == stopat) stoppedshare = e.share;
    ASSERT_GE(stoppedshare, 0);
    int after = 0;
    for (auto& e : s.log) after += e.share == stoppedshare && e.index > stopat;
    EXPECT_EQ(after, 0);  // the stopping share claimed nothing more

    // in the caller the loop simply ends there
    parent.kc.cpu = 1;
    sharelogging q;
    sharelog seq = q.make(stopat);
    parallel_loop_for_fast2(&parent, 0, last, seq);
    EXPECT_EQ(q.indices(), range(0, stopat));
}

TEST_F(ParallelLoopTest, ErrorStopsHandingOutIndices)
{
    for (int cpu : {k_testthreads, 1}) {
        parent.kc.cpu = cpu;
        std::atomic<int> ran{0};
        parallel_loop_for_fast3(&parent, 0, 1000000, [&](int i, t_cctx*) {
            ran.fetch_add(1);
            if (i == 10) Erreur_Execution.store(1, std::memory_order_relaxed);
            return true;
        });
        EXPECT_EQ(Erreur_Execution, 1);
        if (cpu == 1) {
            EXPECT_EQ(ran.load(), 11);
        } else {
            EXPECT_LT(ran.load(), 1000000);
        }
        Erreur_Execution = 0;
    }
}

} // namespace
