#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

// The cells of the plane a field no longer stores in its rectangle: square tiles, made only
// where a cell is not blank, so a highway's trail costs memory along its length and not as
// the square of it. Copies share tiles until one of them writes (a snapshot of a long
// trail costs a table, not the trail). Codes are plain colours, without turn marks.
class FieldArchive
{
public:
    static constexpr int Side = 8;
    // What a tile costs, with room to grow its chunk's list by a quarter.
    static constexpr std::size_t TileBytes = Side * Side * 5 / 4;

    bool Empty() const { return Tiles == 0; }
    std::size_t TileCount() const { return Tiles; }
    // A copy's cost, about that of so many stepped iterations: a table entry per chunk.
    std::uint64_t CopySteps() const { return std::uint64_t{Chunks.size()} * 256; }
    std::size_t HeldBytes() const { return Tiles * TileBytes + Chunks.size() * ChunkBytes; }
    // The most that storing a rectangle of this size can add to HeldBytes.
    static std::uint64_t MostAdded(int width, int height);
    void Clear();

    // 0 where no tile holds the cell.
    std::uint8_t Code(int x, int y) const;
    // The codes of the rectangle written, each ORed with `mark` of its code, into rows
    // `stride` apart from `cells` (its top left cell); cells of no tile are left as they are.
    void Overlay(int left, int top, int width, int height, std::uint8_t* cells,
                 std::ptrdiff_t stride, const std::uint8_t* mark) const;
    // Stores the rectangle's codes, read as `code & mask` from rows `stride` apart; a tile is
    // made only where a cell is not blank. With `onlyHeld`, only the tiles held already.
    void Store(int left, int top, int width, int height, const std::uint8_t* cells,
               std::ptrdiff_t stride, std::uint8_t mask, bool onlyHeld = false);
    // Drops the tiles that lie wholly inside the rectangle (which then holds their cells).
    void DropInside(int left, int top, int width, int height);
    // Whether a cell of the rectangle is not blank.
    bool AnyIn(int left, int top, int width, int height) const;
    // Codes present, a bit per code.
    std::uint64_t PresentCodes() const;

    // The cells of every tile (Side x Side, row by row) and its top left cell.
    template <class Visit> void ForEachTile(Visit visit) const
    {
        for (const auto& [key, chunk] : Chunks)
        {
            std::size_t index = 0;
            for (int slot = 0; slot < ChunkSlots; ++slot)
                if (chunk->Has(static_cast<std::size_t>(slot)))
                    visit((KeyX(key) * ChunkTiles + slot % ChunkTiles) * Side,
                          (KeyY(key) * ChunkTiles + slot / ChunkTiles) * Side,
                          chunk->Tiles[index++].data());
        }
    }
    // A box that holds every tile: MaxX < MinX when there is none.
    struct Box
    {
        int MinX = 0, MinY = 0, MaxX = -1, MaxY = -1;
    };
    Box Extent() const { return Bounds; }

private:
    using Tile = std::array<std::uint8_t, Side * Side>;
    // Tiles go in square chunks, whose tables are shared until written: a copy copies a
    // table of chunks. A chunk lists only the tiles made, in the order of their slots, so a
    // trail that crosses it costs its tiles and not the chunk's area.
    static constexpr int ChunkTiles = 16;
    static constexpr int ChunkSlots = ChunkTiles * ChunkTiles;
    struct Chunk
    {
        std::array<std::uint64_t, ChunkSlots / 64> Made{}; // a bit per slot
        std::vector<Tile> Tiles;

        bool Has(std::size_t slot) const { return (Made[slot / 64] >> (slot % 64) & 1u) != 0; }
        // Where the slot's tile is, or would go, in Tiles.
        std::size_t Index(std::size_t slot) const;
    };
    // The chunk, its shared pointer, its entry in the table, and the room its list may
    // have beyond TileBytes.
    static constexpr std::size_t ChunkBytes = sizeof(Chunk) + 96 + 4 * Side * Side;

    static int FloorDiv(int at, int by) { return at >= 0 ? at / by : -((by - 1 - at) / by); }
    static std::uint64_t Key(int cx, int cy)
    {
        return std::uint64_t{static_cast<std::uint32_t>(cx)} << 32 | static_cast<std::uint32_t>(cy);
    }
    static int KeyX(std::uint64_t key) { return static_cast<std::int32_t>(key >> 32); }
    static int KeyY(std::uint64_t key) { return static_cast<std::int32_t>(key & 0xFFFFFFFFu); }
    static std::size_t Slot(int tx, int ty)
    {
        const int column = tx - FloorDiv(tx, ChunkTiles) * ChunkTiles;
        const int row = ty - FloorDiv(ty, ChunkTiles) * ChunkTiles;
        const int slot = row * ChunkTiles + column;
        return static_cast<std::size_t>(slot);
    }
    // The chunk looked up last, as a rectangle's tiles mostly share one with the tile
    // before (null where there is none; kept only while no chunk is dropped).
    struct Cursor
    {
        bool Set = false; // every key is some chunk's
        std::uint64_t Key = 0;
        std::shared_ptr<Chunk>* Slot = nullptr;
    };
    std::shared_ptr<Chunk>* ChunkOf(int tx, int ty, Cursor& cursor) const;
    const Tile* Find(int tx, int ty, Cursor& cursor) const;
    // The tile to write, made (blank) where `make`; null where there is none and not `make`.
    Tile* Writable(int tx, int ty, bool make, Cursor& cursor);
    // Visits the parts of the rectangle each tile holds: tile coordinates, the part's first
    // cell within the tile and within the rectangle, and its size.
    template <class Part> static void Split(int left, int top, int width, int height, Part part);

    mutable std::unordered_map<std::uint64_t, std::shared_ptr<Chunk>> Chunks;
    std::size_t Tiles = 0;
    Box Bounds;
};
