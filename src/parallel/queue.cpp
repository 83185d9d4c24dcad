// The tagged index stack of the scheduler's slot pools.
#include "parallel/queue.h"

namespace {
constexpr std::uint64_t tlifo_indexmask = 0xffffffffu;
inline std::uint64_t tlifo_make(std::uint64_t tag, std::uint32_t indexplus1) { return (tag << 32) | indexplus1; }
} // namespace

void tlifo::init(int capacity, bool full)
{
    m_capacity = capacity > 0 ? capacity : 0;
    m_next = std::make_unique<std::atomic<std::uint32_t>[]>(static_cast<std::size_t>(m_capacity) + 1);
    if (full && m_capacity > 0) {
        // 0 on top, so that a fresh pool hands out its slots in order
        for (int i = 0; i < m_capacity; ++i)
            m_next[i].store(i + 1 < m_capacity ? static_cast<std::uint32_t>(i + 2) : 0u, std::memory_order_relaxed);
        m_head.store(tlifo_make(0, 1), std::memory_order_release);
    } else {
        m_head.store(0, std::memory_order_release);
    }
}

bool tlifo::push(int index)
{
    if (index < 0 || index >= m_capacity) return false;
    std::uint64_t head = m_head.load(std::memory_order_relaxed);
    for (;;) {
        m_next[index].store(static_cast<std::uint32_t>(head & tlifo_indexmask), std::memory_order_relaxed);
        const std::uint64_t next = tlifo_make((head >> 32) + 1, static_cast<std::uint32_t>(index + 1));
        if (m_head.compare_exchange_weak(head, next, std::memory_order_release, std::memory_order_relaxed))
            return true;
    }
}

int tlifo::pop()
{
    std::uint64_t head = m_head.load(std::memory_order_acquire);
    for (;;) {
        const std::uint32_t top = static_cast<std::uint32_t>(head & tlifo_indexmask);
        if (top == 0) return -1;
        // A stale "below" read here is harmless: the tag makes the exchange fail.
        const std::uint32_t below = m_next[top - 1].load(std::memory_order_relaxed);
        const std::uint64_t next = tlifo_make((head >> 32) + 1, below);
        if (m_head.compare_exchange_weak(head, next, std::memory_order_acquire, std::memory_order_acquire))
            return static_cast<int>(top) - 1;
    }
}
