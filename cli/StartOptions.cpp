#include "StartOptions.h"

#include "ArgumentText.h"
#include "ReadFile.h"
#include "RuntimeFailure.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <vector>

namespace
{
// The parts of a comma-separated value; more than `parts` when it has more.
std::vector<std::string> Split(const std::string& text, std::size_t parts)
{
    std::vector<std::string> found;
    for (std::size_t from = 0;;)
    {
        const std::size_t comma = text.find(',', from);
        found.push_back(text.substr(from, comma == std::string::npos ? comma : comma - from));
        if (comma == std::string::npos || found.size() > parts)
            return found;
        from = comma + 1;
    }
}

std::int64_t Coordinate(const std::string& option, const char* name, const std::string& part)
{
    const ArgumentText::Number number = ArgumentText::ReadNumber(part, true);
    const auto most = static_cast<std::uint64_t>(StartField::MostCoordinate);
    if (number.Status != ArgumentText::Number::Whole || number.Magnitude > most)
        throw UsageError(option + " " + name + " must be a whole number from -" +
                         std::to_string(most) + " to " + std::to_string(most) + ", not " +
                         ArgumentText::Quote(part));
    const auto magnitude = static_cast<std::int64_t>(number.Magnitude);
    return number.Negative ? -magnitude : magnitude;
}

// The colour a character of the grid stands for; -1 for none.
int CellColour(char c)
{
    if (c == '.')
        return 0;
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'W')
        return 10 + (c - 'A');
    if (c >= 'a' && c <= 'w')
        return 10 + (c - 'a');
    return -1;
}
} // namespace

StartOptions::StartOptions(CLI::App& command) : Command(&command)
{
    command
        .add_option("--start", Path,
                    "start from the field in FILE: one line per row, one character per cell "
                    "(. or 0 blank, 1 to 9, A to W for 10 to 32), centred on the start cell")
        ->type_name("FILE");
    command
        .add_option_function<std::string>(
            "--start-at",
            [this](const std::string& text)
            {
                const std::vector<std::string> parts = Split(text, 2);
                if (parts.size() != 2)
                    throw UsageError("--start-at must be X,Y (two whole numbers), not " +
                                     ArgumentText::Quote(text));
                AtX = Coordinate("--start-at", "X", parts[0]);
                AtY = Coordinate("--start-at", "Y", parts[1]);
            },
            "put the --start field's top left cell on (X, Y)")
        ->type_name("X,Y");
    command
        .add_option_function<std::string>(
            "--ant",
            [this](const std::string& text)
            {
                const std::vector<std::string> parts = Split(text, 3);
                if (parts.size() != 3)
                    throw UsageError("--ant must be X,Y,D (two whole numbers and a heading U, "
                                     "R, D or L), not " +
                                     ArgumentText::Quote(text));
                const std::int64_t x = Coordinate("--ant", "X", parts[0]);
                const std::int64_t y = Coordinate("--ant", "Y", parts[1]);
                if (parts[2].size() != 1 || !StartField::IsHeading(parts[2][0]))
                    throw UsageError("--ant heading must be U, R, D or L, not " +
                                     ArgumentText::Quote(parts[2]));
                Ant = AntPosition{static_cast<int>(x), static_cast<int>(y), parts[2][0]};
            },
            "start the ant on cell (X, Y) heading D: U, R, D or L (default: the start cell, "
            "heading U)")
        ->type_name("X,Y,D");
}

bool StartOptions::Given() const
{
    return Command->count("--start") > 0 || Ant.has_value();
}

void StartOptions::CheckOptions() const
{
    if (Command->count("--start") > 0 && Path.empty())
        throw UsageError("the --start file name is empty");
    if (Command->count("--start-at") > 0 && Command->count("--start") == 0)
        throw UsageError("--start-at needs --start FILE");
}

StartField StartOptions::Read(const std::string& path, int letters)
{
    const std::string name = ArgumentText::QuotePath(path);
    std::string text;
    if (const ReadProblem problem = ReadFile(path, MostBytes, text))
    {
        if (problem.What == ReadProblem::System)
            throw RuntimeFailure("cannot read " + name + ": " + problem.Reason);
        throw RuntimeFailure(name + " is " + problem.Reason + ", not a start field");
    }
    std::vector<std::string_view> lines;
    const std::string_view all(text);
    for (std::size_t from = 0; from < all.size();)
    {
        std::size_t end = all.find('\n', from);
        if (end == std::string_view::npos)
            end = all.size();
        std::string_view line = all.substr(from, end - from);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        from = end + 1;
    }
    StartField grid;
    for (const std::string_view line : lines)
        grid.Width = std::max(grid.Width, static_cast<int>(line.size()));
    grid.Height = static_cast<int>(lines.size());
    if (grid.Width == 0)
        throw UsageError(name + " holds no cells");
    // Short rows end in blank cells.
    grid.Colours.assign(static_cast<std::size_t>(grid.Width) * lines.size(), 0);
    for (std::size_t r = 0; r < lines.size(); ++r)
    {
        for (std::size_t c = 0; c < lines[r].size(); ++c)
        {
            const std::string where =
                name + " line " + std::to_string(r + 1) + ", column " + std::to_string(c + 1);
            const int colour = CellColour(lines[r][c]);
            if (colour < 0)
                throw UsageError(where + ": " +
                                 ArgumentText::Quote(ArgumentText::CharacterAt(lines[r], c)) +
                                 " is not a cell (. or 0 blank, 1 to 9, A to W)");
            if (const std::string problem = StartField::ColourProblem(colour, letters);
                !problem.empty())
                throw UsageError(where + ": " + problem);
            grid.Colours[r * static_cast<std::size_t>(grid.Width) + c] =
                static_cast<std::uint8_t>(colour);
        }
    }
    return grid;
}

std::unique_ptr<PackedField> StartOptions::Make(AntPosition& position, int size, bool plane,
                                                std::uint64_t maxMemory, int letters) const
{
    StartField grid;
    if (Command->count("--start") > 0)
    {
        grid = Read(Path, letters);
        const bool at = Command->count("--start-at") > 0;
        grid.Left = at ? AtX : StartField::Centred(size, grid.Width);
        grid.Top = at ? AtY : StartField::Centred(size, grid.Height);
    }
    const AntPosition ant = Ant ? *Ant : AntPosition{size / 2, size / 2, 'U'};
    PackedField field(PackedField::MinSize);
    const std::string problem = grid.Place(field, size, plane, maxMemory, ant.X, ant.Y);
    if (!problem.empty())
        throw UsageError(problem);
    position = ant;
    return std::make_unique<PackedField>(std::move(field));
}
