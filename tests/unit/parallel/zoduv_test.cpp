// The scheduler core and its loop templates, without the interpreter: start-up and settings, task
// slots, block boundaries of every loop kind, parallel against sequential flavours, nesting.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <signal.h>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "parallel_env.h"
#include "parallel/scratch.h"
#include "parallel/zoduv_loop.h"

namespace {

using Local = ZODUVDispatcherLocal;
using Sequential = ZODUVDispatcherSequential;

class ZoduvTest : public ::testing::Test {
protected:
    void SetUp() override { parallel_test_setup(); }
};

TEST_F(ZoduvTest, StartupSettingsAndMainThread)
{
    EXPECT_EQ(kst_parallel_cpucount(), k_testthreads);
    EXPECT_EQ(ZODUV_getmaxavailablecpu(), k_testthreads);
    EXPECT_EQ(kst_get_gcpu(), k_testthreads);
    ASSERT_NE(getenv("OMP_THREAD_LIMIT"), nullptr);
    EXPECT_STREQ(getenv("OMP_THREAD_LIMIT"), "4");
    EXPECT_EQ(ZODUV_getindexcpu(), 0);
    EXPECT_TRUE(kst_threadismaster());
    bool other = true;
    int otherindex = -1;
    std::thread([&] {
        other = kst_threadismaster();
        otherindex = ZODUV_getindexcpu();
    }).join();
    EXPECT_FALSE(other);
    EXPECT_EQ(otherindex, 0);  // threads the scheduler did not create count as the master
    EXPECT_EQ(ZODUV_isnumabind(), -1);

    // a second start-up changes nothing
    ZODUV_LocalThreadManager* manager = g_ZODUV_manager;
    kst_parallel_init(KEST_BUILD_DIR "/");
    EXPECT_EQ(g_ZODUV_manager, manager);
    EXPECT_EQ(kst_parallel_cpucount(), k_testthreads);
}

TEST_F(ZoduvTest, CpuSettingRangeAndAvailableWorkers)
{
    t_cpusetting_restore restore;
    EXPECT_FALSE(kst_parallel_setcpu(0));
    EXPECT_FALSE(kst_parallel_setcpu(k_testthreads + 1));
    EXPECT_EQ(kst_get_gcpu(), k_testthreads);  // refused values leave it unchanged
    ASSERT_TRUE(kst_parallel_setcpu(2));
    EXPECT_EQ(kst_get_gcpu(), 2);
    const bool ht = g_ZODUV_manager->m_hyperthreading;
    int available = 0;
    for (int i = 0; i < k_testthreads; ++i) {
        const bool on = g_ZODUV_manager->m_workers[i].m_available.load();
        EXPECT_EQ(on, ZODUV_availablerank(i, k_testthreads, ht) < 2) << "worker " << i;
        available += on;
    }
    EXPECT_EQ(available, 2);
    EXPECT_TRUE(g_ZODUV_manager->m_workers[0].m_available.load());
}

TEST_F(ZoduvTest, HyperThreadingOrderPutsOneThreadPerCoreFirst)
{
    // 8 logical processors on 4 cores: workers 0, 2, 4, 6 first
    std::vector<int> ranks;
    for (int w = 0; w < 8; ++w) ranks.push_back(ZODUV_availablerank(w, 8, true));
    EXPECT_EQ(ranks, (std::vector<int>{0, 4, 1, 5, 2, 6, 3, 7}));
    for (int w = 0; w < 8; ++w) EXPECT_EQ(ZODUV_availablerank(w, 8, false), w);
    // every count makes exactly that many workers available
    for (int count = 1; count <= 7; ++count) {
        int n = 0;
        for (int w = 0; w < 7; ++w) n += ZODUV_availablerank(w, 7, true) < count;
        EXPECT_EQ(n, count);
    }
}

std::string write_cpuinfo(const char* name, const std::vector<std::pair<int, int>>& cpus)
{
    std::string path = std::string(testing::TempDir()) + name;
    FILE* f = fopen(path.c_str(), "w");
    for (std::size_t i = 0; i < cpus.size(); ++i)
        fprintf(f, "processor\t: %zu\nmodel name\t: Test\nphysical id\t: %d\nsiblings\t: 8\ncpu cores\t: %d\n\n",
                i, cpus[i].first, cpus[i].second);
    fclose(f);
    return path;
}

TEST_F(ZoduvTest, HyperThreadingDetectionFromCpuinfo)
{
    // two sockets of 4 cores, 16 logical processors: hyper-threading
    std::vector<std::pair<int, int>> twosockets;
    for (int i = 0; i < 16; ++i) twosockets.emplace_back(i / 8, 4);
    const std::string ht = write_cpuinfo("cpuinfo_ht", twosockets);
    EXPECT_TRUE(ZODUV_cpuinfo_hyperthreading(ht.c_str(), 16));
    EXPECT_FALSE(ZODUV_cpuinfo_hyperthreading(ht.c_str(), 8));
    // one socket of 2 cores, 2 processors: none
    const std::string plain = write_cpuinfo("cpuinfo_plain", {{0, 2}, {0, 2}});
    EXPECT_FALSE(ZODUV_cpuinfo_hyperthreading(plain.c_str(), 2));
    EXPECT_TRUE(ZODUV_cpuinfo_hyperthreading(plain.c_str(), 4));
    EXPECT_FALSE(ZODUV_cpuinfo_hyperthreading("/nonexistent/cpuinfo", 4));
    remove(ht.c_str());
    remove(plain.c_str());
}

// Counts live task objects, to check that inline and heap copies are all destroyed.
std::atomic<int> g_live{0};

template <std::size_t Payload>
struct counted_task {
    std::atomic<long>* sum;
    long value;
    std::array<char, Payload> payload{};
    counted_task(std::atomic<long>* s, long v) : sum(s), value(v) { ++g_live; }
    counted_task(const counted_task& o) : sum(o.sum), value(o.value), payload(o.payload) { ++g_live; }
    ~counted_task() { --g_live; }
    void run() { sum->fetch_add(value + payload[Payload - 1]); }
};

TEST_F(ZoduvTest, TaskGroupsRunEveryTaskOnceInlineOrOnTheHeap)
{
    static_assert(sizeof(counted_task<8>) < ZODUV_TASKINLINE);
    static_assert(sizeof(counted_task<300>) >= ZODUV_TASKINLINE);
    std::atomic<long> sum{0};
    {
        ZODUV_independant_task<Local> group;
        for (long i = 1; i <= 3000; ++i) {
            if (i % 2)
                group.add(counted_task<8>(&sum, i));
            else
                group.add(counted_task<300>(&sum, i));
        }
        group.finish();
        EXPECT_EQ(group.pending(), 0);
        EXPECT_EQ(sum.load(), 3000L * 3001 / 2);
    }
    EXPECT_EQ(g_live.load(), 0);
}

TEST_F(ZoduvTest, TasksSpreadOverWorkers)
{
    std::mutex m;
    std::set<int> indices;
    ZODUV_independant_task<Local> group;
    struct sleeper {
        std::mutex* m;
        std::set<int>* indices;
        void run()
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            std::lock_guard<std::mutex> lock(*m);
            indices->insert(ZODUV_getindexcpu());
        }
    };
    for (int i = 0; i < 60; ++i) group.add(sleeper{&m, &indices});
    group.finish();
    EXPECT_GE(indices.size(), 2u);
    for (int i : indices) {
        EXPECT_GE(i, 0);
        EXPECT_LT(i, k_testthreads);
    }
}

