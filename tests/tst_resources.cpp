#include "PresetCatalogue.h"
#include "PresetPicture.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cstdlib>

namespace
{
const char* const IconNames[] = {"qt_icon",         "simulation_play", "simulation_pause",
                                 "simulation_stop", "simulation_next", "simulation_forward",
                                 "turn_none",       "turn_left",       "turn_right"};

QString IconPath(const char* name)
{
    return QStringLiteral(":/resources/icons/%1.png").arg(QLatin1String(name));
}

// Bit depth and colour type from the PNG header, which QImage does not report.
struct PngHeader
{
    int BitDepth = -1;
    int ColourType = -1;
};

PngHeader ReadPngHeader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(26);
    if (head.size() < 26 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
        return {};
    return {static_cast<unsigned char>(head[24]), static_cast<unsigned char>(head[25])};
}

bool SamePixels(const QImage& a, const QImage& b)
{
    return a.size() == b.size() &&
           a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

// The largest difference of any channel of any pixel; -1 when the sizes differ.
int LargestDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int largest = 0;
    for (int row = 0; row < x.height(); ++row)
    {
        const auto* p = x.constScanLine(row);
        const auto* q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 4; ++i)
            largest = std::max(largest, std::abs(int(p[i]) - int(q[i])));
    }
    return largest;
}

// The smallest rectangle holding every pixel that is not fully transparent.
QRect Coverage(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                box |= QRect(x, y, 1, 1);
    return box;
}
} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void loadsAtListedSize_data();
    void loadsAtListedSize();
    void turnIconShapes();
    void buttonIconsAreDiscs_data();
    void buttonIconsAreDiscs();
    void iconsAreTheGeneratorsOutput();
    void previewsMatchRenderer_data();
    void previewsMatchRenderer();
};

void TestResources::loadsAtListedSize_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("colourType"); // 2 RGB, 6 RGB with alpha

    for (const char* name : IconNames)
    {
        const QString path = IconPath(name);
        const QSize size = path.contains(QLatin1String("simulation_")) ? QSize(1034, 1034)
                           : path.contains(QLatin1String("turn_"))     ? QSize(20, 20)
                                                                       : QSize(300, 300);
        QTest::newRow(name) << path << size << 6;
    }
    for (int n = 1; n <= PresetCatalogue::PresetCount; ++n)
    {
        const QString path = QString::fromLatin1(PresetCatalogue::PicturePath(n));
        QTest::newRow(qPrintable(QStringLiteral("preset %1").arg(n)))
            << path << QSize(510, 510) << 2;
    }
}

void TestResources::loadsAtListedSize()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QFETCH(int, colourType);

    const QPixmap pixmap(path);
    QVERIFY(!pixmap.isNull());
    QCOMPARE(pixmap.size(), size);
    const PngHeader header = ReadPngHeader(path);
    QCOMPARE(header.BitDepth, 8);
    QCOMPARE(header.ColourType, colourType);
}

void TestResources::turnIconShapes()
{
    const QImage none(IconPath("turn_none"));
    const QImage left(IconPath("turn_left"));
    const QImage right(IconPath("turn_right"));
    const QRgb blue = qRgb(0x0A, 0x64, 0xB4);

    QCOMPARE(Coverage(none), QRect(QPoint(7, 7), QPoint(12, 12)));
    QCOMPARE(none.pixel(10, 10), blue | 0xff000000u);
    QCOMPARE(Coverage(left), QRect(QPoint(2, 5), QPoint(17, 14)));
    QCOMPARE(left.pixel(14, 10), blue | 0xff000000u);
    QVERIFY(SamePixels(right, left.mirrored(true, false)));
    QVERIFY(!SamePixels(right, left));
}

void TestResources::buttonIconsAreDiscs_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("disc");
    QTest::newRow("play") << "simulation_play" << QColor(0x32, 0xBE, 0xA6);
    QTest::newRow("pause") << "simulation_pause" << QColor(0xE5, 0xAA, 0x17);
    QTest::newRow("stop") << "simulation_stop" << QColor(0xE0, 0x4F, 0x5F);
    QTest::newRow("next") << "simulation_next" << QColor(0x25, 0xB7, 0xD3);
    QTest::newRow("forward") << "simulation_forward" << QColor(0x25, 0xB7, 0xD3);
}

void TestResources::buttonIconsAreDiscs()
{
    QFETCH(QString, name);
    QFETCH(QColor, disc);

    const QImage image(QStringLiteral(":/resources/icons/%1.png").arg(name));
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(1033, 0), QPoint(0, 1033), QPoint(1033, 1033), QPoint(150, 150)})
        QCOMPARE(qAlpha(image.pixel(corner)), 0);
    for (const QPoint rim :
         {QPoint(517, 20), QPoint(20, 517), QPoint(1013, 517), QPoint(517, 1013)})
        QCOMPARE(QColor(image.pixel(rim)), disc);

    int white = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            white += image.pixel(x, y) == 0xffffffffu;
    // The white symbol takes a sizeable share of the disc, but not most of it.
    const int samples = (image.width() / 4 + 1) * (image.height() / 4 + 1);
    QVERIFY2(white > samples / 20 && white < samples / 3, qPrintable(QString::number(white)));
}

void TestResources::iconsAreTheGeneratorsOutput()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(QProcess::execute(QStringLiteral(FORMICULA_ICONS), {dir.path()}), 0);
    for (const char* name : IconNames)
    {
        const QImage generated(dir.filePath(QStringLiteral("%1.png").arg(QLatin1String(name))));
        // Qt's raster engine picks its blending code by the processor's instruction set,
        // so antialiased edges may differ by a step or two between machines; a changed
        // icon differs by far more.
        const int difference = LargestDifference(generated, QImage(IconPath(name)));
        QVERIFY2(difference >= 0 && difference <= 2,
                 qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(name)).arg(difference)));
    }
}

void TestResources::previewsMatchRenderer_data()
{
    QTest::addColumn<int>("number");
    for (int n = 1; n <= PresetCatalogue::PresetCount; ++n)
        QTest::newRow(qPrintable(QStringLiteral("preset %1").arg(n))) << n;
}

void TestResources::previewsMatchRenderer()
{
    QFETCH(int, number);
    const QImage compiledIn(QString::fromLatin1(PresetCatalogue::PicturePath(number)));
    QVERIFY(SamePixels(RenderPresetFinalField(number, 2), compiledIn));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
