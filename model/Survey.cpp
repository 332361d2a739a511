#include "Survey.h"

#include "Ant.h"
#include "AntField.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <optional>
#include <stdexcept>
#include <thread>

#include <sys/stat.h>

namespace
{
// With states kept, a lane run from iteration 0 stops here and goes on on the single
// runner, which saves between stretches: a lane run this long takes seconds.
constexpr std::uint64_t LaneStretch = std::uint64_t{1} << 28;
constexpr std::uint64_t FirstStretch = std::uint64_t{1} << 24;
constexpr std::uint64_t ShortestTail = std::uint64_t{1} << 17;

// A theorem on this automaton: for any number of colours, a rule with both letters L and R
// has an unbounded trajectory on the unbounded plane. So on a bounded field its run must
// reach the border, and it never comes back to an earlier state (a repeat on the field
// would repeat on the plane too): its run needs no cycle proof, and one done in stretches
// loses nothing when each stretch starts the proof anew.
bool CanCycle(const std::string& rule)
{
    return rule.find('L') == std::string::npos || rule.find('R') == std::string::npos;
}

bool TouchesColumnZero(const AntField& field, const AntPosition& position)
{
    if (position.X == 0)
        return true;
    for (int y = 0; y < AntField::FieldSize; ++y)
        if (field.GetCell(0, y) != 0)
            return true;
    return false;
}

// A refused state file: the survey stops before any work rather than guess.
[[noreturn]] void RefuseState(const std::string& path, const std::string& rule,
                              const std::string& why)
{
    throw std::runtime_error("state file '" + path + "' " + why + "; remove it to run " + rule +
                             " from iteration 0");
}
} // namespace

struct Survey::Ending
{
    RunResult Result;
    AntPosition Position;
    FieldSummary Growth;
    bool TouchedColumnZero = true;
    std::optional<RunState> State; // the end state, kept when the survey keeps states
};

std::vector<std::string> Survey::RulesOf(int fromLetters, int toLetters)
{
    std::vector<std::string> rules;
    for (int n = fromLetters; n <= toLetters; ++n)
    {
        for (unsigned bits = 0; bits < (1u << n); ++bits)
        {
            std::string rule;
            for (int i = n - 1; i >= 0; --i)
                rule += (bits >> i) & 1u ? 'R' : 'L';
            rules.push_back(std::move(rule));
        }
    }
    return rules;
}

Survey::Survey(int fromLetters, int toLetters, std::uint64_t cap)
    : Cap(cap), Lanes(LaneRunner::Lanes)
{
    for (std::string& rule : RulesOf(fromLetters, toLetters))
    {
        SurveyRow row;
        row.Rule = std::move(rule);
        Rows_.push_back(std::move(row));
    }
    // In binary order the mirror of the rule at offset b of a block of 2^n rules is at
    // offset 2^n - 1 - b.
    for (std::size_t base = 0; base < Rows_.size();)
    {
        const std::size_t count = std::size_t{1} << Rows_[base].Rule.size();
        for (std::size_t b = 0; b < count / 2; ++b)
            Pairs.emplace_back(base + b, base + count - 1 - b);
        base += count;
    }
}

int Survey::Run(int jobs, const std::atomic<bool>* stop, const Progress& progress,
                std::chrono::milliseconds interval)
{
    if (!StateDirectory.empty())
        CheckStates();
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(jobs));
    // Each worker's runs share the memory by the threads asked for, started or not.
    Threads = std::max(jobs, 1);
    try
    {
        for (int j = 0; j < jobs; ++j)
            workers.emplace_back([this, stop] { Work(stop); });
    }
    catch (const std::exception&)
    {
        // Out of threads or address space: go on with the workers that did start.
    }
    const int started = static_cast<int>(workers.size());
    if (started == 0)
    {
        Work(stop);
        if (Failure)
            std::rethrow_exception(Failure);
        RunWithAllMemory(stop, progress);
        return 1;
    }
    for (bool allEnded = false; !allEnded;)
    {
        std::size_t done = 0;
        {
            std::unique_lock<std::mutex> lock(Mutex);
            Changed.wait_for(lock, interval, [&] { return WorkersEnded == started; });
            allEnded = WorkersEnded == started;
            done = Done;
        }
        if (progress && !allEnded)
            progress(done, RuleCount());
    }
    for (std::thread& worker : workers)
        worker.join();
    // A worker that failed before its first rule lost nothing: the others ran them all.
    if (Failure && DoneCount() < RuleCount() && !(stop && stop->load()))
        std::rethrow_exception(Failure);
    RunWithAllMemory(stop, progress);
    return started;
}

