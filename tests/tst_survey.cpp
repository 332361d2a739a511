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
    const char* outcomes[] = {"finished", "never", "cap", "stopped", "idle", "memory", "highway"};
    static_assert(std::size(outcomes) == OutcomeCount);
    return QByteArray::fromStdString(row.Rule) + ' ' + outcomes[int(row.Outcome)] + ' ' +
           QByteArray::number(quint64(row.Iterations)) + " at " +
           QByteArray::number(row.Position.X) + ',' + QByteArray::number(row.Position.Y) + ' ' +
           row.Position.Direction + " period " + QByteArray::number(quint64(row.Period)) +
           " highway " + QByteArray::number(quint64(row.Highway.Period)) + '@' +
           QByteArray::number(quint64(row.Highway.Onset));
}

// Every column of a row, growth and the highway's proof included.
QByteArray DescribeAll(const SurveyRow& row)
{
    return Describe(row) + " certified " + QByteArray::number(quint64(row.Highway.CertifiedAt)) +
           " drift " + QByteArray::number(row.Highway.DriftX) + ',' +
           QByteArray::number(row.Highway.DriftY) + " visited " +
           QByteArray::number(quint64(row.Growth.Visited)) + " in " +
           QByteArray::number(row.Growth.MinX) + ',' + QByteArray::number(row.Growth.MinY) + ".." +
           QByteArray::number(row.Growth.MaxX) + ',' + QByteArray::number(row.Growth.MaxY);
}

// The rule's run from the start on a size x size field or the plane, as a survey runs it.
struct FieldRun
{
    PackedField Field;
    AntPosition Position;
};
FieldRun RunOn(const std::string& rule, int size, bool plane, std::uint64_t iterations)
{
    FieldRun run{PackedField(size, plane), {}};
    run.Position = AntPosition{run.Field.StartX(), run.Field.StartY(), 'U'};
    Ant ant;
    ant.SetRule(rule);
    RunOptions options;
    options.Cap = iterations;
    Runner().Run(run.Field, run.Position, ant.GetAI(), options);
    return run;
}

// The cells where the two fields' colours differ, over both stored boxes.
int ColourDifferences(const PackedField& a, const PackedField& b)
{
    int differences = 0;
    const PackedField::Part ra = a.Reach();
    const PackedField::Part rb = b.Reach();
    const int left = std::min(ra.Left, rb.Left);
    const int top = std::min(ra.Top, rb.Top);
    const int right = std::max(ra.Left + ra.Width, rb.Left + rb.Width);
    const int bottom = std::max(ra.Top + ra.Height, rb.Top + rb.Height);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            differences += a.Colour(x, y) != b.Colour(x, y);
    return differences;
}

QByteArray PositionText(const AntPosition& position)
{
    return QByteArray::number(position.X) + ',' + QByteArray::number(position.Y) + ' ' +
           position.Direction;
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
    void numberedRulesRunAsInTheirLettersSurvey_data();
    void numberedRulesRunAsInTheirLettersSurvey();
    void stopFlagLeavesRowsUndone();
    void resumedRunContinuesFromItsSavedIteration_data();
    void resumedRunContinuesFromItsSavedIteration();
    void damagedStateFilesRefused_data();
    void damagedStateFilesRefused();
    void stateFileRoundTrip_data();
    void stateFileRoundTrip();
    void versionOneStateIsRead();
    void continuedSurveyEqualsOneFromTheStart_data();
    void continuedSurveyEqualsOneFromTheStart();
    void failedStateWriteLeavesNoFile();
};

