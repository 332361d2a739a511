// The formicula module: runs of the model from Python, their fields as NumPy arrays.

#include "Ant.h"
#include "ArgumentText.h"
#include "FieldPicture.h"
#include "FieldView.h"
#include "HighwayFuture.h"
#include "IndexImage.h"
#include "IndexRenderer.h"
#include "LaneRunner.h"
#include "MaxPeriodOption.h"
#include "OutputFile.h"
#include "PackedField.h"
#include "Palette.h"
#include "PngEncoder.h"
#include "Record.h"
#include "RuleNumber.h"
#include "RuleText.h"
#include "RunDefaults.h"
#include "Runner.h"
#include "RuntimeFailure.h"
#include "StartField.h"
#include "Survey.h"
#include "SurveyRecords.h"
#include "UsageError.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <variant>

namespace py = pybind11;
using namespace py::literals;

namespace
{
using RunDefaults::MostJobs;
constexpr std::uint64_t DefaultCap = RunDefaults::RunCap;
constexpr std::uint64_t DefaultSurveyCap = RunDefaults::SurveyCap;
// The largest field array a far state comes with, as a picture's cells.
constexpr std::uint64_t MostCells = std::uint64_t{1} << 28;

// Runs `work` on a thread of its own while this one, taking the interpreter's lock every
// few tens of milliseconds, looks for Ctrl-C: a KeyboardInterrupt raises the stop flag,
// which the driver polls, so a long run ends at once and the exception reaches the caller.
template <class Work> void Interruptible(std::atomic<bool>& stop, const Work& work)
{
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::exception_ptr failure;
    bool interrupted = false;
    {
        py::gil_scoped_release release;
        std::thread worker(
            [&]
            {
                try
                {
                    work();
                }
                catch (...)
                {
                    failure = std::current_exception();
                }
                const std::lock_guard<std::mutex> lock(mutex);
                done = true;
                finished.notify_one();
            });
        std::unique_lock<std::mutex> lock(mutex);
        while (!finished.wait_for(lock, std::chrono::milliseconds(40), [&] { return done; }))
        {
            if (interrupted)
                continue;
            lock.unlock();
            {
                py::gil_scoped_acquire acquire;
                if (PyErr_CheckSignals() != 0)
                {
                    interrupted = true;
                    stop = true;
                }
            }
            lock.lock();
        }
        lock.unlock();
        worker.join();
    }
    if (interrupted)
        throw py::error_already_set();
    if (failure)
        std::rethrow_exception(failure);
}

py::array_t<std::uint8_t> FieldArray(const PackedField& field, int left, int top, int width,
                                     int height)
{
    py::array_t<std::uint8_t> cells({height, width});
    auto view = cells.mutable_unchecked<2>();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            view(y, x) = static_cast<std::uint8_t>(field.Colour(left + x, top + y));
    return cells;
}

// A Python integer (or NumPy's) as a 64-bit one; a ValueError names it when it is none.
std::int64_t Whole(const py::handle value, const std::string& name)
{
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    int overflow = 0;
    const long long whole = index ? PyLong_AsLongLongAndOverflow(index.ptr(), &overflow) : 0;
    if (!index || overflow != 0 || PyErr_Occurred())
    {
        PyErr_Clear();
        throw py::value_error(name +
                              (index ? " is out of range: " : " must be a whole number, not ") +
                              py::repr(value).cast<std::string>());
    }
    return whole;
}

// A 2-D array of whole numbers: its shape first, its cells once Read (without a copy
// where they are bytes, so a large field is not widened).
class WholeGrid
{
public:
    WholeGrid(const py::object& value, const std::string& name) : Array(py::array::ensure(value))
    {
        if (!Array || Array.ndim() != 2)
            throw py::value_error(name + " must be a 2-D array of colours");
        const char kind = Array.dtype().kind();
        if (kind != 'i' && kind != 'u' && kind != 'b')
            throw py::value_error(name + " must hold whole numbers, not " +
                                  py::str(Array.dtype()).cast<std::string>());
        Bytes = kind == 'b' || (kind == 'u' && Array.itemsize() == 1);
    }
    py::ssize_t Rows() const { return Array.shape(0); }
    py::ssize_t Columns() const { return Array.shape(1); }
    void Read()
    {
        constexpr int flags = py::array::c_style | py::array::forcecast;
        if (Bytes)
            Narrow = py::array_t<std::uint8_t, flags>::ensure(Array);
        else
            Wide = py::array_t<std::int64_t, flags>::ensure(Array);
        Width = Columns();
    }
    std::int64_t At(py::ssize_t r, py::ssize_t c) const
    {
        return Bytes ? std::int64_t{Narrow.data()[r * Width + c]} : Wide.data()[r * Width + c];
    }

private:
    py::array Array;
    bool Bytes = false;
    py::array_t<std::uint8_t> Narrow;
    py::array_t<std::int64_t> Wide;
    py::ssize_t Width = 0;
};

// The start array as a start field, its colours checked against the rule's letters.
StartField StartOf(const py::object& start, int letters)
{
    WholeGrid grid(start, "start");
    const auto rows = grid.Rows();
    const auto columns = grid.Columns();
    if (rows > 2 * StartField::MostCoordinate || columns > 2 * StartField::MostCoordinate)
        throw py::value_error("start has " + std::to_string(rows) + " x " +
                              std::to_string(columns) + " cells, more than any field holds");
    StartField field;
    field.Height = static_cast<int>(rows);
    field.Width = static_cast<int>(columns);
    field.Colours.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns));
    grid.Read();
    for (py::ssize_t r = 0; r < rows; ++r)
        for (py::ssize_t c = 0; c < columns; ++c)
        {
            const std::int64_t colour = grid.At(r, c);
            if (const std::string problem = StartField::ColourProblem(colour, letters);
                !problem.empty())
                throw py::value_error("start[" + std::to_string(r) + "][" + std::to_string(c) +
                                      "]: " + problem);
            field.Colours[static_cast<std::size_t>(r * columns + c)] =
                static_cast<std::uint8_t>(colour);
        }
    return field;
}

