#include "CatalogueCommand.h"

#include "Ant.h"
#include "AntField.h"
#include "FieldPicture.h"
#include "PresetCatalogue.h"
#include "Record.h"
#include "RecordWriter.h"
#include "Runner.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

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

PresetRun RunPreset(int number, AntField& field, Runner& runner)
{
    field.Clear();
    Ant ant;
    ant.ApplyPreset(number);
    PresetRun run;
    run.Number = number;
    run.Rule = ant.ActiveRule();
    run.Expected = PresetCatalogue::ExpectedIterations(number);
    run.Result = runner.Run(field, ant);
    run.Position = ant.GetPosition();
    run.Colours = field.CountColours();
    return run;
}

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
    record.push_back({"check", Matches(run) ? "ok" : "MISMATCH", -8, Field::Table | Field::Json});
    return record;
}
} // namespace

CatalogueCommand::CatalogueCommand(CLI::App& line)
    : Command(line.add_subcommand(
          "catalogue", "Run all 31 presets; check each ends at the count in its label.")),
      Format(Options())
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
    const bool render = Options().count("--render") > 0;
    if (render)
        FieldPicture::PrepareDirectory(RenderDirectory);

    RecordWriter writer(format, PresetRecord(PresetRun{}));
    auto field = std::make_unique<AntField>();
    Runner runner;
    int mismatches = 0;
    for (int number = 1; number <= PresetCatalogue::PresetCount; ++number)
    {
        const PresetRun run = RunPreset(number, *field, runner);
        if (render)
            FieldPicture::Save(FieldPicture::Encode(*field, FieldPicture::PreviewCellSize),
                               FieldPicture::PreviewPath(RenderDirectory, number));
        if (!Matches(run))
            ++mismatches;
        writer.Add(PresetRecord(run));
    }
    writer.Finish({{"mismatches", mismatches}});
    if (mismatches > 0)
        std::cerr << "formicula-cli: " << mismatches
                  << " preset(s) did not finish at the count in their label\n";
    return mismatches > 0 ? 1 : 0;
}
