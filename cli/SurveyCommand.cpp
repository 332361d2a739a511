#include "SurveyCommand.h"

#include "ArgumentText.h"
#include "AtomicFile.h"
#include "Interruption.h"
#include "LaneRunner.h"
#include "OptionChecks.h"
#include "ProgressBar.h"
#include "Record.h"
#include "RecordWriter.h"
#include "RuleNumber.h"
#include "RunDefaults.h"
#include "RuntimeFailure.h"
#include "StandardOutput.h"
#include "Survey.h"
#include "SurveyInput.h"
#include "SurveyRecords.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using RunDefaults::MostJobs;
constexpr std::uint64_t DefaultCap = RunDefaults::SurveyCap;

// An flock on a directory, released when the descriptor is closed.
struct DirectoryLock
{
    int Fd = -1;
    DirectoryLock() = default;
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;
    ~DirectoryLock()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
};

struct Range
{
    int From = 0;
    int To = 0;
};

using OptionChecks::ParseShard;
using OptionChecks::Shard;

Range ParseLetters(const std::string& text)
{
    const std::string problem =
        "--letters must be N or A-B with 1 <= A <= B <= " + std::to_string(Survey::MostLetters) +
        ", not " + ArgumentText::Quote(text);
    const std::size_t dash = text.find('-');
    const std::string from = text.substr(0, dash);
    const std::string to = dash == std::string::npos ? from : text.substr(dash + 1);
    auto number = [&](const std::string& digits)
    {
        const ArgumentText::Number letters = ArgumentText::ReadNumber(digits);
        if (letters.Status != ArgumentText::Number::Whole || letters.Magnitude > 99)
            throw UsageError(problem);
        return static_cast<int>(letters.Magnitude);
    };
    const Range range{number(from), number(to)};
    if (range.From < 1 || range.From > range.To || range.To > Survey::MostLetters)
        throw UsageError(problem);
    const std::uint64_t rules = SurveyPlan::CountOf(range.From, range.To);
    if (rules > SurveyPlan::MostRules)
        throw UsageError("--letters " + text + " is " + std::to_string(rules) +
                         " rules; a survey takes at most " + std::to_string(SurveyPlan::MostRules) +
                         ": survey longer rules by --numbers ranges");
    return range;
}

std::pair<std::uint64_t, std::uint64_t> ParseNumbers(const std::string& text)
{
    const std::string problem =
        "--numbers must be K or A-B with 1 <= A <= B <= " + std::to_string(RuleNumber::MostNumber) +
        ", not " + ArgumentText::Quote(text);
    const std::size_t dash = text.find('-');
    auto number = [&](const std::string& digits)
    {
        const ArgumentText::Number read = ArgumentText::ReadNumber(digits);
        if (read.Status != ArgumentText::Number::Whole || read.Magnitude < 1 ||
            read.Magnitude > RuleNumber::MostNumber)
            throw UsageError(problem);
        return read.Magnitude;
    };
    const std::uint64_t from = number(text.substr(0, dash));
    const std::uint64_t to = dash == std::string::npos ? from : number(text.substr(dash + 1));
    if (from > to)
        throw UsageError(problem);
    if (to - from >= SurveyPlan::MostRules)
        throw UsageError("--numbers " + text + " is " + std::to_string(to - from + 1) +
                         " rules; a survey takes at most " + std::to_string(SurveyPlan::MostRules));
    return {from, to};
}