// (x, y, heading): the ant's start, checked against the field by StartField::Place.
struct AntStart
{
    std::int64_t X = 0;
    std::int64_t Y = 0;
    char Heading = 'U';
};

AntStart AntOf(const py::object& ant)
{
    const py::sequence parts = py::reinterpret_borrow<py::sequence>(ant);
    if (!py::isinstance<py::sequence>(ant) || py::isinstance<py::str>(ant) || parts.size() != 3)
        throw py::value_error("ant must be (x, y, heading)");
    const std::int64_t x = Whole(parts[0], "the ant's x");
    const std::int64_t y = Whole(parts[1], "the ant's y");
    const py::object heading = parts[2];
    const std::string text =
        py::isinstance<py::str>(heading) ? heading.cast<std::string>() : std::string();
    if (text.size() != 1 || !StartField::IsHeading(text[0]))
        throw py::value_error("heading must be U, R, D or L, not " +
                              (py::isinstance<py::str>(heading)
                                   ? ArgumentText::Quote(text)
                                   : py::repr(heading).cast<std::string>()));
    return AntStart{x, y, text[0]};
}

// The arguments run and survey share, refused in the command line's words.
void CheckSizeAndCap(int size, std::uint64_t maxIterations)
{
    if (size < PackedField::MinSize || size > PackedField::MaxSize)
        throw py::value_error("size must be from " + std::to_string(PackedField::MinSize) + " to " +
                              std::to_string(PackedField::MaxSize) + ", not " +
                              std::to_string(size));
    if (maxIterations < 1 || maxIterations > RunOptions::MostIterations)
        throw py::value_error("max_iterations must be from 1 to " +
                              std::to_string(RunOptions::MostIterations));
}

