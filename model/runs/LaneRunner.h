#pragma once

#include "RunTypes.h"

#include <functional>

// Runs many jobs, several at a time in one loop (LaneStepper): each lane takes the next
// job as soon as its run ends. Results equal Runner::Run's for the same job.
class LaneRunner
{
public:
    // Measured best here (bench_throughput --sweep): six keep every chain in a register;
    // more spill some to the stack and gain nothing.
    static constexpr int Lanes = 6;
    static constexpr int MostLanes = 8;

    using Job = RunJob;
    using Ended = RunEnded;
    using NextJob = std::function<bool(Job& job)>;
    using JobEnded = std::function<void(const Ended& ended)>;

    // Takes jobs until next returns false and reports each as it ends, in the order they
    // end; a raised stop flag ends the runs in progress as Stopped. lanes (1..MostLanes) is
    // for benchmarks and tests; results do not depend on it.
    template <CycleProof Proof>
    void Run(const NextJob& next, const JobEnded& ended, const RunOptions& options,
             int lanes = Lanes);
};
