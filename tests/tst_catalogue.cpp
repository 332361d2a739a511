#include "Ant.h"
#include "AntField.h"
#include "BatchRunner.h"
#include "Iteration.h"
#include "PresetCatalogue.h"

#include <QtTest>

#include <cstring>
#include <memory>
#include <random>

namespace
{
struct Run
{
    std::unique_ptr<AntField> Field = std::make_unique<AntField>();
    Ant TheAnt;
};

// Plain single iterations, counted the way the window counts them.
BatchResult IterateSlowly(Run& run, std::uint64_t cap)
{
    BatchResult result;
    while (result.Iterations < cap)
    {
        ++result.Iterations;
        if (Iterate(*run.Field, run.TheAnt) == IterationResult::Blocked)
        {
            result.Finished = true;
            break;
        }
    }
    return result;
}

bool SameState(Run& a, Run& b)
{
    const AntPosition p = a.TheAnt.GetPosition();
    const AntPosition q = b.TheAnt.GetPosition();
    if (p.X != q.X || p.Y != q.Y || p.Direction != q.Direction)
        return false;
    for (int y = 0; y < AntField::FieldSize; ++y)
        for (int x = 0; x < AntField::FieldSize; ++x)
            if (a.Field->GetCell(x, y) != b.Field->GetCell(x, y))
                return false;
    return true;
}
} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void storage();
    void labels();
    void everyPresetEndsAtItsLabel_data();
    void everyPresetEndsAtItsLabel();
    void preset03FinalColours();
    void batchEqualsSingleIterations_data();
    void batchEqualsSingleIterations();
    void batchHandlesForeignCells();
    void batchWithEmptyRuleOnlyCounts();
};

void TestCatalogue::storage()
{
    QCOMPARE(std::strlen(PresetCatalogue::Letters), std::size_t(32 * 12));
    QCOMPARE(QByteArray(PresetCatalogue::Letters, 12), QByteArray("LLRR--------"));
    QCOMPARE(QByteArray(PresetCatalogue::Letters + 30 * 12, 12), QByteArray("RLRLRLLRLR--"));
    QCOMPARE(QByteArray(PresetCatalogue::Letters + 31 * 12, 12), QByteArray("------------"));
    // No preset has a letter after a gap, so loading never loses one.
    for (int n = 1; n <= PresetCatalogue::PresetCount; ++n)
    {
        const QByteArray row(PresetCatalogue::PresetRow(n), 12);
        QVERIFY2(!row.contains("-L") && !row.contains("-R"), row.constData());
    }
}

void TestCatalogue::labels()
{
    QCOMPARE(QString(PresetCatalogue::Label(1)), QString(" 01 -- RLRLRLLRLR -- 6.551"));
    QCOMPARE(QString(PresetCatalogue::Label(18)), QString(" 18 -- LLLRLLRRRLL 401.491"));
    QCOMPARE(QString(PresetCatalogue::Label(31)), QString(" 31 -- LLRR -- 18.340.311"));
    QCOMPARE(QString(PresetCatalogue::PicturePath(7)),
             QString(":/resources/pictures/ant_ai_preset_07.png"));
    QVERIFY(PresetCatalogue::Label(0) == nullptr && PresetCatalogue::Label(32) == nullptr);
    QCOMPARE(PresetCatalogue::ExpectedIterations(18), std::uint64_t(401491));
    QCOMPARE(PresetCatalogue::ExpectedIterations(31), std::uint64_t(18340311));

    std::uint64_t previous = 0;
    for (int n = 1; n <= PresetCatalogue::PresetCount; ++n)
    {
        // Each label names its number and its active letters, and the counts grow.
        Ant ant;
        ant.ApplyPreset(n);
        const QString label = PresetCatalogue::Label(n);
        const QString letters =
            QString::fromStdString(ant.GetAI().Steps.substr(0, ant.GetAI().ActiveSteps));
        QVERIFY2(label.startsWith(QString(" %1 -- %2 ").arg(n, 2, 10, QChar('0')).arg(letters)),
                 qPrintable(label));
        QVERIFY(PresetCatalogue::ExpectedIterations(n) > previous);
        previous = PresetCatalogue::ExpectedIterations(n);
    }
}

