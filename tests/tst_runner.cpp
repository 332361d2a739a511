#include "Ant.h"
#include "AntField.h"
#include "CellBuffer.h"
#include "FieldReference.h"
#include "Iteration.h"
#include "LaneRunner.h"
#include "MemoryPool.h"
#include "PackedField.h"
#include "PresetCatalogue.h"
#include "RunState.h"
#include "Runner.h"
#include "Support.h"
#include "Survey.h"
#include "SurveyPlan.h"

#include <QtTest>

#include <climits>
#include <memory>
#include <random>
#include <thread>
#include <utility>

namespace
{
// Above the longest finisher of up to six letters (LLRR, 18 340 311 iterations).
constexpr std::uint64_t PlainRunCap = 20000000;

RunOptions Capped(std::uint64_t cap)
{
    RunOptions options;
    options.Cap = cap;
    return options;
}

const char* Name(RunOutcome outcome)
{
    switch (outcome)
    {
    case RunOutcome::Finished:
        return "finished";
    case RunOutcome::Never:
        return "never";
    case RunOutcome::Cap:
        return "cap";
    case RunOutcome::Stopped:
        return "stopped";
    case RunOutcome::Idle:
        return "idle";
    case RunOutcome::Memory:
        return "memory";
    case RunOutcome::Highway:
        return "highway";
    }
    return "?";
}

template <CycleProof Proof>
RunResult RunRule(Runner& runner, AntField& field, const std::string& rule, std::uint64_t cap,
                  Ant& ant)
{
    field.Clear();
    ant = Ant();
    ant.SetRule(rule);
    return runner.Run<Proof>(field, ant, Capped(cap));
}
} // namespace

class TestRunner : public QObject
{
    Q_OBJECT

private slots:
    void outcomes_data();
    void outcomes();
    void equalsSingleIterations_data();
    void equalsSingleIterations();
    void handlesForeignCells();
    void cycleProofAgreesWithPlainRunsUpToSixLetters();
    void stopFlagEndsARunEarly();
    void highways_data();
    void highways();
    void lanesEqualSingleRuns_data();
    void lanesEqualSingleRuns();
    void anySizeAndThePlaneEqualTheReference_data();
    void anySizeAndThePlaneEqualTheReference();
    void aFieldLeftMarkedRunsOnUnderAnotherRule_data();
    void aFieldLeftMarkedRunsOnUnderAnotherRule();
    void planeGrowsInEveryDirection();
    void runEndsAtTheMemoryLimit_data();
    void runEndsAtTheMemoryLimit();
    void capAnalysisFitsTheMemory_data();
    void capAnalysisFitsTheMemory();
    void snapshotHookSeesTheRun();
    void lanesOnOtherFieldsEqualSingleRuns_data();
    void lanesOnOtherFieldsEqualSingleRuns();
    void lanesReuseTheirFields_data();
    void lanesReuseTheirFields();
    void lanesBorrowBeyondTheirShares_data();
    void lanesBorrowBeyondTheirShares();
    void cellBuffersKeepTheirBytes_data();
    void cellBuffersKeepTheirBytes();
    void visitedPartHoldsEveryCell_data();
    void visitedPartHoldsEveryCell();
    void copiesReachBeyondTheStoredPart_data();
    void copiesReachBeyondTheStoredPart();
    void planeMovesOnAlongAHighway_data();
    void planeMovesOnAlongAHighway();
};

void TestRunner::outcomes_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<quint64>("cap");
    QTest::addColumn<bool>("proof");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<quint64>("iterations");
    QTest::addColumn<quint64>("period");
    // One letter: the ant circles four cells, so the state repeats every 4 iterations.
    QTest::newRow("L circles for ever")
        << "L" << quint64(1000) << true << "never" << quint64(11) << quint64(4);
    QTest::newRow("R circles for ever")
        << "R" << quint64(1000) << true << "never" << quint64(11) << quint64(4);
    QTest::newRow("L without the proof")
        << "L" << quint64(1000) << false << "cap" << quint64(1000) << quint64(0);
    QTest::newRow("cap before the repeat")
        << "L" << quint64(10) << true << "cap" << quint64(10) << quint64(0);
    QTest::newRow("empty rule runs nothing")
        << "" << quint64(5) << true << "idle" << quint64(0) << quint64(0);
    QTest::newRow("empty rule, no proof")
        << "" << quint64(5000000000) << false << "idle" << quint64(0) << quint64(0);
    QTest::newRow("LR one below its length")
        << "LR" << quint64(15516) << true << "cap" << quint64(15516) << quint64(0);
    QTest::newRow("LR at its length")
        << "LR" << quint64(15517) << false << "finished" << quint64(15517) << quint64(0);
    QTest::newRow("LLRR no cap") << "LLRR" << quint64(RunOptions::NoCap) << true << "finished"
                                 << quint64(18340311) << quint64(0);
}

void TestRunner::outcomes()
{
    QFETCH(QString, rule);
    QFETCH(quint64, cap);
    QFETCH(bool, proof);
    QFETCH(QString, outcome);
    QFETCH(quint64, iterations);
    QFETCH(quint64, period);
    auto field = std::make_unique<AntField>();
    if (rule.isEmpty())
        field->SetCell(125, 125, 3); // must stay untouched
    Ant ant;
    QVERIFY(ant.SetRule(rule.toStdString()));
    Runner runner;
    const RunResult result = proof ? runner.Run<CycleProof::On>(*field, ant, Capped(cap))
                                   : runner.Run<CycleProof::Off>(*field, ant, Capped(cap));
    QCOMPARE(QString(Name(result.Outcome)), outcome);
    QCOMPARE(quint64(result.Iterations), iterations);
    QCOMPARE(quint64(result.Period), period);
    if (result.Outcome == RunOutcome::Idle)
        QVERIFY(field->GetCell(125, 125) == 3 && ant.GetPosition().Y == 125);
}

void TestRunner::equalsSingleIterations_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("cap");
    QTest::newRow("01 to the end") << 1 << 1000000;
    QTest::newRow("02 to the end") << 2 << 1000000;
    QTest::newRow("05 to the end") << 5 << 1000000;
    QTest::newRow("13 to the end") << 13 << 1000000;
    QTest::newRow("22 capped mid-run") << 22 << 123457;
    QTest::newRow("31 capped mid-run") << 31 << 200000;
    QTest::newRow("04 one iteration") << 4 << 1;
}

