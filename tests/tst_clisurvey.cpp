#include "Ant.h"
#include "CliProcess.h"
#include "PresetCatalogue.h"

#include <QtTest>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sched.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace
{
CliResult RunSurvey(const QStringList& arguments)
{
    return RunCli(QStringList{"survey"} + arguments, Limit::None, 300000);
}

// The data lines of a CSV survey, in output order, after checking the header; Header has
// no number columns, which CsvRows checks and takes out.
const QByteArray Header = "rule,outcome,iterations,x,y,direction,period,highway_period,"
                          "highway_onset,highway_drift_x,highway_drift_y,highway_certified_at,"
                          "visited,min_x,min_y,"
                          "max_x,max_y,letters_from,letters_to,max_iterations,max_period,top,"
                          "shard_index,shard_count,field_size,plane,rules_total,rules_done,rows";
constexpr int Columns = 29;

// N of "incomplete: stopped by a failure after N of M rules", or -1.
int RowsDoneBeforeFailure(const QByteArray& err)
{
    const QByteArray said = "stopped by a failure after ";
    const int at = err.indexOf(said);
    if (at < 0)
        return -1;
    const int from = at + said.size();
    return err.mid(from, err.indexOf(' ', from) - from).toInt();
}

// The census number of a rule, as published: bit i set for an R at letter i, for a rule
// that ends in R; a rule that ends in L has its mirror's.
QByteArray NumberCells(const QByteArray& rule)
{
    const char one = rule.endsWith('R') ? 'R' : 'L';
    quint64 number = 0;
    for (int i = 0; i < rule.size(); ++i)
        number |= quint64(rule[i] == one) << i;
    return QByteArray::number(number) + (one == 'R' ? ",false" : ",true");
}

QList<QList<QByteArray>> CsvRows(const QByteArray& out)
{
    QList<QByteArray> lines = out.split('\n');
    QByteArray header = Header;
    header.insert(header.indexOf(','), ",number,number_mirror");
    // A limit other than the default is recorded in a last column.
    if (lines.isEmpty() || (lines.front() != header && lines.front() != header + ",max_memory"))
        return {};
    lines.removeFirst();
    QList<QList<QByteArray>> rows;
    for (const QByteArray& line : lines)
    {
        if (line.isEmpty())
            continue;
        QList<QByteArray> cells = line.split(',');
        if (cells.size() < 3 || cells[1] + ',' + cells[2] != NumberCells(cells[0]))
            return {};
        cells.erase(cells.begin() + 1, cells.begin() + 3);
        rows.append(cells);
    }
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
    void planeRowsUnderATightLimitDoNotDependOnJobsOrLanes();
    void fewerLanesWhereFieldsWouldNotFit();
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
    void capturedGrowthAgreesWithTrace();
    void mergeRefuses_data();
    void mergeRefuses();
    void resumeEqualsOneSurvey_data();
    void resumeEqualsOneSurvey();
    void stoppedAndStartedAgainWithStates_data();
    void stoppedAndStartedAgainWithStates();
    void resumeRefuses_data();
    void resumeRefuses();
    void failedSaveKeepsTheRowsDone();

private:
    QTemporaryDir MergeDir;
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
        QCOMPARE(cells.size(), Columns);
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
    QVERIFY2(result.Err.contains("30 of 30 rules done, 22 finished (10 left by a highway, 12 "
                                 "without), 8 never, 0 cap"),
             result.Err.constData());
    QCOMPARE(result.Err.count('\n'), 1); // no progress bar when stderr is not a terminal
}

// Under a tight limit on the plane, which runs outgrow their share must not depend on how
// many run at once: those run again alone, so memory rows are those of a single run.
void TestCliSurvey::planeRowsUnderATightLimitDoNotDependOnJobsOrLanes()
{
    const QStringList common{"--letters", "7",       "--plane",          "--max-memory", "1M",
                             "--csv",     "--quiet", "--max-iterations", "10000000"};
    const CliResult alone = RunSurvey(common + QStringList{"--jobs", "1", "--lanes", "1"});
    QCOMPARE(alone.Status, 0);
    QVERIFY(alone.Out.contains(",memory,"));
    for (const auto& [jobs, lanes] : {std::pair{"1", "2"}, {"2", "1"}, {"2", "6"}})
        QCOMPARE(RunSurvey(common + QStringList{"--jobs", jobs, "--lanes", lanes}).Out, alone.Out);
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

// 50K hold four fields of 100 x 100 but not six: without --lanes the survey takes what
// fits, and refuses only a count it was asked for.
void TestCliSurvey::fewerLanesWhereFieldsWouldNotFit()
{
    const QStringList common{"--letters", "1-2",          "--jobs", "1",    "--size",
                             "100",       "--max-memory", "50K",    "--csv"};
    const CliResult fitted = RunSurvey(common);
    const CliResult one = RunSurvey(common + QStringList{"--lanes", "1"});
    const CliResult six = RunSurvey(common + QStringList{"--lanes", "6"});
    QCOMPARE(fitted.Status, 0);
    QCOMPARE(CsvRows(fitted.Out).size(), 6);
    QCOMPARE(fitted.Out, one.Out);
    QCOMPARE(six.Status, 2);
    QVERIFY2(six.Err.contains("6 field(s) of 10404 bytes take more than --max-memory"),
             six.Err.constData());
}

void TestCliSurvey::topKeepsLongestFinishers()
{
    const CliResult result = RunSurvey({"--letters", "1-4", "--top", "3", "--csv"});
    QCOMPARE(result.Status, 0);
    const QByteArray about = ",1,4,100000000,20000,3,1,1,250,0,30,30,3\n";
    const QList<QList<QByteArray>> rows = CsvRows(result.Out);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0].join(',') + '\n',
             "LLRR,finished,18340311,0,94,L,,,,,,,37192,0,9,192,242" + about);
    QCOMPARE(rows[1].join(',') + '\n',
             "RRLL,finished,17685001,249,121,R,,,,,,,36164,58,10,249,241" + about);
    QCOMPARE(rows[2].join(',') + '\n',
             "LRRR,finished,2811706,74,249,D,,,,,,,38925,24,26,247,249" + about);
    // Published examples of the numbering: 12 is LLRR, and RRLL its mirror.
    QVERIFY(result.Out.contains("\nLLRR,12,false,") && result.Out.contains("\nRRLL,12,true,"));
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
            QCOMPARE(cells.size(), Columns);
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
// started worker could not allocate, the others run its rules, or it fails with the rows
// done and a line saying why.
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
    QVERIFY2(result.Status == 0 || result.Status == 1, result.Err.constData());
    if (result.Status == 1)
    {
        QVERIFY2(result.Err.endsWith("formicula-cli: out of memory\n"), result.Err.constData());
        QCOMPARE(CsvRows(result.Out).size(), RowsDoneBeforeFailure(result.Err));
        return;
    }
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
    QTest::addColumn<QStringList>("rules");
    const QStringList letters{"--letters", "1-6"};
    QTest::newRow("csv") << "csv" << QStringList{} << letters;
    QTest::newRow("json") << "json" << QStringList{} << letters;
    QTest::newRow("csv, top 5") << "csv" << QStringList{"--top", "5"} << letters;
    QTest::newRow("numbers, csv") << "csv" << QStringList{} << QStringList{"--numbers", "5-127"};
    QTest::newRow("numbers, json") << "json" << QStringList{} << QStringList{"--numbers", "9-60"};
    QTest::newRow("plane, types, csv")
        << "csv" << QStringList{} << QStringList{"--letters", "1-6", "--plane", "--types"};
}

