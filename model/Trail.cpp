#include "Trail.h"

#include "PackedField.h"
#include "StepTable.h"

#include <algorithm>
#include <cstring>

namespace
{
// Room the stepper gets between two slides: a slide moves the kept codes, so it comes
// seldom.
constexpr std::uint64_t LeastRoom = std::uint64_t{1} << 15;
} // namespace

void Trail::Reset(std::uint64_t kept)
{
    Kept = kept;
    const std::uint64_t size = 2 * kept + 2 * LeastRoom;
    if (Codes.size() < size)
        Codes.resize(static_cast<std::size_t>(size));
    Held = 0;
    Total = 0;
}

void Trail::Wrote(std::uint64_t steps)
{
    Held += steps;
    Total += steps;
    if (Room() >= LeastRoom)
        return;
    const std::uint64_t keep = std::min(Kept, Held);
    std::memmove(Codes.data(), Codes.data() + (Held - keep), static_cast<std::size_t>(keep));
    Held = keep;
}

bool Trail::MayEndInRepetition(std::uint64_t maxPeriod, int heading, const StepTable& table) const
{
    // The codes a blank field's steps make are 0 and what NextCode makes of them; each
    // written code must stand for one colour read (blank merged into colour 1).
    int merged[PackedField::CodeCount];
    int turn[PackedField::CodeCount];
    std::fill(std::begin(merged), std::end(merged), -1);
    for (unsigned code = 0, seen = 0; !(seen >> code & 1u); code = table.NextCode[code])
    {
        seen |= 1u << code;
        const unsigned written = table.NextCode[code];
        const int colour = code == 0 ? 1 : static_cast<int>(code);
        if (merged[written] >= 0 && merged[written] != colour)
            return true;
        merged[written] = colour;
        turn[written] = table.NextHeading[StepTable::Key(static_cast<int>(code), 0)];
    }

    static constexpr int StepX[StepTable::Headings] = {0, 1, 0, -1};
    static constexpr int StepY[StepTable::Headings] = {-1, 0, 1, 0};
    const std::uint8_t* const codes = Codes.data();
    const std::uint64_t n = Held;
    const std::uint64_t periods = std::min(maxPeriod, n / 2);
    std::uint64_t tail = 0; // the last eight codes, where there are eight
    if (n >= 8)
        std::memcpy(&tail, codes + n - 8, 8);
    for (std::uint64_t p = 1; p <= periods; ++p)
    {
        if (p >= 8)
        {
            std::uint64_t before = 0;
            std::memcpy(&before, codes + n - 8 - p, 8);
            if (before != tail)
                continue;
        }
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
                return true; // a code no step from blank writes
            dx += StepX[h];
            dy += StepY[h];
            h = (h - turn[code] + StepTable::Headings) & 3;
        }
        if (h == (heading & 3) && (dx != 0 || dy != 0))
            return true;
    }
    return false;
}
