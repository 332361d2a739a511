#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

// Validators for typed options: CLI11 checks each value before converting it, and a value
// refused here is a UsageError worded by this program, naming the option and the value.
namespace OptionChecks
{
// Decimal digits only, from low to high.
CLI::Validator WholeNumber(const std::string& option, int low, int high);
// Decimal digits only, 1 to most.
CLI::Validator Count(const std::string& option,
                     std::uint64_t most = std::numeric_limits<std::uint64_t>::max());
// One of the names, as given.
CLI::Validator OneOf(const std::string& option, const std::vector<std::string>& names);

// --shard I/N: the I-th of N disjoint slices, 1 <= I <= N <= MostShards (a UsageError).
struct Shard
{
    int Index = 1;
    int Count = 1;
};
constexpr int MostShards = 100000;
Shard ParseShard(const std::string& text);
} // namespace OptionChecks
