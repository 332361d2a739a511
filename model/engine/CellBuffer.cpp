#include "CellBuffer.h"

#include "CellAllocator.h"

#include <cstring>
#include <utility>

CellBuffer::CellBuffer(const CellBuffer& other)
{
    if (other.Size > 0)
    {
        Reserve(other.Size, 0);
        std::memcpy(Block, other.Block, other.Size);
    }
    Size = other.Size;
}

CellBuffer::CellBuffer(CellBuffer&& other) noexcept
    : Block(std::exchange(other.Block, nullptr)), Size(std::exchange(other.Size, 0)),
      Capacity(std::exchange(other.Capacity, 0))
{
}

CellBuffer& CellBuffer::operator=(const CellBuffer& other)
{
    if (&other != this)
    {
        resizeDiscarding(other.Size);
        if (other.Size > 0)
            std::memcpy(Block, other.Block, other.Size);
    }
    return *this;
}

CellBuffer& CellBuffer::operator=(CellBuffer&& other) noexcept
{
    if (&other != this)
    {
        Release();
        Block = std::exchange(other.Block, nullptr);
        Size = std::exchange(other.Size, 0);
        Capacity = std::exchange(other.Capacity, 0);
    }
    return *this;
}

CellBuffer::~CellBuffer()
{
    Release();
}

void CellBuffer::resize(std::size_t n)
{
    if (n > Capacity)
        Reserve(n, Size);
    Size = n;
}

void CellBuffer::resizeDiscarding(std::size_t n)
{
    if (n > Capacity)
        Reserve(n, 0);
    Size = n;
}

void CellBuffer::assign(std::size_t n, std::uint8_t value)
{
    resizeDiscarding(n);
    if (n > 0)
        std::memset(Block, value, n);
}

void CellBuffer::Reserve(std::size_t n, std::size_t keep)
{
    Block = static_cast<std::uint8_t*>(GrowCells(Block, Capacity, n, keep));
    Capacity = n;
}

void CellBuffer::Release() noexcept
{
    if (Block)
        FreeCells(Block, Capacity);
    Block = nullptr;
    Size = Capacity = 0;
}
