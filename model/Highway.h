#pragma once

#include <cstddef>
#include <cstdint>

// The periodic walk that a run settles into: from iteration Onset to the run's last
// iteration the heading after each turn repeats with Period, and every period moves
// the ant by (DriftX, DriftY) cells, x to the right and y downwards.
struct Highway
{
    bool Found = false;
    std::uint64_t Period = 0;
    std::uint64_t Onset = 0;
    int DriftX = 0;
    int DriftY = 0;
    // The tail was shorter than HighwayTailLength and a drifting repetition reached back
    // to its start: ask again with the longer tail.
    bool Undecided = false;
};

// The number of last headings that decides every highway of up to maxPeriod:
// FieldSize * maxPeriod + 1. A period with non-zero drift moves the ant at least one
// cell along x or y, always the same way, and the ant stays on the field until the
// last iteration, so a highway of period P spans at most FieldSize * P iterations; one
// heading more shows the mismatch just before the onset that makes it the smallest.
std::uint64_t HighwayTailLength(std::uint64_t maxPeriod);

// The highway of the run whose last iteration is lastIteration, from its last count
// headings after the turn (headings[i] belongs to iteration lastIteration - count + 1 + i;
// values 0..3 clockwise from up). Among the periods 1..maxPeriod, the one with the
// earliest onset wins, the smaller on a tie; a highway must span at least four periods
// and drift. When the tail does not start at iteration 1 and holds at least
// HighwayTailLength(maxPeriod) headings, a period whose repetition reaches back past
// the tail's start is not reported, as on the field it could only have zero drift; a
// shorter tail answers as the whole run would, or says it is Undecided: when a drifting
// repetition of any period up to maxPeriod reaches back past its start, or when it holds
// no more than maxPeriod headings.
// Time is linear in count + maxPeriod whatever the headings; extra memory is
// proportional to maxPeriod.
Highway FindHighway(const std::uint8_t* headings, std::size_t count, std::uint64_t lastIteration,
                    std::uint64_t maxPeriod);