struct inplace_probe {
    std::atomic<bool>* adding;
    std::atomic<int>* randuringadd;
    std::atomic<int>* ran;
    void run()
    {
        if (adding->load()) randuringadd->fetch_add(1);
        ran->fetch_add(1);
    }
};

TEST_F(ZoduvTest, TasksBeyondTheSlotPoolRunInPlace)
{
    t_cpusetting_restore restore;
    ASSERT_TRUE(kst_parallel_setcpu(1));  // nobody else takes work: the pool stays full
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (int round = 0; round < 2; ++round) {  // a finished group hands every slot back
        const std::uint64_t posted0 = ZODUV_getpostedcount(), inplace0 = ZODUV_getinplacecount();
        std::atomic<bool> adding{true};
        std::atomic<int> randuringadd{0}, ran{0};
        ZODUV_independant_task<Local> group;
        for (int i = 0; i < 1100; ++i) group.add(inplace_probe{&adding, &randuringadd, &ran});
        adding = false;
        EXPECT_EQ(randuringadd.load(), 1100 - ZODUV_NTASKSLOT);
        EXPECT_EQ(ZODUV_getinplacecount() - inplace0, 1100u - ZODUV_NTASKSLOT);
        EXPECT_EQ(ZODUV_getpostedcount() - posted0, static_cast<std::uint64_t>(ZODUV_NTASKSLOT));
        group.finish();
        EXPECT_EQ(ran.load(), 1100);
    }
}

