#pragma once

#include "Command.h"
#include "FieldOptions.h"
#include "MaxPeriodOption.h"
#include "OutputFormat.h"

#include <cstdint>
#include <string>
#include <utility>

// survey --letters A[-B]: every rule of A to B letters L and R, on a pool of threads.
class SurveyCommand : public Command
{
public:
    explicit SurveyCommand(CLI::App& line);
    int Execute() override;

private:
    std::string Letters;
    std::pair<int, int> LetterRange; // from, to
    std::string Numbers;
    std::pair<std::uint64_t, std::uint64_t> NumberRange; // from, to
    std::uint64_t Cap = 0;
    int Jobs = 0;
    std::uint64_t Top = 0; // 0: every row
    std::string ShardText;
    int ShardIndex = 1;
    int ShardCount = 1;
    int Lanes = 0; // 0: the runner's own count
    std::string Resume;
    std::string StateDir;
    bool Quiet = false;
    bool Types = false;
    OutputFormat Format;
    MaxPeriodOption MaxPeriod;
    FieldOptions Geometry;
};
