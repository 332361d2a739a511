#pragma once

#include <atomic>
#include <cstdint>

// Memory that the runs of several lanes and threads borrow from beyond their own shares
// while one of them needs more, so that a large run goes on where it is rather than
// running again alone. Results do not depend on it: a run that finds too little here
// ends as it would on its share alone.
class MemoryPool
{
public:
    // mostLoan: the most one run may hold borrowed.
    MemoryPool(std::uint64_t bytes, std::uint64_t mostLoan) : Left(bytes), Most(mostLoan) {}
    MemoryPool(const MemoryPool&) = delete;
    MemoryPool& operator=(const MemoryPool&) = delete;

    // All of `bytes` or nothing.
    bool Take(std::uint64_t bytes);
    void Give(std::uint64_t bytes) { Left.fetch_add(bytes, std::memory_order_relaxed); }
    std::uint64_t Free() const { return Left.load(std::memory_order_relaxed); }
    std::uint64_t MostLoan() const { return Most; }

private:
    std::atomic<std::uint64_t> Left;
    const std::uint64_t Most;
};
