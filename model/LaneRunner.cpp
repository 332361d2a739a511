#include "LaneRunner.h"

#include "Ant.h"
#include "AntField.h"
#include "HighwayTracker.h"
#include "StepTable.h"

#include <algorithm>
#include <cstring>

namespace
{
// Between two looks at the stop flag: a few milliseconds of work.
constexpr std::uint64_t StopSlice = std::uint64_t{1} << 20;

// Lane fields lie this far apart: whole pages plus a step that puts each lane at another
// offset within a 4 KiB page, so cells the lanes touch at once do not compete for the
// same cache sets.
constexpr std::ptrdiff_t LaneStride = 65536 + 640;
static_assert(LaneStride >= static_cast<std::ptrdiff_t>(PackedField::CellCount));

// One step of a rule with the heading folded into the table row: the entry for the
// cell's code says where to go, which row (heading) comes next, and what to write.
struct LaneStep
{
    std::int32_t Delta;    // index step to the next cell
    std::int16_t RowStep;  // bytes from this row to the next heading's row
    std::uint8_t NextCode; // written into the cell
};
static_assert(sizeof(LaneStep) == 8, "one scaled load per step");

struct LaneTable
{
    LaneStep Rows[StepTable::Headings][PackedField::CodeCount];
};
constexpr std::int16_t RowBytes = sizeof(LaneStep) * PackedField::CodeCount;

void Compile(const StepTable& steps, LaneTable& table)
{
    for (int h = 0; h < StepTable::Headings; ++h)
    {
        for (int code = 0; code < PackedField::CodeCount; ++code)
        {
            const int key = StepTable::Key(code, h);
            LaneStep& step = table.Rows[h][code];
            step.Delta = steps.Delta[key];
            step.RowStep = static_cast<std::int16_t>((steps.NextHeading[key] - h) * RowBytes);
            step.NextCode = steps.NextCode[code];
        }
    }
}

// A lane with no job stands still: every entry writes the cell back unchanged.
LaneTable IdleTable()
{
    LaneTable table{};
    for (auto& row : table.Rows)
        for (int code = 0; code < PackedField::CodeCount; ++code)
            row[code] = LaneStep{0, 0, static_cast<std::uint8_t>(code)};
    return table;
}
const LaneTable Idle = IdleTable();

struct LaneRegisters
{
    std::ptrdiff_t At;   // index into the buffer of all lanes' fields
    const LaneStep* Row; // the current heading's row of the lane's table
};

// The cells around an inner cell, the ant's last writes among them, against the checkpoint's.
bool SameNeighbours(const std::uint8_t* cell, const std::uint8_t* checkpoint)
{
    constexpr std::ptrdiff_t Stride = PackedField::Stride;
    for (const std::ptrdiff_t row : {-Stride - 1, std::ptrdiff_t{-1}, Stride - 1})
        if (std::memcmp(cell + row, checkpoint + row, 3) != 0)
            return false;
    return true;
}

struct Advance
{
    std::uint64_t Rounds; // steps every lane made
    int Ahead;            // lanes 0 .. Ahead-1 made one step more
};

// The interleaved loop: each round steps every lane in turn. It stops before a lane's
// step from a border cell and, with the cycle proof, after a lane's step onto its
// checkpoint's cell and heading (the caller compares the fields). Lanes are independent,
// so a round left half done only puts some of them a step ahead.
// Kept out of line: inlined into its caller it shares the registers with the caller's
// state and spills the chains' values to the stack.
template <CycleProof Proof, int K>
[[gnu::noinline]] Advance AdvanceLanes(std::uint8_t* cells, const std::uint8_t* checkpoints,
                                       LaneRegisters (&lanes)[K], const LaneRegisters (&targets)[K],
                                       std::uint64_t limit)
{
    // Cell pointer and table row of every lane stay in registers: they carry the chains.
    std::uint8_t* at[K];
    const LaneStep* row[K];
    const std::uint8_t* target[K];
#pragma GCC unroll 8
    for (int j = 0; j < K; ++j)
    {
        at[j] = cells + lanes[j].At;
        row[j] = lanes[j].Row;
        target[j] = cells + targets[j].At;
    }
    Advance advance{0, 0};
    for (; advance.Rounds < limit; ++advance.Rounds)
    {
#pragma GCC unroll 8
        for (int j = 0; j < K; ++j)
        {
            const unsigned code = *at[j];
            if (code == PackedField::Border)
            {
                advance.Ahead = j;
                goto out;
            }
            const LaneStep step = row[j][code];
            *at[j] = step.NextCode;
            at[j] += step.Delta;
            row[j] = reinterpret_cast<const LaneStep*>(reinterpret_cast<const char*>(row[j]) +
                                                       step.RowStep);
            // The ant's cell and heading are a cheap filter: a field can only equal the
            // checkpoint's when the ant stands where it stood then, amid the same cells.
            if constexpr (Proof == CycleProof::On)
            {
                if (at[j] == target[j] && row[j] == targets[j].Row &&
                    SameNeighbours(at[j], checkpoints + (at[j] - cells)))
                {
                    advance.Ahead = j + 1;
                    goto out;
                }
            }
        }
    }
out:
#pragma GCC unroll 8
    for (int j = 0; j < K; ++j)
    {
        lanes[j].At = at[j] - cells;
        lanes[j].Row = row[j];
    }
    return advance;
}

} // namespace

