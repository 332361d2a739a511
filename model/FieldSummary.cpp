#include "FieldSummary.h"

#include "FieldView.h"
#include "PackedField.h"

FieldSummary FieldSummary::Of(const FieldView& field)
{
    FieldSummary summary;
    summary.Colours = field.Colours();
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

FieldSummary FieldSummary::Of(const AntField& field)
{
    PackedField packed;
    packed.Load(field);
    return Of(packed);
}
