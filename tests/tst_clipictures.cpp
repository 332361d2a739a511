#include "CliProcess.h"
#include "PresetCatalogue.h"
#include "PresetPicture.h"

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

QTEST_MAIN(TestCliPictures)
#include "tst_clipictures.moc"
