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
