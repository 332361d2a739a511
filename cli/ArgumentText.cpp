#include "ArgumentText.h"

#include "UsageError.h"

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

std::uint64_t ParseCount(const std::string& option, const std::string& text)
{
    const std::string problem = option + " must be a positive whole number, not " + Quote(text);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        throw UsageError(problem);
    std::uint64_t value = 0;
    for (char digit : text)
    {
        const auto d = static_cast<std::uint64_t>(digit - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - d) / 10)
            throw UsageError(option + " is too large: " + Quote(text));
        value = value * 10 + d;
    }
    if (value == 0)
        throw UsageError(problem);
    return value;
}

int ParseInt(const std::string& option, const std::string& text, int low, int high)
{
    const bool digits = !text.empty() && text.size() <= 9 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    const int value = digits ? std::stoi(text) : -1;
    if (!digits || value < low || value > high)
        throw UsageError(option + " must be a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not " + Quote(text));
    return value;
}
} // namespace ArgumentText
