#include "AnimationExport.h"

#include "ArgumentText.h"
#include "FieldPicture.h"
#include "GifWriter.h"
#include "IndexRenderer.h"
#include "Interruption.h"
#include "OptionChecks.h"
#include "OutputFile.h"
#include "Palette.h"
#include "RunReplay.h"
#include "StandardOutput.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>

#include <QFile>
#include <QSize>
#include <QString>

#include <algorithm>
#include <vector>

#include <unistd.h>

namespace
{
// GIF delays are hundredths of a second; browsers show those under 20 ms as 100 ms.
constexpr int MinDelayMs = 20;
constexpr int MaxDelayMs = 60000;
} // namespace

AnimationExport::AnimationExport(CLI::App& command)
    : OutputOption(command, "--gif",
                   "also write the run from iteration 0 to its end as an animated GIF; - for "
                   "stdout")
{
    command
        .add_option("--frames", Frames,
                    "frames of the GIF, 2 to " + std::to_string(MaxFrames) + " (default " +
                        std::to_string(DefaultFrames) + ")")
        ->type_name("F")
        ->check(OptionChecks::WholeNumber("--frames", 2, MaxFrames));
    command
        .add_option("--spacing", SpacingName,
                    "iterations of the frames: linear (default) or log (dense early)")
        ->type_name("linear|log")
        ->check(OptionChecks::OneOf("--spacing", {"linear", "log"}));
    command
        .add_option("--delay", DelayMs,
                    "ms between frames, a multiple of 10, at least " + std::to_string(MinDelayMs) +
                        " (default " + std::to_string(DefaultDelayMs) + "); the last stays " +
                        std::to_string(LastFrameMs / 1000) + " s")
        ->type_name("MS")
        ->check(OptionChecks::WholeNumber("--delay", MinDelayMs, MaxDelayMs))
        ->check(CLI::Validator(
            [](std::string& text)
            {
                if (ArgumentText::ParseInt("--delay", text, MinDelayMs, MaxDelayMs) % 10 != 0)
                    throw UsageError("--delay must be a multiple of 10 ms (GIF counts hundredths "
                                     "of a second), not " +
                                     ArgumentText::Quote(text));
                return std::string();
            },
            ""));
}

void AnimationExport::CheckOptions()
{
    for (const char* option : {"--frames", "--spacing", "--delay"})
        if (!Requested() && Command->count(option) > 0)
            throw UsageError(std::string(option) + " needs --gif FILE");
    if (!Requested())
        return;
    Spacing =
        SpacingName == "log" ? FrameSchedule::Spacing::Logarithmic : FrameSchedule::Spacing::Linear;
    if (ToStandardOutput() && StandardOutput::IsTerminal())
        throw UsageError("an animation is not written to a terminal; redirect stdout or give a "
                         "file");
}

std::unique_ptr<OutputFile> AnimationExport::Write(const AntAI& rule, const RunOptions& field,
                                                   std::uint64_t lastIteration,
                                                   const FieldView::Box& window, int cellSize,
                                                   const ReplayStart& start) const
{
    QFile out; // outlives the writer, which may still close it
    GifWriter writer(std::max(Palette::CellValueCount, rule.ActiveSteps + 1));
    QString error;
    const QSize size(static_cast<int>(IndexRenderer::Side(window.Width, cellSize)),
                     static_cast<int>(IndexRenderer::Side(window.Height, cellSize)));
    std::unique_ptr<OutputFile> file;
    if (ToStandardOutput())
    {
        // Streamed: a pipe cannot be replaced as a whole, and a copy in TMPDIR could outlive
        // the process.
        StandardOutput::Flush();
        if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered,
                      QFileDevice::DontCloseHandle))
            StandardOutput::Fail(out.errorString().toStdString());
        if (!writer.Open(out, size, &error))
            StandardOutput::Fail(error.toStdString());
    }
    else
    {
        file = std::make_unique<OutputFile>(Path);
        if (!writer.Open([&file](std::string_view bytes) { file->Write(bytes); }, size, &error))
            OutputFile::Fail(Path, error.toStdString());
    }
    auto fail = [&]
    {
        if (ToStandardOutput())
            StandardOutput::Fail(error.toStdString());
        OutputFile::Fail(Path, error.toStdString());
    };
    RunReplay replay(rule, field, start);
    const std::vector<std::uint64_t> schedule =
        FrameSchedule::FrameIterations(lastIteration, Frames, Spacing);
    for (std::size_t i = 0; i < schedule.size(); ++i)
    {
        replay.AdvanceTo(schedule[i]);
        Interruption::Check();
        const IndexImage frame =
            IndexRenderer::Render(FieldView(replay.Field()), window, cellSize,
                                  std::max(Palette::CellValueCount, rule.ActiveSteps + 1));
        const int delay = (i + 1 == schedule.size() ? LastFrameMs : DelayMs) / 10;
        if (!writer.AddFrame(frame, delay, &error))
            fail();
    }
    if (!writer.Finish(&error))
        fail();
    return file;
}