void Survey::SetGeometry(int size, bool plane, std::uint64_t maxMemory)
{
    Size = size;
    Plane = plane;
    MaxMemory = maxMemory;
}

void Survey::SetShard(int index, int count)
{
    // Every count-th pair, so each slice gets rules of every length, short and long.
    std::vector<std::pair<std::size_t, std::size_t>> slice;
    for (std::size_t i = static_cast<std::size_t>(index); i < Pairs.size();
         i += static_cast<std::size_t>(count))
        slice.push_back(Pairs[i]);
    Pairs = std::move(slice);
}

std::vector<std::string> Survey::Rules() const
{
    std::vector<std::string> rules;
    for (const auto& [first, mirror] : Pairs)
    {
        rules.push_back(Rows_[first].Rule);
        rules.push_back(Rows_[mirror].Rule);
    }
    return rules;
}

std::size_t Survey::IndexOf(const std::string& rule) const
{
    // Shortest first, each length in binary order with L as 0.
    const auto from = Rows_.front().Rule.size();
    if (rule.size() < from || rule.size() > Rows_.back().Rule.size())
        return Rows_.size();
    std::size_t index = 0;
    for (std::size_t n = from; n < rule.size(); ++n)
        index += std::size_t{1} << n;
    std::size_t bits = 0;
    for (const char letter : rule)
    {
        if (letter != 'L' && letter != 'R')
            return Rows_.size();
        bits = bits * 2 + (letter == 'R' ? 1 : 0);
    }
    return index + bits;
}

bool Survey::SetKnown(const SurveyRow& row)
{
    if (InSurvey.empty())
    {
        InSurvey.assign(Rows_.size(), false);
        for (const auto& [first, mirror] : Pairs)
            InSurvey[first] = InSurvey[mirror] = true;
    }
    const std::size_t index = IndexOf(row.Rule);
    if (index >= Rows_.size() || !InSurvey[index])
        return false;
    if (!Rows_[index].Done)
        CountDone(1);
    Rows_[index] = row;
    Rows_[index].Done = true;
    return true;
}

std::string Survey::StateFile(const std::string& directory, const std::string& rule)
{
    return directory + "/" + rule + ".state";
}

void Survey::Save(const RunState& state) const
{
    state.Write(StateFile(StateDirectory, state.Rule));
}

void Survey::CheckStates()
{
    HasState.assign(Rows_.size(), false);
    for (const auto& pair : Pairs)
    {
        for (const std::size_t row : {pair.first, pair.second})
        {
            if (Rows_[row].Done)
                continue;
            const std::string& rule = Rows_[row].Rule;
            const std::string path = StateFile(StateDirectory, rule);
            struct stat status
            {
            };
            if (::stat(path.c_str(), &status) != 0 && errno == ENOENT)
                continue;
            RunState state;
            try
            {
                state = RunState::Read(path);
            }
            catch (const RunState::Refused& refused)
            {
                RefuseState(path, rule, std::string("is refused: ") + refused.what());
            }
            if (state.Rule != rule)
                RefuseState(path, rule, "holds a run of " + state.Rule);
            const bool endedHere = state.Ended && state.Outcome != RunOutcome::Cap;
            if (state.Iterations > Cap || (state.Ended && state.Iterations == Cap && !endedHere &&
                                           state.HighwayMaxPeriod != HighwayMaxPeriod))
                RefuseState(path, rule,
                            "is at " + std::to_string(state.Iterations) +
                                " iterations, beyond this survey's cap or of another period limit");
            if (state.Ended && state.HighwayMaxPeriod != HighwayMaxPeriod && endedHere)
                RefuseState(path, rule, "holds a result for another period limit");
            HasState[row] = true;
        }
    }
}

