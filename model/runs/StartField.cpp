#include "StartField.h"

#include <algorithm>
#include <cstdlib>

namespace
{
std::string Cell(std::int64_t x, std::int64_t y)
{
    return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

bool Near(std::int64_t value)
{
    return value >= -StartField::MostCoordinate && value <= StartField::MostCoordinate;
}
} // namespace

std::string StartField::ColourProblem(std::int64_t colour, int letters)
{
    if (colour >= 0 && colour <= letters)
        return {};
    return "colour " + std::to_string(colour) + " is not one of the rule's colours 0 to " +
           std::to_string(letters);
}

bool StartField::IsHeading(char heading)
{
    return heading == 'U' || heading == 'R' || heading == 'D' || heading == 'L';
}

std::string StartField::Place(PackedField& field, int size, bool plane, std::uint64_t maxMemory,
                              std::int64_t antX, std::int64_t antY) const
{
    const bool cells = Width > 0 && Height > 0;
    const std::int64_t right = Left + Width - 1;
    const std::int64_t bottom = Top + Height - 1;
    const std::string extent =
        std::to_string(Width) + " x " + std::to_string(Height) + " cells from " + Cell(Left, Top);
    const std::string side = std::to_string(size);
    int boxLeft = 0, boxTop = 0, boxWidth = 0, boxHeight = 0; // 0: the fresh field's
    if (!plane)
    {
        if (antX < 0 || antY < 0 || antX >= size || antY >= size)
            return "the ant's cell " + Cell(antX, antY) + " is off the " + side + " x " + side +
                   " field";
        if (cells && (Left < 0 || Top < 0 || right >= size || bottom >= size))
            return "the start field of " + extent + " does not fit the " + side + " x " + side +
                   " field";
    }
    else
    {
        const std::string most = std::to_string(MostCoordinate);
        if (!Near(antX) || !Near(antY))
            return "the ant's cell " + Cell(antX, antY) + " lies beyond " + most +
                   " cells from (0, 0)";
        if (cells && (!Near(Left) || !Near(Top) || !Near(right) || !Near(bottom)))
            return "the start field of " + extent + " reaches beyond " + most +
                   " cells from (0, 0)";
        // The fresh plane's square, grown to the rectangle and the ant's cell.
        const PackedField fresh(size, true);
        std::int64_t minX = std::min<std::int64_t>(fresh.Left(), antX);
        std::int64_t minY = std::min<std::int64_t>(fresh.Top(), antY);
        std::int64_t maxX = std::max<std::int64_t>(fresh.Left() + fresh.Width() - 1, antX);
        std::int64_t maxY = std::max<std::int64_t>(fresh.Top() + fresh.Height() - 1, antY);
        if (cells)
        {
            minX = std::min(minX, Left);
            minY = std::min(minY, Top);
            maxX = std::max(maxX, right);
            maxY = std::max(maxY, bottom);
        }
        const std::int64_t width = maxX - minX + 1;
        const std::int64_t height = maxY - minY + 1;
        const auto bytes =
            static_cast<std::uint64_t>(width + 2) * static_cast<std::uint64_t>(height + 2);
        if (bytes > maxMemory)
            return "the start field and the ant span " + std::to_string(width) + " x " +
                   std::to_string(height) + " cells, " + std::to_string(bytes) +
                   " bytes, more than the memory limit (" + std::to_string(maxMemory) + " bytes)";
        if (width != fresh.Width() || height != fresh.Height())
        {
            boxLeft = static_cast<int>(minX);
            boxTop = static_cast<int>(minY);
            boxWidth = static_cast<int>(width);
            boxHeight = static_cast<int>(height);
        }
    }
    PackedField start(size, plane);
    if (boxWidth > 0)
        start.SetBox(boxLeft, boxTop, boxWidth, boxHeight);
    for (int r = 0; r < Height; ++r)
        for (int c = 0; c < Width; ++c)
            if (const int colour = Colours[static_cast<std::size_t>(r) * Width + c]; colour != 0)
                start.SetColour(static_cast<int>(Left + c), static_cast<int>(Top + r), colour);
    field = std::move(start);
    return {};
}
