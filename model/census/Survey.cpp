#include "Survey.h"

#include "Ant.h"
#include "Runner.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

namespace
{
// Runs in stretches lose nothing when each stretch starts the cycle proof anew: only rules
// that cannot cycle run in stretches (Rule::CanCycle).
bool CanCycle(const std::string& rule)
{
    return Rule::CanCycle(rule);
}

// A plan's rules are the letters of a rule alone.
AntAI AIOf(const std::string& rule)
{
    return Rule::Parse(rule, Rule::MostLetters).Value->AI();
}
} // namespace

struct Survey::Ending
{
    RunResult Result;
    AntPosition Position;
    FieldSummary Growth;
    bool TouchedColumnZero = true;
    std::optional<HighwayType> Type;
    std::optional<RunState> State; // the end state, kept when the survey keeps states
    bool Saved = false;            // State is the rule's file already
};

// One thread's runs: it takes pairs from the pool, runs a pair's first rule on the lanes,
// and its mirror only when the first's row cannot be mirrored, then on this thread.
class Survey::Worker
{
public:
    Worker(Survey& survey, const std::atomic<bool>* stop);
    void Run();

private:
    using Clock = std::chrono::steady_clock;

    void Save(const RunState& state, std::size_t row);
    void Record(std::size_t row, const Ending& end);
    void Ended(const LaneRunner::Ended& end);
    // Only rules of one letter kind can cycle (see CanCycle): they run alone with the
    // cycle proof, so the lanes carry no proof's test on their chains. They end within a
    // few dozen iterations, so they always run from the start.
    void RunAlone(std::size_t row);
    bool Next(LaneRunner::Job& job);
    // The queued row, or the first of the next pair not known; None when there is none.
    std::size_t NextRow();

    Survey& S;
    const std::atomic<bool>* Stop;
    const bool KeepStates;
    const std::size_t None;
    RunOptions Options;
    int StartX = 0;
    std::vector<std::size_t> Queued; // rows to run on this thread before new pairs
    std::vector<std::size_t> MirrorOf;
    // Per row, while it runs: where it started, when it was last saved, and the field of
    // a run continued from its state.
    std::vector<std::uint64_t> StartedAt;
    std::vector<Clock::time_point> SavedAt;
    std::vector<bool> HasFile;
    std::vector<bool> FromStart;
    std::map<std::size_t, PackedField> Continued;
};

Survey::Worker::Worker(Survey& survey, const std::atomic<bool>* stop)
    : S(survey), Stop(stop), KeepStates(survey.Store.has_value()), None(survey.Rows_.size()),
      MirrorOf(None, None), StartedAt(None, 0), SavedAt(None), HasFile(survey.HasState),
      FromStart(None, false)
{
    HasFile.resize(None, false);
    Options = S.Options(S.LaneMemory, stop);
    Options.Lender = &*S.Lender;
    StartX = PackedField(S.Size, S.Plane).StartX();
    if (KeepStates)
        Options.AtSnapshot = [this](std::size_t id, const PackedField& field,
                                    const AntPosition& ant, std::uint64_t done)
        {
            if (Clock::now() - SavedAt[id] >= SaveInterval)
                Save(RunState::Of(S.Rows_[id].Rule, done, field, ant, S.Size), id);
        };
}

void Survey::Worker::Run()
{
    LaneRunner().Run<CycleProof::Off>([this](LaneRunner::Job& job) { return Next(job); },
                                      [this](const LaneRunner::Ended& end) { Ended(end); }, Options,
                                      S.Lanes);
}

void Survey::Worker::Save(const RunState& state, std::size_t row)
{
    S.Store->Save(state);
    HasFile[row] = true;
    SavedAt[row] = Clock::now();
}

void Survey::Worker::Record(std::size_t index, const Ending& end)
{
    SurveyRow& row = S.Rows_[index];
    Enter(row, end.Result, end.Position, end.Growth);
    row.Type = end.Type;
    if (end.State && !end.Saved)
        Save(*end.State, index);
    const std::size_t mirror = MirrorOf[index];
    if (mirror == None)
    {
        S.Pool.CountDone(1);
    }
    else if (row.Outcome == RunOutcome::Cap && !end.TouchedColumnZero)
    {
        S.Rows_[mirror] = SurveyPlan::MirrorRow(row, StartX);
        if (end.State)
            Save(end.State->Mirrored(S.Rows_[mirror].Rule), mirror);
        S.Pool.CountDone(2);
    }
    else
    {
        Queued.push_back(mirror);
        S.Pool.CountDone(1);
    }
}

