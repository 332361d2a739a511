#include "Ant.h"
#include "HighwayFuture.h"
#include "PackedField.h"
#include "PlaneReference.h"
#include "Runner.h"

#include <QtTest>

#include <algorithm>

namespace
{
// What the plane holds after stepping there one iteration at a time: the reference.
struct Stepped
{
    std::int64_t X = 0, Y = 0;
    int Heading = 0;
    AntField::ColourCounts Colours{};
    std::int64_t MinX = INT64_MAX, MinY = INT64_MAX, MaxX = INT64_MIN, MaxY = INT64_MIN;
};

Stepped StepTo(PlaneReference& plane, Stepped state, std::uint64_t target)
{
    while (plane.Done < target)
    {
        const int x = plane.X, y = plane.Y;
        const std::uint8_t before = plane.Cell(x, y);
        plane.Step();
        if (before != 0)
            --state.Colours[before];
        ++state.Colours[plane.Cell(x, y)];
        state.MinX = std::min<std::int64_t>(state.MinX, x);
        state.MinY = std::min<std::int64_t>(state.MinY, y);
        state.MaxX = std::max<std::int64_t>(state.MaxX, x);
        state.MaxY = std::max<std::int64_t>(state.MaxY, y);
    }
    state.X = plane.X;
    state.Y = plane.Y;
    state.Heading = plane.Heading;
    return state;
}

struct ProvenRun
{
    PackedField Field{PackedField::DefaultSize, true};
    AntPosition Position;
    RunResult Result;
};

ProvenRun RunToHighway(const std::string& rule)
{
    ProvenRun run;
    run.Position = {run.Field.StartX(), run.Field.StartY(), Ant::StartDirection};
    Ant ant;
    ant.SetRule(rule);
    RunOptions options;
    options.Plane = true;
    options.HighwayMaxPeriod = 2000;
    options.Cap = 10000000;
    run.Result = Runner().Run(run.Field, run.Position, ant.GetAI(), options);
    return run;
}
} // namespace

class TestHighwayFuture : public QObject
{
    Q_OBJECT

private slots:
    void equalsSteppingThere_data();
    void equalsSteppingThere();
    void farFutureKeepsCountsExact();
    void windowEqualsSteppingThere_data();
    void windowEqualsSteppingThere();
};

void TestHighwayFuture::equalsSteppingThere_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<quint64>("beyond"); // iterations past the proof's end
    // With a period boundary: that many iterations after the first one `beyond` on.
    QTest::addColumn<int>("afterBoundary");
    QTest::addColumn<bool>("aroundBoundary");
    // Drifts of every sign: (2, 2), (-2, 2), (-1, 1), (-2, 2), (-4, -4), (4, -4); and two
    // highways that begin after 10^6 iterations (onsets 1 210 285 and 1 543 281).
    for (const char* rule : {"LR", "RL", "LLR", "LLLR", "RRLR", "LLRL", "LLRRLRLLR", "LLRRRLLL"})
    {
        for (const quint64 beyond : {0, 5, 123457, 2000003})
            QTest::newRow(QString("%1 +%2").arg(rule).arg(beyond).toUtf8().constData())
                << QString(rule) << beyond << 0 << false;
        for (const int after : {-1, 0, 1})
            QTest::newRow(QString("%1 boundary %2").arg(rule).arg(after).toUtf8().constData())
                << QString(rule) << quint64(1000) << after << true;
    }
    // Far on, as far as the reference steps in seconds (10^8: the slow run only).
    QTest::newRow("LLR near 10^7") << QString("LLR") << quint64(9999989) << 0 << false;
    if (qEnvironmentVariableIsSet("FORMICULA_SLOW_TESTS"))
        QTest::newRow("LLR near 10^8") << QString("LLR") << quint64(99999989) << 0 << false;
}

// Every count, the box and the ant, against the plane stepped one iteration at a time.
void TestHighwayFuture::equalsSteppingThere()
{
    QFETCH(QString, rule);
    QFETCH(quint64, beyond);
    QFETCH(int, afterBoundary);
    QFETCH(bool, aroundBoundary);
    const ProvenRun run = RunToHighway(rule.toStdString());
    QCOMPARE(run.Result.Outcome, RunOutcome::Highway);
    std::uint64_t target = run.Result.Iterations + beyond;
    if (aroundBoundary)
    {
        const Highway& highway = run.Result.Highway;
        const std::uint64_t periods =
            (target - highway.CertifiedAt + highway.Period - 1) / highway.Period;
        target = highway.CertifiedAt + periods * highway.Period + afterBoundary;
    }
    Ant ant;
    ant.SetRule(rule.toStdString());
    const std::optional<HighwayFuture> future = HighwayFuture::Of(
        run.Field, run.Position, ant.GetAI(), run.Result.Iterations, run.Result.Highway, target);
    QVERIFY(future);

    PlaneReference plane(rule.toStdString());
    const Stepped stepped = StepTo(plane, Stepped{}, target);
    QCOMPARE(future->Iterations, target);
    QCOMPARE(future->X, stepped.X);
    QCOMPARE(future->Y, stepped.Y);
    QCOMPARE(future->Direction, "URDL"[stepped.Heading]);
    std::uint64_t visited = 0;
    for (int c = 1; c < AntField::ColourCount; ++c)
    {
        QCOMPARE(future->Coloured[c], stepped.Colours[c]);
        visited += stepped.Colours[c];
    }
    QCOMPARE(future->Visited, visited);
    QCOMPARE(future->MinX, stepped.MinX);
    QCOMPARE(future->MinY, stepped.MinY);
    QCOMPARE(future->MaxX, stepped.MaxX);
    QCOMPARE(future->MaxY, stepped.MaxY);
    const std::uint64_t box = std::uint64_t(stepped.MaxX - stepped.MinX + 1) *
                              std::uint64_t(stepped.MaxY - stepped.MinY + 1);
    QCOMPARE(future->Blank, std::optional<std::uint64_t>(box - visited));
}