py::object Run(const std::string& rule, int size, bool plane, std::uint64_t maxIterations,
               std::uint64_t maxMemory, std::uint64_t maxPeriod, const py::object& start,
               const py::object& antStart, const py::object& origin)
{
    CheckSizeAndCap(size, maxIterations);
    if (maxMemory < 1)
        throw py::value_error("max_memory must be positive");
    if (maxPeriod > MaxPeriodOption::Most)
        throw py::value_error("max_period must be at most " +
                              std::to_string(MaxPeriodOption::Most));
    const std::uint64_t bytes = PackedField::BytesFor(size, plane);
    if (bytes > maxMemory)
        throw py::value_error("a field of " + std::to_string(bytes) +
                              " bytes takes more than max_memory (" + std::to_string(maxMemory) +
                              " bytes)");
    Ant ant;
    RuleText::ApplyRule(ant, rule);

    std::atomic<bool> stop{false};
    RunOptions options;
    options.Cap = maxIterations;
    options.HighwayMaxPeriod = maxPeriod;
    options.MaxMemory = maxMemory;
    options.Stop = &stop;
    AntPosition position{size / 2, size / 2, Ant::StartDirection};
    PackedField field(PackedField::MinSize);
    if (start.is_none() && antStart.is_none() && origin.is_none())
        field = PackedField(size, plane);
    else
    {
        if (!origin.is_none() && start.is_none())
            throw py::value_error("origin needs a start array");
        StartField cells;
        if (!start.is_none())
        {
            cells = StartOf(start, ant.GetAI().ActiveSteps);
            cells.Left = StartField::Centred(size, cells.Width);
            cells.Top = StartField::Centred(size, cells.Height);
        }
        if (!origin.is_none())
        {
            const py::sequence parts = py::reinterpret_borrow<py::sequence>(origin);
            if (!py::isinstance<py::sequence>(origin) || py::isinstance<py::str>(origin) ||
                parts.size() != 2)
                throw py::value_error("origin must be (x, y)");
            cells.Left = Whole(parts[0], "origin's x");
            cells.Top = Whole(parts[1], "origin's y");
        }
        const AntStart at = antStart.is_none()
                                ? AntStart{position.X, position.Y, position.Direction}
                                : AntOf(antStart);
        const std::string problem = cells.Place(field, size, plane, maxMemory, at.X, at.Y);
        if (!problem.empty())
            throw py::value_error(problem);
        position = AntPosition{static_cast<int>(at.X), static_cast<int>(at.Y), at.Heading};
    }
    RunResult result;
    Interruptible(stop,
                  [&]
                  {
                      result =
                          Rule::CanCycle(ant.ActiveRule())
                              ? Runner().Run<CycleProof::On>(field, position, ant.GetAI(), options)
                              : Runner().Run(field, position, ant.GetAI(), options);
                  });

    py::object highway = py::none();
    if (result.Highway.Found)
        highway = py::dict("period"_a = result.Highway.Period, "onset"_a = result.Highway.Onset,
                           "drift"_a = py::make_tuple(result.Highway.DriftX, result.Highway.DriftY),
                           "certified_at"_a = result.Highway.CertifiedAt);
    // A highway proven before the cap gives the state at the cap, as the command line's
    // run does; its field too, where the box is small enough to hold.
    if (plane && result.Outcome == RunOutcome::Highway && result.Iterations < maxIterations)
        if (const auto future = HighwayFuture::Of(field, position, ant.GetAI(), result.Iterations,
                                                  result.Highway, maxIterations))
        {
            py::list colours;
            colours.append(future->Blank ? py::cast(*future->Blank) : py::none());
            for (std::size_t c = 1; c < Fields::ColoursShown(ant.ActiveRule().size()); ++c)
                colours.append(future->Coloured[c]);
            const std::int64_t width = future->MaxX - future->MinX + 1;
            const std::int64_t height = future->MaxY - future->MinY + 1;
            py::object cells = py::none();
            py::object origin = py::make_tuple(future->MinX, future->MinY);
            if (future->MinX >= INT32_MIN && future->MinY >= INT32_MIN && width <= INT32_MAX &&
                height <= INT32_MAX && std::uint64_t(width) * std::uint64_t(height) <= MostCells)
            {
                const auto window = HighwayFuture::Window(
                    field, position, ant.GetAI(), result.Iterations, result.Highway, maxIterations,
                    static_cast<int>(future->MinX), static_cast<int>(future->MinY),
                    static_cast<int>(width), static_cast<int>(height));
                if (window)
                    cells = FieldArray(*window, static_cast<int>(future->MinX),
                                       static_cast<int>(future->MinY), static_cast<int>(width),
                                       static_cast<int>(height));
            }
            py::object namespace_ = py::module_::import("types").attr("SimpleNamespace");
            return namespace_("rule"_a = ant.ActiveRule(), "iterations"_a = future->Iterations,
                              "outcome"_a = TraitsOf(result.Outcome).Name, "finished"_a = false,
                              "x"_a = future->X, "y"_a = future->Y,
                              "direction"_a = std::string(1, future->Direction),
                              "colours"_a = colours, "highway"_a = highway, "field"_a = cells,
                              "origin"_a = origin, "plane"_a = plane);
        }
    int left = 0, top = 0, width = size, height = size;
    if (plane)
    {
        const PackedField::Bounds box = field.VisitedBounds();
        const bool visited = box.MaxX >= box.MinX;
        left = visited ? box.MinX : position.X;
        top = visited ? box.MinY : position.Y;
        width = visited ? box.MaxX - box.MinX + 1 : 0;
        height = visited ? box.MaxY - box.MinY + 1 : 0;
    }
    const PackedField::ColourCounts colours = field.CountColours();
    const auto shown = static_cast<std::ptrdiff_t>(Fields::ColoursShown(ant.ActiveRule().size()));
    py::object namespace_ = py::module_::import("types").attr("SimpleNamespace");
    return namespace_(
        "rule"_a = ant.ActiveRule(), "iterations"_a = result.Iterations,
        "outcome"_a = TraitsOf(result.Outcome).Name,
        "finished"_a = result.Outcome == RunOutcome::Finished, "x"_a = position.X,
        "y"_a = position.Y, "direction"_a = std::string(1, position.Direction),
        "colours"_a = std::vector<std::uint64_t>(colours.begin(), colours.begin() + shown),
        "highway"_a = highway, "field"_a = FieldArray(field, left, top, width, height),
        "origin"_a = py::make_tuple(left, top), "plane"_a = plane);
}

