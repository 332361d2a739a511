#include "RunCommand.h"

#include "Ant.h"
#include "ArgumentText.h"
#include "FieldPicture.h"
#include "FieldView.h"
#include "HighwayCourse.h"
#include "HighwayFuture.h"
#include "Interruption.h"
#include "OptionChecks.h"
#include "OutputFile.h"
#include "PresetCatalogue.h"
#include "Record.h"
#include "RecordWriter.h"
#include "Rule.h"
#include "RuleNumber.h"
#include "RuleText.h"
#include "RunDefaults.h"
#include "RunReplay.h"
#include "Runner.h"
#include "RuntimeFailure.h"
#include "StandardOutput.h"
#include "SurveyRecords.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>

#include <climits>

#include <iterator>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace
{
constexpr std::uint64_t FreeRuleCap = RunDefaults::RunCap;

// Where a run ended, or where its proven highway takes it by the cap.
struct RunEnd
{
    std::uint64_t Iterations = 0;
    std::int64_t X = 0;
    std::int64_t Y = 0;
    char Direction = 'U';
    Field::Counts Colours;
    std::uint64_t Visited = 0;
    std::int64_t MinX = 0, MinY = 0, MaxX = -1, MaxY = -1;
};

RunEnd EndOf(const RunResult& result, const AntPosition& position, const PackedField& field)
{
    RunEnd end;
    end.Iterations = result.Iterations;
    end.X = position.X;
    end.Y = position.Y;
    end.Direction = position.Direction;
    const PackedField::ColourCounts colours = field.CountColours();
    end.Colours.assign(colours.begin(), colours.end());
    const PackedField::Bounds box = field.VisitedBounds();
    end.Visited = box.Visited;
    end.MinX = box.MinX;
    end.MinY = box.MinY;
    end.MaxX = box.MaxX;
    end.MaxY = box.MaxY;
    return end;
}

RunEnd EndOf(const HighwayFuture& future)
{
    RunEnd end;
    end.Iterations = future.Iterations;
    end.X = future.X;
    end.Y = future.Y;
    end.Direction = future.Direction;
    end.Colours.assign(future.Coloured.begin(), future.Coloured.end());
    end.Colours[0] = future.Blank; // missing where the box's blank cells pass 64 bits
    end.Visited = future.Visited;
    end.MinX = future.MinX;
    end.MinY = future.MinY;
    end.MaxX = future.MaxX;
    end.MaxY = future.MaxY;
    return end;
}

// A run on a size x size field that ended at its proven highway: it finishes where the
// highway's course leaves the field, or stops at the cap before. The result says which.
RunEnd EndOnField(const PackedField& field, const AntPosition& position, const Ant& ant,
                  RunResult& result, std::uint64_t cap, int size)
{
    const std::optional<HighwayCourse> course =
        HighwayCourse::Of(field, position, ant.GetAI(), result.Iterations, result.Highway);
    const std::optional<std::uint64_t> leaves = course ? course->Leaves(size) : std::nullopt;
    const std::uint64_t end = leaves && *leaves <= cap ? *leaves : cap;
    const std::optional<HighwayFuture> at = course ? course->At(end) : std::nullopt;
    const std::optional<HighwayFuture> before = course ? course->At(end - 1) : std::nullopt;
    if (!at || !before)
        throw RuntimeFailure("the highway's course past iteration " +
                             std::to_string(result.Iterations) + " could not be followed");
    result.Iterations = end;
    result.Outcome = leaves && *leaves <= cap ? RunOutcome::Finished : RunOutcome::Cap;
    RunEnd state = EndOf(*at);
    if (result.Outcome == RunOutcome::Finished)
    {
        // The move off the field is refused: the ant stays where it stood.
        state.X = before->X;
        state.Y = before->Y;
    }
    const std::uint64_t cells = std::uint64_t(size) * std::uint64_t(size);
    state.Colours[0] = cells - at->Visited;
    return state;
}

Record RunRecord(const Ant& ant, const RunResult& result, const RunEnd& end, bool plane)
{
    Record record{Fields::Rule(ant.ActiveRule())};
    Fields::AddNumber(record, ant.ActiveRule());
    record.push_back(Fields::Iterations(end.Iterations));
    record.push_back({"finished", result.Outcome == RunOutcome::Finished});
    // Only the plane, a run out of memory or one proven to repeat has an end besides a
    // finish and the cap.
    if (plane || result.Outcome == RunOutcome::Memory || result.Outcome == RunOutcome::Never)
        record.push_back({"outcome", TraitsOf(result.Outcome).Name, -8});
    record.push_back({"x", end.X, 3});
    record.push_back({"y", end.Y, 3});
    record.push_back({"direction", std::string(1, end.Direction), -1});
    Field::Counts colours = end.Colours;
    colours.resize(Fields::ColoursShown(ant.ActiveRule().size()));
    record.push_back({"colours", std::move(colours), 0});
    if (plane)
    {
        record.push_back({"visited", end.Visited, 0, Field::Csv | Field::Json});
        Fields::AddBox(record, end.MinX, end.MinY, end.MaxX, end.MaxY);
    }
    Fields::AddHighway(record, result.Highway);
    return record;
}
} // namespace

