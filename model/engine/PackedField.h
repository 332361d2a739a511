#pragma once

#include "AntField.h"
#include "CellBuffer.h"
#include "Rule.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// The field as one byte per cell with a ring of border cells around it, so a fast
// runner needs no coordinate tests: stepping onto a border cell ends a bounded run and
// grows an unbounded one. Only this class knows the byte layout: codes, border, the turn
// mark and the stride. Coordinates are the plane's: the N x N field's cells are 0..N-1,
// and an unbounded field's cells may lie anywhere around them.
class PackedField
{
public:
    // Blank and the colours of the longest cycle.
    static constexpr int ColourCount = Rule::MostLetters + 1;
    using ColourCounts = std::array<std::uint64_t, ColourCount>;
    // A value of the window's field outside 0..12, restored by Store.
    static constexpr std::uint8_t Foreign = 62;
    static constexpr std::uint8_t Border = 63;
    static constexpr int CodeCount = 64; // the colours, spares, Foreign, Border
    static_assert(ColourCount <= Foreign, "a colour is no special code");
    static constexpr int DefaultSize = AntField::FieldSize;
    static constexpr int MinSize = 3;
    static constexpr int MaxSize = 65536;
    // Where an unbounded field starts: a small square around the start cell.
    static constexpr int PlaneStartSize = 64;

    struct Bounds
    {
        int MinX = 0, MinY = 0, MaxX = -1, MaxY = -1; // empty when MaxX < MinX
        std::uint64_t Visited = 0;                    // cells not blank
    };

    // A blank size x size field, or a blank plane whose coordinates are those of the
    // size x size field (so its ant starts at (size/2, size/2) too).
    explicit PackedField(int size = DefaultSize, bool unbounded = false);

    // The bytes a blank field of these dimensions takes, for checks before allocating.
    static std::uint64_t BytesFor(int size, bool unbounded);

    bool Unbounded() const { return Plane; }
    // Makes a bounded field the stored part of the plane: its border then grows it.
    void SetUnbounded() { Plane = true; }
    // Blank again with the geometry PackedField(size, unbounded) has, keeping the storage
    // already held, so a lane's runs do not allocate (and fault in) their fields anew.
    void Reset(int size, bool unbounded);
    // Whether the field stores all of itself: a copy by CopyVisited may store only part
    // of a bounded field, and grows towards its edges as the plane does.
    bool Whole() const { return Plane || (W == Side && H == Side); }
    // Makes a partly stored bounded field whole.
    void MakeWhole();
    struct Part
    {
        int Left = 0, Top = 0, Width = 0, Height = 0;
        std::uint64_t Bytes = 0;
    };
    // The smallest rectangle around the cells not blank and the cell (x, y): all a copy
    // must keep, the rest being blank.
    Part VisitedPart(int x, int y) const;
    // The part a copy to be stepped on needs: the visited part of a bounded field; on the
    // plane all of the stored part, as its growth, and so the replays on it, follow its
    // stored extent.
    Part NeededPart(int x, int y) const { return Plane ? StoredPart() : VisitedPart(x, y); }
    // The stored cells within `reach` cells of (x, y), a stored cell, along each axis: all
    // that an ant there reads in `reach` steps.
    Part PartAround(int x, int y, std::uint64_t reach) const;
    Part StoredPart() const { return Part{OriginX, OriginY, W, H, Bytes()}; }
    // The side of a bounded field; 0 on the plane.
    int BoundedSide() const { return Side; }
    // Makes this field a copy of that part of `from`, in the storage it holds if that is
    // large enough. On the plane the part may reach beyond what `from` stores: the cells
    // there are blank.
    void CopyPart(const PackedField& from, const Part& part);
    int Width() const { return W; }
    int Left() const { return OriginX; } // the first stored column and row
    int Top() const { return OriginY; }
    int Height() const { return H; }
    std::ptrdiff_t Stride() const { return W + 2; }
    std::size_t Bytes() const { return Codes.size(); }
    // The memory the field holds, which may be more than it uses after Reset.
    std::size_t HeldBytes() const { return Codes.capacity(); }
    // The coordinates the ant of a fresh run starts on.
    int StartX() const { return Start; }
    int StartY() const { return Start; }

    // Back to blank, as constructed (a grown plane keeps its extent).
    void Clear();
    // A blank plane whose stored part is this box instead, as a saved state had it.
    void SetBox(int left, int top, int width, int height);

    // Only for a field of AntField's size.
    void Load(const AntField& field);
    void Store(AntField& field) const;