// Each run is split in two, so a resumed run is covered as well, once per proof policy.
void TestRunner::equalsSingleIterations()
{
    QFETCH(int, number);
    QFETCH(int, cap);
    auto slowField = std::make_unique<AntField>();
    Ant slowAnt;
    slowAnt.ApplyPreset(number);
    const RunResult expected = IterateSlowly(*slowField, slowAnt, std::uint64_t(cap));
    const FieldState want = CaptureState(*slowField, slowAnt);

    Runner runner;
    for (const bool proof : {false, true})
    {
        auto field = std::make_unique<AntField>();
        Ant ant;
        ant.ApplyPreset(number);
        auto run = [&](std::uint64_t n)
        {
            return proof ? runner.Run<CycleProof::On>(*field, ant, Capped(n))
                         : runner.Run<CycleProof::Off>(*field, ant, Capped(n));
        };
        const std::uint64_t first = std::uint64_t(cap) / 3;
        RunResult got = run(first);
        if (got.Outcome != RunOutcome::Finished)
        {
            const RunResult rest = run(std::uint64_t(cap) - first);
            got.Iterations += rest.Iterations;
            got.Outcome = rest.Outcome;
        }
        QCOMPARE(got.Iterations, expected.Iterations);
        QCOMPARE(QString(Name(got.Outcome)), QString(Name(expected.Outcome)));
        COMPARE_STATE(CaptureState(*field, ant), want);
    }
}

// Values outside the cycle, and colours above the rule's count, behave as single steps do.
void TestRunner::handlesForeignCells()
{
    auto slowField = std::make_unique<AntField>();
    auto field = std::make_unique<AntField>();
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(-3, 15);
    for (int i = 0; i < 4000; ++i)
    {
        const int x = 100 + int(random() % 50);
        const int y = 100 + int(random() % 50);
        const int v = value(random);
        slowField->SetCell(x, y, v);
        field->SetCell(x, y, v);
    }
    Ant slowAnt;
    Ant ant;
    slowAnt.ApplyPreset(17);
    ant.ApplyPreset(17);
    const RunResult expected = IterateSlowly(*slowField, slowAnt, 300000);
    const RunResult got = Runner().Run(*field, ant, Capped(300000));
    QCOMPARE(got.Iterations, expected.Iterations);
    QCOMPARE(QString(Name(got.Outcome)), QString(Name(expected.Outcome)));
    COMPARE_STATE(CaptureState(*field, ant), CaptureState(*slowField, slowAnt));
}

// Every answer is checked with plain runs alone: a finish or a cap must match a plain
// run exactly, and a Never must show a repeat that plain runs reproduce.
void TestRunner::cycleProofAgreesWithPlainRunsUpToSixLetters()
{
    auto field = std::make_unique<AntField>();
    auto plainField = std::make_unique<AntField>();
    Runner runner;
    Runner plain;
    int nevers = 0;
    std::uint64_t falseMatches = 0;
    for (const std::string& rule : SurveyPlan::RulesOf(1, 6))
    {
        Ant ant;
        const RunResult result = RunRule<CycleProof::On>(runner, *field, rule, PlainRunCap, ant);
        falseMatches += result.FalseMatches;
        Ant plainAnt;
        const RunResult expected =
            RunRule<CycleProof::Off>(plain, *plainField, rule, PlainRunCap, plainAnt);
        const QByteArray what = QByteArray::fromStdString(rule) + ": " + Name(result.Outcome);

        if (result.Outcome != RunOutcome::Never)
        {
            QVERIFY2(result.Outcome == expected.Outcome, what.constData());
            QVERIFY2(result.Iterations == expected.Iterations, what.constData());
            QVERIFY2(StateDifference(CaptureState(*field, ant), CaptureState(*plainField, plainAnt))
                         .isEmpty(),
                     what.constData());
            continue;
        }
        ++nevers;
        QVERIFY2(expected.Outcome == RunOutcome::Cap, what.constData());
        // Rules with both letters have unbounded tracks: they never repeat.
        QVERIFY2(rule.find('L') == std::string::npos || rule.find('R') == std::string::npos,
                 what.constData());
        QVERIFY2(result.Period > 0 && result.Period <= result.Iterations, what.constData());

        const RunResult before = RunRule<CycleProof::Off>(
            plain, *plainField, rule, result.Iterations - result.Period, plainAnt);
        const FieldState earlier = CaptureState(*plainField, plainAnt);
        const RunResult after = plain.Run(*plainField, plainAnt, Capped(result.Period));
        QVERIFY2(before.Outcome != RunOutcome::Finished && after.Outcome != RunOutcome::Finished,
                 what.constData());
        QVERIFY2(StateDifference(CaptureState(*plainField, plainAnt), earlier).isEmpty(),
                 what.constData());
        QVERIFY2(StateDifference(CaptureState(*field, ant), earlier).isEmpty(), what.constData());
    }
    QCOMPARE(nevers, 12); // L, R, LL, RR, ... of one letter kind
    // The full comparison turned some checkpoint matches down, so that path ran too.
    QVERIFY(falseMatches > 0);
}

void TestRunner::stopFlagEndsARunEarly()
{
    // LLLRR neither finishes nor repeats within 10^9 iterations.
    constexpr std::uint64_t Cap = 1000000000;
    auto field = std::make_unique<AntField>();
    Runner runner;
    for (const bool proof : {false, true})
    {
        std::atomic<bool> stop{true};
        RunOptions options = Capped(Cap);
        options.Stop = &stop;
        field->Clear();
        Ant ant;
        ant.SetRule("LLLRR");
        auto run = [&]
        {
            return proof ? runner.Run<CycleProof::On>(*field, ant, options)
                         : runner.Run<CycleProof::Off>(*field, ant, options);
        };
        RunResult result = run();
        QCOMPARE(QString(Name(result.Outcome)), QString("stopped"));
        QCOMPARE(result.Iterations, std::uint64_t{0});

        stop = false;
        std::thread raiser(
            [&stop]
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                stop = true;
            });
        result = run();
        raiser.join();
        QCOMPARE(QString(Name(result.Outcome)), QString("stopped"));
        QVERIFY(result.Iterations > 0 && result.Iterations < Cap);

        // What was done so far is left in the field and the ant, as plain runs leave it.
        auto plainField = std::make_unique<AntField>();
        Ant plainAnt;
        plainAnt.SetRule("LLLRR");
        Runner().Run(*plainField, plainAnt, Capped(result.Iterations));
        COMPARE_STATE(CaptureState(*field, ant), CaptureState(*plainField, plainAnt));
    }
}

