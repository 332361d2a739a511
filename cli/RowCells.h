#pragma once

#include "AntPosition.h"
#include "Highway.h"
#include "HighwayType.h"
#include "RunOutcome.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

// A row of a survey's or the soups' output read back by column name (from CSV or JSON),
// for merge and --resume, each cell refused with where it came from.
namespace RowCells
{
// Where a cell came from, for the messages: "'f' line 3" or "'f' row 2".
struct Place
{
    const std::string& Path;
    std::string Where; // empty for the file as a whole

    [[noreturn]] void Refuse(const std::string& problem) const;
};

using Cells = std::map<std::string, std::string>;

const std::string& Cell(const Place& place, const Cells& cells, const char* name);
std::uint64_t Count(const Place& place, const char* name, const std::string& text,
                    std::uint64_t most = UINT64_MAX);
int Coordinate(const Place& place, const char* name, const std::string& text);
// A highway type as HighwayType::Name writes it for a rule of `letters` letters, read back
// only if it names the type so again; none for an empty cell.
std::optional<HighwayType> Type(const Place& place, const char* name, const std::string& text,
                                int letters);

// What every row says of its run.
struct Run
{
    RunOutcome Outcome = RunOutcome::Cap;
    std::uint64_t Iterations = 0; // at most the cap
    AntPosition Position;
    std::uint64_t Period = 0; // of a never run only
    ::Highway Highway;
};
Run RunOf(const Place& place, const Cells& cells, std::uint64_t cap);
} // namespace RowCells
