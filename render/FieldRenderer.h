#pragma once

#include <QColor>

class QBrush;
class QImage;
class QPainter;
class QPen;
class QSize;

// Paints the field: a 1-pixel frame, a filled inside and one filled CellWidth x CellHeight
// block per cell. The window's view (3 x 3 cells) and the preview pictures and CLI
// exports (any square cell size) all go through Paint, so they cannot drift apart.
class FieldRenderer
{
public:
    static constexpr int CellValueCount = 13;
    static constexpr int FieldOffset = 5;

    // The standard palette: frame, inside, and the colour of each cell value 0..12.
    static QColor PenColor();
    static QColor BackgroundColor();
    static QColor CellColor(int value);

    // The frame rectangle with pen and background brush, then every cell of cells[y][x]
    // (if cells is not null) in the solid colour of its cell brush; values outside 0..12
    // leave what lies beneath. Same pixels as one drawRect per cell, in a fraction of the time.
    static void Paint(QPainter& painter, const QSize& size, const int* const* cells,
                      const QPen& pen, const QBrush& backgroundBrush,
                      const QBrush (&cellBrushes)[CellValueCount], int cellWidth, int cellHeight,
                      int fieldOffset);

    // The whole field in the standard palette with square cells of cellSize pixels, framed,
    // FieldOffset pixels of margin on each side: 8-bit RGB, no alpha.
    static QImage Render(const int* const* cells, int cellSize);
    static QSize ImageSize(int cellSize);
};