void TestRunner::highways_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("highway");
    QTest::addColumn<quint64>("cap");
    // LR's well-known highway starts at 9 977; the run ends at 15 517 on this field.
    QTest::newRow("LR") << "LR"
                        << "104 from 9977 drift 2,2 proven at 9977" << quint64(30000000);
    QTest::newRow("LLR") << "LLR"
                         << "18 from 39 drift -1,1 proven at 52" << quint64(30000000);
    QTest::newRow("LLLR: 16n + 4") << "LLLR"
                                   << "52 from 79 drift -2,2 proven at 79" << quint64(30000000);
    QTest::newRow("RLR ends without one") << "RLR"
                                          << "none" << quint64(30000000);
    // Longer than the short tails: settled by the full replay.
    QTest::newRow("LLRR ends without one") << "LLRR"
                                           << "none" << quint64(30000000);
    QTest::newRow("L circles") << "L"
                               << "none" << quint64(30000000);
    // Capped where a short zigzag has just begun: it repeats, but on cells it visited.
    QTest::newRow("LLLLRRRR capped") << "LLLLRRRR"
                                     << "none" << quint64(10000000);
    // Capped two periods after the onset: proven by going on, on the field.
    QTest::newRow("LR capped on its highway")
        << "LR"
        << "104 from 9977 drift 2,2 proven at 9977" << quint64(10200);
    QTest::newRow("LR capped before its highway") << "LR"
                                                  << "none" << quint64(9000);
}

// The same highway from the plain runner, the runner with the cycle proof and the lanes.
void TestRunner::highways()
{
    QFETCH(QString, rule);
    QFETCH(QString, highway);
    QFETCH(quint64, cap);
    auto describe = [](const Highway& h)
    {
        return h.Found ? QString("%1 from %2 drift %3,%4 proven at %5")
                             .arg(h.Period)
                             .arg(h.Onset)
                             .arg(h.DriftX)
                             .arg(h.DriftY)
                             .arg(h.CertifiedAt)
                       : QString("none");
    };
    RunOptions options = Capped(cap);
    options.HighwayMaxPeriod = 20000;
    Runner runner;
    auto field = std::make_unique<AntField>();
    for (const bool proof : {false, true})
    {
        field->Clear();
        Ant ant;
        ant.SetRule(rule.toStdString());
        const RunResult result = proof ? runner.Run<CycleProof::On>(*field, ant, options)
                                       : runner.Run<CycleProof::Off>(*field, ant, options);
        QCOMPARE(describe(result.Highway), highway);
    }
    LaneRunner lanes;
    bool handed = false;
    QString fromLanes;
    lanes.Run<CycleProof::On>(
        [&](LaneRunner::Job& job)
        {
            Ant ant;
            ant.SetRule(rule.toStdString());
            job.Rule = ant.GetAI();
            return !std::exchange(handed, true);
        },
        [&](const LaneRunner::Ended& end) { fromLanes = describe(end.Result.Highway); }, options);
    QCOMPARE(fromLanes, highway);
}

void TestRunner::lanesEqualSingleRuns_data()
{
    QTest::addColumn<int>("lanes");
    QTest::addColumn<bool>("proof");
    QTest::newRow("one lane, plain") << 1 << false;
    QTest::newRow("all lanes, plain") << LaneRunner::Lanes << false;
    QTest::newRow("one lane, proof") << 1 << true;
    QTest::newRow("three lanes, proof") << 3 << true;
    QTest::newRow("all lanes, proof") << LaneRunner::Lanes << true;
}

// Every rule of up to six letters, and an empty one, through the lanes: each ends as a
// run of its own ends, whatever else runs beside it.
void TestRunner::lanesEqualSingleRuns()
{
    QFETCH(int, lanes);
    QFETCH(bool, proof);
    constexpr std::uint64_t Cap = 2000000;
    std::vector<std::string> rules = SurveyPlan::RulesOf(1, 6);
    rules.insert(rules.begin() + 40, std::string());
    std::size_t handed = 0;
    std::vector<bool> seen(rules.size(), false);
    auto next = [&](LaneRunner::Job& job)
    {
        if (handed == rules.size())
            return false;
        Ant ant;
        ant.SetRule(rules[handed]);
        job.Id = handed++;
        job.Rule = ant.GetAI();
        return true;
    };
    auto field = std::make_unique<AntField>();
    auto laneField = std::make_unique<AntField>();
    Runner single;
    int failures = 0;
    std::uint64_t falseMatches = 0;
    auto ended = [&](const LaneRunner::Ended& end)
    {
        seen[end.Id] = true;
        falseMatches += end.Result.FalseMatches;
        Ant ant;
        const RunResult want = RunRule<CycleProof::On>(single, *field, rules[end.Id], Cap, ant);
        Ant laneAnt;
        laneAnt.SetRule(rules[end.Id]);
        laneAnt.SetPosition(end.Position);
        end.Field->Store(*laneField);
        const bool plainNever = !proof && want.Outcome == RunOutcome::Never;
        const RunOutcome outcome = plainNever ? RunOutcome::Cap : want.Outcome;
        const bool same =
            end.Result.Outcome == outcome &&
            (plainNever ||
             (end.Result.Iterations == want.Iterations && end.Result.Period == want.Period &&
              StateDifference(CaptureState(*laneField, laneAnt), CaptureState(*field, ant))
                  .isEmpty()));
        if (!same && ++failures < 5)
            qWarning("%s: lanes say %s after %llu", rules[end.Id].c_str(), Name(end.Result.Outcome),
                     static_cast<unsigned long long>(end.Result.Iterations));
    };
    LaneRunner runner;
    RunOptions options;
    options.Cap = Cap;
    if (proof)
        runner.Run<CycleProof::On>(next, ended, options, lanes);
    else
        runner.Run<CycleProof::Off>(next, ended, options, lanes);
    QCOMPARE(failures, 0);
    QVERIFY(std::all_of(seen.begin(), seen.end(), [](bool s) { return s; }));
    // The full comparison turned some checkpoint matches down, so that path ran too.
    QVERIFY(!proof || falseMatches > 0);
}

