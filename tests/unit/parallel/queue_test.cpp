// The lock-free containers: order and bounds on one thread, and under concurrent use that every
// element comes out exactly once.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "parallel/queue.h"
#include "parallel/topbotdeque.h"

namespace {

// Counts, per value, how often it came out; every value must come out exactly once.
void expect_each_once(const std::vector<std::vector<int>>& taken, int n)
{
    std::vector<int> seen(n, 0);
    for (const auto& part : taken)
        for (int v : part) {
            ASSERT_GE(v, 0);
            ASSERT_LT(v, n);
            ++seen[v];
        }
    for (int v = 0; v < n; ++v) ASSERT_EQ(seen[v], 1) << "value " << v;
}

TEST(TlifoTest, FullPoolHandsOutInOrderAndStacks)
{
    tlifo lifo;
    lifo.init(5, true);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(lifo.pop(), i);
    EXPECT_EQ(lifo.pop(), -1);
    EXPECT_TRUE(lifo.empty());
    EXPECT_TRUE(lifo.push(3));
    EXPECT_TRUE(lifo.push(1));
    EXPECT_FALSE(lifo.push(5));
    EXPECT_FALSE(lifo.push(-1));
    EXPECT_EQ(lifo.pop(), 1);
    EXPECT_EQ(lifo.pop(), 3);
    EXPECT_EQ(lifo.pop(), -1);
}

TEST(TlifoTest, ConcurrentPopPushKeepsEverySlotOnce)
{
    constexpr int n = 64;
    tlifo lifo;
    lifo.init(n, true);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&lifo] {
            for (int k = 0; k < 20000; ++k) {
                const int s = lifo.pop();
                if (s >= 0) lifo.push(s);
            }
        });
    for (auto& t : threads) t.join();
    std::vector<std::vector<int>> taken(1);
    for (int s; (s = lifo.pop()) >= 0;) taken[0].push_back(s);
    expect_each_once(taken, n);
}

struct node : tlifo_node {
    int value = 0;
};

TEST(TlifoSingleConsumerTest, PopAllReturnsNewestFirst)
{
    tlifo_singleconsumer lifo;
    lifo.init();
    node nodes[3];
    for (int i = 0; i < 3; ++i) {
        nodes[i].value = i;
        lifo.push(&nodes[i]);
    }
    EXPECT_EQ(static_cast<node*>(lifo.pop())->value, 2);
    tlifo_node* all = lifo.popall();
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(static_cast<node*>(all)->value, 1);
    EXPECT_EQ(static_cast<node*>(all->m_lifonext)->value, 0);
    EXPECT_EQ(all->m_lifonext->m_lifonext, nullptr);
    EXPECT_TRUE(lifo.empty());
    EXPECT_EQ(lifo.pop(), nullptr);
}

TEST(TlifoSingleConsumerTest, ManyProducersOneConsumer)
{
    constexpr int per = 5000, producers = 3, n = per * producers;
    std::vector<node> nodes(n);
    tlifo_singleconsumer lifo;
    lifo.init();
    std::vector<std::thread> threads;
    for (int t = 0; t < producers; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < per; ++k) {
                node& x = nodes[t * per + k];
                x.value = t * per + k;
                lifo.push(&x);
            }
        });
    std::vector<std::vector<int>> taken(1);
    for (int round = 0; static_cast<int>(taken[0].size()) < n; ++round) {
        if (round % 2) {
            if (tlifo_node* x = lifo.pop()) taken[0].push_back(static_cast<node*>(x)->value);
        } else {
            for (tlifo_node* x = lifo.popall(); x; x = x->m_lifonext)
                taken[0].push_back(static_cast<node*>(x)->value);
        }
    }
    for (auto& t : threads) t.join();
    expect_each_once(taken, n);
}

TEST(TfifoTest, FirstInFirstOutWithinCapacity)
{
    tfifo<int> fifo;
    fifo.init(4);
    EXPECT_EQ(fifo.capacity(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(fifo.push(i));
    EXPECT_FALSE(fifo.push(99));
    int v = -1;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(fifo.pop(v));
        EXPECT_EQ(v, i);
    }
    EXPECT_FALSE(fifo.pop(v));
    // wrap around several laps
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(fifo.push(i));
        ASSERT_TRUE(fifo.pop(v));
        EXPECT_EQ(v, i);
    }
}

TEST(TfifoTest, ConcurrentProducersAndConsumers)
{
    constexpr int per = 20000, producers = 2, consumers = 2, n = per * producers;
    tfifo<int> fifo;
    fifo.init(256);
    std::atomic<int> consumed{0};
    std::vector<std::vector<int>> taken(consumers);
    std::vector<std::thread> threads;
    for (int t = 0; t < producers; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < per; ++k)
                while (!fifo.push(t * per + k)) std::this_thread::yield();
        });
    for (int c = 0; c < consumers; ++c)
        threads.emplace_back([&, c] {
            int v;
            while (consumed.load() < n) {
                if (fifo.pop(v)) {
                    taken[c].push_back(v);
                    consumed.fetch_add(1);
                } else {
                    std::this_thread::yield();
                }
            }
        });
    for (auto& t : threads) t.join();
    expect_each_once(taken, n);
    // each producer's values leave in the order they went in, whoever consumes them
    for (const auto& part : taken)
        for (int t = 0; t < producers; ++t) {
            int last = -1;
            for (int v : part)
                if (v / per == t) {
                    EXPECT_GT(v, last);
                    last = v;
                }
        }
}