void TestCatalogue::everyPresetEndsAtItsLabel_data()
{
    QTest::addColumn<int>("number");
    for (int n = 1; n <= PresetCatalogue::PresetCount; ++n)
        QTest::newRow(PresetCatalogue::Label(n)) << n;
}

void TestCatalogue::everyPresetEndsAtItsLabel()
{
    QFETCH(int, number);
    Run run;
    run.TheAnt.ApplyPreset(number);
    const BatchResult result = BatchRunner::Run(*run.Field, run.TheAnt);
    QVERIFY(result.Finished);
    QCOMPARE(result.Iterations, PresetCatalogue::ExpectedIterations(number));

    const AntPosition end = run.TheAnt.GetPosition();
    if (number == 1)
        QVERIFY(end.X == 0 && end.Y == 166 && end.Direction == 'L');
    if (number == 3)
        QVERIFY(end.X == 249 && end.Y == 223 && end.Direction == 'R');
    if (number == 5)
        QVERIFY(end.X == 249 && end.Y == 167 && end.Direction == 'R');
}

void TestCatalogue::preset03FinalColours()
{
    Run run;
    run.TheAnt.ApplyPreset(3);
    QCOMPARE(IterateSlowly(run, 100000).Iterations, std::uint64_t(15517));
    int counts[3] = {};
    for (int y = 0; y < AntField::FieldSize; ++y)
        for (int x = 0; x < AntField::FieldSize; ++x)
            ++counts[run.Field->GetCell(x, y)];
    QCOMPARE(counts[0], 59954);
    QCOMPARE(counts[1], 1191);
    QCOMPARE(counts[2], 1355);
}

void TestCatalogue::batchEqualsSingleIterations_data()
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

void TestCatalogue::batchEqualsSingleIterations()
{
    QFETCH(int, number);
    QFETCH(int, cap);
    Run slow;
    Run fast;
    slow.TheAnt.ApplyPreset(number);
    fast.TheAnt.ApplyPreset(number);
    const BatchResult expected = IterateSlowly(slow, std::uint64_t(cap));

    // Split the batch in two, so a resumed run is covered as well.
    const std::uint64_t first = std::uint64_t(cap) / 3;
    BatchResult got = BatchRunner::Run(*fast.Field, fast.TheAnt, first);
    if (!got.Finished)
    {
        const BatchResult rest = BatchRunner::Run(*fast.Field, fast.TheAnt, cap - first);
        got.Iterations += rest.Iterations;
        got.Finished = rest.Finished;
    }
    QCOMPARE(got.Iterations, expected.Iterations);
    QCOMPARE(got.Finished, expected.Finished);
    QVERIFY(SameState(slow, fast));
}

void TestCatalogue::batchHandlesForeignCells()
{
    // Values outside the cycle, and colours above the rule's count, behave as single steps do.
    Run slow;
    Run fast;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(-3, 15);
    for (int i = 0; i < 4000; ++i)
    {
        const int x = 100 + int(random() % 50);
        const int y = 100 + int(random() % 50);
        const int v = value(random);
        slow.Field->SetCell(x, y, v);
        fast.Field->SetCell(x, y, v);
    }
    slow.TheAnt.ApplyPreset(17);
    fast.TheAnt.ApplyPreset(17);
    const BatchResult expected = IterateSlowly(slow, 300000);
    const BatchResult got = BatchRunner::Run(*fast.Field, fast.TheAnt, 300000);
    QCOMPARE(got.Iterations, expected.Iterations);
    QCOMPARE(got.Finished, expected.Finished);
    QVERIFY(SameState(slow, fast));
}

void TestCatalogue::batchWithEmptyRuleOnlyCounts()
{
    Run run;
    run.Field->SetCell(125, 125, 3);
    const BatchResult result = BatchRunner::Run(*run.Field, run.TheAnt, 5000000000ULL);
    QCOMPARE(result.Iterations, 5000000000ULL);
    QVERIFY(!result.Finished);
    QCOMPARE(run.Field->GetCell(125, 125), 3);
    QCOMPARE(run.TheAnt.GetPosition().Y, 125);
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
