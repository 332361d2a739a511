#include "PackedField.h"

#include "AntField.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace
{
int PlaneSide(int size)
{
    return std::min(size, PackedField::PlaneStartSize);
}

// The code bits of 8 cells.
constexpr std::uint64_t CodeBits = 0x0101010101010101u * (PackedField::CodeCount - 1);

// 8 cells at a time: the bytes whose code is not 0 have their top bit set. A code is at
// most 63, so adding 0x7F to each byte carries into no other.
std::uint64_t NotBlank(const std::uint8_t* cells)
{
    std::uint64_t word = 0;
    std::memcpy(&word, cells, sizeof word);
    word &= CodeBits;
    return (word + 0x7F7F7F7F7F7F7F7Fu) & 0x8080808080808080u;
}
bool AllBlank64(const std::uint8_t* cells)
{
    std::uint64_t any = 0;
    for (int i = 0; i < 8; ++i)
    {
        std::uint64_t word = 0;
        std::memcpy(&word, cells + 8 * i, sizeof word);
        any |= word;
    }
    return (any & CodeBits) == 0;
}

// The first of count cells that is not blank, or count.
int FirstCell(const std::uint8_t* cells, int count)
{
    int i = 0;
    while (i + 8 <= count)
    {
        if (i + 64 <= count && AllBlank64(cells + i))
        {
            i += 64;
            continue;
        }
        if (const std::uint64_t set = NotBlank(cells + i))
            return i + __builtin_ctzll(set) / 8;
        i += 8;
    }
    for (; i < count; ++i)
        if (PackedField::CodeOf(cells[i]) != 0)
            return i;
    return count;
}

// The last of count cells that is not blank, or -1.
int LastCell(const std::uint8_t* cells, int count)
{
    int i = count;
    while (i >= 8)
    {
        if (i >= 64 && AllBlank64(cells + i - 64))
        {
            i -= 64;
            continue;
        }
        if (const std::uint64_t set = NotBlank(cells + i - 8))
            return i - 8 + (63 - __builtin_clzll(set)) / 8;
        i -= 8;
    }
    while (i-- > 0)
        if (PackedField::CodeOf(cells[i]) != 0)
            return i;
    return -1;
}

// The parts of the rectangle (left, top, width, height) outside the rectangle `out`.
template <class Part>
void Outside(int left, int top, int width, int height, const PackedField::Part& out, Part part)
{
    const int right = left + width;
    const int bottom = top + height;
    const int outRight = out.Left + out.Width;
    const int outBottom = out.Top + out.Height;
    if (outRight <= left || out.Left >= right || outBottom <= top || out.Top >= bottom)
    {
        part(left, top, width, height);
        return;
    }
    if (out.Top > top)
        part(left, top, width, out.Top - top);
    if (outBottom < bottom)
        part(left, outBottom, width, bottom - outBottom);
    const int midTop = std::max(top, out.Top);
    const int midHeight = std::min(bottom, outBottom) - midTop;
    if (out.Left > left)
        part(left, midTop, out.Left - left, midHeight);
    if (outRight < right)
        part(outRight, midTop, right - outRight, midHeight);
}

constexpr std::uint8_t CodeMask = PackedField::CodeCount - 1;
} // namespace

PackedField::PackedField(int size, bool unbounded)
{
    Reset(size, unbounded);
}

void PackedField::Reset(int size, bool unbounded)
{
    Plane = unbounded;
    Side = unbounded ? 0 : size;
    W = H = unbounded ? PlaneSide(size) : size;
    Start = size / 2;
    // On the plane the stored square is centred on the start cell.
    OriginX = OriginY = unbounded ? Start - W / 2 : 0;
    IsMarked = false;
    RightCodes = 0;
    ForeignValues.clear();
    Archive.Clear();
    PlannedAt = -1;
    Codes.resize(static_cast<std::size_t>(Stride()) * static_cast<std::size_t>(H + 2));
    Frame();
    Blank();
}

