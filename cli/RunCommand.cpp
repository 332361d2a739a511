#include "RunCommand.h"

#include "Ant.h"
#include "AntField.h"
#include "ArgumentText.h"
#include "FieldPicture.h"
#include "OutputFile.h"
#include "PresetCatalogue.h"
#include "Record.h"
#include "RecordWriter.h"
#include "RuleText.h"
#include "Runner.h"
#include "StandardOutput.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>

#include <QFileInfo>

#include <iterator>
#include <utility>

#include <memory>

namespace
{
constexpr std::uint64_t FreeRuleCap = 1000000000;

Record RunRecord(const Ant& ant, const RunResult& result, const AntField& field)
{
    Record record{
        Fields::Rule(ant.ActiveRule()),
        Fields::Iterations(result.Iterations),
        {"finished", result.Outcome == RunOutcome::Finished},
    };
    Fields::AddPosition(record, ant.GetPosition());
    record.push_back(Fields::Colours(field.CountColours()));
    Fields::AddHighway(record, result.Highway);
    return record;
}
} // namespace

RunCommand::RunCommand(CLI::App& line)
    : Command(line.add_subcommand("run", "Run one rule from the start state to its end.")),
      Format(Options()), MaxPeriod(Options()), Animation(Options()), Trace(Options())
{
    CLI::App& options = Options();
    options.add_option("RULE", Rule, "1 to 12 letters L and R, optionally padded with '-'")
        ->type_name("");
    options.add_option("--preset", Preset, "run catalogued preset N (1 to 31) instead, no cap")
        ->type_name("N");
    options.add_option("--max-iterations", Cap, "stop after N iterations (default 1000000000)")
        ->type_name("N");
    options.add_option("--png", Png, "also write the final field as a PNG picture; - for stdout")
        ->type_name("FILE");
    options
        .add_option("--cell-size", CellSize,
                    "S x S pixels per cell of --png and --gif, 1 to 16 (default 3)")
        ->type_name("S");
    options.footer(
        "Prints rule, iterations, finished, x, y, direction, colours (cells per colour value\n"
        "0 to 12) and the highway the run ends on: its period, the iteration it starts at and\n"
        "the cells one period moves the ant (highway_period, highway_onset, highway_drift_x,\n"
        "highway_drift_y in CSV and JSON). One of --png, --gif and --trace may be - (stdout),\n"
        "and is then the only output.");
}

int RunCommand::Execute()
{
    auto field = std::make_unique<AntField>();
    Ant ant;
    std::uint64_t cap = RunOptions::NoCap;
    const bool hasPreset = Options().count("--preset") > 0;
    const bool hasRule = Options().count("RULE") > 0;
    if (hasPreset && hasRule)
        throw UsageError("give either a RULE or --preset, not both");
    if (hasPreset)
    {
        ant.ApplyPreset(
            ArgumentText::ParseInt("--preset", Preset, 1, PresetCatalogue::PresetCount));
    }
    else
    {
        if (!hasRule)
            throw UsageError("missing RULE (1 to 12 letters of L, R and -) or --preset N");
        RuleText::ApplyRule(ant, Rule);
        cap = FreeRuleCap;
    }
    if (Options().count("--max-iterations") > 0)
        cap = ArgumentText::ParseCount("--max-iterations", Cap);
    const std::uint64_t maxPeriod = MaxPeriod.Chosen();
    const bool picture = Options().count("--png") > 0;
    int cellSize = FieldPicture::DefaultCellSize;
    if (Options().count("--cell-size") > 0)
    {
        if (!picture && !Animation.Requested())
            throw UsageError("--cell-size needs --png FILE or --gif FILE");
        cellSize = FieldPicture::ParseCellSize(CellSize);
    }
    const OutputFormat::Kind format = Format.Chosen();
    const bool toStdout = picture && Png == FieldPicture::StandardOutputPath;
    if (toStdout && StandardOutput::IsTerminal())
        throw UsageError("a picture is not written to a terminal; redirect stdout or give a file");
    Animation.CheckOptions();
    Trace.CheckOptions();
    const int onStdout = toStdout + Animation.ToStandardOutput() + Trace.ToStandardOutput();
    if (onStdout > 1)
        throw UsageError("only one of --png, --gif and --trace can write to stdout");
    // One file for two outputs would keep only the last written.
    const std::pair<const char*, std::string> files[] = {
        {"--png", picture ? Png : std::string()},
        {"--gif", Animation.FilePath()},
        {"--trace", Trace.FilePath()},
    };
    for (std::size_t i = 0; i < std::size(files); ++i)
        for (std::size_t j = i + 1; j < std::size(files); ++j)
            if (!files[i].second.empty() && files[i].second != "-" && !files[j].second.empty() &&
                files[j].second != "-" &&
                QFileInfo(OutputFile::LocalPath(files[i].second)).absoluteFilePath() ==
                    QFileInfo(OutputFile::LocalPath(files[j].second)).absoluteFilePath())
                throw UsageError(std::string(files[i].first) + " and " + files[j].first +
                                 " name one file");
    if (picture && !toStdout)
        FieldPicture::CheckWritable(Png);
    Animation.CheckWritable();
    Trace.CheckWritable();

    RunOptions options;
    options.Cap = cap;
    options.HighwayMaxPeriod = maxPeriod;
    const RunResult result = Runner().Run(*field, ant, options);
    if (toStdout)
    {
        StandardOutput::Write(FieldPicture::Encode(*field, cellSize));
        StandardOutput::Flush();
    }
    else if (picture)
    {
        FieldPicture::Save(FieldPicture::Encode(*field, cellSize), Png);
    }
    // Both replay the run from its start, now that its last iteration is known.
    if (Animation.Requested())
        Animation.Write(ant, result.Iterations, cellSize);
    if (Trace.Requested())
        Trace.Write(ant, result.Iterations);
    if (onStdout == 0)
        RecordWriter::WriteOne(format, RunRecord(ant, result, *field));
    return 0;
}