// Three shards, merged in any order, print exactly what the whole survey prints; a
// missing or repeated shard is refused.
void TestCliSurvey::shardsMergeIntoTheWholeSurvey()
{
    QFETCH(QString, format);
    QFETCH(QStringList, extra);
    QFETCH(QStringList, rules);
    const QStringList common =
        rules + QStringList{"--max-iterations", "300000", "--format", format} + extra;
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
    // Files that passed through Windows: a byte-order mark, and in CSV lines ending "\r\n".
    for (const QString& path : files)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray edited = "\xEF\xBB\xBF" + file.readAll();
        if (format == "csv")
            edited.replace("\n", "\r\n");
        QVERIFY(file.seek(0) && file.write(edited) == edited.size());
    }
    const CliResult fromWindows = RunCli(QStringList{"merge"} + extra + files);
    QCOMPARE(fromWindows.Status, 0);
    QCOMPARE(fromWindows.Out, whole.Out);

    const CliResult repeated = RunCli({"merge", files[0], files[1], files[1]});
    QCOMPARE(repeated.Status, 1);
    QVERIFY(repeated.Out.isEmpty());
    if (format == "json")
    {
        const CliResult missing = RunCli({"merge", files[0], files[2]});
        QCOMPARE(missing.Status, 1);
        QVERIFY2(missing.Err.contains("shard 2 of 3 is missing"), missing.Err.constData());
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

// Every row reports the visited cells and their box at its end, as the trace's last row
// does; a mirrored row (not run) has the mirrored box.
void TestCliSurvey::capturedGrowthAgreesWithTrace()
{
    const QByteArray cap = "1000000";
    const CliResult survey = RunSurvey({"--letters", "4", "--max-iterations", cap, "--csv"});
    QCOMPARE(survey.Status, 0);
    const QList<QList<QByteArray>> rows = CsvRows(survey.Out);
    QCOMPARE(rows.size(), 16);
    int capped = 0;
    for (const QList<QByteArray>& row : rows)
    {
        capped += row[1] == "cap";
        const CliResult run = RunCli({"run", row[0], "--max-iterations", cap, "--trace", "-",
                                      "--every", cap, "--format", "json"});
        QCOMPARE(run.Status, 0);
        const QList<QByteArray> last = run.Out.trimmed().split('\n').last().split(',');
        // The trace's last row: ..., visited, 13 colours, min_x, min_y, max_x, max_y.
        QCOMPARE(last.size(), 22);
        const QList<QByteArray> expected = QList<QByteArray>{last[4]} + last.mid(18);
        QCOMPARE(row.mid(12, 5), expected);
    }
    QVERIFY(capped >= 2);
}

// Each way a set of files can fail to be one survey's shards, each once and whole: exit
// status 1 and one line naming the file (or the shard) and why, nothing on stdout.
void TestCliSurvey::mergeRefuses_data()
{
    const QString dir = MergeDir.path() + '/';
    const QStringList common{"--quiet"};
    const QStringList usual{"--letters", "1-6", "--max-iterations", "300000"};
    bool written = true;
    auto write = [&](const QString& name, const QByteArray& data)
    {
        QFile file(dir + name);
        written = written && file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
    };
    auto survey = [&](const QString& name, const QStringList& arguments)
    {
        const CliResult result = RunSurvey(common + arguments);
        written = written && result.Status == 0;
        write(name, result.Out);
        return result.Out;
    };
    QMap<QString, QByteArray> shards;
    for (const QString format : {"csv", "json"})
    {
        const QStringList asked = usual + QStringList{"--format", format};
        for (int i = 1; i <= 3; ++i)
            shards[format + QString::number(i)] =
                survey(QString("s%1.%2").arg(i).arg(format),
                       asked + QStringList{"--shard", QString("%1/3").arg(i)});
        const QStringList third{"--format", format, "--shard", "3/3"};
        survey("letters." + format,
               third + QStringList{"--letters", "1-5", "--max-iterations", "300000"});
        survey("cap." + format,
               third + QStringList{"--letters", "1-6", "--max-iterations", "300001"});
        survey("period." + format, third + usual + QStringList{"--max-period", "100"});
        survey("memory." + format, third + usual + QStringList{"--max-memory", "1M"});
        survey("top." + format, third + usual + QStringList{"--top", "5"});
        survey("types." + format, third + usual + QStringList{"--types"});
        write("trunc." + format, shards[format + "3"].left(shards[format + "3"].size() / 2));
    }
    survey("table", usual + QStringList{"--shard", "3/3"});
    const QByteArray sized =
        survey("field.json", usual + QStringList{"--json", "--shard", "3/3", "--size", "100"});
    write("bigfield.json", QByteArray(sized).replace("\"size\": 100", "\"size\": 99999999999"));
    survey("field.csv", usual + QStringList{"--csv", "--shard", "3/3", "--size", "100"});
    write("empty", "");
    write("hello", "hello\n");
    write("list", "[{\"letters\": 1}]\n");
    write("binary", QByteArray("\x7f"
                               "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0",
                               20));
    QDir(dir).mkdir("directory");
    ::mkfifo(QFile::encodeName(dir + "fifo").constData(), 0600);
    QFile::link("/dev/zero", dir + "zero");
    write("cut.csv", shards["csv3"].left(shards["csv3"].indexOf("\n", 2000) + 1));

    // Edits of shard 1: a field out of range or malformed, a rule of another shard.
    auto edited = [&](const QString& name, const QByteArray& from, const QByteArray& to,
                      const QString& format)
    {
        QByteArray data = shards[format + "1"];
        const int at = data.indexOf(from);
        written = written && at > 0;
        write(name, data.replace(at, from.size(), to));
    };
    const QList<QByteArray> csvRow = shards["csv1"].split('\n')[2].split(',');
    const QByteArray csvPosition = "," + csvRow[5] + "," + csvRow[6] + "," + csvRow[7] + ",";
    edited("x.csv", csvPosition, ",4294967296," + csvRow[6] + "," + csvRow[7] + ",", "csv");
    edited("iterations.csv", "," + csvRow[4] + ",", ",99999999999999999999,", "csv");
    edited("malformed.csv", "," + csvRow[4] + ",", "," + csvRow[4] + "a,", "csv");
    edited("x.json", "\"x\": " + csvRow[5] + ",", "\"x\": 4294967296,", "json");
    edited("iterations.json", "\"iterations\": " + csvRow[4] + ",",
           "\"iterations\": 99999999999999999999,", "json");
    edited("malformed.json", "\"iterations\": " + csvRow[4] + ",",
           "\"iterations\": \"" + csvRow[4] + "\",", "json");
    // The rule with its number, so that only its survey is wrong.
    const QList<QByteArray> other = shards["csv2"].split('\n')[1].split(',');
    edited("foreign.csv", csvRow.mid(0, 3).join(',') + ",", other.mid(0, 3).join(',') + ",", "csv");
    auto jsonNumbered = [](const QList<QByteArray>& cells)
    {
        return "\"rule\": \"" + cells[0] + "\",\n      \"number\": " + cells[1] +
               ",\n      \"number_mirror\": " + cells[2] + ",";
    };
    edited("foreign.json", jsonNumbered(csvRow), jsonNumbered(other), "json");

    // An interrupted shard: its rows are printed, and the exit status still says failure.
    QByteArray interrupted = shards["csv3"];
    interrupted.truncate(interrupted.lastIndexOf('\n', interrupted.size() - 2) + 1);
    write("interrupted.csv", interrupted.replace(",42,42,42\n", ",42,41,41\n"));
    QJsonObject document = QJsonDocument::fromJson(shards["json3"]).object();
    QJsonArray rows = document["rows"].toArray();
    rows.removeLast();
    document["rows"] = rows;
    document["rules_done"] = 41;
    document["complete"] = false;
    write("interrupted.json", QJsonDocument(document).toJson());

    QVERIFY(written);

    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("mentions");
    QTest::addColumn<bool>("printsRows");
    for (const QString format : {"csv", "json"})
    {
        auto row = [&](const char* name, const QStringList& files, const QString& mentions,
                       bool printsRows = false)
        {
            QStringList paths;
            for (const QString& file : files)
                paths << dir + QString(file).replace("{f}", format);
            QTest::newRow((format + ": " + name).toUtf8().constData())
                << paths << mentions << printsRows;
        };
        row("empty file", {"s1.{f}", "s2.{f}", "empty"}, "empty' is empty");
        row("directory", {"s1.{f}", "directory", "s3.{f}"}, "directory' is a directory");
        row("unreadable", {"s1.{f}", "s2.{f}", "none"}, "none' cannot be read: No such file");
        // Neither may block the merge for ever or fill the memory.
        row("FIFO", {"s1.{f}", "fifo", "s3.{f}"}, "fifo' is not a regular file");
        if (format == "json")
            row("field size beyond the largest", {"s1.json", "s2.json", "bigfield.json"},
                "size '99999999999' is out of range");
        row("JSON list", {"s1.{f}", "list"}, "list' is not a survey output: not a JSON object");
        row("binary", {"s1.{f}", "binary"}, "binary' is not a survey output: its first line");
        row("endless device", {"s1.{f}", "zero"}, "zero' is not a regular file");
        row("foreign", {"hello", "s2.{f}", "s3.{f}"}, "hello' is not a survey output");
        row("table format", {"s1.{f}", "s2.{f}", "table"}, "table' is a table");
        row("truncated", {"s1.{f}", "s2.{f}", "trunc.{f}"},
            format == "csv" ? "trunc.csv' ends in the middle of a line"
                            : "trunc.json' is not whole JSON");
        row("missing shard", {"s3.{f}", "s1.{f}"}, "shard 2 of 3 is missing");
        row("repeated shard", {"s1.{f}", "s2.{f}", "s3.{f}", "s2.{f}"},
            "s2." + format + "' repeats shard 2 of 3");
        row("other letters", {"s1.{f}", "s2.{f}", "letters.{f}"}, "letters 1-5");
        row("other cap", {"s1.{f}", "s2.{f}", "cap.{f}"}, "cap 300001");
        row("other period limit", {"s1.{f}", "s2.{f}", "period.{f}"}, "period limit 100");
        // Rows that end as memory depend on the limit, so it is recorded when not the default.
        row("other memory limit", {"s1.{f}", "s2.{f}", "memory.{f}"},
            "comes from a survey of --max-memory 1048576");
        row("other --top", {"s1.{f}", "s2.{f}", "top.{f}"},
            "top.{f}' comes from a survey of --top 5");
        row("other --types", {"s1.{f}", "s2.{f}", "types.{f}"},
            "types.{f}' comes from a survey with --types");
        row("mixed formats", {"s1.{f}", "s2.{f}", format == "csv" ? "s3.json" : "s3.csv"},
            "comes from a survey of format");
        row("rule of another shard", {"foreign.{f}", "s2.{f}", "s3.{f}"},
            "which is not of its survey");
        row("x beyond 32 bits", {"x.{f}", "s2.{f}", "s3.{f}"},
            "x.{f}' " + QString(format == "csv" ? "line 3" : "row 2") +
                ": x '4294967296' is out of range");
        row("iterations beyond 64 bits", {"iterations.{f}", "s2.{f}", "s3.{f}"}, ": iterations '");
        row("malformed iterations", {"malformed.{f}", "s2.{f}", "s3.{f}"}, "is not a count");
        row("interrupted shard", {"s1.{f}", "s2.{f}", "interrupted.{f}"},
            "is incomplete: 41 of 42 rules", true);
        if (format == "csv")
            row("cut at a line end", {"s1.csv", "s2.csv", "cut.csv"}, "cut.csv' holds ");
        row("other field", {"s1.{f}", "s2.{f}", "field.{f}"},
            "comes from a survey of field 100 x 100");
    }
}

void TestCliSurvey::mergeRefuses()
{
    QFETCH(QStringList, files);
    QFETCH(QString, mentions);
    QFETCH(bool, printsRows);
    mentions.replace(
        "{f}",
        QString(QTest::currentDataTag()).left(QString(QTest::currentDataTag()).indexOf(':')));
    const CliResult result = RunCli(QStringList{"merge"} + files);
    QCOMPARE(result.Status, 1);
    QCOMPARE(result.Err.count('\n'), 1);
    QVERIFY2(result.Err.startsWith("formicula-cli: "), result.Err.constData());
    QVERIFY2(result.Err.contains(mentions.toUtf8()), result.Err.constData());
    QCOMPARE(!result.Out.isEmpty(), printsRows);
}

void TestCliSurvey::resumeEqualsOneSurvey_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("states");
    QTest::addColumn<QStringList>("field");
    QTest::addColumn<QString>("lower");
    QTest::addColumn<QString>("cap");
    QTest::newRow("csv") << "csv" << false << QStringList{} << "1000000"
                         << "5000000";
    QTest::newRow("json, with states") << "json" << true << QStringList{} << "1000000"
                                       << "5000000";
    QTest::newRow("csv, with states") << "csv" << true << QStringList{} << "1000000"
                                      << "5000000";
    // Highways proven between the caps, and rows that ended on one below the lower cap:
    // where a run on the plane ends depends on its cap.
    QTest::newRow("plane, csv") << "csv" << false << QStringList{"--plane"} << "100000"
                                << "1000000";
    QTest::newRow("plane, csv, with states") << "csv" << true << QStringList{"--plane"} << "100000"
                                             << "1000000";
    QTest::newRow("63 x 63, json, with states")
        << "json" << true << QStringList{"--size", "63"} << "20000"
        << "200000";
    QTest::newRow("numbers, plane, csv, with states")
        << "csv" << true << QStringList{"--plane", "--numbers", "5-127"} << "100000"
        << "1000000";
    QTest::newRow("plane, types, json, with states")
        << "json" << true << QStringList{"--plane", "--types"} << "100000"
        << "1000000";
}