// Records the blocks and indices a loop ran, and on which thread.
struct recorder : ZODUV_info {
    std::mutex* m;
    std::vector<std::pair<long long, long long>>* blocks;
    std::set<std::thread::id>* threads;
    std::atomic<long long>* sum;
    void note(long long s, long long e)
    {
        std::lock_guard<std::mutex> lock(*m);
        blocks->emplace_back(s, e);
        threads->insert(std::this_thread::get_id());
        for (long long i = s; i <= e; ++i) sum->fetch_add(i);
    }
    void run(int i) { note(i, i); }
    void run(int s, int e) { note(s, e); }
    void run(std::int64_t s, std::int64_t e) { note(s, e); }
};

struct recording {
    std::mutex m;
    std::vector<std::pair<long long, long long>> blocks;
    std::set<std::thread::id> threads;
    std::atomic<long long> sum{0};
    recorder make() { return recorder{{}, &m, &blocks, &threads, &sum}; }
    std::vector<std::pair<long long, long long>> sorted()
    {
        auto b = blocks;
        std::sort(b.begin(), b.end());
        return b;
    }
};

TEST_F(ZoduvTest, FixedGrainLoopsThatFitOneBlockRunInTheCaller)
{
    const std::uint64_t posted0 = ZODUV_getpostedcount();
    {
        recording r;
        recorder loop = r.make();
        ZODUV_setparallel(&loop);
        ZODUV_loop_for<Local, ZODUVLargeGrain, int, recorder>(5, 6, loop);  // 5 + 1 >= 6
        EXPECT_TRUE(ZODUV_issequential(&loop));
        EXPECT_EQ(r.sorted(), (std::vector<std::pair<long long, long long>>{{5, 5}, {6, 6}}));
        EXPECT_EQ(r.threads, std::set<std::thread::id>{std::this_thread::get_id()});
    }
    {
        recording r;
        recorder loop = r.make();
        ZODUV_loop_for_range<Local, ZODUVTinyGrain, recorder>(0, 1000, loop);  // 0 + 1000 >= 1000
        EXPECT_EQ(r.sorted(), (std::vector<std::pair<long long, long long>>{{0, 1000}}));
        EXPECT_EQ(r.threads, std::set<std::thread::id>{std::this_thread::get_id()});
    }
    {
        recording r;
        recorder loop = r.make();
        ZODUV_loop_for_rangedyn<Local, int, recorder>(10, 0, 10, loop);
        EXPECT_EQ(r.sorted(), (std::vector<std::pair<long long, long long>>{{0, 10}}));
    }
    {
        recording r;
        recorder loop = r.make();
        ZODUV_loop_for<Local, ZODUVLargeGrain, int, recorder>(3, 2, loop);  // empty
        ZODUV_loop_for_range<Local, ZODUVTinyGrain, recorder>(10, 9, loop);
        ZODUV_loop_for_fast<Local, ZODUVSmallGrain, recorder>(1, 0, loop);
        EXPECT_TRUE(r.blocks.empty());
    }
    EXPECT_EQ(ZODUV_getpostedcount(), posted0);
}

TEST_F(ZoduvTest, FixedGrainBlocksAndTail)
{
    for (int flavour = 0; flavour < 2; ++flavour) {
        recording r;
        recorder loop = r.make();
        if (flavour == 0)
            ZODUV_loop_for_range<Local, ZODUVTinyGrain, recorder>(0, 2500, loop);
        else
            ZODUV_loop_for_range<Sequential, ZODUVTinyGrain, recorder>(0, 2500, loop);
        const auto expected = flavour == 0
                                  ? std::vector<std::pair<long long, long long>>{{0, 999}, {1000, 1999}, {2000, 2500}}
                                  : std::vector<std::pair<long long, long long>>{{0, 2500}};
        EXPECT_EQ(r.sorted(), expected);
        EXPECT_EQ(ZODUV_isparallel(&loop), flavour == 0);
    }
    recording r;
    recorder loop = r.make();
    ZODUV_loop_for_rangedyn<Local, int, recorder>(10, 0, 11, loop);
    EXPECT_EQ(r.sorted(), (std::vector<std::pair<long long, long long>>{{0, 9}, {10, 11}}));

    recording r2;
    recorder loop2 = r2.make();
    ZODUV_loop_for_rangedyn<Local, int, recorder>(7, 3, 100, loop2);
    const auto b = r2.sorted();
    ASSERT_FALSE(b.empty());
    EXPECT_EQ(b.front().first, 3);
    EXPECT_EQ(b.back().second, 100);
    for (std::size_t i = 0; i + 1 < b.size(); ++i) {
        EXPECT_EQ(b[i].second - b[i].first + 1, 7);
        EXPECT_EQ(b[i + 1].first, b[i].second + 1);
    }
    EXPECT_EQ(r2.sum.load(), (100LL * 101 / 2) - 3);
}

