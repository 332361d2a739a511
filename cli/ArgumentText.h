#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The words of the command line as the messages show them, and the numbers in them.
namespace ArgumentText
{
// 'text' in quotes, cut after `most` characters (UTF-8 aware) with "..." added; control
// characters and bytes that are not UTF-8 written as escapes, so a message stays one line.
std::string Quote(std::string_view text, std::size_t most = 40);
// A file name whole: a shortened one may not tell which of many files is meant.
inline std::string QuotePath(std::string_view path)
{
    return Quote(path, 4096);
}

// The character starting at byte `at`: all of its UTF-8 bytes.
std::string_view CharacterAt(std::string_view text, std::size_t at);

// "-x", "--x", "---": what the command line takes for an option. Negative numbers and a
// lone "-" are not.
bool LooksLikeOption(std::string_view word);

// The one reading of a number in this program's inputs, options and files alike: decimal
// digits only (after a '-' where `sign` allows one), no spaces, no '+'.
struct Number
{
    enum Reading
    {
        Whole,
        Malformed,
        TooLarge, // beyond 64 bits
    };
    Reading Status = Malformed;
    std::uint64_t Magnitude = 0;
    bool Negative = false;
};
Number ReadNumber(std::string_view text, bool sign = false);

// Decimal digits only, 1 or more: what --max-iterations and --top take.
std::uint64_t ParseCount(const std::string& option, const std::string& text);
int ParseInt(const std::string& option, const std::string& text, int low, int high);
} // namespace ArgumentText
