#include "Ant.h"
#include "AntField.h"
#include "Iteration.h"

#include <QtTest>

#include <memory>

namespace
{
// Letters for the transition table rows; n of them are active in each row.
const char* const TwelveSteps = "LRLLRRLRLRRL";
} // namespace

class TestIteration : public QObject
{
    Q_OBJECT

private slots:
    void transition_data();
    void transition();
    void firstStepsOfLR();
    void oneLetterRuleCirclesForEver();
    void emptyRuleChangesNothing();
    void turnBackFromTheBorderIsNotTheEnd();
    void refusedMoveKeepsRecolourAndTurn();
};

void TestIteration::transition_data()
{
    QTest::addColumn<int>("colour");
    QTest::addColumn<int>("active");
    QTest::addColumn<int>("next");
    QTest::addColumn<char>("turn");
    QTest::newRow("blank with one letter") << 0 << 1 << 1 << 'L';
    QTest::newRow("colour 1 with one letter") << 1 << 1 << 1 << 'L';
    QTest::newRow("blank enters at colour 2") << 0 << 2 << 2 << 'L';
    QTest::newRow("colour 1 like blank") << 1 << 5 << 2 << 'L';
    QTest::newRow("inside the cycle") << 2 << 5 << 3 << 'R';
    QTest::newRow("last colour wraps to 1") << 5 << 5 << 1 << 'R';
    QTest::newRow("outside the cycle: no turn") << 7 << 5 << 8 << '-';
    QTest::newRow("11 outside goes to 12") << 11 << 3 << 12 << '-';
    QTest::newRow("12 in a full rule") << 12 << 12 << 1 << 'L';
    QTest::newRow("12 outside wraps to 1") << 12 << 11 << 1 << '-';
    QTest::newRow("11 ends a rule of 11") << 11 << 11 << 1 << 'R';
    QTest::newRow("negative becomes blank") << -1 << 12 << 0 << '-';
    QTest::newRow("13 becomes blank") << 13 << 12 << 0 << '-';
}

void TestIteration::transition()
{
    QFETCH(int, colour);
    QFETCH(int, active);
    QFETCH(int, next);
    QFETCH(char, turn);
    const ColourTransition t = NextTransition(colour, TwelveSteps, active);
    QCOMPARE(t.NextColour, next);
    QCOMPARE(t.TurnLetter, turn);
}

void TestIteration::firstStepsOfLR()
{
    auto field = std::make_unique<AntField>();
    Ant ant;
    ant.ApplyPreset(3);
    struct Expected
    {
        int cellX, cellY, colour, x, y;
        char direction;
    };
    const Expected steps[] = {
        {125, 125, 2, 124, 125, 'L'}, {124, 125, 2, 124, 126, 'D'}, {124, 126, 2, 125, 126, 'R'},
        {125, 126, 2, 125, 125, 'U'}, {125, 125, 1, 126, 125, 'R'},
    };
    for (const Expected& e : steps)
    {
        QCOMPARE(Iterate(*field, ant), IterationResult::Moved);
        QCOMPARE(field->GetCell(e.cellX, e.cellY), e.colour);
        QCOMPARE(ant.GetPosition().X, e.x);
        QCOMPARE(ant.GetPosition().Y, e.y);
        QCOMPARE(ant.GetPosition().Direction, e.direction);
    }
}

void TestIteration::oneLetterRuleCirclesForEver()
{
    auto field = std::make_unique<AntField>();
    Ant ant;
    ant.CycleStep(0);
    ant.CycleStep(0); // R
    ant.NormalizeAI();
    for (int i = 0; i < 1000; ++i)
        QCOMPARE(Iterate(*field, ant), IterationResult::Moved);
    QCOMPARE(ant.GetPosition().X, 125);
    QCOMPARE(ant.GetPosition().Y, 125);
    int painted = 0;
    for (int y = 0; y < AntField::FieldSize; ++y)
        for (int x = 0; x < AntField::FieldSize; ++x)
            painted += field->GetCell(x, y);
    QCOMPARE(painted, 4);
    QCOMPARE(field->GetCell(126, 126), 1);
}

void TestIteration::emptyRuleChangesNothing()
{
    auto field = std::make_unique<AntField>();
    field->SetCell(125, 125, 7);
    Ant ant;
    for (int i = 0; i < 100; ++i)
        QCOMPARE(Iterate(*field, ant), IterationResult::Idle);
    QCOMPARE(field->GetCell(125, 125), 7);
    QCOMPARE(ant.GetPosition().Y, 125);
    QCOMPARE(ant.GetPosition().Direction, 'U');
}

void TestIteration::turnBackFromTheBorderIsNotTheEnd()
{
    auto field = std::make_unique<AntField>();
    Ant ant;
    ant.ApplyPreset(3);                       // a blank cell turns the ant left
    ant.SetPosition(AntPosition{0, 50, 'L'}); // facing out, but the turn comes first
    QCOMPARE(Iterate(*field, ant), IterationResult::Moved);
    QCOMPARE(ant.GetPosition().X, 0);
    QCOMPARE(ant.GetPosition().Y, 51);
    QCOMPARE(ant.GetPosition().Direction, 'D');
}

void TestIteration::refusedMoveKeepsRecolourAndTurn()
{
    auto field = std::make_unique<AntField>();
    Ant ant;
    ant.ApplyPreset(3);
    ant.SetPosition(AntPosition{0, 50, 'U'}); // a left turn faces off the field
    QCOMPARE(Iterate(*field, ant), IterationResult::Blocked);
    QCOMPARE(field->GetCell(0, 50), 2);
    QCOMPARE(ant.GetPosition().X, 0);
    QCOMPARE(ant.GetPosition().Direction, 'L');
}

QTEST_GUILESS_MAIN(TestIteration)
#include "tst_iteration.moc"
