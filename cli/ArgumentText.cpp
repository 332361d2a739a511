#include "ArgumentText.h"

#include "UsageError.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace
{
// Bytes in the UTF-8 character that starts with `lead`, or 1 for a byte no character
// starts with; the continuation bytes are checked by the caller.
std::size_t SequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 1;
}

// The length of a whole, valid character at `at`; 0 for a byte that starts none.
std::size_t ValidCharacter(std::string_view text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = SequenceLength(lead);
    if (length == 1)
        return lead < 0x80 ? 1 : 0;
    if (at + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80)
            return 0;
    return length;
}

std::string Escaped(unsigned char byte)
{
    switch (byte)
    {
    case '\n':
        return "\\n";
    case '\t':
        return "\\t";
    case '\r':
        return "\\r";
    default:
        break;
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    return hex;
}
} // namespace

namespace ArgumentText
{
std::string Quote(std::string_view text, std::size_t most)
{
    std::string quoted = "'";
    std::size_t shown = 0;
    std::size_t at = 0;
    for (; at < text.size() && shown < most; ++shown)
    {
        const std::size_t length = ValidCharacter(text, at);
        const auto byte = static_cast<unsigned char>(text[at]);
        if (length == 0 || byte < 0x20 || byte == 0x7F)
        {
            quoted += Escaped(byte);
            ++at;
        }
        else
        {
            quoted.append(text.substr(at, length));
            at += length;
        }
    }
    quoted += '\'';
    if (at < text.size())
        quoted += "...";
    return quoted;
}

std::string_view CharacterAt(std::string_view text, std::size_t at)
{
    const std::size_t length = ValidCharacter(text, at);
    return text.substr(at, length == 0 ? 1 : length);
}

bool LooksLikeOption(std::string_view word)
{
    return word.size() > 1 && word[0] == '-' && (word[1] < '0' || word[1] > '9');
}

Number ReadNumber(std::string_view text, bool sign)
{
    Number number;
    if (sign && !text.empty() && text.front() == '-')
    {
        number.Negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return number;
    number.Status = Number::Whole;
    for (char digit : text)
    {
        const auto d = static_cast<std::uint64_t>(digit - '0');
        if (number.Magnitude > (std::numeric_limits<std::uint64_t>::max() - d) / 10)
        {
            number.Status = Number::TooLarge;
            break;
        }
        number.Magnitude = number.Magnitude * 10 + d;
    }
    return number;
}

std::uint64_t ParseCount(const std::string& option, const std::string& text)
{
    const Number number = ReadNumber(text);
    if (number.Status == Number::TooLarge)
        throw UsageError(option + " is too large: " + Quote(text));
    if (number.Status != Number::Whole || number.Magnitude == 0)
        throw UsageError(option + " must be a positive whole number, not " + Quote(text));
    return number.Magnitude;
}

int ParseInt(const std::string& option, const std::string& text, int low, int high)
{
    const Number number = ReadNumber(text);
    const bool inRange = number.Status == Number::Whole &&
                         number.Magnitude >= static_cast<std::uint64_t>(std::max(low, 0)) &&
                         number.Magnitude <= static_cast<std::uint64_t>(std::max(high, 0));
    if (!inRange)
        throw UsageError(option + " must be a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not " + Quote(text));
    return static_cast<int>(number.Magnitude);
}
} // namespace ArgumentText
