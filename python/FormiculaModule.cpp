// The formicula module: runs of the model from Python, their fields as NumPy arrays.

#include "Ant.h"
#include "HighwayFuture.h"
#include "MaxPeriodOption.h"
#include "PackedField.h"
#include "RuleText.h"
#include "Runner.h"
#include "RuntimeFailure.h"
#include "UsageError.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

namespace py = pybind11;
using namespace py::literals;

namespace
{
constexpr std::uint64_t DefaultCap = 1000000000; // as formicula-cli run
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

py::object Run(const std::string& rule, int size, bool plane, std::uint64_t maxIterations,
               std::uint64_t maxMemory, std::uint64_t maxPeriod)
{
    if (size < PackedField::MinSize || size > PackedField::MaxSize)
        throw py::value_error("size must be from " + std::to_string(PackedField::MinSize) + " to " +
                              std::to_string(PackedField::MaxSize) + ", not " +
                              std::to_string(size));
    if (maxIterations < 1 || maxIterations > RunOptions::MostIterations)
        throw py::value_error("max_iterations must be from 1 to " +
                              std::to_string(RunOptions::MostIterations));
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
    PackedField field(size, plane);
    AntPosition position{field.StartX(), field.StartY(), Ant::StartDirection};
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
            for (int c = 1; c < AntField::ColourCount; ++c)
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
    const AntField::ColourCounts colours = field.CountColours();
    py::object namespace_ = py::module_::import("types").attr("SimpleNamespace");
    return namespace_("rule"_a = ant.ActiveRule(), "iterations"_a = result.Iterations,
                      "outcome"_a = TraitsOf(result.Outcome).Name,
                      "finished"_a = result.Outcome == RunOutcome::Finished, "x"_a = position.X,
                      "y"_a = position.Y, "direction"_a = std::string(1, position.Direction),
                      "colours"_a = std::vector<std::uint64_t>(colours.begin(), colours.end()),
                      "highway"_a = highway,
                      "field"_a = FieldArray(field, left, top, width, height),
                      "origin"_a = py::make_tuple(left, top), "plane"_a = plane);
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
               "max_period"_a = MaxPeriodOption::Default,
               "Runs RULE (1 to 12 letters L and R) from a blank field, the ant at the field's "
               "centre heading up, until it finishes, its highway is proven (plane), it outgrows "
               "max_memory or reaches max_iterations. Returns a namespace: rule, iterations, "
               "outcome, finished, x, y, direction, colours (cells per colour 0..12; on the "
               "plane within the visited box), highway (period, onset, drift, certified_at, or "
               "None), field (uint8 colours, rows by y) and origin (the field's top left cell).");
}
