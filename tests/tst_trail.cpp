#include <QTest>

#include "Ant.h"
#include "HighwayProof.h"
#include "Iteration.h"
#include "PackedField.h"
#include "PlaneReference.h"
#include "Runner.h"
#include "StepTable.h"
#include "TailMatches.h"
#include "Trail.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

// The trail may say "no highway" only where the proof, given the whole walk so far, proves
// none; and it must say so often enough on a walk that is not on a highway to spare the
// replays it is there for (short repetitions at the edge of a growth leave some).
class TestTrail : public QObject
{
    Q_OBJECT

private slots:
    void sparesOnlyWalksWithoutRepetition_data();
    void sparesOnlyWalksWithoutRepetition();
    void tailMatchesFindEveryPeriod_data();
    void tailMatchesFindEveryPeriod();
};

void TestTrail::sparesOnlyWalksWithoutRepetition_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("maxPeriod");
    QTest::addColumn<bool>("highwayAtEnd");
    // Looks at least that the question of a proof by now spares beyond the question of one
    // by a walk going on: repetitions the field ahead shows unproven yet.
    QTest::addColumn<int>("nowOnly");
    // LR builds its highway of period 104 from about 10 000 on; RLR never does. Walks
    // longer than the trail's storage make it slide.
    QTest::newRow("LR") << "LR" << 14000 << 200 << true << 2;
    QTest::newRow("LR, long periods") << "LR" << 120000 << 20000 << true << 2;
    QTest::newRow("RLR") << "RLR" << 120000 << 500 << false << 2;
    QTest::newRow("LLRR") << "LLRR" << 60000 << 1000 << false << 1;
    QTest::newRow("LLR, period 18") << "LLR" << 3000 << 100 << true << 0;
    QTest::newRow("12 letters") << "RRLLLRLLLRRR" << 60000 << 2000 << false << 9;
    QTest::newRow("LRL") << "LRL" << 30000 << 300 << false << 1;
    // A long period limit's trail grows with the walk instead of being made whole at once.
    QTest::newRow("LR, a limit of 10^7") << "LR" << 120000 << 10000000 << true << 2;
    QTest::newRow("RLR, a limit of 10^7") << "RLR" << 120000 << 10000000 << false << 2;
    // Short repetitions along the edge of the growth, again and again.
    QTest::newRow("9 letters") << "RRLRLLLRR" << 200000 << 20000 << false << 11;
}

void TestTrail::sparesOnlyWalksWithoutRepetition()
{
    QFETCH(QString, rule);
    QFETCH(int, steps);
    QFETCH(int, maxPeriod);
    QFETCH(bool, highwayAtEnd);
    QFETCH(int, nowOnly);
    const std::string letters = rule.toStdString();
    Ant ant;
    ant.SetRule(letters);
    const StepTable table(ant.GetAI());
    PlaneReference plane(letters);
    // The field the trail looks at: the model's plane, run on to each look.
    PackedField field(PackedField::DefaultSize, true);
    AntPosition position{field.StartX(), field.StartY(), 'U'};
    Runner runner;
    RunOptions options;
    options.Plane = true;
    std::uint64_t ran = 0;
    const auto period = static_cast<std::uint64_t>(maxPeriod);

    Trail trail;
    trail.Reset(2 * period);
    ::Walk walk;
    int spared = 0;
    int sparedNowOnly = 0; // spared only because the walk ending now is asked about
    int looks = 0;
    bool lastMaybe = false;
    for (int t = 1; t <= steps; ++t)
    {
        WalkStep step;
        plane.Step(&step);
        walk.Steps.push_back(step);
        // The code the step wrote, from the reference's own transition.
        const ColourTransition written =
            NextTransition(step.Colour, letters.data(), static_cast<int>(letters.size()));
        *trail.End() = static_cast<std::uint8_t>(written.NextColour);
        trail.Wrote(1);
        if (t % 1009 != 0 && t != steps)
            continue;
        ++looks;
        options.Cap = static_cast<std::uint64_t>(t);
        ran = runner.Run(field, position, ant.GetAI(), options, ran).Iterations;
        QCOMPARE(ran, quint64(t));
        const Trail::Ending ending =
            trail.EndsInRepetition(period, step.Heading, table, field, position.X, position.Y);
        lastMaybe = ending != Trail::Ending::None;
        const bool maybeNow = ending == Trail::Ending::Maybe;
        QVERIFY2(lastMaybe || !maybeNow, qPrintable(QString("at %1").arg(t)));
        if (maybeNow)
            continue;
        ++spared;
        sparedNowOnly += lastMaybe ? 1 : 0;
        const HighwayProof proof = ProveHighway(walk, period);
        QVERIFY2(proof.Result != HighwayProof::Proven, qPrintable(QString("at %1").arg(t)));
    }
    QVERIFY2(sparedNowOnly >= nowOnly, qPrintable(QString::number(sparedNowOnly)));
    QCOMPARE(trail.Steps(), quint64(steps));
    if (highwayAtEnd)
        QVERIFY(lastMaybe);
    else
        QVERIFY2(spared * 5 >= looks * 2, qPrintable(QString("%1 of %2").arg(spared).arg(looks)));
}

void TestTrail::tailMatchesFindEveryPeriod_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("periods");
    QTest::addColumn<int>("codes"); // drawn from 0 .. codes - 1
    QTest::newRow("two codes") << 3000 << 1500 << 2;
    QTest::newRow("three codes") << 5000 << 2000 << 3;
    QTest::newRow("one code: every period") << 200 << 100 << 1;
    QTest::newRow("13 codes") << 4000 << 2000 << 13;
    // Periods that end a block of 16 early, just at it and just after.
    QTest::newRow("8 periods") << 16 << 8 << 2;
    QTest::newRow("22 periods") << 44 << 22 << 1;
    QTest::newRow("23 periods") << 46 << 23 << 1;
    QTest::newRow("24 periods") << 60 << 24 << 2;
    QTest::newRow("39 periods") << 90 << 39 << 2;
}

// Every period from 8 on whose 8 codes before the last p equal the last 8, found in order,
// against a comparison of each.
void TestTrail::tailMatchesFindEveryPeriod()
{
    QFETCH(int, length);
    QFETCH(int, periods);
    QFETCH(int, codes);
    std::mt19937 random(std::uint32_t(length * 31 + codes));
    std::vector<std::uint8_t> trail(static_cast<std::size_t>(length));
    for (auto& code : trail)
        code = std::uint8_t(random() % unsigned(codes));
    const auto n = std::uint64_t(length);
    // Matches planted within the 16 positions after one and just beyond them, besides
    // those by chance.
    auto plant = [&](std::uint64_t p)
    { std::memcpy(trail.data() + n - 8 - p, trail.data() + n - 8, 8); };
    const std::uint64_t gaps[] = {5, 16, 17, 33, 47};
    for (std::uint64_t p = 8, i = 0; p < std::uint64_t(periods); p += gaps[i++ % 5])
        plant(p);
    plant(std::uint64_t(periods));
    QList<quint64> expected;
    for (std::uint64_t p = 8; p <= std::uint64_t(periods); ++p)
        if (std::memcmp(trail.data() + n - 8 - p, trail.data() + n - 8, 8) == 0)
            expected << p;
    QList<quint64> found;
    TailMatches matches(trail.data(), n, std::uint64_t(periods));
    for (std::uint64_t p = matches.Next(8); p <= std::uint64_t(periods); p = matches.Next(p + 1))
        found << p;
    QCOMPARE(found, expected);
}

QTEST_APPLESS_MAIN(TestTrail)
#include "tst_trail.moc"
