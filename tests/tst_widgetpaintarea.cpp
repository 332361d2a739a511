#include "AntField.h"
#include "FieldRenderer.h"
#include "PresetPicture.h"
#include "WidgetPaintArea.h"

#include <QApplication>
#include <QBrush>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QRandomGenerator>
#include <QtTest>

#include <functional>
#include <memory>

namespace
{
using FieldSetup = std::function<void(AntField&)>;

// The palette written out once more, so the renderer's own table is checked, not restated.
const QColor ExpectedColours[13] = {
    {50, 50, 50},   {250, 250, 250}, {200, 100, 100}, {100, 200, 100}, {40, 120, 170},
    {50, 200, 200}, {100, 110, 130}, {200, 200, 50},  {200, 140, 120}, {160, 90, 180},
    {140, 140, 40}, {20, 140, 120},  {240, 140, 40}};

// The plain procedure: framed white rectangle, then one drawRect per cell.
QImage PaintCellByCell(const int* const* cells, QSize size, int cellSize)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(1, 2, 3)); // anything left unpainted shows up as a difference
    QPainter painter(&image);
    painter.setPen(QPen(QBrush(Qt::black), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.setBrush(QBrush(Qt::white));
    painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
    if (cells == nullptr)
        return image;
    painter.setPen(Qt::NoPen);
    for (int y = 0; y < AntField::FieldSize; ++y)
    {
        for (int x = 0; x < AntField::FieldSize; ++x)
        {
            const int v = cells[y][x];
            if (v >= 0 && v <= 12)
                painter.setBrush(QBrush(ExpectedColours[v]));
            else
                painter.setBrush(Qt::NoBrush);
            painter.drawRect(5 + cellSize * x, 5 + cellSize * y, cellSize, cellSize);
        }
    }
    return image;
}

QImage Grab(WidgetPaintArea& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QString FirstDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return QStringLiteral("sizes differ");
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return QStringLiteral("first difference at (%1, %2): %3 vs %4")
                    .arg(x)
                    .arg(y)
                    .arg(a.pixel(x, y), 8, 16)
                    .arg(b.pixel(x, y), 8, 16);
    return QString();
}
} // namespace

Q_DECLARE_METATYPE(FieldSetup)

class TestWidgetPaintArea : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void matchesCellByCell_data();
    void matchesCellByCell();
    void blankFieldLayout();
    void paintsFreshSnapshot();
    void renderHonoursTargetOffset();
    void pictureSizeMatchesCellByCell_data();
    void pictureSizeMatchesCellByCell();
    void pictureIsPlainRgb();

private:
    void fieldRows();
};

void TestWidgetPaintArea::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestWidgetPaintArea::fieldRows()
{
    QTest::addColumn<bool>("hasField");
    QTest::addColumn<FieldSetup>("setup");

    QTest::newRow("no field") << false << FieldSetup([](AntField&) {});
    QTest::newRow("blank") << true << FieldSetup([](AntField&) {});
    QTest::newRow("corner cells") << true
                                  << FieldSetup(
                                         [](AntField& f)
                                         {
                                             f.SetCell(0, 0, 2);
                                             f.SetCell(249, 249, 12);
                                         });
    QTest::newRow("random values -1 to 13")
        << true
        << FieldSetup(
               [](AntField& f)
               {
                   QRandomGenerator random(20261207);
                   for (int y = 0; y < AntField::FieldSize; ++y)
                       for (int x = 0; x < AntField::FieldSize; ++x)
                           f.SetCell(x, y, random.bounded(-1, 14));
               });
    QTest::newRow("far out of range") << true
                                      << FieldSetup(
                                             [](AntField& f)
                                             {
                                                 f.SetCell(10, 10, INT_MIN);
                                                 f.SetCell(11, 10, INT_MAX);
                                                 f.SetCell(249, 0, 100);
                                             });
    QTest::newRow("preset 05 final field")
        << true << FieldSetup([](AntField& f) { RunPresetToEnd(f, 5); });
}

void TestWidgetPaintArea::matchesCellByCell_data()
{
    fieldRows();
}

void TestWidgetPaintArea::matchesCellByCell()
{
    QFETCH(bool, hasField);
    QFETCH(FieldSetup, setup);

    auto field = std::make_unique<AntField>();
    setup(*field);
    const int* const* cells = hasField ? field->GetCopy() : nullptr;

    // The window's size, plus one that clips the field and one with room to spare.
    for (const QSize size : {QSize(760, 760), QSize(401, 300), QSize(800, 790)})
    {
        WidgetPaintArea widget(nullptr);
        widget.resize(size);
        if (hasField)
            widget.SetAntField(field.get());
        const QImage expected = PaintCellByCell(cells, size, 3);
        const QImage actual = Grab(widget);
        QVERIFY2(actual == expected, qPrintable(QStringLiteral("%1x%2: %3")
                                                    .arg(size.width())
                                                    .arg(size.height())
                                                    .arg(FirstDifference(actual, expected))));
    }
}