std::size_t Survey::DoneCount() const
{
    const std::lock_guard<std::mutex> lock(Mutex);
    return Done;
}

void Survey::Work(const std::atomic<bool>* stop)
{
    try
    {
        WorkOn(stop);
    }
    catch (const std::exception&)
    {
        // Out of memory in a worker: the others go on; Run reports it once all ended.
        const std::lock_guard<std::mutex> lock(Mutex);
        if (!Failure)
            Failure = std::current_exception();
    }
    const std::lock_guard<std::mutex> lock(Mutex);
    ++WorkersEnded;
    Changed.notify_all();
}

void Survey::WorkOn(const std::atomic<bool>* stop)
{
    const bool keepStates = !StateDirectory.empty();
    const std::size_t none = Rows_.size();
    // A pair's first rule runs first; its mirror runs only when the first's row cannot
    // be mirrored, and then on this thread, queued here. Runs from a saved state go to
    // the single runner, which this thread works through between lane jobs.
    std::vector<std::size_t> lanesToRun;
    std::vector<std::pair<std::size_t, std::optional<RunState>>> toContinue;
    std::vector<std::size_t> mirrorOf(Rows_.size(), none);
    Runner single;
    bool stopped = false;
    RunOptions options;
    options.Cap = keepStates ? std::min(Cap, LaneStretch) : Cap;
    options.Stop = stop;
    options.HighwayMaxPeriod = HighwayMaxPeriod;
    options.Size = Size;
    options.Plane = Plane;
    // A run alone (one that can cycle) holds its memory while the lanes keep theirs: it
    // gets room for its field, the proof's copy and a little more, the lanes share the
    // rest, and one that needs more runs again with all of it, like a lane's.
    const auto threads = static_cast<std::uint64_t>(Threads);
    const std::uint64_t aloneMemory = std::min(
        2 * PackedField::BytesFor(Size, Plane) + (std::uint64_t{1} << 20), MaxMemory / 2 / threads);
    options.MaxMemory = (MaxMemory - threads * aloneMemory) /
                        (threads * static_cast<std::uint64_t>(std::max(Lanes, 1)));
    const int startX = PackedField(Size, Plane).StartX();

    auto dispatch = [&](std::size_t row)
    {
        if (keepStates && HasState[row])
            toContinue.emplace_back(row, std::nullopt);
        else
            lanesToRun.push_back(row);
    };
    auto record = [&](std::size_t index, const Ending& end)
    {
        SurveyRow& row = Rows_[index];
        Enter(row, end.Result, end.Position, end.Growth);
        if (end.State)
            Save(*end.State);
        const std::size_t mirror = mirrorOf[index];
        if (mirror == none)
        {
            CountDone(1);
        }
        else if (row.Outcome == RunOutcome::Cap && !end.TouchedColumnZero)
        {
            Rows_[mirror] = MirrorRow(row, startX);
            if (end.State)
                Save(end.State->Mirrored(Rows_[mirror].Rule));
            CountDone(2);
        }
        else
        {
            dispatch(mirror);
            CountDone(1);
        }
    };
    auto ended = [&](const LaneRunner::Ended& end)
    {
        if (end.Result.Outcome == RunOutcome::Stopped)
            return;
        if (end.Result.Outcome == RunOutcome::Memory && options.MaxMemory < MaxMemory)
        {
            // It outgrew only its share: it runs again with all of the memory once the
            // others are done, so that no row depends on the jobs and lanes.
            {
                const std::lock_guard<std::mutex> lock(Mutex);
                OutgrewShare.push_back(end.Id);
            }
            if (mirrorOf[end.Id] != none)
                dispatch(mirrorOf[end.Id]);
            return;
        }
        const std::string& rule = Rows_[end.Id].Rule;
        if (end.Result.Outcome == RunOutcome::Cap && end.Result.Iterations < Cap)
        {
            // Only a lane stretch: on to the single runner.
            toContinue.emplace_back(
                end.Id, RunState::OfPacked(rule, end.Result.Iterations, *end.Field, end.Position));
            return;
        }
        Ending ending;
        ending.Result = end.Result;
        ending.Position = end.Position;
        ending.Growth = FieldSummary::Of(*end.Field);
        ending.TouchedColumnZero = TouchedUnmirrored(*end.Field, end.Position);
        if (keepStates && end.Result.Outcome == RunOutcome::Cap)
        {
            ending.State =
                RunState::OfPacked(rule, end.Result.Iterations, *end.Field, end.Position);
            ending.State->Ended = true;
            ending.State->HighwayMaxPeriod = HighwayMaxPeriod;
            ending.State->Highway = end.Result.Highway;
        }
        record(end.Id, ending);
    };
    // Only rules of one letter kind can cycle (see CanCycle): they run alone with the
    // cycle proof, so the lanes carry no proof's test on their chains.
    auto runAlone = [&](std::size_t row)
    {
        PackedField field(Size, Plane);
        AntPosition position;
        RunOptions alone = options;
        alone.Cap = Cap;
        alone.MaxMemory = aloneMemory;
        LaneRunner::Ended end;
        end.Id = row;
        end.Result = RunFromStart(Rows_[row].Rule, alone, single, field, position);
        Stepped += end.Result.Iterations;
        end.Position = position;
        end.Field = &field;
        ended(end);
    };
    auto next = [&](LaneRunner::Job& job)
    {
        for (;;)
        {
            while (!toContinue.empty())
            {
                auto [row, from] = std::move(toContinue.back());
                toContinue.pop_back();
                Ending ending;
                if (!Continue(row,
                              from ? std::move(*from)
                                   : RunState::Read(StateFile(StateDirectory, Rows_[row].Rule)),
                              single, ending, stop))
                {
                    stopped = true;
                    return false;
                }
                record(row, ending);
            }
            std::size_t row = none;
            if (!lanesToRun.empty())
            {
                row = lanesToRun.back();
                lanesToRun.pop_back();
            }
            else
            {
                const std::size_t i = Next.fetch_add(1);
                if (i >= Pairs.size() || (stop && stop->load()))
                    return false;
                auto [first, mirror] = Pairs[i];
                if (Rows_[first].Done)
                    std::swap(first, mirror);
                if (Rows_[first].Done)
                    continue; // both known
                mirrorOf[first] = Rows_[mirror].Done ? none : mirror;
                if (keepStates && HasState[first])
                {
                    dispatch(first);
                    continue;
                }
                row = first;
            }
            if (CanCycle(Rows_[row].Rule) && !(keepStates && HasState[row]))
            {
                runAlone(row);
                continue;
            }
            Ant ant;
            ant.SetRule(Rows_[row].Rule);
            job.Id = row;
            job.Rule = ant.GetAI();
            return true;
        }
    };
    LaneRunner runner;
    runner.Run<CycleProof::Off>(next, ended, options, Lanes);
    // Lane stretches that ended after the last job was handed out.
    Ending ending;
    while (!stopped && !toContinue.empty() && !(stop && stop->load()))
    {
        auto [row, from] = std::move(toContinue.back());
        toContinue.pop_back();
        if (!Continue(row,
                      from ? std::move(*from)
                           : RunState::Read(StateFile(StateDirectory, Rows_[row].Rule)),
                      single, ending, stop))
            break;
        record(row, ending);
    }
}

