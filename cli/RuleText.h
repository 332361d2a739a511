#pragma once

#include <array>
#include <cstdint>
#include <string>

class Ant;
class AntField;
struct AntAI;

// Conversions between the command line's words and the model.
namespace RuleText
{
// Gives the ant the rule "LR-..." (1 to 12 letters), tidied as NormalizeAI does.
void ApplyRule(Ant& ant, const std::string& rule);

// The letters before the first '-'.
std::string ActiveLetters(const AntAI& ai);

// Cells per value 0..12; values outside the cycle are not counted.
std::array<std::uint64_t, 13> CountColours(const AntField& field);
} // namespace RuleText
