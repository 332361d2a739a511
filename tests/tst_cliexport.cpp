#include "Ant.h"
#include "AntField.h"
#include "CliProcess.h"
#include "DecodedGif.h"
#include "FieldReference.h"
#include "FieldRenderer.h"
#include "FieldSummary.h"
#include "FrameSchedule.h"
#include "Runner.h"
#include "Support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(FrameSchedule::Spacing)

namespace
{
// The rule's run from the start state, capped: what a frame or a row at `cap` must show.
struct CappedRun
{
    CappedRun(const QString& rule, std::uint64_t cap)
    {
        Walker.SetRule(rule.toStdString());
        RunOptions options;
        options.Cap = cap;
        Iterations = Runner().Run(*Field, Walker, options).Iterations;
    }

    std::unique_ptr<AntField> Field = std::make_unique<AntField>();
    Ant Walker;
    std::uint64_t Iterations = 0;
};

QString TraceLine(const CappedRun& run)
{
    const FieldSummary summary = FieldSummary::Of(*run.Field);
    const AntPosition at = run.Walker.GetPosition();
    QStringList cells{QString::number(run.Iterations), QString::number(at.X), QString::number(at.Y),
                      QString(QChar(at.Direction)), QString::number(summary.Visited)};
    for (int c = 0; c < AntField::ColourCount; ++c) // a rule of up to 12 letters
        cells << QString::number(summary.Colours[std::size_t(c)]);
    for (int side : {summary.MinX, summary.MinY, summary.MaxX, summary.MaxY})
        cells << (summary.Visited > 0 ? QString::number(side) : QString());
    return cells.join(',');
}

// A trace row of the reference: colours over the field, or the plane's visited box.
QString TraceLine(const FieldReference& run, std::uint64_t cells)
{
    int minX = 0, minY = 0, maxX = 0, maxY = 0;
    const bool visited = run.Visited(minX, minY, maxX, maxY);
    if (run.Size == 0)
        cells = visited ? std::uint64_t(maxX - minX + 1) * std::uint64_t(maxY - minY + 1) : 0;
    AntField::ColourCounts colours{};
    std::uint64_t notBlank = 0;
    for (const auto& cell : run.Cells)
    {
        notBlank += cell.second != 0;
        colours[std::size_t(cell.second)] += cell.second != 0;
    }
    colours[0] = cells - notBlank;
    QStringList line{QString::number(run.Done), QString::number(run.Ant.X),
                     QString::number(run.Ant.Y), QString(QChar(run.Ant.Direction)),
                     QString::number(notBlank)};
    for (std::uint64_t count : colours)
        line << QString::number(count);
    for (int side : {minX, minY, maxX, maxY})
        line << (visited ? QString::number(side) : QString());
    return line.join(',');
}

// {file} in the arguments becomes a path in `dir`; "-" means stdout.
QByteArray RunAndRead(QStringList arguments, const QTemporaryDir& dir, const char* name)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    arguments.replaceInStrings(QStringLiteral("{file}"), path);
    const CliResult result = RunCli(arguments);
    if (result.Status != 0)
        return "status " + QByteArray::number(result.Status) + ": " + result.Err;
    if (arguments.contains(QStringLiteral("-")))
        return result.Out;
    if (!result.Out.contains("iterations: "))
        return "no run record on stdout: " + result.Out;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("no file");
}
} // namespace

class TestCliExport : public QObject
{
    Q_OBJECT

private slots:
    void gifFramesAreTheRenderersPictures_data();
    void gifFramesAreTheRenderersPictures();
    void traceRowsAreCappedRuns_data();
    void traceRowsAreCappedRuns();
    void traceGoesOnAlongAProvenHighway_data();
    void traceGoesOnAlongAProvenHighway();
    void exportsOfAnyFieldFollowTheReference_data();
    void exportsOfAnyFieldFollowTheReference();
    void failedOutputKeepsEveryPreviousFile_data();
    void failedOutputKeepsEveryPreviousFile();
};

