#include "Trail.h"

#include "DriftLine.h"
#include "PackedField.h"
#include "StepTable.h"
#include "TailMatches.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace
{
// Room the stepper gets between two slides: a slide moves the kept codes, so it comes
// seldom.
constexpr std::uint64_t LeastRoom = std::uint64_t{1} << 15;
// A trail for periods up to 10^6 is made whole at once, as it always was; a longer one
// grows with the run, so that a long period limit costs memory only where a run is long.
constexpr std::uint64_t MostWholeBytes = 4000000 + 2 * LeastRoom;
} // namespace

void Trail::Reset(std::uint64_t kept)
{
    Kept = kept;
    Full = 2 * kept + 2 * LeastRoom;
    const std::uint64_t size = Full <= MostWholeBytes ? Full : MostWholeBytes;
    if (Codes.size() < size)
        Codes.resize(static_cast<std::size_t>(size));
    Held = 0;
    Total = 0;
}

bool Trail::Wrote(std::uint64_t steps)
{
    Held += steps;
    Total += steps;
    if (Room() >= LeastRoom)
        return false;
    if (Codes.size() < Full)
    {
        Codes.resize(static_cast<std::size_t>(std::min(Full, 2 * Codes.size())));
        return true;
    }
    const std::uint64_t keep = std::min(Kept, Held);
    std::memmove(Codes.data(), Codes.data() + (Held - keep), static_cast<std::size_t>(keep));
    Held = keep;
    return false;
}

namespace
{
// Short periods also repeat by chance amid a chaotic growth or along its edge, where no
// highway can begin: those are looked at on the field too.
constexpr std::uint64_t MostPeriodOnField = 512;

// Whether the cells from (x, y) + first d on, in steps of d, are blank, or of colour 1
// too where `orOne` (as the ant reads it), to beyond what the field keeps.
bool BlankRay(const PackedField& field, std::int64_t x, std::int64_t y, int dx, int dy,
              std::int64_t first, bool orOne)
{
    const int most = orOne ? 1 : 0;
    const PackedField::Part reach = field.Reach();
    const std::int64_t left = reach.Left;
    const std::int64_t top = reach.Top;
    const std::int64_t right = left + reach.Width - 1;
    const std::int64_t bottom = top + reach.Height - 1;
    for (x += first * dx, y += first * dy;; x += dx, y += dy)
    {
        const bool goneX = (x > right && dx >= 0) || (x < left && dx <= 0);
        const bool goneY = (y > bottom && dy >= 0) || (y < top && dy <= 0);
        if (goneX || goneY)
            return true;
        if (field.Colour(static_cast<int>(x), static_cast<int>(y)) > most)
            return false;
    }
}

// The proof's condition (ii) at a period's first step b, as far as the field now shows it.
// The cells of the footprint's lines from D drifts on were blank at b, and the steps since
// b stood only on the footprint: those beyond it are blank now. (A line's cell D drifts on
// may be the footprint's own, written since.) `cells` are where the period began at b
// stood, D is the footprint's reach, found as the proof finds it.
struct Cell
{
    std::int64_t X, Y;
};

bool FootprintClear(const PackedField& field, const Cell* cells, std::uint64_t p, int dx, int dy)
{
    std::vector<DriftLine> on(static_cast<std::size_t>(p));
    for (std::uint64_t i = 0; i < p; ++i)
        on[i] = DriftLine::Of(cells[i].X, cells[i].Y, dx, dy);
    std::sort(on.begin(), on.end(),
              [](const DriftLine& a, const DriftLine& b) {
                  return a.RX != b.RX ? a.RX < b.RX : a.RY != b.RY ? a.RY < b.RY : a.Q < b.Q;
              });
    // Each line's cells, least q first: its first and last entries.
    struct Span
    {
        DriftLine First;
        std::int64_t LastQ;
    };
    std::vector<Span> lines;
    for (const DriftLine& cell : on)
    {
        if (lines.empty() || lines.back().First.RX != cell.RX || lines.back().First.RY != cell.RY)
            lines.push_back({cell, cell.Q});
        lines.back().LastQ = cell.Q;
    }
    std::int64_t reach = 0;
    for (const Span& line : lines)
        reach = std::max(reach, line.LastQ - line.First.Q);
    for (const Span& line : lines)
    {
        const std::int64_t from = std::max(line.First.Q + reach, line.LastQ + 1);
        if (!BlankRay(field, line.First.RX + from * dx, line.First.RY + from * dy, dx, dy, 0,
                      false))
            return false;
    }
    return true;
}
} // namespace