TEST_F(ZoduvTest, LoopForRunsEachIndexOnce)
{
    recording r;
    recorder loop = r.make();
    ZODUV_loop_for<Local, ZODUVSmallGrain, int, recorder>(-50, 949, loop);
    auto b = r.sorted();
    ASSERT_EQ(b.size(), 1000u);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(b[i], std::make_pair(i - 50LL, i - 50LL));
    EXPECT_TRUE(ZODUV_isparallel(&loop));
}

// Fast-loop body: counts each index and checks the block shape.
struct fastcounter {
    std::atomic<unsigned char>* hits;
    std::int64_t first;
    std::atomic<int>* badblocks;
    void run(std::int64_t s, std::int64_t e)
    {
        if ((s - first) % 100 != 0 || e - s >= 100) badblocks->fetch_add(1);
        for (std::int64_t i = s; i <= e; ++i) hits[i - first].fetch_add(1, std::memory_order_relaxed);
    }
};

TEST_F(ZoduvTest, FastLoopHandsOutBlocksOf100)
{
    constexpr std::int64_t first = 1000000000000LL, n = 250037;
    std::vector<std::atomic<unsigned char>> hits(n);
    std::atomic<int> bad{0};
    fastcounter loop{hits.data(), first, &bad};
    ZODUV_loop_for_fast<Local, ZODUVSmallGrain, fastcounter>(first, first + n - 1, loop);
    EXPECT_EQ(bad.load(), 0);
    for (std::int64_t i = 0; i < n; ++i) ASSERT_EQ(hits[i].load(), 1) << i;
    // the slot is closed again and reusable
    EXPECT_EQ(g_ZODUV_manager->m_workers[0].m_fastparticipants.load(), -1);
    ZODUV_loop_for_fast<Local, ZODUVSmallGrain, fastcounter>(first, first + n - 1, loop);
    for (std::int64_t i = 0; i < n; ++i) ASSERT_EQ(hits[i].load(), 2) << i;
}

// A fast loop whose body opens fast loops itself, with a loop object too big to copy.
struct nestedfast {
    std::vector<long long> weights;  // not trivially copyable: used in place
    std::atomic<long long>* sum;
    struct inner {
        std::atomic<long long>* sum;
        long long weight;
        void run(std::int64_t s, std::int64_t e)
        {
            long long local = 0;
            for (std::int64_t i = s; i <= e; ++i) local += weight * i;
            sum->fetch_add(local);
        }
    };
    void run(std::int64_t s, std::int64_t e)
    {
        for (std::int64_t i = s; i <= e; ++i) {
            inner body{sum, weights[i]};
            ZODUV_loop_for_fast<Local, ZODUVSmallGrain, inner>(0, 999, body);
        }
    }
};

TEST_F(ZoduvTest, NestedFastLoops)
{
    std::atomic<long long> sum{0};
    nestedfast loop{std::vector<long long>(300), &sum};
    for (int i = 0; i < 300; ++i) loop.weights[i] = i + 1;
    ZODUV_loop_for_fast<Local, ZODUVSmallGrain, nestedfast>(0, 299, loop);
    EXPECT_EQ(sum.load(), (300LL * 301 / 2) * (999LL * 1000 / 2));
}

struct whileloop : ZODUV_info {
    int next_item = 0, count = 0;
    std::atomic<long>* sum;
    bool condition() const { return next_item < count; }
    int next() { return next_item++; }
    void run(int item) { sum->fetch_add(item * item); }
};

