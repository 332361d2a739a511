#include "Ant.h"

#include <QtTest>

Q_DECLARE_METATYPE(std::string)

class TestAnt : public QObject
{
    Q_OBJECT

private slots:
    void startState();
    void turn_data();
    void turn();
    void move_data();
    void move();
    void cycleStep();
    void setRule_data();
    void setRule();
    void applyPreset_data();
    void applyPreset();
    void resetsAreIndependent();
    void copiesAreDeep();
};

void TestAnt::startState()
{
    const Ant ant;
    const AntPosition p = ant.GetPosition();
    QCOMPARE(p.X, 125);
    QCOMPARE(p.Y, 125);
    QCOMPARE(p.Direction, 'U');
    const AntAI ai = ant.GetAI();
    QCOMPARE(ai.Steps, std::string("------------"));
    QCOMPARE(ai.Size, 12);
    QCOMPARE(ai.ActiveSteps, 0);
}

void TestAnt::turn_data()
{
    QTest::addColumn<QString>("letters");
    QTest::addColumn<char>("expected");
    QTest::newRow("U turns L to L") << "L" << 'L';
    QTest::newRow("U turns R to R") << "R" << 'R';
    QTest::newRow("two lefts face down") << "LL" << 'D';
    QTest::newRow("L then R undo each other") << "LR" << 'U';
    QTest::newRow("four lefts come back") << "LLLL" << 'U';
    QTest::newRow("four rights come back") << "RRRR" << 'U';
    QTest::newRow("three rights face left") << "RRR" << 'L';
    QTest::newRow("dash does not turn") << "-" << 'U';
    QTest::newRow("other bytes do not turn") << "xU\x01" << 'U';
}

void TestAnt::turn()
{
    QFETCH(QString, letters);
    QFETCH(char, expected);
    Ant ant;
    for (QChar letter : letters)
        ant.Turn(letter.toLatin1());
    QCOMPARE(ant.GetPosition().Direction, expected);
    QCOMPARE(ant.GetPosition().X, 125);
}

void TestAnt::move_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<char>("direction");
    QTest::addColumn<bool>("moves");
    QTest::addColumn<int>("endX");
    QTest::addColumn<int>("endY");
    QTest::newRow("left edge facing out") << 0 << 100 << 'L' << false << 0 << 100;
    QTest::newRow("one before right edge") << 248 << 100 << 'R' << true << 249 << 100;
    QTest::newRow("right edge facing out") << 249 << 100 << 'R' << false << 249 << 100;
    QTest::newRow("top edge facing out") << 100 << 0 << 'U' << false << 100 << 0;
    QTest::newRow("one before bottom edge") << 100 << 248 << 'D' << true << 100 << 249;
    QTest::newRow("bottom edge facing out") << 100 << 249 << 'D' << false << 100 << 249;
    QTest::newRow("left edge facing in") << 0 << 100 << 'R' << true << 1 << 100;
    QTest::newRow("corner facing up") << 249 << 0 << 'U' << false << 249 << 0;
    QTest::newRow("unknown heading never moves") << 100 << 100 << 'X' << false << 100 << 100;
}

void TestAnt::move()
{
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(char, direction);
    QFETCH(bool, moves);
    QFETCH(int, endX);
    QFETCH(int, endY);
    Ant ant;
    ant.SetPosition(AntPosition{x, y, direction});
    QCOMPARE(ant.Move(), moves);
    QCOMPARE(ant.GetPosition().X, endX);
    QCOMPARE(ant.GetPosition().Y, endY);
    QCOMPARE(ant.GetPosition().Direction, direction);
}

void TestAnt::cycleStep()
{
    Ant ant;
    ant.CycleStep(0);
    QCOMPARE(ant.GetAI().Steps, std::string("L-----------"));
    QCOMPARE(ant.GetAI().ActiveSteps, 0); // counted only by NormalizeAI
    ant.NormalizeAI();
    QCOMPARE(ant.GetAI().ActiveSteps, 1);

    ant.CycleStep(0);
    QCOMPARE(ant.GetAI().Steps[0], 'R');
    ant.CycleStep(0);
    QCOMPARE(ant.GetAI().Steps[0], '-');

    ant.CycleStep(12);
    ant.CycleStep(-1);
    QCOMPARE(ant.GetAI().Steps, std::string("------------"));
    ant.CycleStep(11);
    QCOMPARE(ant.GetAI().Steps, std::string("-----------L"));
}

