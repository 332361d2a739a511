#include "RunState.h"

#include "AtomicFile.h"
#include "PackedField.h"
#include "ReadFile.h"
#include "Rule.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace
{
constexpr std::string_view Magic = "FORMICULA-STATE\n";
constexpr int WindowSize = AntField::FieldSize;
// A side of the plane's stored box beyond this is beyond any memory limit (see Grow).
constexpr std::uint32_t LongestSide = std::uint32_t{1} << 30;

std::uint64_t Checksum(std::string_view bytes)
{
    std::uint64_t hash = 0xCBF29CE484222325u;
    for (const char byte : bytes)
    {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 0x100000001B3u;
    }
    return hash;
}

template <typename T> void Put(std::string& out, T value)
{
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out += static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF);
}

// Reads little-endian fields in order, refusing to read past the end.
class Reader
{
public:
    explicit Reader(std::string_view bytes) : Bytes(bytes) {}

    template <typename T> T Get()
    {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            value |= static_cast<std::uint64_t>(static_cast<unsigned char>(Byte())) << (8 * i);
        return static_cast<T>(value);
    }
    std::string_view Take(std::size_t count)
    {
        if (Bytes.size() - At < count)
            throw RunState::Refused("it is truncated");
        const std::string_view taken = Bytes.substr(At, count);
        At += count;
        return taken;
    }
    std::size_t Offset() const { return At; }
    std::size_t Left() const { return Bytes.size() - At; }

private:
    char Byte() { return Take(1)[0]; }

    std::string_view Bytes;
    std::size_t At = 0;
};

// The stored box of a field made as PackedField(size, plane), and its colours, a row at a time
// (a plane's box may hold 10^8 cells).
template <typename FillRow>
RunState Capture(const std::string& rule, std::uint64_t iterations, const AntPosition& position,
                 int size, bool plane, int left, int top, int width, int height, FillRow fillRow)
{
    RunState state;
    state.Rule = rule;
    state.Iterations = iterations;
    state.Position = position;
    state.FieldSize = size;
    state.Plane = plane;
    state.Left = left;
    state.Top = top;
    state.Width = width;
    state.Height = height;
    state.Cells.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        fillRow(top + y, state.Cells.data() + static_cast<std::size_t>(y) * std::size_t(width));
    return state;
}
} // namespace

RunState RunState::Of(const std::string& rule, std::uint64_t iterations, const AntField& field,
                      const AntPosition& position)
{
    return Capture(rule, iterations, position, WindowSize, false, 0, 0, WindowSize, WindowSize,
                   [&](int y, std::uint8_t* row)
                   {
                       for (int x = 0; x < WindowSize; ++x)
                           row[x] = static_cast<std::uint8_t>(field.GetCell(x, y));
                   });
}

RunState RunState::Of(const std::string& rule, std::uint64_t iterations, const PackedField& field,
                      const AntPosition& position, int size)
{
    // From the codes: the rare foreign value through Colour.
    const std::uint8_t* codes = field.Cells();
    const int width = field.Width();
    RunState state =
        Capture(rule, iterations, position, size, field.Unbounded(), field.Left(), field.Top(),
                width, field.Height(),
                [&](int y, std::uint8_t* row)
                {
                    const std::uint8_t* from = codes + field.Index(field.Left(), y);
                    bool foreign = false;
                    for (int x = 0; x < width; ++x)
                    {
                        row[x] = static_cast<std::uint8_t>(PackedField::CodeOf(from[x]));
                        foreign |= row[x] == PackedField::Foreign;
                    }
                    for (int x = 0; foreign && x < width; ++x)
                        if (row[x] == PackedField::Foreign)
                            row[x] = static_cast<std::uint8_t>(field.Colour(field.Left() + x, y));
                });
    // The tiles kept, whose cells within the box are the box's.
    const PackedField::Part box = field.StoredPart();
    field.Archived().ForEachTile(
        [&](int left, int top, const std::uint8_t* cells)
        {
            constexpr int Side = FieldArchive::Side;
            Piece piece{left, top, Side, Side, {}};
            if (left + Side <= box.Left || left >= box.Left + box.Width || top + Side <= box.Top ||
                top >= box.Top + box.Height)
                piece.Cells.assign(cells, cells + Side * Side);
            else
                for (int y = top; y < top + Side; ++y)
                    for (int x = left; x < left + Side; ++x)
                        piece.Cells.push_back(static_cast<std::uint8_t>(field.Colour(x, y)));
            state.Kept.push_back(std::move(piece));
        });
    // In one order whatever the table's, so that one state is one file.
    std::sort(state.Kept.begin(), state.Kept.end(),
              [](const Piece& a, const Piece& b)
              { return a.Top != b.Top ? a.Top < b.Top : a.Left < b.Left; });
    return state;
}

