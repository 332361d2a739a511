#pragma once

#include "AntField.h"
#include "AntPosition.h"
#include "FieldView.h"
#include "RunTypes.h"

#include <cstdint>
#include <functional>
#include <string>

// One preset's run from the start state, and the count in its label.
struct PresetRun
{
    int Number = 0;
    std::string Rule;
    std::uint64_t Expected = 0;
    RunResult Result;
    AntPosition Position;
    PackedField::ColourCounts Colours{};

    bool Matches() const
    {
        return Result.Outcome == RunOutcome::Finished && Result.Iterations == Expected;
    }
};

// Runs every preset of the catalogue from the start state and checks that each ends at
// the count in its label. The longest preset is a third of all iterations: it runs alone
// on the single-ant runner on a second thread, while the others share the lanes of the
// calling thread (without a second thread it runs there after them).
class CatalogueCheck
{
public:
    // Each run as it ends, in any order, with its end field (valid during the call).
    using Ended = std::function<void(const PresetRun& run, const FieldView& end)>;
    // Each run in preset order, as soon as the runs before it are in.
    using Ready = std::function<void(const PresetRun& run)>;

    // Both are called on the calling thread; either may be empty. When one throws, the
    // exception goes on once the runs still going have ended: the longest at once, unless
    // options bring a stop flag of their own. Returns the count of runs that do not match
    // their label.
    static int Run(const RunOptions& options, const Ended& ended, const Ready& ready);

    // The preset with the most iterations.
    static int Longest();
};