py::object ValueOf(const Field::Value& value)
{
    return std::visit(
        [](const auto& data) -> py::object
        {
            using T = std::decay_t<decltype(data)>;
            if constexpr (std::is_same_v<T, std::nullptr_t>)
                return py::none();
            else if constexpr (std::is_same_v<T, Field::Counts>)
                return py::none(); // spread over columns by RowOf
            else
                return py::cast(data);
        },
        value);
}

// A record as its CSV row: the columns it shows there, a list of counts one column each.
py::dict RowOf(const Record& record)
{
    py::dict row;
    for (const Field& field : record)
    {
        if ((field.Shown & Field::Csv) == 0)
            continue;
        if (const auto* counts = std::get_if<Field::Counts>(&field.Data))
        {
            for (std::size_t i = 0; i < counts->size(); ++i)
                row[py::str(field.Name + '_' + std::to_string(i))] =
                    (*counts)[i] ? py::cast(*(*counts)[i]) : py::none();
        }
        else
            row[py::str(field.Name)] = ValueOf(field.Data);
    }
    return row;
}

// N or (A, B), A <= B, both within 1..most.
std::pair<std::int64_t, std::int64_t> RangeOf(const py::object& range, const char* name,
                                              std::uint64_t most)
{
    const std::string problem = std::string(name) +
                                " must be N or (A, B) with 1 <= A <= B <= " + std::to_string(most) +
                                ", not " + py::repr(range).cast<std::string>();
    std::int64_t from = 0, to = 0;
    if (py::isinstance<py::tuple>(range) && py::len(range) == 2)
    {
        const py::tuple pair = py::reinterpret_borrow<py::tuple>(range);
        from = Whole(pair[0], name);
        to = Whole(pair[1], name);
    }
    else if (!py::isinstance<py::str>(range) && PyIndex_Check(range.ptr()))
        from = to = Whole(range, name);
    if (from < 1 || from > to || static_cast<std::uint64_t>(to) > most)
        throw py::value_error(problem);
    return {from, to};
}

