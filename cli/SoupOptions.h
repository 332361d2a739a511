#pragma once

#include "Soup.h"

#include <cstdint>
#include <string>

namespace CLI
{
class App;
}

// --patch S and --density D on soups, and on run with --soup SEED:INDEX, which replays one
// soup: the random start the soups command gave that index.
class SoupOptions
{
public:
    SoupOptions(CLI::App& command, bool replay);

    Soup Chosen() const { return Patch; }
    // run: whether --soup was given; its seed and index.
    bool Given() const;
    std::uint64_t Seed() const { return SeedValue; }
    std::uint64_t Index() const { return IndexValue; }
    // run: --patch and --density need --soup (a UsageError).
    void CheckOptions() const;

    // D from 0 to 1 with up to 9 decimals, in parts of Soup::WholeDensity; a UsageError
    // naming `option` when it is none.
    static std::uint32_t ParseDensity(const std::string& option, const std::string& text);
    // The shortest decimal of a density: "0.25", "1", "0".
    static std::string DensityText(std::uint32_t density);
    // A seed: 0 to 2^64 - 1.
    static std::uint64_t ParseSeed(const std::string& option, const std::string& text);

private:
    CLI::App* Command;
    Soup Patch;
    std::uint64_t SeedValue = 1;
    std::uint64_t IndexValue = 0;
};
