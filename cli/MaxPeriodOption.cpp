#include "MaxPeriodOption.h"

#include "ArgumentText.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>

MaxPeriodOption::MaxPeriodOption(CLI::App& command) : Command(&command)
{
    command
        .add_option("--max-period", Text,
                    "longest highway period looked for (default 20000, at most 1000000)")
        ->type_name("N");
}

std::uint64_t MaxPeriodOption::Chosen() const
{
    if (Command->count("--max-period") == 0)
        return Default;
    const std::uint64_t period = ArgumentText::ParseCount("--max-period", Text);
    if (period > Most)
        throw UsageError("--max-period must be at most " + std::to_string(Most) + ", not " +
                         ArgumentText::Quote(Text));
    return period;
}
