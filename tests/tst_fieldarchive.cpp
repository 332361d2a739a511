#include <QTest>

#include "FieldArchive.h"

#include <map>
#include <random>
#include <set>
#include <utility>
#include <vector>

// The archive against a plain map of cells and of the tiles made, through random stores and
// drops; a copy taken on the way must keep what it saw while the original goes on.
class TestFieldArchive : public QObject
{
    Q_OBJECT

private slots:
    void matchesAPlainMap_data();
    void matchesAPlainMap();
};

namespace
{
using Cell = std::pair<int, int>;
constexpr int Side = FieldArchive::Side;

int TileOf(int at)
{
    return at >= 0 ? at / Side : -((Side - 1 - at) / Side);
}

struct Reference
{
    std::map<Cell, int> Codes; // not blank only
    std::set<Cell> Tiles;

    int Code(int x, int y) const
    {
        const auto it = Codes.find({x, y});
        return it == Codes.end() ? 0 : it->second;
    }
    void Store(int left, int top, int width, int height, const std::vector<std::uint8_t>& cells,
               std::uint8_t mask, bool onlyHeld)
    {
        for (int y = top; y < top + height; ++y)
            for (int x = left; x < left + width; ++x)
            {
                const int code =
                    cells[static_cast<std::size_t>((y - top) * width + x - left)] & mask;
                const Cell tile{TileOf(x), TileOf(y)};
                // A tile is made where a cell of the part it holds is not blank.
                bool made = Tiles.count(tile) != 0;
                if (!made && !onlyHeld)
                    for (int v = std::max(top, tile.second * Side);
                         v < std::min(top + height, (tile.second + 1) * Side) && !made; ++v)
                        for (int u = std::max(left, tile.first * Side);
                             u < std::min(left + width, (tile.first + 1) * Side) && !made; ++u)
                            made = (cells[static_cast<std::size_t>((v - top) * width + u - left)] &
                                    mask) != 0;
                if (!made)
                    continue;
                Tiles.insert(tile);
                if (code == 0)
                    Codes.erase({x, y});
                else
                    Codes[{x, y}] = code;
            }
    }
    void DropInside(int left, int top, int width, int height)
    {
        for (auto it = Tiles.begin(); it != Tiles.end();)
        {
            const int x = it->first * Side;
            const int y = it->second * Side;
            if (x < left || y < top || x + Side > left + width || y + Side > top + height)
            {
                ++it;
                continue;
            }
            for (int v = y; v < y + Side; ++v)
                for (int u = x; u < x + Side; ++u)
                    Codes.erase({u, v});
            it = Tiles.erase(it);
        }
    }
};

// Every way to read the archive, over a window that holds all it keeps.
void Compare(const FieldArchive& archive, const Reference& reference, const char* what)
{
    QVERIFY2(archive.TileCount() == reference.Tiles.size(), what);
    std::map<Cell, int> seen;
    archive.ForEachTile(
        [&](int left, int top, const std::uint8_t* codes)
        {
            QVERIFY(reference.Tiles.count({TileOf(left), TileOf(top)}) != 0);
            for (int i = 0; i < Side * Side; ++i)
                if (codes[i] != 0)
                    seen[{left + i % Side, top + i / Side}] = codes[i];
        });
    QVERIFY2(seen == reference.Codes, what);
    const FieldArchive::Box box = archive.Extent();
    std::uint64_t present = 0;
    for (const auto& [cell, code] : reference.Codes)
    {
        QVERIFY(cell.first >= box.MinX && cell.first <= box.MaxX && cell.second >= box.MinY &&
                cell.second <= box.MaxY);
        present |= std::uint64_t{1} << code;
    }
    QVERIFY2((archive.PresentCodes() & ~std::uint64_t{1}) == present, what);
    for (const auto& [cell, code] : reference.Codes)
        QCOMPARE(int{archive.Code(cell.first, cell.second)}, code);
    constexpr int Left = -80, Top = -70, Width = 170, Height = 150;
    std::vector<std::uint8_t> cells(Width * Height, 0xEE);
    const std::vector<std::uint8_t> mark(256, 0x40);
    archive.Overlay(Left, Top, Width, Height, cells.data(), Width, mark.data());
    for (int y = Top; y < Top + Height; ++y)
        for (int x = Left; x < Left + Width; ++x)
        {
            const bool held = reference.Tiles.count({TileOf(x), TileOf(y)}) != 0;
            const int code = reference.Code(x, y);
            const int overlaid = cells[static_cast<std::size_t>((y - Top) * Width + x - Left)];
            QCOMPARE(overlaid, held ? code | 0x40 : 0xEE);
            QCOMPARE(int{archive.Code(x, y)}, code);
        }
}
} // namespace

void TestFieldArchive::matchesAPlainMap_data()
{
    QTest::addColumn<unsigned>("seed");
    // Sparse stores make a tile or two at a time; dense ones fill whole chunks.
    QTest::addColumn<int>("oneIn");
    // Stores and drops across so many cells each way: wide ones make and drop many chunks.
    QTest::addColumn<int>("spread");
    QTest::newRow("sparse") << 1u << 40 << 70;
    QTest::newRow("sparse, other seed") << 2u << 60 << 70;
    QTest::newRow("dense") << 3u << 2 << 70;
    QTest::newRow("mixed") << 4u << 8 << 70;
    QTest::newRow("many chunks") << 5u << 30 << 3000;
}

void TestFieldArchive::matchesAPlainMap()
{
    QFETCH(unsigned, seed);
    QFETCH(int, oneIn);
    QFETCH(int, spread);
    std::mt19937 random(seed);
    const auto between = [&](int from, int to)
    { return std::uniform_int_distribution<int>(from, to)(random); };
    FieldArchive archive;
    Reference reference;
    FieldArchive copy;
    Reference copied;
    for (int round = 0; round < 200; ++round)
    {
        const int left = between(-spread, spread - 10);
        const int top = between(-spread + 10, spread - 20);
        const int width = between(1, 40);
        const int height = between(1, 40);
        if (round % 5 == 4)
        {
            const int across = between(1, std::max(40, spread));
            archive.DropInside(left, top, across, across);
            reference.DropInside(left, top, across, across);
        }
        else
        {
            std::vector<std::uint8_t> cells(static_cast<std::size_t>(width * height));
            for (std::uint8_t& cell : cells)
                cell = between(1, oneIn) == 1 ? static_cast<std::uint8_t>(between(1, 255)) : 0;
            const bool onlyHeld = round % 7 == 6;
            archive.Store(left, top, width, height, cells.data(), width, 0x1F, onlyHeld);
            reference.Store(left, top, width, height, cells, 0x1F, onlyHeld);
        }
        if (round == 100)
        {
            copy = archive;
            copied = reference;
        }
        Compare(archive, reference, "the archive");
        if (QTest::currentTestFailed())
            return;
    }
    Compare(copy, copied, "a copy, after the original went on");
    const int all = 2 * spread + 100;
    QVERIFY(archive.AnyIn(-spread - 50, -spread - 50, all, all) == !reference.Codes.empty());
    for (const auto& [cell, code] : reference.Codes)
        QVERIFY(archive.AnyIn(cell.first, cell.second, 1, 1));
}

QTEST_APPLESS_MAIN(TestFieldArchive)
#include "tst_fieldarchive.moc"
