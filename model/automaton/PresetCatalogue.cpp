#include "PresetCatalogue.h"

#include <cstddef>

namespace PresetCatalogue
{
// clang-format off
const char* const Letters =
    "LLRR--------" // 31
    "LLRRLLLRLRRR" // 30
    "RRRRLRRRLLRR" // 29
    "LLRRRLRRRRR-" // 28
    "RRLLLRLLLR--" // 27
    "LLRLLLRRRRR-" // 26
    "RLLR--------" // 25
    "LRLLRRRRR---" // 24
    "RRLLLRRRLRRR" // 23
    "RLR---------" // 22
    "LRLRLLLLLLLR" // 21
    "LLRRLRRRRRRR" // 20
    "LLLLLRRRRRL-" // 19
    "LLLRLLRRRLL-" // 18
    "RRLRR-------" // 17
    "LRRRRRLLR---" // 16
    "LRRRRLLLRR--" // 15
    "RRLRLLRLRR--" // 14
    "LLRL--------" // 13
    "RLRRRRLLLRR-" // 12
    "RRLLLRRRRRLR" // 11
    "LLLRLLRRLLLL" // 10
    "LRRRRLLLRRR-" // 09
    "RRLRLLRRRRRR" // 08
    "RLLLLRRRLLLR" // 07
    "RRLLLRLLLRRR" // 06
    "RRLRLRR-----" // 05
    "LLRRRLRLRLLR" // 04
    "LR----------" // 03
    "LLRLLLRR----" // 02
    "RLRLRLLRLR--" // 01
    "------------";

namespace
{
const char* const Labels[PresetCount] = {
    " 01 -- RLRLRLLRLR -- 6.551",
    " 02 -- LLRLLLRR -- 14.937",
    " 03 -- LR -- 15.517",
    " 04 -- LLRRRLRLRLLR -- 39.451",
    " 05 -- RRLRLRR -- 59.225",
    " 06 -- RRLLLRLLLRRR -- 85.198",
    " 07 -- RLLLLRRRLLLR -- 135.314",
    " 08 -- RRLRLLRRRRRR -- 186.117",
    " 09 -- LRRRRLLLRRR -- 189.206",
    " 10 -- LLLRLLRRLLLL -- 210.692",
    " 11 -- RRLLLRRRRRLR -- 239.195",
    " 12 -- RLRRRRLLLRR -- 240.287",
    " 13 -- LLRL -- 263.220",
    " 14 -- RRLRLLRLRR -- 267.017",
    " 15 -- LRRRRLLLRR -- 280.080",
    " 16 -- LRRRRRLLR -- 314.809",
    " 17 -- RRLRR -- 363.531",
    " 18 -- LLLRLLRRRLL 401.491",
    " 19 -- LLLLLRRRRRL -- 613.458",
    " 20 -- LLRRLRRRRRRR -- 794.388",
    " 21 -- LRLRLLLLLLLR -- 879.228",
    " 22 -- RLR -- 918.725",
    " 23 -- RRLLLRRRLRRR -- 1.171.329",
    " 24 -- LRLLRRRRR -- 1.463.290",
    " 25 -- RLLR -- 1.548.729",
    " 26 -- LLRLLLRRRRR -- 1.656.123",
    " 27 -- RRLLLRLLLR -- 1.665.202",
    " 28 -- LLRRRLRRRRR -- 1.851.430",
    " 29 -- RRRRLRRRLLRR -- 2.682.109",
    " 30 -- LLRRLLLRLRRR -- 3.356.736",
    " 31 -- LLRR -- 18.340.311",
};

const char* const Pictures[PresetCount] = {
    ":/resources/pictures/ant_ai_preset_01.png",
    ":/resources/pictures/ant_ai_preset_02.png",
    ":/resources/pictures/ant_ai_preset_03.png",
    ":/resources/pictures/ant_ai_preset_04.png",
    ":/resources/pictures/ant_ai_preset_05.png",
    ":/resources/pictures/ant_ai_preset_06.png",
    ":/resources/pictures/ant_ai_preset_07.png",
    ":/resources/pictures/ant_ai_preset_08.png",
    ":/resources/pictures/ant_ai_preset_09.png",
    ":/resources/pictures/ant_ai_preset_10.png",
    ":/resources/pictures/ant_ai_preset_11.png",
    ":/resources/pictures/ant_ai_preset_12.png",
    ":/resources/pictures/ant_ai_preset_13.png",
    ":/resources/pictures/ant_ai_preset_14.png",
    ":/resources/pictures/ant_ai_preset_15.png",
    ":/resources/pictures/ant_ai_preset_16.png",
    ":/resources/pictures/ant_ai_preset_17.png",
    ":/resources/pictures/ant_ai_preset_18.png",
    ":/resources/pictures/ant_ai_preset_19.png",
    ":/resources/pictures/ant_ai_preset_20.png",
    ":/resources/pictures/ant_ai_preset_21.png",
    ":/resources/pictures/ant_ai_preset_22.png",
    ":/resources/pictures/ant_ai_preset_23.png",
    ":/resources/pictures/ant_ai_preset_24.png",
    ":/resources/pictures/ant_ai_preset_25.png",
    ":/resources/pictures/ant_ai_preset_26.png",
    ":/resources/pictures/ant_ai_preset_27.png",
    ":/resources/pictures/ant_ai_preset_28.png",
    ":/resources/pictures/ant_ai_preset_29.png",
    ":/resources/pictures/ant_ai_preset_30.png",
    ":/resources/pictures/ant_ai_preset_31.png",
};
// clang-format on

bool IsPreset(int number)
{
    return number >= 1 && number <= PresetCount;
}
} // namespace

const char* PresetRow(int number)
{
    const int row = IsPreset(number) ? PresetCount - number : PresetCount;
    return Letters + static_cast<std::ptrdiff_t>(row) * LettersPerRow;
}

const char* Label(int number)
{
    return IsPreset(number) ? Labels[number - 1] : nullptr;
}

const char* PicturePath(int number)
{
    return IsPreset(number) ? Pictures[number - 1] : nullptr;
}

std::uint64_t ExpectedIterations(int number)
{
    if (!IsPreset(number))
        return 0;
    // The count is everything after the last space, written with dots between groups.
    const char* label = Labels[number - 1];
    const char* count = label;
    for (const char* p = label; *p; ++p)
        if (*p == ' ')
            count = p + 1;
    std::uint64_t value = 0;
    for (const char* p = count; *p; ++p)
        if (*p >= '0' && *p <= '9')
            value = value * 10 + static_cast<std::uint64_t>(*p - '0');
    return value;
}
} // namespace PresetCatalogue