void TestCliExport::gifFramesAreTheRenderersPictures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<quint64>("cap");
    QTest::addColumn<int>("frames");
    QTest::addColumn<FrameSchedule::Spacing>("spacing");
    QTest::addColumn<int>("cellSize");
    QTest::addColumn<int>("delay"); // centiseconds, all but the last frame
    using S = FrameSchedule::Spacing;
    const quint64 none = RunOptions::NoCap;

    QTest::newRow("preset 5 to its end, default frames, spacing and delay, cell size 1")
        << QStringList{"--preset", "5", "--gif", "{file}", "--cell-size", "1"} << "RRLRLRR" << none
        << 100 << S::Linear << 1 << 4;
    QTest::newRow("LLRR capped at 20000, 40 log frames, 100 ms, cell size 2")
        << QStringList{"LLRR",        "--max-iterations",
                       "20000",       "--gif",
                       "{file}",      "--frames=40",
                       "--spacing",   "log",
                       "--delay",     "100",
                       "--cell-size", "2"}
        << "LLRR" << quint64(20000) << 40 << S::Logarithmic << 2 << 10;
    QTest::newRow("7 iterations in 50 frames: every iteration once, cell size 3")
        << QStringList{"RL", "--max-iterations", "7", "--gif", "{file}", "--frames", "50"} << "RL"
        << quint64(7) << 8 << S::Linear << 3 << 4;
    QTest::newRow("to stdout, 2 frames, 2 s apart")
        << QStringList{"LR",   "--max-iterations=3000", "--gif", "-", "--frames", "2", "--delay",
                       "2000", "--cell-size",           "1"}
        << "LR" << quint64(3000) << 2 << S::Linear << 1 << 200;
}

// Every frame is the renderer's picture of a run capped at the frame's iteration, from 0 to
// the run's end; the last frame is held 2 s and the animation loops for ever.
void TestCliExport::gifFramesAreTheRenderersPictures()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, rule);
    QFETCH(quint64, cap);
    QFETCH(int, frames);
    QFETCH(FrameSchedule::Spacing, spacing);
    QFETCH(int, cellSize);
    QFETCH(int, delay);

    QTemporaryDir dir;
    const QByteArray bytes = RunAndRead(QStringList{"run"} + arguments, dir, "run.gif");
    QVERIFY2(bytes.startsWith("GIF89a") && bytes.endsWith(';'), bytes.left(200).constData());
    const QString path = dir.filePath(QStringLiteral("decoded.gif"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    const DecodedGif gif = DecodeGif(path);
    QVERIFY2(gif.Error.isEmpty(), qPrintable(gif.Error));

    const std::uint64_t last = CappedRun(rule, cap).Iterations;
    const std::vector<std::uint64_t> schedule =
        FrameSchedule::FrameIterations(last, frames, spacing);
    QCOMPARE(gif.Frames.size(), frames);
    QCOMPARE(int(schedule.size()), frames);
    QCOMPARE(gif.LoopCount, 0);
    QVector<int> delays(frames, delay);
    delays.last() = 200;
    QCOMPARE(gif.Delays, delays);
    for (int i = 0; i < frames; ++i)
    {
        CappedRun run(rule, schedule[std::size_t(i)]);
        QVERIFY2(gif.Frames[i] == FieldRenderer::Render(run.Field->GetCopy(), cellSize),
                 qPrintable(QStringLiteral("frame %1, iteration %2").arg(i).arg(schedule[i])));
    }
}

void TestCliExport::traceRowsAreCappedRuns_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<quint64>("every");
    QTest::addColumn<quint64>("last");

    QTest::newRow("preset 5, about 1000 rows") << QStringList{"--preset", "5", "--trace", "{file}"}
                                               << "RRLRLRR" << quint64(60) << quint64(59225);
    QTest::newRow("LLRR every 250 up to a cap of 5000")
        << QStringList{"LLRR", "--max-iterations", "5000", "--trace={file}", "--every", "250"}
        << "LLRR" << quint64(250) << quint64(5000);
    QTest::newRow("preset 13 every 100000: long stretches")
        << QStringList{"--preset", "13", "--trace", "{file}", "--every", "100000"} << "LLRL"
        << quint64(100000) << quint64(263220);
    QTest::newRow("every beyond the end: the start and the end")
        << QStringList{"LR", "--max-iterations", "100", "--trace", "{file}", "--every", "1000"}
        << "LR" << quint64(1000) << quint64(100);
    QTest::newRow("to stdout, JSON asked for the run record that it replaces")
        << QStringList{"RL", "--max-iterations", "50", "--every", "7", "--trace", "-", "--json"}
        << "RL" << quint64(7) << quint64(50);
}

