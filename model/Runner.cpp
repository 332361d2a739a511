#include "Runner.h"

#include "Ant.h"
#include "AntField.h"
#include "HighwayTracker.h"
#include "Iteration.h"
#include "StepTable.h"

#include <algorithm>
#include <cstring>

namespace
{
// Between two looks at the stop flag: a few milliseconds of work.
constexpr std::uint64_t StopSlice = std::uint64_t{1} << 20;

// The field hash is the sum of code x key over all cells, so a recolouring adds
// (new - old) x key: one table of 8 bytes per cell instead of one per cell and colour.
std::vector<std::uint64_t> MakeKeys(bool constant)
{
    std::vector<std::uint64_t> keys(PackedField::CellCount, 0);
    if (constant)
        return keys;
    std::uint64_t state = 0x243F6A8885A308D3u; // fixed, so runs are reproducible
    for (std::uint64_t& key : keys)
    {
        // splitmix64
        state += 0x9E3779B97F4A7C15u;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        key = z ^ (z >> 31);
    }
    return keys;
}

struct LoopState
{
    int At = 0;
    unsigned Heading = 0;
    std::uint64_t Hash = 0;

    bool operator==(const LoopState& other) const
    {
        return Hash == other.Hash && At == other.At && Heading == other.Heading;
    }
};

struct HashTables
{
    std::uint64_t CodeDelta[PackedField::CodeCount];
    const std::uint64_t* Keys;
};

// The hot loop. The chain per step is: load the cell, look up the step, add it to the
// index; everything else (the store, the heading, the proof's hash and comparison)
// hangs off the load without feeding the next index, so it mostly hides in the
// chain's latency. Stops on the border, at the limit, or when the state may equal
// the target.
template <CycleProof Proof>
std::uint64_t Advance(std::uint8_t* cells, const StepTable& table, const HashTables& hashing,
                      LoopState& state, const LoopState& target, std::uint64_t limit)
{
    int at = state.At;
    unsigned h = state.Heading;
    std::uint64_t hash = state.Hash;
    std::uint64_t done = 0;
    while (done < limit)
    {
        const unsigned code = cells[at];
        if (code == PackedField::Border)
            break;
        const unsigned key = code * StepTable::Headings + h;
        cells[at] = table.NextCode[code];
        if constexpr (Proof == CycleProof::On)
            hash += hashing.CodeDelta[code] * hashing.Keys[at];
        h = table.NextHeading[key];
        at += table.Delta[key];
        ++done;
        if constexpr (Proof == CycleProof::On)
            if (hash == target.Hash && at == target.At && h == target.Heading)
                break;
    }
    state.At = at;
    state.Heading = h;
    state.Hash = hash;
    return done;
}

// The plain loop for fields where every cell's colour turns the ant (always so from a
// blank field). A turn is then always left or right, and the two cells the ant may step
// onto next are its left and right neighbours: both are loaded before the turn is
// known, so the chain per step shrinks to a select and one load instead of load, table
// lookup and add. For the select to hang off the loaded byte alone, each cell carries
// its turn in the top bit while the loop runs (RightTurnBit); the heading is kept as
// two index offsets, forward and right, which a turn swaps with a sign.
constexpr unsigned RightTurnBit = 0x80; // the top bit of a byte

std::uint64_t AdvanceLookingAhead(std::uint8_t* cells, const std::uint8_t (&nextByte)[256],
                                  LoopState& state, std::uint64_t limit)
{
    std::ptrdiff_t at = state.At;
    std::ptrdiff_t forward = StepTable::Offset(static_cast<int>(state.Heading));
    std::ptrdiff_t right = StepTable::Offset(static_cast<int>(state.Heading) + 1);
    std::ptrdiff_t byte = cells[at];
    std::uint64_t done = 0;
    while (done < limit && byte != PackedField::Border)
    {
        const std::ptrdiff_t toRight = at + right;
        const std::ptrdiff_t toLeft = at - right;
        const std::ptrdiff_t rightByte = cells[toRight];
        const std::ptrdiff_t leftByte = cells[toLeft];
        cells[at] = nextByte[byte];
        // All ones for a right turn, else zero. Masks, not conditions: the turn is as
        // good as random, and a branch on it would be mispredicted half the time.
        const std::ptrdiff_t turnsRight = -(byte >> 7);
        const std::ptrdiff_t turnsLeft = ~turnsRight;
        const std::ptrdiff_t nextForward = (right ^ turnsLeft) - turnsLeft; // right or -right
        right = (forward ^ turnsRight) - turnsRight;                        // -forward or forward
        forward = nextForward;
        at = toLeft + ((toRight - toLeft) & turnsRight);
        byte = leftByte ^ ((leftByte ^ rightByte) & turnsRight);
        ++done;
    }
    state.At = static_cast<int>(at);
    state.Heading = static_cast<unsigned>(StepTable::HeadingOfOffset(static_cast<int>(forward)));
    return done;
}

// Marks each cell with its turn for the look-ahead loop and builds the loop's table of
// next bytes; false (nothing changed) when some cell's colour does not turn the ant.
bool MarkTurns(std::uint8_t* cells, const StepTable& table, std::uint8_t (&nextByte)[256])
{
    unsigned turning = 1u << PackedField::Border;
    unsigned rightTurns = 0;
    for (int code = 0; code < PackedField::CodeCount; ++code)
    {
        const int turn = table.NextHeading[StepTable::Key(code, 0)];
        turning |= (turn != 0 ? 1u : 0u) << code;
        rightTurns |= (turn == 1 ? 1u : 0u) << code;
    }
    unsigned present = 0;
    for (std::size_t i = 0; i < PackedField::CellCount; ++i)
        present |= 1u << cells[i];
    if ((present & ~turning) != 0)
        return false;
    auto marked = [rightTurns](unsigned code)
    { return static_cast<std::uint8_t>(code | ((rightTurns >> code) & 1u) * RightTurnBit); };
    for (unsigned b = 0; b < 256; ++b)
        nextByte[b] = marked(table.NextCode[b % PackedField::CodeCount]);
    for (std::size_t i = 0; i < PackedField::CellCount; ++i)
        cells[i] = marked(cells[i]);
    return true;
}

void UnmarkTurns(std::uint8_t* cells)
{
    for (std::size_t i = 0; i < PackedField::CellCount; ++i)
        cells[i] &= static_cast<std::uint8_t>(~RightTurnBit);
}
} // namespace

