#pragma once

#include "IndexImage.h"

// The field as palette indices: a 1-pixel frame in the pen, the inside in the background
// and one cellSize x cellSize block per cell, FieldOffset pixels of margin on each side.
// FieldRenderer draws the same pixels in colour for the window; the command line, which
// has no painter, encodes these indices directly.
class IndexRenderer
{
public:
    static constexpr int FieldOffset = 5;

    static int Side(int cellSize);
    // cells[y][x] for the field's rows; values outside the cell palette leave the inside.
    static IndexImage Render(const int* const* cells, int cellSize);
};
