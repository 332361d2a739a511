#include "Commands.h"

#include "Ant.h"
#include "AntField.h"
#include "Arguments.h"
#include "FieldPicture.h"
#include "PresetCatalogue.h"
#include "RuleText.h"
#include "Runner.h"
#include "UsageError.h"

#include <iostream>
#include <memory>

namespace
{
constexpr std::uint64_t FreeRuleCap = 1000000000;
}

int RunCommand(const std::vector<std::string>& words)
{
    Arguments args(words);
    const std::optional<std::string> presetText = args.TakeValue("--preset");
    const std::optional<std::string> capText = args.TakeValue("--max-iterations");
    const std::optional<std::string> pngPath = args.TakeValue("--png");
    const std::optional<std::string> cellSizeText = args.TakeValue("--cell-size");
    const std::vector<std::string> positionals = args.Positionals(1);

    auto field = std::make_unique<AntField>();
    Ant ant;
    std::uint64_t cap = RunOptions::NoCap;
    if (presetText)
    {
        if (!positionals.empty())
            throw UsageError("give either a RULE or --preset, not both");
        ant.ApplyPreset(
            Arguments::ParseInt("--preset", *presetText, 1, PresetCatalogue::PresetCount));
    }
    else
    {
        if (positionals.empty())
            throw UsageError("missing RULE (1 to 12 letters of L, R and -) or --preset N");
        RuleText::ApplyRule(ant, positionals.front());
        cap = FreeRuleCap;
    }
    if (capText)
        cap = Arguments::ParseCount("--max-iterations", *capText);
    int cellSize = FieldPicture::DefaultCellSize;
    if (cellSizeText)
    {
        if (!pngPath)
            throw UsageError("--cell-size needs --png FILE");
        cellSize = FieldPicture::ParseCellSize(*cellSizeText);
    }
    if (pngPath)
        FieldPicture::CheckFilePath(*pngPath);

    RunOptions options;
    options.Cap = cap;
    const RunResult result = Runner().Run(*field, ant, options);
    if (pngPath)
        FieldPicture::Write(*field, cellSize, *pngPath);
    const AntPosition position = ant.GetPosition();
    std::cout << "rule: " << ant.ActiveRule() << '\n'
              << "iterations: " << result.Iterations << '\n'
              << "finished: " << (result.Outcome == RunOutcome::Finished ? "true" : "false") << '\n'
              << "x: " << position.X << '\n'
              << "y: " << position.Y << '\n'
              << "direction: " << position.Direction << '\n'
              << "colours:";
    for (std::uint64_t count : field->CountColours())
        std::cout << ' ' << count;
    std::cout << '\n';
    return 0;
}