// A row every K iterations from 0 and one at the end, each what a run capped there leaves.
void TestCliExport::traceRowsAreCappedRuns()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, rule);
    QFETCH(quint64, every);
    QFETCH(quint64, last);

    QTemporaryDir dir;
    const QByteArray csv = RunAndRead(QStringList{"run"} + arguments, dir, "trace.csv");
    QVERIFY2(csv.endsWith('\n'), csv.left(200).constData());
    const QStringList lines = QString::fromUtf8(csv.chopped(1)).split('\n');
    QStringList header{"iterations", "x", "y", "direction", "visited"};
    for (int colour = 0; colour < AntField::ColourCount; ++colour)
        header << QStringLiteral("colours_%1").arg(colour);
    header << "min_x"
           << "min_y"
           << "max_x"
           << "max_y";
    QCOMPARE(lines.value(0), header.join(','));

    QStringList expected{header.join(',')};
    for (quint64 at = 0;; at = qMin(at + every, last))
    {
        expected << TraceLine(CappedRun(rule, at));
        if (at == last)
            break;
    }
    QCOMPARE(lines.size(), expected.size());
    for (int i = 1; i < lines.size(); ++i)
        QCOMPARE(lines[i], expected[i]);
}

void TestCliExport::exportsOfAnyFieldFollowTheReference_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QStringList>("options"); // with --frames F and --every K
    QTest::addColumn<QRect>("view");          // null: the field, or the plane's final box

    QTest::newRow("RLR on 41 x 41 to its end")
        << "RLR" << QStringList{"--size", "41", "--frames", "6", "--every", "97"} << QRect();
    QTest::newRow("LLLRRR on the plane, growing right and up")
        << "LLLRRR"
        << QStringList{"--plane", "--max-iterations", "3000", "--frames", "8", "--every", "250"}
        << QRect();
    QTest::newRow("RRRLLL from a 3 x 3 plane, log spacing")
        << "RRRLLL"
        << QStringList{"--plane", "--size",   "3",  "--max-iterations", "2000", "--spacing",
                       "log",     "--frames", "10", "--every",          "300"}
        << QRect();
    QTest::newRow("LR on the plane to its highway, a view across its start")
        << "LR"
        << QStringList{"--plane", "--view", "100,90,50,40", "--frames", "5", "--every", "4000"}
        << QRect(100, 90, 50, 40);
}

// Every frame shows one box, the plane's at the end, so frames line up however the plane
// grew; frames and trace rows hold the reference's cells at their iterations.
void TestCliExport::exportsOfAnyFieldFollowTheReference()
{
    QFETCH(QString, rule);
    QFETCH(QStringList, options);
    QFETCH(QRect, view);

    QTemporaryDir dir;
    const QString gifPath = dir.filePath(QStringLiteral("run.gif"));
    const QString tracePath = dir.filePath(QStringLiteral("run.csv"));
    const CliResult result = RunCli(
        QStringList{"run", rule, "--gif", gifPath, "--trace", tracePath, "--cell-size", "2"} +
        options);
    QVERIFY2(result.Status == 0, result.Err.constData());
    const quint64 last = ReportedIterations(result.Out);
    const int size = FieldSizeOf(options);
    const bool plane = options.contains(QStringLiteral("--plane"));
    const QRect box =
        PictureBox(FieldReference::Of(rule.toStdString(), size, plane, last), size, view);
    auto reference = [&]
    {
        Ant walker;
        walker.SetRule(rule.toStdString());
        return FieldReference(walker.GetAI(), plane ? 0 : size, size / 2, size / 2);
    };

    const DecodedGif gif = DecodeGif(gifPath);
    QVERIFY2(gif.Error.isEmpty(), qPrintable(gif.Error));
    const std::vector<std::uint64_t> schedule =
        FrameSchedule::FrameIterations(last, options.value(options.indexOf("--frames") + 1).toInt(),
                                       options.contains("log") ? FrameSchedule::Spacing::Logarithmic
                                                               : FrameSchedule::Spacing::Linear);
    QCOMPARE(std::size_t(gif.Frames.size()), schedule.size());
    FieldReference frames = reference();
    for (std::size_t i = 0; i < schedule.size(); ++i)
    {
        frames.RunTo(schedule[i]);
        QVERIFY2(gif.Frames[int(i)] ==
                     ExpectedPicture([&](int x, int y) { return frames.Colour(x, y); }, box, 2),
                 qPrintable(QStringLiteral("frame %1, iteration %2").arg(i).arg(schedule[i])));
    }

    QFile file(tracePath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).trimmed().split('\n');
    const quint64 every = options.value(options.indexOf("--every") + 1).toULongLong();
    FieldReference rows = reference();
    QStringList expected;
    for (quint64 at = 0;; at = qMin(at + every, last))
    {
        rows.RunTo(at);
        expected << TraceLine(rows, quint64(size) * quint64(size));
        if (at == last)
            break;
    }
    QCOMPARE(lines.mid(1), expected);
}