TEST(TdequeTest, OwnerLastInFirstOutThiefFirstInFirstOut)
{
    tdeque<int, 4> d;
    d.init();
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(d.push(i));
    EXPECT_FALSE(d.push(4));
    int v = -1;
    ASSERT_TRUE(d.steal(v));
    EXPECT_EQ(v, 0);
    ASSERT_TRUE(d.pop(v));
    EXPECT_EQ(v, 3);
    EXPECT_EQ(d.size(), 2);
    EXPECT_TRUE(d.push(7));  // the slot freed by the thief is reused
    ASSERT_TRUE(d.pop(v));
    EXPECT_EQ(v, 7);
    ASSERT_TRUE(d.steal(v));
    EXPECT_EQ(v, 1);
    ASSERT_TRUE(d.pop(v));
    EXPECT_EQ(v, 2);
    EXPECT_FALSE(d.pop(v));
    EXPECT_FALSE(d.steal(v));
}

TEST(TdequeTest, OwnerAndThievesTakeEachElementOnce)
{
    constexpr int n = 60000;
    tdeque<int, 1024> d;
    d.init();
    std::atomic<bool> done{false};
    std::vector<std::vector<int>> taken(4);
    std::vector<std::thread> thieves;
    for (int t = 1; t < 4; ++t)
        thieves.emplace_back([&, t] {
            int v;
            while (!done.load())
                if (d.steal(v)) taken[t].push_back(v);
        });
    int v;
    for (int i = 0; i < n; ++i) {
        while (!d.push(i))
            if (d.pop(v)) taken[0].push_back(v);
        if (i % 3 == 0 && d.pop(v)) taken[0].push_back(v);
    }
    while (d.pop(v)) taken[0].push_back(v);
    done.store(true);
    for (auto& t : thieves) t.join();
    while (d.steal(v)) taken[0].push_back(v);
    expect_each_once(taken, n);
}

TEST(TtopbotdequeTest, OwnerPopsNewestThiefPopsOldest)
{
    ttopbotdeque<int, 8> d;
    d.init();
    for (int i = 10; i < 14; ++i) EXPECT_TRUE(d.push(i));
    int v = -1;
    ASSERT_TRUE(d.pop(v, 1, 0));  // thief 1 on victim 0
    EXPECT_EQ(v, 10);
    ASSERT_TRUE(d.pop(v, 0, 0));  // the owner
    EXPECT_EQ(v, 13);
    ASSERT_TRUE(d.pop(v, 2, 0));
    EXPECT_EQ(v, 11);
    ASSERT_TRUE(d.pop(v, 0, 0));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(d.empty());
    EXPECT_FALSE(d.pop(v, 0, 0));
    EXPECT_FALSE(d.pop(v, 1, 0));
}

TEST(TtopbotdequeTest, BottomRestartsOnlyWhenEmpty)
{
    ttopbotdeque<int, 4> d;
    d.init();
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(d.push(i));
    EXPECT_FALSE(d.push(4));  // bottom at the end, entries left
    int v = -1;
    const std::uint32_t tag = decltype(d)::tag_of(d.m_age.load());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(d.poptop(v));
    EXPECT_FALSE(d.push(4));  // one entry still there
    ASSERT_TRUE(d.poptop(v));
    EXPECT_EQ(v, 3);
    ASSERT_TRUE(d.push(5));  // empty: restarts at 0 with a new tag
    EXPECT_EQ(d.m_bot.load(), 1u);
    EXPECT_EQ(decltype(d)::top_of(d.m_age.load()), 0u);
    EXPECT_NE(decltype(d)::tag_of(d.m_age.load()), tag);
    ASSERT_TRUE(d.popbottom(v));
    EXPECT_EQ(v, 5);
}

TEST(TtopbotdequeTest, OwnerAndThievesTakeEachElementOnce)
{
    constexpr int n = 100000;
    auto d = std::make_unique<ttopbotdeque<int, 8192>>();
    d->init();
    std::atomic<bool> done{false};
    std::vector<std::vector<int>> taken(4);
    std::vector<std::thread> thieves;
    for (int t = 1; t < 4; ++t)
        thieves.emplace_back([&, t] {
            int v;
            while (!done.load())
                if (d->pop(v, t, 0)) taken[t].push_back(v);
        });
    int v;
    for (int i = 0; i < n; ++i) {
        while (!d->push(i))
            if (d->pop(v, 0, 0)) taken[0].push_back(v);
        if (i % 2 == 0 && d->pop(v, 0, 0)) taken[0].push_back(v);
    }
    while (d->pop(v, 0, 0)) taken[0].push_back(v);
    done.store(true);
    for (auto& t : thieves) t.join();
    expect_each_once(taken, n);
}

} // namespace
