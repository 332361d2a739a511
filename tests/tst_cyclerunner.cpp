#include "Ant.h"
#include "AntField.h"
#include "BatchRunner.h"
#include "CycleRunner.h"
#include "PresetCatalogue.h"

#include <QtTest>

#include <memory>
#include <thread>
#include <vector>

namespace
{
// Above the longest finisher of up to six letters (LLRR, 18 340 311 iterations).
constexpr std::uint64_t PlainRunCap = 20000000;

struct State
{
    std::vector<int> Cells;
    AntPosition Position;
};

State Capture(const AntField& field, const Ant& ant)
{
    State state;
    state.Cells.reserve(AntField::FieldSize * AntField::FieldSize);
    for (int y = 0; y < AntField::FieldSize; ++y)
        for (int x = 0; x < AntField::FieldSize; ++x)
            state.Cells.push_back(field.GetCell(x, y));
    state.Position = ant.GetPosition();
    return state;
}

bool operator==(const State& a, const State& b)
{
    return a.Cells == b.Cells && a.Position.X == b.Position.X && a.Position.Y == b.Position.Y &&
           a.Position.Direction == b.Position.Direction;
}

Ant AntWithRule(const std::string& letters)
{
    Ant ant;
    for (std::size_t i = 0; i < letters.size(); ++i)
        for (int c = 0; c < (letters[i] == 'L' ? 1 : 2); ++c)
            ant.CycleStep(static_cast<int>(i));
    ant.NormalizeAI();
    return ant;
}

std::vector<std::string> RulesUpTo(int letters)
{
    std::vector<std::string> rules;
    for (int n = 1; n <= letters; ++n)
    {
        for (unsigned bits = 0; bits < (1u << n); ++bits)
        {
            std::string rule;
            for (int i = 0; i < n; ++i)
                rule += (bits >> i) & 1u ? 'R' : 'L';
            rules.push_back(rule);
        }
    }
    return rules;
}

const char* Name(CycleOutcome outcome)
{
    switch (outcome)
    {
    case CycleOutcome::Finished:
        return "finished";
    case CycleOutcome::Never:
        return "never";
    case CycleOutcome::Cap:
        return "cap";
    case CycleOutcome::Stopped:
        return "stopped";
    }
    return "?";
}
} // namespace

class TestCycleRunner : public QObject
{
    Q_OBJECT

private slots:
    void outcomes_data();
    void outcomes();
    void agreesWithPlainRunsUpToSixLetters();
    void falseHashMatchesDoNotChangeAnswers();
    void stopFlagEndsARunEarly();
};

void TestCycleRunner::outcomes_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<quint64>("cap");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<quint64>("iterations");
    QTest::addColumn<quint64>("period");
    const int finished = int(CycleOutcome::Finished);
    const int never = int(CycleOutcome::Never);
    const int cap = int(CycleOutcome::Cap);
    // One letter: the ant circles four cells, so the state repeats every 4 iterations.
    QTest::newRow("L circles for ever")
        << "L" << quint64(1000) << never << quint64(11) << quint64(4);
    QTest::newRow("R circles for ever")
        << "R" << quint64(1000) << never << quint64(11) << quint64(4);
    QTest::newRow("cap before the repeat")
        << "L" << quint64(10) << cap << quint64(10) << quint64(0);
    QTest::newRow("empty rule repeats at once")
        << "" << quint64(5) << never << quint64(1) << quint64(1);
    QTest::newRow("LR one below its length")
        << "LR" << quint64(15516) << cap << quint64(15516) << quint64(0);
    QTest::newRow("LR at its length")
        << "LR" << quint64(15517) << finished << quint64(15517) << quint64(0);
    QTest::newRow("LLRR no cap") << "LLRR" << quint64(UINT64_MAX) << finished << quint64(18340311)
                                 << quint64(0);
}

void TestCycleRunner::outcomes()
{
    QFETCH(QString, rule);
    QFETCH(quint64, cap);
    QFETCH(int, outcome);
    QFETCH(quint64, iterations);
    QFETCH(quint64, period);
    auto field = std::make_unique<AntField>();
    Ant ant = AntWithRule(rule.toStdString());
    CycleRunner runner;
    const CycleResult result = runner.Run(*field, ant, cap);
    QCOMPARE(Name(result.Outcome), Name(CycleOutcome(outcome)));
    QCOMPARE(quint64(result.Iterations), iterations);
    QCOMPARE(quint64(result.Period), period);
}

