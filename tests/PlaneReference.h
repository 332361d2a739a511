#pragma once

// The automaton on the unbounded plane, one iteration at a time from NextTransition alone:
// the tests' reference for walks and highways beyond the field. Cells come in tiles made
// as the ant reaches them, so a highway's long trail costs little.

#include "Ant.h"
#include "FieldReference.h"
#include "HighwayProof.h"
#include "Iteration.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class PlaneReference
{
public:
    explicit PlaneReference(const std::string& rule)
    {
        const int n = static_cast<int>(rule.size());
        for (int colour = 0; colour < Colours; ++colour)
        {
            const ColourTransition t = ReferenceTransition(colour, rule, n);
            Next[colour] = static_cast<std::uint8_t>(t.NextColour);
            Turn[colour] = t.TurnLetter == 'R' ? 1 : t.TurnLetter == 'L' ? 3 : 0;
        }
    }

    // One iteration; its record when asked for.
    void Step(WalkStep* record = nullptr)
    {
        std::uint8_t& cell = At(X, Y);
        const std::uint8_t colour = cell;
        cell = Next[colour];
        Heading = (Heading + Turn[colour]) % 4;
        if (record)
            *record = {X, Y, colour, static_cast<std::uint8_t>(Heading)};
        X += Heading == 1 ? 1 : Heading == 3 ? -1 : 0;
        Y += Heading == 2 ? 1 : Heading == 0 ? -1 : 0;
        ++Done;
    }

    // A walk of the next `count` iterations; its start is the plane as it is now, stored
    // as the rectangle around every tile made so far.
    ::Walk Walk(std::uint64_t count)
    {
        ::Walk walk;
        walk.First = Done;
        if (!Tiles.empty())
        {
            int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
            for (const auto& tile : Tiles)
            {
                left = std::min(left, tile.first.first * TileSide);
                top = std::min(top, tile.first.second * TileSide);
                right = std::max(right, (tile.first.first + 1) * TileSide);
                bottom = std::max(bottom, (tile.first.second + 1) * TileSide);
            }
            Start.assign(static_cast<std::size_t>(right - left) * (bottom - top), 0);
            for (int y = top; y < bottom; ++y)
                for (int x = left; x < right; ++x)
                    Start[static_cast<std::size_t>((y - top) * (right - left) + (x - left))] =
                        Cell(x, y);
            walk.Cells = Start.data();
            walk.Stride = right - left;
            walk.Left = left;
            walk.Top = top;
            walk.Width = right - left;
            walk.Height = bottom - top;
        }
        walk.Steps.resize(static_cast<std::size_t>(count));
        for (WalkStep& step : walk.Steps)
            Step(&step);
        return walk;
    }

    // A start cell of the reference's own, before the first step.
    void Set(int x, int y, std::uint8_t colour) { At(x, y) = colour; }

    std::uint8_t Cell(int x, int y) const
    {
        const auto tile = Tiles.find(TileOf(x, y));
        return tile == Tiles.end() ? 0 : (*tile->second)[Offset(x, y)];
    }

    std::int32_t X = Ant::StartX;
    std::int32_t Y = Ant::StartY;
    int Heading = 0;
    std::uint64_t Done = 0;

private:
    static constexpr int TileSide = 64;
    using Tile = std::vector<std::uint8_t>;

    static int FloorDiv(int a) { return a >= 0 ? a / TileSide : -((-a + TileSide - 1) / TileSide); }
    static std::pair<int, int> TileOf(int x, int y) { return {FloorDiv(x), FloorDiv(y)}; }
    static std::size_t Offset(int x, int y)
    {
        return static_cast<std::size_t>((y - FloorDiv(y) * TileSide) * TileSide +
                                        (x - FloorDiv(x) * TileSide));
    }

    std::uint8_t& At(int x, int y)
    {
        const std::pair<int, int> key = TileOf(x, y);
        if (!Last || key != LastKey)
        {
            auto& tile = Tiles[key];
            if (!tile)
                tile = std::make_unique<Tile>(TileSide * TileSide, 0);
            Last = tile.get();
            LastKey = key;
        }
        return (*Last)[Offset(x, y)];
    }

    static constexpr int Colours = 33;
    std::uint8_t Next[Colours] = {};
    int Turn[Colours] = {};
    std::map<std::pair<int, int>, std::unique_ptr<Tile>> Tiles;
    Tile* Last = nullptr;
    std::pair<int, int> LastKey;
    std::vector<std::uint8_t> Start; // the cells before the latest walk
};
