#include "FieldSummary.h"

#include "PackedField.h"

#include <algorithm>

namespace
{
template <typename CellAt> FieldSummary Summarise(const CellAt& cellAt)
{
    FieldSummary summary;
    for (int y = 0; y < AntField::FieldSize; ++y)
    {
        for (int x = 0; x < AntField::FieldSize; ++x)
        {
            const int colour = cellAt(x, y);
            if (colour >= 0 && colour < AntField::ColourCount)
                ++summary.Colours[static_cast<std::size_t>(colour)];
            if (colour == 0)
                continue;
            ++summary.Visited;
            if (summary.MinX < 0)
            {
                summary.MinX = summary.MaxX = x;
                summary.MinY = summary.MaxY = y;
            }
            summary.MinX = std::min(summary.MinX, x);
            summary.MaxX = std::max(summary.MaxX, x);
            summary.MaxY = y;
        }
    }
    return summary;
}
} // namespace

FieldSummary FieldSummary::Of(const AntField& field)
{
    return Summarise([&field](int x, int y) { return field.GetCell(x, y); });
}

FieldSummary FieldSummary::Of(const PackedField& field)
{
    FieldSummary summary;
    summary.Colours = field.CountColours();
    const PackedField::Bounds bounds = field.VisitedBounds();
    summary.Visited = bounds.Visited;
    if (bounds.Visited > 0)
    {
        summary.MinX = bounds.MinX;
        summary.MinY = bounds.MinY;
        summary.MaxX = bounds.MaxX;
        summary.MaxY = bounds.MaxY;
    }
    return summary;
}
