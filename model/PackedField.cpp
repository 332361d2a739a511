#include "PackedField.h"

#include "AntField.h"

#include <algorithm>
#include <cstring>

namespace
{
int PlaneSide(int size)
{
    return std::min(size, PackedField::PlaneStartSize);
}
} // namespace

PackedField::PackedField(int size, bool unbounded)
    : Plane(unbounded), W(unbounded ? PlaneSide(size) : size), H(W), Start(size / 2)
{
    // On the plane the stored square is centred on the start cell.
    OriginX = OriginY = unbounded ? Start - W / 2 : 0;
    Codes.assign(static_cast<std::size_t>(Stride()) * static_cast<std::size_t>(H + 2), Border);
    Blank();
}

std::uint64_t PackedField::BytesFor(int size, bool unbounded)
{
    const auto side = static_cast<std::uint64_t>(unbounded ? PlaneSide(size) : size) + 2;
    return side * side;
}

void PackedField::Blank()
{
    const std::uint8_t blank = IsMarked ? MarkedCode(0, RightCodes) : 0;
    for (int y = 0; y < H; ++y)
        std::memset(Codes.data() + Index(OriginX, OriginY + y), blank, static_cast<std::size_t>(W));
}

void PackedField::Clear()
{
    IsMarked = false;
    ForeignValues.clear();
    Blank();
}

void PackedField::SetBox(int left, int top, int width, int height)
{
    W = width;
    H = height;
    OriginX = left;
    OriginY = top;
    IsMarked = false;
    ForeignValues.clear();
    Codes.assign(static_cast<std::size_t>(Stride()) * static_cast<std::size_t>(H + 2), Border);
    Blank();
}

void PackedField::Load(const AntField& field)
{
    ForeignValues.clear();
    for (int y = 0; y < H; ++y)
    {
        for (int x = 0; x < W; ++x)
        {
            const int value = field.GetCell(x, y);
            const auto i = static_cast<std::size_t>(Index(x, y));
            const bool inCycle = value >= 0 && value <= 12;
            Codes[i] = inCycle ? static_cast<std::uint8_t>(value) : Foreign;
            if (!inCycle)
                ForeignValues.emplace_back(i, value);
        }
    }
}

void PackedField::Store(AntField& field) const
{
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            field.SetCell(x, y,
                          static_cast<int>(CodeOf(Codes[static_cast<std::size_t>(Index(x, y))])));
    // A foreign cell the ant visited took a colour of the cycle.
    for (const auto& [index, value] : ForeignValues)
        if (CodeOf(Codes[index]) == Foreign)
            field.SetCell(X(static_cast<std::ptrdiff_t>(index)),
                          Y(static_cast<std::ptrdiff_t>(index)), value);
}

int PackedField::Colour(int x, int y) const
{
    if (!Inside(x, y))
        return 0;
    const std::size_t i = static_cast<std::size_t>(Index(x, y));
    const unsigned code = CodeOf(Codes[i]);
    if (code != Foreign)
        return static_cast<int>(code);
    for (const auto& [index, value] : ForeignValues)
        if (index == i)
            return value;
    return -1;
}

PackedField::Bounds PackedField::VisitedBounds() const
{
    Bounds bounds;
    bounds.MinX = OriginX + W;
    bounds.MinY = OriginY + H;
    bounds.MaxX = OriginX - 1;
    bounds.MaxY = OriginY - 1;
    for (int y = OriginY; y < OriginY + H; ++y)
    {
        const std::uint8_t* row = Codes.data() + Index(OriginX, y);
        int first = -1;
        int last = -1;
        for (int x = 0; x < W; ++x)
        {
            if (CodeOf(row[x]) != 0)
            {
                ++bounds.Visited;
                last = x;
                if (first < 0)
                    first = x;
            }
        }
        if (first < 0)
            continue;
        bounds.MinX = std::min(bounds.MinX, OriginX + first);
        bounds.MaxX = std::max(bounds.MaxX, OriginX + last);
        bounds.MinY = std::min(bounds.MinY, y);
        bounds.MaxY = y;
    }
    if (bounds.Visited == 0)
        bounds = Bounds{};
    return bounds;
}