py::list SurveyRows(const py::object& letters, const py::object& numbers, bool plane, int size,
                    std::uint64_t maxIterations, std::uint64_t maxPeriod, std::uint64_t maxMemory,
                    const py::object& jobsGiven, bool types)
{
    if (letters.is_none() == numbers.is_none())
        throw py::value_error("give either letters or numbers");
    SurveyRecords::Description about;
    if (!letters.is_none())
    {
        const auto [from, to] =
            RangeOf(letters, "letters", static_cast<std::uint64_t>(Survey::MostLetters));
        about.LettersFrom = static_cast<int>(from);
        about.LettersTo = static_cast<int>(to);
    }
    else
    {
        const auto [from, to] = RangeOf(numbers, "numbers", RuleNumber::MostNumber);
        about.NumbersFrom = static_cast<std::uint64_t>(from);
        about.NumbersTo = static_cast<std::uint64_t>(to);
        about.LettersFrom = RuleNumber::LengthOf(about.NumbersFrom);
        about.LettersTo = RuleNumber::LengthOf(about.NumbersTo);
    }
    const std::uint64_t rules = about.NumbersFrom > 0
                                    ? about.NumbersTo - about.NumbersFrom + 1
                                    : SurveyPlan::CountOf(about.LettersFrom, about.LettersTo);
    if (rules > SurveyPlan::MostRules)
        throw py::value_error("a survey takes at most " + std::to_string(SurveyPlan::MostRules) +
                              " rules, not " + std::to_string(rules));
    CheckSizeAndCap(size, maxIterations);
    if (maxPeriod > MaxPeriodOption::Most)
        throw py::value_error("max_period must be at most " +
                              std::to_string(MaxPeriodOption::Most));
    if (maxMemory < 1)
        throw py::value_error("max_memory must be positive");
    int jobs = std::min(RunDefaults::UsableCpus(), MostJobs);
    if (!jobsGiven.is_none())
    {
        const std::int64_t given = Whole(jobsGiven, "jobs");
        if (given < 1 || given > MostJobs)
            throw py::value_error("jobs must be from 1 to " + std::to_string(MostJobs) + ", not " +
                                  std::to_string(given));
        jobs = static_cast<int>(given);
    }
    // As the command: the lanes that fit, and each job's lanes a field within the limit.
    const std::uint64_t bytes = PackedField::BytesFor(size, plane);
    const auto fits = [&](std::uint64_t runs) { return bytes <= maxMemory / runs; };
    const int lanes = RunDefaults::LanesThatFit(jobs, size, plane, maxMemory);
    const std::uint64_t runs = std::uint64_t(jobs) * std::uint64_t(lanes);
    if (!fits(runs))
        throw py::value_error(std::to_string(runs) + " field(s) of " + std::to_string(bytes) +
                              " bytes take more than max_memory (" + std::to_string(maxMemory) +
                              " bytes)");

    Survey survey(SurveyRecords::PlanOf(about), maxIterations);
    survey.SetHighwayMaxPeriod(maxPeriod);
    survey.SetGeometry(size, plane, maxMemory);
    survey.SetLanes(lanes);
    survey.SetTypes(types);
    const std::size_t total = survey.RuleCount();
    jobs = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(jobs), total));
    std::atomic<bool> stop{false};
    Interruptible(stop, [&] { survey.Run(jobs, &stop); });
    if (const std::exception_ptr failure = survey.Failed())
        std::rethrow_exception(failure);

    about.Cap = maxIterations;
    about.MaxPeriod = maxPeriod;
    about.RulesTotal = total;
    about.RulesDone = survey.DoneCount();
    about.FieldSize = static_cast<std::uint64_t>(size);
    about.Plane = plane;
    about.MaxMemory = maxMemory;
    about.Types = types;
    const std::vector<const SurveyRow*> sorted = SurveyRecords::Sorted(survey.Rows(), 0);
    about.Rows = sorted.size();
    py::list rows;
    for (const SurveyRow* row : sorted)
        rows.append(RowOf(SurveyRecords::Of(*row, &about)));
    return rows;
}