bool Survey::Continue(std::size_t row, RunState from, Runner& runner, Ending& ending,
                      const std::atomic<bool>* stop)
{
    const std::string rule = Rows_[row].Rule;
    if (from.Ended && (from.Outcome != RunOutcome::Cap || from.Iterations == Cap))
    {
        // It ended in an earlier survey (one that was stopped, or a shorter one).
        AntField field;
        from.Restore(field);
        ending.Result.Outcome = from.Outcome;
        ending.Result.Iterations = from.Iterations;
        ending.Result.Period = from.Period;
        ending.Result.Highway = from.Highway;
        ending.Position = from.Position;
        ending.Growth = FieldSummary::Of(field);
        ending.TouchedColumnZero = TouchesColumnZero(field, from.Position);
        ending.State = std::nullopt;
        if (from.Outcome == RunOutcome::Cap && !StateDirectory.empty())
            ending.State = std::move(from); // the mirror's may not be saved yet
        return true;
    }
    const bool keepStates = !StateDirectory.empty();
    const bool proof = CanCycle(rule);
    // A stretch at least this long sees four periods of any highway looked for, with room.
    const std::uint64_t tail = HighwayMaxPeriod > 0 ? 4 * HighwayMaxPeriod + ShortestTail : 0;
    AntField field;
    Ant ant;
    ant.SetRule(rule);
    from.Restore(field);
    ant.SetPosition(from.Position);
    from.Ended = false;
    std::uint64_t done = from.Iterations;
    RunState stretchStart = std::move(from);
    std::optional<RunState> earlier;
    std::uint64_t stretch = FirstStretch;
    RunResult result;
    for (;;)
    {
        RunOptions options;
        options.Stop = stop;
        options.HighwayMaxPeriod = HighwayMaxPeriod;
        options.Cap = std::min(stretch, Cap - done);
        // The last stretch is long enough to show the highway.
        if (Cap - done - options.Cap <= tail)
            options.Cap = Cap - done;
        const auto start = std::chrono::steady_clock::now();
        result = proof ? runner.Run<CycleProof::On>(field, ant, options)
                       : runner.Run<CycleProof::Off>(field, ant, options);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        Stepped += result.Iterations;
        done += result.Iterations;
        if (result.Outcome == RunOutcome::Stopped)
        {
            if (keepStates)
                Save(RunState::Of(rule, done, field, ant.GetPosition()));
            return false;
        }
        if (result.Outcome != RunOutcome::Cap || done == Cap)
            break;
        RunState now = RunState::Of(rule, done, field, ant.GetPosition());
        if (keepStates)
            Save(now);
        earlier = std::move(stretchStart);
        stretchStart = std::move(now);
        // Stretches of about half the save interval, so a save comes at least that often.
        const double rate = static_cast<double>(result.Iterations) / std::max(took.count(), 1e-3);
        const double wanted = rate * static_cast<double>(SaveInterval.count()) / 2;
        stretch = std::clamp(static_cast<std::uint64_t>(wanted), FirstStretch, stretch * 8);
    }
    result.Iterations = done;
    // A stretch's highway is the run's unless the stretch is short or the highway's
    // repetition reaches back to the stretch's start, where it may have begun earlier:
    // then it comes from a replay of a longer stretch, from the start if need be.
    auto settled = [&](const Highway& highway, std::uint64_t from)
    { return from == 0 || (done - from >= tail && !(highway.Found && highway.Onset == 0)); };
    std::optional<RunState> start;
    start.emplace(RunState::Of(rule, 0, AntField(), Ant().GetPosition()));
    for (std::optional<RunState>* base : {&earlier, &start})
    {
        if (HighwayMaxPeriod == 0 || settled(result.Highway, stretchStart.Iterations))
            break;
        if (!*base || done - (*base)->Iterations < tail)
            continue;
        AntField replayField;
        Ant replayAnt;
        replayAnt.SetRule(rule);
        (*base)->Restore(replayField);
        replayAnt.SetPosition((*base)->Position);
        RunOptions options;
        options.Cap = done - (*base)->Iterations;
        options.HighwayMaxPeriod = HighwayMaxPeriod;
        result.Highway = runner.Run<CycleProof::Off>(replayField, replayAnt, options).Highway;
        stretchStart.Iterations = (*base)->Iterations;
    }
    if (result.Highway.Found)
    {
        result.Highway.Onset += stretchStart.Iterations;
        result.Highway.CertifiedAt += stretchStart.Iterations;
    }
    ending.Result = result;
    ending.Position = ant.GetPosition();
    ending.Growth = FieldSummary::Of(field);
    ending.TouchedColumnZero = TouchesColumnZero(field, ending.Position);
    ending.State = std::nullopt;
    if (keepStates)
    {
        // Kept whatever the end, so a survey started again need not run it again.
        ending.State = RunState::Of(rule, done, field, ending.Position);
        ending.State->Ended = true;
        ending.State->Outcome = result.Outcome;
        ending.State->Period = result.Period;
        ending.State->HighwayMaxPeriod = HighwayMaxPeriod;
        ending.State->Highway = result.Highway;
    }
    return true;
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
    row.Growth.Colours = {};
    row.Done = true;
}

