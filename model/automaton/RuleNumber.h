#pragma once

#include "Rule.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The census numbering of rules: bit i of the number set means letter i is R, and the
// number's bit length is the rule's length, so only a rule that ends in R has a number;
// one that ends in L is numbered by its mirror (L and R swapped), which walks the mirror
// image of its walk.
struct RuleNumber
{
    static constexpr int MostLetters = 64;
    // The largest number of a rule the command line runs.
    static constexpr std::uint64_t MostNumber = (std::uint64_t{1} << Rule::MostLetters) - 1;

    std::uint64_t Number = 0;
    bool OfMirror = false; // Number is the mirror's

    // The letters of rule `number`, its bit length.
    static int LengthOf(std::uint64_t number);
    // The letters of rule `number`; none for 0 or for a rule of more than maxLetters.
    static std::optional<std::string> Letters(std::uint64_t number,
                                              int maxLetters = Rule::MostLetters);
    // The number of a rule of letters L and R, or of its mirror; none for any other text
    // and for more than MostLetters letters.
    static std::optional<RuleNumber> Of(std::string_view letters);
};