    std::ptrdiff_t Index(int x, int y) const
    {
        return (static_cast<std::ptrdiff_t>(y - OriginY) + 1) * Stride() + (x - OriginX + 1);
    }
    int X(std::ptrdiff_t index) const { return static_cast<int>(index % Stride()) - 1 + OriginX; }
    int Y(std::ptrdiff_t index) const { return static_cast<int>(index / Stride()) - 1 + OriginY; }
    bool Inside(int x, int y) const
    {
        return x >= OriginX && x < OriginX + W && y >= OriginY && y < OriginY + H;
    }
    // The colour of any cell: 0 outside the stored part of the plane.
    int Colour(int x, int y) const;
    // Sets a stored cell (Inside) of a field without turn marks to colour 0..ColourCount-1.
    void SetColour(int x, int y, int colour)
    {
        Codes[static_cast<std::size_t>(Index(x, y))] = static_cast<std::uint8_t>(colour);
    }
    // The colours of cells (left .. left + width - 1, y), the same as Colour's.
    void ReadRow(int left, int y, int width, int* colours) const;
    bool IsBorder(std::ptrdiff_t index) const
    {
        return Codes[static_cast<std::size_t>(index)] == Border;
    }
    // Whether the border cell at `index` lies beyond the edge of a bounded field rather
    // than beyond the part of the plane (or of a partly stored field) stored so far.
    bool AtEdge(std::ptrdiff_t index) const
    {
        if (Plane)
            return false;
        const int x = X(index);
        const int y = Y(index);
        return x < 0 || y < 0 || x >= Side || y >= Side;
    }
    static std::ptrdiff_t Offset(int heading, std::ptrdiff_t stride)
    {
        const std::ptrdiff_t offsets[4] = {-stride, 1, stride, -1};
        return offsets[heading & 3];
    }
    std::ptrdiff_t Offset(int heading) const { return Offset(heading, Stride()); }

    std::uint8_t* Cells() { return Codes.data(); }
    const std::uint8_t* Cells() const { return Codes.data(); }

    // Cells per colour over the field, or over the visited cells' bounding box on the
    // plane (whose blank cells are countless).
    ColourCounts CountColours() const;
    Bounds VisitedBounds() const;

    // Extends the stored part beyond the border cell at `at`, where the ant stands and
    // which is not AtEdge, by its extent on that side (up to a bounded field's edge); new
    // cells are blank. Returns the ant's index in the grown field, or -1 (and nothing
    // changes) when the old and the new storage together would take more than maxBytes.
    // Within the storage already held the field grows in place, taking no more memory.
    std::ptrdiff_t Grow(std::ptrdiff_t at, std::uint64_t maxBytes);
    // The least maxBytes with which Grow(at) grows the field (0 at an edge).
    std::uint64_t GrowthBytes(std::ptrdiff_t at) const;

    // The look-ahead runner keeps each cell's turn in its top bit: set for the codes in
    // rightCodes (bit per code). False, with nothing changed, when a cell holds a code
    // outside turningCodes. Growing a marked field marks its new cells. The marks stay
    // after the run: every read here masks them, and a large plane's pass to clear them
    // would cost as much as its growth; a stepper that reads whole bytes unmarks first.
    bool MarkTurns(std::uint64_t turningCodes, std::uint64_t rightCodes);
    void UnmarkTurns();
    bool Marked() const { return IsMarked; }
    // Whether the marks are those MarkTurns(turningCodes, rightCodes) would set.
    bool MarkedFor(std::uint64_t turningCodes, std::uint64_t rightCodes) const
    {
        return IsMarked && TurningCodes == turningCodes && RightCodes == Unbordered(rightCodes);
    }
    static constexpr std::uint8_t TurnMark = 0x80;
    static std::uint8_t MarkedCode(unsigned code, std::uint64_t rightCodes)
    {
        return static_cast<std::uint8_t>(code | ((rightCodes >> code) & 1u) * TurnMark);
    }
    static unsigned CodeOf(std::uint8_t byte) { return byte & (CodeCount - 1u); }

private:
    static std::uint64_t Unbordered(std::uint64_t codes)
    {
        return codes & ~(std::uint64_t{1} << Border);
    }
    void Blank();
    void Frame(); // border cells all round the stored part
    // Stores the rectangle left..right-1 x top..bottom-1, around the stored part.
    void Extend(int left, int top, int right, int bottom);
    // The stored rectangle after Grow(at), as for Extend.
    struct Growth
    {
        int Left, Top, Right, Bottom;
        std::uint64_t Bytes; // old and new storage together, as Grow counts them
    };
    Growth GrownAt(std::ptrdiff_t at) const;

    bool Plane = false;
    int Side = 0; // of a bounded field
    int W = 0;
    int H = 0;
    int OriginX = 0; // the plane coordinates of the first inner cell
    int OriginY = 0;
    int Start = 0;
    bool IsMarked = false;
    std::uint64_t TurningCodes = 0;
    std::uint64_t RightCodes = 0;
    CellBuffer Codes;
    std::vector<std::pair<std::size_t, int>> ForeignValues; // index and original value
};
