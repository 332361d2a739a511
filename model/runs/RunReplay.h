#pragma once

#include "AntAI.h"
#include "AntPosition.h"
#include "PackedField.h"
#include "Runner.h"

#include <cstdint>

// A run from the start state, moved forward on demand: an export learns where a run ends
// first, then revisits it at increasing iterations. Each stop leaves field and ant as a run
// capped at that iteration does.
// A start other than the blank field: its cells (kept by the caller) and the ant.
struct ReplayStart
{
    const PackedField* Field = nullptr;
    AntPosition Ant;
};

class RunReplay
{
public:
    // The rule from the start cell, heading up, on the blank field of the options' Size and
    // Plane (or from `start`), growing within their MaxMemory. A raised Stop flag cuts the stretch
    // being run short; the caller looks at the flag.
    RunReplay(const AntAI& rule, const RunOptions& field, const ReplayStart& start = {});

    // Runs on to `iteration`, or to the run's end if that comes first; never back.
    void AdvanceTo(std::uint64_t iteration);

    std::uint64_t Iterations() const { return Done; }
    const PackedField& Field() const { return Packed; }
    const AntPosition& Position() const { return At; }

private:
    AntAI Rule;
    RunOptions Options;
    PackedField Packed;
    AntPosition At;
    Runner Engine;
    std::uint64_t Done = 0;
    bool Ended = false;
};