void Survey::Worker::Ended(const LaneRunner::Ended& end)
{
    const std::size_t id = end.Id;
    const bool resumed = Continued.count(id) > 0;
    const std::string& rule = S.Rows_[id].Rule;
    const RunOutcome outcome = end.Result.Outcome;
    if (outcome != RunOutcome::Stopped)
        S.Stepped += end.Result.Iterations - StartedAt[id];
    if (outcome == RunOutcome::Stopped)
    {
        if (KeepStates && end.Result.Iterations > StartedAt[id] && !CanCycle(rule))
            Save(RunState::Of(rule, end.Result.Iterations, *end.Field, end.Position, S.Size), id);
    }
    else if (outcome == RunOutcome::Memory && (Options.MaxMemory < S.MaxMemory || resumed))
    {
        // It outgrew only its share, or its state's field is not laid out as its run from
        // the start's: it runs again from the start with all of the memory once the others
        // are done, so that no row depends on the jobs, lanes or states.
        {
            const std::lock_guard<std::mutex> lock(S.OutgrewMutex);
            S.OutgrewShare.push_back(id);
        }
        if (MirrorOf[id] != None)
            Queued.push_back(MirrorOf[id]);
    }
    else if (outcome == RunOutcome::Highway && resumed)
    {
        // Proven at a highway snapshot, whose iterations the run from the start chooses:
        // that run says where it ends.
        FromStart[id] = true;
        Queued.push_back(id);
    }
    else
    {
        Ending ending;
        ending.Result = end.Result;
        ending.Position = end.Position;
        ending.Growth = FieldSummary::BoundsOf(*end.Field);
        ending.TouchedColumnZero = SurveyPlan::TouchedUnmirrored(*end.Field, end.Position);
        ending.Type = S.TypeOf(rule, *end.Field, end.Position, end.Result);
        // Kept at the cap, and over any state of the rule, so that a survey started
        // again need not run it again; but not a highway's end on the plane, which
        // depends on the cap (see the ended states in Next).
        if (KeepStates &&
            (outcome == RunOutcome::Cap || (HasFile[id] && outcome != RunOutcome::Highway)))
        {
            ending.State =
                RunState::Of(rule, end.Result.Iterations, *end.Field, end.Position, S.Size);
            ending.State->Ended = true;
            ending.State->Outcome = outcome;
            ending.State->Period = end.Result.Period;
            ending.State->HighwayMaxPeriod = S.HighwayMaxPeriod;
            ending.State->Highway = end.Result.Highway;
        }
        Record(id, ending);
    }
    Continued.erase(id);
}

void Survey::Worker::RunAlone(std::size_t row)
{
    PackedField field(S.Size, S.Plane);
    AntPosition position;
    RunOptions alone = Options;
    alone.AtSnapshot = nullptr;
    alone.MaxMemory = S.AloneMemory; // a share, as the lanes' options say: it runs again
    LaneRunner::Ended end;
    end.Id = row;
    end.Result = RunFromStart(S.Rows_[row].Rule, alone, field, position);
    end.Position = position;
    end.Field = &field;
    StartedAt[row] = 0;
    Ended(end);
}

bool Survey::Worker::Next(LaneRunner::Job& job)
{
    for (;;)
    {
        const std::size_t row = NextRow();
        if (row == None)
            return false;
        if (CanCycle(S.Rows_[row].Rule))
        {
            RunAlone(row);
            continue;
        }
        job = LaneRunner::Job{};
        job.Id = row;
        job.Rule = AIOf(S.Rows_[row].Rule);
        StartedAt[row] = 0;
        SavedAt[row] = Clock::now();
        std::optional<RunState> state;
        if (KeepStates && S.HasState[row] && !FromStart[row])
            state = S.ReadState(row); // checked again: another survey may have written it
        if (state && state->Ended &&
            (state->Outcome != RunOutcome::Cap || state->Iterations == S.Cap))
        {
            // It ended in an earlier survey (one that was stopped, or a shorter one).
            Record(row, S.EndingOf(*state));
            continue;
        }
        if (state)
        {
            PackedField& field = Continued.insert_or_assign(row, state->Restore()).first->second;
            job.Field = &field;
            job.Position = state->Position;
            job.Done = StartedAt[row] = state->Iterations;
            job.Resumed = true;
        }
        return true;
    }
}

std::size_t Survey::Worker::NextRow()
{
    if (!Queued.empty())
    {
        const std::size_t row = Queued.back();
        Queued.pop_back();
        return row;
    }
    for (;;)
    {
        const std::size_t i = S.Pool.TakeNext();
        if (i >= S.Plan.Pairs().size() || (Stop && Stop->load()))
            return None;
        auto [first, mirror] = S.Plan.Pairs()[i];
        if (mirror == SurveyPlan::NoMirror)
        {
            if (S.Rows_[first].Done)
                continue; // known
            return first;
        }
        if (S.Rows_[first].Done)
            std::swap(first, mirror);
        if (S.Rows_[first].Done)
            continue; // both known
        MirrorOf[first] = S.Rows_[mirror].Done ? None : mirror;
        return first;
    }
}

