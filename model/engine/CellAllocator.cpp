#include "CellAllocator.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__linux__)
#include <mutex>
#include <sys/mman.h>
#include <vector>
#endif

namespace
{
// Blocks this large are mapped, on huge page boundaries, so a kernel that backs every
// mapping with huge pages can. They are not asked for: on a first touch the kernel
// compacts memory to find them, which cost a fresh process three times the system time
// of plain pages (p7 survey: 0.95 s against 0.31 s, the steps' time the same).
constexpr std::size_t HugePage = std::size_t{2} << 20;

#if defined(__linux__)
constexpr std::size_t Page = 4096;

std::size_t PageLength(std::size_t bytes)
{
    return (bytes + Page - 1) / Page * Page;
}

// Pages of freed blocks, kept for the next blocks: a survey's runs one after another
// would otherwise have the kernel clear a whole field's pages for each (most of the
// time of a run that outgrows its memory). A block takes kept pages before any new one,
// so the pages resident never exceed the most that blocks in use ever held; what is
// kept beyond KeptMost is given back.
class KeptPages
{
public:
    // Never destroyed: fields of static lifetime may be freed after it would be.
    static KeptPages& Instance()
    {
        static KeptPages* const kept = new KeptPages();
        return *kept;
    }

    // Moves kept pages onto block[from, to), as many as there are; returns where they end.
    std::size_t Fill(std::uint8_t* block, std::size_t from, std::size_t to)
    {
        const std::lock_guard<std::mutex> lock(Mutex);
        while (from < to && !Runs.empty())
        {
            Run& run = Runs.back();
            std::size_t take = std::min(run.Bytes, to - from);
            // Whole huge pages where the run has more, so they move as huge pages.
            if (take < run.Bytes && take > HugePage)
                take = take / HugePage * HugePage;
            if (::mremap(run.At, take, take, MREMAP_MAYMOVE | MREMAP_FIXED, block + from) ==
                MAP_FAILED)
            {
                // Given back, not tried again; the rest of the block stays new pages.
                ::munmap(run.At, run.Bytes);
                Total -= run.Bytes;
                Runs.pop_back();
                return from;
            }
            run.At += take;
            run.Bytes -= take;
            Total -= take;
            from += take;
            if (run.Bytes == 0)
                Runs.pop_back();
        }
        return from;
    }

    void Keep(std::uint8_t* block, std::size_t length)
    {
        {
            const std::lock_guard<std::mutex> lock(Mutex);
            if (Total + length <= KeptMost)
            {
                Runs.push_back({block, length});
                Total += length;
                return;
            }
        }
        ::munmap(block, length);
    }

private:
    static constexpr std::size_t KeptMost = std::size_t{1} << 30;
    struct Run
    {
        std::uint8_t* At;
        std::size_t Bytes;
    };
    std::mutex Mutex;
    std::vector<Run> Runs;
    std::size_t Total = 0;
};

// Address space for `length` bytes on a huge page boundary, not yet touched.
std::uint8_t* Reserve(std::size_t length)
{
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
    return block;
}

// A mapped block of `length` bytes, kept pages first; with `populate`, for a block about to be
// written whole, the new pages are faulted in by one call rather than a fault a page: in a
// virtual machine a fault costs about twice the clearing of its page (8.8 against 4.7 us a page
// in a 2-core one). Kernels before 5.14 refuse, and the pages then fault in as written.
std::uint8_t* MappedBlock(std::uint8_t* block, std::size_t from, std::size_t length, bool populate)
{
    from = KeptPages::Instance().Fill(block, from, length);
#if defined(MADV_POPULATE_WRITE)
    if (populate && from < length)
        ::madvise(block + from, length - from, MADV_POPULATE_WRITE);
#else
    (void)populate;
#endif
    return block;
}
#endif
} // namespace

// Large blocks are mapped directly, on a huge page boundary, and their pages kept or
// unmapped when freed: the heap would keep freed blocks resident, and round sizes up,
// beyond what the memory limit counts. Without mmap they come from the heap.
void* AllocateCells(std::size_t bytes)
{
#if defined(__linux__)
    if (bytes >= HugePage)
    {
        const std::size_t length = PageLength(bytes);
        return MappedBlock(Reserve(length), 0, length, false);
    }
#endif
    return ::operator new(bytes);
}

void FreeCells(void* block, std::size_t bytes) noexcept
{
#if defined(__linux__)
    if (bytes >= HugePage)
    {
        KeptPages::Instance().Keep(static_cast<std::uint8_t*>(block), PageLength(bytes));
        return;
    }
#endif
    ::operator delete(block);
}

void* GrowCells(void* block, std::size_t oldBytes, std::size_t bytes, std::size_t keep)
{
    void* grown = nullptr;
#if defined(__linux__)
    // The old pages go onto the front of the new block, both on huge page boundaries,
    // so they stay resident (and huge, if they are); only the new part is faulted in. Pages
    // that need not be kept move all the same: reusing them saves clearing new ones.
    if (bytes >= HugePage)
    {
        const std::size_t length = PageLength(bytes);
        std::uint8_t* const mapped = Reserve(length);
        const std::size_t oldLength = PageLength(oldBytes);
        if (block && oldBytes >= HugePage &&
            ::mremap(block, oldLength, oldLength, MREMAP_MAYMOVE | MREMAP_FIXED, mapped) !=
                MAP_FAILED)
            return MappedBlock(mapped, oldLength, length, true);
        grown = MappedBlock(mapped, 0, length, true);
    }
#endif
    if (!grown)
        grown = AllocateCells(bytes);
    if (!block)
        return grown;
    if (keep > 0)
        std::memcpy(grown, block, keep);
    FreeCells(block, oldBytes);
    return grown;
}
