#include "RunState.h"

#include "Ant.h"
#include "AtomicFile.h"
#include "PackedField.h"
#include "ReadFile.h"
#include "Rule.h"

#include <cerrno>
#include <cstring>
#include <string_view>

namespace
{
constexpr std::string_view Magic = "FORMICULA-STATE\n";
constexpr int Size = AntField::FieldSize;
constexpr std::size_t CellCount = static_cast<std::size_t>(Size) * Size;

std::size_t CellIndex(int x, int y)
{
    return static_cast<std::size_t>(y) * Size + static_cast<std::size_t>(x);
}

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

private:
    char Byte() { return Take(1)[0]; }

    std::string_view Bytes;
    std::size_t At = 0;
};

} // namespace

namespace
{
// The window-sized field's colours, from whatever holds them.
template <typename ColourAt>
RunState Capture(const std::string& rule, std::uint64_t iterations, const AntPosition& position,
                 ColourAt colourAt)
{
    RunState state;
    state.Rule = rule;
    state.Iterations = iterations;
    state.Position = position;
    state.Cells.resize(CellCount);
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x)
            state.Cells[CellIndex(x, y)] = static_cast<std::uint8_t>(colourAt(x, y));
    return state;
}
} // namespace

RunState RunState::Of(const std::string& rule, std::uint64_t iterations, const AntField& field,
                      const AntPosition& position)
{
    return Capture(rule, iterations, position, [&](int x, int y) { return field.GetCell(x, y); });
}

RunState RunState::OfPacked(const std::string& rule, std::uint64_t iterations,
                            const PackedField& field, const AntPosition& position)
{
    return Capture(rule, iterations, position, [&](int x, int y) { return field.Colour(x, y); });
}

void RunState::Restore(AntField& field) const
{
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x)
            field.SetCell(x, y, Cells[CellIndex(x, y)]);
}

RunState RunState::Mirrored(const std::string& mirrorRule) const
{
    RunState mirror = *this;
    mirror.Rule = mirrorRule;
    mirror.Highway.DriftX = -Highway.DriftX;
    const char d = Position.Direction;
    mirror.Position = AntPosition{2 * Ant::StartX - Position.X, Position.Y,
                                  d == 'L'   ? 'R'
                                  : d == 'R' ? 'L'
                                             : d};
    for (int y = 0; y < Size; ++y)
    {
        mirror.Cells[CellIndex(0, y)] = 0;
        for (int x = 1; x < Size; ++x)
            mirror.Cells[CellIndex(2 * Ant::StartX - x, y)] = Cells[CellIndex(x, y)];
    }
    return mirror;
}

std::string RunState::Encode() const
{
    std::string out(Magic);
    Put<std::uint32_t>(out, Version);
    Put<std::uint32_t>(out, Size);
    Put<std::uint32_t>(out, Size);
    Put<std::uint64_t>(out, Iterations);
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(Position.X));
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(Position.Y));
    out += Position.Direction;
    Put<std::uint8_t>(out, static_cast<std::uint8_t>(Rule.size()));
    out += Rule;
    for (std::size_t i = 0; i < CellCount; i += 2)
        out += static_cast<char>(Cells[i] | (i + 1 < CellCount ? Cells[i + 1] << 4 : 0));
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
    if (version != Version)
        throw Refused("it is of version " + std::to_string(version) + "; this program reads " +
                      std::to_string(Version));
    // The checksum first: a damaged file says nothing else worth believing.
    if (bytes.size() < in.Offset() + 8 ||
        Checksum(std::string_view(bytes).substr(0, bytes.size() - 8)) !=
            Reader(std::string_view(bytes).substr(bytes.size() - 8)).Get<std::uint64_t>())
        throw Refused("its checksum does not match: the file is truncated or damaged");
    const auto width = in.Get<std::uint32_t>();
    const auto height = in.Get<std::uint32_t>();
    if (width != Size || height != Size)
        throw Refused("its field is " + std::to_string(width) + " x " + std::to_string(height) +
                      ", not " + std::to_string(Size) + " x " + std::to_string(Size));
    RunState state;
    state.Iterations = in.Get<std::uint64_t>();
    state.Position.X = static_cast<std::int32_t>(in.Get<std::uint32_t>());
    state.Position.Y = static_cast<std::int32_t>(in.Get<std::uint32_t>());
    state.Position.Direction = in.Take(1)[0];
    if (state.Position.X < 0 || state.Position.X >= Size || state.Position.Y < 0 ||
        state.Position.Y >= Size ||
        std::string_view("UDLR").find(state.Position.Direction) == std::string_view::npos)
        throw Refused("its ant is off the field or has no heading");
    state.Rule = std::string(in.Take(in.Get<std::uint8_t>()));
    const Rule::Parsed rule = Rule::Parse(state.Rule);
    if (!rule.Value || rule.Value->Letters() != state.Rule)
        throw Refused("its rule is no rule of letters L and R");
    const std::string_view packed = in.Take((CellCount + 1) / 2);
    state.Cells.resize(CellCount);
    for (std::size_t i = 0; i < CellCount; ++i)
    {
        const auto byte = static_cast<unsigned char>(packed[i / 2]);
        state.Cells[i] = static_cast<std::uint8_t>(i % 2 == 0 ? byte & 0x0F : byte >> 4);
        if (state.Cells[i] > state.Rule.size())
            throw Refused("a cell holds a colour its rule does not have");
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
