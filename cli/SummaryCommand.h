#pragma once

#include "Command.h"
#include "OutputFormat.h"

#include <string>
#include <vector>

// summary FILE...: what one or more surveys found, by rule length, and the highway types
// their rules reached.
class SummaryCommand : public Command
{
public:
    explicit SummaryCommand(CLI::App& line);
    int Execute() override;

private:
    std::vector<std::string> Files;
    bool TypesOnly = false;
    OutputFormat Format;
};
