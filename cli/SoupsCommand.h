#pragma once

#include "Command.h"
#include "MaxPeriodOption.h"
#include "OutputFormat.h"
#include "SoupOptions.h"

#include <cstdint>
#include <string>

// soups RULE: the rule from many random starts on the plane, the highways they reach and
// how often each type of highway comes.
class SoupsCommand : public Command
{
public:
    static constexpr std::uint64_t DefaultCount = 100;
    static constexpr std::uint64_t MostCount = std::uint64_t{1} << 32;

    explicit SoupsCommand(CLI::App& line);
    int Execute() override;

private:
    std::string Rule;
    std::uint64_t Count = DefaultCount;
    std::string SeedText;
    std::uint64_t Cap = 0;
    std::string MemoryText;
    int Jobs = 0;
    std::string ShardText;
    bool TypesOnly = false;
    bool Quiet = false;
    OutputFormat Format;
    MaxPeriodOption MaxPeriod;
    SoupOptions Patch;
};
