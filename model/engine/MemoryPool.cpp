#include "MemoryPool.h"

bool MemoryPool::Take(std::uint64_t bytes)
{
    std::uint64_t left = Left.load(std::memory_order_relaxed);
    do
    {
        if (left < bytes)
            return false;
    } while (!Left.compare_exchange_weak(left, left - bytes, std::memory_order_relaxed));
    return true;
}
