#pragma once

#include "AntField.h"
#include "CellBuffer.h"
#include "FieldArchive.h"
#include "Rule.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
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
    // A plane's rectangle grows freely up to this many cells. Beyond, up to WeighedCells, a
    // growth that would hold fewer than one cell not blank in SparseCells moves the
    // rectangle on instead and keeps the cells it leaves in its archive: a diagonal
    // highway's rectangle would otherwise grow as the square of its length.
    static constexpr std::uint64_t FreeGrowthCells = std::uint64_t{1} << 12;
    static constexpr std::uint64_t WeighedCells = std::uint64_t{1} << 23;
    static constexpr std::uint64_t SparseCells = 16;

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
    void SetUnbounded()
    {
        Plane = true;
        PlannedAt = -1;
    }
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
    // A box around every cell that may not be blank: the stored part and what the plane
    // keeps beyond it, where its rectangle moved on.
    Part Reach() const;
    // The cells kept beyond the stored part (where it holds them, it holds them anew).
    const FieldArchive& Archived() const { return Archive; }
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
    // The memory the field holds, which may be more than it uses after Reset; archived
    // cells count whole in every copy that shares them.
    std::size_t HeldBytes() const { return Codes.capacity() + Archive.HeldBytes(); }
    // The coordinates the ant of a fresh run starts on.
    int StartX() const { return Start; }
    int StartY() const { return Start; }

    // Back to blank, as constructed (a grown plane keeps its extent).
    void Clear();
    // A blank plane whose stored part is this box instead, as a saved state had it.
    void SetBox(int left, int top, int width, int height);

    // Keeps the colours of a rectangle of the plane, row by row, as a saved state had
    // them: those beyond the stored part go to the archive, the others are the stored
    // part's already.
    void Keep(int left, int top, int width, int height, const std::uint8_t* colours);

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
    // The colour of any cell: 0 outside what the plane keeps.
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
    // which is not AtEdge, by its extent on that side (up to a bounded field's edge), or
    // on a sparse plane moves it on (see FreeGrowthCells); new cells are blank or as kept. Returns
    // the ant's index in the grown field, or -1 (and nothing changes) when the old and the new
    // storage together would take more than maxBytes. Within the storage already held the field
    // grows in place, taking no more memory.
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
    // visit(x, y, code) for each cell not blank that the archive holds outside the stored part.
    template <class Visit> void ForEachArchived(Visit visit) const
    {
        constexpr int side = FieldArchive::Side;
        Archive.ForEachTile(
            [&](int left, int top, const std::uint8_t* codes)
            {
                const bool apart = left + side <= OriginX || left >= OriginX + W ||
                                   top + side <= OriginY || top >= OriginY + H;
                for (int i = 0; i < side * side; i += 8)
                {
                    std::uint64_t word = 0;
                    std::memcpy(&word, codes + i, sizeof word);
                    if (word == 0) // the archive's codes carry no marks
                        continue;
                    for (int k = i; k < i + 8; ++k)
                        if (codes[k] != 0 && (apart || !Inside(left + k % side, top + k / side)))
                            visit(left + k % side, top + k / side, unsigned{codes[k]});
                }
            });
    }
    // Stores the rectangle left..right-1 x top..bottom-1, around the stored part.
    void Extend(int left, int top, int right, int bottom);
    // Stores the rectangle of the same size from (left, top) instead, the cells it leaves
    // archived.
    void MoveTo(int left, int top);
    // The cells the archive keeps of the stored part beyond `old`, brought into it.
    void Recall(const Part& old);
    // The stored rectangle after Grow(at), as for Extend, or as for MoveTo.
    struct Growth
    {
        int Left, Top, Right, Bottom;
        std::uint64_t Bytes; // old and new storage together, as Grow counts them
        bool Move;
    };
    Growth GrownAt(std::ptrdiff_t at) const;
    // Whether fewer than one in SparseCells of `cells` would be not blank.
    bool Sparse(std::uint64_t cells) const;
    // The marks of the codes, for cells that come back from the archive.
    std::array<std::uint8_t, CodeCount> Marks() const;

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
    FieldArchive Archive;
    // GrowthBytes' plan, for the Grow that follows it: weighing a growth reads the cells.
    mutable std::ptrdiff_t PlannedAt = -1;
    mutable Growth Planned{};
};
