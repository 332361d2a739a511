#pragma once

#include "PackedField.h"

#include <cstdint>
#include <string>

namespace CLI
{
class App;
}

// --size N, --plane and --max-memory BYTES on a command that runs rules: the field its
// runs take place on.
class FieldOptions
{
public:
    explicit FieldOptions(CLI::App& command);

    int Size() const;
    bool Plane() const;
    std::uint64_t MaxMemory() const;
    // The 250 x 250 field of the window: what the other outputs draw.
    bool WindowField() const { return Size() == DefaultSize && !Plane(); }

    // Whether `runs` fields of the chosen size can start within --max-memory; CheckFits
    // throws a UsageError when not.
    bool Fits(std::uint64_t runs) const;
    void CheckFits(std::uint64_t runs) const;

    // --max-memory's value: bytes, or with K, M or G (a UsageError when it is none).
    static std::uint64_t ParseBytes(const std::string& text);
    // "1G" for 2^30: the largest unit that divides the count.
    static std::string BytesText(std::uint64_t bytes);

private:
    static constexpr int DefaultSize = PackedField::DefaultSize;
    CLI::App* Command;
    int SizeValue = DefaultSize;
    std::string MemoryText;
    std::uint64_t MaxMemoryBytes;
    bool PlaneFlag = false;
};
