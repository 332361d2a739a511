#pragma once

#include "AntPosition.h"
#include "PackedField.h"
#include "StartField.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace CLI
{
class App;
}

// --start FILE [--start-at X,Y] and --ant X,Y,D on run: a start field read from a text grid
// (one line per row, one character per cell: . or 0 blank, 1 to 9, A to W for 10 to 32),
// and the ant's cell and heading.
class StartOptions
{
public:
    // A start file holds 2^28 cells at most, as a picture does.
    static constexpr std::uint64_t MostBytes = std::uint64_t{1} << 28;

    explicit StartOptions(CLI::App& command);

    // Whether the run starts elsewhere than on the blank field, heading up from its centre.
    bool Given() const;
    // The option combinations (a UsageError), before anything is read.
    void CheckOptions() const;
    // The start: the grid (unreadable: a RuntimeFailure; its content or a colour beyond
    // the rule's letters: a UsageError naming file and line) on the field, and the ant.
    std::unique_ptr<PackedField> Make(AntPosition& position, int size, bool plane,
                                      std::uint64_t maxMemory, int letters) const;

    // The grid in the file, at (0, 0).
    static StartField Read(const std::string& path, int letters);

private:
    CLI::App* Command;
    std::string Path;
    std::int64_t AtX = 0, AtY = 0;
    std::optional<AntPosition> Ant;
};
