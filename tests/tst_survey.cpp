#include "Ant.h"
#include "AntField.h"
#include "PackedField.h"
#include "RunState.h"
#include "Runner.h"
#include "Survey.h"

#include <QtTest>

#include <algorithm>
#include <memory>

namespace
{
constexpr std::uint64_t HighwayMaxPeriod = 2000;

const SurveyRow* Find(const Survey& survey, const std::string& rule)
{
    for (const SurveyRow& row : survey.Rows())
        if (row.Rule == rule)
            return &row;
    return nullptr;
}

RunResult RunFromStart(const std::string& rule, std::uint64_t cap, std::uint64_t maxPeriod,
                       AntField& field, Ant& ant)
{
    ant.SetRule(rule);
    RunOptions options;
    options.Cap = cap;
    options.HighwayMaxPeriod = maxPeriod;
    return Runner().Run(field, ant, options);
}

// What a plain run of the rule gives, for comparison with a survey row.
SurveyRow PlainRow(const std::string& rule, std::uint64_t cap)
{
    auto field = std::make_unique<AntField>();
    Ant ant;
    const RunResult result = RunFromStart(rule, cap, HighwayMaxPeriod, *field, ant);
    SurveyRow row;
    row.Rule = rule;
    row.Outcome = result.Outcome;
    row.Iterations = result.Iterations;
    row.Position = ant.GetPosition();
    row.Highway = result.Highway;
    return row;
}

// The rule's state after `iterations` from the start, as a survey saves it.
RunState StateAt(const std::string& rule, std::uint64_t iterations)
{
    auto field = std::make_unique<AntField>();
    Ant ant;
    RunFromStart(rule, iterations, 0, *field, ant);
    return RunState::Of(rule, iterations, *field, ant.GetPosition());
}

// A survey of the one pair of 4 letters that holds `rule`.
std::unique_ptr<Survey> PairSurvey(const std::string& rule, std::uint64_t cap)
{
    for (int index = 0; index < 8; ++index)
    {
        auto survey = std::make_unique<Survey>(4, 4, cap);
        survey->SetShard(index, 8);
        survey->SetHighwayMaxPeriod(HighwayMaxPeriod);
        const std::vector<std::string> rules = survey->Rules();
        if (std::find(rules.begin(), rules.end(), rule) != rules.end())
            return survey;
    }
    return nullptr;
}

QByteArray Describe(const SurveyRow& row)
{
    const char* outcomes[] = {"finished", "never",  "cap",    "stopped",
                              "idle",     "memory", "hooked", "highway"};
    return QByteArray::fromStdString(row.Rule) + ' ' + outcomes[int(row.Outcome)] + ' ' +
           QByteArray::number(quint64(row.Iterations)) + " at " +
           QByteArray::number(row.Position.X) + ',' + QByteArray::number(row.Position.Y) + ' ' +
           row.Position.Direction + " period " + QByteArray::number(quint64(row.Period)) +
           " highway " + QByteArray::number(quint64(row.Highway.Period)) + '@' +
           QByteArray::number(quint64(row.Highway.Onset));
}
} // namespace

class TestSurvey : public QObject
{
    Q_OBJECT

private slots:
    void rulesInBinaryOrder();
    void rowsAtCap_data();
    void rowsAtCap();
    void everyRowMatchesAPlainRun();
    void sameRowsForAnyJobsAndLanes_data();
    void sameRowsForAnyJobsAndLanes();
    void mirrorRowReflectsAboutTheStartColumn();
    void shardsSplitTheRules();
    void stopFlagLeavesRowsUndone();
    void resumedRunContinuesFromItsSavedIteration_data();
    void resumedRunContinuesFromItsSavedIteration();
    void damagedStateFilesRefused_data();
    void damagedStateFilesRefused();
    void stateFileRoundTrip();
    void failedStateWriteLeavesNoFile();
};

void TestSurvey::rulesInBinaryOrder()
{
    const std::vector<std::string> rules = Survey::RulesOf(1, 3);
    QCOMPARE(rules.size(), std::size_t(2 + 4 + 8));
    QCOMPARE(rules[0], std::string("L"));
    QCOMPARE(rules[2], std::string("LL"));
    QCOMPARE(rules[6], std::string("LLL"));
    QCOMPARE(rules[7], std::string("LLR"));
    QCOMPARE(rules[13], std::string("RRR"));
    QCOMPARE(Survey::MirrorRule("LLRL"), std::string("RRLR"));
}