// Capped rules taken further from an earlier output give what one survey at the higher
// cap gives, byte for byte.
void TestCliSurvey::resumeEqualsOneSurvey()
{
    QFETCH(QString, format);
    QFETCH(bool, states);
    QFETCH(QStringList, field);
    QFETCH(QString, lower);
    QFETCH(QString, cap);
    QTemporaryDir dir;
    const QStringList letters =
        field.contains("--numbers") ? QStringList{} : QStringList{"--letters", "1-7"};
    const QStringList common = letters + QStringList{"--format", format, "--quiet"} + field;
    const QStringList keep =
        states ? QStringList{"--state-dir", dir.filePath("states")} : QStringList{};
    const CliResult low = RunSurvey(common + keep + QStringList{"--max-iterations", lower});
    QCOMPARE(low.Status, 0);
    QFile previous(dir.filePath("low"));
    QVERIFY(previous.open(QIODevice::WriteOnly) && previous.write(low.Out) == low.Out.size());
    previous.close();
    const CliResult whole = RunSurvey(common + QStringList{"--max-iterations", cap});
    QCOMPARE(whole.Status, 0);
    const CliResult resumed =
        RunSurvey(QStringList{"--resume", previous.fileName(), "--max-iterations", cap, "--format",
                              format, "--quiet"} +
                  field + keep);
    QCOMPARE(resumed.Status, 0);
    QCOMPARE(resumed.Out, whole.Out);
    if (states)
        QVERIFY(QDir(dir.filePath("states")).entryList({"*.state"}).size() > 20);
}