Survey::Survey(int fromLetters, int toLetters, std::uint64_t cap)
    : Survey(SurveyPlan(fromLetters, toLetters), cap)
{
}

Survey::Survey(SurveyPlan plan, std::uint64_t cap)
    : Plan(std::move(plan)), Cap(cap), Lanes(LaneRunner::Lanes)
{
    for (const std::string& rule : Plan.AllRules())
    {
        SurveyRow row;
        row.Rule = rule;
        Rows_.push_back(std::move(row));
    }
}

int Survey::Run(int jobs, const std::atomic<bool>* stop, const Progress& progress,
                std::chrono::milliseconds interval)
{
    if (!StateDirectory.empty())
    {
        Store.emplace(StateDirectory, Cap, HighwayMaxPeriod, Size, Plane);
        CheckStates();
    }
    // Each worker's runs share the memory by the threads asked for, started or not.
    Threads = std::max(jobs, 1);
    ShareMemory();
    const int started = Pool.Run(
        jobs, [this, stop] { Worker(*this, stop).Run(); }, DoneOf(progress), interval);
    // A worker that failed before its first rule lost nothing: the others ran them all.
    CountRowsAfterFailure();
    if (!Failed())
        RunWithAllMemory(Threads, stop, progress, interval);
    return started;
}

SurveyPool::Progress Survey::DoneOf(const Progress& progress) const
{
    return [this, &progress](std::size_t done)
    {
        if (progress)
            progress(done, RuleCount());
    };
}

void Survey::SetGeometry(int size, bool plane, std::uint64_t maxMemory)
{
    Size = size;
    Plane = plane;
    MaxMemory = maxMemory;
}

void Survey::SetShard(int index, int count)
{
    Plan.SetShard(index, count);
}

std::vector<std::string> Survey::Rules() const
{
    std::vector<std::string> rules;
    for (const auto& [first, mirror] : Plan.Pairs())
    {
        rules.push_back(Rows_[first].Rule);
        if (mirror != SurveyPlan::NoMirror)
            rules.push_back(Rows_[mirror].Rule);
    }
    return rules;
}

bool Survey::SetKnown(const SurveyRow& row)
{
    const std::size_t index = Plan.IndexOf(row.Rule);
    if (index >= Rows_.size() || !Plan.Takes(index))
        return false;
    if (!Rows_[index].Done)
        Pool.CountDone(1);
    Rows_[index] = row;
    Rows_[index].Done = true;
    return true;
}

std::optional<RunState> Survey::ReadState(std::size_t row) const
{
    return Store->Read(Rows_[row].Rule);
}

void Survey::CheckStates()
{
    HasState.assign(Rows_.size(), false);
    for (const auto& pair : Plan.Pairs())
        for (const std::size_t row : {pair.first, pair.second})
            if (row != SurveyPlan::NoMirror && !Rows_[row].Done && !CanCycle(Rows_[row].Rule))
                HasState[row] = ReadState(row).has_value();
}

std::size_t Survey::DoneCount() const
{
    return Pool.DoneCount();
}

Survey::Ending Survey::EndingOf(const RunState& state) const
{
    const PackedField field = state.Restore();
    Ending ending;
    ending.Result.Outcome = state.Outcome;
    ending.Result.Iterations = state.Iterations;
    ending.Result.Period = state.Period;
    ending.Result.Highway = state.Highway;
    ending.Position = state.Position;
    ending.Growth = FieldSummary::BoundsOf(field);
    ending.TouchedColumnZero = SurveyPlan::TouchedUnmirrored(field, state.Position);
    ending.Type = TypeOf(state.Rule, field, state.Position, ending.Result);
    // The mirror's state may not be saved yet.
    if (state.Outcome == RunOutcome::Cap)
        ending.State = state;
    ending.Saved = true;
    return ending;
}

void Survey::Enter(SurveyRow& row, const RunResult& result, const AntPosition& position,
                   const FieldSummary& growth)
{
    row.Outcome = result.Outcome;
    row.Iterations = result.Iterations;
    row.Period = result.Period;
    row.Position = position;
    row.Highway = result.Highway;
    row.Growth = growth;
    row.Done = true;
}

std::optional<HighwayType> Survey::TypeOf(const std::string& rule, const PackedField& field,
                                          const AntPosition& end, const RunResult& result) const
{
    if (!Types || !result.Highway.Found)
        return std::nullopt;
    return HighwayType::OfRun(field, end, AIOf(rule), result);
}

