// Cost of an animation of a run: encoding per 760 x 760 frame (cell size 3) over the
// frames of preset 05's run, with the renderer's share apart and the ant's steps not
// counted; the file sizes; the peak memory of 2000 frames, which must not grow with
// the frame count; and the final field as one GIF frame and as a PNG.
#include "Ant.h"
#include "AntField.h"
#include "BenchSupport.h"
#include "FrameSchedule.h"
#include "GifWriter.h"
#include "IndexRenderer.h"
#include "Iteration.h"
#include "PackedField.h"
#include "PngEncoder.h"
#include "PresetCatalogue.h"

#include <QFileInfo>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include <sys/resource.h>

namespace
{
using Bench::Clock;
using Bench::Median;
constexpr int Preset = 5;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double PeakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

struct Animation
{
    std::vector<double> RenderMs;
    std::vector<double> EncodeMs;
    qint64 Bytes = 0;
};

// Preset 05 from the start to its end in `frames` frames, as the command line writes it.
Animation Animate(const QString& path, int frames, FrameSchedule::Spacing spacing, int cellSize)
{
    const auto schedule = FrameSchedule::FrameIterations(
        PresetCatalogue::ExpectedIterations(Preset), frames, spacing);
    auto field = std::make_unique<AntField>();
    Ant ant;
    ant.ApplyPreset(Preset);
    std::uint64_t done = 0;

    Animation result;
    GifWriter writer;
    QString error;
    const int side = static_cast<int>(IndexRenderer::Side(AntField::FieldSize, cellSize));
    PackedField packed;
    if (!writer.Open(path, QSize(side, side), &error))
    {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return result;
    }
    for (std::size_t i = 0; i < schedule.size(); ++i)
    {
        for (bool moved = true; moved && done < schedule[i]; ++done)
            moved = Iterate(*field, ant) == IterationResult::Moved;
        packed.Load(*field);
        auto start = Clock::now();
        const IndexImage frame = IndexRenderer::Render(FieldView(packed), cellSize);
        result.RenderMs.push_back(MsSince(start));
        start = Clock::now();
        const bool added = writer.AddFrame(frame, i + 1 == schedule.size() ? 200 : 4, &error);
        result.EncodeMs.push_back(MsSince(start));
        if (!added)
        {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return result;
        }
    }
    if (!writer.Finish(&error))
        std::fprintf(stderr, "%s\n", qPrintable(error));
    result.Bytes = QFileInfo(path).size();
    return result;
}

void Report(const char* what, const Animation& animation)
{
    std::printf("%-34s encode median %6.3f ms/frame, max %6.3f; render median %6.3f ms; "
                "%7.1f KiB\n",
                what, Median(animation.EncodeMs),
                *std::max_element(animation.EncodeMs.begin(), animation.EncodeMs.end()),
                Median(animation.RenderMs), double(animation.Bytes) / 1024.0);
}
} // namespace

int main()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.gif"));
    using S = FrameSchedule::Spacing;

    std::printf("peak RSS before any frame: %.1f MB\n", PeakRssMb());
    Report("100 frames, linear, cell size 3:", Animate(path, 100, S::Linear, 3));
    std::printf("peak RSS after 100 frames: %.1f MB\n", PeakRssMb());
    Report("2000 frames, linear, cell size 3:", Animate(path, 2000, S::Linear, 3));
    std::printf("peak RSS after 2000 frames: %.1f MB\n", PeakRssMb());
    Report("100 frames, log, cell size 3:", Animate(path, 100, S::Logarithmic, 3));
    Report("100 frames, linear, cell size 1:", Animate(path, 100, S::Linear, 1));

    // The worst case: the whole final field as one frame, every pixel encoded.
    auto field = std::make_unique<AntField>();
    Ant ant;
    ant.ApplyPreset(Preset);
    while (Iterate(*field, ant) == IterationResult::Moved)
    {
    }
    PackedField packed;
    packed.Load(*field);
    const IndexImage final = IndexRenderer::Render(FieldView(packed), 3);
    std::vector<double> wholeMs;
    for (int round = 0; round < 25; ++round)
    {
        GifWriter writer;
        if (!writer.Open(path, QSize(final.Width(), final.Height())))
            return 1;
        const auto start = Clock::now();
        const bool added = writer.AddFrame(final, 200);
        wholeMs.push_back(MsSince(start));
        if (!added || !writer.Finish())
            return 1;
    }
    std::printf("whole final field, cell size 3:    encode median %6.3f ms, best %6.3f\n",
                Median(wholeMs), *std::min_element(wholeMs.begin(), wholeMs.end()));

    std::vector<double> renderMs;
    std::vector<double> pngMs;
    std::size_t pngBytes = 0;
    for (int round = 0; round < 25; ++round)
    {
        auto start = Clock::now();
        const IndexImage picture = IndexRenderer::Render(FieldView(packed), 3);
        renderMs.push_back(MsSince(start));
        start = Clock::now();
        pngBytes = PngEncoder::Encode(picture).size();
        pngMs.push_back(MsSince(start));
    }
    std::printf("final field as PNG, cell size 3:   encode median %6.3f ms, render median "
                "%6.3f ms; %7.1f KiB\n",
                Median(pngMs), Median(renderMs), double(pngBytes) / 1024.0);
    return 0;
}
