#include "RuleNumber.h"

int RuleNumber::LengthOf(std::uint64_t number)
{
    int length = 0;
    for (; number > 0; number >>= 1)
        ++length;
    return length;
}

std::optional<std::string> RuleNumber::Letters(std::uint64_t number, int maxLetters)
{
    if (number == 0 || LengthOf(number) > maxLetters)
        return std::nullopt;
    std::string letters;
    for (; number > 0; number >>= 1)
        letters += (number & 1u) != 0 ? 'R' : 'L';
    return letters;
}

std::optional<RuleNumber> RuleNumber::Of(std::string_view letters)
{
    if (letters.empty() || letters.size() > MostLetters)
        return std::nullopt;
    RuleNumber number;
    number.OfMirror = letters.back() == 'L';
    const char one = number.OfMirror ? 'L' : 'R'; // the mirror's R
    for (std::size_t i = letters.size(); i-- > 0;)
    {
        if (letters[i] != 'L' && letters[i] != 'R')
            return std::nullopt;
        number.Number = number.Number << 1 | (letters[i] == one ? 1u : 0u);
    }
    return number;
}
