#pragma once

#include "Command.h"
#include "MaxPeriodOption.h"
#include "OutputFormat.h"

#include <string>

// catalogue: runs the 31 presets and checks each ends at the count in its label.
class CatalogueCommand : public Command
{
public:
    explicit CatalogueCommand(CLI::App& line);
    int Execute() override;

private:
    std::string RenderDirectory;
    OutputFormat Format;
    MaxPeriodOption MaxPeriod;
};
