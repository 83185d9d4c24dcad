// The per-worker task deque: a fixed array, a bottom index moved only by its owner, and an age
// word (top index high, tag low) that thieves advance by compare-and-swap. The tag changes with
// every move of top, so a thief whose view is stale can never win its exchange.
#pragma once
#include <atomic>
#include <cstdint>
#include <type_traits>

template <class T, std::uint32_t N = 8192>
struct ttopbotdeque {
    static_assert(std::is_trivially_copyable_v<T>, "ttopbotdeque holds plain values");

    static constexpr std::uint32_t top_of(std::uint64_t age) { return static_cast<std::uint32_t>(age >> 32); }
    static constexpr std::uint32_t tag_of(std::uint64_t age) { return static_cast<std::uint32_t>(age); }
    static constexpr std::uint64_t make_age(std::uint32_t top, std::uint32_t tag)
    {
        return (static_cast<std::uint64_t>(top) << 32) | tag;
    }

    void init()
    {
        m_age.store(0, std::memory_order_relaxed);
        m_bot.store(0, std::memory_order_relaxed);
    }

    // Owner only. False when the array is used up to its end and still holds entries.
    bool push(T value)
    {
        std::uint32_t b = m_bot.load(std::memory_order_relaxed);
        if (b >= N) {
            std::uint64_t age = m_age.load(std::memory_order_seq_cst);
            if (top_of(age) < b) return false;
            // Empty: start again at 0. Bottom goes first so that a thief that sees the new age
            // also sees a bottom that is not above it.
            m_bot.store(0, std::memory_order_seq_cst);
            if (!m_age.compare_exchange_strong(age, make_age(0, tag_of(age) + 1), std::memory_order_seq_cst)) {
                m_bot.store(b, std::memory_order_seq_cst);
                return false;
            }
            b = 0;
        }
        m_items[b].store(value, std::memory_order_relaxed);
        m_bot.store(b + 1, std::memory_order_release);  // publishes the entry to thieves
        return true;
    }

    // The owner takes the newest entry; a thief the oldest.
    bool pop(T& out, int thief, int victim) { return thief == victim ? popbottom(out) : poptop(out); }

    bool popbottom(T& out)
    {
        std::uint32_t b = m_bot.load(std::memory_order_relaxed);
        if (b == 0) return false;
        --b;
        m_bot.store(b, std::memory_order_seq_cst);
        const T value = m_items[b].load(std::memory_order_relaxed);
        std::uint64_t age = m_age.load(std::memory_order_seq_cst);
        if (b > top_of(age)) {
            out = value;
            return true;
        }
        // At most one entry was left: reset, racing the thieves for it if it is still there.
        m_bot.store(0, std::memory_order_seq_cst);
        const std::uint64_t fresh = make_age(0, tag_of(age) + 1);
        if (b == top_of(age) &&
            m_age.compare_exchange_strong(age, fresh, std::memory_order_seq_cst)) {
            out = value;
            return true;
        }
        m_age.store(fresh, std::memory_order_seq_cst);
        return false;
    }

    bool poptop(T& out)
    {
        for (;;) {
            std::uint64_t age = m_age.load(std::memory_order_seq_cst);
            const std::uint32_t b = m_bot.load(std::memory_order_seq_cst);
            const std::uint32_t top = top_of(age);
            if (b <= top) return false;
            const T value = m_items[top].load(std::memory_order_relaxed);
            if (m_age.compare_exchange_strong(age, make_age(top + 1, tag_of(age) + 1),
                                              std::memory_order_seq_cst)) {
                out = value;
                return true;
            }
        }
    }

    bool empty() const
    {
        return m_bot.load(std::memory_order_seq_cst) <= top_of(m_age.load(std::memory_order_seq_cst));
    }

    alignas(64) std::atomic<std::uint64_t> m_age{0};
    alignas(64) std::atomic<std::uint32_t> m_bot{0};
    alignas(64) std::atomic<T> m_items[N];
};
