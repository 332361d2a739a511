#pragma once

#include "Command.h"
#include "OutputFormat.h"

#include <string>

// run RULE | --preset N: one run from the start state, its end state, optionally a picture.
class RunCommand : public Command
{
public:
    explicit RunCommand(CLI::App& line);
    int Execute() override;

private:
    std::string Rule;
    std::string Preset;
    std::string Cap;
    std::string MaxPeriod;
    std::string Png;
    std::string CellSize;
    OutputFormat Format;
};
