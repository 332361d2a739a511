#include "Survey.h"

#include "Ant.h"
#include "AntField.h"

#include <memory>
#include <system_error>
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

Survey::Survey(int fromLetters, int toLetters, std::uint64_t cap) : Cap(cap)
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
    catch (const std::system_error&)
    {
        // Out of threads or address space: go on with the workers that did start.
    }
    const int started = static_cast<int>(workers.size());
    if (started == 0)
    {
        Work(stop);
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
            progress(done, Rows_.size());
    }
    for (std::thread& worker : workers)
        worker.join();
    return started;
}

std::size_t Survey::DoneCount() const
{
    const std::lock_guard<std::mutex> lock(Mutex);
    return Done;
}

void Survey::Work(const std::atomic<bool>* stop)
{
    auto field = std::make_unique<AntField>();
    Ant ant;
    Runner runner;
    while (!(stop && stop->load(std::memory_order_relaxed)))
    {
        const std::size_t i = Next.fetch_add(1);
        if (i >= Pairs.size())
            break;
        SurveyRow& row = Rows_[Pairs[i].first];
        SurveyRow& mirror = Rows_[Pairs[i].second];
        if (!RunRule(row, *field, ant, runner, stop))
            break;
        if (row.Outcome == RunOutcome::Cap && !TouchedColumnZero(*field, ant))
        {
            mirror = MirrorRow(row);
            CountDone();
        }
        else if (!RunRule(mirror, *field, ant, runner, stop))
        {
            break;
        }
    }
    const std::lock_guard<std::mutex> lock(Mutex);
    ++WorkersEnded;
    Changed.notify_all();
}

bool Survey::RunRule(SurveyRow& row, AntField& field, Ant& ant, Runner& runner,
                     const std::atomic<bool>* stop)
{
    field.Clear();
    ant = Ant();
    ant.SetRule(row.Rule);
    RunOptions options;
    options.Cap = Cap;
    options.Stop = stop;
    const RunResult result = runner.Run<CycleProof::On>(field, ant, options);
    if (result.Outcome == RunOutcome::Stopped)
        return false;
    row.Outcome = result.Outcome;
    row.Iterations = result.Iterations;
    row.Period = result.Period;
    row.Position = ant.GetPosition();
    row.Done = true;
    CountDone();
    return true;
}

void Survey::CountDone()
{
    const std::lock_guard<std::mutex> lock(Mutex);
    ++Done;
    Changed.notify_all();
}

// A visited cell never turns blank again, so a blank column 0 shows it was not touched.
bool Survey::TouchedColumnZero(const AntField& field, const Ant& ant)
{
    if (ant.GetPosition().X == 0)
        return true;
    for (int y = 0; y < AntField::FieldSize; ++y)
        if (field.GetCell(0, y) != 0)
            return true;
    return false;
}

SurveyRow Survey::MirrorRow(const SurveyRow& row)
{
    SurveyRow mirror = row;
    mirror.Rule = MirrorRule(row.Rule);
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
