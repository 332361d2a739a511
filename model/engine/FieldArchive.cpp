#include "FieldArchive.h"

#include <algorithm>
#include <cstring>

namespace
{
// Whether a cell of the rectangle has a code, 8 cells at a time where it can.
bool AnyCode(const std::uint8_t* cells, std::ptrdiff_t stride, int width, int height,
             std::uint8_t mask)
{
    const std::uint64_t masks = 0x0101010101010101u * mask;
    for (int r = 0; r < height; ++r)
    {
        const std::uint8_t* row = cells + r * stride;
        int c = 0;
        for (; c + 8 <= width; c += 8)
        {
            std::uint64_t word = 0;
            std::memcpy(&word, row + c, sizeof word);
            if ((word & masks) != 0)
                return true;
        }
        for (; c < width; ++c)
            if ((row[c] & mask) != 0)
                return true;
    }
    return false;
}
} // namespace

template <class Part> void FieldArchive::Split(int left, int top, int width, int height, Part part)
{
    if (width <= 0 || height <= 0)
        return;
    const int right = left + width; // one past
    const int bottom = top + height;
    for (int ty = FloorDiv(top, Side); ty <= FloorDiv(bottom - 1, Side); ++ty)
    {
        const int y0 = std::max(top, ty * Side);
        const int y1 = std::min(bottom, (ty + 1) * Side);
        for (int tx = FloorDiv(left, Side); tx <= FloorDiv(right - 1, Side); ++tx)
        {
            const int x0 = std::max(left, tx * Side);
            const int x1 = std::min(right, (tx + 1) * Side);
            part(tx, ty, (y0 - ty * Side) * Side + (x0 - tx * Side),
                 static_cast<std::ptrdiff_t>(y0 - top), x0 - left, x1 - x0, y1 - y0);
        }
    }
}

std::uint64_t FieldArchive::MostAdded(int width, int height)
{
    // A rectangle meets at most so many tiles, and chunks, on an axis.
    const auto across = [](int extent, int by)
    {
        const int most = extent / by + 2;
        return static_cast<std::uint64_t>(most);
    };
    return across(width, Side) * across(height, Side) * TileBytes +
           across(width, Side * ChunkTiles) * across(height, Side * ChunkTiles) * ChunkBytes;
}

void FieldArchive::Clear()
{
    Chunks.clear();
    Tiles = 0;
    Bounds = Box{};
}

std::shared_ptr<FieldArchive::Chunk>* FieldArchive::ChunkOf(int tx, int ty, Cursor& cursor) const
{
    const std::uint64_t key = Key(FloorDiv(tx, ChunkTiles), FloorDiv(ty, ChunkTiles));
    if (!cursor.Set || key != cursor.Key)
    {
        const auto it = Chunks.find(key);
        cursor.Set = true;
        cursor.Key = key;
        cursor.Slot = it == Chunks.end() ? nullptr : &it->second;
    }
    return cursor.Slot;
}

std::size_t FieldArchive::Chunk::Index(std::size_t slot) const
{
    std::size_t index = 0;
    for (std::size_t word = 0; word < slot / 64; ++word)
        index += static_cast<std::size_t>(__builtin_popcountll(Made[word]));
    const std::uint64_t below = (std::uint64_t{1} << (slot % 64)) - 1;
    return index + static_cast<std::size_t>(__builtin_popcountll(Made[slot / 64] & below));
}

const FieldArchive::Tile* FieldArchive::Find(int tx, int ty, Cursor& cursor) const
{
    const std::shared_ptr<Chunk>* chunk = ChunkOf(tx, ty, cursor);
    if (!chunk)
        return nullptr;
    const std::size_t slot = Slot(tx, ty);
    return (*chunk)->Has(slot) ? &(*chunk)->Tiles[(*chunk)->Index(slot)] : nullptr;
}

FieldArchive::Tile* FieldArchive::Writable(int tx, int ty, bool make, Cursor& cursor)
{
    std::shared_ptr<Chunk>* chunk = ChunkOf(tx, ty, cursor);
    if (!chunk)
    {
        if (!make)
            return nullptr;
        chunk = &Chunks.emplace(cursor.Key, std::make_shared<Chunk>()).first->second;
        cursor.Slot = chunk;
    }
    const std::size_t slot = Slot(tx, ty);
    const bool made = (*chunk)->Has(slot);
    if (!made && !make)
        return nullptr;
    // A copy's chunk is written apart from it.
    if (chunk->use_count() > 1)
        *chunk = std::make_shared<Chunk>(**chunk);
    Chunk& into = **chunk;
    const std::size_t index = into.Index(slot);
    if (!made)
    {
        // By a quarter, as TileBytes allows: doubling would leave half a trail's lists empty.
        if (into.Tiles.size() == into.Tiles.capacity())
            into.Tiles.reserve(into.Tiles.size() + std::max<std::size_t>(4, into.Tiles.size() / 4));
        into.Tiles.insert(into.Tiles.begin() + static_cast<std::ptrdiff_t>(index), Tile{});
        into.Made[slot / 64] |= std::uint64_t{1} << (slot % 64);
        ++Tiles;
        const int x = tx * Side;
        const int y = ty * Side;
        const bool first = Tiles == 1;
        Bounds.MinX = first ? x : std::min(Bounds.MinX, x);
        Bounds.MinY = first ? y : std::min(Bounds.MinY, y);
        Bounds.MaxX = first ? x + Side - 1 : std::max(Bounds.MaxX, x + Side - 1);
        Bounds.MaxY = first ? y + Side - 1 : std::max(Bounds.MaxY, y + Side - 1);
    }
    return &into.Tiles[index];
}

