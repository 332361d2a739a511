#pragma once

#include <string>

namespace CLI
{
class App;
class Option;
} // namespace CLI

// An option that names a file to write, or - for stdout: what every export of a run has
// in common.
class OutputOption
{
public:
    bool Requested() const;
    bool ToStandardOutput() const;
    // The file to write; empty when none is asked for.
    const std::string& FilePath() const { return Path; }
    // Before the run: a file that cannot be written is refused then, not after it.
    void CheckWritable() const;

protected:
    // Adds `name` FILE to the command.
    OutputOption(CLI::App& command, const std::string& name, const std::string& help);

    CLI::App* Command;
    std::string Name;
    std::string Path;
};
