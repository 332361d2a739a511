#include "CycleRunner.h"

#include "Ant.h"
#include "AntField.h"
#include "Iteration.h"
#include "StepTable.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr std::size_t CellCount =
    static_cast<std::size_t>(PackedField::Stride) * PackedField::Stride;

// Between two looks at the stop flag: a few milliseconds of work.
constexpr std::uint64_t StopSlice = std::uint64_t{1} << 20;

// The field hash is the sum of code x key over all cells, so a recolouring adds
// (new - old) x key: one table of 8 bytes per cell instead of one per cell and colour.
std::vector<std::uint64_t> MakeKeys(bool constant)
{
    std::vector<std::uint64_t> keys(CellCount, 0);
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

const std::uint64_t* KeyTable(CycleRunner::HashKeys kind)
{
    static const std::vector<std::uint64_t> random = MakeKeys(false);
    static const std::vector<std::uint64_t> constant = MakeKeys(true);
    return kind == CycleRunner::HashKeys::Constant ? constant.data() : random.data();
}

struct HashedState
{
    int At = 0;
    unsigned Heading = 0;
    std::uint64_t Hash = 0;
};

// BatchRunner's loop plus the hash. The hash and the comparison hang off the
// load of the cell but do not feed the next index, so they mostly hide in the
// latency of the load-lookup-add chain. Stops on the border, at the limit, or
// when the state may equal the target.
std::uint64_t RunHashed(std::uint8_t* cells, const StepTable& table, const std::uint64_t* codeDelta,
                        const std::uint64_t* keys, HashedState& state, const HashedState& target,
                        std::uint64_t limit)
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
        hash += codeDelta[code] * keys[at];
        h = table.NextHeading[key];
        at += table.Delta[key];
        ++done;
        if (hash == target.Hash && at == target.At && h == target.Heading)
            break;
    }
    state.At = at;
    state.Heading = h;
    state.Hash = hash;
    return done;
}

bool SameState(const HashedState& a, const HashedState& b)
{
    return a.Hash == b.Hash && a.At == b.At && a.Heading == b.Heading;
}
} // namespace

CycleRunner::CycleRunner(HashKeys keys) : Checkpoint(CellCount), Keys(KeyTable(keys)) {}

CycleResult CycleRunner::Run(AntField& field, Ant& ant, std::uint64_t maxIterations,
                             const std::atomic<bool>* stop)
{
    CycleResult result;
    if (maxIterations == 0)
        return result;
    const AntAI ai = ant.GetAI();
    const AntPosition start = ant.GetPosition();
    const int startHeading = StepTable::HeadingOf(start.Direction);
    if (ai.ActiveSteps <= 0)
    {
        // Every call is a no-op: the state after one equals the state before it.
        result.Outcome = CycleOutcome::Never;
        result.Iterations = 1;
        result.Period = 1;
        return result;
    }
    if (startHeading < 0)
    {
        // An unknown heading refuses the first move, after recolouring.
        result.Iterations = 1;
        result.Outcome = Iterate(field, ant) == IterationResult::Blocked ? CycleOutcome::Finished
                                                                         : CycleOutcome::Cap;
        return result;
    }

    Packed.Load(field);
    std::uint8_t* cells = Packed.Cells();
    const StepTable table(ai);
    std::uint64_t codeDelta[PackedField::CodeCount];
    for (int code = 0; code < PackedField::CodeCount; ++code)
        codeDelta[code] =
            static_cast<std::uint64_t>(table.NextCode[code]) - static_cast<std::uint64_t>(code);

    HashedState state;
    state.At = PackedField::Index(start.X, start.Y);
    state.Heading = static_cast<unsigned>(startHeading);
    for (std::size_t i = 0; i < CellCount; ++i)
        state.Hash += cells[i] * Keys[i];

    HashedState saved = state;
    std::memcpy(Checkpoint.data(), cells, CellCount);
    std::uint64_t savedAt = 0; // iterations done when the checkpoint was taken
    std::uint64_t power = 1;   // the checkpoint is replaced this many iterations after it was taken

    std::uint64_t done = 0;
    for (;;)
    {
        if (done >= maxIterations)
        {
            result.Outcome = CycleOutcome::Cap;
            break;
        }
        if (stop && stop->load(std::memory_order_relaxed))
        {
            result.Outcome = CycleOutcome::Stopped;
            break;
        }
        std::uint64_t limit = std::min(maxIterations - done, savedAt + power - done);
        if (stop)
            limit = std::min(limit, StopSlice);
        done += RunHashed(cells, table, codeDelta, Keys, state, saved, limit);

        if (cells[state.At] == PackedField::Border)
        {
            // The last counted step went onto the border: that is the refused move.
            state.At -= StepTable::Offset(static_cast<int>(state.Heading));
            result.Outcome = CycleOutcome::Finished;
            break;
        }
        if (done > savedAt && SameState(state, saved))
        {
            if (std::memcmp(cells, Checkpoint.data(), CellCount) == 0)
            {
                result.Outcome = CycleOutcome::Never;
                result.Period = done - savedAt;
                break;
            }
            ++result.FalseMatches;
        }
        if (done == savedAt + power)
        {
            saved = state;
            std::memcpy(Checkpoint.data(), cells, CellCount);
            savedAt = done;
            power *= 2;
        }
    }

    result.Iterations = done;
    Packed.Store(field);
    ant.SetPosition(AntPosition{PackedField::X(state.At), PackedField::Y(state.At),
                                StepTable::DirectionOf(static_cast<int>(state.Heading))});
    return result;
}