void TestSurvey::rulesInBinaryOrder()
{
    const std::vector<std::string> rules = SurveyPlan::RulesOf(1, 3);
    QCOMPARE(rules.size(), std::size_t(2 + 4 + 8));
    QCOMPARE(rules[0], std::string("L"));
    QCOMPARE(rules[2], std::string("LL"));
    QCOMPARE(rules[6], std::string("LLL"));
    QCOMPARE(rules[7], std::string("LLR"));
    QCOMPARE(rules[13], std::string("RRR"));
    QCOMPARE(SurveyPlan::MirrorRule("LLRL"), std::string("RRLR"));
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
    QVERIFY(!SurveyPlan::TouchedUnmirrored(packed, ant.GetPosition()));
    const SurveyRow mirrored = SurveyPlan::MirrorRow(PlainRow("LLR", Cap));
    QCOMPARE(Describe(mirrored), Describe(PlainRow("RRL", Cap)));

    field->SetCell(0, 17, 1);
    packed.Load(*field);
    QVERIFY(SurveyPlan::TouchedUnmirrored(packed, ant.GetPosition()));
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

void TestSurvey::numberedRulesRunAsInTheirLettersSurvey_data()
{
    QTest::addColumn<bool>("plane");
    QTest::newRow("250 field") << false;
    QTest::newRow("plane") << true;
}

// Each numbered rule runs alone, with no mirror to take its row from: its row is the one
// the letters survey gives it, whether run or mirrored there.
void TestSurvey::numberedRulesRunAsInTheirLettersSurvey()
{
    QFETCH(bool, plane);
    constexpr std::uint64_t Cap = 300000;
    Survey letters(1, 7, Cap);
    Survey numbers(SurveyPlan::OfNumbers(5, 127), Cap);
    for (Survey* survey : {&letters, &numbers})
    {
        survey->SetGeometry(250, plane, RunOptions::DefaultMaxMemory);
        survey->SetHighwayMaxPeriod(1000);
    }
    letters.Run(2, nullptr);
    std::size_t shardRules = 0;
    for (int index = 0; index < 2; ++index)
    {
        Survey shard(SurveyPlan::OfNumbers(5, 127), Cap);
        shard.SetGeometry(250, plane, RunOptions::DefaultMaxMemory);
        shard.SetHighwayMaxPeriod(1000);
        shard.SetShard(index, 2);
        shard.Run(1, nullptr);
        shardRules += shard.DoneCount();
        for (const SurveyRow& row : shard.Rows())
            if (row.Done)
                QVERIFY(numbers.SetKnown(row));
    }
    QCOMPARE(numbers.RuleCount(), std::size_t(123));
    QCOMPARE(shardRules, numbers.RuleCount());
    QCOMPARE(numbers.DoneCount(), numbers.RuleCount());
    QCOMPARE(numbers.Rows().front().Rule, std::string("RLR")); // 5: bits 1, 0, 1
    QCOMPARE(numbers.Rows().back().Rule, std::string("RRRRRRR"));
    std::size_t highways = 0;
    for (const SurveyRow& row : numbers.Rows())
    {
        const auto same = std::find_if(letters.Rows().begin(), letters.Rows().end(),
                                       [&](const SurveyRow& r) { return r.Rule == row.Rule; });
        QVERIFY(same != letters.Rows().end());
        QCOMPARE(DescribeAll(row), DescribeAll(*same));
        highways += row.Highway.Found ? 1 : 0;
    }
    QVERIFY(highways > 10);
    QVERIFY(!numbers.SetKnown(letters.Rows()[6])); // LLL ends in L: no number
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
    const std::string mirror = SurveyPlan::MirrorRule(name);
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
    QTest::newRow("other version") << patched(16, '\x05') << "version 5";
    QTest::newRow("other rule's") << QByteArray::fromStdString(StateAt("LRRR", 1000).Encode())
                                  << "holds a run of LRRR";
    auto onField = [](int size, bool plane)
    {
        const FieldRun run = RunOn("LLRR", size, plane, 1000);
        return QByteArray::fromStdString(
            RunState::Of("LLRR", 1000, run.Field, run.Position, size).Encode());
    };
    QTest::newRow("another size's")
        << onField(251, false) << "holds a run on 251 x 251, not on this survey's 250 x 250";
    QTest::newRow("the plane's") << onField(250, true) << "holds a run on the plane of 250";
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

void TestSurvey::stateFileRoundTrip_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("plane");
    QTest::addColumn<quint64>("iterations");
    // LLR keeps off column 0 for 3000 iterations; an odd size mirrors every column, and
    // the plane grows its box, which then lies off centre.
    QTest::newRow("250 x 250") << 250 << false << quint64(3000);
    QTest::newRow("251 x 251") << 251 << false << quint64(3000);
    QTest::newRow("plane of 250, grown") << 250 << true << quint64(20000);
    QTest::newRow("plane of 21, grown") << 21 << true << quint64(20000);
}

// What is written is read back whole, field and stored box too; a mirrored state is the
// mirror rule's own run, cell for cell.
void TestSurvey::stateFileRoundTrip()
{
    QFETCH(int, size);
    QFETCH(bool, plane);
    QFETCH(quint64, iterations);
    const FieldRun run = RunOn("LLR", size, plane, iterations);
    RunState state = RunState::Of("LLR", iterations, run.Field, run.Position, size);
    state.Ended = true;
    state.Outcome = RunOutcome::Cap;
    state.HighwayMaxPeriod = 77;
    state.Highway = Highway{true, 18, 2000, 2100, -1, 1};
    const RunState back = RunState::Decode(state.Encode());
    QCOMPARE(back.Rule, state.Rule);
    QCOMPARE(quint64(back.Iterations), iterations);
    QCOMPARE(PositionText(back.Position), PositionText(run.Position));
    QCOMPARE(back.FieldSize, size);
    QCOMPARE(back.Plane, plane);
    QVERIFY(back.Ended && back.Outcome == RunOutcome::Cap);
    QCOMPARE(quint64(back.HighwayMaxPeriod), quint64(77));
    QCOMPARE(back.Highway.DriftX, -1);
    QCOMPARE(quint64(back.Highway.Onset), quint64(2000));
    QCOMPARE(quint64(back.Highway.CertifiedAt), quint64(2100));
    const PackedField restored = back.Restore();
    QCOMPARE(restored.Unbounded(), plane);
    QCOMPARE(
        QList<int>({restored.Left(), restored.Top(), restored.Width(), restored.Height()}),
        QList<int>({run.Field.Left(), run.Field.Top(), run.Field.Width(), run.Field.Height()}));
    QCOMPARE(ColourDifferences(restored, run.Field), 0);
    if (plane)
        QVERIFY(run.Field.Width() > PackedField::PlaneStartSize || size < 64 ||
                !run.Field.Archived().Empty());

    const RunState mirrored = state.Mirrored("RRL");
    const FieldRun mirrorRun = RunOn("RRL", size, plane, iterations);
    QCOMPARE(PositionText(mirrored.Position), PositionText(mirrorRun.Position));
    QCOMPARE(ColourDifferences(RunState::Decode(mirrored.Encode()).Restore(), mirrorRun.Field), 0);
    QCOMPARE(mirrored.Highway.DriftX, 1);
}

// A state written by version 1, the window's field only, is read as it was saved, and a
// survey continues from it.
void TestSurvey::versionOneStateIsRead()
{
    const std::string path = FORMICULA_TEST_DATA "/LLR-v1.state";
    const RunState old = RunState::Read(path);
    const FieldRun run = RunOn("LLR", 250, false, 1000);
    QCOMPARE(old.Rule, std::string("LLR"));
    QCOMPARE(quint64(old.Iterations), quint64(1000));
    QCOMPARE(PositionText(old.Position), PositionText(run.Position));
    QCOMPARE(old.FieldSize, 250);
    QVERIFY(!old.Plane);
    QCOMPARE(ColourDifferences(old.Restore(), run.Field), 0);
    // Saved at its survey's cap, with that survey's highway (the row LLR,cap,1000,...).
    QVERIFY(old.Ended && old.Outcome == RunOutcome::Cap);
    QCOMPARE(quint64(old.HighwayMaxPeriod), quint64(20000));
    QCOMPARE(quint64(old.Highway.Period), quint64(18));
    QCOMPARE(quint64(old.Highway.Onset), quint64(39));

    QTemporaryDir dir;
    QVERIFY(QFile::copy(QString::fromStdString(path), QString::fromStdString(Survey::StateFile(
                                                          dir.path().toStdString(), "LLR"))));
    constexpr std::uint64_t Cap = 5000;
    Survey survey(3, 3, Cap);
    survey.SetShard(1, 4); // LLR and RRL
    survey.SetHighwayMaxPeriod(HighwayMaxPeriod);
    QVERIFY(survey.SetKnown(PlainRow("RRL", Cap)));
    survey.SetStateDirectory(dir.path().toStdString());
    survey.Run(1, nullptr);
    const SurveyRow plain = PlainRow("LLR", Cap);
    QCOMPARE(quint64(survey.IterationsStepped()), quint64(plain.Iterations - 1000));
    QCOMPARE(Describe(*Find(survey, "LLR")), Describe(plain));
    QCOMPARE(RunState::Read(Survey::StateFile(dir.path().toStdString(), "LLR")).FieldSize, 250);
}

void TestSurvey::continuedSurveyEqualsOneFromTheStart_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("shard"); // of shards
    QTest::addColumn<int>("shards");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("plane");
    QTest::addColumn<quint64>("lower");
    QTest::addColumn<quint64>("cap");
    // RRLRLLRRRR finishes at 108371 on a highway from 87835, before its state at 100000.
    QTest::newRow("250 x 250, RRLRLLRRRR's shard")
        << 10 << 10 << 0 << 16 << 250 << false << quint64(100000) << quint64(200000);
    // LLRLRRLL and LRLRRLRR are proven on a highway at 131844 and 165640.
    QTest::newRow("plane of 250, highways after the state")
        << 8 << 8 << 44 << 47 << 250 << true << quint64(100000) << quint64(200000);
    QTest::newRow("251 x 251") << 1 << 7 << 0 << 1 << 251 << false << quint64(30000)
                               << quint64(90000);
    QTest::newRow("plane of 31") << 1 << 7 << 0 << 1 << 31 << true << quint64(30000)
                                 << quint64(90000);
}

