#include "Commands.h"

#include "Arguments.h"
#include "Survey.h"
#include "UsageError.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <thread>

#ifdef _WIN32
#include <io.h>
#define FORMICULA_STDERR_IS_TTY() (_isatty(_fileno(stderr)) != 0)
#else
#include <unistd.h>
#define FORMICULA_STDERR_IS_TTY() (isatty(STDERR_FILENO) != 0)
#endif

namespace
{
constexpr std::uint64_t DefaultCap = 100000000;
constexpr int MostLetters = Survey::MostLetters;
constexpr int InterruptedStatus = 130; // what a shell reports for a job ended by SIGINT

enum class Format
{
    Table,
    Csv,
    Json,
};

struct Options
{
    int FromLetters = 0;
    int ToLetters = 0;
    std::uint64_t Cap = DefaultCap;
    int Jobs = 1;
    Format Output = Format::Table;
    std::uint64_t Top = 0; // 0: every row
};

// Set from the SIGINT handler; lock-free, so the handler may touch it.
std::atomic<bool> Interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void OnInterrupt(int)
{
    Interrupted.store(true);
    // A second Ctrl-C ends the process the usual way.
    std::signal(SIGINT, SIG_DFL);
}

void ParseLetters(const std::string& text, Options& options)
{
    const std::string problem =
        "--letters must be N or A-B with 1 <= A <= B <= " + std::to_string(MostLetters) +
        ", not '" + text + "'";
    const std::size_t dash = text.find('-');
    const std::string from = text.substr(0, dash);
    const std::string to = dash == std::string::npos ? from : text.substr(dash + 1);
    auto number = [&](const std::string& digits)
    {
        if (digits.empty() || digits.size() > 2 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            throw UsageError(problem);
        return std::stoi(digits);
    };
    options.FromLetters = number(from);
    options.ToLetters = number(to);
    if (options.FromLetters < 1 || options.FromLetters > options.ToLetters ||
        options.ToLetters > MostLetters)
        throw UsageError(problem);
}

Options ParseOptions(const std::vector<std::string>& words)
{
    Arguments args(words);
    const std::optional<std::string> letters = args.TakeValue("--letters");
    const std::optional<std::string> cap = args.TakeValue("--max-iterations");
    const std::optional<std::string> jobs = args.TakeValue("--jobs");
    const std::optional<std::string> top = args.TakeValue("--top");
    const bool csv = args.TakeFlag("--csv");
    const bool json = args.TakeFlag("--json");
    args.Positionals(0);

    Options options;
    if (!letters)
        throw UsageError("missing --letters N or --letters A-B (1 to 12 letters)");
    ParseLetters(*letters, options);
    if (cap)
        options.Cap = Arguments::ParseCount("--max-iterations", *cap);
    options.Jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (jobs)
        options.Jobs = Arguments::ParseInt("--jobs", *jobs, 1, 1024);
    if (top)
        options.Top = Arguments::ParseCount("--top", *top);
    if (csv && json)
        throw UsageError("give either --csv or --json, not both");
    options.Output = csv ? Format::Csv : json ? Format::Json : Format::Table;
    return options;
}

void DrawProgress(std::size_t done, std::size_t total, double seconds)
{
    constexpr int Width = 20;
    const int filled = static_cast<int>(Width * done / std::max<std::size_t>(total, 1));
    const double rate = seconds > 0 ? double(done) / seconds : 0;
    char eta[32] = "--:--";
    if (rate > 0)
    {
        const long long left = std::llround(double(total - done) / rate);
        std::snprintf(eta, sizeof eta, "%lld:%02lld", left / 60, left % 60);
    }
    std::fprintf(stderr, "\r[%s%s] %zu/%zu rules  %.1f rules/s  %s left ",
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(Width - filled), '.').c_str(), done, total,
                 rate, eta);
    std::fflush(stderr);
}

void ClearProgress()
{
    std::fprintf(stderr, "\r%78s\r", "");
    std::fflush(stderr);
}

int OutcomeRank(RunOutcome outcome)
{
    return outcome == RunOutcome::Finished ? 0 : outcome == RunOutcome::Never ? 1 : 2;
}

const char* OutcomeName(RunOutcome outcome)
{
    return outcome == RunOutcome::Finished ? "finished"
           : outcome == RunOutcome::Never  ? "never"
                                           : "cap";
}

// Outcome, then the longest runs first; ties in rule order so the output is stable.
std::vector<const SurveyRow*> SortedRows(const std::vector<SurveyRow>& rows, std::uint64_t top)
{
    std::vector<const SurveyRow*> sorted;
    for (const SurveyRow& row : rows)
        if (row.Done && (top == 0 || row.Outcome == RunOutcome::Finished))
            sorted.push_back(&row);
    std::sort(sorted.begin(), sorted.end(),
              [](const SurveyRow* a, const SurveyRow* b)
              {
                  if (OutcomeRank(a->Outcome) != OutcomeRank(b->Outcome))
                      return OutcomeRank(a->Outcome) < OutcomeRank(b->Outcome);
                  if (a->Iterations != b->Iterations)
                      return a->Iterations > b->Iterations;
                  if (a->Rule.size() != b->Rule.size())
                      return a->Rule.size() < b->Rule.size();
                  return a->Rule < b->Rule;
              });
    if (top > 0 && sorted.size() > top)
        sorted.resize(static_cast<std::size_t>(top));
    return sorted;
}

void Print(const std::vector<const SurveyRow*>& rows, const Options& options, std::size_t done,
           std::size_t total)
{
    const bool complete = done == total;
    const std::string incomplete = "incomplete: interrupted after " + std::to_string(done) +
                                   " of " + std::to_string(total) + " rules";
    if (options.Output == Format::Csv)
        std::printf("rule,outcome,iterations,x,y,direction,period\n");
    else if (options.Output == Format::Json)
        std::printf("{\n  \"letters\": {\"from\": %d, \"to\": %d},\n  \"max_iterations\": %llu,\n"
                    "  \"complete\": %s,\n  \"rules_total\": %zu,\n  \"rules_done\": %zu,\n"
                    "  \"rows\": [",
                    options.FromLetters, options.ToLetters,
                    static_cast<unsigned long long>(options.Cap), complete ? "true" : "false",
                    total, done);
    else
        std::printf("%-12s  %-8s  %10s  %3s  %3s  %3s  %s\n", "Rule", "Outcome", "Iterations", "X",
                    "Y", "Dir", "Period");

    const char* separator = "\n";
    for (const SurveyRow* row : rows)
    {
        const auto iterations = static_cast<unsigned long long>(row->Iterations);
        const auto period = static_cast<unsigned long long>(row->Period);
        const bool never = row->Outcome == RunOutcome::Never;
        const char* outcome = OutcomeName(row->Outcome);
        const AntPosition& p = row->Position;
        if (options.Output == Format::Csv)
        {
            std::printf("%s,%s,%llu,%d,%d,%c,", row->Rule.c_str(), outcome, iterations, p.X, p.Y,
                        p.Direction);
            if (never)
                std::printf("%llu", period);
            std::printf("\n");
        }
        else if (options.Output == Format::Json)
        {
            std::printf("%s    {\"rule\": \"%s\", \"outcome\": \"%s\", \"iterations\": %llu, "
                        "\"x\": %d, \"y\": %d, \"direction\": \"%c\", \"period\": ",
                        separator, row->Rule.c_str(), outcome, iterations, p.X, p.Y, p.Direction);
            if (never)
                std::printf("%llu}", period);
            else
                std::printf("null}");
            separator = ",\n";
        }
        else
        {
            std::printf("%-12s  %-8s  %10llu  %3d  %3d  %c    ", row->Rule.c_str(), outcome,
                        iterations, p.X, p.Y, p.Direction);
            if (never)
                std::printf("%llu\n", period);
            else
                std::printf("-\n");
        }
    }
    if (options.Output == Format::Json)
        std::printf("%s]\n}\n", rows.empty() ? "" : "\n  ");
    else if (!complete)
        std::printf("%s%s\n", options.Output == Format::Csv ? "# " : "", incomplete.c_str());
    std::fflush(stdout);
}

void PrintSummary(const std::vector<SurveyRow>& rows, const Options& options, std::size_t done,
                  int jobs, double seconds)
{
    std::size_t counts[3] = {0, 0, 0};
    for (const SurveyRow& row : rows)
        if (row.Done)
            ++counts[OutcomeRank(row.Outcome)];
    std::string letters = std::to_string(options.FromLetters);
    if (options.ToLetters != options.FromLetters)
        letters += " to " + std::to_string(options.ToLetters);
    std::fprintf(stderr,
                 "formicula-cli: survey of %s letter(s)%s: %zu of %zu rules done, %zu finished, "
                 "%zu never, %zu cap (at %llu iterations) in %.2f s on %d job(s)\n",
                 letters.c_str(), done == rows.size() ? "" : " INTERRUPTED", done, rows.size(),
                 counts[0], counts[1], counts[2], static_cast<unsigned long long>(options.Cap),
                 seconds, jobs);
}
} // namespace

int SurveyCommand(const std::vector<std::string>& words)
{
    const Options options = ParseOptions(words);
    Survey survey(options.FromLetters, options.ToLetters, options.Cap);
    const std::size_t total = survey.Rows().size();
    const int jobs = static_cast<int>(std::min<std::size_t>(options.Jobs, total));
    const bool showProgress = FORMICULA_STDERR_IS_TTY();

    Interrupted.store(false);
    const auto previousHandler = std::signal(SIGINT, OnInterrupt);
    const auto start = std::chrono::steady_clock::now();
    Survey::Progress progress;
    if (showProgress)
        progress = [start](std::size_t done, std::size_t all)
        {
            DrawProgress(
                done, all,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        };
    const int workers = survey.Run(jobs, &Interrupted, progress);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::signal(SIGINT, previousHandler == SIG_ERR ? SIG_DFL : previousHandler);
    if (showProgress)
        ClearProgress();

    const std::size_t done = survey.DoneCount();
    Print(SortedRows(survey.Rows(), options.Top), options, done, total);
    PrintSummary(survey.Rows(), options, done, workers, seconds);
    return done == total ? 0 : InterruptedStatus;
}
