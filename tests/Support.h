#pragma once

// What the tests share: one capture and comparison of a run's state, one way to work the modal
// window a command opens, and the window's control states by name. Model tests, built without
// the widgets, get the state capture and the names.

#include <QString>
#include <QStringList>
#include <QTest>

#include <cstddef>
#include <functional>
#include <vector>

#include "Ant.h"
#include "AntField.h"
#include "FieldView.h"
#include "Iteration.h"
#include "Runner.h"

// Everything a run leaves behind in the model: all cells, the ant's place and heading, its rule.
struct FieldState
{
    std::vector<int> Cells; // row by row, [y * FieldSize + x]
    AntPosition Position;
    AntAI Rule;
};

inline FieldState CaptureState(const AntField& field, const Ant& ant)
{
    FieldState state;
    state.Cells.reserve(std::size_t(AntField::FieldSize) * AntField::FieldSize);
    for (int y = 0; y < AntField::FieldSize; ++y)
        for (int x = 0; x < AntField::FieldSize; ++x)
            state.Cells.push_back(field.GetCell(x, y));
    state.Position = ant.GetPosition();
    state.Rule = ant.GetAI();
    return state;
}

// The same of the window's cells of a packed field.
inline FieldState CaptureState(const FieldView& field, const Ant& ant)
{
    FieldState state;
    state.Cells.reserve(std::size_t(AntField::FieldSize) * AntField::FieldSize);
    for (int y = 0; y < AntField::FieldSize; ++y)
        for (int x = 0; x < AntField::FieldSize; ++x)
            state.Cells.push_back(field.Colour(x, y));
    state.Position = ant.GetPosition();
    state.Rule = ant.GetAI();
    return state;
}

// Plain single iterations up to the refused move or the cap, counted the way the window counts
// them: what every faster way of running must equal.
inline RunResult IterateSlowly(AntField& field, Ant& ant, std::uint64_t cap)
{
    RunResult result;
    while (result.Iterations < cap)
    {
        ++result.Iterations;
        if (Iterate(field, ant) == IterationResult::Blocked)
        {
            result.Outcome = RunOutcome::Finished;
            break;
        }
    }
    return result;
}

// The state before any iteration: a blank field and the ant at its start, with the ant's rule.
inline FieldState StartState(const AntAI& rule)
{
    FieldState state;
    state.Cells.assign(std::size_t(AntField::FieldSize) * AntField::FieldSize, 0);
    state.Position = AntPosition{Ant::StartX, Ant::StartY, Ant::StartDirection};
    state.Rule = rule;
    return state;
}

// The differences in words, the first differing cell among them; empty when the states agree.
inline QString StateDifference(const FieldState& actual, const FieldState& expected)
{
    QStringList found;
    const AntPosition& p = actual.Position;
    const AntPosition& q = expected.Position;
    if (p.X != q.X || p.Y != q.Y || p.Direction != q.Direction)
        found << QStringLiteral("ant at %1,%2,%3, expected %4,%5,%6")
                     .arg(p.X)
                     .arg(p.Y)
                     .arg(QChar(p.Direction))
                     .arg(q.X)
                     .arg(q.Y)
                     .arg(QChar(q.Direction));
    if (actual.Rule.Steps != expected.Rule.Steps ||
        actual.Rule.ActiveSteps != expected.Rule.ActiveSteps)
        found << QStringLiteral("rule %1 (%2 active), expected %3 (%4 active)")
                     .arg(QString::fromStdString(actual.Rule.Steps))
                     .arg(actual.Rule.ActiveSteps)
                     .arg(QString::fromStdString(expected.Rule.Steps))
                     .arg(expected.Rule.ActiveSteps);
    int differing = 0;
    QString first;
    for (std::size_t i = 0; i < actual.Cells.size() && i < expected.Cells.size(); ++i)
    {
        if (actual.Cells[i] == expected.Cells[i])
            continue;
        if (differing++ == 0)
            first = QStringLiteral("cell %1,%2 holds %3, expected %4")
                        .arg(int(i) % AntField::FieldSize)
                        .arg(int(i) / AntField::FieldSize)
                        .arg(actual.Cells[i])
                        .arg(expected.Cells[i]);
    }
    if (differing > 0)
        found << QStringLiteral("%1 (differing cells: %2)").arg(first).arg(differing);
    return found.join(QStringLiteral("; "));
}

