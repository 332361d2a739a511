#include "SoupsCommand.h"

#include "Ant.h"
#include "ArgumentText.h"
#include "FieldOptions.h"
#include "Interruption.h"
#include "OptionChecks.h"
#include "ProgressBar.h"
#include "RuleText.h"
#include "RunDefaults.h"
#include "SoupBatch.h"
#include "SoupRecords.h"
#include "StandardOutput.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>

namespace
{
void PrintSummary(const SoupRecords::Description& about, const std::vector<SoupRow>& rows, int jobs,
                  double seconds)
{
    // A soup capped before its first snapshot on the highway has it proven at the end.
    std::size_t proven = 0, typed = 0, counts[OutcomeRanks] = {};
    for (const SoupRow& row : rows)
    {
        if (!row.Done)
            continue;
        proven += row.Highway.Found;
        typed += row.Type.has_value();
        if (!row.Highway.Found)
            ++counts[TraitsOf(row.Outcome).Rank];
    }
    auto count = [&](RunOutcome outcome) { return counts[TraitsOf(outcome).Rank]; };
    std::fprintf(stderr,
                 "formicula-cli: soups of %s: %llu of %llu done, %zu on a proven highway (%zu "
                 "type(s)), %zu without: %zu cap (at %llu iterations), %zu never, %zu memory; "
                 "in %.2f s on %d job(s)\n",
                 about.Rule.c_str(), static_cast<unsigned long long>(about.SoupsDone),
                 static_cast<unsigned long long>(about.SoupsTotal), proven,
                 SoupRecords::Types(rows).size(),
                 static_cast<std::size_t>(about.SoupsDone) - proven, count(RunOutcome::Cap),
                 static_cast<unsigned long long>(about.Cap), count(RunOutcome::Never),
                 count(RunOutcome::Memory), seconds, jobs);
    if (typed < proven)
        std::fprintf(stderr, "formicula-cli: %zu highway(s) whose period could not be stepped\n",
                     proven - typed);
}
} // namespace

SoupsCommand::SoupsCommand(CLI::App& line)
    : Command(line.add_subcommand(
          "soups", "Run a rule on the plane from many random starts and count the highways "
                   "they reach, by type.")),
      Format(Options()), MaxPeriod(Options()), Patch(Options(), false)
{
    CLI::App& options = Options();
    options.add_option("RULE", Rule, "1 to 32 letters L and R")->type_name("");
    options
        .add_option("--count", Count,
                    "soups 0 to K-1 (1 to " + std::to_string(MostCount) + ", default " +
                        std::to_string(DefaultCount) + ")")
        ->type_name("K")
        ->check(OptionChecks::Count("--count", MostCount));
    options
        .add_option("--seed", SeedText,
                    "the seed every soup's patch is drawn from, 0 to 2^64 - 1 (default 1)")
        ->type_name("N");
    options
        .add_option("--max-iterations", Cap,
                    "cap per soup (default " + std::to_string(RunDefaults::SurveyCap) + ")")
        ->type_name("N")
        ->check(OptionChecks::Count("--max-iterations", RunOptions::MostIterations));
    options
        .add_option("--max-memory", MemoryText,
                    "most memory for the runs in progress together, in bytes or with K, M or G "
                    "(default " +
                        FieldOptions::BytesText(RunOptions::DefaultMaxMemory) + ")")
        ->type_name("BYTES");
    options
        .add_option("--jobs", Jobs,
                    "worker threads, 1 to " + std::to_string(RunDefaults::MostJobs) +
                        " (default: the CPUs this process may use)")
        ->type_name("J")
        ->check(OptionChecks::WholeNumber("--jobs", 1, RunDefaults::MostJobs));
    options
        .add_option("--shard", ShardText,
                    "run only the soups whose index is I-1 modulo N; `formicula-cli merge` "
                    "joins the slices' CSV or JSON outputs")
        ->type_name("I/N");
    options.add_flag("--types", TypesOnly, "print the table of highway types alone")
        ->disable_flag_override();
    options.add_flag("--quiet", Quiet, "no progress bar and no summary on stderr")
        ->disable_flag_override();
    options.footer(
        "One row per soup in index order: index, outcome (highway, cap, never, memory),\n"
        "iterations, the ant's place and heading, the proven highway (period, onset, drift,\n"
        "certified at) and its type: period, drift up to the square's symmetries and the\n"
        "colour counts one period adds. Then the types with the soups that reached each (the\n"
        "table format prints it after the rows, JSON as \"types\", --types alone). Soup I's\n"
        "patch comes from SplitMix64 seeded with the seed and I only, so the rows do not\n"
        "depend on --jobs or --shard; `run RULE --soup SEED:I --plane` replays one. Ctrl-C or\n"
        "SIGTERM stops the workers and prints the soups done (exit status 130 or 143).");
}

