#include "CliProcess.h"
#include "FieldReference.h"
#include "PresetCatalogue.h"
#include "PresetPicture.h"
#include "Support.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <QtTest>

class TestCliPictures : public QObject
{
    Q_OBJECT

private slots:
    void runWritesPicture_data();
    void runWritesPicture();
    void renderWritesTheCompiledInPreviews();
    void pictureOfAnyFieldShowsItsCells_data();
    void pictureOfAnyFieldShowsItsCells();
};

void TestCliPictures::runWritesPicture_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("cellSize");
    QTest::newRow("default cell size") << QStringList{"--png", "{file}"} << 3;
    QTest::newRow("cell size 1") << QStringList{"--png", "{file}", "--cell-size", "1"} << 1;
    QTest::newRow("cell size 2") << QStringList{"--cell-size=2", "--png={file}"} << 2;
    QTest::newRow("to stdout") << QStringList{"--png", "-", "--cell-size", "2"} << 2;
}

// The picture replaces whatever was at the path, or is the whole of stdout for "-".
void TestCliPictures::runWritesPicture()
{
    QFETCH(QStringList, options);
    QFETCH(int, cellSize);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("field.png"));
    QFile previous(path);
    QVERIFY(previous.open(QIODevice::WriteOnly) && previous.write("not a picture") == 13);
    previous.close();
    const bool toStdout = options.contains(QStringLiteral("-"));
    options.replaceInStrings(QStringLiteral("{file}"), path);

    const CliResult result = RunCli(QStringList{"run", "--preset", "13"} + options);
    QCOMPARE(result.Status, 0);
    QImage written;
    if (toStdout)
    {
        QVERIFY(written.loadFromData(result.Out, "PNG"));
    }
    else
    {
        QVERIFY(result.Out.contains("iterations: 263220"));
        QVERIFY(written.load(path));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"field.png"});
    }
    const int side = 10 + 250 * cellSize;
    QCOMPARE(written.size(), QSize(side, side));
    QVERIFY(!written.hasAlphaChannel());
    QCOMPARE(written.convertToFormat(QImage::Format_RGB888), RenderPresetFinalField(13, cellSize));
}

void TestCliPictures::renderWritesTheCompiledInPreviews()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("made/on/demand"));
    const CliResult result = RunCli({"catalogue", "--render", target});
    QCOMPARE(result.Status, 0);
    const QStringList written = QDir(target).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QCOMPARE(written.size(), PresetCatalogue::PresetCount);
    for (int n = 1; n <= PresetCatalogue::PresetCount; ++n)
    {
        const QString name = QStringLiteral("ant_ai_preset_%1.png").arg(n, 2, 10, QLatin1Char('0'));
        QCOMPARE(written.at(n - 1), name);
        const QImage picture(QDir(target).filePath(name));
        QVERIFY(!picture.hasAlphaChannel());
        QCOMPARE(picture, QImage(QString::fromLatin1(PresetCatalogue::PicturePath(n))));
    }
}

void TestCliPictures::pictureOfAnyFieldShowsItsCells_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("cellSize");
    QTest::addColumn<QRect>("view");     // null: the field, or the plane's visited box
    QTest::addColumn<QString>("passes"); // sides where the box leaves the plane's first square

    const QStringList cap{"--max-iterations", "3000"};
    QTest::newRow("LR on 101 x 101 to its end")
        << "LR" << QStringList{"--size", "101"} << 2 << QRect() << "";
    QTest::newRow("RLR on 7 x 7, cell size 16")
        << "RLR" << QStringList{"--size", "7"} << 16 << QRect() << "";
    QTest::newRow("LLRR on 64 x 64, capped")
        << "LLRR" << QStringList{"--size", "64"} + cap << 1 << QRect() << "";
    // Proven at 32 768, drawn at the cap from the highway's periods.
    QTest::newRow("LR on the plane past its proven highway, right and down")
        << "LR" << QStringList{"--plane", "--max-iterations", "40001"} << 1 << QRect()
        << "right down";
    QTest::newRow("LLR's highway far on, view about its head")
        << "LLR"
        << QStringList{"--plane", "--max-iterations", "300000", "--view=-16560,16770,50,40"} << 2
        << QRect(-16560, 16770, 50, 40) << "";
    QTest::newRow("LLR's highway far on, view across its trail and the start")
        << "LLR" << QStringList{"--plane", "--max-iterations", "300000", "--view=-40,60,200,150"}
        << 1 << QRect(-40, 60, 200, 150) << "";
    QTest::newRow("RL on the plane, left and down")
        << "RL" << QStringList{"--plane", "--max-iterations", "12000"} << 1 << QRect()
        << "left down";
    QTest::newRow("LLLRRR on the plane, right and up")
        << "LLLRRR" << QStringList{"--plane"} + cap << 2 << QRect() << "right up";
    QTest::newRow("RRRLLL on the plane from 3 x 3, left and up")
        << "RRRLLL" << QStringList{"--plane", "--size", "3"} + cap << 2 << QRect() << "left up";
    QTest::newRow("view inside the visited box")
        << "RRRLLL" << QStringList{"--plane", "--view", "100,110,20,15"} + cap << 3
        << QRect(100, 110, 20, 15) << "";
    QTest::newRow("view across the visited box's corner")
        << "RRRLLL" << QStringList{"--plane", "--view=30,30,40,30"} + cap << 2
        << QRect(30, 30, 40, 30) << "";
    QTest::newRow("view outside the visited box: blank")
        << "RRRLLL" << QStringList{"--plane", "--view", "-500,900,8,4"} + cap << 4
        << QRect(-500, 900, 8, 4) << "";
    QTest::newRow("view across the edge of a 31 x 31 field")
        << "RLR" << QStringList{"--size", "31", "--view", "-3,20,12,14"} << 3
        << QRect(-3, 20, 12, 14) << "";
}

// Every cell of the picture is the reference automaton's, framed as the 250 x 250 one is;
// cells outside the field are blank.
void TestCliPictures::pictureOfAnyFieldShowsItsCells()
{
    QFETCH(QString, rule);
    QFETCH(QStringList, options);
    QFETCH(int, cellSize);
    QFETCH(QRect, view);
    QFETCH(QString, passes);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("field.png"));
    const CliResult result =
        RunCli(QStringList{"run", rule, "--png", path, "--cell-size", QString::number(cellSize)} +
               options);
    QVERIFY2(result.Status == 0, result.Err.constData());
    const int size = FieldSizeOf(options);
    const FieldReference reference =
        FieldReference::Of(rule.toStdString(), size, options.contains(QStringLiteral("--plane")),
                           ReportedIterations(result.Out));
    const QRect box = PictureBox(reference, size, view);
    // The row grows the plane on the sides it names, beyond the square it starts with.
    const int side = qMin(size, 64);
    const QRect first(size / 2 - side / 2, size / 2 - side / 2, side, side);
    const QString sides =
        QStringList{box.left() < first.left() ? "left" : "",
                    box.right() > first.right() ? "right" : "", box.top() < first.top() ? "up" : "",
                    box.bottom() > first.bottom() ? "down" : ""}
            .join(' ');
    for (const QString& name : passes.split(' ', Qt::SkipEmptyParts))
        QVERIFY2(sides.contains(name), qPrintable(sides));

    QImage written;
    QVERIFY(written.load(path));
    QCOMPARE(written.convertToFormat(QImage::Format_RGB888),
             ExpectedPicture([&](int x, int y) { return reference.Colour(x, y); }, box, cellSize));
}

QTEST_MAIN(TestCliPictures)
#include "tst_clipictures.moc"