void PackedField::Frame()
{
    std::uint8_t* cells = Codes.data();
    const std::ptrdiff_t stride = Stride();
    std::memset(cells, Border, static_cast<std::size_t>(stride));
    std::memset(cells + (H + 1) * stride, Border, static_cast<std::size_t>(stride));
    for (int row = 1; row <= H; ++row)
        cells[row * stride] = cells[row * stride + W + 1] = Border;
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
    Archive.Clear();
    PlannedAt = -1;
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
    Archive.Clear();
    PlannedAt = -1;
    Codes.assign(static_cast<std::size_t>(Stride()) * static_cast<std::size_t>(H + 2), Border);
    Blank();
}

void PackedField::Keep(int left, int top, int width, int height, const std::uint8_t* colours)
{
    PlannedAt = -1;
    Outside(
        left, top, width, height, StoredPart(),
        [&](int l, int t, int w, int h)
        { Archive.Store(l, t, w, h, colours + (t - top) * width + (l - left), width, CodeMask); });
}

void PackedField::Load(const AntField& field)
{
    IsMarked = false; // every cell is written anew
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
        return Archive.Code(x, y);
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
    const int words = W / 8;
    for (int y = OriginY; y < OriginY + H; ++y)
    {
        const std::uint8_t* row = Codes.data() + Index(OriginX, y);
        int first = -1;
        int last = -1;
        for (int word = 0; word < words; ++word)
        {
            // A grown plane is mostly blank: 64 cells at a time where they all are.
            if (word + 8 <= words && AllBlank64(row + 8 * word))
            {
                word += 7;
                continue;
            }
            const std::uint64_t set = NotBlank(row + 8 * word);
            if (set == 0)
                continue;
            bounds.Visited += static_cast<std::uint64_t>(__builtin_popcountll(set));
            last = 8 * word + (63 - __builtin_clzll(set)) / 8;
            if (first < 0)
                first = 8 * word + __builtin_ctzll(set) / 8;
        }
        for (int x = 8 * words; x < W; ++x)
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
    ForEachArchived(
        [&bounds](int x, int y, unsigned)
        {
            ++bounds.Visited;
            bounds.MinX = std::min(bounds.MinX, x);
            bounds.MaxX = std::max(bounds.MaxX, x);
            bounds.MinY = std::min(bounds.MinY, y);
            bounds.MaxY = std::max(bounds.MaxY, y);
        });
    if (bounds.Visited == 0)
        bounds = Bounds{};
    return bounds;
}

PackedField::ColourCounts PackedField::CountColours() const
{
    ColourCounts counts{};
    if (!Archive.Empty())
    {
        // The visited box may be far larger than what is kept: its blank cells by subtraction.
        Bounds bounds{OriginX + W, OriginY + H, OriginX - 1, OriginY - 1, 0};
        const auto add = [&](int x, int y, unsigned code)
        {
            if (code < ColourCount)
                ++counts[code];
            bounds.MinX = std::min(bounds.MinX, x);
            bounds.MaxX = std::max(bounds.MaxX, x);
            bounds.MinY = std::min(bounds.MinY, y);
            bounds.MaxY = std::max(bounds.MaxY, y);
        };
        for (int y = OriginY; y < OriginY + H; ++y)
        {
            const std::uint8_t* row = Codes.data() + Index(OriginX, y);
            for (int x = 0; x < W; ++x)
            {
                if (x + 8 <= W && NotBlank(row + x) == 0)
                {
                    x += 7;
                    continue;
                }
                if (const unsigned code = CodeOf(row[x]); code != 0)
                    add(OriginX + x, y, code);
            }
        }
        ForEachArchived(add);
        if (bounds.MaxX < bounds.MinX)
            return ColourCounts{};
        std::uint64_t coloured = 0;
        for (int c = 1; c < ColourCount; ++c)
            coloured += counts[static_cast<std::size_t>(c)];
        counts[0] = (static_cast<std::uint64_t>(bounds.MaxX - bounds.MinX) + 1) *
                        (static_cast<std::uint64_t>(bounds.MaxY - bounds.MinY) + 1) -
                    coloured;
        return counts;
    }
    int minX = OriginX, minY = OriginY, maxX = OriginX + W - 1, maxY = OriginY + H - 1;
    if (Plane)
    {
        const Bounds bounds = VisitedBounds();
        minX = bounds.MinX;
        minY = bounds.MinY;
        maxX = bounds.MaxX;
        maxY = bounds.MaxY;
    }
    const int width = maxX - minX + 1;
    auto count = [&counts](std::uint8_t byte)
    {
        const unsigned code = CodeOf(byte);
        if (code < ColourCount)
            ++counts[code];
    };
    for (int y = minY; y <= maxY; ++y)
    {
        const std::uint8_t* row = Codes.data() + Index(minX, y);
        int x = 0;
        // A grown plane's box is mostly blank: 8 blank cells at a time.
        for (; x + 8 <= width; x += 8)
        {
            if (NotBlank(row + x) == 0)
            {
                counts[0] += 8;
                continue;
            }
            for (int i = 0; i < 8; ++i)
                count(row[x + i]);
        }
        for (; x < width; ++x)
            count(row[x]);
    }
    return counts;
}

PackedField::Growth PackedField::GrownAt(std::ptrdiff_t at) const
{
    if (PlannedAt == at)
        return Planned;
    const int x = X(at);
    const int y = Y(at);
    Growth g{OriginX, OriginY, OriginX + W, OriginY + H, 0, false};
    if (x < g.Left)
        g.Left -= W;
    else if (x >= g.Right)
        g.Right += W;
    else if (y < g.Top)
        g.Top -= H;
    else
        g.Bottom += H;
    if (!Plane)
    {
        g.Left = std::max(g.Left, 0);
        g.Top = std::max(g.Top, 0);
        g.Right = std::min(g.Right, Side);
        g.Bottom = std::min(g.Bottom, Side);
    }
    const auto cells =
        static_cast<std::uint64_t>(g.Right - g.Left) * static_cast<std::uint64_t>(g.Bottom - g.Top);
    if (Plane && ForeignValues.empty() && cells > FreeGrowthCells && cells <= WeighedCells &&
        Sparse(cells))
    {
        // The ant leaves by one side: the rectangle moves on so that it has 7/8 of it
        // ahead on that axis, and on the other too where it stands in an outer quarter,
        // as a diagonal highway's does.
        const auto place = [](int at, int first, int extent, int ahead)
        {
            const int margin = extent / 8;
            if (ahead > 0)
                return at - margin;
            if (ahead < 0)
                return at - (extent - 1 - margin);
            const int within = at - first;
            return within >= extent - extent / 4 ? at - margin
                   : within < extent / 4         ? at - (extent - 1 - margin)
                                                 : first;
        };
        const bool acrossX = x < OriginX || x >= OriginX + W;
        const int aheadX = !acrossX ? 0 : x < OriginX ? -1 : 1;
        const int aheadY = acrossX ? 0 : y < OriginY ? -1 : 1;
        const Part next{place(x, OriginX, W, aheadX), place(y, OriginY, H, aheadY), W, H, 0};
        // Where the ant comes back to cells kept, the rectangle grows over them instead.
        bool known = false;
        Outside(next.Left, next.Top, W, H, StoredPart(),
                [&](int l, int t, int w, int h) { known = known || Archive.AnyIn(l, t, w, h); });
        if (!known)
        {
            g = Growth{next.Left, next.Top, next.Left + W, next.Top + H, 0, true};
            // The cells left are no more than the new rectangle's.
            g.Bytes = 2 * Codes.size() + Archive.HeldBytes() + FieldArchive::MostAdded(W, H);
        }
    }
    // The limit counts the extent, old and new as if copied, and not the storage held,
    // so that a run or a replay does not depend on what its field kept from an earlier
    // one (the storage grows without a copy).
    if (!g.Move)
        g.Bytes = (static_cast<std::uint64_t>(g.Right - g.Left) + 2) *
                      (static_cast<std::uint64_t>(g.Bottom - g.Top) + 2) +
                  Codes.size() + Archive.HeldBytes();
    PlannedAt = at;
    Planned = g;
    return g;
}

bool PackedField::Sparse(std::uint64_t cells) const
{
    // Read until enough cells show it is not: a dense rectangle is read in part only.
    const std::uint64_t enough = cells / SparseCells;
    std::uint64_t seen = 0;
    const int words = W / 8;
    for (int y = OriginY; y < OriginY + H; ++y)
    {
        const std::uint8_t* row = Codes.data() + Index(OriginX, y);
        for (int word = 0; word < words; ++word)
        {
            if (word + 8 <= words && AllBlank64(row + 8 * word))
            {
                word += 7;
                continue;
            }
            // One bit a byte at most: their sum by a multiply, with no popcount at hand.
            seen += ((NotBlank(row + 8 * word) >> 7) * 0x0101010101010101u) >> 56;
        }
        for (int x = 8 * words; x < W; ++x)
            seen += CodeOf(row[x]) != 0;
        if (seen >= enough)
            return false;
    }
    return true;
}

std::array<std::uint8_t, PackedField::CodeCount> PackedField::Marks() const
{
    std::array<std::uint8_t, CodeCount> marks{};
    if (IsMarked)
        for (unsigned code = 0; code < CodeCount; ++code)
            marks[code] = static_cast<std::uint8_t>(MarkedCode(code, RightCodes) & TurnMark);
    return marks;
}

std::uint64_t PackedField::GrowthBytes(std::ptrdiff_t at) const
{
    return AtEdge(at) ? 0 : GrownAt(at).Bytes;
}

std::ptrdiff_t PackedField::Grow(std::ptrdiff_t at, std::uint64_t maxBytes)
{
    if (AtEdge(at))
        return -1;
    const Growth g = GrownAt(at);
    // Coordinates stay ints: a field wider than that is beyond any memory limit anyway.
    if (g.Bytes > maxBytes || g.Right - g.Left > (1 << 30) || g.Bottom - g.Top > (1 << 30))
        return -1;
    const int x = X(at);
    const int y = Y(at);
    if (g.Move)
        MoveTo(g.Left, g.Top);
    else
        Extend(g.Left, g.Top, g.Right, g.Bottom);
    return Index(x, y);
}

void PackedField::Extend(int left, int top, int right, int bottom)
{
    PlannedAt = -1;
    const Part old = StoredPart();
    const int newW = right - left;
    const int newH = bottom - top;
    const int shiftX = OriginX - left;
    const int shiftY = OriginY - top;
    const std::ptrdiff_t oldStride = Stride();
    const std::ptrdiff_t newStride = newW + 2;
    const auto newBytes = static_cast<std::size_t>(newStride) * static_cast<std::size_t>(newH + 2);
    // In place, the storage grown first: rows only move to higher addresses, so moving
    // the last first overwrites none not yet moved.
    Codes.resize(newBytes);
    std::uint8_t* const to = Codes.data();
    for (int row = H - 1; row >= 0; --row)
        std::memmove(to + (row + shiftY + 1) * newStride + shiftX + 1,
                     to + (row + 1) * oldStride + 1, static_cast<std::size_t>(W));
    // Every other byte written once: the new storage is not cleared first.
    const std::uint8_t blank = IsMarked ? MarkedCode(0, RightCodes) : 0;
    std::memset(to, Border, static_cast<std::size_t>(newStride));
    std::memset(to + (newH + 1) * newStride, Border, static_cast<std::size_t>(newStride));
    for (int row = 0; row < newH; ++row)
    {
        std::uint8_t* cells = to + (row + 1) * newStride;
        cells[0] = cells[newW + 1] = Border;
        if (row < shiftY || row >= shiftY + H)
        {
            std::memset(cells + 1, blank, static_cast<std::size_t>(newW));
            continue;
        }
        std::memset(cells + 1, blank, static_cast<std::size_t>(shiftX));
        std::memset(cells + 1 + shiftX + W, blank, static_cast<std::size_t>(newW - shiftX - W));
    }
    for (auto& [index, value] : ForeignValues)
    {
        const auto i = static_cast<std::ptrdiff_t>(index);
        index =
            static_cast<std::size_t>((i / oldStride + shiftY) * newStride + i % oldStride + shiftX);
    }
    W = newW;
    H = newH;
    OriginX = left;
    OriginY = top;
    if (!Archive.Empty())
        Recall(old);
}

void PackedField::Recall(const Part& old)
{
    const std::array<std::uint8_t, CodeCount> marks = Marks();
    Outside(OriginX, OriginY, W, H, old,
            [&](int l, int t, int w, int h)
            { Archive.Overlay(l, t, w, h, Codes.data() + Index(l, t), Stride(), marks.data()); });
    Archive.DropInside(OriginX, OriginY, W, H);
}

void PackedField::MoveTo(int left, int top)
{
    PlannedAt = -1;
    const Part old = StoredPart();
    const Part next{left, top, W, H, 0};
    const std::ptrdiff_t stride = Stride();
    std::uint8_t* const cells = Codes.data();
    Outside(OriginX, OriginY, W, H, next,
            [&](int l, int t, int w, int h)
            { Archive.Store(l, t, w, h, cells + Index(l, t), stride, CodeMask); });
    // Rows that both hold move within the storage, in the order that overwrites none
    // not yet moved.
    const int shiftX = OriginX - left;
    const int shiftY = OriginY - top;
    const int first = std::max(0, shiftX); // the columns of the new rows both hold
    const int last = std::min(W, W + shiftX);
    const std::uint8_t blank = IsMarked ? MarkedCode(0, RightCodes) : 0;
    const auto moveRow = [&](int row)
    {
        std::uint8_t* to = cells + (row + 1) * stride + 1;
        const int from = row - shiftY;
        if (from < 0 || from >= H || first >= last)
        {
            std::memset(to, blank, static_cast<std::size_t>(W));
            return;
        }
        std::memmove(to + first, cells + (from + 1) * stride + 1 + first - shiftX,
                     static_cast<std::size_t>(last - first));
        std::memset(to, blank, static_cast<std::size_t>(first));
        std::memset(to + last, blank, static_cast<std::size_t>(W - last));
    };
    if (shiftY > 0 || (shiftY == 0 && shiftX > 0))
        for (int row = H - 1; row >= 0; --row)
            moveRow(row);
    else
        for (int row = 0; row < H; ++row)
            moveRow(row);
    OriginX = left;
    OriginY = top;
    Recall(old);
}

void PackedField::MakeWhole()
{
    if (!Whole())
        Extend(0, 0, Side, Side);
}

PackedField::Part PackedField::VisitedPart(int x, int y) const
{
    // Taken at every snapshot of a large plane, mostly blank: only the rows beyond the
    // box and each row's cells beyond the box found so far are read, not all it stores.
    const auto row = [this](int at) { return Codes.data() + Index(OriginX, at); };
    int top = y, bottom = y;
    for (int at = OriginY; at < std::min(y, OriginY + H); ++at)
        if (FirstCell(row(at), W) < W)
        {
            top = at;
            break;
        }
    for (int at = OriginY + H - 1; at > std::max(y, OriginY - 1); --at)
        if (LastCell(row(at), W) >= 0)
        {
            bottom = at;
            break;
        }
    int left = x, right = x;
    for (int at = std::max(top, OriginY); at <= std::min(bottom, OriginY + H - 1); ++at)
    {
        const int before = std::clamp(left - OriginX, 0, W);
        const int first = FirstCell(row(at), before);
        if (first < before)
            left = OriginX + first;
        const int after = std::clamp(right + 1 - OriginX, 0, W);
        const int last = LastCell(row(at) + after, W - after);
        if (last >= 0)
            right = OriginX + after + last;
    }
    Part part{left, top, right - left + 1, bottom - top + 1, 0};
    part.Bytes = (static_cast<std::uint64_t>(part.Width) + 2) *
                 (static_cast<std::uint64_t>(part.Height) + 2);
    return part;
}

PackedField::Part PackedField::Reach() const
{
    const FieldArchive::Box kept = Archive.Extent();
    if (Archive.Empty())
        return StoredPart();
    const int left = std::min(OriginX, kept.MinX);
    const int top = std::min(OriginY, kept.MinY);
    const int right = std::max(OriginX + W - 1, kept.MaxX);
    const int bottom = std::max(OriginY + H - 1, kept.MaxY);
    return Part{left, top, right - left + 1, bottom - top + 1, 0};
}

PackedField::Part PackedField::PartAround(int x, int y, std::uint64_t reach) const
{
    const auto within = [reach](int at, int first, int count)
    {
        const auto r = static_cast<std::int64_t>(std::min<std::uint64_t>(reach, INT32_MAX));
        const std::int64_t from = std::max<std::int64_t>(first, at - r);
        const std::int64_t to = std::min<std::int64_t>(std::int64_t{first} + count - 1, at + r);
        return std::pair<int, int>(static_cast<int>(from), static_cast<int>(to - from + 1));
    };
    const auto [left, width] = within(x, OriginX, W);
    const auto [top, height] = within(y, OriginY, H);
    return Part{left, top, width, height,
                (static_cast<std::uint64_t>(width) + 2) * (static_cast<std::uint64_t>(height) + 2)};
}

void PackedField::CopyPart(const PackedField& from, const Part& part)
{
    if (&from == this)
        return;
    PlannedAt = -1;
    Plane = from.Plane;
    Side = from.Side;
    Start = from.Start;
    IsMarked = from.IsMarked;
    TurningCodes = from.TurningCodes;
    RightCodes = from.RightCodes;
    W = part.Width;
    H = part.Height;
    OriginX = part.Left;
    OriginY = part.Top;
    Codes.resizeDiscarding(static_cast<std::size_t>(part.Bytes));
    Frame();
    // The columns both store; a copy within `from` has no others.
    const int left = std::max(OriginX, from.OriginX);
    const int right = std::min(OriginX + W, from.OriginX + from.W);
    const std::uint8_t blank = IsMarked ? MarkedCode(0, RightCodes) : 0;
    for (int y = OriginY; y < OriginY + H; ++y)
    {
        std::uint8_t* row = Codes.data() + Index(OriginX, y);
        if (y < from.OriginY || y >= from.OriginY + from.H || left >= right)
        {
            std::memset(row, blank, static_cast<std::size_t>(W));
            continue;
        }
        std::memset(row, blank, static_cast<std::size_t>(left - OriginX));
        std::memcpy(row + (left - OriginX), from.Codes.data() + from.Index(left, y),
                    static_cast<std::size_t>(right - left));
        std::memset(row + (right - OriginX), blank, static_cast<std::size_t>(OriginX + W - right));
    }
    ForeignValues.clear();
    for (const auto& [index, value] : from.ForeignValues)
    {
        const int x = from.X(static_cast<std::ptrdiff_t>(index));
        const int y = from.Y(static_cast<std::ptrdiff_t>(index));
        if (Inside(x, y))
            ForeignValues.emplace_back(static_cast<std::size_t>(Index(x, y)), value);
    }
    Archive = from.Archive;
    if (!Archive.Empty())
    {
        // What `from` stores of the tiles the copy shares is its own, newer than theirs.
        Archive.Store(from.OriginX, from.OriginY, from.W, from.H,
                      from.Codes.data() + from.Index(from.OriginX, from.OriginY), from.Stride(),
                      CodeMask, true);
        Recall(from.StoredPart());
    }
}

bool PackedField::MarkTurns(std::uint64_t turningCodes, std::uint64_t rightCodes)
{
    constexpr std::uint64_t border = std::uint64_t{1} << Border;
    rightCodes = Unbordered(rightCodes);
    std::uint64_t present = Archive.PresentCodes();
    for (const std::uint8_t byte : Codes)
        present |= std::uint64_t{1} << CodeOf(byte);
    if ((present & ~(turningCodes | border)) != 0)
        return false;
    for (std::uint8_t& byte : Codes)
        byte = MarkedCode(CodeOf(byte), rightCodes);
    IsMarked = true;
    TurningCodes = turningCodes;
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
    if (!Archive.Empty())
    {
        std::vector<std::uint8_t> kept(static_cast<std::size_t>(width), 0);
        const std::array<std::uint8_t, CodeCount> none{};
        Archive.Overlay(left, y, width, 1, kept.data(), width, none.data());
        for (int i = 0; i < width; ++i)
            colours[i] = kept[static_cast<std::size_t>(i)];
    }
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