// The rows of an earlier survey that ended before its cap end the same way at a higher
// one; its capped rows run again.
void TakeEnded(const SurveyInput& previous, const std::string& path, const Range& letters,
               const std::pair<std::uint64_t, std::uint64_t>& numbers, std::uint64_t cap,
               std::uint64_t maxPeriod, int size, bool plane, std::uint64_t maxMemory, bool types,
               Survey& survey)
{
    const SurveyRecords::Description& about = previous.About;
    const std::string name = ArgumentText::QuotePath(path);
    if (about.LettersFrom != letters.From || about.LettersTo != letters.To)
        throw RuntimeFailure(name + " is a survey of letters " + about.Letters() +
                             "; resume it with those letters");
    if (about.NumbersFrom != numbers.first || about.NumbersTo != numbers.second)
        throw RuntimeFailure(name + " is a survey of numbers " + about.Numbers() +
                             "; resume it with those numbers");
    if (about.FieldSize != static_cast<std::uint64_t>(size) || about.Plane != plane)
        throw RuntimeFailure(name + " is a survey on a field of " + about.Field() +
                             "; resume it with --size " + std::to_string(about.FieldSize) +
                             (about.Plane ? " --plane" : ""));
    if (about.MaxMemory != maxMemory)
        throw RuntimeFailure(name + " ran within --max-memory " + std::to_string(about.MaxMemory) +
                             "; resume it with that limit");
    if (about.MaxPeriod != maxPeriod)
        throw RuntimeFailure(name + " looked for highways up to period " +
                             std::to_string(about.MaxPeriod) + "; resume it with --max-period " +
                             std::to_string(about.MaxPeriod));
    if (about.Types != types)
        throw RuntimeFailure(name + (about.Types ? " gives highway types; resume it with --types"
                                                 : " has no highway types; resume it without "
                                                   "--types"));
    if (about.Cap > cap)
        throw RuntimeFailure(name + " has a cap of " + std::to_string(about.Cap) +
                             ", above this survey's " + std::to_string(cap));
    if (about.Top > 0)
        throw RuntimeFailure(name + " holds only the " + std::to_string(about.Top) +
                             " longest finishers (--top): it cannot be resumed");
    // On the plane a run ends at the first highway snapshot that proves its highway, and
    // the snapshots before a cap depend on it: such a row runs again.
    for (const SurveyRow& row : previous.Rows)
        if (row.Outcome != RunOutcome::Cap && !(plane && row.Outcome == RunOutcome::Highway))
            survey.SetKnown(row);
}

void PrintSummary(const std::vector<SurveyRow>& rows, const std::string& range, std::uint64_t cap,
                  std::size_t done, std::size_t total, int jobs, double seconds)
{
    std::size_t counts[OutcomeRanks] = {};
    auto count = [&](RunOutcome outcome) { return counts[TraitsOf(outcome).Rank]; };
    std::size_t byHighway = 0;
    for (const SurveyRow& row : rows)
    {
        if (!row.Done)
            continue;
        ++counts[TraitsOf(row.Outcome).Rank];
        byHighway += row.Outcome == RunOutcome::Finished && row.Highway.Found;
    }
    std::fprintf(stderr,
                 "formicula-cli: survey of %s: %zu of %zu rules done, %zu finished "
                 "(%zu left by a highway, %zu without), %zu never, %zu cap (at %llu "
                 "iterations) in %.2f s on %d job(s)\n",
                 range.c_str(), done, total, count(RunOutcome::Finished), byHighway,
                 count(RunOutcome::Finished) - byHighway, count(RunOutcome::Never),
                 count(RunOutcome::Cap), static_cast<unsigned long long>(cap), seconds, jobs);
    if (count(RunOutcome::Memory) > 0)
        std::fprintf(stderr, "formicula-cli: %zu run(s) outgrew --max-memory\n",
                     count(RunOutcome::Memory));
    if (count(RunOutcome::Highway) > 0)
        std::fprintf(stderr, "formicula-cli: %zu run(s) on the plane ended on a proven highway\n",
                     count(RunOutcome::Highway));
}
} // namespace