void TestCliExport::traceGoesOnAlongAProvenHighway_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<quint64>("cap");
    QTest::addColumn<quint64>("every");
    // Proven at 32 768 and 16 384 or so: the rows past it come from the highway's periods.
    QTest::newRow("LR") << "LR" << quint64(90001) << quint64(7919);
    QTest::newRow("LLR") << "LLR" << quint64(120000) << quint64(10000);
}

// Rows past the proof hold the reference's state at their iterations.
void TestCliExport::traceGoesOnAlongAProvenHighway()
{
    QFETCH(QString, rule);
    QFETCH(quint64, cap);
    QFETCH(quint64, every);
    QTemporaryDir dir;
    const QString tracePath = dir.filePath(QStringLiteral("run.csv"));
    const CliResult result =
        RunCli({"run", rule, "--plane", "--max-iterations", QString::number(cap), "--trace",
                tracePath, "--every", QString::number(every)});
    QVERIFY2(result.Status == 0, result.Err.constData());
    QCOMPARE(ReportedIterations(result.Out), cap);
    QVERIFY(result.Out.contains("outcome: highway"));
    QFile file(tracePath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).trimmed().split('\n');
    Ant walker;
    walker.SetRule(rule.toStdString());
    FieldReference rows(walker.GetAI(), 0, 125, 125);
    QStringList expected;
    for (quint64 at = 0;; at = qMin(at + every, cap))
    {
        rows.RunTo(at);
        expected << TraceLine(rows, 0);
        if (at == cap)
            break;
    }
    QCOMPARE(lines.mid(1), expected);
}

void TestCliExport::failedOutputKeepsEveryPreviousFile_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("failing");
    // Each run's other two files stay within the 4 KB the child may write to one file.
    QTest::newRow("the trace fails")
        << QStringList{"LR", "--size",   "40", "--max-iterations", "2000", "--cell-size",
                       "1",  "--frames", "2",  "--every",          "10"}
        << "t.csv";
    QTest::newRow("the picture, put in place last, fails")
        << QStringList{"LR", "--max-iterations", "10000", "--cell-size", "2", "--frames",
                       "2",  "--every",          "5000"}
        << "p.png";
}

// A failed output of run --gif --trace --png, written and put in place after the others,
// leaves all three previous files as they were.
void TestCliExport::failedOutputKeepsEveryPreviousFile()
{
    QFETCH(QStringList, options);
    QFETCH(QString, failing);

    QTemporaryDir dir;
    const QStringList names{"a.gif", "t.csv", "p.png"};
    for (const QString& name : names)
    {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(name.toUtf8()) > 0);
    }
    const CliResult result =
        RunCli(QStringList{"run", "--gif", dir.filePath("a.gif"), "--trace", dir.filePath("t.csv"),
                           "--png", dir.filePath("p.png")} +
                   options,
               Limit::FileSize);
    QCOMPARE(result.Status, 1);
    QVERIFY2(result.Err.contains("File too large") && result.Err.contains(failing.toUtf8()),
             result.Err.constData());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"a.gif", "p.png", "t.csv"}));
    for (const QString& name : names)
    {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), name.toUtf8());
    }
}

QTEST_GUILESS_MAIN(TestCliExport)
#include "tst_cliexport.moc"