RunCommand::RunCommand(CLI::App& line)
    : Command(line.add_subcommand("run", "Run one rule from the start state to its end.")),
      Format(Options()), MaxPeriod(Options()), Geometry(Options()), Animation(Options()),
      Trace(Options()), Start(Options()), SoupStart(Options(), true)
{
    CLI::App& options = Options();
    options
        .add_option("RULE", Rule,
                    "1 to " + std::to_string(Rule::MostLetters) +
                        " letters L and R, optionally padded with '-'")
        ->type_name("");
    options
        .add_option("--preset", Preset,
                    "run catalogued preset N (1 to " +
                        std::to_string(PresetCatalogue::PresetCount) + ") instead, no cap")
        ->type_name("N")
        ->check(OptionChecks::WholeNumber("--preset", 1, PresetCatalogue::PresetCount));
    options
        .add_option("--number", Number,
                    "run the rule of census number K instead: bit i set means letter i is R "
                    "(1 to " +
                        std::to_string(RuleNumber::MostNumber) + ")")
        ->type_name("K")
        ->check(OptionChecks::Count("--number", RuleNumber::MostNumber));
    options
        .add_option("--max-iterations", Cap,
                    "stop after N iterations (default " + std::to_string(FreeRuleCap) + ")")
        ->type_name("N")
        ->check(OptionChecks::Count("--max-iterations", RunOptions::MostIterations));
    options.add_option("--png", Png, "also write the final field as a PNG picture; - for stdout")
        ->type_name("FILE");
    options
        .add_option("--cell-size", CellSize,
                    "S x S pixels per cell of --png and --gif, 1 to " +
                        std::to_string(FieldPicture::MaxCellSize) + " (default " +
                        std::to_string(FieldPicture::DefaultCellSize) + ")")
        ->type_name("S")
        ->check(OptionChecks::WholeNumber("--cell-size", 1, FieldPicture::MaxCellSize));
    options
        .add_option_function<std::string>(
            "--view", [this](const std::string& text) { View = FieldPicture::ParseView(text); },
            "--png and --gif show W x H cells from cell (X, Y) (default: the field, or on the "
            "plane the visited cells' box)")
        ->type_name("X,Y,W,H");
    options.footer(
        "Prints rule, iterations, finished, x, y, direction, colours (cells per colour value\n"
        "0 to " +
        std::to_string(AntField::ColourCount - 1) +
        ") and the proven highway the run ends on: its period, the iteration it starts\n"
        "at, the cells one period moves the ant and the iteration it is proven from\n"
        "(highway_period, highway_onset, highway_drift_x, highway_drift_y,\n"
        "highway_certified_at in CSV and JSON). One of --png, --gif and --trace may be -\n"
        "(stdout), and is then the only output. A picture or a frame has at most " +
        std::to_string(FieldPicture::MaxPixels) +
        "\npixels. On the plane, outcome says how "
        "the run ended (finished, never, cap, memory,\nor highway: a proven highway, which it "
        "follows for ever), colours counts the cells\nof the visited cells' bounding box "
        "(visited, min_x, min_y, max_x, max_y in CSV and JSON),\nand --png and --gif draw that "
        "box at the end. A highway proven before --max-iterations N\ngives the state at N "
        "exactly, without stepping there (N up to 2^63 - 1); --png draws it and\n--trace goes "
        "on to it, unless --gif asks for the run itself; colours_0, the blank\ncells of the box, "
        "is then missing (-, empty or null) where it passes 64 bits.");
}