RunResult Survey::RunFromStart(const std::string& rule, const RunOptions& options, Runner& runner,
                               PackedField& field, AntPosition& position)
{
    Ant ant;
    ant.SetRule(rule);
    position = AntPosition{field.StartX(), field.StartY(), Ant::StartDirection};
    return CanCycle(rule) ? runner.Run<CycleProof::On>(field, position, ant.GetAI(), options)
                          : runner.Run<CycleProof::Off>(field, position, ant.GetAI(), options);
}

void Survey::RunWithAllMemory(const std::atomic<bool>* stop, const Progress& progress)
{
    std::sort(OutgrewShare.begin(), OutgrewShare.end());
    Runner runner;
    for (const std::size_t index : OutgrewShare)
    {
        if (stop && stop->load())
            return;
        SurveyRow& row = Rows_[index];
        PackedField field(Size, Plane);
        AntPosition position;
        RunOptions options;
        options.Cap = Cap;
        options.Stop = stop;
        options.HighwayMaxPeriod = HighwayMaxPeriod;
        options.MaxMemory = MaxMemory;
        const RunResult result = RunFromStart(row.Rule, options, runner, field, position);
        Stepped += result.Iterations;
        if (result.Outcome == RunOutcome::Stopped)
            return;
        Enter(row, result, position, FieldSummary::Of(field));
        CountDone(1);
        if (progress)
            progress(DoneCount(), RuleCount());
    }
}

