#include "Survey.h"

#include "Ant.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <map>
#include <optional>
#include <stdexcept>
#include <thread>

#include <sys/stat.h>

namespace
{
// Runs in stretches lose nothing when each stretch starts the cycle proof anew: only rules
// that cannot cycle run in stretches (Rule::CanCycle).
bool CanCycle(const std::string& rule)
{
    return Rule::CanCycle(rule);
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
    bool Saved = false;            // State is the rule's file already
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
        CountRowsAfterFailure();
        if (!Failed())
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
    CountRowsAfterFailure();
    if (!Failed())
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

std::optional<RunState> Survey::ReadState(std::size_t row) const
{
    const std::string& rule = Rows_[row].Rule;
    const std::string path = StateFile(StateDirectory, rule);
    struct stat status
    {
    };
    if (::stat(path.c_str(), &status) != 0 && errno == ENOENT)
        return std::nullopt;
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
    if (state.FieldSize != Size || state.Plane != Plane)
        RefuseState(path, rule,
                    "holds a run on " + RunState::FieldName(state.FieldSize, state.Plane) +
                        ", not on this survey's " + RunState::FieldName(Size, Plane));
    const bool endedHere = state.Ended && state.Outcome != RunOutcome::Cap;
    if (state.Iterations > Cap || (state.Ended && state.Iterations == Cap && !endedHere &&
                                   state.HighwayMaxPeriod != HighwayMaxPeriod))
        RefuseState(path, rule,
                    "is at " + std::to_string(state.Iterations) +
                        " iterations, beyond this survey's cap or of another period limit");
    if (state.Ended && state.HighwayMaxPeriod != HighwayMaxPeriod && endedHere)
        RefuseState(path, rule, "holds a result for another period limit");
    return state;
}

void Survey::CheckStates()
{
    HasState.assign(Rows_.size(), false);
    for (const auto& pair : Pairs)
        for (const std::size_t row : {pair.first, pair.second})
            if (!Rows_[row].Done && !CanCycle(Rows_[row].Rule))
                HasState[row] = ReadState(row).has_value();
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
    using Clock = std::chrono::steady_clock;
    const bool keepStates = !StateDirectory.empty();
    const std::size_t none = Rows_.size();
    // A pair's first rule runs first; its mirror runs only when the first's row cannot
    // be mirrored, and then on this thread, queued here.
    std::vector<std::size_t> queued;
    std::vector<std::size_t> mirrorOf(Rows_.size(), none);
    // Per row, while it runs: where it started, when it was last saved, and the field of
    // a run continued from its state.
    std::vector<std::uint64_t> startedAt(Rows_.size(), 0);
    std::vector<Clock::time_point> savedAt(Rows_.size());
    std::vector<bool> hasFile = HasState;
    hasFile.resize(Rows_.size(), false);
    std::vector<bool> fromStart(Rows_.size(), false);
    std::map<std::size_t, PackedField> continued;
    Runner single;
    RunOptions options;
    options.Cap = Cap;
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
    auto save = [&](const RunState& state, std::size_t row)
    {
        Save(state);
        hasFile[row] = true;
        savedAt[row] = Clock::now();
    };
    if (keepStates)
        options.AtSnapshot = [&](std::size_t id, const PackedField& field, const AntPosition& ant,
                                 std::uint64_t done)
        {
            if (Clock::now() - savedAt[id] >= SaveInterval)
                save(RunState::Of(Rows_[id].Rule, done, field, ant, Size), id);
            return false;
        };

    auto record = [&](std::size_t index, const Ending& end)
    {
        SurveyRow& row = Rows_[index];
        Enter(row, end.Result, end.Position, end.Growth);
        if (end.State && !end.Saved)
            save(*end.State, index);
        const std::size_t mirror = mirrorOf[index];
        if (mirror == none)
        {
            CountDone(1);
        }
        else if (row.Outcome == RunOutcome::Cap && !end.TouchedColumnZero)
        {
            Rows_[mirror] = MirrorRow(row, startX);
            if (end.State)
                save(end.State->Mirrored(Rows_[mirror].Rule), mirror);
            CountDone(2);
        }
        else
        {
            queued.push_back(mirror);
            CountDone(1);
        }
    };
    auto ended = [&](const LaneRunner::Ended& end)
    {
        const std::size_t id = end.Id;
        const bool resumed = continued.count(id) > 0;
        const std::string& rule = Rows_[id].Rule;
        const RunOutcome outcome = end.Result.Outcome;
        if (outcome != RunOutcome::Stopped)
            Stepped += end.Result.Iterations - startedAt[id];
        if (outcome == RunOutcome::Stopped)
        {
            if (keepStates && end.Result.Iterations > startedAt[id] && !CanCycle(rule))
                save(RunState::Of(rule, end.Result.Iterations, *end.Field, end.Position, Size), id);
        }
        else if (outcome == RunOutcome::Memory && (options.MaxMemory < MaxMemory || resumed))
        {
            // It outgrew only its share, or its state's field is not laid out as its run from
            // the start's: it runs again from the start with all of the memory once the others
            // are done, so that no row depends on the jobs, lanes or states.
            {
                const std::lock_guard<std::mutex> lock(Mutex);
                OutgrewShare.push_back(id);
            }
            if (mirrorOf[id] != none)
                queued.push_back(mirrorOf[id]);
        }
        else if (outcome == RunOutcome::Highway && resumed)
        {
            // Proven at a highway snapshot, whose iterations the run from the start chooses:
            // that run says where it ends.
            fromStart[id] = true;
            queued.push_back(id);
        }
        else
        {
            Ending ending;
            ending.Result = end.Result;
            ending.Position = end.Position;
            ending.Growth = FieldSummary::Of(*end.Field);
            ending.TouchedColumnZero = TouchedUnmirrored(*end.Field, end.Position);
            // Kept at the cap, and over any state of the rule, so that a survey started
            // again need not run it again; but not a highway's end on the plane, which
            // depends on the cap (see the ended states in next).
            if (keepStates &&
                (outcome == RunOutcome::Cap || (hasFile[id] && outcome != RunOutcome::Highway)))
            {
                ending.State =
                    RunState::Of(rule, end.Result.Iterations, *end.Field, end.Position, Size);
                ending.State->Ended = true;
                ending.State->Outcome = outcome;
                ending.State->Period = end.Result.Period;
                ending.State->HighwayMaxPeriod = HighwayMaxPeriod;
                ending.State->Highway = end.Result.Highway;
            }
            record(id, ending);
        }
        continued.erase(id);
    };
    // Only rules of one letter kind can cycle (see CanCycle): they run alone with the
    // cycle proof, so the lanes carry no proof's test on their chains. They end within a
    // few dozen iterations, so they always run from the start.
    auto runAlone = [&](std::size_t row)
    {
        PackedField field(Size, Plane);
        AntPosition position;
        RunOptions alone = options;
        alone.AtSnapshot = nullptr;
        alone.Cap = Cap;
        alone.MaxMemory = aloneMemory;
        LaneRunner::Ended end;
        end.Id = row;
        end.Result = RunFromStart(Rows_[row].Rule, alone, single, field, position);
        end.Position = position;
        end.Field = &field;
        startedAt[row] = 0;
        ended(end);
    };
    auto next = [&](LaneRunner::Job& job)
    {
        for (;;)
        {
            std::size_t row = none;
            if (!queued.empty())
            {
                row = queued.back();
                queued.pop_back();
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
                row = first;
            }
            if (CanCycle(Rows_[row].Rule))
            {
                runAlone(row);
                continue;
            }
            job = LaneRunner::Job{};
            job.Id = row;
            Ant ant;
            ant.SetRule(Rows_[row].Rule);
            job.Rule = ant.GetAI();
            startedAt[row] = 0;
            savedAt[row] = Clock::now();
            std::optional<RunState> state;
            if (keepStates && HasState[row] && !fromStart[row])
                state = ReadState(row); // checked again: another survey may have written it
            if (state && state->Ended &&
                (state->Outcome != RunOutcome::Cap || state->Iterations == Cap))
            {
                // It ended in an earlier survey (one that was stopped, or a shorter one).
                record(row, EndingOf(*state));
                continue;
            }
            if (state)
            {
                PackedField& field =
                    continued.insert_or_assign(row, state->Restore()).first->second;
                job.Field = &field;
                job.Position = state->Position;
                job.Done = startedAt[row] = state->Iterations;
                job.Resumed = true;
            }
            return true;
        }
    };
    LaneRunner runner;
    runner.Run<CycleProof::Off>(next, ended, options, Lanes);
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
    ending.Growth = FieldSummary::Of(field);
    ending.TouchedColumnZero = TouchedUnmirrored(field, state.Position);
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

// A failure may strike between a row's entry and its count (its state failing to save): the
// rows entered are done, and the count printed beside them must say as many.
void Survey::CountRowsAfterFailure()
{
    if (!Failure)
        return;
    const std::lock_guard<std::mutex> lock(Mutex);
    Done = static_cast<std::size_t>(
        std::count_if(Rows_.begin(), Rows_.end(), [](const SurveyRow& row) { return row.Done; }));
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
