#pragma once

#include <string>

namespace CLI
{
class App;
class Option;
} // namespace CLI

// --format table|csv|json, with --csv and --json as short forms, on one subcommand.
class OutputFormat
{
public:
    enum Kind
    {
        Table,
        Csv,
        Json,
    };

    explicit OutputFormat(CLI::App& command);

    // Throws a UsageError for an unknown name or two different choices.
    Kind Chosen() const;

private:
    CLI::Option* Given;
    std::string Name;
    bool CsvFlag = false;
    bool JsonFlag = false;
};
