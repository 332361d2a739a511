#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The words after a subcommand. Options are taken out by name ("--cap N" or
// "--cap=N"); whatever is left must be the expected positionals, else a UsageError.
class Arguments
{
public:
    explicit Arguments(std::vector<std::string> words);

    bool TakeFlag(const std::string& name);
    std::optional<std::string> TakeValue(const std::string& name);
    // Throws on any option left over, or on more positionals than allowed.
    std::vector<std::string> Positionals(std::size_t most);

    static std::uint64_t ParseCount(const std::string& option, const std::string& text);
    static int ParseInt(const std::string& option, const std::string& text, int low, int high);

private:
    std::vector<std::string> Words;
};