void TestSurvey::rowsAtCap_data()
{
    QTest::addColumn<QString>("cap");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QByteArray>("row");
    QTest::newRow("one below LR's length") << "15516"
                                           << "LR" << QByteArray("LR cap 15516");
    QTest::newRow("exactly LR's length")
        << "15517"
        << "LR" << QByteArray("LR finished 15517 at 249,223 R period 0");
    QTest::newRow("L repeats after 4") << "1000"
                                       << "L" << QByteArray("L never 11 at ");
    QTest::newRow("cap before L repeats") << "10"
                                          << "L" << QByteArray("L cap 10 at");
    // LRR reaches column 0 before this cap, so its mirror RLL must be run, not mirrored.
    QTest::newRow("mirror of a capped rule that touched column 0")
        << "1960200"
        << "RLL" << QByteArray("RLL finished 1960101 at 249,165 R period 0");
}

void TestSurvey::rowsAtCap()
{
    QFETCH(QString, cap);
    QFETCH(QString, rule);
    QFETCH(QByteArray, row);
    Survey survey(1, 3, cap.toULongLong());
    survey.Run(1, nullptr);
    QCOMPARE(survey.DoneCount(), std::size_t(14));
    const SurveyRow* found = Find(survey, rule.toStdString());
    QVERIFY(found);
    QVERIFY2(Describe(*found).startsWith(row), Describe(*found).constData());
}

// Capped rows may be mirrored from their mirror rule's run; each must still be what a
// plain run of its own rule gives.
void TestSurvey::everyRowMatchesAPlainRun()
{
    constexpr std::uint64_t Cap = 200000;
    Survey survey(1, 5, Cap);
    survey.SetHighwayMaxPeriod(HighwayMaxPeriod);
    survey.Run(2, nullptr);
    int highways = 0;
    int capped = 0;
    for (const SurveyRow& row : survey.Rows())
    {
        QVERIFY(row.Done);
        if (row.Outcome == RunOutcome::Never)
            continue;
        capped += row.Outcome == RunOutcome::Cap;
        highways += row.Highway.Found;
        SurveyRow plain = PlainRow(row.Rule, Cap);
        plain.Done = true;
        QCOMPARE(Describe(row), Describe(plain));
    }
    QVERIFY(capped >= 10);
    QVERIFY(highways >= 4);
}

void TestSurvey::sameRowsForAnyJobsAndLanes_data()
{
    QTest::addColumn<int>("letters");
    QTest::addColumn<qulonglong>("cap");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("plane");
    QTest::addColumn<qulonglong>("maxMemory");
    QTest::addColumn<qulonglong>("maxPeriod");
    QTest::newRow("field") << 7 << 3000000ULL << 250 << false << 0ULL << 0ULL;
    // Many runs outgrow a share of the memory, and fewer all of it.
    QTest::newRow("plane, little memory") << 6 << 300000ULL << 20 << true << 64ULL * 1024 << 0ULL;
    // The field fits, and its highway snapshots do for some runs only.
    QTest::newRow("large field, little memory for snapshots")
        << 4 << 3000000ULL << 800 << false << 700000ULL << 100ULL;
}

void TestSurvey::sameRowsForAnyJobsAndLanes()
{
    QFETCH(int, letters);
    QFETCH(qulonglong, cap);
    QFETCH(int, size);
    QFETCH(bool, plane);
    QFETCH(qulonglong, maxMemory);
    QFETCH(qulonglong, maxPeriod);
    Survey one(1, letters, cap);
    one.SetLanes(1);
    Survey two(1, letters, cap);
    for (Survey* survey : {&one, &two})
    {
        if (maxMemory > 0)
            survey->SetGeometry(size, plane, maxMemory);
        survey->SetHighwayMaxPeriod(maxPeriod);
    }
    QCOMPARE(one.Run(1, nullptr), 1);
    QCOMPARE(two.Run(2, nullptr), 2);
    int outgrew = 0;
    for (std::size_t i = 0; i < one.Rows().size(); ++i)
    {
        QCOMPARE(Describe(one.Rows()[i]), Describe(two.Rows()[i]));
        outgrew += one.Rows()[i].Outcome == RunOutcome::Memory;
    }
    QCOMPARE(outgrew > 0, maxMemory > 0);
}

void TestSurvey::mirrorRowReflectsAboutTheStartColumn()
{
    // LLR's capped walk stays right of column 0, so RRL's run is its mirror image.
    constexpr std::uint64_t Cap = 3000;
    auto field = std::make_unique<AntField>();
    Ant ant;
    ant.SetRule("LLR");
    RunOptions options;
    options.Cap = Cap;
    Runner().Run(*field, ant, options);
    PackedField packed;
    packed.Load(*field);
    QVERIFY(!Survey::TouchedUnmirrored(packed, ant.GetPosition()));
    const SurveyRow mirrored = Survey::MirrorRow(PlainRow("LLR", Cap));
    QCOMPARE(Describe(mirrored), Describe(PlainRow("RRL", Cap)));

    field->SetCell(0, 17, 1);
    packed.Load(*field);
    QVERIFY(Survey::TouchedUnmirrored(packed, ant.GetPosition()));
}