std::uint8_t FieldArchive::Code(int x, int y) const
{
    if (Tiles == 0 || x < Bounds.MinX || x > Bounds.MaxX || y < Bounds.MinY || y > Bounds.MaxY)
        return 0;
    const int tx = FloorDiv(x, Side);
    const int ty = FloorDiv(y, Side);
    Cursor cursor;
    const Tile* tile = Find(tx, ty, cursor);
    const int at = (y - ty * Side) * Side + (x - tx * Side);
    return tile ? (*tile)[static_cast<std::size_t>(at)] : 0;
}

void FieldArchive::Overlay(int left, int top, int width, int height, std::uint8_t* cells,
                           std::ptrdiff_t stride, const std::uint8_t* mark) const
{
    if (Tiles == 0)
        return;
    Cursor cursor;
    Split(left, top, width, height,
          [&](int tx, int ty, int at, std::ptrdiff_t row, int column, int w, int h)
          {
              const Tile* tile = Find(tx, ty, cursor);
              if (!tile)
                  return;
              for (int r = 0; r < h; ++r)
              {
                  const std::uint8_t* from = tile->data() + at + r * Side;
                  std::uint8_t* to = cells + (row + r) * stride + column;
                  for (int c = 0; c < w; ++c)
                      to[c] = static_cast<std::uint8_t>(from[c] | mark[from[c]]);
              }
          });
}

void FieldArchive::Store(int left, int top, int width, int height, const std::uint8_t* cells,
                         std::ptrdiff_t stride, std::uint8_t mask, bool onlyHeld)
{
    Cursor cursor;
    Split(left, top, width, height,
          [&](int tx, int ty, int at, std::ptrdiff_t row, int column, int w, int h)
          {
              Tile* tile = Writable(tx, ty, false, cursor);
              if (!tile)
              {
                  if (onlyHeld)
                      return;
                  if (!AnyCode(cells + row * stride + column, stride, w, h, mask))
                      return;
                  tile = Writable(tx, ty, true, cursor);
              }
              for (int r = 0; r < h; ++r)
              {
                  const std::uint8_t* from = cells + (row + r) * stride + column;
                  std::uint8_t* to = tile->data() + at + r * Side;
                  for (int c = 0; c < w; ++c)
                      to[c] = static_cast<std::uint8_t>(from[c] & mask);
              }
          });
}

void FieldArchive::DropInside(int left, int top, int width, int height)
{
    if (Tiles == 0 || width <= 0 || height <= 0)
        return;
    // The tiles wholly inside, tx0..tx1-1 x ty0..ty1-1, a chunk at a time.
    const int tx0 = FloorDiv(left + Side - 1, Side);
    const int ty0 = FloorDiv(top + Side - 1, Side);
    const int tx1 = FloorDiv(left + width, Side);
    const int ty1 = FloorDiv(top + height, Side);
    if (tx0 >= tx1 || ty0 >= ty1)
        return;
    for (int cy = FloorDiv(ty0, ChunkTiles); cy <= FloorDiv(ty1 - 1, ChunkTiles); ++cy)
        for (int cx = FloorDiv(tx0, ChunkTiles); cx <= FloorDiv(tx1 - 1, ChunkTiles); ++cx)
        {
            const auto it = Chunks.find(Key(cx, cy));
            if (it == Chunks.end())
                continue;
            const auto dropped = [&](int slot)
            {
                const int tx = cx * ChunkTiles + slot % ChunkTiles;
                const int ty = cy * ChunkTiles + slot / ChunkTiles;
                return tx >= tx0 && tx < tx1 && ty >= ty0 && ty < ty1;
            };
            bool any = false;
            for (int slot = 0; slot < ChunkSlots && !any; ++slot)
                any = it->second->Has(static_cast<std::size_t>(slot)) && dropped(slot);
            if (!any)
                continue;
            if (it->second.use_count() > 1)
                it->second = std::make_shared<Chunk>(*it->second);
            Chunk& chunk = *it->second;
            std::size_t kept = 0;
            std::size_t index = 0;
            for (int slot = 0; slot < ChunkSlots; ++slot)
            {
                const auto at = static_cast<std::size_t>(slot);
                if (!chunk.Has(at))
                    continue;
                if (dropped(slot))
                {
                    chunk.Made[at / 64] &= ~(std::uint64_t{1} << (at % 64));
                    --Tiles;
                }
                else
                {
                    chunk.Tiles[kept++] = chunk.Tiles[index];
                }
                ++index;
            }
            chunk.Tiles.resize(kept);
            if (kept == 0)
                Chunks.erase(it);
        }
    if (Tiles == 0)
        Bounds = Box{};
}

bool FieldArchive::AnyIn(int left, int top, int width, int height) const
{
    bool any = false;
    if (Tiles == 0)
        return false;
    Cursor cursor;
    Split(left, top, width, height,
          [&](int tx, int ty, int at, std::ptrdiff_t, int, int w, int h)
          {
              const Tile* tile = any ? nullptr : Find(tx, ty, cursor);
              if (!tile)
                  return;
              for (int r = 0; r < h; ++r)
              {
                  const std::uint8_t* row = tile->data() + at + r * Side;
                  for (int c = 0; c < w; ++c)
                      any |= row[c] != 0;
              }
          });
    return any;
}

std::uint64_t FieldArchive::PresentCodes() const
{
    std::uint64_t present = 0;
    ForEachTile(
        [&present](int, int, const std::uint8_t* codes)
        {
            for (int i = 0; i < Side * Side; ++i)
                present |= std::uint64_t{1} << (codes[i] & 63);
        });
    return present;
}
