#pragma once

#include "AntAI.h"
#include "AntPosition.h"
#include "PackedField.h"
#include "RunTypes.h"

class Ant;
class AntField;

// Runs one ant at a time with the fastest step its field allows, leaving field and ant
// exactly as the same number of Iterate calls would (on the plane, as Iterate would on
// a field large enough). With the cycle proof, checkpoints are taken at growing
// distances (Brent's method); when the ant meets a checkpoint's cell, heading and
// neighbours again, the whole field is compared with the checkpoint's copy before the
// answer is Never. One runner per thread: it keeps its buffers between runs.
class Runner
{
public:
    Runner();
    ~Runner();
    Runner(Runner&&) noexcept;
    Runner& operator=(Runner&&) noexcept;

    // On the 250 x 250 field of the window.
    template <CycleProof Proof = CycleProof::Off>
    RunResult Run(AntField& field, Ant& ant, const RunOptions& options = {});
    // On a packed field of any size or the plane, from (and back into) a saved state:
    // `done` iterations were run before and count against the cap.
    template <CycleProof Proof = CycleProof::Off>
    RunResult Run(PackedField& field, AntPosition& ant, const AntAI& rule,
                  const RunOptions& options = {}, std::uint64_t done = 0);

private:
    template <CycleProof Proof, bool Trails>
    static RunResult Drive(PackedField& field, AntPosition& ant, const AntAI& rule,
                           const RunOptions& options, std::uint64_t done);

    PackedField Packed;
};
