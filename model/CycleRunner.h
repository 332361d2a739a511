#pragma once

#include "PackedField.h"

#include <atomic>
#include <cstdint>
#include <vector>

class Ant;
class AntField;

enum class CycleOutcome
{
    Finished, // the ant failed to move
    Never,    // the run came back to an earlier state, so it repeats for ever
    Cap,      // neither within the iterations allowed
    Stopped,  // the stop flag was raised
};

struct CycleResult
{
    CycleOutcome Outcome = CycleOutcome::Cap;
    std::uint64_t Iterations = 0; // done when the run ended, counting a refused step
    // Never: the state after Iterations equals the state Period iterations earlier,
    // and Period is the shortest such distance.
    std::uint64_t Period = 0;
    std::uint64_t FalseMatches = 0; // hash matches that the full comparison rejected
};

// Runs a rule like BatchRunner and proves runs that never finish. A hash of the field
// is kept up to date per iteration; checkpoints are taken at growing distances
// (Brent's method), and when field hash, cell and heading meet the checkpoint's again,
// the whole field is compared with the checkpoint's copy before the answer is Never.
// One runner per thread: it keeps its buffers between runs.
class CycleRunner
{
public:
    // Constant makes every field hash alike, so each return of the ant to the
    // checkpoint's cell and heading goes to the full comparison (for tests).
    enum class HashKeys
    {
        Random,
        Constant,
    };

    explicit CycleRunner(HashKeys keys = HashKeys::Random);

    // Leaves the field and the ant as Iterations calls of Iterate would. With a stop
    // flag, it is polled every few milliseconds.
    CycleResult Run(AntField& field, Ant& ant, std::uint64_t maxIterations,
                    const std::atomic<bool>* stop = nullptr);

private:
    PackedField Packed;
    std::vector<std::uint8_t> Checkpoint;
    const std::uint64_t* Keys;
};
