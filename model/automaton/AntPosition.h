#pragma once

struct AntPosition
{
    int X = 0;
    int Y = 0;
    char Direction = 'U';
};
