#pragma once

#include "Ant.h"
#include "AntField.h"
#include "PackedField.h"
#include "Runner.h"

#include <atomic>
#include <cstdint>
#include <memory>

// A run from the start state, moved forward on demand: an export learns where a run ends
// first, then revisits it at increasing iterations. Each stop leaves field and ant as a run
// capped at that iteration does.
class RunReplay
{
public:
    // The ant's rule from the start cell and heading, on a blank field. A raised stop flag
    // cuts the stretch being run short; the caller looks at the flag.
    explicit RunReplay(const Ant& rule, const std::atomic<bool>* stop = nullptr);

    // Runs on to `iteration`, or to the run's end if that comes first; never back.
    void AdvanceTo(std::uint64_t iteration);

    std::uint64_t Iterations() const { return Done; }
    AntField& Field();
    const Ant& Walker() const { return Position; }

private:
    std::unique_ptr<AntField> Board = std::make_unique<AntField>();
    PackedField Packed;
    Ant Position;
    AntPosition At;
    Runner Engine;
    std::uint64_t Done = 0;
    bool Ended = false;
    bool Stored = true;
    const std::atomic<bool>* Stop;
};