// Every answer is checked with BatchRunner alone: a finish or a cap must match a plain
// run exactly, and a Never must show a repeat that plain runs reproduce.
void TestCycleRunner::agreesWithPlainRunsUpToSixLetters()
{
    auto field = std::make_unique<AntField>();
    auto plainField = std::make_unique<AntField>();
    CycleRunner runner;
    int nevers = 0;
    for (const std::string& rule : RulesUpTo(6))
    {
        field->Clear();
        Ant ant = AntWithRule(rule);
        const CycleResult result = runner.Run(*field, ant, PlainRunCap);

        plainField->Clear();
        Ant plainAnt = AntWithRule(rule);
        const BatchResult plain = BatchRunner::Run(*plainField, plainAnt, PlainRunCap);
        const QByteArray what = QByteArray::fromStdString(rule) + ": " + Name(result.Outcome);

        if (result.Outcome != CycleOutcome::Never)
        {
            QVERIFY2(result.Outcome ==
                         (plain.Finished ? CycleOutcome::Finished : CycleOutcome::Cap),
                     what.constData());
            QVERIFY2(result.Iterations == plain.Iterations, what.constData());
            QVERIFY2(Capture(*field, ant) == Capture(*plainField, plainAnt), what.constData());
            continue;
        }
        ++nevers;
        QVERIFY2(!plain.Finished, what.constData());
        QVERIFY2(result.Period > 0 && result.Period <= result.Iterations, what.constData());

        plainField->Clear();
        plainAnt = AntWithRule(rule);
        const BatchResult before =
            BatchRunner::Run(*plainField, plainAnt, result.Iterations - result.Period);
        const State earlier = Capture(*plainField, plainAnt);
        const BatchResult after = BatchRunner::Run(*plainField, plainAnt, result.Period);
        QVERIFY2(!before.Finished && !after.Finished, what.constData());
        QVERIFY2(Capture(*plainField, plainAnt) == earlier, what.constData());
        QVERIFY2(Capture(*field, ant) == earlier, what.constData());
    }
    QVERIFY(nevers >= 2); // at least L and R
}

// With every key equal, each return of the ant to the checkpoint's cell and heading
// reaches the full comparison, which must reject the ones whose fields differ.
void TestCycleRunner::falseHashMatchesDoNotChangeAnswers()
{
    auto field = std::make_unique<AntField>();
    auto weakField = std::make_unique<AntField>();
    CycleRunner runner;
    CycleRunner weak(CycleRunner::HashKeys::Constant);
    std::uint64_t falseMatches = 0;
    for (const std::string& rule : RulesUpTo(4))
    {
        field->Clear();
        Ant ant = AntWithRule(rule);
        const CycleResult expected = runner.Run(*field, ant, PlainRunCap);
        weakField->Clear();
        Ant weakAnt = AntWithRule(rule);
        const CycleResult result = weak.Run(*weakField, weakAnt, PlainRunCap);
        const QByteArray what = QByteArray::fromStdString(rule);
        QVERIFY2(result.Outcome == expected.Outcome, what.constData());
        QVERIFY2(result.Iterations == expected.Iterations, what.constData());
        QVERIFY2(result.Period == expected.Period, what.constData());
        QVERIFY2(Capture(*field, ant) == Capture(*weakField, weakAnt), what.constData());
        QCOMPARE(expected.FalseMatches, std::uint64_t{0});
        falseMatches += result.FalseMatches;
    }
    QVERIFY(falseMatches > 0);
}

void TestCycleRunner::stopFlagEndsARunEarly()
{
    // LLLRR neither finishes nor repeats within 10^9 iterations.
    constexpr std::uint64_t Cap = 1000000000;
    auto field = std::make_unique<AntField>();
    CycleRunner runner;

    std::atomic<bool> stop{true};
    Ant ant = AntWithRule("LLLRR");
    CycleResult result = runner.Run(*field, ant, Cap, &stop);
    QCOMPARE(Name(result.Outcome), Name(CycleOutcome::Stopped));
    QCOMPARE(result.Iterations, std::uint64_t{0});

    stop = false;
    field->Clear();
    ant = AntWithRule("LLLRR");
    std::thread raiser(
        [&stop]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            stop = true;
        });
    result = runner.Run(*field, ant, Cap, &stop);
    raiser.join();
    QCOMPARE(Name(result.Outcome), Name(CycleOutcome::Stopped));
    QVERIFY(result.Iterations > 0 && result.Iterations < Cap);

    // What was done so far is left in the field and the ant, as plain runs leave it.
    auto plainField = std::make_unique<AntField>();
    Ant plainAnt = AntWithRule("LLLRR");
    BatchRunner::Run(*plainField, plainAnt, result.Iterations);
    QVERIFY(Capture(*field, ant) == Capture(*plainField, plainAnt));
}

QTEST_GUILESS_MAIN(TestCycleRunner)
#include "tst_cyclerunner.moc"
