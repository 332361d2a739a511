#include "IndexRenderer.h"

#include "AntField.h"
#include "Palette.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

int IndexRenderer::Side(int cellSize)
{
    return 2 * FieldOffset + AntField::FieldSize * cellSize;
}

IndexImage IndexRenderer::Render(const int* const* cells, int cellSize)
{
    if (cellSize < 1)
        throw std::invalid_argument("a cell is at least one pixel");
    const int side = Side(cellSize);
    IndexImage image(side, side, Palette::BackgroundIndex);
    std::fill_n(image.Row(0), side, Palette::PenIndex);
    std::fill_n(image.Row(side - 1), side, Palette::PenIndex);
    for (int y = 1; y < side - 1; ++y)
        image.At(0, y) = image.At(side - 1, y) = Palette::PenIndex;

    constexpr int n = AntField::FieldSize;
    for (int y = 0; y < n; ++y)
    {
        const int top = FieldOffset + y * cellSize;
        std::uint8_t* line = image.Row(top) + FieldOffset;
        const int* row = cells[y];
        for (int x = 0; x < n; ++x)
            if (Palette::IsCellValue(row[x]))
                std::fill_n(line + x * cellSize, cellSize, static_cast<std::uint8_t>(row[x]));
        for (int k = 1; k < cellSize; ++k)
            std::memcpy(image.Row(top + k) + FieldOffset, line, std::size_t(n) * cellSize);
    }
    return image;
}