PackedField RunState::Restore() const
{
    PackedField field(FieldSize, Plane);
    if (Plane)
        field.SetBox(Left, Top, Width, Height);
    // A colour is its cell's code on a field without turn marks.
    const auto width = static_cast<std::size_t>(Width);
    for (int y = 0; y < Height; ++y)
        std::memcpy(field.Cells() + field.Index(Left, Top + y),
                    Cells.data() + static_cast<std::size_t>(y) * width, width);
    for (const Piece& piece : Kept)
        field.Keep(piece.Left, piece.Top, piece.Width, piece.Height, piece.Cells.data());
    return field;
}

RunState RunState::Mirrored(const std::string& mirrorRule) const
{
    // Column x mirrors to 2 * start - x. The plane's box mirrors with its cells; a bounded
    // field's stays, and a column whose image lies outside (column 0 of an even size) is
    // blank in the mirror.
    const int twice = 2 * (FieldSize / 2);
    RunState mirror = *this;
    mirror.Rule = mirrorRule;
    mirror.Highway.DriftX = -Highway.DriftX;
    mirror.Position = Position.MirroredAbout(FieldSize / 2);
    if (Plane)
        mirror.Left = twice - (Left + Width - 1);
    // Cell c of a mirrored row is cell image - c of the row, where that lies within it.
    const int image = twice - mirror.Left - Left;
    const int first = std::max(0, image - (Width - 1));
    const int last = std::min(Width - 1, image); // below first when every image lies outside
    const auto width = static_cast<std::size_t>(Width);
    for (int y = 0; y < Height; ++y)
    {
        const std::uint8_t* from = Cells.data() + static_cast<std::size_t>(y) * width;
        std::uint8_t* to = mirror.Cells.data() + static_cast<std::size_t>(y) * width;
        std::fill(to, to + Width, std::uint8_t{0});
        for (int c = first; c <= last; ++c)
            to[c] = from[image - c];
    }
    for (Piece& piece : mirror.Kept)
    {
        piece.Left = twice - (piece.Left + piece.Width - 1);
        for (int y = 0; y < piece.Height; ++y)
        {
            const auto row = piece.Cells.begin() + static_cast<std::ptrdiff_t>(y) * piece.Width;
            std::reverse(row, row + piece.Width);
        }
    }
    return mirror;
}

std::string RunState::FieldName(int size, bool plane)
{
    const std::string n = std::to_string(size);
    return plane ? "the plane of " + n : n + " x " + n;
}

std::string RunState::Encode() const
{
    std::string out(Magic);
    std::size_t kept = 0;
    for (const Piece& piece : Kept)
        kept += 16 + piece.Cells.size();
    out.reserve(out.size() + 128 + Rule.size() + Cells.size() + kept);
    const bool wide = Rule.size() > MostNibbleLetters || !Kept.empty();
    Put<std::uint32_t>(out, !Kept.empty() ? Version : wide ? 3 : 2);
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(FieldSize));
    Put<std::uint8_t>(out, Plane ? 1 : 0);
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(Left));
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(Top));
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(Width));
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(Height));
    Put<std::uint64_t>(out, Iterations);
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(Position.X));
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(Position.Y));
    out += Position.Direction;
    Put<std::uint8_t>(out, static_cast<std::uint8_t>(Rule.size()));
    out += Rule;
    const std::size_t count = Cells.size();
    const std::size_t at = out.size();
    if (wide)
        out.append(reinterpret_cast<const char*>(Cells.data()), count);
    else
    {
        out.resize(at + (count + 1) / 2);
        char* const packed = out.data() + at;
        const std::uint8_t* const cells = Cells.data();
        for (std::size_t i = 0; i + 1 < count; i += 2)
            packed[i / 2] = static_cast<char>(cells[i] | cells[i + 1] << 4);
        if (count % 2 != 0)
            packed[count / 2] = static_cast<char>(cells[count - 1]);
    }
    if (!Kept.empty())
    {
        Put<std::uint32_t>(out, static_cast<std::uint32_t>(Kept.size()));
        for (const Piece& piece : Kept)
        {
            Put<std::uint32_t>(out, static_cast<std::uint32_t>(piece.Left));
            Put<std::uint32_t>(out, static_cast<std::uint32_t>(piece.Top));
            Put<std::uint32_t>(out, static_cast<std::uint32_t>(piece.Width));
            Put<std::uint32_t>(out, static_cast<std::uint32_t>(piece.Height));
            out.append(reinterpret_cast<const char*>(piece.Cells.data()), piece.Cells.size());
        }
    }
    Put<std::uint8_t>(out, Ended ? 1 : 0);
    if (Ended)
    {
        Put<std::uint8_t>(out, static_cast<std::uint8_t>(Outcome));
        Put<std::uint64_t>(out, Period);
        Put<std::uint64_t>(out, HighwayMaxPeriod);
        Put<std::uint8_t>(out, Highway.Found ? 1 : 0);
        Put<std::uint64_t>(out, Highway.Period);
        Put<std::uint64_t>(out, Highway.Onset);
        Put<std::uint64_t>(out, Highway.CertifiedAt);
        Put<std::uint32_t>(out, static_cast<std::uint32_t>(Highway.DriftX));
        Put<std::uint32_t>(out, static_cast<std::uint32_t>(Highway.DriftY));
    }
    Put<std::uint64_t>(out, Checksum(out));
    return out;
}

