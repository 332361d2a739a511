#include "Ant.h"
#include "AntField.h"
#include "FieldRenderer.h"
#include "IndexRenderer.h"
#include "Iteration.h"
#include "PackedField.h"
#include "Palette.h"
#include "PngEncoder.h"

#include <QImage>

#include <QtTest>

#include <functional>
#include <memory>
#include <stdexcept>

namespace
{
using FieldSetup = std::function<void(AntField&)>;

// The index picture in colour, pixel by pixel: no encoder in between.
QImage ToColour(const IndexImage& indices)
{
    QImage image(indices.Width(), indices.Height(), QImage::Format_RGB888);
    for (int y = 0; y < indices.Height(); ++y)
        for (int x = 0; x < indices.Width(); ++x)
        {
            const Palette::Rgb c = Palette::Colour(indices.At(x, y));
            image.setPixel(x, y, qRgb(c.Red, c.Green, c.Blue));
        }
    return image;
}

// What the command line draws of the window's field.
IndexImage Indices(const AntField& field, int cellSize)
{
    PackedField packed;
    packed.Load(field);
    return IndexRenderer::Render(FieldView(packed), cellSize);
}

void Fill(AntField& field, const std::function<int(int, int)>& value)
{
    for (int y = 0; y < AntField::FieldSize; ++y)
        for (int x = 0; x < AntField::FieldSize; ++x)
            field.SetCell(x, y, value(x, y));
}
} // namespace

Q_DECLARE_METATYPE(FieldSetup)

class TestPicture : public QObject
{
    Q_OBJECT

private slots:
    void indicesAreThePaintersPixels_data();
    void indicesAreThePaintersPixels();
    void pngDecodesToThePaintersPixels_data();
    void pngDecodesToThePaintersPixels();
    void pngKeepsStraightAlpha();
    void refusesPicturesWithoutPixels();
};

void TestPicture::indicesAreThePaintersPixels_data()
{
    QTest::addColumn<FieldSetup>("setup");
    QTest::addColumn<int>("cellSize");
    const FieldSetup empty = [](AntField&) {};
    const FieldSetup run = [](AntField& field)
    {
        Ant ant;
        ant.ApplyPreset(5);
        for (int i = 0; i < 20000 && Iterate(field, ant) == IterationResult::Moved; ++i)
        {
        }
    };
    const FieldSetup everyValue = [](AntField& field)
    { Fill(field, [](int x, int y) { return (x + 3 * y) % Palette::CellValueCount; }); };
    // Values the palette has no colour for show the inside, as the painter leaves it.
    const FieldSetup strangeValues = [](AntField& field)
    {
        Fill(field,
             [](int x, int y)
             {
                 const int k = (x * 7 + y) % 5;
                 return k == 0 ? -1 : k == 1 ? Palette::CellValueCount : k == 2 ? 99 : x % 13;
             });
    };
    QTest::newRow("empty field, cell size 1") << empty << 1;
    QTest::newRow("empty field, cell size 3") << empty << 3;
    QTest::newRow("a run, cell size 2") << run << 2;
    QTest::newRow("a run, cell size 16") << run << 16;
    QTest::newRow("every cell value, cell size 1") << everyValue << 1;
    QTest::newRow("every cell value, cell size 5") << everyValue << 5;
    QTest::newRow("values outside the palette, cell size 3") << strangeValues << 3;
}

void TestPicture::indicesAreThePaintersPixels()
{
    QFETCH(FieldSetup, setup);
    QFETCH(int, cellSize);
    auto field = std::make_unique<AntField>();
    setup(*field);

    const IndexImage indices = Indices(*field, cellSize);
    const QImage painted = FieldRenderer::Render(field->GetCopy(), cellSize);
    QCOMPARE(QSize(indices.Width(), indices.Height()), FieldRenderer::ImageSize(cellSize));
    QVERIFY(ToColour(indices) == painted);
}

void TestPicture::pngDecodesToThePaintersPixels_data()
{
    QTest::addColumn<int>("cellSize");
    QTest::newRow("cell size 1") << 1;
    QTest::newRow("cell size 2") << 2;
    QTest::newRow("cell size 3") << 3;
}

void TestPicture::pngDecodesToThePaintersPixels()
{
    QFETCH(int, cellSize);
    auto field = std::make_unique<AntField>();
    Fill(*field, [](int x, int y) { return (x * y + x) % Palette::CellValueCount; });

    const std::string png = PngEncoder::Encode(Indices(*field, cellSize));
    QImage decoded;
    QVERIFY(
        decoded.loadFromData(reinterpret_cast<const uchar*>(png.data()), int(png.size()), "PNG"));
    QVERIFY(!decoded.hasAlphaChannel());
    QVERIFY(decoded.convertToFormat(QImage::Format_RGB888) ==
            FieldRenderer::Render(field->GetCopy(), cellSize));
}

void TestPicture::pngKeepsStraightAlpha()
{
    // Odd width and a stride with padding, as the toolkit's scan lines have.
    constexpr int Width = 5;
    constexpr int Height = 3;
    constexpr std::size_t Stride = 4 * Width + 12;
    std::vector<std::uint8_t> pixels(Stride * Height, 0xEE);
    QImage expected(Width, Height, QImage::Format_ARGB32);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
        {
            const int r = 40 * x, g = 70 * y, b = 200, a = (x + y) * 40;
            std::uint8_t* p = &pixels[std::size_t(y) * Stride + 4 * std::size_t(x)];
            p[0] = std::uint8_t(r), p[1] = std::uint8_t(g), p[2] = std::uint8_t(b),
            p[3] = std::uint8_t(a);
            expected.setPixel(x, y, qRgba(r, g, b, a));
        }
    const std::string png = PngEncoder::Encode(pixels.data(), Width, Height, Stride, true);
    QImage decoded;
    QVERIFY(
        decoded.loadFromData(reinterpret_cast<const uchar*>(png.data()), int(png.size()), "PNG"));
    QVERIFY(decoded.convertToFormat(QImage::Format_ARGB32) == expected);
}

void TestPicture::refusesPicturesWithoutPixels()
{
    QVERIFY_EXCEPTION_THROWN(PngEncoder::Encode(IndexImage()), std::invalid_argument);
    QVERIFY_EXCEPTION_THROWN(PngEncoder::Encode(IndexImage(0, 4)), std::invalid_argument);
    auto field = std::make_unique<AntField>();
    QVERIFY_EXCEPTION_THROWN(Indices(*field, 0), std::invalid_argument);
}

QTEST_GUILESS_MAIN(TestPicture)
#include "tst_picture.moc"
