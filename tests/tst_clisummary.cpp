#include "CliProcess.h"

#include <QtTest>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QTemporaryDir>

#include <algorithm>

namespace
{
const QString LrType = QStringLiteral("104 (2 2) +10 +12");

CliResult Survey(const QStringList& arguments)
{
    return RunCli(QStringList{"survey", "--quiet"} + arguments, Limit::None, 300000);
}

QString Saved(const QTemporaryDir& dir, const QString& name, const QByteArray& data)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return {};
    return file.fileName();
}

// A survey's CSV rows by column name; its cells hold no commas.
QList<QMap<QByteArray, QByteArray>> Rows(const QByteArray& csv)
{
    QList<QByteArray> lines = csv.trimmed().split('\n');
    const QList<QByteArray> names = lines.takeFirst().split(',');
    QList<QMap<QByteArray, QByteArray>> rows;
    for (const QByteArray& line : lines)
    {
        QMap<QByteArray, QByteArray> row;
        const QList<QByteArray> cells = line.split(',');
        for (int i = 0; i < names.size() && i < cells.size(); ++i)
            row[names[i]] = cells[i];
        rows << row;
    }
    return rows;
}

// The census number (bit i set: letter i is R; a rule ending in L has its mirror's), then
// the rule numbered itself first.
QPair<quint64, bool> CensusOrder(const QByteArray& rule)
{
    const bool mirror = rule.endsWith('L');
    quint64 number = 0;
    for (int i = 0; i < rule.size(); ++i)
        number |= quint64((rule[i] == 'R') != mirror) << i;
    return {number, mirror};
}

// "104 (2 2) +10 +12" as its numbers, which order types as HighwayType does.
QList<qint64> TypeNumbers(const QByteArray& name)
{
    QList<qint64> numbers;
    for (const QByteArray& word : QByteArray(name).replace('(', ' ').replace(')', ' ').split(' '))
        if (!word.isEmpty())
            numbers << word.toLongLong();
    return numbers;
}
} // namespace

class TestCliSummary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void summaryOfShardsIsTheWholeOnes_data();
    void summaryOfShardsIsTheWholeOnes();
    void countsAgreeWithTheRows_data();
    void countsAgreeWithTheRows();
    void knownSummaries_data();
    void knownSummaries();
    void typeColumn_data();
    void typeColumn();
    void refused_data();
    void refused();

private:
    QTemporaryDir Dir;
};

void TestCliSummary::initTestCase()
{
    QVERIFY(Dir.isValid());
    const QStringList typed{"--letters", "1-4", "--plane", "--types", "--max-iterations", "100000"};
    const QByteArray csv = Survey(typed + QStringList{"--csv"}).Out;
    QVERIFY(csv.contains(LrType.toUtf8()));
    auto edited = [&](const QByteArray& rule, const QByteArray& type)
    {
        QList<QByteArray> lines = csv.split('\n');
        const int column = lines[0].split(',').indexOf("highway_type");
        for (QByteArray& line : lines)
            if (line.startsWith(rule + ','))
            {
                QList<QByteArray> cells = line.split(',');
                cells[column] = type;
                line = cells.join(',');
            }
        return lines.join('\n');
    };
    bool saved = !Saved(Dir, "typed.csv", csv).isEmpty() &&
                 !Saved(Dir, "typed.json", Survey(typed + QStringList{"--json"}).Out).isEmpty() &&
                 !Saved(Dir, "badtype.csv", edited("LR", "104 (2 2) +10")).isEmpty() &&
                 !Saved(Dir, "othertype.csv", edited("LR", "104 (3 1) +10 +12")).isEmpty() &&
                 !Saved(Dir, "notype.csv", edited("LL", LrType.toUtf8())).isEmpty();
    // An interrupted survey: its last row missing, and so said.
    QByteArray interrupted = csv.left(csv.lastIndexOf('\n', csv.size() - 2) + 1);
    saved = saved &&
            !Saved(Dir, "interrupted.csv", interrupted.replace(",30,30,30,1\n", ",30,29,29,1\n"))
                 .isEmpty();
    const QStringList letters{"--letters", "1-3", "--max-iterations", "100000", "--csv"};
    saved = saved &&
            !Saved(Dir, "top.csv", Survey(letters + QStringList{"--top", "2"}).Out).isEmpty() &&
            !Saved(Dir, "soups.csv",
                   RunCli({"soups", "LR", "--count", "2", "--max-iterations", "20000", "--csv",
                           "--quiet"})
                       .Out)
                 .isEmpty();
    QVERIFY(saved);
}