RunState RunState::Decode(const std::string& bytes)
{
    Reader in(bytes);
    if (bytes.size() < Magic.size() || in.Take(Magic.size()) != Magic)
        throw Refused("it is not a formicula run state");
    const auto version = in.Get<std::uint32_t>();
    if (version < 1 || version > Version)
        throw Refused("it is of version " + std::to_string(version) + "; this program reads 1 to " +
                      std::to_string(Version));
    // The checksum first: a damaged file says nothing else worth believing.
    if (bytes.size() < in.Offset() + 8 ||
        Checksum(std::string_view(bytes).substr(0, bytes.size() - 8)) !=
            Reader(std::string_view(bytes).substr(bytes.size() - 8)).Get<std::uint64_t>())
        throw Refused("its checksum does not match: the file is truncated or damaged");
    RunState state;
    if (version == 1)
    {
        const auto width = in.Get<std::uint32_t>();
        const auto height = in.Get<std::uint32_t>();
        if (width != WindowSize || height != WindowSize)
            throw Refused("its field is " + std::to_string(width) + " x " + std::to_string(height) +
                          ", which version 1 does not have");
    }
    else
    {
        const auto size = in.Get<std::uint32_t>();
        state.Plane = in.Get<std::uint8_t>() != 0;
        state.Left = static_cast<std::int32_t>(in.Get<std::uint32_t>());
        state.Top = static_cast<std::int32_t>(in.Get<std::uint32_t>());
        const auto width = in.Get<std::uint32_t>();
        const auto height = in.Get<std::uint32_t>();
        if (size < PackedField::MinSize || size > PackedField::MaxSize)
            throw Refused("its field size " + std::to_string(size) + " is out of range");
        state.FieldSize = static_cast<int>(size);
        const bool bounded = state.Left == 0 && state.Top == 0 && width == size && height == size;
        const bool fits = width > 0 && height > 0 && width <= LongestSide &&
                          height <= LongestSide &&
                          std::int64_t{state.Left} + width <= std::int64_t{INT32_MAX} &&
                          std::int64_t{state.Top} + height <= std::int64_t{INT32_MAX};
        if (state.Plane ? !fits : !bounded)
            throw Refused("its stored cells do not fit its field");
        // Before allocating: the cells must be there.
        const std::uint64_t cells = std::uint64_t{width} * height;
        if ((version == 2 ? (cells + 1) / 2 : cells) > in.Left())
            throw Refused("it is truncated");
        state.Width = static_cast<int>(width);
        state.Height = static_cast<int>(height);
    }
    state.Iterations = in.Get<std::uint64_t>();
    state.Position.X = static_cast<std::int32_t>(in.Get<std::uint32_t>());
    state.Position.Y = static_cast<std::int32_t>(in.Get<std::uint32_t>());
    state.Position.Direction = in.Take(1)[0];
    if (state.Position.X < state.Left || state.Position.X - state.Left >= state.Width ||
        state.Position.Y < state.Top || state.Position.Y - state.Top >= state.Height ||
        std::string_view("UDLR").find(state.Position.Direction) == std::string_view::npos)
        throw Refused("its ant is off the field or has no heading");
    state.Rule = std::string(in.Take(in.Get<std::uint8_t>()));
    const Rule::Parsed rule = Rule::Parse(state.Rule, Rule::MostLetters);
    if (!rule.Value || rule.Value->Letters() != state.Rule)
        throw Refused("its rule is no rule of letters L and R");
    const std::size_t count =
        static_cast<std::size_t>(state.Width) * static_cast<std::size_t>(state.Height);
    const bool wide = version >= 3;
    if (version < 4 && wide != (state.Rule.size() > MostNibbleLetters))
        throw Refused("its version " + std::to_string(version) + " is not the one for a rule of " +
                      std::to_string(state.Rule.size()) + " letters");
    const std::string_view packed = in.Take(wide ? count : (count + 1) / 2);
    state.Cells.resize(count);
    std::uint8_t* const cells = state.Cells.data();
    const auto* const from = reinterpret_cast<const std::uint8_t*>(packed.data());
    if (wide)
        std::memcpy(cells, from, count);
    else
        for (std::size_t i = 0; i < count; ++i)
            cells[i] = static_cast<std::uint8_t>(from[i / 2] >> (4 * (i % 2)) & 0x0F);
    // The highest colour first, then one check for the whole box.
    std::uint8_t highest = 0;
    for (std::size_t i = 0; i < count; ++i)
        highest = std::max(highest, cells[i]);
    if (highest > state.Rule.size())
        throw Refused("a cell holds a colour its rule does not have");
    if (version >= 4)
    {
        if (!state.Plane)
            throw Refused("its stored cells do not fit its field");
        const auto pieces = in.Get<std::uint32_t>();
        for (std::uint32_t k = 0; k < pieces; ++k)
        {
            Piece piece;
            piece.Left = static_cast<std::int32_t>(in.Get<std::uint32_t>());
            piece.Top = static_cast<std::int32_t>(in.Get<std::uint32_t>());
            const auto width = in.Get<std::uint32_t>();
            const auto height = in.Get<std::uint32_t>();
            if (width == 0 || height == 0 || width > LongestSide || height > LongestSide ||
                std::int64_t{piece.Left} + width > std::int64_t{INT32_MAX} ||
                std::int64_t{piece.Top} + height > std::int64_t{INT32_MAX} ||
                std::uint64_t{width} * height > in.Left())
                throw Refused("a piece of its cells does not fit the plane");
            piece.Width = static_cast<int>(width);
            piece.Height = static_cast<int>(height);
            const std::string_view cells = in.Take(std::size_t{width} * height);
            piece.Cells.assign(cells.begin(), cells.end());
            for (const std::uint8_t colour : piece.Cells)
                if (colour > state.Rule.size())
                    throw Refused("a cell holds a colour its rule does not have");
            state.Kept.push_back(std::move(piece));
        }
    }
    state.Ended = in.Get<std::uint8_t>() != 0;
    if (state.Ended)
    {
        const auto outcome = in.Get<std::uint8_t>();
        if (outcome >= OutcomeCount || !Outcomes[outcome].Stored)
            throw Refused("its run ended in no known way");
        state.Outcome = static_cast<RunOutcome>(outcome);
        state.Period = in.Get<std::uint64_t>();
        state.HighwayMaxPeriod = in.Get<std::uint64_t>();
        state.Highway.Found = in.Get<std::uint8_t>() != 0;
        state.Highway.Period = in.Get<std::uint64_t>();
        state.Highway.Onset = in.Get<std::uint64_t>();
        state.Highway.CertifiedAt = in.Get<std::uint64_t>();
        state.Highway.DriftX = static_cast<std::int32_t>(in.Get<std::uint32_t>());
        state.Highway.DriftY = static_cast<std::int32_t>(in.Get<std::uint32_t>());
    }
    in.Take(8);
    if (in.Offset() != bytes.size())
        throw Refused("it has bytes after its end");
    return state;
}

void RunState::Write(const std::string& path) const
{
    AtomicFile file(path);
    file.Write(Encode());
    file.Commit();
}

RunState RunState::Read(const std::string& path)
{
    std::string bytes;
    if (const ReadProblem problem = ReadFile(path, MostFileBytes, bytes))
    {
        if (problem.What == ReadProblem::System)
            throw std::runtime_error("cannot read '" + path + "': " + problem.Reason);
        throw Refused("it is " + problem.Reason);
    }
    return Decode(bytes);
}