struct LaneRunner::Lane
{
    bool Active = false;
    std::size_t Id = 0;
    LaneTable Table{};
    std::uint64_t Done = 0;
    // The cycle proof's checkpoint (Brent's method): taken after SavedDone iterations,
    // replaced Power iterations later.
    LaneRegisters Saved{};
    std::uint64_t SavedDone = 0;
    std::uint64_t Power = 1;
    std::uint64_t FalseMatches = 0;
    std::unique_ptr<HighwayTracker> Tracker; // when the options ask for highways
};

LaneRunner::LaneRunner()
    : Fields(static_cast<std::size_t>(LaneStride * Lanes), PackedField::Border),
      Checkpoints(static_cast<std::size_t>(LaneStride * Lanes)), State(new Lane[Lanes])
{
}

LaneRunner::~LaneRunner() = default;

void LaneRunner::Store(const std::uint8_t* cells, AntField& field)
{
    for (int y = 0; y < AntField::FieldSize; ++y)
        for (int x = 0; x < AntField::FieldSize; ++x)
            field.SetCell(x, y, cells[PackedField::Index(x, y)]);
}

template <CycleProof Proof, int K>
void LaneRunner::RunLanes(const NextJob& next, const JobEnded& ended, const RunOptions& options)
{
    Lane* lanes = State.get();
    std::uint8_t* fields = Fields.data();
    std::uint8_t* checkpoints = Checkpoints.data();
    LaneRegisters regs[K];
    LaneRegisters targets[K];
    const PackedField blank;

    auto headingOf = [&](int j)
    {
        return static_cast<int>((reinterpret_cast<const char*>(regs[j].Row) -
                                 reinterpret_cast<const char*>(&lanes[j].Table.Rows[0][0])) /
                                RowBytes);
    };

    auto report = [&](int j, RunOutcome outcome, std::uint64_t period)
    {
        LaneRunner::Lane& lane = lanes[j];
        std::ptrdiff_t at = regs[j].At - j * LaneStride;
        const auto heading =
            static_cast<int>((reinterpret_cast<const char*>(regs[j].Row) -
                              reinterpret_cast<const char*>(&lane.Table.Rows[0][0])) /
                             RowBytes);
        if (outcome == RunOutcome::Finished)
            at -= StepTable::Offset(heading); // the refused move
        LaneRunner::Ended end;
        end.Id = lane.Id;
        end.Result.Outcome = outcome;
        end.Result.Iterations = lane.Done;
        end.Result.Period = period;
        end.Result.FalseMatches = lane.FalseMatches;
        if (lane.Tracker)
            end.Result.Highway = lane.Tracker->Finish(lane.Done, outcome == RunOutcome::Finished);
        end.Position =
            AntPosition{PackedField::X(static_cast<int>(at)), PackedField::Y(static_cast<int>(at)),
                        StepTable::DirectionOf(heading)};
        end.Cells = fields + j * LaneStride;
        ended(end);
    };

    // Gives lane j its next job, or makes it idle when there is none.
    auto start = [&](int j)
    {
        LaneRunner::Lane& lane = lanes[j];
        std::uint8_t* cells = fields + j * LaneStride;
        LaneRunner::Job job;
        for (;;)
        {
            if (!next(job))
            {
                // It waits on a blank cell, with a checkpoint it never meets.
                lane.Active = false;
                regs[j] =
                    LaneRegisters{j * LaneStride + PackedField::Index(0, 0), &Idle.Rows[0][0]};
                fields[regs[j].At] = 0;
                targets[j] = LaneRegisters{-1, nullptr};
                return;
            }
            lane.Id = job.Id;
            lane.Done = 0;
            lane.FalseMatches = 0;
            std::memcpy(cells, blank.Cells(), PackedField::CellCount);
            regs[j].At = j * LaneStride + PackedField::Index(Ant::StartX, Ant::StartY);
            const StepTable steps(job.Rule);
            Compile(steps, lane.Table);
            const int heading = StepTable::HeadingOf(Ant::StartDirection);
            regs[j].Row = &lane.Table.Rows[heading][0];
            if (options.HighwayMaxPeriod > 0)
            {
                if (!lane.Tracker || lane.Tracker->MaxPeriod() != options.HighwayMaxPeriod)
                    lane.Tracker = std::make_unique<HighwayTracker>(options.HighwayMaxPeriod);
                lane.Tracker->Start(cells, PackedField::Index(Ant::StartX, Ant::StartY), heading,
                                    steps, options.Cap);
            }
            // Nothing runs for an empty rule or a cap of 0: report at once.
            if (job.Rule.ActiveSteps <= 0)
                report(j, RunOutcome::Idle, 0);
            else if (options.Cap == 0)
                report(j, RunOutcome::Cap, 0);
            else
                break;
        }
        lane.Active = true;
        targets[j] = LaneRegisters{-1, nullptr};
        if constexpr (Proof == CycleProof::On)
        {
            lane.Saved = regs[j];
            lane.SavedDone = 0;
            lane.Power = 1;
            targets[j] = regs[j];
            std::memcpy(checkpoints + j * LaneStride, cells, PackedField::CellCount);
        }
    };

    for (int j = 0; j < K; ++j)
        start(j);
    for (;;)
    {
        if (options.Stop && options.Stop->load(std::memory_order_relaxed))
            return;
        std::uint64_t limit = options.Stop ? StopSlice : RunOptions::NoCap;
        bool anyActive = false;
        for (int j = 0; j < K; ++j)
        {
            const LaneRunner::Lane& lane = lanes[j];
            if (!lane.Active)
                continue;
            anyActive = true;
            limit = std::min(limit, options.Cap - lane.Done);
            if constexpr (Proof == CycleProof::On)
                limit = std::min(limit, lane.SavedDone + lane.Power - lane.Done);
            if (lane.Tracker)
                limit = std::min(limit, lane.Tracker->NextSnapshot() - lane.Done);
        }
        if (!anyActive)
            return;

        const Advance advance = AdvanceLanes<Proof, K>(fields, checkpoints, regs, targets, limit);
        for (int j = 0; j < K; ++j)
        {
            LaneRunner::Lane& lane = lanes[j];
            if (!lane.Active)
                continue;
            lane.Done += advance.Rounds + (j < advance.Ahead ? 1 : 0);
            std::uint8_t* cells = fields + j * LaneStride;
            if (fields[regs[j].At] == PackedField::Border)
            {
                report(j, RunOutcome::Finished, 0);
                start(j);
                continue;
            }
            if constexpr (Proof == CycleProof::On)
            {
                const LaneRegisters& r = regs[j];
                const LaneRegisters& s = lane.Saved;
                if (lane.Done > lane.SavedDone && r.At == s.At && r.Row == s.Row)
                {
                    if (std::memcmp(cells, checkpoints + j * LaneStride, PackedField::CellCount) ==
                        0)
                    {
                        report(j, RunOutcome::Never, lane.Done - lane.SavedDone);
                        start(j);
                        continue;
                    }
                    ++lane.FalseMatches;
                }
            }
            if (lane.Tracker && lane.Done == lane.Tracker->NextSnapshot())
                lane.Tracker->Snapshot(cells, static_cast<int>(regs[j].At - j * LaneStride),
                                       headingOf(j), lane.Done);
            if (lane.Done >= options.Cap)
            {
                report(j, RunOutcome::Cap, 0);
                start(j);
                continue;
            }
            if constexpr (Proof == CycleProof::On)
            {
                if (lane.Done == lane.SavedDone + lane.Power)
                {
                    lane.Saved = regs[j];
                    targets[j] = regs[j];
                    lane.SavedDone = lane.Done;
                    lane.Power *= 2;
                    std::memcpy(checkpoints + j * LaneStride, cells, PackedField::CellCount);
                }
            }
        }
    }
}

template <CycleProof Proof>
void LaneRunner::Run(const NextJob& next, const JobEnded& ended, const RunOptions& options,
                     int lanes)
{
    switch (std::clamp(lanes, 1, Lanes))
    {
    case 1:
        return RunLanes<Proof, 1>(next, ended, options);
    case 2:
        return RunLanes<Proof, 2>(next, ended, options);
    case 3:
        return RunLanes<Proof, 3>(next, ended, options);
    default:
        return RunLanes<Proof, Lanes>(next, ended, options);
    }
}

template void LaneRunner::Run<CycleProof::Off>(const NextJob&, const JobEnded&, const RunOptions&,
                                               int);
template void LaneRunner::Run<CycleProof::On>(const NextJob&, const JobEnded&, const RunOptions&,
                                              int);
