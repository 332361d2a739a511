#pragma once

#include "AntField.h"
#include "PackedField.h"

#include <cstdint>

// A packed field as pictures, traces and summaries read it: extents and colours in the
// plane's coordinates, never its bytes, so the encoding stays PackedField's own.
class FieldView
{
public:
    // A rectangle of cells; empty when Width or Height is 0.
    struct Box
    {
        int Left = 0;
        int Top = 0;
        int Width = 0;
        int Height = 0;

        bool Empty() const { return Width <= 0 || Height <= 0; }
        std::uint64_t Cells() const
        {
            return Empty() ? 0 : std::uint64_t(Width) * std::uint64_t(Height);
        }
    };

    explicit FieldView(const PackedField& field) : Field(&field) {}

    bool Unbounded() const { return Field->Unbounded(); }
    // The cells held: the N x N field, or the part of the plane grown so far.
    Box Stored() const;
    // The non-blank cells: their count and bounding box. Reads every stored cell.
    PackedField::Bounds Visited() const { return Field->VisitedBounds(); }
    // What a picture of the whole field shows: the N x N field, or on the plane the box
    // of the visited cells (the start cell while none is).
    Box Extent() const;

    // 0 outside the stored part.
    int Colour(int x, int y) const { return Field->Colour(x, y); }
    void Row(int left, int y, int width, int* colours) const
    {
        Field->ReadRow(left, y, width, colours);
    }
    // Cells per colour over the field, or on the plane over the visited cells' box.
    PackedField::ColourCounts Colours() const { return Field->CountColours(); }
    // The same over a box, for one that is known already.
    PackedField::ColourCounts Colours(const Box& box) const;

private:
    const PackedField* Field;
};
