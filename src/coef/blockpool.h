// Per-thread free lists of small blocks, for the objects a loop or a macro call makes and drops
// at every turn (number constants, argument bindings, run piles, identifier tree nodes): after the
// first turns they come back from the list instead of from malloc.
#pragma once
#include <cstddef>
#include <new>

// A block of `size` bytes (any size; those above the largest class go to the heap directly).
void* kst_blocktake(std::size_t size);
// Gives back a block of `size` bytes, on any thread: it joins that thread's list, which a thread
// returns to the heap when it ends.
void kst_blockgive(void* p, std::size_t size) noexcept;

// Class-level allocation from the lists: `KST_BLOCKPOOLED` inside a class body. The sized
// delete receives the dynamic type's size, so derived classes share it safely.
#define KST_BLOCKPOOLED                                                                            \
    static void* operator new(std::size_t n) { return kst_blocktake(n); }                         \
    static void operator delete(void* p, std::size_t n) noexcept { kst_blockgive(p, n); }

// An allocator for node containers (std::map of identifiers) drawing from the same lists.
template <class T>
struct t_blockallocator {
    using value_type = T;
    t_blockallocator() = default;
    template <class U> t_blockallocator(const t_blockallocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(kst_blocktake(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { kst_blockgive(p, n * sizeof(T)); }
    template <class U> bool operator==(const t_blockallocator<U>&) const noexcept { return true; }
    template <class U> bool operator!=(const t_blockallocator<U>&) const noexcept { return false; }
};

// A short per-thread list of whole objects given back for reuse (run piles, number constants),
// where resetting one costs less than making it again: take() gives one (null when the list is
// empty); when canhold(), keep(p) holds one (else the caller deletes it: the list is full or the
// thread is ending). The objects left go when the thread ends. Under the address and thread
// sanitizers nothing is kept, so that they see every object's end.
template <class T, int N>
class t_sparelist {
public:
    static T* take()
    {
        if (!k_on || s_list.n == 0) return nullptr;
        return s_list.items[--s_list.n];
    }
    static bool canhold() { return k_on && s_list.n < N && !s_list.ended; }
    static void keep(T* p)
    {
        if (!s_list.owned) {
            (void)&s_owner;   // the objects left go when the thread ends
            s_list.owned = true;
        }
        s_list.items[s_list.n++] = p;
    }

private:
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    static constexpr bool k_on = false;
#else
    static constexpr bool k_on = true;
#endif
    struct t_list {
        T* items[N];
        int n;
        bool owned;
        bool ended;   // objects dropped by the thread's later destructors are deleted
    };
    struct t_owner {
        ~t_owner()
        {
            while (s_list.n > 0) delete s_list.items[--s_list.n];
            s_list.ended = true;
        }
    };
    static inline thread_local __attribute__((tls_model("initial-exec"))) t_list s_list{};
    static inline thread_local t_owner s_owner;
};
