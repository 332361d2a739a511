#pragma once

#include "AntField.h"
#include "AntPosition.h"
#include "Highway.h"
#include "PackedField.h"
#include "RunTypes.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// A run caught on its way: rule, iterations done, ant and field, kept in a file so that a
// later survey continues the run from there instead of from iteration 0.
//
// The file: the magic "FORMICULA-STATE\n", then little-endian fields: version (u32),
// field size N (u32), whether it is the plane (one byte), the stored box's first column
// and row (i32 each) and its width and height (u32 each), iterations (u64), x and y (i32
// each), direction (one byte), rule length (one byte) and letters, the stored cells two
// to a byte (low nibble first, row by row), whether the run ended (one byte) and if so
// outcome (one byte), period, highway period limit, highway found (one byte), period,
// onset, certified iteration (u64 each) and drift (i32 each), and last an FNV-1a 64
// checksum of every byte before it. Version 3 is version 2 with a byte per cell, for
// rules of more than 15 letters, whose colours do not fit a nibble; a rule of up to 15
// letters is still written as version 2. Version 4, for a plane that keeps cells beyond
// its box, is version 3 with, after the box's cells, the count of pieces kept (u32) and
// each piece's first column and row (i32 each), width and height (u32 each) and cells, a
// byte each. Version 1, still read, had the window's field only: after the version, its
// width and height (250 each), then iterations on as above.
class RunState
{
public:
    static constexpr std::uint32_t Version = 4;
    // The longest rule whose cells go two to a byte.
    static constexpr std::size_t MostNibbleLetters = 15;
    // Larger files are refused unread: no field this program keeps takes more.
    static constexpr std::uint64_t MostFileBytes = std::uint64_t{1} << 34;

    // The file is not a state this program can use; what() says why.
    class Refused : public std::runtime_error
    {
    public:
        using std::runtime_error::runtime_error;
    };

    std::string Rule;
    std::uint64_t Iterations = 0;
    AntPosition Position;
    // The field: N x N, or the plane with that field's coordinates, of which the box from
    // (Left, Top) is stored (the whole field when bounded); every cell outside is blank
    // but those of the pieces Kept.
    int FieldSize = PackedField::DefaultSize;
    bool Plane = false;
    int Left = 0;
    int Top = 0;
    int Width = PackedField::DefaultSize;
    int Height = PackedField::DefaultSize;
    std::vector<std::uint8_t> Cells; // Width x Height colours, row by row
    // Rectangles of the plane beyond the box that hold cells not blank, where the plane's
    // stored box moved on.
    struct Piece
    {
        int Left = 0;
        int Top = 0;
        int Width = 0;
        int Height = 0;
        std::vector<std::uint8_t> Cells;
    };
    std::vector<Piece> Kept;
    // A run that ended here (finished, never, or at the cap Iterations) keeps its result,
    // so that a survey started again does not run it again.
    bool Ended = false;
    RunOutcome Outcome = RunOutcome::Cap;
    std::uint64_t Period = 0;
    std::uint64_t HighwayMaxPeriod = 0; // what Highway was looked for with
    ::Highway Highway;

    static RunState Of(const std::string& rule, std::uint64_t iterations, const AntField& field,
                       const AntPosition& position);
    // From a packed field (its turn marks dropped) made as PackedField(size, plane).
    static RunState Of(const std::string& rule, std::uint64_t iterations, const PackedField& field,
                       const AntPosition& position, int size);
    // The field as it was saved, stored box and all.
    PackedField Restore() const;

    // The state of the rule with L and R swapped, reflected about the start column. On a
    // field of even size, only for one whose column 0 is blank: its image lies outside.
    RunState Mirrored(const std::string& mirrorRule) const;
    // "250 x 250", or "the plane of 250" for the plane with that field's coordinates.
    static std::string FieldName(int size, bool plane);

    std::string Encode() const;
    static RunState Decode(const std::string& bytes); // throws Refused

    // Atomically: a temporary file beside it, flushed to disk, renamed over it, so a
    // crash or a full disk leaves the previous state whole. Throws std::runtime_error
    // with the OS's reason; the temporary file is removed.
    void Write(const std::string& path) const;
    // Throws Refused for a file that is no whole state, std::runtime_error when it cannot
    // be read.
    static RunState Read(const std::string& path);
};
