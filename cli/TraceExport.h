#pragma once

#include "OutputOption.h"

#include <cstdint>
#include <memory>

class HighwayCourse;
#include <string>

namespace CLI
{
class App;
}
struct AntAI;
class OutputFile;
struct RunOptions;
struct ReplayStart;

// --trace FILE [--every K]: a run's time series as CSV, one row every K iterations from 0
// and one at the end: where the ant is and heads, the visited cells, the cells of each
// colour and the box around the visited cells, under the names the other output uses.
class TraceExport : public OutputOption
{
public:
    // Rows over the whole run when --every is not given, give or take one.
    static constexpr std::uint64_t DefaultRows = 1000;

    explicit TraceExport(CLI::App& command);

    // Before the run: the option values (a UsageError); CheckWritable, the place to write.
    void CheckOptions();
    // Replays the rule's run on the options' field from the start state (or `start`) to
    // lastIteration, or to the course's beginning and the course's states from there on. A file is
    // returned written but not yet in place, for the caller to commit with its other files.
    std::unique_ptr<OutputFile> Write(const AntAI& rule, const RunOptions& field,
                                      std::uint64_t lastIteration, const HighwayCourse* course,
                                      const ReplayStart& start) const;

private:
    std::uint64_t Every = 0; // 0: lastIteration / DefaultRows, rounded up
};