void TestAnt::setRule_data()
{
    QTest::addColumn<QString>("edited");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("active");
    QTest::newRow("gap cuts the rest") << "L-R-LR"
                                       << "L-----------" << 1;
    QTest::newRow("letters after the gap go") << "LRRL-L"
                                              << "LRRL--------" << 4;
    QTest::newRow("empty stays empty") << ""
                                       << "------------" << 0;
    QTest::newRow("leading gap empties all") << "-RL"
                                             << "------------" << 0;
    QTest::newRow("full rule kept") << "LRLRLRLRLRLR"
                                    << "LRLRLRLRLRLR" << 12;
    // Refused: the rule set before (LLRR) stays.
    QTest::newRow("thirteen letters refused") << "LRLRLRLRLRLRL"
                                              << "LLRR--------" << -1;
    QTest::newRow("unknown letter refused") << "LRX"
                                            << "LLRR--------" << -1;
    QTest::newRow("lower case refused") << "lr"
                                        << "LLRR--------" << -1;
}

// Rules are tidied as the editor's NormalizeAI tidies them.
void TestAnt::setRule()
{
    QFETCH(QString, edited);
    QFETCH(QString, expected);
    QFETCH(int, active);
    Ant ant;
    ant.ApplyPreset(31);
    QCOMPARE(ant.SetRule(edited.toStdString()), active >= 0);
    QCOMPARE(QString::fromStdString(ant.GetAI().Steps), expected);
    QCOMPARE(ant.GetAI().ActiveSteps, active >= 0 ? active : 4);
    QCOMPARE(QString::fromStdString(ant.ActiveRule()), expected.left(ant.GetAI().ActiveSteps));
    QCOMPARE(ant.GetAI().Size, 12);
}

void TestAnt::applyPreset_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("active");
    QTest::newRow("first") << 1 << "RLRLRLLRLR--" << 10;
    QTest::newRow("two letters") << 3 << "LR----------" << 2;
    QTest::newRow("start rule") << 5 << "RRLRLRR-----" << 7;
    QTest::newRow("full twelve") << 4 << "LLRRRLRLRLLR" << 12;
    QTest::newRow("last") << 31 << "LLRR--------" << 4;
    QTest::newRow("zero is empty") << 0 << "------------" << 0;
    QTest::newRow("past the end is empty") << 32 << "------------" << 0;
    QTest::newRow("negative is empty") << -5 << "------------" << 0;
}

void TestAnt::applyPreset()
{
    QFETCH(int, number);
    QFETCH(QString, steps);
    QFETCH(int, active);
    Ant ant;
    ant.ApplyPreset(9); // something to overwrite
    ant.ApplyPreset(number);
    QCOMPARE(QString::fromStdString(ant.GetAI().Steps), steps);
    QCOMPARE(ant.GetAI().ActiveSteps, active);
    QCOMPARE(ant.GetAI().Size, 12);
}

void TestAnt::resetsAreIndependent()
{
    Ant ant;
    ant.SetPosition(AntPosition{3, 4, 'D'});
    ant.ApplyPreset(2);
    ant.ResetAI();
    QCOMPARE(ant.GetPosition().X, 3);
    QCOMPARE(ant.GetPosition().Direction, 'D');

    ant.ApplyPreset(2);
    ant.ResetPosition();
    QCOMPARE(ant.GetAI().Steps, std::string("LLRLLLRR----"));
    QCOMPARE(ant.GetPosition().X, 125);
    QCOMPARE(ant.GetPosition().Y, 125);
    QCOMPARE(ant.GetPosition().Direction, 'U');
}

void TestAnt::copiesAreDeep()
{
    Ant ant;
    ant.ApplyPreset(5);
    const AntAI copy = ant.GetAI();
    ant.CycleStep(0);
    ant.ResetAI();
    QCOMPARE(copy.Steps, std::string("RRLRLRR-----"));
    QCOMPARE(copy.ActiveSteps, 7);
}

QTEST_GUILESS_MAIN(TestAnt)
#include "tst_ant.moc"
