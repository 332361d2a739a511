#include "Csv.h"

#include <nlohmann/json.hpp>

namespace Csv
{
std::string Cell(std::string_view text)
{
    if (text.find_first_of(",\"\n\r") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + '"';
}

Reading Read(std::string_view text)
{
    Reading reading;
    std::size_t lineNumber = 1;
    std::size_t at = 0;
    auto fail = [&](std::string problem)
    {
        reading.Problem = std::move(problem);
        reading.ProblemLine = at == text.size() ? 0 : lineNumber;
        return reading;
    };
    while (at < text.size())
    {
        Line line;
        line.Number = lineNumber;
        line.Cells.emplace_back();
        for (;;)
        {
            if (at == text.size())
                return fail("ends in the middle of a line: the file is truncated");
            const char c = text[at];
            std::string& cell = line.Cells.back();
            if (c == '"' && cell.empty())
            {
                // A quoted cell, to its closing quote; "" inside stands for one quote.
                for (++at;; ++at)
                {
                    if (at == text.size())
                        return fail("ends inside a quoted cell: the file is truncated");
                    if (text[at] == '\n')
                        ++lineNumber;
                    if (text[at] != '"')
                        cell += text[at];
                    else if (at + 1 < text.size() && text[at + 1] == '"')
                        cell += text[++at];
                    else
                        break;
                }
                ++at;
                if (at < text.size() && text[at] != ',' && text[at] != '\n' &&
                    !(text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n'))
                    return fail("has text after a quoted cell");
                continue;
            }
            ++at;
            if (c == ',')
                line.Cells.emplace_back();
            else if (c == '\n')
                break;
            else if (c == '\r' && at < text.size() && text[at] == '\n')
                continue; // the line break follows
            else if (c == '"')
                return fail("has a quote inside an unquoted cell");
            else
                cell += c;
        }
        ++lineNumber;
        reading.Lines.push_back(std::move(line));
    }
    return reading;
}

std::string CellOf(const nlohmann::json& value, bool text)
{
    if (value.is_null())
        return "";
    if (text && value.is_string())
        return value.get<std::string>();
    if (value.is_number_integer())
        return value.dump();
    return value.dump() + " (" + value.type_name() + ")";
}
} // namespace Csv