SurveyCommand::SurveyCommand(CLI::App& line)
    : Command(line.add_subcommand(
          "survey", "Run every rule of A to B letters L and R until it finishes, provably "
                    "never does, or reaches the cap.")),
      Format(Options()), MaxPeriod(Options()), Geometry(Options())
{
    CLI::App& options = Options();
    options
        .add_option("--letters", Letters,
                    "rules of N letters, or of A to B (1 to " +
                        std::to_string(Survey::MostLetters) + "); this or --numbers is required")
        ->type_name("A[-B]")
        ->each(
            [this](const std::string& text)
            {
                const Range range = ParseLetters(text);
                LetterRange = {range.From, range.To};
            });
    options
        .add_option("--numbers", Numbers,
                    "the rules of census numbers A to B instead, one row each (1 to " +
                        std::to_string(RuleNumber::MostNumber) + "; bit i set means letter i is R)")
        ->type_name("A[-B]")
        ->each([this](const std::string& text) { NumberRange = ParseNumbers(text); });
    options
        .add_option("--max-iterations", Cap,
                    "cap per rule (default " + std::to_string(DefaultCap) + ")")
        ->type_name("N")
        ->check(OptionChecks::Count("--max-iterations", RunOptions::MostIterations));
    options
        .add_option("--jobs", Jobs,
                    "worker threads, 1 to " + std::to_string(MostJobs) +
                        " (default: the CPUs this process may use)")
        ->type_name("J")
        ->check(OptionChecks::WholeNumber("--jobs", 1, MostJobs));
    options.add_option("--top", Top, "print only the K longest finishers")
        ->type_name("K")
        ->check(OptionChecks::Count("--top"));
    options
        .add_option("--shard", ShardText,
                    "run only the I-th of N disjoint slices of the rules (1 <= I <= N); "
                    "`formicula-cli merge` joins the slices' CSV or JSON outputs")
        ->type_name("I/N")
        ->each(
            [this](const std::string& text)
            {
                const Shard shard = ParseShard(text);
                ShardIndex = shard.Index;
                ShardCount = shard.Count;
            });
    options
        .add_option("--lanes", Lanes,
                    "runs interleaved per thread, 1 to " + std::to_string(LaneRunner::MostLanes) +
                        " (default " + std::to_string(LaneRunner::Lanes) +
                        ", fewer where the fields would not fit); for benchmarks, the rows "
                        "do not depend on it")
        ->type_name("K")
        ->check(OptionChecks::WholeNumber("--lanes", 1, LaneRunner::MostLanes));
    options
        .add_option("--resume", Resume,
                    "take the rows that ended from this earlier output (CSV or JSON, same letters "
                    "and --max-period, a cap up to this one) and run only the others")
        ->type_name("FILE");
    options
        .add_option("--state-dir", StateDir,
                    "keep each unfinished run's state here (at the cap, on a stop and every "
                    "30 s) and continue runs from the states found there")
        ->type_name("DIR");
    options
        .add_flag("--types", Types,
                  "also give each proven highway's type (column highway_type), as soups does")
        ->disable_flag_override();
    options.add_flag("--quiet", Quiet, "no progress bar and no summary on stderr")
        ->disable_flag_override();
    options.footer(
        "Rows are sorted by outcome (finished, never, cap, memory: on the plane, a run that\n"
        "would outgrow --max-memory even alone; highway: on the plane, a run proven to\n"
        "follow its highway for ever), then longest run first; the output\n"
        "is the same for any --jobs and --lanes. Each row also gives the highway the run ends\n"
        "on (as run does), and with --types its type: period, drift up to the square's\n"
        "symmetries and the colour counts one period adds (on any field: a highway that\n"
        "leaves the field goes on on the plane). Ctrl-C or SIGTERM stops the workers and\n"
        "prints the rows done so far; stderr then says the survey is incomplete and the exit\n"
        "status is 130 (143 after SIGTERM).");
}

