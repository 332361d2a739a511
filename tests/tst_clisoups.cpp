#include "CliProcess.h"
#include "PlaneReference.h"
#include "Soup.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

namespace
{
// SplitMix64 as published, written here again so the program's is checked against it.
struct Reference64
{
    std::uint64_t State;
    std::uint64_t Next()
    {
        std::uint64_t z = (State += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
};

// Soup `index` as docs/cli.md derives it, planted on the reference around its start cell.
void PlantSoup(PlaneReference& plane, std::uint64_t seed, std::uint64_t index, int patch,
               int letters, double density)
{
    Reference64 stream{Reference64{Reference64{seed}.Next() ^ index}.Next()};
    const auto n = static_cast<std::uint64_t>(letters);
    for (int y = 0; y < patch; ++y)
        for (int x = 0; x < patch; ++x)
        {
            const std::uint64_t value = stream.Next();
            const std::uint64_t high = value >> 32, low = value & 0xffffffffu;
            std::uint64_t colour = (high * (n + 1)) >> 32;
            if (density >= 0)
                colour = ((high * 1000000000u) >> 32) < std::uint64_t(density * 1e9 + 0.5)
                             ? 1 + ((low * n) >> 32)
                             : 0;
            plane.Set(plane.X - patch / 2 + x, plane.Y - patch / 2 + y,
                      static_cast<std::uint8_t>(colour));
        }
}

using Row = QMap<QByteArray, QByteArray>;

// The rows of a soups CSV by column name; empty when the first line is no header.
QList<Row> CsvRows(const QByteArray& out)
{
    QList<QByteArray> lines = out.split('\n');
    if (lines.isEmpty() || !lines.front().startsWith("index,outcome,iterations,"))
        return {};
    const QList<QByteArray> names = lines.takeFirst().split(',');
    QList<Row> rows;
    for (const QByteArray& line : lines)
    {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> cells = line.split(',');
        Row row;
        for (int i = 0; i < names.size() && i < cells.size(); ++i)
            row[names[i]] = cells[i];
        rows.append(row);
    }
    return rows;
}

CliResult Soups(const QStringList& arguments)
{
    return RunCli(QStringList{"soups"} + arguments, Limit::None, 300000);
}
} // namespace

class TestCliSoups : public QObject
{
    Q_OBJECT

private slots:
    void generatorIsSplitMix64();
    void rowsAgreeWithThePlaneReference_data();
    void rowsAgreeWithThePlaneReference();
    void rowsDoNotDependOnJobsOrShards_data();
    void rowsDoNotDependOnJobsOrShards();
    void badUsageIsRefused_data();
    void badUsageIsRefused();
    void stopPrintsTheSoupsDone();
};

// The published first outputs for seed 1234567, and the soups' streams from them.
void TestCliSoups::generatorIsSplitMix64()
{
    const std::uint64_t published[] = {6457827717110365317ull, 3203168211198807973ull,
                                       9817491932198370423ull, 4593380528125082431ull,
                                       16408922859458223821ull};
    Reference64 reference{1234567};
    SplitMix64 program(1234567);
    for (const std::uint64_t value : published)
    {
        QCOMPARE(reference.Next(), value);
        QCOMPARE(program.Next(), value);
    }
    for (const std::uint64_t seed : {0ull, 1ull, 18446744073709551615ull})
        for (const std::uint64_t index : {0ull, 1ull, 767ull})
            QCOMPARE(Soup::StreamOf(seed, index),
                     Reference64{Reference64{Reference64{seed}.Next() ^ index}.Next()}.State);
}

void TestCliSoups::rowsAgreeWithThePlaneReference_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("seed");
    QTest::addColumn<int>("patch");
    QTest::addColumn<QString>("density"); // empty: every colour alike
    QTest::addColumn<QString>("cap");
    QTest::newRow("LR, highways") << "LR"
                                  << "1" << 11 << ""
                                  << "30000";
    QTest::newRow("RRL, patch 5") << "RRL"
                                  << "7" << 5 << ""
                                  << "20000";
    QTest::newRow("LLRR, density 0.5") << "LLRR"
                                       << "3" << 9 << "0.5"
                                       << "50000";
    QTest::newRow("RLR, even patch, density 0.25") << "RLR"
                                                   << "5" << 4 << "0.25"
                                                   << "10000";
    QTest::newRow("RRLRLR, seed 2^64-1") << "RRLRLR"
                                         << "18446744073709551615" << 11 << ""
                                         << "100000";
}

// Each row is the reference's run from the same patch, a proven highway goes on as it
// says, and run --soup replays the row.
void TestCliSoups::rowsAgreeWithThePlaneReference()
{
    QFETCH(QString, rule);
    QFETCH(QString, seed);
    QFETCH(int, patch);
    QFETCH(QString, density);
    QFETCH(QString, cap);
    QStringList shape{"--patch", QString::number(patch), "--max-iterations", cap};
    if (!density.isEmpty())
        shape << "--density" << density;
    const CliResult soups =
        Soups(QStringList{rule, "--count", "3", "--seed", seed, "--csv", "--quiet"} + shape);
    QCOMPARE(soups.Status, 0);
    const QList<Row> rows = CsvRows(soups.Out);
    QCOMPARE(rows.size(), 3);
    for (const Row& row : rows)
    {
        const QByteArray name = rule.toLatin1() + " soup " + row["index"];
        PlaneReference plane(rule.toStdString());
        PlantSoup(plane, seed.toULongLong(), row["index"].toULongLong(), patch, rule.size(),
                  density.isEmpty() ? -1.0 : density.toDouble());
        const std::uint64_t iterations = row["iterations"].toULongLong();
        while (plane.Done < iterations)
            plane.Step();
        QVERIFY2(plane.X == row["x"].toInt() && plane.Y == row["y"].toInt() &&
                     "URDL"[plane.Heading] == row["direction"][0],
                 name.constData());
        // A cap before the first snapshot on the highway proves it at the end.
        QVERIFY2(row["outcome"] == "cap" ||
                     (row["outcome"] == "highway" && !row["highway_period"].isEmpty()),
                 name.constData());
        if (!row["highway_period"].isEmpty())
        {
            const auto period = row["highway_period"].toULongLong();
            for (int k = 1; k <= 20; ++k)
            {
                const int x = plane.X, y = plane.Y, heading = plane.Heading;
                for (std::uint64_t i = 0; i < period; ++i)
                    plane.Step();
                QVERIFY2(plane.X - x == row["highway_drift_x"].toInt() &&
                             plane.Y - y == row["highway_drift_y"].toInt() &&
                             plane.Heading == heading,
                         name.constData());
            }
            QVERIFY2(row["type"].startsWith(row["highway_period"] + " ("), name.constData());
        }
    }
    const CliResult replay =
        RunCli(QStringList{"run", rule, "--soup", seed + ":1", "--plane", "--csv"} + shape);
    QCOMPARE(replay.Status, 0);
    const QList<QByteArray> lines = replay.Out.split('\n');
    QVERIFY(lines.size() >= 2);
    const QList<QByteArray> names = lines[0].split(','), cells = lines[1].split(',');
    QMap<QByteArray, QByteArray> run;
    for (int i = 0; i < names.size() && i < cells.size(); ++i)
        run[names[i]] = cells[i];
    for (const char* column : {"iterations", "x", "y", "direction", "highway_period"})
        QCOMPARE(run[column], rows[1][column]);
    // The trace replays the soup, not the blank start.
    const CliResult trace =
        RunCli(QStringList{"run", rule, "--soup", seed + ":1", "--plane", "--trace", "-"} + shape);
    QCOMPARE(trace.Status, 0);
    const QList<QByteArray> last = trace.Out.trimmed().split('\n').back().split(',');
    QCOMPARE(last.mid(1, 3), (QList<QByteArray>{run["x"], run["y"], run["direction"]}));
}

void TestCliSoups::rowsDoNotDependOnJobsOrShards_data()
{
    QTest::addColumn<QStringList>("run");
    const QStringList rrl{"RRL", "--count", "10", "--max-iterations", "200000", "--seed", "42"};
    QTest::newRow("csv") << rrl + QStringList{"--csv"};
    QTest::newRow("json") << rrl + QStringList{"--json"};
    // Highways not looked for, so the soups run out of memory: on two jobs at half of it
    // first, then again alone.
    QTest::newRow("outgrowing a share")
        << QStringList{"LR",           "--count", "4",     "--max-period",     "50",
                       "--max-memory", "64M",     "--csv", "--max-iterations", "1000000"};
}

void TestCliSoups::rowsDoNotDependOnJobsOrShards()
{
    QFETCH(QStringList, run);
    run << "--quiet";
    const CliResult one = Soups(run + QStringList{"--jobs", "1"});
    const CliResult two = Soups(run + QStringList{"--jobs", "2"});
    QCOMPARE(one.Status, 0);
    QCOMPARE(two.Status, 0);
    QCOMPARE(two.Out, one.Out);
    QTemporaryDir dir;
    QStringList files;
    for (const char* shard : {"1/3", "2/3", "3/3"})
    {
        const CliResult part = Soups(run + QStringList{"--shard", shard, "--jobs", "2"});
        QCOMPARE(part.Status, 0);
        files << dir.filePath(QString(shard).replace('/', '-'));
        QFile file(files.back());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(part.Out) == part.Out.size());
    }
    std::swap(files[0], files[2]); // any order
    const CliResult merged = RunCli(QStringList{"merge"} + files);
    QCOMPARE(merged.Status, 0);
    QCOMPARE(merged.Out, one.Out);
    const CliResult types = RunCli(QStringList{"merge", "--types"} + files);
    QCOMPARE(types.Out, Soups(run + QStringList{"--types"}).Out);
    // A shard missing is no whole run.
    const CliResult partial = RunCli({"merge", files[0], files[1]});
    QCOMPARE(partial.Status, 1);
    QVERIFY2(partial.Err.contains("is missing"), partial.Err.constData());
}

