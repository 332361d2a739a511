#include "Ant.h"
#include "AntField.h"
#include "PackedField.h"
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

// What a plain run of the rule gives, for comparison with a survey row.
SurveyRow PlainRow(const std::string& rule, std::uint64_t cap)
{
    auto field = std::make_unique<AntField>();
    Ant ant;
    ant.SetRule(rule);
    RunOptions options;
    options.Cap = cap;
    options.HighwayMaxPeriod = HighwayMaxPeriod;
    const RunResult result = Runner().Run(*field, ant, options);
    SurveyRow row;
    row.Rule = rule;
    row.Outcome = result.Outcome;
    row.Iterations = result.Iterations;
    row.Position = ant.GetPosition();
    row.Highway = result.Highway;
    return row;
}

QByteArray Describe(const SurveyRow& row)
{
    const char* outcomes[] = {"finished", "never", "cap", "stopped", "idle"};
    return QByteArray::fromStdString(row.Rule) + ' ' + outcomes[int(row.Outcome)] + ' ' +
           QByteArray::number(quint64(row.Iterations)) + " at " +
           QByteArray::number(row.Position.X) + ',' + QByteArray::number(row.Position.Y) + ' ' +
           row.Position.Direction + " period " + QByteArray::number(quint64(row.Period));
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
    void sameRowsForAnyJobsAndLanes();
    void mirrorRowReflectsAboutTheStartColumn();
    void shardsSplitTheRules();
    void stopFlagLeavesRowsUndone();
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

void TestSurvey::sameRowsForAnyJobsAndLanes()
{
    Survey one(1, 7, 3000000);
    one.SetLanes(1);
    Survey two(1, 7, 3000000);
    QCOMPARE(one.Run(1, nullptr), 1);
    QCOMPARE(two.Run(2, nullptr), 2);
    for (std::size_t i = 0; i < one.Rows().size(); ++i)
        QCOMPARE(Describe(one.Rows()[i]), Describe(two.Rows()[i]));
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
    QVERIFY(!Survey::TouchedColumnZero(packed.Cells(), ant.GetPosition()));
    const SurveyRow mirrored = Survey::MirrorRow(PlainRow("LLR", Cap));
    QCOMPARE(Describe(mirrored), Describe(PlainRow("RRL", Cap)));

    field->SetCell(0, 17, 1);
    packed.Load(*field);
    QVERIFY(Survey::TouchedColumnZero(packed.Cells(), ant.GetPosition()));
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

QTEST_GUILESS_MAIN(TestSurvey)
#include "tst_survey.moc"
