// Paint time of the 760 x 760 field view with a busy field (preset 05's final field):
// the plain procedure, one drawRect per cell, against the widget, in the same run.
// Run with QT_QPA_PLATFORM=offscreen where there is no display.
#include "Ant.h"
#include "AntField.h"
#include "FieldRenderer.h"
#include "Runner.h"
#include "WidgetPaintArea.h"

#include <QApplication>
#include <QBrush>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace
{
constexpr int Side = 760;

void PaintCellByCell(QPainter& painter, AntField& field)
{
    painter.setPen(QPen(QBrush(Qt::black), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.setBrush(QBrush(Qt::white));
    painter.drawRect(0, 0, Side - 1, Side - 1);
    QBrush brushes[FieldRenderer::CellValueCount];
    for (int v = 0; v < FieldRenderer::CellValueCount; ++v)
        brushes[v] = QBrush(FieldRenderer::CellColor(v));
    const int* const* cells = field.GetCopy();
    painter.setPen(Qt::NoPen);
    for (int y = 0; y < AntField::FieldSize; ++y)
    {
        for (int x = 0; x < AntField::FieldSize; ++x)
        {
            const int v = cells[y][x];
            if (v >= 0 && v < FieldRenderer::CellValueCount)
                painter.setBrush(brushes[v]);
            else
                painter.setBrush(Qt::NoBrush);
            painter.drawRect(5 + 3 * x, 5 + 3 * y, 3, 3);
        }
    }
}

// Median milliseconds per call over the given number of rounds, after two warm-up calls.
double MedianMs(int rounds, const std::function<void()>& paint)
{
    paint();
    paint();
    std::vector<double> ms;
    QElapsedTimer timer;
    for (int i = 0; i < rounds; ++i)
    {
        timer.start();
        paint();
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);

    auto field = std::make_unique<AntField>();
    Ant ant;
    ant.ApplyPreset(5);
    const RunResult run = Runner().Run(*field, ant);
    std::printf("field: preset 05 after %llu iterations\n",
                static_cast<unsigned long long>(run.Iterations));

    WidgetPaintArea widget(nullptr);
    widget.resize(Side, Side);
    widget.SetAntField(field.get());

    QImage baseline(Side, Side, QImage::Format_RGB32);
    QImage ours(Side, Side, QImage::Format_RGB32);
    const double cellByCell = MedianMs(60,
                                       [&]
                                       {
                                           QPainter painter(&baseline);
                                           PaintCellByCell(painter, *field);
                                       });
    const double rendered = MedianMs(600, [&] { widget.render(&ours); });
    std::printf("identical pixels: %s\n", baseline == ours ? "yes" : "NO");
    std::printf("per-cell drawRect procedure:   %8.3f ms per paint (median of 60)\n", cellByCell);
    std::printf("WidgetPaintArea via render():  %8.3f ms per paint (median of 600)\n", rendered);

    // The window's own path: a synchronous repaint into the backing store.
    widget.show();
    QApplication::processEvents();
    const double repainted = MedianMs(600, [&] { widget.repaint(); });
    std::printf("WidgetPaintArea via repaint(): %8.3f ms per paint (median of 600)\n", repainted);
    std::printf("speed-up over per-cell:        %8.1f x (render)\n", cellByCell / rendered);
    return baseline == ours ? 0 : 1;
}
