#pragma once

#include "AntAI.h"
#include "AntPosition.h"
#include "PackedField.h"
#include "Runner.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Runs many rules, each from the start state on a blank field, several at a time in one
// loop. One run's step is a chain of dependent loads (cell, step table, next cell) that
// leaves most of the core idle; interleaving independent runs fills it. Each lane takes
// the next job as soon as its run ends. Results equal Runner::Run's for the same rule.
class LaneRunner
{
public:
    // Measured best here (bench_survey): more lanes spill the chains to the stack.
    static constexpr int Lanes = 4;

    struct Job
    {
        std::size_t Id = 0;
        AntAI Rule;
    };

    struct Ended
    {
        std::size_t Id = 0;
        RunResult Result;
        AntPosition Position;
        const std::uint8_t* Cells = nullptr; // the end field, laid out as PackedField's
    };

    using NextJob = std::function<bool(Job& job)>;
    using JobEnded = std::function<void(const Ended& ended)>;

    LaneRunner();
    ~LaneRunner();
    LaneRunner(const LaneRunner&) = delete;
    LaneRunner& operator=(const LaneRunner&) = delete;

    // Takes jobs until next returns false and reports each as it ends, in the order they
    // end. A raised stop flag drops the runs in progress unreported. lanes (1..Lanes)
    // is for benchmarks and tests; results do not depend on it.
    template <CycleProof Proof>
    void Run(const NextJob& next, const JobEnded& ended, const RunOptions& options,
             int lanes = Lanes);

    // Writes packed cells (no foreign values) into a field.
    static void Store(const std::uint8_t* cells, AntField& field);

private:
    struct Lane;
    template <CycleProof Proof, int K>
    void RunLanes(const NextJob& next, const JobEnded& ended, const RunOptions& options);

    std::vector<std::uint8_t> Fields; // every lane's packed field, one buffer
    std::vector<std::uint8_t> Checkpoints;
    std::unique_ptr<Lane[]> State;
};
