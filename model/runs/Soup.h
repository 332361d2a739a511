#pragma once

#include "StartField.h"

#include <cstdint>

// SplitMix64: a 64-bit state stepped by the golden gamma and scrambled on output. Small,
// exact on every machine, and its streams are cheap to derive one per soup.
class SplitMix64
{
public:
    explicit SplitMix64(std::uint64_t seed) : State(seed) {}

    std::uint64_t Next()
    {
        State += 0x9E3779B97F4A7C15u;
        std::uint64_t z = State;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }

private:
    std::uint64_t State;
};

// A random start: a square patch of colours centred on the ant, drawn from a seed and the
// soup's index alone, so any soup can be made again without the others.
struct Soup
{
    static constexpr int MostPatch = 4096;
    // Densities are parts of this, so that they are exact and the same everywhere.
    static constexpr std::uint32_t WholeDensity = 1000000000;

    int Patch = 11;     // side, 1 to MostPatch
    bool Dense = false; // with Density: a cell is coloured with that chance, 1..n alike
    std::uint32_t Density = WholeDensity;

    // The state of soup `index`'s generator: the first output of SplitMix64(key ^ index),
    // key being the first output of SplitMix64(seed).
    static std::uint64_t StreamOf(std::uint64_t seed, std::uint64_t index);

    // The patch of soup `index` under a rule of `letters` letters, cell by cell row after
    // row, one output each: without a density each cell is 0..letters alike; with one, the
    // output's high half decides whether it is coloured and its low half which of 1..letters.
    // Its top left cell lies patch/2 up and left of (antX, antY).
    StartField Make(std::uint64_t seed, std::uint64_t index, int letters, std::int64_t antX,
                    std::int64_t antY) const;
};
