#pragma once

#include "Highway.h"
#include "PackedField.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class Ant;
class HighwayTracker;

enum class RunOutcome
{
    Finished, // the ant failed to move
    Never,    // the run came back to an earlier state, so it repeats for ever
    Cap,      // neither within the iterations allowed
    Stopped,  // the stop flag was raised
    Idle,     // the rule has no active step: nothing ran
};

struct RunResult
{
    RunOutcome Outcome = RunOutcome::Cap;
    std::uint64_t Iterations = 0; // done when the run ended, counting a refused step
    // Never: the state after Iterations equals the state Period iterations earlier,
    // and Period is the shortest such distance.
    std::uint64_t Period = 0;
    // Checkpoint matches (by the field hash; in the lanes by cell, heading and neighbours)
    // that the full comparison rejected.
    std::uint64_t FalseMatches = 0;
    ::Highway Highway; // when RunOptions asked for it
};

struct RunOptions
{
    static constexpr std::uint64_t NoCap = UINT64_MAX;

    std::uint64_t Cap = NoCap;
    // Polled every few milliseconds; the run ends as Stopped once it is raised.
    const std::atomic<bool>* Stop = nullptr;
    // Find the highway the run ends on, for periods up to this; 0 skips the analysis.
    std::uint64_t HighwayMaxPeriod = 0;
};

// Whether a run also proves that it never finishes. A compile-time choice, so the plain
// loop carries none of the proof's work.
enum class CycleProof
{
    Off,
    On,
};

// Runs many iterations at once on a packed copy of the field, leaving field and ant
// exactly as the same number of Iterate calls would. With the cycle proof, a hash of
// the field is kept up to date per iteration; checkpoints are taken at growing
// distances (Brent's method), and when hash, cell and heading meet the checkpoint's
// again, the whole field is compared with the checkpoint's copy before the answer is
// Never. One runner per thread: it keeps its buffers between runs.
class Runner
{
public:
    // Constant makes every field hash alike, so each return of the ant to the
    // checkpoint's cell and heading goes to the full comparison (for tests).
    enum class HashKeys
    {
        Random,
        Constant,
    };

    explicit Runner(HashKeys keys = HashKeys::Random);
    ~Runner();
    Runner(Runner&&) noexcept;
    Runner& operator=(Runner&&) noexcept;

    template <CycleProof Proof = CycleProof::Off>
    RunResult Run(AntField& field, Ant& ant, const RunOptions& options = {});

private:
    // One key per packed cell; the field hash is the sum of code x key.
    static const std::uint64_t* HashKeyTable(HashKeys keys);

    PackedField Packed;
    std::unique_ptr<HighwayTracker> Tracker;
    std::vector<std::uint8_t> Checkpoint;
    const std::uint64_t* Keys;
};
