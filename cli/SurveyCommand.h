#pragma once

#include "Command.h"
#include "FieldOptions.h"
#include "MaxPeriodOption.h"
#include "OutputFormat.h"

#include <string>

// survey --letters A[-B]: every rule of A to B letters L and R, on a pool of threads.
class SurveyCommand : public Command
{
public:
    explicit SurveyCommand(CLI::App& line);
    int Execute() override;

private:
    std::string Letters;
    std::string Cap;
    std::string Jobs;
    std::string Top;
    std::string ShardText;
    std::string Lanes;
    std::string Resume;
    std::string StateDir;
    bool Quiet = false;
    OutputFormat Format;
    MaxPeriodOption MaxPeriod;
    FieldOptions Geometry;
};
