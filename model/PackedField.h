#pragma once

#include "AntField.h"

#include <cstdint>
#include <vector>

// The field as one byte per cell with a ring of border cells around it, so a fast
// runner needs no coordinate tests: stepping onto a border cell is a refused move.
// A cell value outside 0..12 is kept as Foreign and restored by Store unless visited.
class PackedField
{
public:
    static constexpr int Size = AntField::FieldSize;
    static constexpr int Stride = Size + 2;
    static constexpr std::uint8_t Foreign = 14;
    static constexpr std::uint8_t Border = 15;
    static constexpr std::size_t CellCount = static_cast<std::size_t>(Stride) * Stride;
    static constexpr int CodeCount = 16; // 0..12, Foreign, Border, one spare

    PackedField();

    void Load(const AntField& field);
    void Store(AntField& field) const;

    static int Index(int x, int y) { return (y + 1) * Stride + (x + 1); }
    static int X(int index) { return index % Stride - 1; }
    static int Y(int index) { return index / Stride - 1; }

    std::uint8_t* Cells() { return Codes.data(); }
    const std::uint8_t* Cells() const { return Codes.data(); }

private:
    std::vector<std::uint8_t> Codes;
    std::vector<int> ForeignValues; // the original ints, read back only for Foreign codes
};