void Survey::CountDone(std::size_t rows)
{
    const std::lock_guard<std::mutex> lock(Mutex);
    Done += rows;
    Changed.notify_all();
}

// A visited cell never turns blank again, so blank columns show they were not touched.
bool Survey::TouchedUnmirrored(const PackedField& field, const AntPosition& position)
{
    if (field.Unbounded())
        return false;
    // Column x mirrors to 2 * start - x, outside the field from x <= 2 * start - width on.
    const int last = 2 * field.StartX() - field.Width();
    if (position.X <= last)
        return true;
    for (int x = 0; x <= last; ++x)
        for (int y = 0; y < field.Height(); ++y)
            if (field.Colour(x, y) != 0)
                return true;
    return false;
}

SurveyRow Survey::MirrorRow(const SurveyRow& row, int startX)
{
    SurveyRow mirror = row;
    mirror.Rule = MirrorRule(row.Rule);
    mirror.Highway.DriftX = -row.Highway.DriftX;
    if (row.Growth.Visited > 0)
    {
        mirror.Growth.MinX = 2 * startX - row.Growth.MaxX;
        mirror.Growth.MaxX = 2 * startX - row.Growth.MinX;
    }
    const char d = row.Position.Direction;
    mirror.Position = AntPosition{2 * startX - row.Position.X, row.Position.Y,
                                  d == 'L'   ? 'R'
                                  : d == 'R' ? 'L'
                                             : d};
    return mirror;
}

std::string Survey::MirrorRule(const std::string& rule)
{
    std::string mirror = rule;
    for (char& letter : mirror)
        letter = letter == 'L' ? 'R' : letter == 'R' ? 'L' : letter;
    return mirror;
}
