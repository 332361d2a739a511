#pragma once

#include "FieldView.h"
#include "IndexImage.h"
#include "Palette.h"

#include <cstdint>

// A window of the field as palette indices: a 1-pixel frame in the pen, the inside in the
// background and one cellSize x cellSize block per cell, FieldOffset pixels of margin on
// each side. FieldRenderer draws the same pixels in colour for the window; the command
// line, which has no painter, encodes these indices directly.
class IndexRenderer
{
public:
    static constexpr int FieldOffset = 5;

    // The pixels across a picture of `cells` cells; 64 bits, so a limit can be checked first.
    static std::int64_t Side(int cells, int cellSize);
    // Cells outside the field are blank; values from cellValues on (at most
    // Palette::MostCellValues) leave the inside, as the window paints them.
    static IndexImage Render(const FieldView& field, const FieldView::Box& window, int cellSize,
                             int cellValues = Palette::CellValueCount);
    // The field's extent.
    static IndexImage Render(const FieldView& field, int cellSize,
                             int cellValues = Palette::CellValueCount)
    {
        return Render(field, field.Extent(), cellSize, cellValues);
    }
};
