// The lock-free stack through which a worker gets back the task slots other threads ran: pushed by
// any thread, popped by the owner only (the work-stealing deque itself is topbotdeque.h).
#pragma once
#include <atomic>

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
