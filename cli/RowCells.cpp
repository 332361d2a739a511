#include "RowCells.h"

#include "ArgumentText.h"
#include "RuntimeFailure.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace RowCells
{
void Place::Refuse(const std::string& problem) const
{
    throw RuntimeFailure(ArgumentText::QuotePath(Path) +
                         (Where.empty() ? " " : " " + Where + ": ") + problem);
}

const std::string& Cell(const Place& place, const Cells& cells, const char* name)
{
    const auto found = cells.find(name);
    if (found == cells.end())
        place.Refuse(std::string("no ") + name);
    return found->second;
}

std::uint64_t Count(const Place& place, const char* name, const std::string& text,
                    std::uint64_t most)
{
    const ArgumentText::Number number = ArgumentText::ReadNumber(text);
    if (number.Status == ArgumentText::Number::Malformed)
        place.Refuse(std::string(name) + " " + ArgumentText::Quote(text) + " is not a count");
    if (number.Status == ArgumentText::Number::TooLarge || number.Magnitude > most)
        place.Refuse(std::string(name) + " " + ArgumentText::Quote(text) + " is out of range");
    return number.Magnitude;
}

int Coordinate(const Place& place, const char* name, const std::string& text)
{
    const ArgumentText::Number number = ArgumentText::ReadNumber(text, true);
    if (number.Status == ArgumentText::Number::Malformed)
        place.Refuse(std::string(name) + " " + ArgumentText::Quote(text) +
                     " is not a whole number");
    const std::uint64_t most = number.Negative ? std::uint64_t{1} << 31 : INT_MAX;
    if (number.Status == ArgumentText::Number::TooLarge || number.Magnitude > most)
        place.Refuse(std::string(name) + " " + ArgumentText::Quote(text) + " is out of range");
    return number.Negative ? static_cast<int>(-static_cast<std::int64_t>(number.Magnitude))
                           : static_cast<int>(number.Magnitude);
}

std::optional<HighwayType> Type(const Place& place, const char* name, const std::string& text,
                                int letters)
{
    if (text.empty())
        return std::nullopt;
    const std::string problem =
        std::string(name) + " " + ArgumentText::Quote(text) + " is no highway type";
    std::string numbers = text;
    for (char& c : numbers)
        if (c == '(' || c == ')' || c == ',' || c == '+')
            c = ' ';
    std::vector<std::int64_t> values;
    for (std::size_t from = 0; from < numbers.size();)
    {
        const std::size_t start = numbers.find_first_not_of(' ', from);
        if (start == std::string::npos)
            break;
        const std::size_t end = std::min(numbers.find(' ', start), numbers.size());
        const ArgumentText::Number number =
            ArgumentText::ReadNumber(numbers.substr(start, end - start), true);
        if (number.Status != ArgumentText::Number::Whole || number.Magnitude > INT64_MAX)
            place.Refuse(problem);
        values.push_back(number.Negative ? -static_cast<std::int64_t>(number.Magnitude)
                                         : static_cast<std::int64_t>(number.Magnitude));
        from = end;
    }
    HighwayType::Changes change{};
    if (values.size() != 3 + static_cast<std::size_t>(letters) || values[0] < 1 ||
        static_cast<std::size_t>(letters) >= change.size())
        place.Refuse(problem);
    for (int c = 1; c <= letters; ++c)
        change[static_cast<std::size_t>(c)] = values[2 + static_cast<std::size_t>(c)];
    const HighwayType type =
        HighwayType::Of(static_cast<std::uint64_t>(values[0]), values[1], values[2], change);
    if (type.Name(letters) != text)
        place.Refuse(problem);
    return type;
}

Run RunOf(const Place& place, const Cells& cells, std::uint64_t cap)
{
    auto cell = [&](const char* name) -> const std::string& { return Cell(place, cells, name); };
    Run run;
    if (!ParseOutcome(cell("outcome"), run.Outcome))
        place.Refuse("outcome " + ArgumentText::Quote(cell("outcome")) + " is not " +
                     OutcomeNames());
    run.Iterations = Count(place, "iterations", cell("iterations"), cap);
    run.Position.X = Coordinate(place, "x", cell("x"));
    run.Position.Y = Coordinate(place, "y", cell("y"));
    const std::string& direction = cell("direction");
    if (direction.size() != 1 || std::string("UDLR").find(direction[0]) == std::string::npos)
        place.Refuse("direction " + ArgumentText::Quote(direction) + " is not U, D, L or R");
    run.Position.Direction = direction[0];
    if (run.Outcome == RunOutcome::Never)
        run.Period = Count(place, "period", cell("period"));
    else if (!cell("period").empty())
        place.Refuse("a period for a run that is not never");
    if (!cell("highway_period").empty())
    {
        run.Highway.Found = true;
        run.Highway.Period = Count(place, "highway_period", cell("highway_period"));
        run.Highway.Onset = Count(place, "highway_onset", cell("highway_onset"));
        run.Highway.DriftX = Coordinate(place, "highway_drift_x", cell("highway_drift_x"));
        run.Highway.DriftY = Coordinate(place, "highway_drift_y", cell("highway_drift_y"));
        run.Highway.CertifiedAt =
            Count(place, "highway_certified_at", cell("highway_certified_at"));
    }
    return run;
}
} // namespace RowCells
