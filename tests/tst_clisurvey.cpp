#include "Ant.h"
#include "CliProcess.h"
#include "PresetCatalogue.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>

#include <csignal>
#include <sys/types.h>

namespace
{
CliResult RunSurvey(const QStringList& arguments)
{
    return RunCli(QStringList{"survey"} + arguments, 300000);
}

struct Row
{
    QByteArray Outcome;
    qint64 Iterations = -1;
    QByteArray Period;
};

// The data lines of a CSV survey, in output order, after checking the header.
QList<QList<QByteArray>> CsvRows(const QByteArray& out)
{
    QList<QByteArray> lines = out.split('\n');
    if (lines.isEmpty() || lines.front() != "rule,outcome,iterations,x,y,direction,period")
        return {};
    lines.removeFirst();
    QList<QList<QByteArray>> rows;
    for (const QByteArray& line : lines)
        if (!line.isEmpty() && !line.startsWith('#'))
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
    void interruptPrintsRowsDone();
    void badArguments_data();
    void badArguments();
};

void TestCliSurvey::upToFourLettersAgreesWithCatalogue()
{
    const CliResult result = RunSurvey({"--letters", "1-4", "--csv"});
    QCOMPARE(result.Status, 0);
    const QList<QList<QByteArray>> rows = CsvRows(result.Out);
    QCOMPARE(rows.size(), 2 + 4 + 8 + 16);

    QMap<QByteArray, Row> byRule;
    for (int i = 0; i < rows.size(); ++i)
    {
        const QList<QByteArray>& cells = rows[i];
        QCOMPARE(cells.size(), 7);
        byRule[cells[0]] = Row{cells[1], cells[2].toLongLong(), cells[6]};
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
        QCOMPARE(byRule[rule].Outcome, QByteArray("finished"));
        QCOMPARE(quint64(byRule[rule].Iterations), quint64(PresetCatalogue::ExpectedIterations(n)));
    }
    QCOMPARE(presets, 5); // LR, LLRL, RLR, RLLR, LLRR

    for (const QByteArray rule : {"L", "R"})
    {
        QCOMPARE(byRule[rule].Outcome, QByteArray("never"));
        QCOMPARE(byRule[rule].Period, QByteArray("4"));
    }
    QVERIFY2(result.Err.contains("30 of 30 rules done, 22 finished, 8 never, 0 cap"),
             result.Err.constData());
    QCOMPARE(result.Err.count('\n'), 1); // no progress bar when stderr is not a terminal
}

void TestCliSurvey::sameOutputWithOneAndTwoJobs()
{
    const QStringList common{"--letters", "1-6", "--max-iterations", "3000000"};
    for (const char* format : {"--csv", "--json"})
    {
        const CliResult one = RunSurvey(common + QStringList{"--jobs", "1", format});
        const CliResult two = RunSurvey(common + QStringList{"--jobs", "2", format});
        QCOMPARE(one.Status, 0);
        QCOMPARE(two.Status, 0);
        QVERIFY(one.Out.size() > 1000);
        QCOMPARE(one.Out, two.Out);
    }
}

void TestCliSurvey::topKeepsLongestFinishers()
{
    const CliResult result = RunSurvey({"--letters", "1-4", "--top", "3", "--csv"});
    QCOMPARE(result.Status, 0);
    QCOMPARE(result.Out, QByteArray("rule,outcome,iterations,x,y,direction,period\n"
                                    "LLRR,finished,18340311,0,94,L,\n"
                                    "RRLL,finished,17685001,249,121,R,\n"
                                    "LRRR,finished,2811706,74,249,D,\n"));
}

void TestCliSurvey::jsonOutput()
{
    const CliResult result = RunSurvey({"--letters", "1-3", "--json"});
    QCOMPARE(result.Status, 0);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(result.Out, &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    const QJsonObject root = document.object();
    QCOMPARE(root["complete"].toBool(), true);
    QCOMPARE(root["rules_total"].toInt(), 14);
    QCOMPARE(root["max_iterations"].toDouble(), 1e8);
    const QJsonArray rows = root["rows"].toArray();
    QCOMPARE(rows.size(), 14);
    const QJsonObject first = rows.first().toObject();
    QCOMPARE(first["rule"].toString(), QString("LRR"));
    QCOMPARE(first["iterations"].toDouble(), 1960543.0);
    QVERIFY(first["period"].isNull());
    const QJsonObject last = rows.last().toObject();
    QCOMPARE(last["outcome"].toString(), QString("never"));
    QCOMPARE(last["period"].toInt(), 4);
}

// Ctrl-C: the workers stop, the rows done so far are printed and marked incomplete.
void TestCliSurvey::interruptPrintsRowsDone()
{
    QProcess process;
    process.start(QStringLiteral(FORMICULA_CLI),
                  {"survey", "--letters", "5-8", "--jobs", "2", "--csv"});
    QVERIFY(process.waitForStarted());
    QTest::qWait(1500);
    QCOMPARE(process.state(), QProcess::Running);
    QVERIFY(::kill(static_cast<pid_t>(process.processId()), SIGINT) == 0);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 130);

    const QByteArray out = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError();
    const QList<QList<QByteArray>> rows = CsvRows(out);
    QVERIFY2(!rows.isEmpty(), out.constData());
    QVERIFY(rows.size() < 480);
    const QByteArray marker =
        "# incomplete: interrupted after " + QByteArray::number(rows.size()) + " of 480 rules\n";
    QVERIFY2(out.endsWith(marker), out.right(200).constData());
    QVERIFY2(err.contains("INTERRUPTED"), err.constData());
}

void TestCliSurvey::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("no letters") << QStringList{"--csv"} << "missing --letters";
    QTest::newRow("zero letters") << QStringList{"--letters", "0"} << "--letters";
    QTest::newRow("thirteen letters") << QStringList{"--letters", "1-13"} << "--letters";
    QTest::newRow("range backwards") << QStringList{"--letters=5-3"} << "--letters";
    QTest::newRow("range open") << QStringList{"--letters", "3-"} << "--letters";
    QTest::newRow("not a number") << QStringList{"--letters", "many"} << "--letters";
    QTest::newRow("negative") << QStringList{"--letters", "-2"} << "--letters";
    QTest::newRow("cap zero") << QStringList{"--letters", "2", "--max-iterations", "0"}
                              << "--max-iterations";
    QTest::newRow("no jobs") << QStringList{"--letters", "2", "--jobs", "0"} << "--jobs";
    QTest::newRow("jobs word") << QStringList{"--letters", "2", "--jobs", "all"} << "--jobs";
    QTest::newRow("top zero") << QStringList{"--letters", "2", "--top", "0"} << "--top";
    QTest::newRow("two formats") << QStringList{"--letters", "2", "--csv", "--json"} << "not both";
    QTest::newRow("letters twice")
        << QStringList{"--letters", "2", "--letters", "3"} << "more than once";
    QTest::newRow("unknown option")
        << QStringList{"--letters", "2", "--fast"} << "unknown option --fast";
    QTest::newRow("stray word") << QStringList{"--letters", "2", "LR"} << "unexpected argument";
}

void TestCliSurvey::badArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);
    VerifyUsageError(RunSurvey(arguments), mentions);
}

QTEST_GUILESS_MAIN(TestCliSurvey)
#include "tst_clisurvey.moc"
