#include "FieldSummary.h"

#include <algorithm>

FieldSummary FieldSummary::Of(const AntField& field)
{
    FieldSummary summary;
    summary.Colours = field.CountColours();
    for (int y = 0; y < AntField::FieldSize; ++y)
    {
        for (int x = 0; x < AntField::FieldSize; ++x)
        {
            if (field.GetCell(x, y) == 0)
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