void TestCliSoups::badUsageIsRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("said");
    QTest::newRow("no rule") << QStringList{"soups"} << "missing RULE";
    QTest::newRow("bad rule") << QStringList{"soups", "LRX"} << "LRX";
    QTest::newRow("count 0") << QStringList{"soups", "LR", "--count", "0"} << "--count";
    QTest::newRow("patch 0") << QStringList{"soups", "LR", "--patch", "0"} << "--patch";
    QTest::newRow("patch too large") << QStringList{"soups", "LR", "--patch", "4097"} << "--patch";
    QTest::newRow("density above 1")
        << QStringList{"soups", "LR", "--density", "1.5"} << "--density";
    QTest::newRow("density of 10 decimals")
        << QStringList{"soups", "LR", "--density", "0.1234567891"} << "--density";
    QTest::newRow("density not a number")
        << QStringList{"soups", "LR", "--density", "half"} << "--density";
    QTest::newRow("negative seed") << QStringList{"soups", "LR", "--seed", "-1"} << "--seed";
    QTest::newRow("seed beyond 64 bits")
        << QStringList{"soups", "LR", "--seed", "18446744073709551616"} << "--seed";
    QTest::newRow("shard 3/2") << QStringList{"soups", "LR", "--shard", "3/2"} << "--shard";
    QTest::newRow("jobs 0") << QStringList{"soups", "LR", "--jobs", "0"} << "--jobs";
    QTest::newRow("memory too small")
        << QStringList{"soups", "LR", "--max-memory", "1K"} << "--max-memory";
    QTest::newRow("run --soup without index")
        << QStringList{"run", "LR", "--soup", "1"} << "SEED:INDEX";
    QTest::newRow("run --soup and --start")
        << QStringList{"run", "LR", "--soup", "1:2", "--start", "x.txt"} << "not both";
    QTest::newRow("run --patch without --soup")
        << QStringList{"run", "LR", "--patch", "5"} << "needs --soup";
    QTest::newRow("merge --top of soups") << QStringList{} << "--top";
}

