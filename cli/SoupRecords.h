#pragma once

#include "HighwayType.h"
#include "OutputFormat.h"
#include "Record.h"
#include "RunTypes.h"
#include "SoupBatch.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

// Soup rows and the table of highway types as every format shows them, and an output read
// back, shared by soups and merge so that merged shards print what one whole run prints.
namespace SoupRecords
{
// What a soups output says of itself: the head of the JSON document, and in CSV the same
// on every row, as constant columns after the row's own.
struct Description
{
    std::string Rule;
    std::uint64_t Seed = 1;
    std::uint64_t Count = 0;
    Soup Patch;
    std::uint64_t Cap = 0;
    std::uint64_t MaxPeriod = 0;
    std::uint64_t MaxMemory = RunOptions::DefaultMaxMemory;
    std::uint64_t ShardIndex = 1;
    std::uint64_t ShardCount = 1;
    std::uint64_t SoupsTotal = 0; // of this shard
    std::uint64_t SoupsDone = 0;

    bool Complete() const { return SoupsDone == SoupsTotal; }
    int Letters() const { return static_cast<int>(Rule.size()); }
    // The soups of the shard: those whose index is ShardIndex - 1 modulo ShardCount.
    std::uint64_t ShardSoups() const;
    // What two shards of one run share, in words for a refusal.
    std::string Run() const;
};

// How many soups reached a type, and the first of them (to replay with run --soup).
struct TypeCount
{
    HighwayType Type;
    std::uint64_t Soups = 0;
    std::uint64_t First = 0;
};
// Most soups first; ties in type order.
std::vector<TypeCount> Types(const std::vector<SoupRow>& rows);

// Prints the rows done in index order and then the types (JSON: the types in the head;
// CSV: the rows only), or with typesOnly the types alone.
void Print(OutputFormat::Kind format, const Description& about, const std::vector<SoupRow>& rows,
           bool typesOnly);

// A soups output read back (CSV or JSON), checked whole; a RuntimeFailure naming the file
// and line or row otherwise.
struct Input
{
    bool Json = false;
    Description About;
    std::vector<SoupRow> Rows;
};
// Whether the file begins as a soups output does, for merge to choose its reader.
bool IsSoupsOutput(const std::string& path);
Input Read(const std::string& path);
} // namespace SoupRecords
