// Lock-free containers of the scheduler: bounded FIFO, index stack, single-consumer stack and a
// bounded work-stealing deque. All rest on 64-bit compare-and-swap only.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

// Stack of the integers 0..capacity-1 (a pool of free slots). Any thread may push or pop; the
// head carries a tag bumped by every change so that a node popped and pushed back between a
// reader's load and its compare-and-swap cannot be mistaken for the old head.
struct tlifo {
    void init(int capacity, bool full);
    bool push(int index);          // false only when index is out of range
    int pop();                     // -1 when empty
    bool empty() const { return (m_head.load(std::memory_order_acquire) & 0xffffffffu) == 0; }
    int capacity() const { return m_capacity; }

    // high 32 bits: tag; low 32 bits: index + 1 of the top node, 0 when empty
    std::atomic<std::uint64_t> m_head{0};
    std::unique_ptr<std::atomic<std::uint32_t>[]> m_next;  // index + 1 of the node below
    int m_capacity = 0;
};

// Node of a tlifo_singleconsumer; embed it in the element.
struct tlifo_node {
    tlifo_node* m_lifonext = nullptr;
};

// Stack pushed by any thread and popped by one consumer only: without concurrent pops the head
// cannot come back under a popper's feet, so no tag is needed.
struct tlifo_singleconsumer {
    void init() { m_head.store(nullptr, std::memory_order_relaxed); }
    void push(tlifo_node* node)
    {
        tlifo_node* head = m_head.load(std::memory_order_relaxed);
        do {
            node->m_lifonext = head;
        } while (!m_head.compare_exchange_weak(head, node, std::memory_order_release,
                                               std::memory_order_relaxed));
    }
    tlifo_node* pop()
    {
        tlifo_node* head = m_head.load(std::memory_order_acquire);
        while (head && !m_head.compare_exchange_weak(head, head->m_lifonext, std::memory_order_acquire,
                                                     std::memory_order_acquire)) {
        }
        return head;
    }
    // Takes every node at once, newest first.
    tlifo_node* popall() { return m_head.exchange(nullptr, std::memory_order_acquire); }
    bool empty() const { return m_head.load(std::memory_order_acquire) == nullptr; }

    std::atomic<tlifo_node*> m_head{nullptr};
};

// Bounded multi-producer multi-consumer queue. Each cell carries a sequence number telling
// whether it waits for a producer or a consumer of the current lap, so producers and consumers
// only contend on their own end counter.
template <class T>
struct tfifo {
    static_assert(std::is_trivially_copyable_v<T>, "tfifo holds plain values");

    void init(std::size_t capacity_pow2)
    {
        std::size_t cap = 2;
        while (cap < capacity_pow2) cap <<= 1;
        m_mask = cap - 1;
        m_cells = std::make_unique<cell[]>(cap);
        for (std::size_t i = 0; i < cap; ++i) m_cells[i].seq.store(i, std::memory_order_relaxed);
        m_enqueue.store(0, std::memory_order_relaxed);
        m_dequeue.store(0, std::memory_order_relaxed);
    }
    bool push(const T& value)
    {
        std::uint64_t pos = m_enqueue.load(std::memory_order_relaxed);
        for (;;) {
            cell& c = m_cells[pos & m_mask];
            const std::uint64_t seq = c.seq.load(std::memory_order_acquire);
            const std::int64_t diff = static_cast<std::int64_t>(seq - pos);
            if (diff == 0) {
                if (m_enqueue.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
                    c.value = value;
                    c.seq.store(pos + 1, std::memory_order_release);
                    return true;
                }
            } else if (diff < 0) {
                return false;  // full
            } else {
                pos = m_enqueue.load(std::memory_order_relaxed);
            }
        }
    }
    bool pop(T& out)
    {
        std::uint64_t pos = m_dequeue.load(std::memory_order_relaxed);
        for (;;) {
            cell& c = m_cells[pos & m_mask];
            const std::uint64_t seq = c.seq.load(std::memory_order_acquire);
            const std::int64_t diff = static_cast<std::int64_t>(seq - (pos + 1));
            if (diff == 0) {
                if (m_dequeue.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
                    out = c.value;
                    c.seq.store(pos + m_mask + 1, std::memory_order_release);
                    return true;
                }
            } else if (diff < 0) {
                return false;  // empty
            } else {
                pos = m_dequeue.load(std::memory_order_relaxed);
            }
        }
    }
    std::size_t capacity() const { return m_mask + 1; }

    struct cell {
        std::atomic<std::uint64_t> seq{0};
        T value{};
    };
    std::unique_ptr<cell[]> m_cells;
    std::size_t m_mask = 0;
    alignas(64) std::atomic<std::uint64_t> m_enqueue{0};
    alignas(64) std::atomic<std::uint64_t> m_dequeue{0};
};

// Bounded work-stealing deque on ever-growing 64-bit ends (indices taken modulo the capacity):
// the owner pushes and pops at the bottom, thieves take from the top. The owner's pop and a
// thief race by compare-and-swap on top only for the last element.
template <class T, std::size_t N>
struct tdeque {
    static_assert((N & (N - 1)) == 0, "capacity must be a power of two");
    static_assert(std::is_trivially_copyable_v<T>, "tdeque holds plain values");

    void init()
    {
        m_top.store(0, std::memory_order_relaxed);
        m_bottom.store(0, std::memory_order_relaxed);
    }
    bool push(T value)  // owner only
    {
        const std::int64_t b = m_bottom.load(std::memory_order_relaxed);
        const std::int64_t t = m_top.load(std::memory_order_acquire);
        if (b - t >= static_cast<std::int64_t>(N)) return false;
        m_items[b & (N - 1)].store(value, std::memory_order_relaxed);
        m_bottom.store(b + 1, std::memory_order_release);
        return true;
    }
    bool pop(T& out)  // owner only: newest first
    {
        const std::int64_t b = m_bottom.load(std::memory_order_relaxed) - 1;
        m_bottom.store(b, std::memory_order_seq_cst);
        std::int64_t t = m_top.load(std::memory_order_seq_cst);
        if (t > b) {
            m_bottom.store(b + 1, std::memory_order_relaxed);
            return false;
        }
        out = m_items[b & (N - 1)].load(std::memory_order_relaxed);
        if (t == b) {
            const bool won = m_top.compare_exchange_strong(t, t + 1, std::memory_order_seq_cst,
                                                           std::memory_order_relaxed);
            m_bottom.store(b + 1, std::memory_order_relaxed);
            return won;
        }
        return true;
    }
    bool steal(T& out)  // any thread: oldest first; retries while it loses races, false when empty
    {
        for (;;) {
            std::int64_t t = m_top.load(std::memory_order_seq_cst);
            const std::int64_t b = m_bottom.load(std::memory_order_seq_cst);
            if (t >= b) return false;
            T value = m_items[t & (N - 1)].load(std::memory_order_relaxed);
            if (m_top.compare_exchange_strong(t, t + 1, std::memory_order_seq_cst,
                                              std::memory_order_relaxed)) {
                out = value;
                return true;
            }
        }
    }
    std::int64_t size() const
    {
        const std::int64_t n = m_bottom.load(std::memory_order_acquire) - m_top.load(std::memory_order_acquire);
        return n > 0 ? n : 0;
    }

    alignas(64) std::atomic<std::int64_t> m_top{0};
    alignas(64) std::atomic<std::int64_t> m_bottom{0};
    std::atomic<T> m_items[N];
};