// A result's field (or a 2-D array of colours) as palette indices: cell_size pixels a
// cell, or framed as the command line's --png draws it.
IndexImage ImageOf(const py::object& result, int cellSize, bool framed)
{
    if (cellSize < 1 || cellSize > FieldPicture::MaxCellSize)
        throw py::value_error("cell_size must be from 1 to " +
                              std::to_string(FieldPicture::MaxCellSize) + ", not " +
                              std::to_string(cellSize));
    const bool isResult = py::hasattr(result, "field");
    const py::object cells = isResult ? result.attr("field") : result;
    if (cells.is_none())
        throw py::value_error("the result holds no field: its box passes 2^28 cells");
    WholeGrid grid(cells, "the field");
    std::int64_t left = 0, top = 0;
    if (isResult && py::hasattr(result, "origin"))
    {
        const py::tuple origin = result.attr("origin");
        left = Whole(origin[0], "origin's x");
        top = Whole(origin[1], "origin's y");
    }
    const std::int64_t height = grid.Rows();
    const std::int64_t width = grid.Columns();
    if (width == 0 || height == 0)
        throw py::value_error("the field holds no cells to draw");
    const std::int64_t margin = framed ? 2 * IndexRenderer::FieldOffset : 0;
    const std::int64_t pixelsX = width * cellSize + margin;
    const std::int64_t pixelsY = height * cellSize + margin;
    if (pixelsX > std::int64_t(FieldPicture::MaxPixels) ||
        pixelsY > std::int64_t(FieldPicture::MaxPixels) ||
        std::uint64_t(pixelsX) * std::uint64_t(pixelsY) > FieldPicture::MaxPixels)
        throw py::value_error("a picture of " + std::to_string(width) + " x " +
                              std::to_string(height) + " cells would be " +
                              std::to_string(pixelsX) + " x " + std::to_string(pixelsY) +
                              " pixels, more than " + std::to_string(FieldPicture::MaxPixels));
    if (left < -StartField::MostCoordinate || top < -StartField::MostCoordinate ||
        left + width > StartField::MostCoordinate || top + height > StartField::MostCoordinate)
        throw py::value_error("the field's origin lies beyond " +
                              std::to_string(StartField::MostCoordinate) + " cells from (0, 0)");
    grid.Read();
    const auto colours = [&grid](py::ssize_t y, py::ssize_t x) { return grid.At(y, x); };
    for (py::ssize_t y = 0; y < height; ++y)
        for (py::ssize_t x = 0; x < width; ++x)
            if (const std::int64_t colour = colours(y, x);
                colour < 0 || colour >= Palette::CellValueCount)
                throw py::value_error("field[" + std::to_string(y) + "][" + std::to_string(x) +
                                      "]: " + std::to_string(colour) + " is not a colour 0 to " +
                                      std::to_string(Palette::CellValueCount - 1));
    if (!framed)
    {
        IndexImage image(static_cast<int>(pixelsX), static_cast<int>(pixelsY));
        for (py::ssize_t y = 0; y < pixelsY; ++y)
        {
            std::uint8_t* row = image.Row(static_cast<int>(y));
            for (py::ssize_t x = 0; x < pixelsX; ++x)
                row[x] = static_cast<std::uint8_t>(colours(y / cellSize, x / cellSize));
        }
        return image;
    }
    PackedField field(PackedField::MinSize, true);
    field.SetBox(static_cast<int>(left), static_cast<int>(top), static_cast<int>(width),
                 static_cast<int>(height));
    for (py::ssize_t y = 0; y < height; ++y)
        for (py::ssize_t x = 0; x < width; ++x)
            field.SetColour(static_cast<int>(left + x), static_cast<int>(top + y),
                            static_cast<int>(colours(y, x)));
    return IndexRenderer::Render(FieldView(field),
                                 FieldView::Box{static_cast<int>(left), static_cast<int>(top),
                                                static_cast<int>(width), static_cast<int>(height)},
                                 cellSize);
}

py::array_t<std::uint8_t> Picture(const py::object& result, int cellSize, bool framed)
{
    const IndexImage image = ImageOf(result, cellSize, framed);
    py::array_t<std::uint8_t> pixels({image.Height(), image.Width(), 3});
    auto view = pixels.mutable_unchecked<3>();
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
        {
            const Palette::Rgb colour = Palette::Colour(image.At(x, y));
            view(y, x, 0) = colour.Red;
            view(y, x, 1) = colour.Green;
            view(y, x, 2) = colour.Blue;
        }
    return pixels;
}