namespace
{
AntAI RuleOf(const std::string& letters)
{
    return Rule::Parse(letters, Rule::MostLetters).Value->AI();
}

// Hands the rules to a lane runner one job each, their ids their places in the list.
LaneRunner::NextJob HandOut(const std::vector<std::string>& rules, std::size_t& handed)
{
    return [&rules, &handed](LaneRunner::Job& job)
    {
        if (handed == rules.size())
            return false;
        job.Id = handed;
        job.Rule = RuleOf(rules[handed++]);
        return true;
    };
}

// Every cell the reference visited, and every stored one, has the same colour in both.
QString FieldDifference(const PackedField& field, const FieldReference& reference)
{
    for (const auto& [cell, colour] : reference.Cells)
        if (field.Colour(cell.first, cell.second) != colour)
            return QString("cell (%1, %2): %3, want %4")
                .arg(cell.first)
                .arg(cell.second)
                .arg(field.Colour(cell.first, cell.second))
                .arg(colour);
    const PackedField::Bounds bounds = field.VisitedBounds();
    std::uint64_t visited = 0;
    PackedField::Bounds box{INT_MAX, INT_MAX, INT_MIN, INT_MIN, 0};
    for (const auto& [cell, colour] : reference.Cells)
    {
        if (colour == 0)
            continue;
        ++visited;
        box = {std::min(box.MinX, cell.first), std::min(box.MinY, cell.second),
               std::max(box.MaxX, cell.first), std::max(box.MaxY, cell.second), 0};
    }
    if (bounds.Visited != visited)
        return QString("%1 cells visited, want %2").arg(bounds.Visited).arg(visited);
    if (visited > 0 && (bounds.MinX != box.MinX || bounds.MinY != box.MinY ||
                        bounds.MaxX != box.MaxX || bounds.MaxY != box.MaxY))
        return QString("visited box %1..%2 x %3..%4, want %5..%6 x %7..%8")
            .arg(bounds.MinX)
            .arg(bounds.MaxX)
            .arg(bounds.MinY)
            .arg(bounds.MaxY)
            .arg(box.MinX)
            .arg(box.MaxX)
            .arg(box.MinY)
            .arg(box.MaxY);
    return {};
}

QString PositionText(const AntPosition& p)
{
    return QString("(%1, %2) %3").arg(p.X).arg(p.Y).arg(p.Direction);
}

// How a lane's run of `rule` differs from the single runner's on a fresh 250 field or
// plane with `options`, and from the reference's cells; empty when it does not.
QString LaneRunDifference(const std::string& rule, const LaneRunner::Ended& end,
                          const RunOptions& options, bool plane)
{
    const AntAI ai = RuleOf(rule);
    PackedField fresh(250, plane);
    AntPosition ant{fresh.StartX(), fresh.StartY(), 'U'};
    const RunResult want = Runner().Run(fresh, ant, ai, options);
    FieldReference reference(ai, plane ? 0 : 250, fresh.StartX(), fresh.StartY());
    reference.RunTo(want.Iterations);
    const QString difference = FieldDifference(*end.Field, reference);
    if (end.Result.Outcome == want.Outcome && end.Result.Iterations == want.Iterations &&
        end.Result.Highway.Period == want.Highway.Period &&
        end.Result.Highway.CertifiedAt == want.Highway.CertifiedAt &&
        PositionText(end.Position) == PositionText(ant) &&
        (!plane || PositionText(ant) == PositionText(reference.Ant)) && difference.isEmpty())
        return {};
    return QString("%1: %2 after %3 %4")
        .arg(rule.c_str(), Name(end.Result.Outcome))
        .arg(end.Result.Iterations)
        .arg(difference);
}
} // namespace

void TestRunner::anySizeAndThePlaneEqualTheReference_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("plane");
    QTest::addColumn<quint64>("cap");
    QTest::addColumn<bool>("split"); // run in two calls, the second from the first's state
    QTest::newRow("LR on 3 x 3") << "LR" << 3 << false << quint64(1000) << false;
    QTest::newRow("LR on 4 x 4") << "LR" << 4 << false << quint64(1000) << false;
    QTest::newRow("RLR on 101 x 101") << "RLR" << 101 << false << quint64(3000000) << false;
    QTest::newRow("LLRR on 400 x 400") << "LLRR" << 400 << false << quint64(2000000) << true;
    QTest::newRow("LRRRRRLLR on 37 x 37") << "LRRRRRLLR" << 37 << false << quint64(500000) << false;
    QTest::newRow("LR on the plane") << "LR" << 250 << true << quint64(20000) << false;
    // Past 2 MB the storage is mapped and grows by moving its pages.
    QTest::newRow("LR on the plane, grown past a mapped block")
        << "LR" << 250 << true << quint64(150000) << true;
    QTest::newRow("RLR on the plane") << "RLR" << 250 << true << quint64(400000) << true;
    QTest::newRow("LLRR on a plane from 5") << "LLRR" << 5 << true << quint64(300000) << false;
    QTest::newRow("LRRRRRLLR on the plane")
        << "LRRRRRLLR" << 250 << true << quint64(300000) << false;
    // Past the window's twelve colours.
    QTest::newRow("13 letters on the plane")
        << "RRLLLRLLLRRRL" << 250 << true << quint64(400000) << true;
    QTest::newRow("20 letters on 301 x 301")
        << "LRRRRRLLRRLRLRRLLLRR" << 301 << false << quint64(300000) << false;
    QTest::newRow("32 letters on the plane")
        << "RRLRLLRLLLRRRRRLRLRRLLRLLRLRRRLR" << 250 << true << quint64(300000) << true;
}

// A run on any field, in one call or two, ends as the reference does, cell for cell.
void TestRunner::anySizeAndThePlaneEqualTheReference()
{
    QFETCH(QString, rule);
    QFETCH(int, size);
    QFETCH(bool, plane);
    QFETCH(quint64, cap);
    QFETCH(bool, split);
    const AntAI ai = RuleOf(rule.toStdString());
    PackedField field(size, plane);
    AntPosition ant{field.StartX(), field.StartY(), 'U'};
    FieldReference reference(ai, plane ? 0 : size, field.StartX(), field.StartY());
    const bool moving = reference.RunTo(cap);

    Runner runner;
    RunResult result;
    if (split)
    {
        result = runner.Run(field, ant, ai, Capped(cap / 3));
        QCOMPARE(result.Iterations, cap / 3);
        result = runner.Run(field, ant, ai, Capped(cap), result.Iterations);
    }
    else
    {
        result = runner.Run(field, ant, ai, Capped(cap));
    }
    QCOMPARE(QString(Name(result.Outcome)), QString(moving ? "cap" : "finished"));
    QCOMPARE(result.Iterations, reference.Done);
    QCOMPARE(PositionText(ant), PositionText(reference.Ant));
    QCOMPARE(FieldDifference(field, reference), QString());
}

void TestRunner::aFieldLeftMarkedRunsOnUnderAnotherRule_data()
{
    QTest::addColumn<QStringList>("rules"); // the first run's, then the second's
    QTest::addColumn<bool>("lanes");        // the second run on a lane, not the single runner
    QTest::addColumn<bool>("plane");
    QTest::newRow("LR, then RL") << QStringList{"LR", "RL"} << false << true;
    QTest::newRow("RLR, then LLR") << QStringList{"RLR", "LLR"} << false << false;
    QTest::newRow("LLRR, then the same") << QStringList{"LLRR", "LLRR"} << false << true;
    // Colours beyond the second rule's do not turn: the plain step, which reads whole bytes.
    QTest::newRow("RLLR, then RL") << QStringList{"RLLR", "RL"} << false << true;
    QTest::newRow("LRRL, then RLR on a lane") << QStringList{"LRRL", "RLR"} << true << true;
    QTest::newRow("LR, then LR on a lane") << QStringList{"LR", "LR"} << true << false;
}

