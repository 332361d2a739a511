#pragma once

#include "AntAI.h"

#include <cstdint>

// The 31 catalogued rules, ordered by how long their run lasts on the empty field.
namespace PresetCatalogue
{
constexpr int PresetCount = 31;
constexpr int LettersPerRow = AntAI::MaxSteps;

// 32 rows of 12 letters: row r holds preset 31 - r, row 31 is the empty rule.
extern const char* const Letters;

// Row 31 - number for 1..31, the empty row otherwise.
const char* PresetRow(int number);

// The combo box text, e.g. " 03 -- LR -- 15.517"; null outside 1..31.
const char* Label(int number);

// ":/resources/pictures/ant_ai_preset_NN.png"; null outside 1..31.
const char* PicturePath(int number);

// The iteration count the label ends with (dots dropped); 0 outside 1..31.
std::uint64_t ExpectedIterations(int number);
} // namespace PresetCatalogue
