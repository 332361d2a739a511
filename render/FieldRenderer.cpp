#include "FieldRenderer.h"

#include "AntField.h"
#include "Palette.h"

#include <QBrush>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRect>
#include <QSize>

#include <algorithm>
#include <cstring>

namespace
{
QColor PaletteColour(int index)
{
    const Palette::Rgb c = Palette::Colour(index);
    return QColor(c.Red, c.Green, c.Blue);
}

bool IsCellValue(int value)
{
    return Palette::IsCellValue(value);
}

// The cell area at full size, each cell written as a block, so that one unscaled
// drawImage replaces 62 500 drawRect calls. Values outside the palette become
// transparent holes; when there are none the image is opaque and drawing it is a copy.
QImage CellImage(const int* const* cells, const QRgb (&colours)[FieldRenderer::CellValueCount],
                 int cellWidth, int cellHeight)
{
    constexpr int n = AntField::FieldSize;
    bool holes = false;
    for (int y = 0; y < n && !holes; ++y)
        holes = !std::all_of(cells[y], cells[y] + n, IsCellValue);

    QImage image(n * cellWidth, n * cellHeight,
                 holes ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    const std::size_t lineBytes = static_cast<std::size_t>(n * cellWidth) * sizeof(QRgb);
    for (int y = 0; y < n; ++y)
    {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y * cellHeight));
        const int* row = cells[y];
        for (int x = 0; x < n; ++x)
        {
            const QRgb colour = IsCellValue(row[x]) ? colours[row[x]] : 0u;
            std::fill_n(line + x * cellWidth, cellWidth, colour);
        }
        for (int k = 1; k < cellHeight; ++k)
            std::memcpy(image.scanLine(y * cellHeight + k), line, lineBytes);
    }
    return image;
}
} // namespace

QColor FieldRenderer::PenColor()
{
    return PaletteColour(Palette::PenIndex);
}

QColor FieldRenderer::BackgroundColor()
{
    return PaletteColour(Palette::BackgroundIndex);
}

QColor FieldRenderer::CellColor(int value)
{
    return IsCellValue(value) ? PaletteColour(value) : QColor();
}

void FieldRenderer::Paint(QPainter& painter, const QSize& size, const int* const* cells,
                          const QPen& pen, const QBrush& backgroundBrush,
                          const QBrush (&cellBrushes)[CellValueCount], int cellWidth,
                          int cellHeight, int fieldOffset)
{
    painter.setPen(pen);
    painter.setBrush(backgroundBrush);
    painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
    if (cells == nullptr || cellWidth <= 0 || cellHeight <= 0)
        return;

    QRgb colours[CellValueCount];
    for (int v = 0; v < CellValueCount; ++v)
        colours[v] = cellBrushes[v].color().rgba();
    const QImage image = CellImage(cells, colours, cellWidth, cellHeight);
    painter.drawImage(fieldOffset, fieldOffset, image);
}

QSize FieldRenderer::ImageSize(int cellSize)
{
    const int side = 2 * FieldOffset + AntField::FieldSize * cellSize;
    return QSize(side, side);
}

QImage FieldRenderer::Render(const int* const* cells, int cellSize)
{
    const QPen pen(QBrush(PenColor()), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    const QBrush background(BackgroundColor());
    QBrush cellBrushes[CellValueCount];
    for (int v = 0; v < CellValueCount; ++v)
        cellBrushes[v] = QBrush(CellColor(v));

    QImage image(ImageSize(cellSize), QImage::Format_RGB32);
    {
        QPainter painter(&image);
        Paint(painter, image.size(), cells, pen, background, cellBrushes, cellSize, cellSize,
              FieldOffset);
    }
    return image.convertToFormat(QImage::Format_RGB888);
}
