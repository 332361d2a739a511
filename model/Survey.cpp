#include "Survey.h"

#include "Ant.h"
#include "AntField.h"

#include <exception>
#include <thread>

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
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(jobs));
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
    return started;
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
    // A pair's first rule runs first; its mirror runs only when the first's row cannot
    // be mirrored, and then on this thread, queued here.
    std::vector<std::size_t> mirrorsToRun;
    std::vector<std::size_t> mirrorOf(Rows_.size(), Rows_.size());
    auto next = [&](LaneRunner::Job& job)
    {
        std::size_t row = 0;
        if (!mirrorsToRun.empty())
        {
            row = mirrorsToRun.back();
            mirrorsToRun.pop_back();
        }
        else
        {
            const std::size_t i = Next.fetch_add(1);
            if (i >= Pairs.size())
                return false;
            row = Pairs[i].first;
            mirrorOf[row] = Pairs[i].second;
        }
        Ant ant;
        ant.SetRule(Rows_[row].Rule);
        job.Id = row;
        job.Rule = ant.GetAI();
        return true;
    };
    auto ended = [&](const LaneRunner::Ended& end)
    {
        SurveyRow& row = Rows_[end.Id];
        row.Outcome = end.Result.Outcome;
        row.Iterations = end.Result.Iterations;
        row.Period = end.Result.Period;
        row.Position = end.Position;
        row.Highway = end.Result.Highway;
        row.Growth = FieldSummary::OfPacked(end.Cells);
        row.Growth.Colours = {};
        row.Done = true;
        const std::size_t mirror = mirrorOf[end.Id];
        if (mirror == Rows_.size())
        {
            CountDone(1);
        }
        else if (row.Outcome == RunOutcome::Cap && !TouchedColumnZero(end.Cells, end.Position))
        {
            Rows_[mirror] = MirrorRow(row);
            CountDone(2);
        }
        else
        {
            mirrorsToRun.push_back(mirror);
            CountDone(1);
        }
    };
    LaneRunner runner;
    RunOptions options;
    options.Cap = Cap;
    options.Stop = stop;
    options.HighwayMaxPeriod = HighwayMaxPeriod;
    runner.Run<CycleProof::On>(next, ended, options, Lanes);
}

void Survey::CountDone(std::size_t rows)
{
    const std::lock_guard<std::mutex> lock(Mutex);
    Done += rows;
    Changed.notify_all();
}

// A visited cell never turns blank again, so a blank column 0 shows it was not touched.
bool Survey::TouchedColumnZero(const std::uint8_t* packedCells, const AntPosition& position)
{
    if (position.X == 0)
        return true;
    for (int y = 0; y < AntField::FieldSize; ++y)
        if (packedCells[PackedField::Index(0, y)] != 0)
            return true;
    return false;
}

SurveyRow Survey::MirrorRow(const SurveyRow& row)
{
    SurveyRow mirror = row;
    mirror.Rule = MirrorRule(row.Rule);
    mirror.Highway.DriftX = -row.Highway.DriftX;
    if (row.Growth.Visited > 0)
    {
        mirror.Growth.MinX = 2 * Ant::StartX - row.Growth.MaxX;
        mirror.Growth.MaxX = 2 * Ant::StartX - row.Growth.MinX;
    }
    const char d = row.Position.Direction;
    mirror.Position = AntPosition{2 * Ant::StartX - row.Position.X, row.Position.Y,
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