TEST_F(ZoduvTest, WhileLoopRunsEachItem)
{
    for (int flavour = 0; flavour < 2; ++flavour) {
        std::atomic<long> sum{0};
        whileloop loop;
        loop.count = 500;
        loop.sum = &sum;
        if (flavour == 0)
            ZODUV_loop_while<Local, ZODUVTinyGrain, whileloop>(loop);
        else
            ZODUV_loop_while<Sequential, ZODUVTinyGrain, whileloop>(loop);
        EXPECT_EQ(sum.load(), 499L * 500 * 999 / 6);
    }
}

// Floating sums whose value depends on the order of the additions.
struct floatreducer : ZODUV_info {
    using result_type = double;
    std::atomic<int>* reductions;
    double run_child(int item) const { return item % 3 == 0 ? 1e16 / (item + 1) : 1.0 / (item + 1); }
    double reduce(double a, double b) const
    {
        reductions->fetch_add(1);
        return a + b;
    }
};

TEST_F(ZoduvTest, ReductionIsTheSameWhateverTheThreads)
{
    t_cpusetting_restore restore;
    for (int n : {0, 1, 2, 7, 1000}) {
        std::vector<double> results;
        for (int cpu : {4, 1, 2}) {
            ASSERT_TRUE(kst_parallel_setcpu(cpu));
            for (int flavour = 0; flavour < 2; ++flavour) {
                std::atomic<int> reductions{0};
                floatreducer reducer;
                reducer.reductions = &reductions;
                whileloop items;
                items.count = n;
                const double r = flavour == 0 ? ZODUV_loop_while_reduce<Local>(reducer, items)
                                              : ZODUV_loop_while_reduce<Sequential>(reducer, items);
                EXPECT_EQ(reductions.load(), n > 0 ? n - 1 : 0);
                results.push_back(r);
            }
        }
        for (double r : results) EXPECT_EQ(r, results[0]) << "n=" << n;  // bit for bit
        if (n == 0) {
            EXPECT_EQ(results[0], 0.0);
        }
    }
}

// Four nested levels of loops of every kind; every leaf counted.
struct level : ZODUV_info {
    int depth;
    std::atomic<long>* leaves;
    void run(int)
    {
        if (depth == 3) {
            leaves->fetch_add(1);
            return;
        }
        level inner{{}, depth + 1, leaves};
        switch (depth) {
        case 0: ZODUV_loop_for<Local, ZODUVLargeGrain, int, level>(0, 5, inner); break;
        case 1: ZODUV_loop_for_rangedyn<Local, int, level>(2, 0, 5, inner); break;
        default: {
            ZODUV_independant_task<Local> group;
            struct one {
                level* l;
                int i;
                void run() { l->run(i); }
            };
            for (int i = 0; i < 6; ++i) group.add(one{&inner, i});
            group.finish();
        }
        }
    }
    void run(int s, int e)
    {
        for (int i = s; i <= e; ++i) run(i);
    }
};

TEST_F(ZoduvTest, NestedLoopsFourDeepFinish)
{
    for (int rep = 0; rep < 200; ++rep) {
        std::atomic<long> leaves{0};
        level top{{}, 0, &leaves};
        ZODUV_loop_for<Local, ZODUVLargeGrain, int, level>(0, 5, top);
        ASSERT_EQ(leaves.load(), 6L * 6 * 6 * 6) << "repetition " << rep;
    }
}

// A chain of groups nested beyond the join-depth limit.
struct deepchain {
    int depth;
    std::atomic<int>* reached;
    void run()
    {
        reached->fetch_add(1);
        if (depth == 0) return;
        ZODUV_independant_task<Local> group;
        group.add(deepchain{depth - 1, reached});
        group.add(deepchain{0, reached});
        std::this_thread::yield();
        group.finish();
    }
};

TEST_F(ZoduvTest, JoinsNestedBeyondTheDepthLimitFinish)
{
    for (int rep = 0; rep < 20; ++rep) {
        std::atomic<int> reached{0};
        deepchain{120, &reached}.run();
        ASSERT_EQ(reached.load(), 1 + 120 * 2);
    }
    EXPECT_EQ(g_ZODUV_manager->m_workers[0].m_joindepth, 0);
}

TEST_F(ZoduvTest, ExecuteOnAllNodesRunsOnceLocally)
{
    int calls = 0, node = -1;
    auto f = [&](int n) {
        ++calls;
        node = n;
    };
    ZODUV_executeonallnodes_functor(f);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(node, 0);
}

} // namespace

