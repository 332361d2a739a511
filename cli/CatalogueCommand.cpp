#include "Commands.h"

#include "Ant.h"
#include "AntField.h"
#include "Arguments.h"
#include "FieldPicture.h"
#include "PresetCatalogue.h"
#include "Runner.h"

#include <cstdio>
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

void PrintCsv(const PresetRun& run)
{
    std::cout << run.Number << ',' << run.Rule << ',' << run.Expected << ','
              << run.Result.Iterations << ',' << run.Position.X << ',' << run.Position.Y << ','
              << run.Position.Direction;
    for (std::uint64_t count : run.Colours)
        std::cout << ',' << count;
    std::cout << '\n';
}

void PrintRow(const PresetRun& run)
{
    char line[160];
    std::snprintf(line, sizeof line, "%02d  %-12s  %10llu  %10llu  %3d  %3d  %c    %6llu  %s\n",
                  run.Number, run.Rule.c_str(), static_cast<unsigned long long>(run.Expected),
                  static_cast<unsigned long long>(run.Result.Iterations), run.Position.X,
                  run.Position.Y, run.Position.Direction,
                  static_cast<unsigned long long>(run.Colours[0]),
                  Matches(run) ? "ok" : "MISMATCH");
    std::cout << line;
}
} // namespace

int CatalogueCommand(const std::vector<std::string>& words)
{
    Arguments args(words);
    const bool csv = args.TakeFlag("--csv");
    const std::optional<std::string> renderDirectory = args.TakeValue("--render");
    args.Positionals(0);
    if (renderDirectory)
        FieldPicture::PrepareDirectory(*renderDirectory);

    if (csv)
        std::cout << "preset,rule,expected,iterations,x,y,direction,"
                     "h0,h1,h2,h3,h4,h5,h6,h7,h8,h9,h10,h11,h12\n";
    else
        std::cout << "No  Rule            Expected    Measured    X    Y  Dir   Blank  Check\n";

    auto field = std::make_unique<AntField>();
    Runner runner;
    int mismatches = 0;
    for (int number = 1; number <= PresetCatalogue::PresetCount; ++number)
    {
        const PresetRun run = RunPreset(number, *field, runner);
        if (renderDirectory)
            FieldPicture::Write(*field, FieldPicture::PreviewCellSize,
                                FieldPicture::PreviewPath(*renderDirectory, number));
        if (!Matches(run))
            ++mismatches;
        if (csv)
            PrintCsv(run);
        else
            PrintRow(run);
    }
    if (mismatches > 0)
        std::cerr << "formicula-cli: " << mismatches
                  << " preset(s) did not finish at the count in their label\n";
    return mismatches > 0 ? 1 : 0;
}
