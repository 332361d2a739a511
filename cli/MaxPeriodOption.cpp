#include "MaxPeriodOption.h"

#include "OptionChecks.h"

#include <CLI/CLI.hpp>

MaxPeriodOption::MaxPeriodOption(CLI::App& command) : Command(&command)
{
    command
        .add_option("--max-period", Period,
                    "longest highway period looked for (default " + std::to_string(Default) +
                        ", at most " + std::to_string(Most) + ")")
        ->type_name("N")
        ->check(OptionChecks::Count("--max-period", Most));
}

std::uint64_t MaxPeriodOption::Chosen() const
{
    if (Command->count("--max-period") == 0)
        return Default;
    return Period;
}
