#pragma once

#include "FieldRenderer.h"

#include <QBrush>
#include <QColor>
#include <QPen>
#include <QWidget>

class AntField;
class QPaintEvent;

// The field view: every cell as a small filled square inside a white, black-framed area.
// It reads the field through the field's snapshot at each paint and never owns it.
class WidgetPaintArea : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetPaintArea(QWidget* parent);
    ~WidgetPaintArea() override;

    void SetAntField(AntField* field);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    AntField* Field;

    QColor PenColor;
    QColor BackgroundColor;
    QColor CellColors[FieldRenderer::CellValueCount];

    QPen Pen;
    QBrush BackgroundBrush;
    QBrush CellBrushes[FieldRenderer::CellValueCount];

    int CellWidth;
    int CellHeight;
    int FieldOffset;
};
