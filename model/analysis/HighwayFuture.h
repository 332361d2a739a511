#pragma once

#include "AntAI.h"
#include "AntPosition.h"
#include "Highway.h"
#include "PackedField.h"

#include <cstdint>
#include <optional>

class PackedField;

// The exact state of a plane run at a far iteration, without stepping there: from any
// iteration after its highway is proven, every period reads and writes what the one before
// did, moved by the drift. So the ant stands k drifts further on, each colour's count grows
// by k times one period's change, and the visited cells are those of now together with k
// copies of one period's cells, whose box is that of the first and last copies.
struct HighwayFuture
{
    std::uint64_t Iterations = 0;
    std::int64_t X = 0;
    std::int64_t Y = 0;
    char Direction = 'U';
    // Cells of each colour from 1 on; [0] stays 0 (see Blank).
    PackedField::ColourCounts Coloured{};
    std::uint64_t Visited = 0; // the coloured cells
    // The visited cells' box, inclusive.
    std::int64_t MinX = 0, MinY = 0, MaxX = -1, MaxY = -1;
    // Blank cells inside the box, unless the box is too large for 64 bits to count them.
    std::optional<std::uint64_t> Blank;

    // From a run on the plane that ended at `done` with its highway proven (Found, and
    // CertifiedAt <= done), in the state `field` and `ant`: the state at target >= done.
    // Steps two periods (HighwayCourse, on a copy of the field). Nothing when the highway is
    // not proven, or when the periods do not repeat as it says (they always do: the check is
    // cheap and guards the arithmetic), or when the ant would leave 64-bit coordinates.
    static std::optional<HighwayFuture> Of(const PackedField& field, const AntPosition& ant,
                                           const AntAI& rule, std::uint64_t done,
                                           const Highway& highway, std::uint64_t target);

    // The cells left .. left + width - 1 x top .. top + height - 1 at target, from the same
    // run: a plane whose stored part is that window. A cell the highway's periods visit
    // after the run's end keeps what the last of them wrote there, and every period reads
    // what the first one read (the proof's exact repetition), so its colour comes from one
    // stepped period; any other cell is as the run left it. Nothing where Of gives nothing.
    static std::optional<PackedField> Window(const PackedField& field, const AntPosition& ant,
                                             const AntAI& rule, std::uint64_t done,
                                             const Highway& highway, std::uint64_t target, int left,
                                             int top, int width, int height);
};
