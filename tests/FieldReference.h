#pragma once

// An ant on a field of any size, or on the unbounded plane, one map entry per visited
// cell: slow, but with nothing in common with the packed runners except the rule's
// transitions (NextTransition, which Iterate uses too).

#include "Ant.h"
#include "AntAI.h"
#include "AntPosition.h"
#include "Iteration.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

// The rule's transition: the window's for up to twelve letters; beyond them, the cycle as
// written out, apart from the code's own: colour c (blank as 1) turns by letter c and
// becomes c + 1, the last colour 1, and a colour the rule lacks stays put, unturned.
inline ColourTransition ReferenceTransition(int colour, const std::string& steps, int n)
{
    if (n <= 12)
        return NextTransition(colour, steps.data(), n);
    if (colour < 0 || colour > n)
        return {0, '-'};
    const int c = std::max(colour, 1);
    return {c % n + 1, steps[static_cast<std::size_t>(c - 1)]};
}

struct FieldReference
{
    // size > 0: a size x size field that refuses steps off it; 0: the plane.
    FieldReference(const AntAI& rule, int size, int startX, int startY)
        : Rule(rule), Size(size), Ant{startX, startY, 'U'}
    {
    }

    // The rule's run from the start of an N x N field (the ant on (N/2, N/2) heading up), or
    // of the plane in that field's coordinates, to `iterations` or its end.
    static FieldReference Of(const std::string& rule, int size, bool plane,
                             std::uint64_t iterations)
    {
        ::Ant walker;
        walker.SetRule(rule);
        FieldReference field(walker.GetAI(), plane ? 0 : size, size / 2, size / 2);
        field.RunTo(iterations);
        return field;
    }

    // The smallest box around the cells not blank, inclusive; false while there are none.
    bool Visited(int& minX, int& minY, int& maxX, int& maxY) const
    {
        bool any = false;
        for (const auto& [cell, colour] : Cells)
        {
            if (colour == 0)
                continue;
            minX = any ? std::min(minX, cell.first) : cell.first;
            maxX = any ? std::max(maxX, cell.first) : cell.first;
            minY = any ? std::min(minY, cell.second) : cell.second;
            maxY = any ? std::max(maxY, cell.second) : cell.second;
            any = true;
        }
        return any;
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
                ReferenceTransition(Colour(Ant.X, Ant.Y), Rule.Steps, Rule.ActiveSteps);
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