void TestCliSummary::summaryOfShardsIsTheWholeOnes_data()
{
    QTest::addColumn<QStringList>("survey");
    QTest::addColumn<QString>("format");
    const QStringList cap{"--max-iterations", "100000"};
    QTest::newRow("plane, types, csv")
        << QStringList{"--letters", "1-7", "--plane", "--types"} + cap << "csv";
    QTest::newRow("250 field, types, json")
        << QStringList{"--letters", "1-7", "--types"} + cap << "json";
    QTest::newRow("numbers, plane, types, csv")
        << QStringList{"--numbers", "5-127", "--plane", "--types"} + cap << "csv";
    QTest::newRow("no types, json") << QStringList{"--letters", "1-6"} + cap << "json";
}

// Shards, given as they are or merged, sum up to what the whole survey does, in every format.
void TestCliSummary::summaryOfShardsIsTheWholeOnes()
{
    QFETCH(QStringList, survey);
    QFETCH(QString, format);
    QTemporaryDir dir;
    const QStringList asked = survey + QStringList{"--format", format};
    const QString whole = Saved(dir, "whole", Survey(asked).Out);
    QStringList shards;
    for (int i = 1; i <= 3; ++i)
        shards << Saved(dir, QString("shard%1").arg(i),
                        Survey(asked + QStringList{"--shard", QString("%1/3").arg(i)}).Out);
    const QString merged = Saved(dir, "merged", RunCli(QStringList{"merge"} + shards).Out);
    for (const QStringList& options : {QStringList{}, QStringList{"--types"}})
        for (const QString shown : {"table", "csv", "json"})
        {
            const QStringList command = QStringList{"summary", "--format", shown} + options;
            const CliResult expected = RunCli(command + QStringList{whole});
            QCOMPARE(expected.Status, 0);
            QVERIFY(!expected.Out.isEmpty());
            QCOMPARE(RunCli(command + QStringList{merged}).Out, expected.Out);
            QCOMPARE(RunCli(command + shards).Out, expected.Out);
        }
}

void TestCliSummary::countsAgreeWithTheRows_data()
{
    QTest::addColumn<QStringList>("survey");
    QTest::newRow("plane") << QStringList{"--letters", "1-9", "--plane", "--max-iterations",
                                          "100000"};
    QTest::newRow("250 field") << QStringList{"--letters", "1-8", "--max-iterations", "1000000"};
}