void TestWidgetPaintArea::blankFieldLayout()
{
    AntField field;
    field.SetCell(0, 0, 2);
    field.SetCell(249, 249, 12);
    field.SetCell(1, 0, 13);
    field.SetCell(0, 1, -1);
    WidgetPaintArea widget(nullptr);
    widget.resize(760, 760);
    widget.SetAntField(&field);
    const QImage image = Grab(widget);

    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255), grey = qRgb(50, 50, 50);
    for (int i : {0, 759})
    {
        QCOMPARE(image.pixel(i, 380), black);
        QCOMPARE(image.pixel(380, i), black);
    }
    for (int i : {1, 4, 755, 758})
    {
        QCOMPARE(image.pixel(i, 380), white);
        QCOMPARE(image.pixel(380, i), white);
    }
    QCOMPARE(image.pixel(10, 10), grey);
    QCOMPARE(image.pixel(751, 751), grey);
    QCOMPARE(image.pixel(5, 5), qRgb(200, 100, 100));
    QCOMPARE(image.pixel(7, 7), qRgb(200, 100, 100));
    QCOMPARE(image.pixel(752, 752), qRgb(240, 140, 40));
    QCOMPARE(image.pixel(754, 754), qRgb(240, 140, 40));
    // 13 and -1 leave their cells white.
    QCOMPARE(image.pixel(8, 5), white);
    QCOMPARE(image.pixel(10, 7), white);
    QCOMPARE(image.pixel(5, 8), white);
    QCOMPARE(image.pixel(7, 10), white);
}

void TestWidgetPaintArea::paintsFreshSnapshot()
{
    AntField field;
    WidgetPaintArea widget(nullptr);
    widget.resize(760, 760);
    widget.SetAntField(&field);
    QCOMPARE(Grab(widget).pixel(5 + 3 * 100, 5 + 3 * 200), qRgb(50, 50, 50));

    // No repaint is needed for the next paint to show the field's current state.
    field.SetCell(100, 200, 4);
    QCOMPARE(Grab(widget).pixel(5 + 3 * 100, 5 + 3 * 200), qRgb(40, 120, 170));
    field.Clear();
    QCOMPARE(Grab(widget).pixel(5 + 3 * 100, 5 + 3 * 200), qRgb(50, 50, 50));
}

void TestWidgetPaintArea::renderHonoursTargetOffset()
{
    auto field = std::make_unique<AntField>();
    RunPresetToEnd(*field, 3);
    field->SetCell(0, 0, -1);
    WidgetPaintArea widget(nullptr);
    widget.resize(760, 760);
    widget.SetAntField(field.get());

    QImage target(800, 800, QImage::Format_RGB32);
    target.fill(QColor(9, 9, 9));
    widget.render(&target, QPoint(17, 29));
    const QImage expected = PaintCellByCell(field->GetCopy(), QSize(760, 760), 3);
    const QImage placed = target.copy(17, 29, 760, 760);
    QVERIFY2(placed == expected, qPrintable(FirstDifference(placed, expected)));
    QCOMPARE(target.pixel(16, 28), qRgb(9, 9, 9));
    QCOMPARE(target.pixel(777, 789), qRgb(9, 9, 9));
}

void TestWidgetPaintArea::pictureSizeMatchesCellByCell_data()
{
    fieldRows();
}

void TestWidgetPaintArea::pictureSizeMatchesCellByCell()
{
    QFETCH(bool, hasField);
    QFETCH(FieldSetup, setup);

    auto field = std::make_unique<AntField>();
    setup(*field);
    const int* const* cells = hasField ? field->GetCopy() : nullptr;
    const QImage expected = PaintCellByCell(cells, QSize(510, 510), 2);
    const QImage actual = FieldRenderer::Render(cells, 2).convertToFormat(QImage::Format_RGB32);
    QVERIFY2(actual == expected, qPrintable(FirstDifference(actual, expected)));
}

void TestWidgetPaintArea::pictureIsPlainRgb()
{
    AntField field;
    field.SetCell(249, 249, 12);
    const QImage image = FieldRenderer::Render(field.GetCopy(), 2);
    QCOMPARE(image.size(), QSize(510, 510));
    QCOMPARE(image.format(), QImage::Format_RGB888);
    QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(509, 509), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(4, 4), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(5, 5), qRgb(50, 50, 50));
    QCOMPARE(image.pixel(503, 503), qRgb(240, 140, 40));
    QCOMPARE(image.pixel(504, 504), qRgb(240, 140, 40));
    QCOMPARE(image.pixel(505, 505), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(508, 508), qRgb(255, 255, 255));
    QCOMPARE(FieldRenderer::ImageSize(3), QSize(760, 760));
}

QTEST_MAIN(TestWidgetPaintArea)
#include "tst_widgetpaintarea.moc"