// On a highway of period p and drift d proven by now, a period began at some step b of the
// last p (or begins now), and at b the cells of the period's footprint moved on by D drifts
// or more were blank (the proof's condition (ii)); D < p. The steps since b write only the
// footprint itself, which those cells miss, so they are blank now. The footprint at b is
// where the p steps before b stood, moved on by d. A walk past now proves the motion later
// if it goes on: the cells p + 1 drifts on and beyond, which it has not stood on yet, are
// then blank where the proof asks, or read as blank (of colour 1, which the ant takes for
// blank) where it passes first. For a proof by now the footprint's own D is found and the
// cells from D drifts on must be blank.
Trail::Ending Trail::BlankAhead(const PackedField& field, int x, int y, int heading, int dx, int dy,
                                std::uint64_t p, const int* turn) const
{
    static constexpr int StepX[StepTable::Headings] = {0, 1, 0, -1};
    static constexpr int StepY[StepTable::Headings] = {-1, 0, 1, 0};
    const std::uint8_t* const codes = Codes.data();
    const std::uint64_t n = Held;
    // clear[k]: the cells from the one the ant stood on k steps ago, moved on by p + 1
    // drifts, read as blank. at[k]: that cell moved on by one drift.
    std::vector<bool> clear(static_cast<std::size_t>(2 * p));
    std::vector<Cell> at(static_cast<std::size_t>(2 * p));
    std::int64_t px = x;
    std::int64_t py = y;
    int h = heading & 3;
    for (std::uint64_t k = 1; k < 2 * p; ++k)
    {
        px -= StepX[h];
        py -= StepY[h];
        h = (h - turn[PackedField::CodeOf(codes[n - k])] + StepTable::Headings) & 3;
        clear[k] = BlankRay(field, px, py, dx, dy, static_cast<std::int64_t>(p) + 1, true);
        at[k] = Cell{px + dx, py + dy};
    }
    // b = now - k: its footprint stood k + 1 .. k + p steps ago.
    std::uint64_t run = 0; // clear ones in a row, counted from the oldest
    Ending ending = Ending::None;
    for (std::uint64_t k = 2 * p - 1; k >= 1; --k)
    {
        run = clear[k] ? run + 1 : 0;
        if (run < p || k - 1 >= p)
            continue;
        if (FootprintClear(field, &at[k], p, dx, dy))
            return Ending::Maybe;
        ending = Ending::Later;
    }
    return ending;
}

Trail::Ending Trail::EndsInRepetition(std::uint64_t maxPeriod, int heading, const StepTable& table,
                                      const PackedField& field, int x, int y) const
{
    // The codes a blank field's steps make are 0 and what NextCode makes of them; each
    // written code must stand for one colour read (blank merged into colour 1).
    int merged[PackedField::CodeCount];
    int turn[PackedField::CodeCount];
    std::fill(std::begin(merged), std::end(merged), -1);
    std::uint64_t seen = 0;
    for (unsigned code = 0; !(seen >> code & 1u); code = table.NextCode[code])
    {
        seen |= std::uint64_t{1} << code;
        const unsigned written = table.NextCode[code];
        const int colour = code == 0 ? 1 : static_cast<int>(code);
        if (merged[written] >= 0 && merged[written] != colour)
            return Ending::Maybe;
        merged[written] = colour;
        turn[written] = table.NextHeading[StepTable::Key(static_cast<int>(code), 0)];
    }

    static constexpr int StepX[StepTable::Headings] = {0, 1, 0, -1};
    static constexpr int StepY[StepTable::Headings] = {-1, 0, 1, 0};
    const std::uint8_t* const codes = Codes.data();
    const std::uint64_t n = Held;
    const std::uint64_t periods = std::min(maxPeriod, n / 2);
    // Repetitions found so far, and how far back each holds.
    struct Repetition
    {
        std::uint64_t Period;
        std::uint64_t Length;
    };
    Repetition shorter[16];
    std::size_t shorterCount = 0;
    Ending ending = Ending::None;
    TailMatches matches(codes, n, periods);
    for (std::uint64_t p = 1; p <= periods; ++p)
    {
        if (p >= 8 && (p = matches.Next(p)) > periods)
            break;
        if (std::memcmp(codes + n - 2 * p, codes + n - p, static_cast<std::size_t>(p)) != 0)
            continue;
        // The headings of the last p steps, back from the ant's heading now: the steps
        // repeat only if a period turns the ant round whole, and drift only if it moves.
        int h = heading & 3;
        int dx = 0;
        int dy = 0;
        for (std::uint64_t t = n; t-- > n - p;)
        {
            const unsigned code = PackedField::CodeOf(codes[t]);
            if (merged[code] < 0)
                return Ending::Maybe; // a code no step from blank writes
            dx += StepX[h];
            dy += StepY[h];
            h = (h - turn[code] + StepTable::Headings) & 3;
        }
        if (h != (heading & 3))
            continue;
        // A repetition of p that is one of a shorter period q dividing p, as far back as
        // p's, is q's: the proof tries q first and then skips p, whose stretch is no longer.
        bool multiple = false;
        for (std::size_t i = 0; i < shorterCount && !multiple; ++i)
            multiple = p % shorter[i].Period == 0 && shorter[i].Length >= 2 * p;
        if (multiple)
            continue;
        if (shorterCount < std::size(shorter))
        {
            std::uint64_t length = 2 * p;
            while (length < n && codes[n - length - 1] == codes[n - length - 1 + p])
                ++length;
            shorter[shorterCount++] = {p, length};
        }
        if (dx == 0 && dy == 0)
            continue;
        if (p > MostPeriodOnField)
            return Ending::Maybe;
        const Ending ahead = BlankAhead(field, x, y, heading, dx, dy, p, turn);
        if (ahead == Ending::Maybe)
            return ahead;
        ending = std::max(ending, ahead);
    }
    return ending;
}