namespace {

struct copied : ZODUV_task<copied> {
    int value = 0;
    std::atomic<int>* out = nullptr;
    void run() { out->fetch_add(value); }
};

TEST_F(ZoduvTest, TaskBaseCopiesTheWholeObject)
{
    std::atomic<int> out{0};
    copied t;
    t.value = 42;
    t.out = &out;
    ZODUV_setparallel(&t);
    static_assert(copied::getsize() == sizeof(copied));
    std::unique_ptr<copied> heap(t.duplicate());
    alignas(copied) unsigned char buffer[sizeof(copied)];
    t.memcpy(buffer);
    auto* inplace = reinterpret_cast<copied*>(buffer);
    for (copied* c : {heap.get(), inplace}) {
        EXPECT_EQ(c->value, 42);
        EXPECT_TRUE(ZODUV_isparallel(c));  // the state byte travels with the copy
        c->run();
    }
    inplace->~copied();
    ZODUV_independant_task<ZODUVDispatcherLocal> group;
    group.add(t);
    group.finish();
    EXPECT_EQ(out.load(), 3 * 42);
}

TEST_F(ZoduvTest, WorkersLeaveTerminalSignalsToTheMainThread)
{
    // A worker's mask is inherited from the creator with the terminal signals added.
    std::atomic<int> blocked{-1};
    struct probe {
        std::atomic<int>* blocked;
        void run()
        {
            if (ZODUV_getindexcpu() == 0) return;
            sigset_t mask;
            pthread_sigmask(SIG_BLOCK, nullptr, &mask);
            blocked->store(sigismember(&mask, SIGINT));
        }
    };
    for (int attempt = 0; attempt < 200 && blocked.load() < 0; ++attempt) {
        ZODUV_independant_task<ZODUVDispatcherLocal> group;
        for (int i = 0; i < 8; ++i) group.add(probe{&blocked});
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        group.finish();
    }
    ASSERT_GE(blocked.load(), 0) << "no task ran on a worker";
    EXPECT_EQ(blocked.load(), 1);
    sigset_t mine;
    pthread_sigmask(SIG_BLOCK, nullptr, &mine);
    EXPECT_EQ(sigismember(&mine, SIGINT), 0);  // the main thread's mask is as it was
}

} // namespace

// Every worker starts with its own scratch reserved: tasks get it without allocating (the same
// address task after task on one worker), never a buffer another worker uses, and a larger
// request grows only the asking thread's buffer.
TEST_F(ZoduvTest, EachWorkerHasItsOwnScratchReservedAtStart)
{
    std::mutex m;
    std::map<int, std::set<void*>> byworker;
    ZODUV_independant_task<Local> group;
    struct user {
        std::mutex* m;
        std::map<int, std::set<void*>>* byworker;
        void run()
        {
            const bool reserved = kst_parallel_scratchsize() >= KST_SCRATCH_INITIAL;
            auto* p = static_cast<unsigned char*>(kst_parallel_scratch(KST_SCRATCH_INITIAL));
            std::fill(p, p + KST_SCRATCH_INITIAL, static_cast<unsigned char>(ZODUV_getindexcpu()));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const bool intact = std::all_of(p, p + KST_SCRATCH_INITIAL, [](unsigned char c) {
                return c == static_cast<unsigned char>(ZODUV_getindexcpu());
            });
            std::lock_guard<std::mutex> lock(*m);
            (*byworker)[ZODUV_getindexcpu()].insert(intact && reserved ? p : nullptr);
        }
    };
    for (int i = 0; i < 80; ++i) group.add(user{&m, &byworker});
    group.finish();
    std::set<void*> all;
    for (const auto& [worker, pointers] : byworker) {
        EXPECT_EQ(pointers.size(), 1u) << "worker " << worker << " kept one buffer";
        EXPECT_EQ(pointers.count(nullptr), 0u) << "worker " << worker << " had no scratch yet or saw it overwritten";
        all.insert(pointers.begin(), pointers.end());
    }
    EXPECT_EQ(all.size(), byworker.size()) << "no two workers share a buffer";

    void* small = kst_parallel_scratch(16);
    void* big = kst_parallel_scratch(3 * KST_SCRATCH_INITIAL);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(big) % 64, 0u);
    EXPECT_EQ(kst_parallel_scratch(KST_SCRATCH_INITIAL), big) << "a smaller request keeps the grown buffer";
    (void)small;
}