// A run leaves its field's turn marks in place: the next run on that field, of any rule
// on any stepper, must still see only the colours.
void TestRunner::aFieldLeftMarkedRunsOnUnderAnotherRule()
{
    QFETCH(QStringList, rules);
    QFETCH(bool, lanes);
    QFETCH(bool, plane);
    constexpr std::uint64_t Half = 30000;
    PackedField field(120, plane);
    AntPosition ant{field.StartX(), field.StartY(), 'U'};
    FieldReference reference(RuleOf(rules[0].toStdString()), plane ? 0 : 120, field.StartX(),
                             field.StartY());
    const RunResult firstRun = Runner().Run(field, ant, reference.Rule, Capped(Half));
    reference.RunTo(firstRun.Iterations);
    reference.Rule = RuleOf(rules[1].toStdString());
    RunResult result;
    if (lanes)
    {
        bool handed = false;
        RunOptions options = Capped(2 * Half);
        options.Size = 120;
        options.Plane = plane;
        LaneRunner().Run<CycleProof::Off>(
            [&](RunJob& job)
            {
                if (std::exchange(handed, true))
                    return false;
                job.Rule = reference.Rule;
                job.Field = &field;
                job.Position = ant;
                job.Done = firstRun.Iterations;
                return true;
            },
            [&](const LaneRunner::Ended& end)
            {
                result = end.Result;
                ant = end.Position;
            },
            options);
    }
    else
    {
        result = Runner().Run(field, ant, reference.Rule, Capped(2 * Half), firstRun.Iterations);
    }
    reference.RunTo(result.Iterations);
    QVERIFY2(result.Iterations > firstRun.Iterations,
             qPrintable(QString("%1 after %2").arg(Name(result.Outcome)).arg(result.Iterations)));
    QCOMPARE(PositionText(ant), PositionText(reference.Ant));
    QCOMPARE(FieldDifference(field, reference), QString());
}

// From a 5 x 5 start the plane must grow on every side; what it stores stays within
// about twice the visited cells' bounding box (plus the border ring).
void TestRunner::planeGrowsInEveryDirection()
{
    const AntAI ai = RuleOf("LR");
    PackedField field(5, true);
    AntPosition ant{2, 2, 'U'};
    const RunResult result = Runner().Run(field, ant, ai, Capped(12000));
    QCOMPARE(QString(Name(result.Outcome)), QString("cap"));
    const PackedField::Bounds bounds = field.VisitedBounds();
    QVERIFY(bounds.MinX < 0 && bounds.MinY < 0 && bounds.MaxX >= 5 && bounds.MaxY >= 5);
    QVERIFY(field.Width() <= 2 * (bounds.MaxX - bounds.MinX + 1));
    QVERIFY(field.Height() <= 2 * (bounds.MaxY - bounds.MinY + 1));
    FieldReference reference(ai, 0, 2, 2);
    reference.RunTo(12000);
    QCOMPARE(FieldDifference(field, reference), QString());
}

void TestRunner::runEndsAtTheMemoryLimit_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("plane");
    QTest::addColumn<quint64>("limit");
    QTest::addColumn<quint64>("maxPeriod");
    QTest::addColumn<bool>("proof");
    QTest::addColumn<bool>("atGrowth"); // ended where its field would have grown
    const auto plane = quint64(PackedField::BytesFor(250, true));
    const auto field = quint64(PackedField::BytesFor(2000, false));
    QTest::newRow("plane, no room")
        << "RLR" << 250 << true << quint64(0) << quint64(100) << false << false;
    QTest::newRow("plane, 20 000 bytes with snapshots")
        << "RLR" << 250 << true << quint64(20000) << quint64(100) << false << false;
    QTest::newRow("plane, 600 000 bytes with snapshots")
        << "RLR" << 250 << true << quint64(600000) << quint64(100) << false << false;
    QTest::newRow("plane, 300 000 bytes without snapshots")
        << "RLR" << 250 << true << quint64(300000) << quint64(0) << false << true;
    QTest::newRow("plane, no room for the cycle proof's copy")
        << "L" << 250 << true << plane + 100 << quint64(0) << true << false;
    QTest::newRow("2000 x 2000, snapshots outgrow what the field leaves")
        << "RLR" << 2000 << false << field + 200000 << quint64(100) << false << false;
}

// A run that needs more memory than allowed, for its field, its cycle proof's copy or its
// highway snapshots, ends as memory in the state it reached (where its plane would have
// grown, if that is what failed).
void TestRunner::runEndsAtTheMemoryLimit()
{
    QFETCH(QString, rule);
    QFETCH(int, size);
    QFETCH(bool, plane);
    QFETCH(quint64, limit);
    QFETCH(quint64, maxPeriod);
    QFETCH(bool, proof);
    QFETCH(bool, atGrowth);
    const AntAI ai = RuleOf(rule.toStdString());
    PackedField field(size, plane);
    AntPosition ant{field.StartX(), field.StartY(), 'U'};
    RunOptions options = Capped(RunOptions::NoCap);
    options.MaxMemory = limit;
    options.HighwayMaxPeriod = maxPeriod;
    const RunResult result = proof ? Runner().Run<CycleProof::On>(field, ant, ai, options)
                                   : Runner().Run(field, ant, ai, options);
    QCOMPARE(QString(Name(result.Outcome)), QString("memory"));
    QVERIFY(field.HeldBytes() <=
            std::max<std::uint64_t>(limit, PackedField::BytesFor(size, plane)));
    FieldReference reference(ai, plane ? 0 : size, field.StartX(), field.StartY());
    reference.RunTo(result.Iterations);
    QCOMPARE(PositionText(ant), PositionText(reference.Ant));
    QCOMPARE(!field.Inside(ant.X, ant.Y), atGrowth);
    QCOMPARE(FieldDifference(field, reference), QString());
}

void TestRunner::capAnalysisFitsTheMemory_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<quint64>("cap");
    QTest::addColumn<quint64>("limit");
    QTest::addColumn<quint64>("period"); // of the highway known at the cap, or 0
    QTest::newRow("LR's highway, proven at the cap")
        << "LR" << quint64(12000) << (quint64(1) << 30) << quint64(104);
    // A filled square: replaying its tail took copies of its field beyond the limit, so
    // a run that reached its cap ended as memory.
    QTest::newRow("a filled square reaches its cap")
        << "LRRRRRLRL" << quint64(3000000) << (quint64(16) << 20) << quint64(0);
}

