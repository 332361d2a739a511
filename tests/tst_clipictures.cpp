#include "CliProcess.h"
#include "PresetCatalogue.h"
#include "PresetPicture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <QtTest>

class TestCliPictures : public QObject
{
    Q_OBJECT

private slots:
    void runWritesPicture_data();
    void runWritesPicture();
    void badPictureOptions_data();
    void badPictureOptions();
    void renderWritesTheCompiledInPreviews();
};

void TestCliPictures::runWritesPicture_data()
{
    QTest::addColumn<QStringList>("sizeOption");
    QTest::addColumn<int>("cellSize");
    QTest::newRow("default cell size") << QStringList{} << 3;
    QTest::newRow("cell size 1") << QStringList{"--cell-size", "1"} << 1;
    QTest::newRow("cell size 2") << QStringList{"--cell-size=2"} << 2;
}

void TestCliPictures::runWritesPicture()
{
    QFETCH(QStringList, sizeOption);
    QFETCH(int, cellSize);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("field.png"));
    const CliResult result =
        RunCli(QStringList{"run", "--preset", "13", "--png", path} + sizeOption);
    QCOMPARE(result.Status, 0);
    QVERIFY(result.Out.contains("iterations: 263220"));
    const QImage written(path);
    const int side = 10 + 250 * cellSize;
    QCOMPARE(written.size(), QSize(side, side));
    QVERIFY(!written.hasAlphaChannel());
    QCOMPARE(written.convertToFormat(QImage::Format_RGB888), RenderPresetFinalField(13, cellSize));
}

void TestCliPictures::badPictureOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");
    const QString file = QDir::temp().filePath(QStringLiteral("formicula-never-written.png"));
    QTest::newRow("cell size 0") << QStringList{"run", "LR", "--png", file, "--cell-size", "0"}
                                 << "--cell-size";
    QTest::newRow("cell size -3") << QStringList{"run", "LR", "--png", file, "--cell-size=-3"}
                                  << "--cell-size";
    QTest::newRow("cell size huge")
        << QStringList{"run", "LR", "--png", file, "--cell-size", "100000"} << "--cell-size";
    QTest::newRow("cell size word")
        << QStringList{"run", "LR", "--png", file, "--cell-size", "two"} << "--cell-size";
    QTest::newRow("cell size without png")
        << QStringList{"run", "LR", "--cell-size", "2"} << "--png";
    QTest::newRow("png without value") << QStringList{"run", "LR", "--png"} << "needs a value";
    QTest::newRow("png empty") << QStringList{"run", "LR", "--png="} << "empty";
    QTest::newRow("png in missing directory")
        << QStringList{"run", "LR", "--png", "/nonexistent-formicula-dir/f.png"} << "cannot write";
    QTest::newRow("png is a directory")
        << QStringList{"run", "LR", "--png", QDir::tempPath()} << "directory";
    QTest::newRow("png cannot be opened")
        << QStringList{"run", "LR", "--png", "/proc/f.png"} << "cannot write";
    QTest::newRow("render to a file")
        << QStringList{"catalogue", "--render", QStringLiteral(FORMICULA_CLI)} << "not a directory";
    QTest::newRow("render without value")
        << QStringList{"catalogue", "--render"} << "needs a value";
}

void TestCliPictures::badPictureOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);

    const CliResult result = RunCli(arguments);
    QCOMPARE(result.Status, 2);
    QCOMPARE(result.Err.count('\n'), 1);
    QVERIFY2(result.Err.contains(mentions.toUtf8()), result.Err.constData());
    QVERIFY(!QFile::exists(QDir::temp().filePath(QStringLiteral("formicula-never-written.png"))));
}

void TestCliPictures::renderWritesTheCompiledInPreviews()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("made/on/demand"));
    const CliResult result = RunCli({"catalogue", "--render", target});
    QCOMPARE(result.Status, 0);
    const QStringList written = QDir(target).entryList(QDir::Files, QDir::Name);
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

QTEST_MAIN(TestCliPictures)
#include "tst_clipictures.moc"
