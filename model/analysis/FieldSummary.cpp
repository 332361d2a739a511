#include "FieldSummary.h"

#include "FieldView.h"
#include "PackedField.h"

FieldSummary FieldSummary::Of(const FieldView& field)
{
    FieldSummary summary = BoundsOf(field);
    // On the plane the colours are counted in the box, found once for both.
    summary.Colours =
        !field.Unbounded() ? field.Colours()
        : summary.Visited == 0
            ? PackedField::ColourCounts{}
            : field.Colours({summary.MinX, summary.MinY, summary.MaxX - summary.MinX + 1,
                             summary.MaxY - summary.MinY + 1});
    return summary;
}

FieldSummary FieldSummary::BoundsOf(const FieldView& field)
{
    FieldSummary summary;
    const PackedField::Bounds bounds = field.Visited();
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

FieldSummary FieldSummary::Of(const PackedField& field)
{
    return Of(FieldView(field));
}

FieldSummary FieldSummary::BoundsOf(const PackedField& field)
{
    return BoundsOf(FieldView(field));
}

FieldSummary FieldSummary::Of(const AntField& field)
{
    PackedField packed;
    packed.Load(field);
    return Of(packed);
}
