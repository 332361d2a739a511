#include "CellAllocator.h"

#include <cstdint>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace
{
// Blocks this large come in huge pages: a 512th of the page faults.
constexpr std::size_t HugePage = std::size_t{2} << 20;
} // namespace

// Large blocks are mapped directly, on a huge page boundary, and unmapped when freed:
// the heap would keep freed blocks resident, and round sizes up, beyond what the memory
// limit counts. Without mmap they come from the heap.
void* AllocateCells(std::size_t bytes)
{
#if defined(__linux__)
    if (bytes >= HugePage)
    {
        constexpr std::size_t Page = 4096;
        const std::size_t length = (bytes + Page - 1) / Page * Page;
        void* mapped = ::mmap(nullptr, length + HugePage, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::bad_alloc();
        // Trimmed to a huge page boundary at the front, and to the length at the back.
        auto* const first = static_cast<std::uint8_t*>(mapped);
        const std::size_t skip =
            (HugePage - reinterpret_cast<std::uintptr_t>(mapped) % HugePage) % HugePage;
        std::uint8_t* const block = first + skip;
        if (skip > 0)
            ::munmap(first, skip);
        if (HugePage - skip > 0)
            ::munmap(block + length, HugePage - skip);
        ::madvise(block, length, MADV_HUGEPAGE); // only advice: the block works without
        return block;
    }
#endif
    return ::operator new(bytes);
}

void FreeCells(void* block, std::size_t bytes) noexcept
{
#if defined(__linux__)
    if (bytes >= HugePage)
    {
        ::munmap(block, bytes);
        return;
    }
#endif
    ::operator delete(block);
}

void* GrowCells(void* block, std::size_t oldBytes, std::size_t bytes, std::size_t keep)
{
    void* const grown = AllocateCells(bytes);
    if (!block)
        return grown;
#if defined(__linux__)
    // The old pages go onto the front of the new block, both on huge page boundaries,
    // so they stay resident and in huge pages; only the new part is faulted in. Pages
    // need not be kept are moved all the same: reusing them saves clearing new ones.
    if (oldBytes >= HugePage &&
        ::mremap(block, oldBytes, oldBytes, MREMAP_MAYMOVE | MREMAP_FIXED, grown) != MAP_FAILED)
        return grown;
#endif
    if (keep > 0)
        std::memcpy(grown, block, keep);
    FreeCells(block, oldBytes);
    return grown;
}
