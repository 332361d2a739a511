#include "Ant.h"
#include "CliProcess.h"
#include "PresetCatalogue.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sched.h>
#include <sys/types.h>

namespace
{
CliResult RunSurvey(const QStringList& arguments)
{
    return RunCli(QStringList{"survey"} + arguments, Limit::None, 300000);
}

// The data lines of a CSV survey, in output order, after checking the header.
const QByteArray Header = "rule,outcome,iterations,x,y,direction,period,highway_period,"
                          "highway_onset,highway_drift_x,highway_drift_y";

QList<QList<QByteArray>> CsvRows(const QByteArray& out)
{
    QList<QByteArray> lines = out.split('\n');
    if (lines.isEmpty() || lines.front() != Header)
        return {};
    lines.removeFirst();
    QList<QList<QByteArray>> rows;
    for (const QByteArray& line : lines)
        if (!line.isEmpty())
            rows.append(line.split(','));
    return rows;
}

int OutcomeRank(const QByteArray& outcome)
{
    return outcome == "finished" ? 0 : outcome == "never" ? 1 : outcome == "cap" ? 2 : 3;
}
} // namespace

class TestCliSurvey : public QObject
{
    Q_OBJECT

private slots:
    void upToFourLettersAgreesWithCatalogue();
    void sameOutputWithOneAndTwoJobs();
    void topKeepsLongestFinishers();
    void jsonOutput();
    void interruptPrintsRowsDone_data();
    void interruptPrintsRowsDone();
    void threadsRefused_data();
    void threadsRefused();
    void shardsMergeIntoTheWholeSurvey_data();
    void shardsMergeIntoTheWholeSurvey();
    void progressBarFitsTheTerminal();
    void jobsDefaultToTheAffinityMask();
};

void TestCliSurvey::upToFourLettersAgreesWithCatalogue()
{
    const CliResult result = RunSurvey({"--letters", "1-4", "--csv"});
    QCOMPARE(result.Status, 0);
    const QList<QList<QByteArray>> rows = CsvRows(result.Out);
    QCOMPARE(rows.size(), 2 + 4 + 8 + 16);

    QMap<QByteArray, QList<QByteArray>> byRule;
    for (int i = 0; i < rows.size(); ++i)
    {
        const QList<QByteArray>& cells = rows[i];
        QCOMPARE(cells.size(), 11);
        byRule[cells[0]] = cells;
        if (i == 0)
            continue;
        // Outcome first, then the longest runs first.
        const QList<QByteArray>& previous = rows[i - 1];
        QVERIFY(OutcomeRank(previous[1]) <= OutcomeRank(cells[1]));
        if (previous[1] == cells[1])
            QVERIFY(previous[2].toLongLong() >= cells[2].toLongLong());
    }
    QCOMPARE(byRule.size(), 30);

    int presets = 0;
    for (int n = 1; n <= PresetCatalogue::PresetCount; ++n)
    {
        Ant ant;
        ant.ApplyPreset(n);
        const AntAI ai = ant.GetAI();
        if (ai.ActiveSteps > 4)
            continue;
        ++presets;
        const QByteArray rule = QByteArray::fromStdString(ai.Steps.substr(0, ai.ActiveSteps));
        QVERIFY2(byRule.contains(rule), rule.constData());
        QCOMPARE(byRule[rule][1], QByteArray("finished"));
        QCOMPARE(byRule[rule][2].toULongLong(), quint64(PresetCatalogue::ExpectedIterations(n)));
    }
    QCOMPARE(presets, 5); // LR, LLRL, RLR, RLLR, LLRR

    for (const QByteArray rule : {"L", "R"})
    {
        QCOMPARE(byRule[rule][1], QByteArray("never"));
        QCOMPARE(byRule[rule][6], QByteArray("4"));
    }
    QVERIFY2(result.Err.contains("30 of 30 rules done, 22 finished (12 left by a highway, 10 "
                                 "without), 8 never, 0 cap"),
             result.Err.constData());
    QCOMPARE(result.Err.count('\n'), 1); // no progress bar when stderr is not a terminal
}

void TestCliSurvey::sameOutputWithOneAndTwoJobs()
{
    const QStringList common{"--letters", "1-6", "--max-iterations", "3000000"};
    for (const char* format : {"--csv", "--json"})
    {
        const CliResult one = RunSurvey(common + QStringList{"--jobs", "1", format});
        const CliResult two = RunSurvey(common + QStringList{"--jobs", "2", format, "--quiet"});
        QCOMPARE(one.Status, 0);
        QCOMPARE(two.Status, 0);
        QVERIFY2(two.Err.isEmpty(), two.Err.constData());
        QVERIFY(one.Out.size() > 1000);
        QCOMPARE(one.Out, two.Out);
    }
}