int RunCommand::Execute()
{
    Interruption::Catch();
    Ant ant;
    std::uint64_t cap = RunOptions::NoCap;
    const bool hasPreset = Options().count("--preset") > 0;
    const bool hasRule = Options().count("RULE") > 0;
    const bool hasNumber = Options().count("--number") > 0;
    if (hasPreset && hasRule)
        throw UsageError("give either a RULE or --preset, not both");
    if (hasNumber && (hasRule || hasPreset))
        throw UsageError(std::string("give either --number or ") +
                         (hasRule ? "a RULE" : "--preset") + ", not both");
    if (hasNumber)
    {
        RuleText::ApplyRule(ant, *RuleNumber::Letters(Number));
        cap = FreeRuleCap;
    }
    else if (hasPreset)
    {
        ant.ApplyPreset(Preset);
    }
    else
    {
        if (!hasRule)
            throw UsageError("missing RULE (1 to " + std::to_string(Rule::MostLetters) +
                             " letters of L, R and -) or --preset N");
        RuleText::ApplyRule(ant, Rule);
        cap = FreeRuleCap;
    }
    if (Options().count("--max-iterations") > 0)
        cap = Cap;
    const std::uint64_t maxPeriod = MaxPeriod.Chosen();
    const bool picture = Options().count("--png") > 0;
    const bool drawn = picture || Animation.Requested();
    int cellSize = FieldPicture::DefaultCellSize;
    if (Options().count("--cell-size") > 0)
    {
        if (!drawn)
            throw UsageError("--cell-size needs --png FILE or --gif FILE");
        cellSize = CellSize;
    }
    const bool viewGiven = Options().count("--view") > 0;
    if (viewGiven && !drawn)
        throw UsageError("--view needs --png FILE or --gif FILE");
    const OutputFormat::Kind format = Format.Chosen();
    const bool toStdout = picture && Png == FieldPicture::StandardOutputPath;
    if (toStdout && StandardOutput::IsTerminal())
        throw UsageError("a picture is not written to a terminal; redirect stdout or give a file");
    Animation.CheckOptions();
    Trace.CheckOptions();
    Start.CheckOptions();
    SoupStart.CheckOptions();
    if (SoupStart.Given() && Start.Given())
        throw UsageError("give either --soup or --start and --ant, not both");
    // Their replays step the rule from the blank start, which would show another run.
    if (Start.Given() && (Animation.Requested() || Trace.Requested()))
        throw UsageError("--gif and --trace replay the run from the blank start: not with "
                         "--start or --ant");
    Geometry.CheckFits(1);
    const int onStdout = toStdout + Animation.ToStandardOutput() + Trace.ToStandardOutput();
    if (onStdout > 1)
        throw UsageError("only one of --png, --gif and --trace can write to stdout");
    // One file for two outputs would keep only the last written.
    const std::pair<const char*, std::string> files[] = {
        {"--png", picture ? Png : std::string()},
        {"--gif", Animation.FilePath()},
        {"--trace", Trace.FilePath()},
    };
    auto isFile = [](const std::string& path)
    { return !path.empty() && path != FieldPicture::StandardOutputPath; };
    for (std::size_t i = 0; i < std::size(files); ++i)
        for (std::size_t j = i + 1; j < std::size(files); ++j)
            if (isFile(files[i].second) && isFile(files[j].second) &&
                OutputFile::SameFile(files[i].second, files[j].second))
                throw UsageError(std::string(files[i].first) + " and " + files[j].first +
                                 " name one file");
    // The plane's box is known only at the end; every other window is checked before the run.
    std::optional<FieldView::Box> window;
    if (viewGiven)
        window = View;
    else if (!Geometry.Plane())
        window = FieldView::Box{0, 0, Geometry.Size(), Geometry.Size()};
    if (drawn && window)
        FieldPicture::CheckSize(*window, cellSize, Animation.Requested());
    if (picture && !toStdout)
        FieldPicture::CheckWritable(Png);
    Animation.CheckWritable();
    Trace.CheckWritable();

    RunOptions options;
    options.Cap = cap;
    options.HighwayMaxPeriod = maxPeriod;
    options.Stop = Interruption::Flag();
    options.Size = Geometry.Size();
    options.Plane = Geometry.Plane();
    options.MaxMemory = Geometry.MaxMemory();
    // A bounded field's run ends at its proven highway too, which tells where it leaves the
    // field; its pictures and traces step the run itself.
    options.ProveOnField = !Geometry.Plane() && !drawn && !Trace.Requested();
    AntPosition position;
    std::unique_ptr<PackedField> field =
        Start.Given() ? Start.Make(position, Geometry.Size(), Geometry.Plane(),
                                   Geometry.MaxMemory(), ant.GetAI().ActiveSteps)
                      : std::make_unique<PackedField>(Geometry.Size(), Geometry.Plane());
    if (!Start.Given())
        position = AntPosition{field->StartX(), field->StartY(), Ant::StartDirection};
    // A soup's patch, kept for the replays of --gif and --trace.
    std::unique_ptr<PackedField> soup;
    if (SoupStart.Given())
    {
        const StartField patch = SoupStart.Chosen().Make(
            SoupStart.Seed(), SoupStart.Index(), ant.GetAI().ActiveSteps, position.X, position.Y);
        soup = std::make_unique<PackedField>(PackedField::MinSize);
        const std::string problem = patch.Place(*soup, Geometry.Size(), Geometry.Plane(),
                                                Geometry.MaxMemory(), position.X, position.Y);
        if (!problem.empty())
            throw UsageError(problem);
        field->CopyPart(*soup, soup->StoredPart());
    }
    const ReplayStart replayStart{soup.get(), position};
    RunResult result = Rule::CanCycle(ant.ActiveRule())
                           ? Runner().Run<CycleProof::On>(*field, position, ant.GetAI(), options)
                           : Runner().Run(*field, position, ant.GetAI(), options);
    Interruption::Check();
    std::optional<RunEnd> bounded;
    if (options.ProveOnField && result.Outcome == RunOutcome::Highway)
        bounded = EndOnField(*field, position, ant, result, cap, Geometry.Size());
    // A highway proven before the cap tells the state at the cap exactly, without stepping
    // there, and a picture of it. Animations and traces show the run itself, so with them
    // it keeps the state where it stopped.
    std::optional<HighwayFuture> future;
    const bool jump = Geometry.Plane() && result.Outcome == RunOutcome::Highway &&
                      result.Iterations < cap && !Animation.Requested();
    if (jump)
        future = HighwayFuture::Of(*field, position, ant.GetAI(), result.Iterations, result.Highway,
                                   cap);
    std::optional<HighwayCourse> course;
    if (future && Trace.Requested())
    {
        course =
            HighwayCourse::Of(*field, position, ant.GetAI(), result.Iterations, result.Highway);
        if (!course)
            future.reset();
    }
    if (future && picture)
    {
        if (!window)
        {
            // The whole box at the cap, where it fits a picture's coordinates and size.
            const std::int64_t width = future->MaxX - future->MinX + 1;
            const std::int64_t height = future->MaxY - future->MinY + 1;
            const auto fits = [](std::int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; };
            if (!fits(future->MinX) || !fits(future->MinY) || !fits(width) || !fits(height))
                throw UsageError("the visited cells at iteration " + std::to_string(cap) +
                                 " span " + std::to_string(width) + " x " + std::to_string(height) +
                                 " cells; give a --view X,Y,W,H window to draw");
            window = FieldView::Box{static_cast<int>(future->MinX), static_cast<int>(future->MinY),
                                    static_cast<int>(width), static_cast<int>(height)};
            FieldPicture::CheckSize(*window, cellSize, false);
        }
        std::optional<PackedField> cells =
            HighwayFuture::Window(*field, position, ant.GetAI(), result.Iterations, result.Highway,
                                  cap, window->Left, window->Top, window->Width, window->Height);
        if (!cells)
            future.reset(); // drawn where the run stopped, as the record says
        else
            *field = std::move(*cells);
    }
    const Record record = RunRecord(ant, result,
                                    bounded  ? *bounded
                                    : future ? EndOf(*future)
                                             : EndOf(result, position, *field),
                                    Geometry.Plane());
    // Files go in place together at the end, so an interrupted or failed run replaces none.
    std::unique_ptr<OutputFile> pngFile;
    {
        const FieldView end(*field);
        if (drawn && !window)
        {
            window = end.Extent();
            FieldPicture::CheckSize(*window, cellSize, Animation.Requested());
        }
        if (picture)
        {
            const std::string png =
                FieldPicture::Encode(end, *window, cellSize, ant.GetAI().ActiveSteps);
            if (toStdout)
            {
                StandardOutput::Write(png);
                StandardOutput::Flush();
            }
            else
            {
                pngFile = std::make_unique<OutputFile>(Png);
                pngFile->Write(png);
            }
        }
    }
    field.reset(); // the replays make their own
    // Both replay the run from its start, now that its last iteration is known.
    std::unique_ptr<OutputFile> traceFile;
    if (Trace.Requested())
        traceFile =
            Trace.Write(ant.GetAI(), options, future ? future->Iterations : result.Iterations,
                        course ? &*course : nullptr, replayStart);
    std::unique_ptr<OutputFile> gifFile;
    if (Animation.Requested())
        gifFile = Animation.Write(ant.GetAI(), options, result.Iterations, *window, cellSize,
                                  replayStart);
    std::vector<OutputFile*> written;
    for (OutputFile* file : {traceFile.get(), gifFile.get(), pngFile.get()})
        if (file != nullptr)
            written.push_back(file);
    OutputFile::CommitAll(written);
    if (onStdout == 0)
        RecordWriter::WriteOne(format, record);
    return 0;
}