void TestCliSurvey::stoppedAndStartedAgainWithStates_data()
{
    QTest::addColumn<QStringList>("field");
    QTest::addColumn<QString>("lower");
    QTest::addColumn<QString>("cap");
    QTest::newRow("250 x 250") << QStringList{} << "1000000"
                               << "80000000";
    // Long enough that the stop lands within the resume on a fast machine.
    QTest::newRow("plane") << QStringList{"--plane"} << "100000"
                           << "20000000";
}

// A survey with --state-dir stopped by SIGTERM (preemption) and started again with the
// same command line gives the uninterrupted survey's output. While it runs, its state
// directory is refused to a second survey.
void TestCliSurvey::stoppedAndStartedAgainWithStates()
{
    QFETCH(QStringList, field);
    QFETCH(QString, lower);
    QFETCH(QString, cap);
    QTemporaryDir dir;
    const QString states = dir.filePath("states");
    const QString previous = dir.filePath("low.csv");
    const CliResult low = RunSurvey(QStringList{"--letters", "1-7", "--max-iterations", lower,
                                                "--csv", "--quiet", "--state-dir", states} +
                                    field);
    QCOMPARE(low.Status, 0);
    QFile file(previous);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(low.Out) == low.Out.size());
    file.close();
    const QStringList again =
        QStringList{"survey", "--resume", previous,  "--max-iterations", cap, "--state-dir",
                    states,   "--csv",    "--quiet", "--jobs",           "2"} +
        field;
    QProcess process;
    process.start(QStringLiteral(FORMICULA_CLI), again);
    QVERIFY(process.waitForStarted());
    // The resume takes seconds on an idle machine here: the stop lands well within it.
    QTest::qWait(500);
    const CliResult second = RunCli(again, Limit::None, 300000);
    QCOMPARE(second.Status, 1);
    QCOMPARE(second.Err.count('\n'), 1);
    QVERIFY2(second.Err.contains("is in use by another survey"), second.Err.constData());
    QCOMPARE(process.state(), QProcess::Running);
    QVERIFY(::kill(static_cast<pid_t>(process.processId()), SIGTERM) == 0);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), 143);
    const QList<QList<QByteArray>> partial = CsvRows(process.readAllStandardOutput());
    QVERIFY(!partial.isEmpty());
    QVERIFY(partial.front()[Header.split(',').indexOf("rules_done")].toInt() < 254);

    const CliResult restarted = RunCli(again, Limit::None, 300000);
    QCOMPARE(restarted.Status, 0);
    const CliResult whole = RunSurvey(
        QStringList{"--letters", "1-7", "--max-iterations", cap, "--csv", "--quiet"} + field);
    QCOMPARE(whole.Status, 0);
    QCOMPARE(restarted.Out, whole.Out);
}

