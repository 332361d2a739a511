#include "FieldOptions.h"

#include "ArgumentText.h"
#include "OptionChecks.h"
#include "PackedField.h"
#include "Runner.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>

namespace
{
constexpr const char Units[] = "KMG";

} // namespace

std::uint64_t FieldOptions::ParseBytes(const std::string& text)
{
    std::string digits = text;
    int shift = 0;
    if (!digits.empty())
    {
        const char unit = digits.back();
        shift = unit == 'K' ? 10 : unit == 'M' ? 20 : unit == 'G' ? 30 : 0;
        if (shift > 0)
            digits.pop_back();
    }
    // Worded with the whole value: "0K" is refused as '0K', not as its digits.
    const ArgumentText::Number number = ArgumentText::ReadNumber(digits);
    if (number.Status == ArgumentText::Number::Malformed || number.Magnitude == 0)
        throw UsageError("--max-memory must be a positive whole number of bytes, optionally with "
                         "K, M or G, not " +
                         ArgumentText::Quote(text));
    const std::uint64_t count = ArgumentText::ParseCount("--max-memory", digits);
    if (count > (UINT64_MAX >> shift))
        throw UsageError("--max-memory is too large: " + ArgumentText::Quote(text));
    return count << shift;
}

std::string FieldOptions::BytesText(std::uint64_t bytes)
{
    int unit = 3;
    while (unit > 0 && bytes % (std::uint64_t{1} << (10 * unit)) != 0)
        --unit;
    return std::to_string(bytes >> (10 * unit)) + (unit > 0 ? std::string(1, Units[unit - 1]) : "");
}

FieldOptions::FieldOptions(CLI::App& command)
    : Command(&command), MaxMemoryBytes(RunOptions::DefaultMaxMemory)
{
    command
        .add_option("--size", SizeValue,
                    "run on an N x N field, " + std::to_string(PackedField::MinSize) + " to " +
                        std::to_string(PackedField::MaxSize) + ", the ant at (N/2, N/2) (default " +
                        std::to_string(DefaultSize) + ")")
        ->type_name("N")
        ->check(OptionChecks::WholeNumber("--size", PackedField::MinSize, PackedField::MaxSize));
    command
        .add_flag("--plane", PlaneFlag,
                  "run on the unbounded plane, with the coordinates of the --size field")
        ->disable_flag_override();
    command
        .add_option("--max-memory", MemoryText,
                    "most memory for the fields, in bytes or with K, M or G (default " +
                        BytesText(RunOptions::DefaultMaxMemory) + ")")
        ->type_name("BYTES")
        ->each([this](const std::string& text) { MaxMemoryBytes = ParseBytes(text); });
}

int FieldOptions::Size() const
{
    return SizeValue;
}

bool FieldOptions::Plane() const
{
    return PlaneFlag;
}

std::uint64_t FieldOptions::MaxMemory() const
{
    return MaxMemoryBytes;
}

bool FieldOptions::Fits(std::uint64_t runs) const
{
    return PackedField::BytesFor(Size(), Plane()) <= MaxMemory() / runs;
}

void FieldOptions::CheckFits(std::uint64_t runs) const
{
    const std::uint64_t bytes = PackedField::BytesFor(Size(), Plane());
    const std::uint64_t most = MaxMemory();
    if (!Fits(runs))
        throw UsageError(std::to_string(runs) + " field(s) of " + std::to_string(bytes) +
                         " bytes take more than --max-memory (" + std::to_string(most) + " bytes)");
}
