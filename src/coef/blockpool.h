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
