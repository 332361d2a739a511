#pragma once

#include <cstddef>
#include <cstdint>

// A field's bytes: uninitialised where not yet written, as every byte is written before
// it is read, and grown without a copy where the blocks are mapped (the pages move to
// the larger block), so a growing plane faults in and clears only what it adds, and
// storage kept from run to run stays resident.
class CellBuffer
{
public:
    CellBuffer() = default;
    CellBuffer(const CellBuffer& other);
    CellBuffer(CellBuffer&& other) noexcept;
    CellBuffer& operator=(const CellBuffer& other);
    CellBuffer& operator=(CellBuffer&& other) noexcept;
    ~CellBuffer();

    std::uint8_t* data() { return Block; }
    const std::uint8_t* data() const { return Block; }
    std::size_t size() const { return Size; }
    std::size_t capacity() const { return Capacity; }
    std::uint8_t& operator[](std::size_t i) { return Block[i]; }
    std::uint8_t operator[](std::size_t i) const { return Block[i]; }
    std::uint8_t* begin() { return Block; }
    std::uint8_t* end() { return Block + Size; }
    const std::uint8_t* begin() const { return Block; }
    const std::uint8_t* end() const { return Block + Size; }

    // The first bytes kept, up to n; the rest left unwritten. Storage grows to n exactly,
    // as the memory limit counts it.
    void resize(std::size_t n);
    // As resize, but nothing need be kept: a block too small is not copied.
    void resizeDiscarding(std::size_t n);
    void assign(std::size_t n, std::uint8_t value);

private:
    void Reserve(std::size_t n, std::size_t keep);
    void Release() noexcept;

    std::uint8_t* Block = nullptr;
    std::size_t Size = 0;
    std::size_t Capacity = 0;
};
