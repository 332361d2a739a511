// Time to build the preset dialog, which decodes all 31 preview pictures every time.
// Usage: bench_dialog [repetitions]   (default 30; runs offscreen unless a platform is set)

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmapCache>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "FormLoadAntAIPreset.h"

namespace
{
double ConstructMs(bool clearCache)
{
    // QPixmap::load consults the global pixmap cache; clearing it forces a real decode.
    if (clearCache)
        QPixmapCache::clear();
    QElapsedTimer timer;
    timer.start();
    auto* dialog = new FormLoadAntAIPreset(nullptr);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    delete dialog;
    return ms;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
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

    const double first = ConstructMs(false);

    std::vector<double> asRun;
    std::vector<double> cold;
    for (int i = 0; i < repetitions; ++i)
    {
        asRun.push_back(ConstructMs(false));
        cold.push_back(ConstructMs(true));
    }

    std::printf("preset dialog construction, %d repetitions (target <= 60 ms)\n", repetitions);
    std::printf("  first construction:              %8.2f ms\n", first);
    std::printf("  median, pixmap cache as is:      %8.2f ms (min %.2f, max %.2f)\n", Median(asRun),
                *std::min_element(asRun.begin(), asRun.end()),
                *std::max_element(asRun.begin(), asRun.end()));
    std::printf("  median, pixmap cache cleared:    %8.2f ms (min %.2f, max %.2f)\n", Median(cold),
                *std::min_element(cold.begin(), cold.end()),
                *std::max_element(cold.begin(), cold.end()));
    return 0;
}
