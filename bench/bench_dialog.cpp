// Time to build the preset dialog, which decodes all 31 preview pictures every time.
// Usage: bench_dialog [repetitions]   (default 30; runs offscreen unless a platform is set)
// Wall time is what the user waits; process CPU time is printed beside it because the
// machines this runs on are often shared and wall time then mostly measures the neighbours.

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmapCache>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "FormLoadAntAIPreset.h"
#include "PresetCatalogue.h"

namespace
{
struct Sample
{
    double WallMs;
    double CpuMs;
};

Sample Construct(bool clearCache)
{
    // QPixmap::load consults the global pixmap cache; clearing it forces a real decode.
    if (clearCache)
        QPixmapCache::clear();
    QElapsedTimer timer;
    const std::clock_t cpuStart = std::clock();
    timer.start();
    auto* dialog = new FormLoadAntAIPreset(nullptr);
    const double wall = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const double cpu = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    delete dialog;
    return {wall, cpu};
}

// The floor under the dialog: decoding the same 31 pictures, each freed at once, no widgets.
Sample DecodeOnly()
{
    QElapsedTimer timer;
    const std::clock_t cpuStart = std::clock();
    timer.start();
    qint64 pixels = 0;
    for (int n = 1; n <= PresetCatalogue::PresetCount; ++n)
        pixels += QImage(QString::fromLatin1(PresetCatalogue::PicturePath(n))).sizeInBytes();
    const double wall = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const double cpu = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (pixels == 0)
        std::printf("no pictures decoded: are the resources linked?\n");
    return {wall, cpu};
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

void Report(const char* title, const std::vector<Sample>& samples)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    for (const Sample& s : samples)
    {
        wall.push_back(s.WallMs);
        cpu.push_back(s.CpuMs);
    }
    std::printf("  %-30s wall %8.2f ms (min %.2f, max %.2f)   cpu %8.2f ms\n", title, Median(wall),
                *std::min_element(wall.begin(), wall.end()),
                *std::max_element(wall.begin(), wall.end()), Median(cpu));
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int repetitions = 30;
    if (argc > 1)
        repetitions = std::max(1, std::atoi(argv[1]));

    const Sample first = Construct(false);

    std::vector<Sample> asRun;
    std::vector<Sample> cold;
    std::vector<Sample> decodeOnly;
    for (int i = 0; i < repetitions; ++i)
    {
        asRun.push_back(Construct(false));
        cold.push_back(Construct(true));
        decodeOnly.push_back(DecodeOnly());
    }

    std::printf("preset dialog construction, %d repetitions (target <= 60 ms)\n", repetitions);
    std::printf("  %-30s wall %8.2f ms                          cpu %8.2f ms\n",
                "first construction", first.WallMs, first.CpuMs);
    Report("median, pixmap cache as is", asRun);
    Report("median, pixmap cache cleared", cold);
    Report("median, 31 decodes, no dialog", decodeOnly);
    return 0;
}
