#pragma once

#include "PackedField.h"

#include <cstdint>
#include <string>
#include <vector>

// A run's start other than the blank field: a rectangle of colours with its top left cell
// at (Left, Top), every cell outside it blank. Its refusals are worded here once, for the
// command line and the Python module alike.
struct StartField
{
    // Cells on the plane stay within this distance of 0, as --view's do, so that the
    // field's growth keeps its coordinates ints.
    static constexpr std::int64_t MostCoordinate = std::int64_t{1} << 29;

    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Colours; // Height rows of Width
    std::int64_t Left = 0;
    std::int64_t Top = 0;

    // The first of `cells` cells centred on the start cell of a size x size field.
    static std::int64_t Centred(int size, int cells) { return size / 2 - cells / 2; }
    // Why a cell cannot start with `colour` under a rule of `letters` letters, whose
    // colours are 0 (blank) to letters; empty when it can.
    static std::string ColourProblem(std::int64_t colour, int letters);
    // Whether `heading` is one of U, R, D and L.
    static bool IsHeading(char heading);

    // Makes `field` the start: a size x size field or the plane with its coordinates,
    // holding the rectangle (colours 0 to the rule's letters) and the ant's cell. Returns why it
    // cannot be (nothing changed then): the rectangle or the ant off a bounded field, a cell beyond
    // MostCoordinate, or a plane box of more than maxMemory bytes; empty when done.
    std::string Place(PackedField& field, int size, bool plane, std::uint64_t maxMemory,
                      std::int64_t antX, std::int64_t antY) const;
};