AntField::ColourCounts PackedField::CountColours() const
{
    AntField::ColourCounts counts{};
    int minX = OriginX, minY = OriginY, maxX = OriginX + W - 1, maxY = OriginY + H - 1;
    if (Plane)
    {
        const Bounds bounds = VisitedBounds();
        minX = bounds.MinX;
        minY = bounds.MinY;
        maxX = bounds.MaxX;
        maxY = bounds.MaxY;
    }
    for (int y = minY; y <= maxY; ++y)
    {
        const std::uint8_t* row = Codes.data() + Index(minX, y);
        for (int x = 0; x <= maxX - minX; ++x)
        {
            const unsigned code = CodeOf(row[x]);
            if (code < AntField::ColourCount)
                ++counts[code];
        }
    }
    return counts;
}

std::ptrdiff_t PackedField::Grow(std::ptrdiff_t at, std::uint64_t maxBytes)
{
    const int x = X(at);
    const int y = Y(at);
    const bool sideways = x < OriginX || x >= OriginX + W;
    const int newW = sideways ? 2 * W : W;
    const int newH = sideways ? H : 2 * H;
    const std::uint64_t newBytes =
        (static_cast<std::uint64_t>(newW) + 2) * (static_cast<std::uint64_t>(newH) + 2);
    // Coordinates stay ints: a field wider than that is beyond any memory limit anyway.
    if (!Plane || newBytes + Codes.size() > maxBytes || newW > (1 << 30) || newH > (1 << 30))
        return -1;
    std::vector<std::uint8_t> grown;
    grown.assign(static_cast<std::size_t>(newBytes), Border);
    const int shiftX = x < OriginX ? W : 0;
    const int shiftY = y < OriginY ? H : 0;
    const std::ptrdiff_t newStride = newW + 2;
    const std::uint8_t blank = IsMarked ? MarkedCode(0, RightCodes) : 0;
    for (int row = 0; row < newH; ++row)
        std::memset(grown.data() + (row + 1) * newStride + 1, blank,
                    static_cast<std::size_t>(newW));
    for (int row = 0; row < H; ++row)
        std::memcpy(grown.data() + (row + shiftY + 1) * newStride + shiftX + 1,
                    Codes.data() + (row + 1) * Stride() + 1, static_cast<std::size_t>(W));
    for (auto& [index, value] : ForeignValues)
    {
        const auto i = static_cast<std::ptrdiff_t>(index);
        index =
            static_cast<std::size_t>((i / Stride() + shiftY) * newStride + i % Stride() + shiftX);
    }
    Codes = std::move(grown);
    W = newW;
    H = newH;
    OriginX -= shiftX;
    OriginY -= shiftY;
    return Index(x, y);
}

bool PackedField::MarkTurns(unsigned turningCodes, unsigned rightCodes)
{
    rightCodes &= ~(1u << Border);
    unsigned present = 0;
    for (const std::uint8_t byte : Codes)
        present |= 1u << CodeOf(byte);
    if ((present & ~(turningCodes | 1u << Border)) != 0)
        return false;
    for (std::uint8_t& byte : Codes)
        byte = MarkedCode(CodeOf(byte), rightCodes);
    IsMarked = true;
    RightCodes = rightCodes;
    return true;
}

void PackedField::UnmarkTurns()
{
    if (!IsMarked)
        return;
    for (std::uint8_t& byte : Codes)
        byte &= static_cast<std::uint8_t>(~TurnMark);
    IsMarked = false;
}

void PackedField::ReadRow(int left, int y, int width, int* colours) const
{
    std::fill_n(colours, width, 0);
    if (y < OriginY || y >= OriginY + H)
        return;
    const int from = std::max(left, OriginX);
    const int to = std::min(left + width, OriginX + W);
    if (from >= to)
        return;
    const std::uint8_t* row = Codes.data() + Index(from, y);
    int* out = colours + (from - left);
    bool foreign = false;
    for (int i = 0; i < to - from; ++i)
    {
        out[i] = static_cast<int>(CodeOf(row[i]));
        foreign |= out[i] == Foreign;
    }
    // Rare: only a loaded field holds them.
    if (foreign)
        for (int i = 0; i < to - from; ++i)
            if (out[i] == Foreign)
                out[i] = Colour(from + i, y);
}
