#pragma once

#include "OutputFormat.h"
#include "Record.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// Writes rows of named fields to stdout in one of the formats. Table and CSV rows go out
// as they come (a long catalogue shows its progress); JSON is one document at the end.
class RecordWriter
{
public:
    // The table's or the CSV's header comes from `sample`, any row of the command (the
    // names and list lengths are what matter), so a command with no rows still has one.
    // It is written with the first row: a command that fails before has written nothing.
    RecordWriter(OutputFormat::Kind format, Record sample);

    void Add(const Record& row);
    // JSON: the document, `head`'s keys first, then "rows". The others: flushes.
    void Finish(const nlohmann::ordered_json& head = nlohmann::ordered_json::object());

    // A single record: "name: value" lines for the table format, else as a row.
    static void WriteOne(OutputFormat::Kind format, const Record& record);

    // CSV lines, for output that goes elsewhere than stdout.
    static std::string CsvHeader(const Record& sample);
    static std::string CsvLine(const Record& row);

private:
    void WriteHeader();

    OutputFormat::Kind Format;
    Record Sample;           // until the header is written
    std::vector<int> Widths; // per field of the sample, with the name's length
    nlohmann::ordered_json Rows = nlohmann::ordered_json::array();
};
