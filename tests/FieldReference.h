#pragma once

// An ant on a field of any size, or on the unbounded plane, one map entry per visited
// cell: slow, but with nothing in common with the packed runners except the rule's
// transitions (NextTransition, which Iterate uses too).

#include "AntAI.h"
#include "AntPosition.h"
#include "Iteration.h"

#include <cstdint>
#include <map>
#include <utility>

struct FieldReference
{
    // size > 0: a size x size field that refuses steps off it; 0: the plane.
    FieldReference(const AntAI& rule, int size, int startX, int startY)
        : Rule(rule), Size(size), Ant{startX, startY, 'U'}
    {
    }

    int Colour(int x, int y) const
    {
        const auto cell = Cells.find({x, y});
        return cell == Cells.end() ? 0 : cell->second;
    }

    // Runs up to `cap` iterations in all; false once a step was refused.
    bool RunTo(std::uint64_t cap)
    {
        static constexpr char Turns[] = "URDL";
        while (Done < cap)
        {
            const ColourTransition t =
                NextTransition(Colour(Ant.X, Ant.Y), Rule.Steps.data(), Rule.ActiveSteps);
            Cells[{Ant.X, Ant.Y}] = t.NextColour;
            int heading = 0;
            while (Turns[heading] != Ant.Direction)
                ++heading;
            heading = (heading + (t.TurnLetter == 'R' ? 1 : t.TurnLetter == 'L' ? 3 : 0)) % 4;
            Ant.Direction = Turns[heading];
            const int x = Ant.X + (heading == 1) - (heading == 3);
            const int y = Ant.Y + (heading == 2) - (heading == 0);
            ++Done;
            if (Size > 0 && (x < 0 || y < 0 || x >= Size || y >= Size))
                return false;
            Ant.X = x;
            Ant.Y = y;
        }
        return true;
    }

    AntAI Rule;
    int Size;
    AntPosition Ant;
    std::uint64_t Done = 0;
    std::map<std::pair<int, int>, int> Cells;
};