#define COMPARE_STATE(actual, expected)                                                            \
    do                                                                                             \
    {                                                                                              \
        const QString difference_ = StateDifference((actual), (expected));                         \
        QVERIFY2(difference_.isEmpty(), qPrintable(difference_));                                  \
    } while (false)

#ifdef QT_WIDGETS_LIB
#include <QApplication>
#include <QTimer>
#include <QWidget>

// Runs `command`, which may block in a modal exec(). Once a modal window is up and active (or
// after a second, should the platform not activate it), `handler` works it and must see that it
// closes, at once or later. Returns whether one appeared.
inline bool WithModal(const std::function<void()>& command,
                      const std::function<void(QWidget*)>& handler)
{
    bool appeared = false;
    int polls = 0;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout,
                     [&]
                     {
                         QWidget* modal = QApplication::activeModalWidget();
                         if (modal == nullptr || !modal->isVisible())
                             return;
                         if (QApplication::activeWindow() != modal && ++polls < 200)
                             return;
                         poll.stop();
                         appeared = true;
                         handler(modal);
                     });
    poll.start();
    command();
    poll.stop();
    return appeared;
}

// Shows the window and makes it the active one, so that focus and keys reach it as they do a
// user's; false if the platform never activated it.
inline bool ShowActive(QWidget& window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}
#endif

#ifdef QT_GUI_LIB
#include "FieldReference.h"
#include "FieldRenderer.h"

#include <QImage>
#include <QPainter>
#include <QRect>

// The command line's picture of the cells in `box`, painted cell by cell from colourAt: a
// 1-pixel frame, the inside, FieldOffset pixels of margin, cellSize x cellSize per cell.
inline QImage ExpectedPicture(const std::function<int(int, int)>& colourAt, const QRect& box,
                              int cellSize)
{
    const int margin = FieldRenderer::FieldOffset;
    QImage image(2 * margin + box.width() * cellSize, 2 * margin + box.height() * cellSize,
                 QImage::Format_RGB32);
    image.fill(FieldRenderer::PenColor());
    QPainter painter(&image);
    painter.fillRect(image.rect().adjusted(1, 1, -1, -1), FieldRenderer::BackgroundColor());
    for (int y = 0; y < box.height(); ++y)
        for (int x = 0; x < box.width(); ++x)
            painter.fillRect(margin + x * cellSize, margin + y * cellSize, cellSize, cellSize,
                             FieldRenderer::CellColor(colourAt(box.left() + x, box.top() + y)));
    painter.end();
    return image.convertToFormat(QImage::Format_RGB888);
}

// What a picture of the run's end shows without a view: the N x N field, or the box of the
// plane's cells not blank (the start cell while there are none).
inline QRect PictureBox(const FieldReference& end, int size, const QRect& view)
{
    int minX = 0, minY = 0, maxX = 0, maxY = 0;
    if (!view.isNull())
        return view;
    if (end.Size > 0)
        return QRect(0, 0, size, size);
    if (!end.Visited(minX, minY, maxX, maxY))
        return QRect(size / 2, size / 2, 1, 1);
    return QRect(QPoint(minX, minY), QPoint(maxX, maxY));
}
#endif

// Enabled states as MainWindowDriver::Controls() reads them: Load AI preset, Reset AI, Play,
// Pause, Stop, Next, Forward, one digit for the twelve rule buttons. Ready and Stopped look the
// same, and so do Paused, AfterNext and AfterForward.
namespace ControlsShown
{
const QString Idle = QStringLiteral("11101111");
const QString Running = QStringLiteral("00011000");
const QString Halted = QStringLiteral("11101110");
const QString Finished = QStringLiteral("11001000");
} // namespace ControlsShown
