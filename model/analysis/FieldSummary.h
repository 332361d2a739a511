#pragma once

#include "PackedField.h"

#include <cstdint>

class FieldView;
class PackedField;

// What a field holds, for time series of a run: cells per colour, the visited (non-blank)
// cells and the smallest rectangle around them.
struct FieldSummary
{
    PackedField::ColourCounts Colours{};
    std::uint64_t Visited = 0;
    // Inclusive cell coordinates; all -1 while nothing was visited.
    int MinX = -1;
    int MinY = -1;
    int MaxX = -1;
    int MaxY = -1;

    // On the plane, colour 0 is counted within the box only.
    static FieldSummary Of(const FieldView& field);
    // The visited cells and their box, colours left uncounted: all a survey row records,
    // and counting reads every cell of a box that a run out of memory made huge.
    static FieldSummary BoundsOf(const FieldView& field);
    static FieldSummary BoundsOf(const PackedField& field);
    static FieldSummary Of(const PackedField& field);
    // The window's field, read as a packed one.
    static FieldSummary Of(const AntField& field);
};
