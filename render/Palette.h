#pragma once

#include <cstdint>

// The field's colours by index: cell values 0..12, then the frame's pen and the inside,
// then the values 13..32 of longer rules, so that the window's pictures keep their
// indices. Pictures are images of these indices, so a PNG or GIF encoder needs no colour
// lookup.
class Palette
{
public:
    struct Rgb
    {
        std::uint8_t Red, Green, Blue;
    };

    static constexpr int CellValueCount = 13; // the window's
    static constexpr int PenIndex = CellValueCount;
    static constexpr int BackgroundIndex = PenIndex + 1;
    static constexpr int MostCellValues = 33;
    static constexpr int Size = MostCellValues + 2;

    // Whether a value is one of the window's.
    static bool IsCellValue(int value) { return value >= 0 && value < CellValueCount; }
    static int IndexOf(int value) { return value < CellValueCount ? value : value + 2; }
    // The entries a picture of cell values 0..cellValues-1 uses.
    static int EntriesFor(int cellValues)
    {
        return cellValues <= CellValueCount ? BackgroundIndex + 1 : cellValues + 2;
    }
    // index must lie in 0..Size-1.
    static Rgb Colour(int index);
};