// A run that reaches its cap on the plane ends there, with the highway it is on if any,
// and not as memory for an analysis that cannot find one.
void TestRunner::capAnalysisFitsTheMemory()
{
    QFETCH(QString, rule);
    QFETCH(quint64, cap);
    QFETCH(quint64, limit);
    QFETCH(quint64, period);
    const AntAI ai = RuleOf(rule.toStdString());
    PackedField field(250, true);
    AntPosition ant{125, 125, 'U'};
    RunOptions options = Capped(cap);
    options.MaxMemory = limit;
    options.HighwayMaxPeriod = 20000;
    const RunResult result = Runner().Run(field, ant, ai, options);
    QCOMPARE(QString(Name(result.Outcome)), QString("cap"));
    QCOMPARE(quint64(result.Highway.Period), period);
    FieldReference reference(ai, 0, 125, 125);
    reference.RunTo(cap);
    QCOMPARE(PositionText(ant), PositionText(reference.Ant));
    QCOMPARE(FieldDifference(field, reference), QString());
}

// The hook sees the run's state at each snapshot, and the run goes on.
void TestRunner::snapshotHookSeesTheRun()
{
    const AntAI ai = RuleOf("RLR");
    PackedField field(250, true);
    AntPosition ant{125, 125, 'U'};
    RunOptions options = Capped(1000000);
    options.HighwayMaxPeriod = 100;
    int calls = 0;
    bool seenInside = false;
    std::uint64_t seenDone = 0;
    AntPosition seen;
    PackedField seenField(3);
    options.AtSnapshot =
        [&](std::size_t, const PackedField& at, const AntPosition& position, std::uint64_t done)
    {
        if (++calls != 2)
            return;
        seen = position;
        seenDone = done;
        seenInside = at.Inside(position.X, position.Y);
        seenField = at;
    };
    const RunResult result = Runner().Run(field, ant, ai, options);
    QCOMPARE(QString(Name(result.Outcome)), QString("cap"));
    QVERIFY(calls > 2);
    QVERIFY(seenInside);
    QVERIFY(seenDone > 0 && seenDone < result.Iterations);
    FieldReference reference(ai, 0, 125, 125);
    reference.RunTo(seenDone);
    QCOMPARE(PositionText(seen), PositionText(reference.Ant));
    QCOMPARE(FieldDifference(seenField, reference), QString());
}

void TestRunner::lanesOnOtherFieldsEqualSingleRuns_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("plane");
    QTest::newRow("7 x 7") << 7 << false;
    QTest::newRow("60 x 60") << 60 << false;
    QTest::newRow("plane from 9 x 9") << 9 << true;
}

// Lanes grow their planes apart from each other and still end each run as the single
// runner does.
void TestRunner::lanesOnOtherFieldsEqualSingleRuns()
{
    QFETCH(int, size);
    QFETCH(bool, plane);
    constexpr std::uint64_t Cap = 60000;
    const std::vector<std::string> rules = SurveyPlan::RulesOf(2, 5);
    std::size_t handed = 0;
    int failures = 0;
    RunOptions options = Capped(Cap);
    options.Size = size;
    options.Plane = plane;
    LaneRunner().Run<CycleProof::Off>(
        HandOut(rules, handed),
        [&](const LaneRunner::Ended& end)
        {
            PackedField field(size, plane);
            AntPosition ant{field.StartX(), field.StartY(), 'U'};
            const RunResult want = Runner().Run(field, ant, RuleOf(rules[end.Id]), options);
            FieldReference reference(RuleOf(rules[end.Id]), plane ? 0 : size, field.StartX(),
                                     field.StartY());
            reference.RunTo(want.Iterations);
            const bool same = end.Result.Outcome == want.Outcome &&
                              end.Result.Iterations == want.Iterations &&
                              PositionText(end.Position) == PositionText(ant) &&
                              FieldDifference(*end.Field, reference).isEmpty();
            if (!same && ++failures < 5)
                qWarning("%s: lanes say %s after %llu", rules[end.Id].c_str(),
                         Name(end.Result.Outcome),
                         static_cast<unsigned long long>(end.Result.Iterations));
        },
        options);
    QCOMPARE(failures, 0);
    QCOMPARE(handed, rules.size());
}

void TestRunner::lanesReuseTheirFields_data()
{
    QTest::addColumn<int>("lanes");
    QTest::addColumn<quint64>("maxPeriod");
    QTest::newRow("one lane") << 1 << quint64(0);
    QTest::newRow("three lanes") << 3 << quint64(0);
    QTest::newRow("one lane, highways") << 1 << quint64(200);
}

// A lane keeps its plane's storage for the next run, which grows in it in place: after a
// large plane the small ones end as on fresh fields, cell for cell.
void TestRunner::lanesReuseTheirFields()
{
    QFETCH(int, lanes);
    QFETCH(quint64, maxPeriod);
    const std::vector<std::string> rules = {"LR", "RLR", "LLRR", "RL", "LRRRRRLLR", "R", "LLR"};
    RunOptions options = Capped(200000);
    options.Plane = true;
    options.HighwayMaxPeriod = maxPeriod;
    std::size_t handed = 0;
    QStringList failures;
    LaneRunner().Run<CycleProof::Off>(
        HandOut(rules, handed),
        [&](const LaneRunner::Ended& end)
        {
            const QString difference = LaneRunDifference(rules[end.Id], end, options, true);
            if (!difference.isEmpty())
                failures << difference;
        },
        options, lanes);
    QCOMPARE(failures.join("; "), QString());
    QCOMPARE(handed, rules.size());
}

void TestRunner::lanesBorrowBeyondTheirShares_data()
{
    QTest::addColumn<bool>("plane");
    QTest::addColumn<quint64>("pool");
    QTest::addColumn<quint64>("mostLoan");
    QTest::addColumn<bool>("allFit"); // every run finds what it needs in the pool
    const quint64 large = quint64(64) << 20;
    QTest::newRow("plane, a pool for all") << true << large << large << true;
    QTest::newRow("plane, a pool for one at a time")
        << true << (quint64(3) << 20) << large << false;
    QTest::newRow("plane, an empty pool") << true << quint64(0) << large << false;
    QTest::newRow("plane, small loans") << true << large << (quint64(256) << 10) << false;
    // Finished runs' highways are proven on the plane beyond the field, in walks the
    // tracker asks room for as it goes.
    QTest::newRow("250 x 250, a pool for all") << false << large << large << true;
}

