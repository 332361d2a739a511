#include "FieldView.h"

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
