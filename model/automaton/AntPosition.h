#pragma once

struct AntPosition
{
    int X = 0;
    int Y = 0;
    char Direction = 'U';

    // Reflected about column startX, as the rule with L and R swapped walks.
    AntPosition MirroredAbout(int startX) const
    {
        const char d = Direction == 'L' ? 'R' : Direction == 'R' ? 'L' : Direction;
        return AntPosition{2 * startX - X, Y, d};
    }
};
