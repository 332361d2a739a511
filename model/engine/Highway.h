#pragma once

#include <cstdint>

// A motion that repeats for ever on the unbounded plane. From iteration Onset (counted
// from 0) the colours the ant reads repeat with Period, a blank cell read as colour 1,
// the colour it acts as; every period moves the ant by (DriftX, DriftY) cells, x to the
// right and y downwards. CertifiedAt is the iteration from which the program proved that
// the motion never changes (see ProveHighway among the analyses).
struct Highway
{
    bool Found = false;
    std::uint64_t Period = 0;
    std::uint64_t Onset = 0;
    std::uint64_t CertifiedAt = 0;
    int DriftX = 0;
    int DriftY = 0;
};
