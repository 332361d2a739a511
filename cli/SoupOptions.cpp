#include "SoupOptions.h"

#include "ArgumentText.h"
#include "OptionChecks.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>

SoupOptions::SoupOptions(CLI::App& command, bool replay) : Command(&command)
{
    if (replay)
        command
            .add_option_function<std::string>(
                "--soup",
                [this](const std::string& text)
                {
                    const std::size_t colon = text.find(':');
                    if (colon == std::string::npos)
                        throw UsageError("--soup must be SEED:INDEX (two whole numbers), not " +
                                         ArgumentText::Quote(text));
                    SeedValue = ParseSeed("--soup seed", text.substr(0, colon));
                    IndexValue = ParseSeed("--soup index", text.substr(colon + 1));
                },
                "start from soup INDEX of `soups --seed SEED`: its random patch around the "
                "start cell (with the same --patch and --density)")
            ->type_name("SEED:INDEX");
    command
        .add_option("--patch", Patch.Patch,
                    "side of the random square patch centred on the ant, 1 to " +
                        std::to_string(Soup::MostPatch) + " (default " +
                        std::to_string(Soup{}.Patch) +
                        "; an even side has one more cell left "
                        "of and above the ant than right of and below it)")
        ->type_name("S")
        ->check(OptionChecks::WholeNumber("--patch", 1, Soup::MostPatch));
    command
        .add_option_function<std::string>(
            "--density",
            [this](const std::string& text)
            {
                Patch.Density = ParseDensity("--density", text);
                Patch.Dense = true;
            },
            "share of the patch's cells coloured, 0 to 1, each then of colour 1 to n alike "
            "(default: every cell of colour 0 to n alike, n the rule's letters)")
        ->type_name("D");
}

bool SoupOptions::Given() const
{
    return Command->count("--soup") > 0;
}

void SoupOptions::CheckOptions() const
{
    for (const char* option : {"--patch", "--density"})
        if (Command->count(option) > 0 && !Given())
            throw UsageError(std::string(option) + " needs --soup SEED:INDEX");
}

std::uint32_t SoupOptions::ParseDensity(const std::string& option, const std::string& text)
{
    const std::string problem = option +
                                " must be a decimal from 0 to 1 with at most 9 decimals, not " +
                                ArgumentText::Quote(text);
    const std::size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string decimals = point == std::string::npos ? "" : text.substr(point + 1);
    if (decimals.size() > 9 || (point != std::string::npos && decimals.empty()))
        throw UsageError(problem);
    const ArgumentText::Number units = ArgumentText::ReadNumber(whole);
    if (units.Status != ArgumentText::Number::Whole || units.Magnitude > 1)
        throw UsageError(problem);
    std::uint64_t parts = units.Magnitude * Soup::WholeDensity;
    if (!decimals.empty())
    {
        const ArgumentText::Number fraction = ArgumentText::ReadNumber(decimals);
        if (fraction.Status != ArgumentText::Number::Whole)
            throw UsageError(problem);
        std::uint64_t scaled = fraction.Magnitude;
        for (std::size_t i = decimals.size(); i < 9; ++i)
            scaled *= 10;
        parts += scaled;
    }
    if (parts > Soup::WholeDensity)
        throw UsageError(problem);
    return static_cast<std::uint32_t>(parts);
}

std::string SoupOptions::DensityText(std::uint32_t density)
{
    if (density % Soup::WholeDensity == 0)
        return std::to_string(density / Soup::WholeDensity);
    std::string decimals = std::to_string(density % Soup::WholeDensity);
    decimals.insert(0, 9 - decimals.size(), '0');
    decimals.erase(decimals.find_last_not_of('0') + 1);
    return "0." + decimals;
}

std::uint64_t SoupOptions::ParseSeed(const std::string& option, const std::string& text)
{
    const ArgumentText::Number number = ArgumentText::ReadNumber(text);
    if (number.Status != ArgumentText::Number::Whole)
        throw UsageError(option + " must be a whole number from 0 to 18446744073709551615, not " +
                         ArgumentText::Quote(text));
    return number.Magnitude;
}
