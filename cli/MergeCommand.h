#pragma once

#include "Command.h"

#include <cstdint>
#include <string>
#include <vector>

// merge FILE...: the survey outputs of the shards of one survey (CSV or JSON), printed as
// the whole survey prints them.
class MergeCommand : public Command
{
public:
    explicit MergeCommand(CLI::App& line);
    int Execute() override;

private:
    std::vector<std::string> Files;
    std::uint64_t Top = 0; // 0: not given
    bool Types = false;

    int MergeSoups();
};