// A survey at a higher cap that continues the states of one at a lower cap gives every row
// of a survey from the start.
void TestSurvey::continuedSurveyEqualsOneFromTheStart()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, shard);
    QFETCH(int, shards);
    QFETCH(int, size);
    QFETCH(bool, plane);
    QFETCH(quint64, lower);
    QFETCH(quint64, cap);
    QTemporaryDir dir;
    auto survey = [&](std::uint64_t at, bool states)
    {
        auto made = std::make_unique<Survey>(from, to, at);
        made->SetHighwayMaxPeriod(20000);
        made->SetGeometry(size, plane, RunOptions::DefaultMaxMemory);
        made->SetShard(shard, shards);
        if (states)
            made->SetStateDirectory(dir.path().toStdString());
        made->Run(2, nullptr);
        return made;
    };
    survey(lower, true);
    QVERIFY(QDir(dir.path()).entryList({"*.state"}).size() > 2);
    const std::unique_ptr<Survey> continued = survey(cap, true);
    const std::unique_ptr<Survey> whole = survey(cap, false);
    int highways = 0;
    for (std::size_t i = 0; i < whole->Rows().size(); ++i)
    {
        if (!whole->Rows()[i].Done)
            continue; // another shard's
        QCOMPARE(DescribeAll(continued->Rows()[i]), DescribeAll(whole->Rows()[i]));
        highways += whole->Rows()[i].Highway.Found;
    }
    QVERIFY(highways > 0);
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
