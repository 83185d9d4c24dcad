// The data-race detector of parallel regions and the keyed computation lock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "parallel_env.h"
#include "parallel/dataracedetector.h"

namespace {

class DataraceTest : public ::testing::Test {
protected:
    void SetUp() override { parallel_test_setup(); }
};

// Runs f on a thread that the scheduler would know as worker index.
template <class F>
void as_worker(int index, F f)
{
    std::thread([&] {
        ZODUV_setindexcpu(index);
        f();
    }).join();
}

TEST_F(DataraceTest, OwnershipIsTrackedOnlyInsideRegions)
{
    t_dataracedetector d;
    EXPECT_EQ(t_dataracedetector::openMPregions(), 0);
    EXPECT_TRUE(d.iswriteowner());
    as_worker(2, [&] { d.writeaccess(); });  // outside a region: nothing recorded
    t_dataracedetector::addOpenMPregion();
    EXPECT_FALSE(d.iswriteowner());  // no write recorded in the region yet
    d.writeaccess();
    EXPECT_TRUE(d.iswriteowner());
    bool ownerat2 = true;
    as_worker(2, [&] { ownerat2 = d.iswriteowner(); });
    EXPECT_FALSE(ownerat2);
    as_worker(2, [&] {
        d.writeaccess();
        d.readaccess();  // reads change nothing
        ownerat2 = d.iswriteowner();
    });
    EXPECT_TRUE(ownerat2);
    EXPECT_FALSE(d.iswriteowner());
    t_dataracedetector copy(d);  // copies carry the last writer
    as_worker(2, [&] { ownerat2 = copy.iswriteowner(); });
    EXPECT_TRUE(ownerat2);
    d.clearaccess();
    EXPECT_FALSE(d.iswriteowner());
    t_dataracedetector::addOpenMPregion();  // regions nest
    t_dataracedetector::removeOpenMPregion();
    EXPECT_EQ(t_dataracedetector::openMPregions(), 1);
    t_dataracedetector::removeOpenMPregion();
    EXPECT_EQ(t_dataracedetector::openMPregions(), 0);
    EXPECT_TRUE(d.iswriteowner());
}

TEST_F(DataraceTest, KeyedLockLetsOneThreadComputeAndTheOthersWait)
{
    t_threadarraylock table;
    kst_threadarrayinitlock(&table);
    EXPECT_EQ(table.entries.size(), static_cast<std::size_t>(kst_parallel_cpucount()));
    int keya = 0, keyb = 0;
    for (int round = 0; round < 20; ++round) {
        std::atomic<int> computed{0}, winners{0}, sawresult{0};
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int t = 0; t < 6; ++t)
            threads.emplace_back([&] {
                while (!go.load()) std::this_thread::yield();
                t_threadarraylock_entry* e = kst_threadarraylock(&table, &keya, &keyb);
                if (e) {
                    winners.fetch_add(1);
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                    computed.fetch_add(1);
                    kst_threadarrayunlock(&table, e);
                } else if (computed.load() > 0) {
                    sawresult.fetch_add(1);  // the result is there once the wait ends
                }
            });
        go = true;
        for (auto& t : threads) t.join();
        // a late thread may find the key released and compute again, but no one waits in vain
        EXPECT_GE(winners.load(), 1);
        EXPECT_EQ(winners.load() + sawresult.load(), 6);
        EXPECT_EQ(computed.load(), winners.load());
    }
    for (auto& e : table.entries) EXPECT_FALSE(e.inuse);
}

TEST_F(DataraceTest, KeyedLockWithMoreKeysThanEntries)
{
    t_threadarraylock table;
    kst_threadarrayinitlock(&table);
    std::vector<int> keys(12);
    std::atomic<int> inside{0}, maxinside{0}, done{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 12; ++t)
        threads.emplace_back([&, t] {
            t_threadarraylock_entry* e = kst_threadarraylock(&table, &keys[t], nullptr);
            ASSERT_NE(e, nullptr);  // distinct keys never wait for one another's result
            const int now = inside.fetch_add(1) + 1;
            int seen = maxinside.load();
            while (now > seen && !maxinside.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            inside.fetch_sub(1);
            kst_threadarrayunlock(&table, e);
            done.fetch_add(1);
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(done.load(), 12);
    EXPECT_LE(maxinside.load(), static_cast<int>(table.entries.size()));
    kst_threadarrayunlock(&table, nullptr);  // null (a waiter's answer) is ignored
}

} // namespace