// Three shards run every rule exactly once between them, each as the whole survey runs it.
void TestSurvey::shardsSplitTheRules()
{
    constexpr std::uint64_t Cap = 300000;
    Survey whole(1, 6, Cap);
    whole.Run(2, nullptr);
    std::vector<int> runs(whole.Rows().size(), 0);
    std::size_t rules = 0;
    for (int index = 0; index < 3; ++index)
    {
        Survey shard(1, 6, Cap);
        shard.SetShard(index, 3);
        shard.Run(1, nullptr);
        QCOMPARE(shard.DoneCount(), shard.RuleCount());
        rules += shard.RuleCount();
        for (std::size_t i = 0; i < shard.Rows().size(); ++i)
        {
            if (!shard.Rows()[i].Done)
                continue;
            ++runs[i];
            QCOMPARE(Describe(shard.Rows()[i]), Describe(whole.Rows()[i]));
        }
    }
    QCOMPARE(rules, whole.Rows().size());
    QVERIFY(std::all_of(runs.begin(), runs.end(), [](int n) { return n == 1; }));
}

void TestSurvey::stopFlagLeavesRowsUndone()
{
    const std::atomic<bool> stop{true};
    Survey survey(8, 8, 100000000);
    survey.Run(2, &stop);
    QCOMPARE(survey.DoneCount(), std::size_t(0));
    for (const SurveyRow& row : survey.Rows())
        QVERIFY(!row.Done);
}

void TestSurvey::resumedRunContinuesFromItsSavedIteration_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<quint64>("saved");
    QTest::addColumn<quint64>("cap");
    // A resumed stretch long enough to show any highway looked for, and one too short
    // (a replay from the start settles it). LLRL finishes at 263220 on a highway of
    // period 384 from 256241.
    QTest::newRow("capped, long stretch") << "LLRR" << quint64(100000) << quint64(1000000);
    QTest::newRow("capped, short stretch") << "LLRR" << quint64(950000) << quint64(1000000);
    QTest::newRow("saved at the cap") << "LLRR" << quint64(1000000) << quint64(1000000);
    QTest::newRow("highway, long stretch") << "LLRL" << quint64(100000) << quint64(1000000);
    QTest::newRow("highway, short stretch") << "LLRL" << quint64(200000) << quint64(1000000);
}

// A survey that finds the rule's state continues from it: it steps only the iterations
// left, and the row is the plain run's.
void TestSurvey::resumedRunContinuesFromItsSavedIteration()
{
    QFETCH(QString, rule);
    QFETCH(quint64, saved);
    QFETCH(quint64, cap);
    const std::string name = rule.toStdString();
    const std::string mirror = Survey::MirrorRule(name);
    QTemporaryDir dir;
    StateAt(name, saved).Write(Survey::StateFile(dir.path().toStdString(), name));
    std::unique_ptr<Survey> survey = PairSurvey(name, cap);
    QVERIFY(survey);
    SurveyRow known = PlainRow(mirror, cap);
    QVERIFY(survey->SetKnown(known));
    QVERIFY(!survey->SetKnown(PlainRow("LRLRL", cap))); // not of the survey
    survey->SetStateDirectory(dir.path().toStdString());
    survey->Run(1, nullptr);
    QCOMPARE(survey->DoneCount(), std::size_t(2));
    const SurveyRow plain = PlainRow(name, cap);
    QCOMPARE(plain.Highway.Found, name == "LLRL");
    QCOMPARE(quint64(survey->IterationsStepped()), plain.Iterations - saved);
    QCOMPARE(Describe(*Find(*survey, name)), Describe(plain));
    QCOMPARE(Describe(*Find(*survey, mirror)), Describe(known));

    // Its end is saved: run again, it steps nothing and gives the same row.
    const RunState end = RunState::Read(Survey::StateFile(dir.path().toStdString(), name));
    QVERIFY(end.Ended);
    QCOMPARE(quint64(end.Iterations), quint64(plain.Iterations));
    std::unique_ptr<Survey> again = PairSurvey(name, cap);
    again->SetKnown(known);
    again->SetStateDirectory(dir.path().toStdString());
    again->Run(1, nullptr);
    QCOMPARE(quint64(again->IterationsStepped()), quint64(0));
    QCOMPARE(Describe(*Find(*again, name)), Describe(plain));
}