int SurveyCommand::Execute()
{
    std::optional<SurveyInput> previous;
    if (Options().count("--resume") > 0 && Resume.empty())
        throw UsageError("the --resume file name is empty");
    if (Options().count("--resume") > 0)
        previous = SurveyInput::Read(Resume);
    const bool byLetters = Options().count("--letters") > 0;
    const bool byNumbers = Options().count("--numbers") > 0;
    if (byLetters && byNumbers)
        throw UsageError("give either --letters or --numbers, not both");
    if (!byLetters && !byNumbers && !previous)
        throw UsageError("missing --letters N or --letters A-B (1 to " +
                         std::to_string(Survey::MostLetters) + " letters), or --numbers A-B");
    std::pair<std::uint64_t, std::uint64_t> numbers{0, 0};
    if (byNumbers)
        numbers = NumberRange;
    else if (!byLetters)
        numbers = {previous->About.NumbersFrom, previous->About.NumbersTo};
    const Range letters =
        byLetters ? Range{LetterRange.first, LetterRange.second}
        : byNumbers
            ? Range{RuleNumber::LengthOf(numbers.first), RuleNumber::LengthOf(numbers.second)}
            : Range{previous->About.LettersFrom, previous->About.LettersTo};
    const std::uint64_t cap = Options().count("--max-iterations") > 0 ? Cap : DefaultCap;
    int jobs = std::min(RunDefaults::UsableCpus(), MostJobs);
    if (Options().count("--jobs") > 0)
        jobs = Jobs;
    const std::uint64_t top = Top;
    const OutputFormat::Kind format = Format.Chosen();
    const std::uint64_t maxPeriod = MaxPeriod.Chosen();
    // Without --lanes, the runner's count, or fewer where their fields would not fit.
    int lanes = Lanes;
    if (lanes == 0)
    {
        lanes = RunDefaults::LanesThatFit(jobs, Geometry.Size(), Geometry.Plane(),
                                          Geometry.MaxMemory());
    }
    const Shard shard{ShardIndex, ShardCount};

    // Every run in progress holds a field: lanes of each job.
    Geometry.CheckFits(static_cast<std::uint64_t>(jobs) * static_cast<std::uint64_t>(lanes));

    SurveyRecords::Description about;
    about.LettersFrom = letters.From;
    about.LettersTo = letters.To;
    about.NumbersFrom = numbers.first;
    about.NumbersTo = numbers.second;
    Survey survey(SurveyRecords::PlanOf(about), cap);
    survey.SetHighwayMaxPeriod(maxPeriod);
    survey.SetGeometry(Geometry.Size(), Geometry.Plane(), Geometry.MaxMemory());
    survey.SetLanes(lanes);
    survey.SetTypes(Types);
    if (shard.Count > 1)
        survey.SetShard(shard.Index - 1, shard.Count);
    if (previous)
        TakeEnded(*previous, Resume, letters, numbers, cap, maxPeriod, Geometry.Size(),
                  Geometry.Plane(), Geometry.MaxMemory(), Types, survey);
    DirectoryLock lock;
    if (Options().count("--state-dir") > 0)
    {
        if (StateDir.empty())
            throw UsageError("--state-dir needs a directory");
        if (::mkdir(StateDir.c_str(), 0777) != 0 && errno != EEXIST)
            throw RuntimeFailure("cannot create the state directory " +
                                 ArgumentText::QuotePath(StateDir) + ": " + std::strerror(errno));
        // Two surveys on one directory would write each other's states: held until exit.
        lock.Fd = ::open(StateDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (lock.Fd < 0)
            throw RuntimeFailure("cannot open the state directory " +
                                 ArgumentText::QuotePath(StateDir) + ": " + std::strerror(errno));
        if (::flock(lock.Fd, LOCK_EX | LOCK_NB) != 0)
            throw RuntimeFailure("the state directory " + ArgumentText::QuotePath(StateDir) +
                                 (errno == EWOULDBLOCK ? std::string(" is in use by another survey")
                                                       : ": " + std::string(std::strerror(errno))));
        AtomicFile::RemoveLeftovers(StateDir, ".state");
        survey.SetStateDirectory(StateDir);
    }
    const std::size_t total = survey.RuleCount();
    jobs = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(jobs), total));

    const ProgressBar::Ran ran =
        ProgressBar::Run(Quiet, [&](const ProgressBar::Progress& progress)
                         { return survey.Run(jobs, Interruption::Flag(), progress); });
    const int workers = ran.Workers;
    const double seconds = ran.Seconds;
    if (workers < jobs)
        std::fprintf(stderr,
                     "formicula-cli: the system started only %d of %d threads; the survey ran on "
                     "%d\n",
                     workers, jobs, workers);

    const std::size_t done = survey.DoneCount();
    const bool complete = done == total;
    // The rows done are printed even when a failure stopped the rest: they cost the time.
    const std::exception_ptr failure = survey.Failed();
    const std::string incomplete = std::string("incomplete: ") +
                                   (failure ? "stopped by a failure" : "interrupted") + " after " +
                                   std::to_string(done) + " of " + std::to_string(total) + " rules";
    about.Cap = cap;
    about.MaxPeriod = maxPeriod;
    about.Top = top;
    about.ShardIndex = static_cast<std::uint64_t>(shard.Index);
    about.ShardCount = static_cast<std::uint64_t>(shard.Count);
    about.RulesTotal = total;
    about.RulesDone = done;
    about.FieldSize = static_cast<std::uint64_t>(Geometry.Size());
    about.MaxMemory = Geometry.MaxMemory();
    about.Plane = Geometry.Plane();
    about.Types = Types;
    const std::vector<const SurveyRow*> sorted = SurveyRecords::Sorted(survey.Rows(), top);
    about.Rows = sorted.size();
    RecordWriter writer(format, SurveyRecords::Of(SurveyRow{}, &about));
    for (const SurveyRow* row : sorted)
        writer.Add(SurveyRecords::Of(*row, &about));
    writer.Finish(about.Head());
    // The table is for reading, so it says so too; CSV stays plain CSV.
    if (format == OutputFormat::Table && !complete)
    {
        StandardOutput::Write(incomplete + '\n');
        StandardOutput::Flush();
    }
    if (!complete)
        std::fprintf(stderr, "formicula-cli: %s\n", incomplete.c_str());
    if (!Quiet)
    {
        const auto span = [](std::uint64_t from, std::uint64_t to)
        { return std::to_string(from) + (to != from ? " to " + std::to_string(to) : ""); };
        const std::string range = numbers.first > 0
                                      ? "numbers " + span(numbers.first, numbers.second)
                                      : span(static_cast<std::uint64_t>(letters.From),
                                             static_cast<std::uint64_t>(letters.To)) +
                                            " letter(s)";
        PrintSummary(survey.Rows(), range, cap, done, total, workers, seconds);
    }
    if (complete)
        return 0;
    return Interruption::UndoneStatus(failure);
}