RunOptions Survey::Options(std::uint64_t maxMemory, const std::atomic<bool>* stop) const
{
    RunOptions options;
    options.Cap = Cap;
    options.Stop = stop;
    options.HighwayMaxPeriod = HighwayMaxPeriod;
    options.Size = Size;
    options.Plane = Plane;
    options.MaxMemory = maxMemory;
    options.ProveAtMemory = maxMemory >= MaxMemory;
    return options;
}

RunResult Survey::RunFromStart(const std::string& rule, const RunOptions& options,
                               PackedField& field, AntPosition& position)
{
    const AntAI ai = AIOf(rule);
    position = AntPosition{field.StartX(), field.StartY(), Ant::StartDirection};
    Runner runner;
    return CanCycle(rule) ? runner.Run<CycleProof::On>(field, position, ai, options)
                          : runner.Run<CycleProof::Off>(field, position, ai, options);
}

void Survey::ShareMemory()
{
    // A run alone (one that can cycle) holds its memory while the lanes keep theirs: it
    // gets room for its field, the proof's copy and a little more. Each lane has a quarter
    // of an equal share of the rest and borrows from the other three quarters while it
    // needs more (most runs need little, a few a lot), up to a quarter of all: a run that
    // finds too little runs again with all of the memory, so it repeats at most that much
    // of its growth. (Loans up to half of all left fewer runs of 7 letters at 10^8 to run
    // again, but cost more than they saved where many runs end as memory.)
    const auto threads = static_cast<std::uint64_t>(Threads);
    AloneMemory = std::min(2 * PackedField::BytesFor(Size, Plane) + (std::uint64_t{1} << 20),
                           MaxMemory / 2 / threads);
    const std::uint64_t lanes = threads * static_cast<std::uint64_t>(std::max(Lanes, 1));
    const std::uint64_t all = MaxMemory - threads * AloneMemory;
    LaneMemory = all / lanes / 4;
    Lender.emplace(all - lanes * LaneMemory,
                   MaxMemory / 4 > LaneMemory ? MaxMemory / 4 - LaneMemory : 0);
}

void Survey::RunWithAllMemory(int jobs, const std::atomic<bool>* stop, const Progress& progress,
                              std::chrono::milliseconds interval)
{
    std::sort(OutgrewShare.begin(), OutgrewShare.end());
    std::vector<std::size_t> alone;
    // A run that ends within a part of the memory ends as it would with all of it, as a
    // lane's does; the rest need all of it, so they wait for one another.
    if (jobs > 1 && OutgrewShare.size() > 1)
    {
        std::mutex aloneMutex;
        std::atomic<std::size_t> next{0};
        const std::uint64_t part = MaxMemory / static_cast<std::uint64_t>(jobs);
        const auto threads = static_cast<int>(
            std::min<std::size_t>(static_cast<std::size_t>(jobs), OutgrewShare.size()));
        Pool.Run(
            threads,
            [&]
            {
                for (std::size_t i = next++; i < OutgrewShare.size(); i = next++)
                {
                    if (stop && stop->load())
                        return;
                    if (!RunAgain(OutgrewShare[i], part, stop, nullptr))
                    {
                        const std::lock_guard<std::mutex> lock(aloneMutex);
                        alone.push_back(OutgrewShare[i]);
                    }
                }
            },
            DoneOf(progress), interval);
        if (Failed())
            return;
        std::sort(alone.begin(), alone.end());
    }
    else
    {
        alone = OutgrewShare;
    }
    for (const std::size_t index : alone)
    {
        if (stop && stop->load())
            return;
        RunAgain(index, MaxMemory, stop, progress);
    }
}

bool Survey::RunAgain(std::size_t index, std::uint64_t maxMemory, const std::atomic<bool>* stop,
                      const Progress& progress)
{
    SurveyRow& row = Rows_[index];
    PackedField field(Size, Plane);
    AntPosition position;
    const RunResult result = RunFromStart(row.Rule, Options(maxMemory, stop), field, position);
    Stepped += result.Iterations;
    if (result.Outcome == RunOutcome::Stopped)
        return true;
    if (result.Outcome == RunOutcome::Memory && maxMemory < MaxMemory)
        return false;
    Enter(row, result, position, FieldSummary::BoundsOf(field));
    row.Type = TypeOf(row.Rule, field, position, result);
    Pool.CountDone(1);
    if (progress)
        progress(DoneCount(), RuleCount());
    return true;
}

void Survey::CountRowsAfterFailure()
{
    if (!Pool.Failure())
        return;
    Pool.SetDoneCount(static_cast<std::size_t>(
        std::count_if(Rows_.begin(), Rows_.end(), [](const SurveyRow& row) { return row.Done; })));
}