void TestCliSurvey::topKeepsLongestFinishers()
{
    const CliResult result = RunSurvey({"--letters", "1-4", "--top", "3", "--csv"});
    QCOMPARE(result.Status, 0);
    QCOMPARE(result.Out, Header + "\n"
                                  "LLRR,finished,18340311,0,94,L,,,,,\n"
                                  "RRLL,finished,17685001,249,121,R,,,,,\n"
                                  "LRRR,finished,2811706,74,249,D,,,,,\n");
}

void TestCliSurvey::jsonOutput()
{
    const CliResult result = RunSurvey({"--letters", "1-3", "--json"});
    QCOMPARE(result.Status, 0);
    const QJsonObject root = QJsonDocument::fromJson(result.Out).object();
    QCOMPARE(root["complete"].toBool(), true);
    QCOMPARE(root["rules_total"].toInt(), 14);
    QCOMPARE(root["max_iterations"].toDouble(), 1e8);
    const QJsonArray rows = root["rows"].toArray();
    QCOMPARE(rows.size(), 14);
    QCOMPARE(rows.first()["rule"].toString() + rows.first()["iterations"].toVariant().toString(),
             QString("LRR1960543"));
    QVERIFY(rows.first()["period"].isNull());
    QCOMPARE(rows.last()["outcome"].toString() + rows.last()["period"].toVariant().toString(),
             QString("never4"));
}

void TestCliSurvey::interruptPrintsRowsDone_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("signal");
    QTest::newRow("csv") << "csv" << SIGINT;
    QTest::newRow("json") << "json" << SIGINT;
    QTest::newRow("table") << "table" << SIGINT;
    QTest::newRow("csv, SIGTERM") << "csv" << SIGTERM;
    QTest::newRow("json, SIGTERM") << "json" << SIGTERM;
}

// Ctrl-C, or SIGTERM from a scheduler: the workers stop and the rows done so far are
// printed, in the format asked for; stderr says the survey is incomplete.
void TestCliSurvey::interruptPrintsRowsDone()
{
    QFETCH(QString, format);
    QFETCH(int, signal);
    QProcess process;
    process.start(QStringLiteral(FORMICULA_CLI),
                  {"survey", "--letters", "5-8", "--jobs", "2", "--format", format});
    QVERIFY(process.waitForStarted());
    QTest::qWait(1500);
    QCOMPARE(process.state(), QProcess::Running);
    QVERIFY(::kill(static_cast<pid_t>(process.processId()), signal) == 0);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 128 + signal);

    const QByteArray out = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError();
    int rows = 0;
    if (format == "csv")
    {
        rows = CsvRows(out).size();
        for (const QList<QByteArray>& cells : CsvRows(out))
            QCOMPARE(cells.size(), 11);
    }
    else if (format == "json")
    {
        const QJsonObject root = QJsonDocument::fromJson(out).object();
        QCOMPARE(root["complete"].toBool(true), false);
        rows = root["rows"].toArray().size();
        QCOMPARE(root["rules_done"].toInt(), rows);
    }
    else
    {
        rows = out.count('\n') - 2; // header and the closing line
        QVERIFY2(out.endsWith("incomplete: interrupted after " + QByteArray::number(rows) +
                              " of 480 rules\n"),
                 out.right(200).constData());
    }
    QVERIFY2(rows > 0 && rows < 480, out.left(200).constData());
    QVERIFY2(
        err.contains("incomplete: interrupted after " + QByteArray::number(rows) + " of 480 rules"),
        err.constData());
}

// The system refuses threads: the survey runs on those it got and says so, never aborts.
void TestCliSurvey::threadsRefused_data()
{
    QTest::addColumn<Limit>("limit");
    QTest::addColumn<QString>("jobs");
    QTest::newRow("too few processes") << Limit::Threads << "200";
    QTest::newRow("too little address space") << Limit::Memory << "1024";
}

// The survey runs on the threads it could start and says so; it never aborts. Where a
// started worker could not allocate, the others run its rules, or it fails in one line.
void TestCliSurvey::threadsRefused()
{
    QFETCH(Limit, limit);
    QFETCH(QString, jobs);
#if defined(__SANITIZE_ADDRESS__)
    if (limit == Limit::Memory)
        QSKIP("AddressSanitizer reserves more address space than the limit");
#endif
    const CliResult result = RunCli(
        {"survey", "--letters", "8", "--jobs", jobs, "--max-iterations", "100000", "--csv"}, limit);
    QVERIFY2(result.Status == 0 ||
                 (result.Status == 1 && result.Out.isEmpty() && result.Err.count('\n') == 1),
             result.Err.constData());
    if (result.Status == 1)
        return;
    QCOMPARE(CsvRows(result.Out).size(), 256);
    QVERIFY2(result.Err.contains("the system started only "), result.Err.constData());
    // Never more threads than the 256 rules of 8 letters.
    const QString asked = QString::number(qMin(jobs.toInt(), 256));
    QVERIFY2(result.Err.contains((" of " + asked + " threads").toUtf8()), result.Err.constData());
}

