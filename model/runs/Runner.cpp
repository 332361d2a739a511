#include "Runner.h"

#include "Ant.h"
#include "AntField.h"
#include "Driver.h"
#include "HighwayTracker.h"
#include "Iteration.h"
#include "LaneStepper.h"
#include "LookAheadStepper.h"
#include "StepTable.h"

#include <optional>

Runner::Runner() = default;
Runner::~Runner() = default;
Runner::Runner(Runner&&) noexcept = default;
Runner& Runner::operator=(Runner&&) noexcept = default;

template <CycleProof Proof>
RunResult Runner::Run(PackedField& field, AntPosition& ant, const AntAI& rule,
                      const RunOptions& options, std::uint64_t done)
{
    const int heading = StepTable::HeadingOf(ant.Direction);
    if (heading < 0 && rule.ActiveSteps > 0 && done < options.Cap)
    {
        // An unknown heading refuses the first move, after recolouring.
        const StepTable table(rule, field.Stride());
        std::uint8_t& cell = field.Cells()[field.Index(ant.X, ant.Y)];
        cell = table.NextCode[PackedField::CodeOf(cell)];
        RunResult result;
        result.Iterations = done + 1;
        result.Outcome = RunOutcome::Finished;
        return result;
    }
    // A plane's highway snapshots ask the trail first whether a replay may prove anything.
    if ((field.Unbounded() || options.ProveOnField) && options.HighwayMaxPeriod > 0)
        return Drive<Proof, true>(field, ant, rule, options, done);
    return Drive<Proof, false>(field, ant, rule, options, done);
}

template <CycleProof Proof, bool Trails>
RunResult Runner::Drive(PackedField& field, AntPosition& ant, const AntAI& rule,
                        const RunOptions& options, std::uint64_t done)
{
    std::optional<HighwayTracker> tracker;
    if (options.HighwayMaxPeriod > 0)
        tracker.emplace(options.HighwayMaxPeriod);
    SnapshotObserver* const observer = tracker ? &*tracker : nullptr;
    if constexpr (Proof == CycleProof::On)
    {
        LaneStepper<1, true, Trails> stepper;
        return DriveOne(stepper, options, field, ant, rule, done, observer);
    }
    else
    {
        if (rule.ActiveSteps > 0 &&
            LookAheadStepper<Trails>::Prepare(field, StepTable(rule, field.Stride())))
        {
            LookAheadStepper<Trails> stepper;
            return DriveOne(stepper, options, field, ant, rule, done, observer);
        }
        LaneStepper<1, false, Trails> stepper;
        return DriveOne(stepper, options, field, ant, rule, done, observer);
    }
}

template <CycleProof Proof>
RunResult Runner::Run(AntField& field, Ant& ant, const RunOptions& options)
{
    const AntAI ai = ant.GetAI();
    if (ai.ActiveSteps <= 0)
    {
        RunResult result;
        result.Outcome = RunOutcome::Idle; // every Iterate call would be a no-op
        return result;
    }
    if (options.Cap == 0)
        return RunResult{};
    if (StepTable::HeadingOf(ant.GetPosition().Direction) < 0)
    {
        Iterate(field, ant);
        RunResult result;
        result.Iterations = 1;
        result.Outcome = RunOutcome::Finished;
        return result;
    }
    if (Packed.Width() != AntField::FieldSize || Packed.Unbounded())
        Packed = PackedField();
    Packed.Load(field);
    AntPosition position = ant.GetPosition();
    RunOptions bounded = options;
    bounded.Plane = false;
    const RunResult result = Run<Proof>(Packed, position, ai, bounded);
    Packed.Store(field);
    ant.SetPosition(position);
    return result;
}

template RunResult Runner::Run<CycleProof::Off>(AntField&, Ant&, const RunOptions&);
template RunResult Runner::Run<CycleProof::On>(AntField&, Ant&, const RunOptions&);
template RunResult Runner::Run<CycleProof::Off>(PackedField&, AntPosition&, const AntAI&,
                                                const RunOptions&, std::uint64_t);
template RunResult Runner::Run<CycleProof::On>(PackedField&, AntPosition&, const AntAI&,
                                               const RunOptions&, std::uint64_t);
