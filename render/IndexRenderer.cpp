#include "IndexRenderer.h"

#include "Palette.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

std::int64_t IndexRenderer::Side(int cells, int cellSize)
{
    return 2 * std::int64_t{FieldOffset} + std::int64_t{cells} * cellSize;
}

IndexImage IndexRenderer::Render(const FieldView& field, const FieldView::Box& window, int cellSize,
                                 int cellValues)
{
    cellValues = std::min(cellValues, Palette::MostCellValues);
    if (cellSize < 1)
        throw std::invalid_argument("a cell is at least one pixel");
    if (window.Empty())
        throw std::invalid_argument("a picture shows at least one cell");
    const std::int64_t width64 = Side(window.Width, cellSize);
    const std::int64_t height64 = Side(window.Height, cellSize);
    if (width64 > std::numeric_limits<int>::max() || height64 > std::numeric_limits<int>::max())
        throw std::invalid_argument("a picture is at most 2^31 - 1 pixels wide and high");
    const int width = static_cast<int>(width64);
    const int height = static_cast<int>(height64);
    IndexImage image(width, height, Palette::BackgroundIndex);
    std::fill_n(image.Row(0), width, Palette::PenIndex);
    std::fill_n(image.Row(height - 1), width, Palette::PenIndex);
    for (int y = 1; y < height - 1; ++y)
        image.At(0, y) = image.At(width - 1, y) = Palette::PenIndex;

    const std::size_t lineBytes = std::size_t(window.Width) * std::size_t(cellSize);
    std::vector<int> colours(static_cast<std::size_t>(window.Width));
    for (int y = 0; y < window.Height; ++y)
    {
        const int top = FieldOffset + y * cellSize;
        std::uint8_t* line = image.Row(top) + FieldOffset;
        field.Row(window.Left, window.Top + y, window.Width, colours.data());
        for (int x = 0; x < window.Width; ++x)
            if (colours[std::size_t(x)] >= 0 && colours[std::size_t(x)] < cellValues)
                std::fill_n(line + std::size_t(x) * std::size_t(cellSize), cellSize,
                            static_cast<std::uint8_t>(Palette::IndexOf(colours[std::size_t(x)])));
        for (int k = 1; k < cellSize; ++k)
            std::memcpy(image.Row(top + k) + FieldOffset, line, lineBytes);
    }
    return image;
}
