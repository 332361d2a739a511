#include "CliProcess.h"

#include <QtTest>

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void badInput_data();
    void badInput();
    void runPreset();
    void runFreeRule_data();
    void runFreeRule();
    void catalogueCsv();
    void helpAndVersion();
};

void TestCli::badInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("no command") << QStringList{} << "missing command";
    QTest::newRow("unknown command") << QStringList{"walk"} << "unknown command 'walk'";
    QTest::newRow("unknown character") << QStringList{"run", "LXR"} << "unknown character 'X'";
    QTest::newRow("lower case") << QStringList{"run", "lr"} << "unknown character 'l'";
    QTest::newRow("thirteen letters") << QStringList{"run", "LRLRLRLRLRLRL"} << "at most 12";
    QTest::newRow("missing rule") << QStringList{"run"} << "missing RULE";
    QTest::newRow("empty rule") << QStringList{"run", ""} << "empty";
    QTest::newRow("no letter before the gap") << QStringList{"run", "--", "-LR"} << "no letter";
    QTest::newRow("preset zero") << QStringList{"run", "--preset", "0"} << "--preset";
    QTest::newRow("preset 32") << QStringList{"run", "--preset=32"} << "--preset";
    QTest::newRow("preset word") << QStringList{"run", "--preset", "five"} << "--preset";
    QTest::newRow("preset without value") << QStringList{"run", "--preset"} << "needs a value";
    QTest::newRow("rule and preset") << QStringList{"run", "LR", "--preset", "3"} << "not both";
    QTest::newRow("cap zero") << QStringList{"run", "LR", "--max-iterations", "0"} << "positive";
    QTest::newRow("cap negative") << QStringList{"run", "LR", "--max-iterations", "-4"}
                                  << "positive";
    QTest::newRow("cap fraction") << QStringList{"run", "LR", "--max-iterations=2.5"} << "positive";
    QTest::newRow("cap overflow") << QStringList{"run", "LR", "--max-iterations",
                                                 "99999999999999999999999"}
                                  << "too large";
    QTest::newRow("unknown option")
        << QStringList{"run", "LR", "--fast"} << "unknown option --fast";
    QTest::newRow("two rules") << QStringList{"run", "LR", "RL"} << "unexpected argument 'RL'";
    QTest::newRow("catalogue extra") << QStringList{"catalogue", "now"} << "unexpected argument";
    QTest::newRow("catalogue flag value") << QStringList{"catalogue", "--csv=yes"} << "no value";
}

void TestCli::badInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);
    VerifyUsageError(RunCli(arguments), mentions);
}

void TestCli::runPreset()
{
    const CliResult result = RunCli({"run", "--preset", "3"});
    QCOMPARE(result.Status, 0);
    QCOMPARE(result.Out, QByteArray("rule: LR\n"
                                    "iterations: 15517\n"
                                    "finished: true\n"
                                    "x: 249\n"
                                    "y: 223\n"
                                    "direction: R\n"
                                    "colours: 59954 1191 1355 0 0 0 0 0 0 0 0 0 0\n"));
}

void TestCli::runFreeRule_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("rule trimmed at the gap")
        << QStringList{"run", "LR-RR", "--max-iterations", "5"}
        << QByteArray("rule: LR\niterations: 5\nfinished: false\nx: 126\ny: 125\ndirection: R\n"
                      "colours: 62496 1 3 0 0 0 0 0 0 0 0 0 0\n");
    QTest::newRow("circling rule stops at the cap")
        << QStringList{"run", "R", "--max-iterations=1000"}
        << QByteArray("rule: R\niterations: 1000\nfinished: false\nx: 125\ny: 125\ndirection: U\n"
                      "colours: 62496 4 0 0 0 0 0 0 0 0 0 0 0\n");
    QTest::newRow("preset capped") << QStringList{"run", "--max-iterations", "1", "--preset", "1"}
                                   << QByteArray("rule: RLRLRLLRLR\niterations: 1\nfinished: "
                                                 "false\nx: 126\ny: 125\ndirection: R\n"
                                                 "colours: 62499 0 1 0 0 0 0 0 0 0 0 0 0\n");
}

void TestCli::runFreeRule()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);
    const CliResult result = RunCli(arguments);
    QCOMPARE(result.Status, 0);
    QCOMPARE(result.Out, expected);
}

void TestCli::catalogueCsv()
{
    const CliResult result = RunCli({"catalogue", "--csv"});
    QCOMPARE(result.Status, 0);
    const QList<QByteArray> lines = result.Out.trimmed().split('\n');
    QCOMPARE(lines.size(), 32);
    QCOMPARE(lines.front(), QByteArray("preset,rule,expected,iterations,x,y,direction,"
                                       "h0,h1,h2,h3,h4,h5,h6,h7,h8,h9,h10,h11,h12"));
    for (int n = 1; n <= 31; ++n)
    {
        const QList<QByteArray> cells = lines[n].split(',');
        QCOMPARE(cells.size(), 20);
        QCOMPARE(cells[0].toInt(), n);
        QCOMPARE(cells[2], cells[3]);
        qint64 total = 0;
        for (int k = 7; k < 20; ++k)
            total += cells[k].toLongLong();
        QCOMPARE(total, qint64(62500));
    }
    QCOMPARE(lines[3],
             QByteArray("3,LR,15517,15517,249,223,R,59954,1191,1355,0,0,0,0,0,0,0,0,0,0"));
}

void TestCli::helpAndVersion()
{
    const CliResult help = RunCli({"run", "--help"});
    QCOMPARE(help.Status, 0);
    QVERIFY(help.Out.contains("Usage: formicula-cli"));
    QVERIFY(help.Err.isEmpty());
    const CliResult version = RunCli({"--version"});
    QCOMPARE(version.Status, 0);
    QVERIFY(version.Out.startsWith("formicula-cli "));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
