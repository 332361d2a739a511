#include "AnimationExport.h"

#include "ArgumentText.h"
#include "FieldPicture.h"
#include "GifWriter.h"
#include "IndexRenderer.h"
#include "OutputFile.h"
#include "RunReplay.h"
#include "RuntimeFailure.h"
#include "StandardOutput.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>

#include <QFile>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include <vector>

namespace
{
// GIF delays are hundredths of a second; browsers show those under 20 ms as 100 ms.
constexpr int MinDelayMs = 20;
constexpr int MaxDelayMs = 60000;

void CopyToStandardOutput(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeFailure("cannot read the animation back: " + file.errorString().toStdString());
    std::vector<char> buffer(65536);
    for (qint64 n = 0; (n = file.read(buffer.data(), qint64(buffer.size()))) != 0;)
    {
        if (n < 0)
            throw RuntimeFailure("cannot read the animation back: " +
                                 file.errorString().toStdString());
        StandardOutput::Write(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    }
    StandardOutput::Flush();
}
} // namespace

AnimationExport::AnimationExport(CLI::App& command) : Command(&command)
{
    command
        .add_option("--gif", Path,
                    "also write the run from iteration 0 to its end as an animated GIF; - for "
                    "stdout")
        ->type_name("FILE");
    command
        .add_option("--frames", FramesText,
                    "frames of the GIF, 2 to " + std::to_string(MaxFrames) + " (default " +
                        std::to_string(DefaultFrames) + ")")
        ->type_name("F");
    command
        .add_option("--spacing", SpacingText,
                    "iterations of the frames: linear (default) or log (dense early)")
        ->type_name("linear|log");
    command
        .add_option("--delay", DelayText,
                    "ms between frames, a multiple of 10, at least " + std::to_string(MinDelayMs) +
                        " (default " + std::to_string(DefaultDelayMs) + "); the last stays 2 s")
        ->type_name("MS");
}

bool AnimationExport::Requested() const
{
    return Command->count("--gif") > 0;
}

bool AnimationExport::ToStandardOutput() const
{
    return Requested() && Path == FieldPicture::StandardOutputPath;
}

void AnimationExport::CheckOptions()
{
    for (const char* option : {"--frames", "--spacing", "--delay"})
        if (!Requested() && Command->count(option) > 0)
            throw UsageError(std::string(option) + " needs --gif FILE");
    if (!Requested())
        return;
    if (Command->count("--frames") > 0)
        Frames = ArgumentText::ParseInt("--frames", FramesText, 2, MaxFrames);
    if (Command->count("--spacing") > 0)
    {
        if (SpacingText != "linear" && SpacingText != "log")
            throw UsageError("--spacing must be linear or log, not " +
                             ArgumentText::Quote(SpacingText));
        Spacing = SpacingText == "log" ? FrameSchedule::Spacing::Logarithmic
                                       : FrameSchedule::Spacing::Linear;
    }
    if (Command->count("--delay") > 0)
    {
        const int ms = ArgumentText::ParseInt("--delay", DelayText, MinDelayMs, MaxDelayMs);
        if (ms % 10 != 0)
            throw UsageError("--delay must be a multiple of 10 ms (GIF counts hundredths of a "
                             "second), not " +
                             ArgumentText::Quote(DelayText));
        DelayCentiseconds = ms / 10;
    }
    if (ToStandardOutput() && StandardOutput::IsTerminal())
        throw UsageError("an animation is not written to a terminal; redirect stdout or give a "
                         "file");
}

void AnimationExport::CheckWritable() const
{
    if (Requested() && !ToStandardOutput())
        OutputFile::Check(Path);
}

void AnimationExport::Write(const Ant& rule, std::uint64_t lastIteration, int cellSize) const
{
    if (!ToStandardOutput())
    {
        Encode(rule, lastIteration, cellSize, Path);
        return;
    }
    // The writer replaces a file through QSaveFile, which a pipe is not: stdout gets a copy.
    const QTemporaryDir scratch;
    if (!scratch.isValid())
        throw RuntimeFailure("cannot make a temporary directory: " +
                             scratch.errorString().toStdString());
    const QString path = scratch.filePath(QStringLiteral("animation.gif"));
    Encode(rule, lastIteration, cellSize, path.toLocal8Bit().toStdString());
    CopyToStandardOutput(path);
}

void AnimationExport::Encode(const Ant& rule, std::uint64_t lastIteration, int cellSize,
                             const std::string& path) const
{
    GifWriter writer;
    QString error;
    if (!writer.Open(OutputFile::LocalPath(path),
                     QSize(IndexRenderer::Side(cellSize), IndexRenderer::Side(cellSize)), &error))
        OutputFile::Fail(path, error.toStdString());
    RunReplay replay(rule);
    const std::vector<std::uint64_t> schedule =
        FrameSchedule::FrameIterations(lastIteration, Frames, Spacing);
    for (std::size_t i = 0; i < schedule.size(); ++i)
    {
        replay.AdvanceTo(schedule[i]);
        const IndexImage frame = IndexRenderer::Render(replay.Field().GetCopy(), cellSize);
        const int delay = i + 1 == schedule.size() ? LastFrameMs / 10 : DelayCentiseconds;
        if (!writer.AddFrame(frame, delay, &error))
            OutputFile::Fail(path, error.toStdString());
    }
    if (!writer.Finish(&error))
        OutputFile::Fail(path, error.toStdString());
}
