#include "RecordWriter.h"

#include "Csv.h"

#include "StandardOutput.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

namespace
{
bool Shown(const Field& field, OutputFormat::Kind format)
{
    const unsigned bit = format == OutputFormat::Table ? Field::Table
                         : format == OutputFormat::Csv ? Field::Csv
                                                       : Field::Json;
    return (field.Shown & bit) != 0;
}

// The text of a value for the table and the "name: value" lines.
struct TextOf
{
    std::string operator()(std::nullptr_t) const { return "-"; }
    std::string operator()(bool value) const { return value ? "true" : "false"; }
    std::string operator()(std::int64_t value) const { return std::to_string(value); }
    std::string operator()(std::uint64_t value) const { return std::to_string(value); }
    std::string operator()(const std::string& value) const { return value; }
    std::string operator()(const Field::Counts& values) const
    {
        std::string text;
        for (const auto& value : values)
            text += (text.empty() ? "" : " ") + (value ? std::to_string(*value) : "-");
        return text;
    }
};

std::string Text(const Field::Value& value)
{
    return std::visit(TextOf{}, value);
}

std::string CsvCell(const Field::Value& value)
{
    if (std::holds_alternative<std::nullptr_t>(value))
        return "";
    return Csv::Cell(Text(value));
}

void Append(std::string& line, const std::string& cell)
{
    line += (line.empty() ? "" : ",") + cell;
}

struct Json
{
    template <class T> nlohmann::ordered_json operator()(const T& value) const { return value; }
    nlohmann::ordered_json operator()(const Field::Counts& values) const
    {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const auto& value : values)
            list.push_back(value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json());
        return list;
    }
};

nlohmann::ordered_json JsonObject(const Record& row)
{
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const Field& field : row)
        if (Shown(field, OutputFormat::Json))
            object[field.Name] = std::visit(Json{}, field.Data);
    return object;
}

std::string TableLine(const Record& row, const std::vector<int>& widths, bool header)
{
    std::string line;
    for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i)
    {
        if (!Shown(row[i], OutputFormat::Table))
            continue;
        const std::string text = header ? row[i].Name : Text(row[i].Data);
        const std::size_t width = static_cast<std::size_t>(std::abs(widths[i]));
        const std::string padding(width > text.size() ? width - text.size() : 0, ' ');
        line += (line.empty() ? "" : "  ") + (widths[i] < 0 ? text + padding : padding + text);
    }
    line.erase(line.find_last_not_of(' ') + 1);
    return line + '\n';
}
} // namespace

RecordWriter::RecordWriter(OutputFormat::Kind format, Record sample)
    : Format(format), Sample(std::move(sample))
{
    for (const Field& field : Sample)
    {
        const int width = std::max(std::abs(field.Width), static_cast<int>(field.Name.size()));
        Widths.push_back(field.Width < 0 ? -width : width);
    }
}

std::string RecordWriter::CsvHeader(const Record& sample)
{
    std::string line;
    for (const Field& field : sample)
    {
        if (!Shown(field, OutputFormat::Csv))
            continue;
        if (const auto* list = std::get_if<Field::Counts>(&field.Data))
            for (std::size_t i = 0; i < list->size(); ++i)
                Append(line, field.Name + '_' + std::to_string(i));
        else
            Append(line, field.Name);
    }
    return line + '\n';
}

std::string RecordWriter::CsvLine(const Record& row)
{
    std::string line;
    for (const Field& field : row)
    {
        if (!Shown(field, OutputFormat::Csv))
            continue;
        if (const auto* list = std::get_if<Field::Counts>(&field.Data))
            for (const auto& value : *list)
                Append(line, value ? std::to_string(*value) : std::string());
        else
            Append(line, CsvCell(field.Data));
    }
    return line + '\n';
}

void RecordWriter::WriteHeader()
{
    if (Sample.empty())
        return;
    if (Format == OutputFormat::Table)
        StandardOutput::Write(TableLine(Sample, Widths, true));
    else if (Format == OutputFormat::Csv)
        StandardOutput::Write(CsvHeader(Sample));
    Sample.clear();
}

void RecordWriter::Add(const Record& row)
{
    WriteHeader();
    if (Format == OutputFormat::Json)
    {
        Rows.push_back(JsonObject(row));
        return;
    }
    StandardOutput::Write(Format == OutputFormat::Csv ? CsvLine(row)
                                                      : TableLine(row, Widths, false));
    StandardOutput::Flush();
}

void RecordWriter::Finish(const nlohmann::ordered_json& head)
{
    WriteHeader();
    if (Format == OutputFormat::Json)
    {
        nlohmann::ordered_json document = head;
        document["rows"] = Rows;
        StandardOutput::Write(
            document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n');
    }
    StandardOutput::Flush();
}

void RecordWriter::WriteOne(OutputFormat::Kind format, const Record& record)
{
    if (format == OutputFormat::Json)
    {
        StandardOutput::Write(JsonObject(record).dump(
                                  2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
                              '\n');
    }
    else if (format == OutputFormat::Csv)
    {
        StandardOutput::Write(CsvHeader(record) + CsvLine(record));
    }
    else
    {
        for (const Field& field : record)
            if (Shown(field, OutputFormat::Table))
                StandardOutput::Write(field.Name + ": " + Text(field.Data) + '\n');
    }
    StandardOutput::Flush();
}