Runner::Runner(HashKeys keys) : Keys(HashKeyTable(keys)) {}
Runner::~Runner() = default;
Runner::Runner(Runner&&) noexcept = default;
Runner& Runner::operator=(Runner&&) noexcept = default;

const std::uint64_t* Runner::HashKeyTable(HashKeys keys)
{
    static const std::vector<std::uint64_t> random = MakeKeys(false);
    static const std::vector<std::uint64_t> constant = MakeKeys(true);
    return keys == HashKeys::Constant ? constant.data() : random.data();
}

template <CycleProof Proof>
RunResult Runner::Run(AntField& field, Ant& ant, const RunOptions& options)
{
    RunResult result;
    const AntAI ai = ant.GetAI();
    const AntPosition start = ant.GetPosition();
    const int startHeading = StepTable::HeadingOf(start.Direction);
    if (ai.ActiveSteps <= 0)
    {
        result.Outcome = RunOutcome::Idle; // every Iterate call would be a no-op
        return result;
    }
    if (options.Cap == 0)
        return result;
    if (startHeading < 0)
    {
        // An unknown heading refuses the first move, after recolouring.
        Iterate(field, ant);
        result.Iterations = 1;
        result.Outcome = RunOutcome::Finished;
        return result;
    }

    Packed.Load(field);
    std::uint8_t* cells = Packed.Cells();
    const StepTable table(ai);
    HashTables hashing{};
    hashing.Keys = Keys;
    LoopState state;
    state.At = PackedField::Index(start.X, start.Y);
    state.Heading = static_cast<unsigned>(startHeading);

    // Brent's method: the checkpoint is replaced `power` iterations after it was taken.
    LoopState saved;
    std::uint64_t savedAt = 0;
    std::uint64_t power = RunOptions::NoCap;
    if constexpr (Proof == CycleProof::On)
    {
        for (int code = 0; code < PackedField::CodeCount; ++code)
            hashing.CodeDelta[code] =
                static_cast<std::uint64_t>(table.NextCode[code]) - static_cast<std::uint64_t>(code);
        for (std::size_t i = 0; i < PackedField::CellCount; ++i)
            state.Hash += cells[i] * Keys[i];
        saved = state;
        Checkpoint.resize(PackedField::CellCount);
        std::memcpy(Checkpoint.data(), cells, PackedField::CellCount);
        power = 1;
    }

    std::uint8_t nextByte[256];
    bool lookAhead = false;
    if constexpr (Proof == CycleProof::Off)
        lookAhead = MarkTurns(cells, table, nextByte);

    HighwayTracker* tracker = nullptr;
    if (options.HighwayMaxPeriod > 0)
    {
        if (!Tracker || Tracker->MaxPeriod() != options.HighwayMaxPeriod)
            Tracker = std::make_unique<HighwayTracker>(options.HighwayMaxPeriod);
        tracker = Tracker.get();
        tracker->Start(cells, state.At, static_cast<int>(state.Heading), table, options.Cap);
    }

    std::uint64_t done = 0;
    for (;;)
    {
        if (done >= options.Cap)
        {
            result.Outcome = RunOutcome::Cap;
            break;
        }
        if (options.Stop && options.Stop->load(std::memory_order_relaxed))
        {
            result.Outcome = RunOutcome::Stopped;
            break;
        }
        std::uint64_t limit = options.Cap - done;
        if constexpr (Proof == CycleProof::On)
            limit = std::min(limit, savedAt + power - done);
        if (options.Stop)
            limit = std::min(limit, StopSlice);
        if (tracker)
            limit = std::min(limit, tracker->NextSnapshot() - done);
        done += lookAhead ? AdvanceLookingAhead(cells, nextByte, state, limit)
                          : Advance<Proof>(cells, table, hashing, state, saved, limit);

        if (cells[state.At] == PackedField::Border) // never marked: it does not turn
        {
            // The last counted step went onto the border: that is the refused move.
            state.At -= StepTable::Offset(static_cast<int>(state.Heading));
            result.Outcome = RunOutcome::Finished;
            break;
        }
        if constexpr (Proof == CycleProof::On)
        {
            if (done > savedAt && state == saved)
            {
                if (std::memcmp(cells, Checkpoint.data(), PackedField::CellCount) == 0)
                {
                    result.Outcome = RunOutcome::Never;
                    result.Period = done - savedAt;
                    break;
                }
                ++result.FalseMatches;
            }
            if (done == savedAt + power)
            {
                saved = state;
                std::memcpy(Checkpoint.data(), cells, PackedField::CellCount);
                savedAt = done;
                power *= 2;
            }
        }
        if (tracker && done == tracker->NextSnapshot())
            tracker->Snapshot(cells, state.At, static_cast<int>(state.Heading), done);
    }

    result.Iterations = done;
    if (tracker && result.Outcome != RunOutcome::Stopped)
        result.Highway = tracker->Finish(done, result.Outcome == RunOutcome::Finished);
    if (lookAhead)
        UnmarkTurns(cells);
    Packed.Store(field);
    ant.SetPosition(AntPosition{PackedField::X(state.At), PackedField::Y(state.At),
                                StepTable::DirectionOf(static_cast<int>(state.Heading))});
    return result;
}

template RunResult Runner::Run<CycleProof::Off>(AntField&, Ant&, const RunOptions&);
template RunResult Runner::Run<CycleProof::On>(AntField&, Ant&, const RunOptions&);
