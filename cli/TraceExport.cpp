#include "TraceExport.h"

#include "ArgumentText.h"
#include "FieldPicture.h"
#include "FieldSummary.h"
#include "HighwayCourse.h"
#include "Interruption.h"
#include "OptionChecks.h"
#include "OutputFile.h"
#include "Record.h"
#include "RecordWriter.h"
#include "RunReplay.h"
#include "StandardOutput.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <optional>

namespace
{
// A coordinate of the box, empty in the CSV while nothing is visited.
Field BoxSide(const char* name, int value, bool visited)
{
    return {name, visited ? Field::Value(std::int64_t{value}) : Field::Value(nullptr)};
}

// A row of the course a proven highway takes past the run's end.
Record TraceRow(const HighwayFuture& future, std::size_t letters)
{
    const bool visited = future.Visited > 0;
    Field::Counts colours(future.Coloured.begin(),
                          future.Coloured.begin() +
                              static_cast<std::ptrdiff_t>(Fields::ColoursShown(letters)));
    colours[0] = future.Blank;
    auto side = [visited](const char* name, std::int64_t value) {
        return Field{name, visited ? Field::Value(value) : Field::Value(nullptr)};
    };
    return Record{Fields::Iterations(future.Iterations),
                  {"x", future.X, 3},
                  {"y", future.Y, 3},
                  {"direction", std::string(1, future.Direction), -1},
                  {"visited", future.Visited},
                  {"colours", colours, 0},
                  side("min_x", future.MinX),
                  side("min_y", future.MinY),
                  side("max_x", future.MaxX),
                  side("max_y", future.MaxY)};
}

Record TraceRow(const RunReplay& replay, std::size_t letters)
{
    const FieldSummary summary = FieldSummary::Of(replay.Field());
    const bool visited = summary.Visited > 0;
    Record row{Fields::Iterations(replay.Iterations())};
    Fields::AddPosition(row, replay.Position());
    row.push_back({"visited", summary.Visited});
    row.push_back(Fields::Colours(summary.Colours, letters));
    row.push_back(BoxSide("min_x", summary.MinX, visited));
    row.push_back(BoxSide("min_y", summary.MinY, visited));
    row.push_back(BoxSide("max_x", summary.MaxX, visited));
    row.push_back(BoxSide("max_y", summary.MaxY, visited));
    return row;
}
} // namespace

TraceExport::TraceExport(CLI::App& command)
    : OutputOption(command, "--trace",
                   "also write the run's course as CSV, a row every K iterations and one at the "
                   "end; - for stdout")
{
    command
        .add_option("--every", Every,
                    "iterations between trace rows (default: about " + std::to_string(DefaultRows) +
                        " rows)")
        ->type_name("K")
        ->check(OptionChecks::Count("--every"));
}

void TraceExport::CheckOptions()
{
    if (Command->count("--every") == 0)
        return;
    if (!Requested())
        throw UsageError("--every needs --trace FILE");
}

std::unique_ptr<OutputFile> TraceExport::Write(const AntAI& rule, const RunOptions& field,
                                               std::uint64_t lastIteration,
                                               const HighwayCourse* course,
                                               const ReplayStart& start) const
{
    const std::uint64_t every =
        Every > 0 ? Every
                  : std::max<std::uint64_t>(1, lastIteration / DefaultRows +
                                                   (lastIteration % DefaultRows != 0));
    std::unique_ptr<OutputFile> file;
    if (!ToStandardOutput())
        file = std::make_unique<OutputFile>(Path);
    auto write = [&file](const std::string& text)
    {
        if (file)
            file->Write(text);
        else
            StandardOutput::Write(text);
    };

    RunReplay replay(rule, field, start);
    for (std::uint64_t at = 0;; at = lastIteration - at > every ? at + every : lastIteration)
    {
        // Past the run's end a proven highway's course gives the rows; it reaches the last
        // one, the run's reported state, so every row before it too.
        std::optional<HighwayFuture> far;
        if (course && at > course->Begin())
        {
            far = course->At(at);
            if (!far)
                break;
        }
        else
        {
            replay.AdvanceTo(at);
        }
        Interruption::Check();
        const auto letters = static_cast<std::size_t>(rule.ActiveSteps);
        const Record row = far ? TraceRow(*far, letters) : TraceRow(replay, letters);
        if (at == 0)
            write(RecordWriter::CsvHeader(row));
        write(RecordWriter::CsvLine(row));
        if (at == lastIteration)
            break;
    }
    if (!file)
        StandardOutput::Flush();
    return file;
}