// Each length's counts and types, counted here from the survey's rows.
void TestCliSummary::countsAgreeWithTheRows()
{
    QFETCH(QStringList, survey);
    QTemporaryDir dir;
    const CliResult rows = Survey(survey + QStringList{"--types", "--csv"});
    QCOMPARE(rows.Status, 0);
    const QString file = Saved(dir, "survey.csv", rows.Out);

    const QList<QByteArray> outcomes{"finished", "never", "cap", "memory", "highway"};
    QMap<int, QMap<QByteArray, int>> counts;           // per length: outcome, rules, proven
    QMap<int, QMap<QByteArray, QByteArrayList>> types; // per length: type -> rules
    for (const auto& row : Rows(rows.Out))
    {
        const int letters = row["rule"].size();
        ++counts[letters][row["outcome"]];
        ++counts[letters]["rules"];
        counts[letters]["proven"] += !row["highway_period"].isEmpty();
        if (!row["highway_type"].isEmpty())
            types[letters][row["highway_type"]] << row["rule"];
    }
    QByteArray lengths = "letters,rules,finished,never,cap,memory,highway,proven,types\n";
    QByteArray typeList = "letters,type,period,drift_a,drift_b,rules,first\n";
    for (auto length = counts.begin(); length != counts.end(); ++length)
    {
        QByteArrayList cells{QByteArray::number(length.key()),
                             QByteArray::number(length->value("rules"))};
        for (const QByteArray& outcome : outcomes)
            cells << QByteArray::number(length->value(outcome));
        cells << QByteArray::number(length->value("proven"))
              << QByteArray::number(types[length.key()].size());
        lengths += cells.join(',') + '\n';
        QByteArrayList names = types[length.key()].keys();
        std::sort(names.begin(), names.end(),
                  [&](const QByteArray& a, const QByteArray& b)
                  {
                      const int ra = types[length.key()][a].size();
                      const int rb = types[length.key()][b].size();
                      return ra != rb ? ra > rb : TypeNumbers(a) < TypeNumbers(b);
                  });
        for (const QByteArray& name : names)
        {
            const QByteArrayList& rules = types[length.key()][name];
            const QList<qint64> numbers = TypeNumbers(name);
            const QByteArray first = *std::min_element(rules.begin(), rules.end(),
                                                       [](const QByteArray& a, const QByteArray& b)
                                                       { return CensusOrder(a) < CensusOrder(b); });
            typeList += QByteArray::number(length.key()) + ',' + name + ',' +
                        QByteArray::number(numbers[0]) + ',' + QByteArray::number(numbers[1]) +
                        ',' + QByteArray::number(numbers[2]) + ',' +
                        QByteArray::number(rules.size()) + ',' + first + '\n';
        }
    }
    QVERIFY(typeList.count('\n') > 10);
    QCOMPARE(RunCli({"summary", "--csv", file}).Out, lengths);
    QCOMPARE(RunCli({"summary", "--csv", "--types", file}).Out, typeList);
}

void TestCliSummary::knownSummaries_data()
{
    QTest::addColumn<QStringList>("survey");
    QTest::addColumn<QStringList>("summary");
    QTest::addColumn<QByteArray>("printed");
    const QStringList plane{"--letters", "1-2", "--plane", "--types", "--max-iterations", "100000"};
    // L, R, LL and RR repeat; LR and RL go on LR's highway for ever.
    QTest::newRow("1-2 letters on the plane")
        << plane << QStringList{"--csv"}
        << QByteArray("letters,rules,finished,never,cap,memory,highway,proven,types\n"
                      "1,2,0,2,0,0,0,0,0\n"
                      "2,4,0,2,0,0,2,2,1\n");
    QTest::newRow("their types") << plane << QStringList{"--csv", "--types"}
                                 << QByteArray("letters,type,period,drift_a,drift_b,rules,first\n"
                                               "2,104 (2 2) +10 +12,104,2,2,2,LR\n");
    // On the 250 field LR and RL leave by their highway; no types were asked for.
    QTest::newRow("1-2 letters on the field, no types")
        << QStringList{"--letters", "1-2", "--max-iterations", "100000"} << QStringList{"--csv"}
        << QByteArray("letters,rules,finished,never,cap,memory,highway,proven,types\n"
                      "1,2,0,2,0,0,0,0,\n"
                      "2,4,2,2,0,0,0,2,\n");
    QTest::newRow("no types as a table")
        << QStringList{"--letters", "2", "--max-iterations", "100000"} << QStringList{}
        << QByteArray("letters     rules  finished     never       cap    memory   highway    "
                      "proven  types\n"
                      "      2         4         2         2         0         0         0       "
                      "  2      -\n");
}

void TestCliSummary::knownSummaries()
{
    QFETCH(QStringList, survey);
    QFETCH(QStringList, summary);
    QFETCH(QByteArray, printed);
    QTemporaryDir dir;
    const QString file = Saved(dir, "survey.json", Survey(survey + QStringList{"--json"}).Out);
    const CliResult result = RunCli(QStringList{"summary"} + summary + QStringList{file});
    QCOMPARE(result.Status, 0);
    QCOMPARE(result.Out, printed);
}

