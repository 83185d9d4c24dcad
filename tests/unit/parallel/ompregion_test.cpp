// The entry points of the language's parallel directives: iteration values, task counts, region
// counting and the sequential fallback.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <vector>

#include "parallel_env.h"
#include "interp/cctx.h"
#include "interp/ompregion.h"

namespace {

class OmpRegionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parallel_test_setup();
        parent.kc.cpu = k_testthreads;
        Erreur_Execution = 0;
    }
    t_cctx parent;
};

TEST_F(OmpRegionTest, IterationCount)
{
    EXPECT_EQ(kst_omp_iterationcount(1, 10, 1), 10);
    EXPECT_EQ(kst_omp_iterationcount(1, 10, 3), 4);   // 1 4 7 10
    EXPECT_EQ(kst_omp_iterationcount(1, 9, 3), 3);    // 1 4 7
    EXPECT_EQ(kst_omp_iterationcount(10, 1, -2), 5);  // 10 8 6 4 2
    EXPECT_EQ(kst_omp_iterationcount(7, 7, 5), 1);
    EXPECT_EQ(kst_omp_iterationcount(5, 4, 1), 0);
    EXPECT_EQ(kst_omp_iterationcount(4, 5, -1), 0);
    EXPECT_EQ(kst_omp_iterationcount(1, 5, 0), 0);
}

// Logs every value with the task context that ran it, and the region count seen inside.
struct forbody {
    std::mutex* m;
    std::vector<std::int64_t>* values;
    std::set<t_cctx*>* ctxs;
    std::atomic<int>* inits;
    std::atomic<int>* outsideregion;
    void run_loop_init(t_cctx*) { inits->fetch_add(1); }
    bool run_loop(std::int64_t v, t_cctx* ctx)
    {
        if (t_dataracedetector::openMPregions() != 1) outsideregion->fetch_add(1);
        std::lock_guard<std::mutex> lock(*m);
        values->push_back(v);
        ctxs->insert(ctx);
        return true;
    }
    void run_loop_end(t_cctx*) {}
};

struct forlog {
    std::mutex m;
    std::vector<std::int64_t> values;
    std::set<t_cctx*> ctxs;
    std::atomic<int> inits{0}, outsideregion{0};
    forbody make() { return forbody{&m, &values, &ctxs, &inits, &outsideregion}; }
    std::vector<std::int64_t> sorted()
    {
        auto v = values;
        std::sort(v.begin(), v.end());
        return v;
    }
};

TEST_F(OmpRegionTest, ParallelForRunsEveryValueOnceOnCpuTasks)
{
    for (std::int64_t step : {7, -7}) {
        forlog log;
        forbody body = log.make();
        const std::uint64_t posted0 = ZODUV_getpostedcount();
        const bool parallel = step > 0 ? kst_omp_parallel_for(&parent, 3, 100, step, body)
                                       : kst_omp_parallel_for(&parent, 100, 3, step, body);
        EXPECT_TRUE(parallel);
        EXPECT_EQ(ZODUV_getpostedcount() - posted0, static_cast<std::uint64_t>(k_testthreads));
        EXPECT_EQ(log.inits.load(), k_testthreads);
        std::vector<std::int64_t> expected;
        for (std::int64_t v = step > 0 ? 3 : 100; step > 0 ? v <= 100 : v >= 3; v += step) expected.push_back(v);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(log.sorted(), expected);
        EXPECT_EQ(log.ctxs.count(&parent), 0u);
        EXPECT_EQ(log.outsideregion.load(), 0);
        EXPECT_EQ(t_dataracedetector::openMPregions(), 0);
    }
    // exactly _cpu tasks even for fewer iterations: each sets up its private variables
    forlog few;
    forbody body = few.make();
    kst_omp_parallel_for(&parent, 1, 2, 1, body);
    EXPECT_EQ(few.inits.load(), k_testthreads);
    EXPECT_EQ(few.sorted(), (std::vector<std::int64_t>{1, 2}));
}

TEST_F(OmpRegionTest, SequentialFallbackRunsInTheCallerWithoutRegion)
{
    parent.kc.cpu = 1;
    forlog log;
    forbody body = log.make();
    EXPECT_FALSE(kst_omp_parallel_for(&parent, 1, 10, 3, body));
    EXPECT_EQ(log.values, (std::vector<std::int64_t>{1, 4, 7, 10}));  // in order
    EXPECT_EQ(log.ctxs, std::set<t_cctx*>{&parent});
    EXPECT_EQ(log.outsideregion.load(), 4);  // no region counted
    EXPECT_EQ(log.inits.load(), 1);

    std::vector<int> numbers;
    EXPECT_FALSE(kst_omp_parallel(&parent, [&](int n, t_cctx* ctx) {
        EXPECT_EQ(ctx, &parent);
        numbers.push_back(n);
    }));
    EXPECT_EQ(numbers, std::vector<int>{1});
    std::vector<int> sections;
    EXPECT_FALSE(kst_omp_parallel_sections(&parent, 3, [&](int k, t_cctx*) { sections.push_back(k); }));
    EXPECT_EQ(sections, (std::vector<int>{0, 1, 2}));
}

TEST_F(OmpRegionTest, ParallelBlockAndSectionsRunOnTaskContexts)
{
    std::mutex m;
    std::vector<int> numbers;
    std::set<t_cctx*> ctxs;
    std::atomic<int> outside{0};
    auto note = [&](int n, t_cctx* ctx) {
        if (t_dataracedetector::openMPregions() != 1) outside.fetch_add(1);
        std::lock_guard<std::mutex> lock(m);
        numbers.push_back(n);
        ctxs.insert(ctx);
    };
    EXPECT_TRUE(kst_omp_parallel(&parent, note));
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(ctxs.count(&parent), 0u);
    numbers.clear();
    EXPECT_TRUE(kst_omp_parallel_sections(&parent, 5, note));
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(ctxs.count(&parent), 0u);
    EXPECT_EQ(outside.load(), 0);
    EXPECT_EQ(t_dataracedetector::openMPregions(), 0);
}

TEST_F(OmpRegionTest, WritesInsideTheRegionAreOwnedByTheWritingTask)
{
    std::vector<t_dataracedetector> elements(64);
    std::atomic<int> notowner{0};
    struct writer {
        std::vector<t_dataracedetector>* elements;
        std::atomic<int>* notowner;
        void run_loop_init(t_cctx*) {}
        bool run_loop(std::int64_t v, t_cctx*)
        {
            t_dataracedetector& d = (*elements)[static_cast<std::size_t>(v)];
            d.writeaccess();
            if (!d.iswriteowner()) notowner->fetch_add(1);
            return true;
        }
        void run_loop_end(t_cctx*) {}
    } body{&elements, &notowner};
    EXPECT_TRUE(kst_omp_parallel_for(&parent, 0, 63, 1, body));
    EXPECT_EQ(notowner.load(), 0);
    for (auto& d : elements) EXPECT_TRUE(d.iswriteowner());  // no region open any more
}

} // namespace