// At 2^63 - 1 iterations LR's box, 3.5e17 cells wide, holds more blank cells than 64 bits
// count; the coloured cells still grow by one period's change per period.
void TestHighwayFuture::farFutureKeepsCountsExact()
{
    const ProvenRun run = RunToHighway("LR");
    Ant ant;
    ant.SetRule("LR");
    const std::uint64_t last = INT64_MAX;
    const std::uint64_t period = run.Result.Highway.Period;
    auto at = [&](std::uint64_t target)
    {
        return HighwayFuture::Of(run.Field, run.Position, ant.GetAI(), run.Result.Iterations,
                                 run.Result.Highway, target);
    };
    const std::optional<HighwayFuture> far = at(last);
    const std::optional<HighwayFuture> before = at(last - 1000 * period);
    QVERIFY(far && before);
    QVERIFY(!far->Blank);
    QCOMPARE(far->X - before->X, 1000 * std::int64_t{run.Result.Highway.DriftX});
    QCOMPARE(far->Y - before->Y, 1000 * std::int64_t{run.Result.Highway.DriftY});
    QCOMPARE(far->MaxX - before->MaxX, 1000 * std::int64_t{run.Result.Highway.DriftX});
    const std::optional<HighwayFuture> near = at(run.Result.Iterations + 3 * period);
    const std::optional<HighwayFuture> next = at(run.Result.Iterations + 4 * period);
    QVERIFY(near && next);
    QCOMPARE(far->Visited - before->Visited, 1000 * (next->Visited - near->Visited));
    QVERIFY(far->Visited > 0 && far->Visited < last);
}

void TestHighwayFuture::windowEqualsSteppingThere_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<quint64>("beyond");
    // Windows about the ant at the end (its highway's head), about the start (the run's own
    // cells), and across the trail half way.
    QTest::addColumn<int>("where");
    for (const char* rule : {"LR", "LLR", "RRLR", "LLRL", "LLRRLRLLR"})
        for (const quint64 beyond : {7, 300001})
            for (const int where : {0, 1, 2})
                QTest::newRow(QString("%1 +%2 window %3").arg(rule).arg(beyond).arg(where).toUtf8())
                    << QString(rule) << beyond << where;
}

// Every cell of a window at a far iteration, against the plane stepped there.
void TestHighwayFuture::windowEqualsSteppingThere()
{
    QFETCH(QString, rule);
    QFETCH(quint64, beyond);
    QFETCH(int, where);
    const ProvenRun run = RunToHighway(rule.toStdString());
    QCOMPARE(run.Result.Outcome, RunOutcome::Highway);
    const std::uint64_t target = run.Result.Iterations + beyond;
    Ant ant;
    ant.SetRule(rule.toStdString());
    const std::optional<HighwayFuture> future = HighwayFuture::Of(
        run.Field, run.Position, ant.GetAI(), run.Result.Iterations, run.Result.Highway, target);
    QVERIFY(future);
    const std::int64_t centres[3][2] = {
        {future->X, future->Y},
        {run.Field.StartX(), run.Field.StartY()},
        {(future->X + run.Position.X) / 2, (future->Y + run.Position.Y) / 2}};
    const int side = 61;
    const int left = static_cast<int>(centres[where][0]) - side / 2;
    const int top = static_cast<int>(centres[where][1]) - side / 2;
    const std::optional<PackedField> window =
        HighwayFuture::Window(run.Field, run.Position, ant.GetAI(), run.Result.Iterations,
                              run.Result.Highway, target, left, top, side, side);
    QVERIFY(window);
    PlaneReference plane(rule.toStdString());
    StepTo(plane, Stepped{}, target);
    for (int y = top; y < top + side; ++y)
        for (int x = left; x < left + side; ++x)
            if (window->Colour(x, y) != plane.Cell(x, y))
                QFAIL(qPrintable(QString("cell (%1, %2): %3, stepped %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(window->Colour(x, y))
                                     .arg(plane.Cell(x, y))));
}

QTEST_GUILESS_MAIN(TestHighwayFuture)
#include "tst_highwayfuture.moc"
