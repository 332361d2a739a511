#pragma once

#include <cstdint>
#include <string>

namespace CLI
{
class App;
}

// --max-period N on a command that reports highways: the longest period looked for.
class MaxPeriodOption
{
public:
    static constexpr std::uint64_t Default = 20000;
    // Proving a period p holds about 2p steps of walk and trail, counted in --max-memory.
    static constexpr std::uint64_t Most = 100000000;

    explicit MaxPeriodOption(CLI::App& command);

    std::uint64_t Chosen() const;

private:
    CLI::App* Command;
    std::uint64_t Period = Default;
};
