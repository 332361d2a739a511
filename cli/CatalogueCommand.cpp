#include "CatalogueCommand.h"

#include "Ant.h"
#include "AntField.h"
#include "FieldPicture.h"
#include "LaneRunner.h"
#include "PresetCatalogue.h"
#include "Record.h"
#include "RecordWriter.h"
#include "Runner.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace
{
struct PresetRun
{
    int Number = 0;
    std::string Rule;
    std::uint64_t Expected = 0;
    RunResult Result;
    AntPosition Position;
    AntField::ColourCounts Colours{};
};

bool Matches(const PresetRun& run)
{
    return run.Result.Outcome == RunOutcome::Finished && run.Result.Iterations == run.Expected;
}

Record PresetRecord(const PresetRun& run)
{
    Record record{
        {"preset", std::uint64_t(run.Number), 6},
        Fields::Rule(run.Rule),
        {"expected", run.Expected, 10},
        Fields::Iterations(run.Result.Iterations),
    };
    Fields::AddPosition(record, run.Position);
    record.push_back(Fields::Colours(run.Colours, Field::Csv | Field::Json));
    record.push_back({"colours_0", run.Colours[0], 9, Field::Table});
    Fields::AddHighway(record, run.Result.Highway);
    record.push_back({"check", Matches(run) ? "ok" : "MISMATCH", -8, Field::Table | Field::Json});
    return record;
}
} // namespace

CatalogueCommand::CatalogueCommand(CLI::App& line)
    : Command(line.add_subcommand(
          "catalogue", "Run all 31 presets; check each ends at the count in its label.")),
      Format(Options()), MaxPeriod(Options())
{
    Options()
        .add_option("--render", RenderDirectory,
                    "also write each final field, 510 x 510, as ant_ai_preset_01.png .. _31.png "
                    "into DIR (made if missing)")
        ->type_name("DIR");
    Options().footer("Exit status 1 if a preset does not end at the count in its label.");
}

int CatalogueCommand::Execute()
{
    const OutputFormat::Kind format = Format.Chosen();
    const std::uint64_t maxPeriod = MaxPeriod.Chosen();
    const bool render = Options().count("--render") > 0;
    if (render)
        FieldPicture::PrepareDirectory(RenderDirectory);

    RecordWriter writer(format, PresetRecord(PresetRun{}));
    auto field = std::make_unique<AntField>();
    RunOptions options;
    options.HighwayMaxPeriod = maxPeriod;

    // The longest preset is a third of all iterations: it runs alone on the single-ant
    // runner, on a second thread, while the others share the lanes of this one.
    int longest = 1;
    for (int number = 2; number <= PresetCatalogue::PresetCount; ++number)
        if (PresetCatalogue::ExpectedIterations(number) >
            PresetCatalogue::ExpectedIterations(longest))
            longest = number;
    auto longestField = std::make_unique<AntField>();
    Ant longestAnt;
    longestAnt.ApplyPreset(longest);
    RunResult longestResult;
    auto runLongest = [&] { longestResult = Runner().Run(*longestField, longestAnt, options); };
    // Joined however this function ends: a failed write below must not end the process
    // with the thread still running.
    struct JoinedThread
    {
        std::thread Thread;
        ~JoinedThread()
        {
            if (Thread.joinable())
                Thread.join();
        }
    } second;
    try
    {
        second.Thread = std::thread(runLongest);
    }
    catch (const std::system_error&)
    {
        // No second thread: it runs here after the others.
    }

    // Runs end in any order; rows go out in preset order as soon as the ones before them
    // are in.
    std::vector<std::optional<PresetRun>> runs(PresetCatalogue::PresetCount + 1);
    int nextRow = 1;
    int mismatches = 0;
    auto finish =
        [&](int number, const RunResult& result, const AntPosition& position, AntField& end)
    {
        PresetRun& run = runs[static_cast<std::size_t>(number)].emplace();
        Ant ant;
        ant.ApplyPreset(number);
        run.Number = number;
        run.Rule = ant.ActiveRule();
        run.Expected = PresetCatalogue::ExpectedIterations(number);
        run.Result = result;
        run.Position = position;
        run.Colours = end.CountColours();
        if (render)
            FieldPicture::Save(FieldPicture::Encode(end, FieldPicture::PreviewCellSize),
                               FieldPicture::PreviewPath(RenderDirectory, number));
        for (; nextRow <= PresetCatalogue::PresetCount && runs[nextRow]; ++nextRow)
        {
            if (!Matches(*runs[nextRow]))
                ++mismatches;
            writer.Add(PresetRecord(*runs[nextRow]));
        }
    };

    int nextPreset = 1;
    auto next = [&](LaneRunner::Job& job)
    {
        nextPreset += nextPreset == longest;
        if (nextPreset > PresetCatalogue::PresetCount)
            return false;
        Ant ant;
        ant.ApplyPreset(nextPreset);
        job.Id = static_cast<std::size_t>(nextPreset++);
        job.Rule = ant.GetAI();
        return true;
    };
    auto ended = [&](const LaneRunner::Ended& end)
    {
        LaneRunner::Store(end.Cells, *field);
        finish(static_cast<int>(end.Id), end.Result, end.Position, *field);
    };
    LaneRunner().Run<CycleProof::Off>(next, ended, options);
    if (second.Thread.joinable())
        second.Thread.join();
    else
        runLongest();
    finish(longest, longestResult, longestAnt.GetPosition(), *longestField);
    writer.Finish({{"mismatches", mismatches}});
    if (mismatches > 0)
        std::cerr << "formicula-cli: " << mismatches
                  << " preset(s) did not finish at the count in their label\n";
    return mismatches > 0 ? 1 : 0;
}
