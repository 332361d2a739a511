#pragma once

#include <cstdint>

class Ant;
class AntField;

struct BatchResult
{
    std::uint64_t Iterations = 0; // counting the one whose step was refused
    bool Finished = false;        // the ant failed to move
};

// Runs many iterations at once. Leaves the field and the ant exactly as the same
// number of Iterate calls would, but works on a packed copy of the field.
class BatchRunner
{
public:
    static constexpr std::uint64_t NoCap = UINT64_MAX;

    static BatchResult Run(AntField& field, Ant& ant, std::uint64_t maxIterations = NoCap);
};
