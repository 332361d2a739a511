#pragma once

#include "AntAI.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// A rule: one turn letter, L or R, for each colour of the cycle, at most MaxLetters in
// the window and MostLetters on the command line. Text writes it as letters, optionally
// padded with '-' to the editor's twelve places, as in the catalogue's "LR----------".
class Rule
{
public:
    static constexpr int MaxLetters = AntAI::MaxSteps;
    // A cell's colour fits the packed field's code below its turn mark.
    static constexpr int MostLetters = 32;

    enum class Refusal
    {
        None,
        Empty,
        UnknownCharacter, // Position: the first character other than L, R and '-'
        TooLong,
        NoLetterFirst,
        LettersAfterGap // Position: the first letter after the first '-'
    };

    struct Parsed;

    // Strict: 1 to MaxLetters places, a letter first, only '-' after the first '-', so that
    // nothing the text says is quietly dropped.
    static Parsed Parse(std::string_view text, int maxLetters = MaxLetters);
    // As the window's editor takes its places: anything after the first '-' is dropped, so
    // "L-R" is "L" and "-LR" the empty rule. Only more than MaxLetters places or a
    // character other than L, R and '-' are refused.
    static std::optional<Rule> Tidy(std::string_view places);

    Rule() = default; // the empty rule: the ant stays on its cell's colour for ever

    const std::string& Letters() const { return Text; }
    int Size() const { return static_cast<int>(Text.size()); }
    bool IsEmpty() const { return Text.empty(); }
    // The letters padded with '-' to MaxLetters places (a longer rule is not padded).
    std::string Padded() const;
    // The rule as the runners take it.
    AntAI AI() const;

    // A theorem on this automaton: for any number of colours, a rule with both letters L
    // and R has an unbounded trajectory on the unbounded plane. So on a bounded field its run
    // must reach the border, and it never comes back to an earlier state (a repeat on the
    // field would repeat on the plane too): only a rule of one letter kind needs the cycle
    // proof, anywhere.
    static bool CanCycle(std::string_view letters)
    {
        return letters.find('L') == std::string_view::npos ||
               letters.find('R') == std::string_view::npos;
    }

    bool operator==(const Rule& other) const { return Text == other.Text; }
    bool operator!=(const Rule& other) const { return Text != other.Text; }

private:
    explicit Rule(std::string_view letters) : Text(letters) {}

    std::string Text;
};

struct Rule::Parsed
{
    std::optional<Rule> Value; // empty when refused
    Refusal Why = Refusal::None;
    std::size_t Position = 0;
};