int SoupsCommand::Execute()
{
    if (Options().count("RULE") == 0)
        throw UsageError("missing RULE (1 to 32 letters L and R)");
    Ant ant;
    RuleText::ApplyRule(ant, Rule);
    SoupRecords::Description about;
    about.Rule = ant.ActiveRule();
    about.Seed =
        Options().count("--seed") > 0 ? SoupOptions::ParseSeed("--seed", SeedText) : about.Seed;
    about.Count = Count;
    about.Patch = Patch.Chosen();
    about.Cap = Options().count("--max-iterations") > 0 ? Cap : RunDefaults::SurveyCap;
    about.MaxPeriod = MaxPeriod.Chosen();
    if (Options().count("--max-memory") > 0)
        about.MaxMemory = FieldOptions::ParseBytes(MemoryText);
    const OptionChecks::Shard shard = Options().count("--shard") > 0
                                          ? OptionChecks::ParseShard(ShardText)
                                          : OptionChecks::Shard{};
    about.ShardIndex = static_cast<std::uint64_t>(shard.Index);
    about.ShardCount = static_cast<std::uint64_t>(shard.Count);
    const OutputFormat::Kind format = Format.Chosen();
    int jobs = Options().count("--jobs") > 0
                   ? Jobs
                   : std::min(RunDefaults::UsableCpus(), RunDefaults::MostJobs);
    // Each run in progress starts on its patch within its share of the memory.
    const std::uint64_t side =
        static_cast<std::uint64_t>(std::max(about.Patch.Patch, int{PackedField::DefaultSize}) + 2);
    if (side * side > about.MaxMemory / static_cast<std::uint64_t>(jobs))
        throw UsageError(std::to_string(jobs) + " run(s) of " + std::to_string(side * side) +
                         " bytes each take more than --max-memory (" +
                         std::to_string(about.MaxMemory) + " bytes)");

    SoupBatch batch(ant.GetAI(), about.Patch, about.Seed, about.Count, about.Cap);
    batch.SetHighwayMaxPeriod(about.MaxPeriod);
    batch.SetMaxMemory(about.MaxMemory);
    batch.SetShard(about.ShardIndex - 1, about.ShardCount);
    about.SoupsTotal = batch.SoupCount();
    jobs = static_cast<int>(std::max<std::size_t>(
        1, std::min<std::size_t>(static_cast<std::size_t>(jobs), batch.SoupCount())));

    const ProgressBar::Ran ran =
        ProgressBar::Run(Quiet, [&](const ProgressBar::Progress& progress)
                         { return batch.Run(jobs, Interruption::Flag(), progress); });
    const int workers = ran.Workers;
    const double seconds = ran.Seconds;
    if (workers < jobs)
        std::fprintf(stderr, "formicula-cli: the system started only %d of %d threads\n", workers,
                     jobs);

    about.SoupsDone = batch.DoneCount();
    SoupRecords::Print(format, about, batch.Rows(), TypesOnly);
    const std::exception_ptr failure = batch.Failed();
    const std::string incomplete = std::string("incomplete: ") +
                                   (failure ? "stopped by a failure" : "interrupted") + " after " +
                                   std::to_string(about.SoupsDone) + " of " +
                                   std::to_string(about.SoupsTotal) + " soups";
    if (format == OutputFormat::Table && !about.Complete())
    {
        StandardOutput::Write(incomplete + '\n');
        StandardOutput::Flush();
    }
    if (!about.Complete())
        std::fprintf(stderr, "formicula-cli: %s\n", incomplete.c_str());
    if (!Quiet)
        PrintSummary(about, batch.Rows(), workers, seconds);
    if (about.Complete())
        return 0;
    return Interruption::UndoneStatus(failure);
}
