#pragma once

#include <cstdint>

// The field's colours by index: cell values 0..12, then the frame's pen and the inside.
// Pictures are images of these indices, so a PNG or GIF encoder needs no colour lookup.
class Palette
{
public:
    struct Rgb
    {
        std::uint8_t Red, Green, Blue;
    };

    static constexpr int CellValueCount = 13;
    static constexpr int PenIndex = CellValueCount;
    static constexpr int BackgroundIndex = PenIndex + 1;
    static constexpr int Size = BackgroundIndex + 1;

    static bool IsCellValue(int value) { return value >= 0 && value < CellValueCount; }
    // index must lie in 0..Size-1.
    static Rgb Colour(int index);
};