// Lanes of a small share borrow what their runs need while the pool has it, and end
// those runs as a run alone with all the memory does; a run that finds too little ends
// as memory. Every loan is given back.
void TestRunner::lanesBorrowBeyondTheirShares()
{
    QFETCH(bool, plane);
    QFETCH(quint64, pool);
    QFETCH(quint64, mostLoan);
    QFETCH(bool, allFit);
    const std::vector<std::string> rules = {"RLR", "LR", "LLRR", "LRRRRRLLR", "RRLLLRLRRRR", "RL"};
    constexpr std::uint64_t Share = 64 << 10;
    MemoryPool lender(pool, mostLoan);
    RunOptions options = Capped(300000);
    options.Plane = plane;
    options.HighwayMaxPeriod = 200;
    options.MaxMemory = Share;
    options.Lender = &lender;
    std::size_t handed = 0;
    int borrowed = 0;
    int short_ = 0;
    QStringList failures;
    LaneRunner().Run<CycleProof::Off>(
        HandOut(rules, handed),
        [&](const LaneRunner::Ended& end)
        {
            if (end.Result.Outcome == RunOutcome::Memory)
            {
                ++short_;
                return;
            }
            borrowed += lender.Free() < pool; // the run's loan is out until the next run
            RunOptions all = options;
            all.MaxMemory = RunOptions::DefaultMaxMemory;
            all.Lender = nullptr;
            const QString difference = LaneRunDifference(rules[end.Id], end, all, plane);
            if (!difference.isEmpty())
                failures << difference;
        },
        options);
    QCOMPARE(failures.join("; "), QString());
    QCOMPARE(lender.Free(), std::uint64_t(pool));
    if (allFit)
    {
        QCOMPARE(short_, 0);
        QVERIFY(borrowed >= 3);
    }
    else
    {
        QVERIFY(short_ > 0);
    }
}

void TestRunner::cellBuffersKeepTheirBytes_data()
{
    QTest::addColumn<int>("freed"); // KiB of a block freed first, whose pages may be reused
    QTest::addColumn<int>("first"); // KiB
    QTest::addColumn<int>("grown");
    QTest::newRow("on the heap") << 0 << 100 << 1000;
    QTest::newRow("from the heap to a mapping") << 0 << 1000 << 5000;
    QTest::newRow("mapping to mapping") << 0 << 3000 << 9001;
    QTest::newRow("on freed pages, part of them") << 12000 << 2500 << 7000;
    QTest::newRow("on freed pages, and new ones") << 4000 << 6000 << 20000;
}

// Growing keeps the bytes written, wherever the pages come from, and each byte stays
// its own: a block on reused pages shares none with another.
void TestRunner::cellBuffersKeepTheirBytes()
{
    QFETCH(int, freed);
    QFETCH(int, first);
    QFETCH(int, grown);
    auto fill = [](CellBuffer& cells, std::size_t from, std::uint8_t seed)
    {
        for (std::size_t i = from; i < cells.size(); ++i)
            cells[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 4096);
    };
    auto firstWrong =
        [](const CellBuffer& cells, std::size_t from, std::size_t to, std::uint8_t seed)
    {
        for (std::size_t i = from; i < to; ++i)
            if (cells[i] != static_cast<std::uint8_t>(seed + i * 7 + i / 4096))
                return static_cast<qint64>(i);
        return qint64(-1);
    };
    {
        CellBuffer old;
        old.resize(std::size_t(freed) * 1024);
        fill(old, 0, 9);
    }
    CellBuffer other;
    other.resize(std::size_t(first) * 1024);
    fill(other, 0, 5);
    CellBuffer cells;
    cells.resize(std::size_t(first) * 1024);
    fill(cells, 0, 1);
    const CellBuffer copy = cells;
    cells.resize(std::size_t(grown) * 1024);
    QCOMPARE(cells.capacity(), std::size_t(grown) * 1024);
    QCOMPARE(firstWrong(cells, 0, std::size_t(first) * 1024, 1), qint64(-1));
    fill(cells, std::size_t(first) * 1024, 1);
    QCOMPARE(firstWrong(cells, 0, cells.size(), 1), qint64(-1));
    QCOMPARE(firstWrong(copy, 0, copy.size(), 1), qint64(-1));
    QCOMPARE(firstWrong(other, 0, other.size(), 5), qint64(-1));
}

QTEST_GUILESS_MAIN(TestRunner)
void TestRunner::visitedPartHoldsEveryCell_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("plane");
    QTest::addColumn<QString>("rule"); // run for 12 000 iterations, else random cells
    QTest::addColumn<int>("cells");
    QTest::addColumn<QRect>("block"); // cells of colour 1
    QTest::newRow("blank") << 203 << false << "" << 0 << QRect();
    QTest::newRow("one cell") << 203 << false << "" << 1 << QRect();
    QTest::newRow("a few cells") << 203 << false << "" << 30 << QRect();
    QTest::newRow("dense") << 61 << false << "" << 2000 << QRect();
    QTest::newRow("a block") << 203 << false << "" << 0 << QRect(70, 90, 45, 21);
    QTest::newRow("a line") << 203 << false << "" << 0 << QRect(37, 120, 45, 1);
    QTest::newRow("the plane's first square") << 250 << true << "" << 40 << QRect();
    QTest::newRow("a plane grown by a run") << 5 << true << "LR" << 0 << QRect();
    QTest::newRow("a field filled by a run") << 99 << false << "RRLLLRLLLRRR" << 0 << QRect();
}

// The box a snapshot keeps: the least rectangle around the cells not blank and the ant,
// found by reading each cell, for the ant in each corner and in the middle.
void TestRunner::visitedPartHoldsEveryCell()
{
    QFETCH(int, size);
    QFETCH(bool, plane);
    QFETCH(QString, rule);
    QFETCH(int, cells);
    QFETCH(QRect, block);
    PackedField field(size, plane);
    for (int y = block.top(); y <= block.bottom(); ++y)
        for (int x = block.left(); x <= block.right(); ++x)
            field.SetColour(x, y, 1);
    if (!rule.isEmpty())
    {
        AntPosition ant{field.StartX(), field.StartY(), 'U'};
        Runner().Run(field, ant, RuleOf(rule.toStdString()), Capped(12000));
    }
    std::mt19937 random(std::uint32_t(size + cells));
    for (int i = 0; i < cells; ++i)
        field.SetColour(field.Left() + int(random() % unsigned(field.Width())),
                        field.Top() + int(random() % unsigned(field.Height())),
                        1 + int(random() % 12));
    const int right = field.Left() + field.Width() - 1;
    const int bottom = field.Top() + field.Height() - 1;
    const QPoint ants[] = {{field.Left(), field.Top()},
                           {right, bottom},
                           {field.Left(), bottom},
                           {right, field.Top()},
                           {field.StartX(), field.StartY()}};
    QRect coloured; // null while no cell is found
    for (int y = field.Top(); y <= bottom; ++y)
        for (int x = field.Left(); x <= right; ++x)
            if (field.Colour(x, y) != 0)
                coloured |= QRect(x, y, 1, 1);
    for (const QPoint at : ants)
    {
        const QRect box = coloured | QRect(at, at);
        const PackedField::Part part = field.VisitedPart(at.x(), at.y());
        QCOMPARE(QRect(part.Left, part.Top, part.Width, part.Height), box);
        QCOMPARE(part.Bytes, std::uint64_t(box.width() + 2) * std::uint64_t(box.height() + 2));
    }
}