void TestCliSummary::typeColumn_data()
{
    QTest::addColumn<QStringList>("survey");
    QTest::addColumn<bool>("again"); // run a second time on the states the first kept
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("type");
    const QStringList plane{"--letters", "2", "--plane"};
    const QStringList field{"--letters", "2"};
    QTest::newRow("LR on the plane") << plane << false << "LR" << LrType;
    QTest::newRow("RL on the plane: its mirror, one type") << plane << false << "RL" << LrType;
    QTest::newRow("LR leaving the 250 field") << field << false << "LR" << LrType;
    QTest::newRow("LL, no highway") << field << false << "LL"
                                    << "";
    // A rule past the window's twelve letters: period 18 and drift (1 1), as its row says.
    QTest::newRow("13 letters") << QStringList{"--numbers", "4123", "--plane", "--max-iterations",
                                               "1000000"}
                                << false << "RRLRRLLLLLLLR"
                                << "18 (1 1) +0 +1 +1 +1 +0 +0 +2 +0 +0 +0 +0 +0 +0";
    QTest::newRow("LR capped on its highway, from its kept state")
        << QStringList{"--letters", "1-3", "--max-iterations", "12000"} << true << "LR" << LrType;
}

// survey --types gives each proven highway's type, in CSV and JSON alike.
void TestCliSummary::typeColumn()
{
    QFETCH(QStringList, survey);
    QFETCH(bool, again);
    QFETCH(QString, rule);
    QFETCH(QString, type);
    QTemporaryDir dir;
    const QStringList states{"--state-dir", dir.filePath("states")};
    const QStringList asked = survey + QStringList{"--types"} + (again ? states : QStringList{});
    const CliResult csv = Survey(asked + QStringList{"--csv"});
    QCOMPARE(csv.Status, 0);
    if (again)
        QCOMPARE(Survey(asked + QStringList{"--csv"}).Out, csv.Out);
    const CliResult json = Survey(asked + QStringList{"--json"});
    QCOMPARE(json.Status, 0);
    int found = 0;
    for (const auto& row : Rows(csv.Out))
        if (row["rule"] == rule.toUtf8() && ++found)
            QCOMPARE(QString(row["highway_type"]), type);
    for (const QJsonValue row : QJsonDocument::fromJson(json.Out)["rows"].toArray())
        if (row["rule"] == rule && ++found)
        {
            QCOMPARE(row["highway_type"].isNull(), type.isEmpty());
            QCOMPARE(row["highway_type"].toString(), type);
        }
    QCOMPARE(found, 2);
}

void TestCliSummary::refused_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("mentions");
    QTest::addColumn<bool>("printsRows");
    QTest::newRow("a rule in two inputs")
        << QStringList{"typed.csv", "typed.json"} << "typed.json' repeats rule " << false;
    QTest::newRow("a --top output") << QStringList{"top.csv"} << "cannot be summed up" << false;
    QTest::newRow("a soups output") << QStringList{"soups.csv"} << "is a soups output" << false;
    QTest::newRow("no file") << QStringList{"none"} << "cannot be read" << false;
    QTest::newRow("a type cut short")
        << QStringList{"badtype.csv"} << "'104 (2 2) +10' is no highway type" << false;
    QTest::newRow("a type of another highway")
        << QStringList{"othertype.csv"} << "is not the type of the row's highway" << false;
    QTest::newRow("a type without a highway")
        << QStringList{"notype.csv"} << "is not the type of the row's highway" << false;
    QTest::newRow("an interrupted survey")
        << QStringList{"interrupted.csv"} << "is incomplete: 29 of 30 rules" << true;
}

// Exit status 1 and one line naming the file and why; nothing printed unless the rows
// were all there to sum up.
void TestCliSummary::refused()
{
    QFETCH(QStringList, files);
    QFETCH(QString, mentions);
    QFETCH(bool, printsRows);
    for (QString& file : files)
        file = Dir.filePath(file);
    const CliResult result = RunCli(QStringList{"summary"} + files);
    QCOMPARE(result.Status, 1);
    QCOMPARE(result.Err.count('\n'), 1);
    QVERIFY2(result.Err.startsWith("formicula-cli: "), result.Err.constData());
    QVERIFY2(result.Err.contains(mentions.toUtf8()), result.Err.constData());
    QCOMPARE(!result.Out.isEmpty(), printsRows);
}

QTEST_GUILESS_MAIN(TestCliSummary)
#include "tst_clisummary.moc"