// On a 40-column terminal every redraw of the bar fits in 39 columns; a wider one would wrap
// and scroll the screen at each redraw.
void TestCliSurvey::progressBarFitsTheTerminal()
{
    QProcess terminal;
    terminal.start(QStringLiteral("script"),
                   {"-qec",
                    "stty cols 40; exec '" FORMICULA_CLI
                    "' survey --letters 1-8 --max-iterations 3000000 --jobs 1 --csv",
                    "/dev/null"});
    QVERIFY2(terminal.waitForFinished(120000), "script(1) from util-linux is needed");
    QCOMPARE(terminal.exitCode(), 0);
    int frames = 0;
    for (const QByteArray& line : terminal.readAllStandardOutput().split('\n'))
    {
        const QList<QByteArray> redraws = line.split('\r');
        for (int i = 1; i < redraws.size(); ++i)
        {
            if (!redraws[i].contains(" rules") && !redraws[i].trimmed().isEmpty())
                continue; // the CSV after the bar
            QVERIFY2(redraws[i].size() <= 39, redraws[i].constData());
            frames += redraws[i].isEmpty() ? 0 : 1;
        }
    }
    QVERIFY(frames > 0);
}

void TestCliSurvey::shardsMergeIntoTheWholeSurvey_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("extra");
    QTest::newRow("csv") << "csv" << QStringList{};
    QTest::newRow("json") << "json" << QStringList{};
    QTest::newRow("csv, top 5") << "csv" << QStringList{"--top", "5"};
}

// Three shards, merged in any order, print exactly what the whole survey prints; a
// missing or repeated shard is refused.
void TestCliSurvey::shardsMergeIntoTheWholeSurvey()
{
    QFETCH(QString, format);
    QFETCH(QStringList, extra);
    const QStringList common =
        QStringList{"--letters", "1-6", "--max-iterations", "300000", "--format", format} + extra;
    const CliResult whole = RunSurvey(common);
    QCOMPARE(whole.Status, 0);
    QTemporaryDir dir;
    QStringList files;
    for (int i = 3; i >= 1; --i)
    {
        const CliResult shard = RunSurvey(common + QStringList{"--shard", QString("%1/3").arg(i)});
        QCOMPARE(shard.Status, 0);
        files << dir.filePath(QString("shard%1").arg(i));
        QFile file(files.back());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(shard.Out) == shard.Out.size());
    }
    const CliResult merged = RunCli(QStringList{"merge"} + extra + files);
    QCOMPARE(merged.Status, 0);
    QCOMPARE(merged.Out, whole.Out);

    const CliResult repeated = RunCli({"merge", files[0], files[1], files[1]});
    QCOMPARE(repeated.Status, 1);
    QVERIFY(repeated.Out.isEmpty());
    if (format == "json")
    {
        const CliResult missing = RunCli({"merge", files[0], files[2]});
        QCOMPARE(missing.Status, 1);
        QVERIFY2(missing.Err.contains("2 of 3 shards"), missing.Err.constData());
    }
}

// Under a one-CPU mask (taskset, a scheduler's allocation) the default is one thread;
// --jobs still overrides it.
void TestCliSurvey::jobsDefaultToTheAffinityMask()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    QVERIFY(sched_getaffinity(0, sizeof set, &set) == 0);
    if (CPU_COUNT(&set) < 2)
        QSKIP("this process may use one CPU only: the mask would not reduce anything");
    const QStringList common{"--letters", "1-6", "--max-iterations", "100000", "--csv"};
    const CliResult masked = RunCli(QStringList{"survey"} + common, Limit::OneCpu);
    QCOMPARE(masked.Status, 0);
    QVERIFY2(masked.Err.contains(" on 1 job(s)\n"), masked.Err.constData());
    const CliResult free = RunCli(QStringList{"survey"} + common);
    QVERIFY2(free.Err.contains(" on " + QByteArray::number(CPU_COUNT(&set)) + " job(s)\n"),
             free.Err.constData());
    const CliResult asked = RunCli(QStringList{"survey", "--jobs", "2"} + common, Limit::OneCpu);
    QVERIFY2(asked.Err.contains(" on 2 job(s)\n"), asked.Err.constData());
}

QTEST_GUILESS_MAIN(TestCliSurvey)
#include "tst_clisurvey.moc"
