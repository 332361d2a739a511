#pragma once

#include "IndexRenderer.h"
#include "Palette.h"

#include <QColor>

class QBrush;
class QImage;
class QPainter;
class QPen;
class QSize;

// Paints the field: a 1-pixel frame, a filled inside and one filled CellWidth x CellHeight
// block per cell. The window's view (3 x 3 cells) and the preview pictures and CLI
// pictures (any square cell size) go through Paint; IndexRenderer draws the same pixels as
// palette indices for the command line, which has no painter.
class FieldRenderer
{
public:
    static constexpr int CellValueCount = Palette::CellValueCount;
    static constexpr int FieldOffset = IndexRenderer::FieldOffset;

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
