#include <QTest>

#include "Ant.h"
#include "HighwayProof.h"
#include "Iteration.h"
#include "PackedField.h"
#include "PlaneReference.h"
#include "Runner.h"
#include "StepTable.h"
#include "Trail.h"

#include <string>

// The trail may say "no highway" only where the proof, given the whole walk so far, proves
// none; and it must say so often enough on a walk that is not on a highway to spare the
// replays it is there for (short repetitions at the edge of a growth leave some).
class TestTrail : public QObject
{
    Q_OBJECT

private slots:
    void sparesOnlyWalksWithoutRepetition_data();
    void sparesOnlyWalksWithoutRepetition();
};

void TestTrail::sparesOnlyWalksWithoutRepetition_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("maxPeriod");
    QTest::addColumn<bool>("highwayAtEnd");
    // LR builds its highway of period 104 from about 10 000 on; RLR never does. Walks
    // longer than the trail's storage make it slide.
    QTest::newRow("LR") << "LR" << 14000 << 200 << true;
    QTest::newRow("LR, long periods") << "LR" << 120000 << 20000 << true;
    QTest::newRow("RLR") << "RLR" << 120000 << 500 << false;
    QTest::newRow("LLRR") << "LLRR" << 60000 << 1000 << false;
    QTest::newRow("LLR, period 18") << "LLR" << 3000 << 100 << true;
    QTest::newRow("12 letters") << "RRLLLRLLLRRR" << 60000 << 2000 << false;
    QTest::newRow("LRL") << "LRL" << 30000 << 300 << false;
    // A long period limit's trail grows with the walk instead of being made whole at once.
    QTest::newRow("LR, a limit of 10^7") << "LR" << 120000 << 10000000 << true;
    QTest::newRow("RLR, a limit of 10^7") << "RLR" << 120000 << 10000000 << false;
}

void TestTrail::sparesOnlyWalksWithoutRepetition()
{
    QFETCH(QString, rule);
    QFETCH(int, steps);
    QFETCH(int, maxPeriod);
    QFETCH(bool, highwayAtEnd);
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
        lastMaybe =
            trail.MayEndInRepetition(period, step.Heading, table, field, position.X, position.Y);
        if (lastMaybe)
            continue;
        ++spared;
        const HighwayProof proof = ProveHighway(walk, period);
        QVERIFY2(proof.Result != HighwayProof::Proven, qPrintable(QString("at %1").arg(t)));
    }
    QCOMPARE(trail.Steps(), quint64(steps));
    if (highwayAtEnd)
        QVERIFY(lastMaybe);
    else
        QVERIFY2(spared * 5 >= looks * 2, qPrintable(QString("%1 of %2").arg(spared).arg(looks)));
}

QTEST_APPLESS_MAIN(TestTrail)
#include "tst_trail.moc"