void SavePng(const py::object& result, const py::object& pathGiven, int cellSize, bool framed)
{
    // A str, bytes or path-like object, as the bytes the system takes.
    const std::string path =
        py::module_::import("os").attr("fsencode")(pathGiven).cast<py::bytes>();
    const IndexImage image = ImageOf(result, cellSize, framed);
    try
    {
        py::gil_scoped_release release;
        OutputFile file(path);
        file.Write(PngEncoder::Encode(image));
        file.Commit();
    }
    catch (const RuntimeFailure& failure)
    {
        // The writer's words name the path and the system's reason.
        PyErr_SetString(PyExc_OSError, failure.what());
        throw py::error_already_set();
    }
}
} // namespace

PYBIND11_MODULE(formicula, module)
{
    module.doc() = "The multi-colour ant automaton: runs on a bounded field or the plane, with "
                   "proven highways.";
    py::register_exception_translator(
        [](std::exception_ptr failure)
        {
            try
            {
                if (failure)
                    std::rethrow_exception(failure);
            }
            catch (const UsageError& error)
            {
                PyErr_SetString(PyExc_ValueError, error.what());
            }
            catch (const RuntimeFailure& error)
            {
                PyErr_SetString(PyExc_RuntimeError, error.what());
            }
        });
    module.def("run", &Run, "rule"_a, py::kw_only(), "size"_a = PackedField::DefaultSize,
               "plane"_a = false, "max_iterations"_a = DefaultCap,
               "max_memory"_a = RunOptions::DefaultMaxMemory,
               "max_period"_a = MaxPeriodOption::Default, "start"_a = py::none(),
               "ant"_a = py::none(), "origin"_a = py::none(),
               "Runs RULE (1 to 12 letters L and R) from a blank field, the ant at the field's "
               "centre heading up, until it finishes, its highway is proven (plane), it outgrows "
               "max_memory or reaches max_iterations. start, a 2-D array of colours 0 to the "
               "rule's letter count, is placed with start[r][c] on cell (ox + c, oy + r), "
               "origin=(ox, oy) centring it on the start cell by default; ant=(x, y, heading) "
               "with heading U, R, D or L. Returns a namespace: rule, iterations, "
               "outcome, finished, x, y, direction, colours (cells per colour 0..12; on the "
               "plane within the visited box), highway (period, onset, drift, certified_at, or "
               "None), field (uint8 colours, rows by y) and origin (the field's top left cell).");
    module.def("survey", &SurveyRows, py::kw_only(), "letters"_a = py::none(),
               "numbers"_a = py::none(), "plane"_a = false, "size"_a = PackedField::DefaultSize,
               "max_iterations"_a = DefaultSurveyCap, "max_period"_a = MaxPeriodOption::Default,
               "max_memory"_a = RunOptions::DefaultMaxMemory, "jobs"_a = py::none(),
               "types"_a = false,
               "Runs every rule of N letters, or of A to B for letters=(A, B), or the rules of "
               "census numbers numbers=(A, B) (one row each), as "
               "formicula-cli survey does, on `jobs` threads (default: the CPUs this process may "
               "use). Returns its rows in the command's order, each a dict keyed by the CSV "
               "columns: str, int, or None where the CSV cell is empty; with types=True a "
               "highway's row has its type in highway_type, as survey --types gives it.");
    module.def("picture", &Picture, "result"_a, "cell_size"_a = 1, "framed"_a = false,
               "The result's field (or a 2-D array of colours) as an RGB uint8 array of "
               "(rows * cell_size, columns * cell_size, 3) in the window's palette; framed adds "
               "the frame and margin of formicula-cli run --png.");
    module.def("save_png", &SavePng, "result"_a, "path"_a, "cell_size"_a = 1, "framed"_a = false,
               "Writes picture(result, cell_size, framed) as a PNG file, whole or not at all; "
               "OSError with the system's reason when it cannot be written.");
}
