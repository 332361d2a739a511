#include "FieldView.h"

#include <vector>

FieldView::Box FieldView::Stored() const
{
    return {Field->Left(), Field->Top(), Field->Width(), Field->Height()};
}

FieldView::Box FieldView::Extent() const
{
    if (!Unbounded())
        return Stored();
    const PackedField::Bounds visited = Visited();
    if (visited.Visited == 0)
        return {Field->StartX(), Field->StartY(), 1, 1};
    return {visited.MinX, visited.MinY, visited.MaxX - visited.MinX + 1,
            visited.MaxY - visited.MinY + 1};
}

PackedField::ColourCounts FieldView::Colours(const Box& box) const
{
    PackedField::ColourCounts counts{};
    if (box.Empty())
        return counts;
    std::vector<int> line(static_cast<std::size_t>(box.Width));
    for (int y = box.Top; y < box.Top + box.Height; ++y)
    {
        Row(box.Left, y, box.Width, line.data());
        for (const int colour : line)
            if (colour >= 0 && colour < PackedField::ColourCount)
                ++counts[static_cast<std::size_t>(colour)];
    }
    return counts;
}
