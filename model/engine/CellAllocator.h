#pragma once

#include <cstddef>
#include <new>
#include <utility>

// Blocks of cells (or of walk steps) of `bytes`, freed with the same count.
void* AllocateCells(std::size_t bytes);
void FreeCells(void* block, std::size_t bytes) noexcept;
// A block of `bytes` (more than `oldBytes`) in place of `block` (may be null), its first
// `keep` bytes kept, the rest to be written at once. Mapped blocks move their pages instead
// of copying them.
void* GrowCells(void* block, std::size_t oldBytes, std::size_t bytes, std::size_t keep);

// Field storage: left uninitialised, since every byte is written before it is read, and
// large blocks mapped, so their pages move rather than copy as a growing plane grows.
template <class T> struct CellAllocator
{
    using value_type = T;
    CellAllocator() = default;
    template <class U> CellAllocator(const CellAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(AllocateCells(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { FreeCells(p, n * sizeof(T)); }
    template <class U> void construct(U* p) noexcept(noexcept(::new (static_cast<void*>(p)) U))
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... A> void construct(U* p, A&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<A>(args)...);
    }
    template <class U> bool operator==(const CellAllocator<U>&) const noexcept { return true; }
    template <class U> bool operator!=(const CellAllocator<U>&) const noexcept { return false; }
};