void TestCliSoups::badUsageIsRefused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);
    QTemporaryDir dir;
    if (arguments.isEmpty())
    {
        const QString path = dir.filePath("soups.csv");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            Soups({"LR", "--count", "2", "--max-iterations", "1000", "--csv", "--quiet"}).Out);
        file.close();
        arguments = QStringList{"merge", "--top", "3", path};
    }
    const CliResult result = RunCli(arguments);
    QCOMPARE(result.Status, 2);
    QVERIFY(result.Out.isEmpty());
    QVERIFY2(result.Err.startsWith("formicula-cli: ") && result.Err.count('\n') == 1 &&
                 result.Err.contains(said.toUtf8()),
             result.Err.constData());
}

// SIGTERM, as a scheduler sends it: the soups done are printed, marked incomplete.
void TestCliSoups::stopPrintsTheSoupsDone()
{
    QProcess process;
    process.start(QStringLiteral(FORMICULA_CLI),
                  {"soups", "RRLRLR", "--count", "400", "--max-iterations", "3000000", "--jobs",
                   "1", "--json"});
    QVERIFY(process.waitForStarted());
    QTest::qWait(1500);
    QCOMPARE(process.state(), QProcess::Running);
    QVERIFY(::kill(static_cast<pid_t>(process.processId()), SIGTERM) == 0);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), 143);
    const QJsonObject root = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    QCOMPARE(root["complete"].toBool(true), false);
    const int rows = root["rows"].toArray().size();
    QVERIFY2(rows > 0 && rows < 400, qPrintable(QString::number(rows)));
    QCOMPARE(root["soups_done"].toInt(), rows);
    QVERIFY(process.readAllStandardError().contains("incomplete: interrupted after " +
                                                    QByteArray::number(rows) + " of 400 soups"));
}

QTEST_GUILESS_MAIN(TestCliSoups)
#include "tst_clisoups.moc"