void TestRunner::copiesReachBeyondTheStoredPart_data()
{
    QTest::addColumn<QRect>("part");
    QTest::addColumn<bool>("marked");
    // The plane below stores 64 x 64 cells from (93, 93).
    QTest::newRow("within") << QRect(100, 110, 20, 10) << false;
    QTest::newRow("across the top left") << QRect(80, 70, 40, 50) << false;
    QTest::newRow("across the bottom right") << QRect(140, 130, 40, 50) << true;
    QTest::newRow("around it all") << QRect(60, 60, 130, 140) << true;
    QTest::newRow("beside it") << QRect(200, 100, 10, 10) << false;
}

// A walk from a snapshot copies the plane's stored part from a copy of its visited part
// alone: every cell beyond the source is blank, turn mark included.
void TestRunner::copiesReachBeyondTheStoredPart()
{
    QFETCH(QRect, part);
    QFETCH(bool, marked);
    const AntAI ai = RuleOf("RLLR");
    PackedField from(250, true);
    AntPosition ant{from.StartX(), from.StartY(), 'U'};
    Runner().Run(from, ant, ai, Capped(3000));
    QCOMPARE(from.Width(), PackedField::PlaneStartSize);
    const std::uint64_t right = 0b00101; // the codes are 0 to 4; 0 and 2 marked right
    if (marked)
        QVERIFY(from.MarkTurns(0b11111, right));
    else
        from.UnmarkTurns(); // the run's own
    PackedField copy(3);
    const auto bytes = std::uint64_t(part.width() + 2) * std::uint64_t(part.height() + 2);
    copy.CopyPart(from, {part.x(), part.y(), part.width(), part.height(), bytes});
    QCOMPARE(copy.Bytes(), std::size_t(bytes));
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
        {
            const int colour = from.Colour(x, y);
            QCOMPARE(copy.Colour(x, y), colour);
            const std::uint8_t byte = copy.Cells()[copy.Index(x, y)];
            const auto expected =
                marked ? PackedField::MarkedCode(unsigned(colour), right) : std::uint8_t(colour);
            if (byte != expected)
                QFAIL(qPrintable(QString("cell %1,%2 holds %3").arg(x).arg(y).arg(byte)));
        }
    for (int y = part.top() - 1; y <= part.bottom() + 1; ++y)
        QVERIFY(copy.IsBorder(copy.Index(part.left() - 1, y)) &&
                copy.IsBorder(copy.Index(part.right() + 1, y)));
}

void TestRunner::planeMovesOnAlongAHighway_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QChar>("heading"); // LR's highway runs down and right from U
    QTest::addColumn<quint64>("cap");
    QTest::newRow("LR down right") << "LR" << QChar('U') << quint64(200000);
    QTest::newRow("LR down left") << "LR" << QChar('R') << quint64(200000);
    QTest::newRow("LR up left") << "LR" << QChar('D') << quint64(200000);
    QTest::newRow("LR up right") << "LR" << QChar('L') << quint64(200000);
    QTest::newRow("9 letters, period 18") << "LLRLLRLLR" << QChar('U') << quint64(100000);
}

// A diagonal highway moves the plane's rectangle on and keeps its trail in tiles: the
// cells, a copy of them (as a snapshot takes), a saved state, its mirror and the run
// continued from it all hold what the reference does, and the memory is the trail's.
void TestRunner::planeMovesOnAlongAHighway()
{
    QFETCH(QString, rule);
    QFETCH(QChar, heading);
    QFETCH(quint64, cap);
    const std::string letters = rule.toStdString();
    const auto run = [&](PackedField& field, AntPosition& ant, std::uint64_t from, std::uint64_t to)
    { return Runner().Run(field, ant, RuleOf(letters), Capped(to), from); };
    PackedField field(250, true);
    AntPosition ant{field.StartX(), field.StartY(), heading.toLatin1()};
    FieldReference reference(RuleOf(letters), 0, field.StartX(), field.StartY());
    reference.Ant.Direction = ant.Direction;
    reference.RunTo(cap / 2);
    QCOMPARE(run(field, ant, 0, cap / 2).Iterations, cap / 2);
    QCOMPARE(PositionText(ant), PositionText(reference.Ant));
    QCOMPARE(FieldDifference(field, reference), QString());
    QVERIFY(!field.Archived().Empty());
    const PackedField::Bounds box = field.VisitedBounds();
    const auto area =
        std::uint64_t(box.MaxX - box.MinX + 1) * std::uint64_t(box.MaxY - box.MinY + 1);
    QVERIFY2(field.HeldBytes() < area / 8,
             qPrintable(
                 QString("%1 bytes held for a box of %2 cells").arg(field.HeldBytes()).arg(area)));

    PackedField copy(3);
    copy.CopyPart(field, field.VisitedPart(ant.X, ant.Y));
    QCOMPARE(FieldDifference(copy, reference), QString());
    const RunState state =
        RunState::Decode(RunState::Of(letters, cap / 2, field, ant, 250).Encode());
    PackedField restored = state.Restore();
    QCOMPARE(FieldDifference(restored, reference), QString());
    PackedField mirrored = state.Mirrored(SurveyPlan::MirrorRule(letters)).Restore();
    FieldReference mirror(RuleOf(SurveyPlan::MirrorRule(letters)), 0, field.StartX(),
                          field.StartY());
    mirror.Ant.Direction = heading == 'L' ? 'R' : heading == 'R' ? 'L' : ant.Direction;
    mirror.RunTo(cap / 2);
    QCOMPARE(FieldDifference(mirrored, mirror), QString());

    reference.RunTo(cap);
    for (PackedField* f : {&field, &copy, &restored})
    {
        AntPosition at = ant;
        QCOMPARE(run(*f, at, cap / 2, cap).Iterations, cap);
        QCOMPARE(PositionText(at), PositionText(reference.Ant));
        QCOMPARE(FieldDifference(*f, reference), QString());
    }
}

#include "tst_runner.moc"
