#pragma once

#include <memory>
#include <string>
#include <vector>

class Command;

namespace CLI
{
class App;
class Option;
class ParseError;
} // namespace CLI

// The command line: the commands, their help and the checks every word goes through.
class CommandLine
{
public:
    CommandLine();
    ~CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // Bad usage is thrown as a UsageError before anything is written; returns the exit status.
    int Run(int argc, char** argv);

private:
    // Refuses words left over, and option values that are options themselves.
    void CheckWords(const std::vector<std::string>& words, const Command* chosen) const;
    std::string HelpOf(const std::string& topic) const;
    // A refusal by CLI11 in this program's words.
    std::string Wording(const CLI::ParseError& error, const std::vector<std::string>& words) const;
    // The option of that name on any command.
    const CLI::Option* Find(const std::string& name) const;

    std::unique_ptr<CLI::App> Line;
    std::vector<std::unique_ptr<Command>> Commands;
    CLI::App* HelpCommand = nullptr;
    std::string HelpTopic;
    bool Version = false;
};
