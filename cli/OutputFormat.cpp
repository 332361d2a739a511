#include "OutputFormat.h"

#include "OptionChecks.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>

#include <vector>

OutputFormat::OutputFormat(CLI::App& command)
{
    Given = command.add_option("--format", Name, "output format: table (default), csv or json")
                ->type_name("FORMAT")
                ->check(OptionChecks::OneOf("--format", {"table", "csv", "json"}));
    command.add_flag("--csv", CsvFlag, "the same as --format csv")->disable_flag_override();
    command.add_flag("--json", JsonFlag, "the same as --format json")->disable_flag_override();
}

OutputFormat::Kind OutputFormat::Chosen() const
{
    std::vector<Kind> chosen;
    if (Given->count() > 0)
        chosen.push_back(Name == "table" ? Table : Name == "csv" ? Csv : Json);
    if (CsvFlag)
        chosen.push_back(Csv);
    if (JsonFlag)
        chosen.push_back(Json);
    for (Kind kind : chosen)
        if (kind != chosen.front())
            throw UsageError("give one output format: --format, --csv or --json");
    return chosen.empty() ? Table : chosen.front();
}
