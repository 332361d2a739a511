#pragma once

#include <array>
#include <cstdint>

// The 250 x 250 board of colour numbers, plus the snapshot buffer the painter reads.
// Both buffers are tables of row pointers, addressed [y][x].
class AntField
{
public:
    static constexpr int FieldSize = 250;
    // Blank plus the twelve colours of the longest cycle.
    static constexpr int ColourCount = 13;
    using ColourCounts = std::array<std::uint64_t, ColourCount>;

    AntField();
    ~AntField();
    AntField(const AntField&) = delete;
    AntField& operator=(const AntField&) = delete;

    int GetCell(int x, int y) const { return Grid[y][x]; }
    void SetCell(int x, int y, int colour) { Grid[y][x] = colour; }
    void Clear();

    // Cells per value 0..12; values outside the cycle are not counted.
    ColourCounts CountColours() const;

    // Refreshes the snapshot from the main grid and returns it; always the same buffer.
    const int* const* GetCopy();

private:
    int** Grid;
    int** Copy;
};