void TestCliSurvey::resumeRefuses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("other letters") << QStringList{"--letters", "1-4"} << "letters 1-5";
    QTest::newRow("lower cap") << QStringList{"--max-iterations", "1000"} << "above this survey's";
    QTest::newRow("other period limit")
        << QStringList{"--max-period", "50"} << "resume it with --max-period 20000";
    QTest::newRow("top only") << QStringList{"top"} << "cannot be resumed";
    QTest::newRow("other memory limit")
        << QStringList{"--max-memory", "1M"} << "ran within --max-memory 1073741824";
    QTest::newRow("other field")
        << QStringList{"--plane"}
        << "is a survey on a field of 250 x 250; resume it with --size 250";
    QTest::newRow("types asked of a survey without")
        << QStringList{"--types"} << "has no highway types; resume it without --types";
    QTest::newRow("damaged state")
        << QStringList{"--state-dir", "{dir}"} << "is refused: its checksum does not match";
}

void TestCliSurvey::resumeRefuses()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);
    QTemporaryDir dir;
    const bool top = arguments == QStringList{"top"};
    const CliResult earlier =
        RunSurvey(QStringList{"--letters", "1-5", "--max-iterations", "100000", "--csv"} +
                  (top ? QStringList{"--top", "3"} : QStringList{}));
    QFile file(dir.filePath("earlier.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier.Out) == earlier.Out.size());
    file.close();
    if (top)
        arguments.clear();
    // A capped rule's state with one byte changed.
    QFile state(dir.filePath(CsvRows(earlier.Out).back()[0] + ".state"));
    QVERIFY(state.open(QIODevice::WriteOnly) &&
            state.write(QByteArray("FORMICULA-STATE\n") + QByteArray("\x01\0\0\0", 4) +
                        QByteArray(40000, 'x')) > 0);
    state.close();
    arguments.replaceInStrings("{dir}", dir.path());
    const CliResult result = RunSurvey(QStringList{"--resume", file.fileName()} + arguments);
    QCOMPARE(result.Status, 1);
    QVERIFY(result.Out.isEmpty());
    QCOMPARE(result.Err.count('\n'), 1);
    QVERIFY2(result.Err.contains(mentions.toUtf8()), result.Err.constData());
}

// A state that cannot be saved (the disk full) ends the survey with exit 1, and the rows
// already done are printed all the same.
void TestCliSurvey::failedSaveKeepsTheRowsDone()
{
    QTemporaryDir dir;
    const CliResult result = RunCli({"survey", "--letters", "1-10", "--max-iterations", "1000000",
                                     "--csv", "--quiet", "--jobs", "1", "--state-dir", dir.path()},
                                    Limit::FileSize);
    QCOMPARE(result.Status, 1);
    QVERIFY2(result.Err.contains("File too large"), result.Err.constData());
    QVERIFY2(result.Err.contains("incomplete: stopped by a failure after"), result.Err.constData());
    const int done = RowsDoneBeforeFailure(result.Err);
    QVERIFY(done > 0);
    QCOMPARE(CsvRows(result.Out).size(), done);
}

QTEST_GUILESS_MAIN(TestCliSurvey)
#include "tst_clisurvey.moc"