void TestSurvey::damagedStateFilesRefused_data()
{
    const std::string good = StateAt("LLRR", 1000).Encode();
    auto patched = [&](std::size_t at, char byte)
    {
        std::string bytes = good;
        bytes[at] = byte;
        return QByteArray::fromStdString(bytes);
    };
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("empty") << QByteArray() << "is not a formicula run state";
    QTest::newRow("foreign") << QByteArray("hello\n") << "is not a formicula run state";
    QTest::newRow("truncated") << QByteArray::fromStdString(good.substr(0, good.size() - 100))
                               << "checksum does not match";
    QTest::newRow("a cell changed")
        << patched(good.size() / 2, '\x31') << "checksum does not match";
    QTest::newRow("other version") << patched(16, '\x02') << "version 2";
    QTest::newRow("other rule's") << QByteArray::fromStdString(StateAt("LRRR", 1000).Encode())
                                  << "holds a run of LRRR";
    QTest::newRow("beyond the cap")
        << QByteArray::fromStdString(StateAt("LLRR", 5000).Encode()) << "beyond this survey's cap";
}

// A damaged, foreign or unfitting state file stops the survey before any work, naming the
// file; it is never used.
void TestSurvey::damagedStateFilesRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, mentions);
    QTemporaryDir dir;
    const std::string path = Survey::StateFile(dir.path().toStdString(), "LLRR");
    QFile file(QString::fromStdString(path));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    std::unique_ptr<Survey> survey = PairSurvey("LLRR", 2000);
    survey->SetStateDirectory(dir.path().toStdString());
    try
    {
        survey->Run(1, nullptr);
        QFAIL("the survey ran");
    }
    catch (const std::runtime_error& error)
    {
        const QString message = error.what();
        QVERIFY2(message.contains(QString::fromStdString(path)) && message.contains(mentions),
                 error.what());
    }
    QCOMPARE(survey->DoneCount(), std::size_t(0));
}

// What is written is read back whole; a mirrored state is the mirror rule's own run.
void TestSurvey::stateFileRoundTrip()
{
    RunState state = StateAt("LLR", 3000);
    state.Ended = true;
    state.Outcome = RunOutcome::Cap;
    state.HighwayMaxPeriod = 77;
    state.Highway = Highway{true, 18, 2000, 2100, -1, 1};
    const RunState back = RunState::Decode(state.Encode());
    QCOMPARE(back.Rule, state.Rule);
    QCOMPARE(quint64(back.Iterations), quint64(3000));
    QCOMPARE(back.Position.X, state.Position.X);
    QCOMPARE(back.Position.Y, state.Position.Y);
    QCOMPARE(back.Position.Direction, state.Position.Direction);
    QVERIFY(back.Cells == state.Cells);
    QVERIFY(back.Ended && back.Outcome == RunOutcome::Cap);
    QCOMPARE(quint64(back.HighwayMaxPeriod), quint64(77));
    QCOMPARE(back.Highway.DriftX, -1);
    QCOMPARE(quint64(back.Highway.Onset), quint64(2000));
    QCOMPARE(quint64(back.Highway.CertifiedAt), quint64(2100));

    // LLR keeps off column 0 for 3000 iterations (see above).
    const RunState mirrored = StateAt("LLR", 3000).Mirrored("RRL");
    const RunState mirrorRun = StateAt("RRL", 3000);
    QVERIFY(mirrored.Cells == mirrorRun.Cells);
    QCOMPARE(mirrored.Position.X, mirrorRun.Position.X);
    QCOMPARE(mirrored.Position.Direction, mirrorRun.Position.Direction);
}

// A write that cannot be put in place leaves nothing behind, not even its temporary file.
void TestSurvey::failedStateWriteLeavesNoFile()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("LLRR.state")); // rename onto a directory fails
    const std::string path = Survey::StateFile(dir.path().toStdString(), "LLRR");
    try
    {
        StateAt("LLRR", 10).Write(path);
        QFAIL("written over a directory");
    }
    catch (const std::runtime_error& error)
    {
        QVERIFY2(QString(error.what()).contains("Is a directory"), error.what());
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{"LLRR.state"});
    StateAt("LLRR", 10).Write(dir.path().toStdString() + "/fresh.state");
    QCOMPARE(quint64(RunState::Read(dir.path().toStdString() + "/fresh.state").Iterations),
             quint64(10));
}

QTEST_GUILESS_MAIN(TestSurvey)
#include "tst_survey.moc"
