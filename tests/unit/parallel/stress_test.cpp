// Randomised nesting of every loop kind and of task groups: the parallel run must give the same
// sums as the sequential flavour of the same tree, for several thread counts.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "parallel_env.h"
#include "interp/cctx.h"
#include "interp/taskloop.h"

namespace {

std::uint64_t mix(std::uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

template <class D>
std::uint64_t eval(std::uint64_t seed, int depth, t_cctx* ctx);

// Adds the value of child i of a node to the node's total.
template <class D>
struct childsum : ZODUV_info {
    std::uint64_t seed;
    int depth;
    t_cctx* ctx;
    std::atomic<std::uint64_t>* total;
    void child(long long i) { total->fetch_add(eval<D>(mix(seed + static_cast<std::uint64_t>(i)), depth, ctx)); }
    void run(int i) { child(i); }
    void run(int s, int e)
    {
        for (int i = s; i <= e; ++i) child(i);
    }
    void run(std::int64_t s, std::int64_t e)
    {
        for (std::int64_t i = s; i <= e; ++i) child(i);
    }
    // as a task, and as the items of a while loop
    int item = 0, count = 0;
    void run() { child(item); }
    bool condition() const { return item < count; }
    int next() { return item++; }
};

template <class D>
std::uint64_t eval(std::uint64_t seed, int depth, t_cctx* ctx)
{
    const std::uint64_t h = mix(seed);
    const int kind = depth == 0 ? 0 : static_cast<int>(h % 8);
    if (kind == 0) {
        if (h % 31 == 0) std::this_thread::yield();  // shuffle the interleavings a little
        return h & 0xffffff;
    }
    const int n = 1 + static_cast<int>((h >> 8) % 9);
    std::atomic<std::uint64_t> total{0};
    childsum<D> loop{{}, seed, depth - 1, ctx, &total};
    switch (kind) {
    case 1: ZODUV_loop_for<D, ZODUVLargeGrain, int, childsum<D>>(0, n - 1, loop); break;
    case 2: ZODUV_loop_for_rangedyn<D, int, childsum<D>>(1 + static_cast<int>((h >> 16) % 3), 0, n * 2, loop); break;
    case 3: {
        // wide and flat: a fast loop over leaves
        loop.depth = 0;
        ZODUV_loop_for_fast<D, ZODUVSmallGrain, childsum<D>>(0, 50 + static_cast<std::int64_t>((h >> 16) % 400), loop);
        break;
    }
    case 4: {
        ZODUV_independant_task<D> group;
        for (int i = 0; i < n; ++i) {
            childsum<D> task = loop;
            task.item = i;
            group.add(task);
        }
        group.finish();
        break;
    }
    case 5:
        parallel_loop_for_fast3(ctx, 0, n - 1, [&](int i, t_cctx* c) {
            total.fetch_add(eval<D>(mix(seed + static_cast<std::uint64_t>(i)), depth - 1, c));
            return true;
        });
        break;
    case 6:
        loop.count = n;
        ZODUV_loop_while<D, ZODUVTinyGrain, childsum<D>>(loop);
        break;
    default: ZODUV_loop_for_range<D, ZODUVTinyGrain, childsum<D>>(0, n - 1, loop); break;
    }
    return total.load() + (h & 0xff);
}

TEST(StressTest, RandomNestedLoopsGiveTheSequentialSums)
{
    parallel_test_setup();
    t_cpusetting_restore restore;
    t_cctx parallelctx, sequentialctx;
    sequentialctx.kc.cpu = 1;
    int trees = 0;
    for (int cpu : {k_testthreads, 2}) {
        ASSERT_TRUE(kst_parallel_setcpu(cpu));
        parallelctx.kc.cpu = cpu;
        for (std::uint64_t seed = 1; seed <= 1500; ++seed) {
            const int depth = 1 + static_cast<int>(seed % 4);
            const std::uint64_t expected = eval<ZODUVDispatcherSequential>(seed * 7919, depth, &sequentialctx);
            const std::uint64_t got = eval<ZODUVDispatcherLocal>(seed * 7919, depth, &parallelctx);
            ASSERT_EQ(got, expected) << "seed " << seed << " depth " << depth << " cpu " << cpu;
            ++trees;
        }
    }
    EXPECT_EQ(trees, 3000);
    EXPECT_EQ(ZODUV_getindexcpu(), 0);
}

} // namespace
