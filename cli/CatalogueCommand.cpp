#include "CatalogueCommand.h"

#include "CatalogueCheck.h"
#include "FieldPicture.h"
#include "Interruption.h"
#include "Record.h"
#include "RecordWriter.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace
{
Record PresetRecord(const PresetRun& run)
{
    Record record{
        {"preset", std::uint64_t(run.Number), 6},
        Fields::Rule(run.Rule),
        {"expected", run.Expected, 10},
        Fields::Iterations(run.Result.Iterations),
    };
    Fields::AddPosition(record, run.Position);
    record.push_back(Fields::Colours(run.Colours, run.Rule.size(), Field::Csv | Field::Json));
    record.push_back({"colours_0", run.Colours[0], 9, Field::Table});
    Fields::AddHighway(record, run.Result.Highway);
    record.push_back({"check", run.Matches() ? "ok" : "MISMATCH", -8, Field::Table | Field::Json});
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
    Interruption::Catch();
    const OutputFormat::Kind format = Format.Chosen();
    const std::uint64_t maxPeriod = MaxPeriod.Chosen();
    const bool render = Options().count("--render") > 0;
    if (render)
        FieldPicture::PrepareDirectory(RenderDirectory);

    RecordWriter writer(format, PresetRecord(PresetRun{}));
    RunOptions options;
    options.HighwayMaxPeriod = maxPeriod;
    options.Stop = Interruption::Flag();
    // A stopped run is no row and no picture.
    auto picture = [&](const PresetRun& run, const FieldView& end)
    {
        Interruption::Check();
        FieldPicture::Save(FieldPicture::Encode(end, end.Extent(), FieldPicture::PreviewCellSize),
                           FieldPicture::PreviewPath(RenderDirectory, run.Number));
    };
    const int mismatches =
        CatalogueCheck::Run(options, render ? CatalogueCheck::Ended(picture) : nullptr,
                            [&](const PresetRun& run)
                            {
                                Interruption::Check();
                                writer.Add(PresetRecord(run));
                            });
    Interruption::Check();
    writer.Finish({{"mismatches", mismatches}});
    if (mismatches > 0)
        std::cerr << "formicula-cli: " << mismatches
                  << " preset(s) did not finish at the count in their label\n";
    return mismatches > 0 ? 1 : 0;
}
