#include "WidgetPaintArea.h"

#include "AntField.h"

#include <QPainter>

WidgetPaintArea::WidgetPaintArea(QWidget* parent)
    : QWidget(parent, Qt::WindowFlags()), Field(nullptr), PenColor(FieldRenderer::PenColor()),
      BackgroundColor(FieldRenderer::BackgroundColor()), CellWidth(3), CellHeight(3),
      FieldOffset(FieldRenderer::FieldOffset)
{
    for (int v = 0; v < FieldRenderer::CellValueCount; ++v)
        CellColors[v] = FieldRenderer::CellColor(v);
    Pen = QPen(QBrush(PenColor, Qt::SolidPattern), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    BackgroundBrush = QBrush(BackgroundColor, Qt::SolidPattern);
    for (int v = 0; v < FieldRenderer::CellValueCount; ++v)
        CellBrushes[v] = QBrush(CellColors[v], Qt::SolidPattern);
}

WidgetPaintArea::~WidgetPaintArea()
{
    Field = nullptr;
}

void WidgetPaintArea::SetAntField(AntField* field)
{
    Field = field;
}

void WidgetPaintArea::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const int* const* cells = Field != nullptr ? Field->GetCopy() : nullptr;
    FieldRenderer::Paint(painter, size(), cells, Pen, BackgroundBrush, CellBrushes, CellWidth,
                         CellHeight, FieldOffset);
}
