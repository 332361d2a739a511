#include "Palette.h"

namespace
{
constexpr Palette::Rgb Colours[Palette::Size] = {
    {50, 50, 50},   {250, 250, 250}, {200, 100, 100}, {100, 200, 100}, {40, 120, 170},
    {50, 200, 200}, {100, 110, 130}, {200, 200, 50},  {200, 140, 120}, {160, 90, 180},
    {140, 140, 40}, {20, 140, 120},  {240, 140, 40},  {0, 0, 0},       {255, 255, 255}};
} // namespace

Palette::Rgb Palette::Colour(int index)
{
    return Colours[index];
}
