#include "Ant.h"
#include "AntField.h"
#include "HighwayCourse.h"
#include "HighwayProof.h"
#include "HighwayTracker.h"
#include "HighwayType.h"
#include "PackedField.h"
#include "PlaneReference.h"
#include "Runner.h"
#include "StartField.h"
#include "StepTable.h"
#include "Support.h"

#include <QtTest>

#include <memory>
#include <optional>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace
{
constexpr std::uint64_t DefaultMaxPeriod = 20000;

QString Describe(const HighwayProof& proof)
{
    const Highway& w = proof.Highway;
    switch (proof.Result)
    {
    case HighwayProof::None:
        return QStringLiteral("none");
    case HighwayProof::Unproven:
        return QStringLiteral("unproven period %1").arg(w.Period);
    case HighwayProof::ReachesBack:
        return QStringLiteral("period %1 reaches back").arg(w.Period);
    case HighwayProof::Proven:
        break;
    }
    return QStringLiteral("period %1 from %2, drift (%3, %4)")
        .arg(w.Period)
        .arg(w.Onset)
        .arg(w.DriftX)
        .arg(w.DriftY);
}

QString Describe(const Highway& w)
{
    HighwayProof proof;
    proof.Result = w.Found ? HighwayProof::Proven : HighwayProof::None;
    proof.Highway = w;
    return Describe(proof) + (w.Found ? QStringLiteral(", proven at %1").arg(w.CertifiedAt) : "");
}

// Length of a plane walk from the start that proves each published highway.
std::uint64_t WalkLength(const std::string& rule)
{
    return rule == "RRLR" ? 280000 : 20000;
}

HighwayProof FromTheStart(const std::string& rule, std::uint64_t length)
{
    PlaneReference plane(rule);
    return ProveHighway(plane.Walk(length), DefaultMaxPeriod);
}

// A copy of a walk whose cells before its first step are blank but for the given ones, in
// a rectangle that holds them all.
struct Planted
{
    ::Walk Walk;
    std::vector<std::uint8_t> Cells;
};

Planted Plant(const ::Walk& walk, const std::vector<std::pair<int, int>>& cells)
{
    Planted planted{walk, {}};
    int left = walk.Steps[0].X;
    int top = walk.Steps[0].Y;
    int right = left;
    int bottom = top;
    for (const auto& [x, y] : cells)
    {
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
    }
    ::Walk& w = planted.Walk;
    w.Left = left;
    w.Top = top;
    w.Width = right - left + 1;
    w.Height = bottom - top + 1;
    w.Stride = w.Width;
    planted.Cells.assign(static_cast<std::size_t>(w.Width) * w.Height, 0);
    for (const auto& [x, y] : cells)
        planted.Cells[static_cast<std::size_t>((y - top) * w.Width + (x - left))] = 2;
    w.Cells = planted.Cells.data();
    return planted;
}

// The cells of one period from step `from`, relative to the ant, and the largest j with
// F and F + jd meeting, by comparing every pair.
std::pair<std::vector<std::pair<int, int>>, int>
FootprintAndReach(const ::Walk& walk, std::size_t from, int period, int dx, int dy)
{
    std::set<std::pair<int, int>> cells;
    for (int i = 0; i < period; ++i)
        cells.insert({walk.Steps[from + i].X - walk.Steps[from].X,
                      walk.Steps[from + i].Y - walk.Steps[from].Y});
    int reach = 0;
    for (const auto& a : cells)
        for (const auto& b : cells)
            for (int j = 1; j < 1000; ++j)
                if (b.first - a.first == j * dx && b.second - a.second == j * dy)
                    reach = std::max(reach, j);
    return {{cells.begin(), cells.end()}, reach};
}
} // namespace

namespace
{
// A run from the start on a bounded field, looking for highways.
RunResult RunOnField(const std::string& rule, int size, std::uint64_t cap)
{
    Ant ant;
    ant.SetRule(rule);
    PackedField field(size, false);
    AntPosition position{field.StartX(), field.StartY(), Ant::StartDirection};
    RunOptions options;
    options.Cap = cap;
    options.HighwayMaxPeriod = DefaultMaxPeriod;
    return Runner().Run(field, position, ant.GetAI(), options);
}

// A run on the plane from the start cell heading `heading`, the given cells planted first.
struct PlaneRun
{
    RunResult Result;
    std::optional<HighwayType> Type;
};

PlaneRun RunOnPlane(const std::string& rule, char heading, std::uint64_t cap,
                    const std::vector<std::pair<std::pair<int, int>, int>>& planted = {})
{
    Ant ant;
    ant.SetRule(rule);
    PackedField plane(PackedField::MinSize);
    for (const auto& [cell, colour] : planted)
    {
        // One cell at a time: Place keeps what the plane holds only when it is given whole.
        StartField start;
        start.Width = start.Height = 1;
        start.Left = cell.first;
        start.Top = cell.second;
        start.Colours = {static_cast<std::uint8_t>(colour)};
        const std::string problem =
            start.Place(plane, PackedField::DefaultSize, true, RunOptions::DefaultMaxMemory,
                        Ant::StartX, Ant::StartY);
        if (!problem.empty())
            qFatal("%s", problem.c_str());
    }
    if (planted.empty())
        plane = PackedField(PackedField::DefaultSize, true);
    AntPosition position{Ant::StartX, Ant::StartY, heading};
    RunOptions options;
    options.Cap = cap;
    options.HighwayMaxPeriod = DefaultMaxPeriod;
    PlaneRun run;
    run.Result = Runner().Run(plane, position, ant.GetAI(), options);
    if (const auto course = HighwayCourse::Of(plane, position, ant.GetAI(), run.Result.Iterations,
                                              run.Result.Highway))
        run.Type = HighwayType::Of(*course);
    return run;
}
} // namespace

class TestHighway : public QObject
{
    Q_OBJECT

private slots:
    void published_data();
    void published();
    void fieldRunsProveAsThePlane_data();
    void fieldRunsProveAsThePlane();
    void largeFieldsProveAsThePlane_data();
    void largeFieldsProveAsThePlane();
    void fieldRunsThatProveNothing_data();
    void fieldRunsThatProveNothing();
    void planeRunsEndOnAProvenHighway_data();
    void planeRunsEndOnAProvenHighway();
    void walkTooShortOrTooLate();
    void blankCellsAheadAreNeeded();
    void provenHighwaysKeepGoing();
    void highwayTypeIsOneUnderSymmetries_data();
    void highwayTypeIsOneUnderSymmetries();
    void typeOfARunsEnd_data();
    void typeOfARunsEnd();
    void typeDriftUpToSymmetry_data();
    void typeDriftUpToSymmetry();
    void plantedCellsAheadDelayTheProof_data();
    void plantedCellsAheadDelayTheProof();
    void cappedOnItsHighwayBeforeAPlantedCell_data();
    void cappedOnItsHighwayBeforeAPlantedCell();
    void lookAheadThatDoesNotFitLeavesTheProof();
};

void TestHighway::published_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("expected");
    QTest::newRow("LR") << "LR"
                        << "period 104 from 9977, drift (2, 2)";
    // Blank and colour 1 told apart, LLR's colours would repeat only from 52.
    QTest::newRow("LLR") << "LLR"
                         << "period 18 from 39, drift (-1, 1)";
    QTest::newRow("LLLR") << "LLLR"
                          << "period 52 from 79, drift (-2, 2)";
    QTest::newRow("RRLR") << "RRLR"
                          << "period 384 from 256241, drift (-4, -4)";
}

// On the plane from the start, and from a later start before the onset, which must date
// the highway and its proof the same.
void TestHighway::published()
{
    QFETCH(QString, rule);
    QFETCH(QString, expected);
    const std::uint64_t length = WalkLength(rule.toStdString());
    PlaneReference plane(rule.toStdString());
    const HighwayProof whole = ProveHighway(plane.Walk(length), DefaultMaxPeriod);
    QCOMPARE(Describe(whole), expected);
    QVERIFY(whole.Highway.CertifiedAt >= whole.Highway.Onset);
    QVERIFY(whole.Highway.CertifiedAt < length);

    PlaneReference later(rule.toStdString());
    const std::uint64_t skip = whole.Highway.Onset / 2;
    later.Walk(skip);
    const HighwayProof fromLater = ProveHighway(later.Walk(length - skip), DefaultMaxPeriod);
    QCOMPARE(Describe(fromLater.Highway), Describe(whole.Highway));
}

void TestHighway::fieldRunsProveAsThePlane_data()
{
    QTest::addColumn<QString>("rule");
    for (const char* rule : {"LR", "LLR", "LLLR", "RRLR"})
        QTest::newRow(rule) << rule;
    // Fewer than four periods on the field: proven only past the border.
    QTest::newRow("LLRRRLRLLLR") << "LLRRRLRLLLR";
    QTest::newRow("LRLLRRLRRRRR") << "LRLLRRLRRRRR";
    QTest::newRow("RLR, none") << "RLR";
}

// These leave the field soon after their highway begins: the proof goes on past the
// run's end on the plane, and the run's end state stays as it was. A plane walk a little
// longer than the run proves the same.
void TestHighway::fieldRunsProveAsThePlane()
{
    QFETCH(QString, rule);
    Ant ant;
    QVERIFY(ant.SetRule(rule.toStdString()));
    Ant plain = ant;
    auto field = std::make_unique<AntField>();
    auto plainField = std::make_unique<AntField>();
    RunOptions options;
    options.HighwayMaxPeriod = DefaultMaxPeriod;
    const RunResult result = Runner().Run(*field, ant, options);
    const RunResult without = Runner().Run(*plainField, plain);
    QCOMPARE(result.Outcome, RunOutcome::Finished);
    QCOMPARE(StateDifference(CaptureState(*field, ant), CaptureState(*plainField, plain)),
             QString());
    QCOMPARE(result.Iterations, without.Iterations);

    const HighwayProof onPlane = FromTheStart(rule.toStdString(), result.Iterations + 60000);
    QCOMPARE(result.Highway.Found, rule != QLatin1String("RLR"));
    QCOMPARE(Describe(result.Highway), Describe(onPlane.Highway));
}

void TestHighway::largeFieldsProveAsThePlane_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<int>("size");
    QTest::addColumn<qulonglong>("cap");
    QTest::newRow("LR on 3001, capped on its highway") << "LR" << 3001 << 50000ULL;
    QTest::newRow("LLR on 2000, capped on its highway") << "LLR" << 2000 << 12000ULL;
    QTest::newRow("RRLR on 1501, capped on its highway") << "RRLR" << 1501 << 300000ULL;
    QTest::newRow("RLR on 4000, none") << "RLR" << 4000 << 300000ULL;
}

// On a large field the snapshots keep only the visited part, and a replay's field grows
// from it towards the edges: capped far from them, a run proves what the plane does.
void TestHighway::largeFieldsProveAsThePlane()
{
    QFETCH(QString, rule);
    QFETCH(int, size);
    QFETCH(qulonglong, cap);
    const RunResult result = RunOnField(rule.toStdString(), size, cap);
    QCOMPARE(result.Outcome, RunOutcome::Cap);
    const HighwayProof onPlane = FromTheStart(rule.toStdString(), cap + 60000);
    QCOMPARE(Describe(result.Highway), Describe(onPlane.Highway));
}

void TestHighway::fieldRunsThatProveNothing_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<qulonglong>("cap");
    QTest::addColumn<int>("size");
    // A staircase over the last iterations before the border, and a walk along the edge
    // of a growing shape.
    QTest::newRow("RRRRLR") << "RRRRLR" << qulonglong(RunOptions::NoCap) << 250;
    QTest::newRow("RRLRR") << "RRLRR" << qulonglong(RunOptions::NoCap) << 250;
    // Capped inside the field: ends repeating with period 2.
    QTest::newRow("LLLLRRRR capped") << "LLLLRRRR" << 10000000ULL << 250;
    // Leaves a small field while still disorderly: its highway only begins well after
    // the end, so it is not the one the run ended on.
    QTest::newRow("LR on 50") << "LR" << qulonglong(RunOptions::NoCap) << 50;
}

void TestHighway::fieldRunsThatProveNothing()
{
    QFETCH(QString, rule);
    QFETCH(qulonglong, cap);
    QFETCH(int, size);
    const RunResult result = RunOnField(rule.toStdString(), size, cap);
    QCOMPARE(Describe(result.Highway), QStringLiteral("none"));
}

void TestHighway::planeRunsEndOnAProvenHighway_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<bool>("proven");
    QTest::addColumn<QString>("expected"); // empty: what a plane walk from the start proves
    for (const char* rule : {"LR", "LLR", "LLLR", "RRLR"})
        QTest::newRow(rule) << rule << true << QString();
    // Late enough that most snapshots look ahead before replaying what came before.
    QTest::newRow("RRLLLRLRRRR") << "RRLLLRLRRRR" << true
                                 << "period 756 from 32386303, drift (-2, -2), proven at 32386303";
    // Still disorderly, or along the edge of what they built, at 10^8: half a minute in
    // all, so only under the slow label (FORMICULA_SLOW_TESTS set).
    if (qEnvironmentVariableIsSet("FORMICULA_SLOW_TESTS"))
        for (const char* rule : {"RLR", "LLRR", "LRRRRRLLR", "RRLLLRLLLRRR"})
            QTest::newRow(rule) << rule << false << QString();
}

// On the plane a run stops once its highway is proven, with what a plane walk proves.
void TestHighway::planeRunsEndOnAProvenHighway()
{
    QFETCH(QString, rule);
    QFETCH(bool, proven);
    QFETCH(QString, expected);
    Ant ant;
    QVERIFY(ant.SetRule(rule.toStdString()));
    PackedField plane(PackedField::DefaultSize, true);
    AntPosition position{plane.StartX(), plane.StartY(), Ant::StartDirection};
    RunOptions options;
    options.Cap = 100000000;
    options.HighwayMaxPeriod = DefaultMaxPeriod;
    const RunResult result = Runner().Run(plane, position, ant.GetAI(), options);
    QCOMPARE(result.Outcome, proven ? RunOutcome::Highway : RunOutcome::Cap);
    if (!proven)
    {
        QCOMPARE(Describe(result.Highway), QStringLiteral("none"));
        return;
    }
    if (expected.isEmpty())
        expected =
            Describe(FromTheStart(rule.toStdString(), WalkLength(rule.toStdString())).Highway);
    QCOMPARE(Describe(result.Highway), expected);
    // Stopped at the first snapshot that could prove it.
    QVERIFY(result.Iterations > result.Highway.CertifiedAt);
}

void TestHighway::walkTooShortOrTooLate()
{
    // Two periods of LR's highway are too few to prove it.
    QCOMPARE(Describe(FromTheStart("LR", 9977 + 2 * 104)), QStringLiteral("unproven period 104"));
    // Ends in no repetition at all.
    QCOMPARE(Describe(FromTheStart("RLR", 100000)), QStringLiteral("none"));
    // A walk that starts on the highway cannot date it.
    PlaneReference plane("LR");
    plane.Walk(11000);
    QCOMPARE(Describe(ProveHighway(plane.Walk(5000), DefaultMaxPeriod)),
             QStringLiteral("period 104 reaches back"));
    // Too long a period for the limit.
    QCOMPARE(Describe(ProveHighway(PlaneReference("LR").Walk(20000), 103)), QStringLiteral("none"));
}

// A cell that is not blank on the highway's way, however far ahead, or among the cells
// of the period D after the proof's start, delays or prevents the proof; one behind it
// does not.
void TestHighway::blankCellsAheadAreNeeded()
{
    PlaneReference plane("LR");
    const ::Walk walk = plane.Walk(20000);
    const HighwayProof proof = ProveHighway(walk, DefaultMaxPeriod);
    QCOMPARE(proof.Result, HighwayProof::Proven);
    const Highway& w = proof.Highway;
    const auto t0 = static_cast<std::size_t>(w.CertifiedAt);
    const int p = static_cast<int>(w.Period);
    const auto [footprint, reach] = FootprintAndReach(walk, t0, p, w.DriftX, w.DriftY);
    QVERIFY(reach >= 1);
    const WalkStep& at = walk.Steps[t0];
    auto ahead = [&, fp = footprint](std::size_t i, int j) {
        return std::make_pair(at.X + fp[i].first + j * w.DriftX,
                              at.Y + fp[i].second + j * w.DriftY);
    };

    // Far ahead, well past the walk's end.
    for (const int j : {reach, reach + 1, 3000})
    {
        for (std::size_t i = 0; i < footprint.size(); i += footprint.size() / 3)
        {
            const Planted planted = Plant(walk, {ahead(i, j)});
            const HighwayProof with = ProveHighway(planted.Walk, DefaultMaxPeriod);
            QVERIFY2(with.Result != HighwayProof::Proven || with.Highway.CertifiedAt > t0,
                     qPrintable(QStringLiteral("j %1, cell %2").arg(j).arg(i)));
        }
    }
    // Far behind the ant, and off to the side of its way.
    const std::pair<int, int> behind = {at.X - 40 * w.DriftX, at.Y - 40 * w.DriftY};
    const std::pair<int, int> aside = {at.X + 60 * w.DriftY, at.Y - 60 * w.DriftX};
    for (const auto& cell : {behind, aside})
    {
        const Planted planted = Plant(walk, {cell});
        QCOMPARE(Describe(ProveHighway(planted.Walk, DefaultMaxPeriod).Highway), Describe(w));
    }
}

// For random rules whose highway is proven: an independent plain continuation for 100
// more periods keeps period and drift, the onset is the first step of the repetition
// and no shorter period repeats there.
void TestHighway::provenHighwaysKeepGoing()
{
    std::mt19937 rng(19);
    int proven = 0;
    for (int round = 0; round < 120; ++round)
    {
        std::string rule;
        for (auto letters = 2 + rng() % 7; letters > 0; --letters)
            rule += rng() % 2 ? 'R' : 'L';
        PlaneReference plane(rule);
        const ::Walk walk = plane.Walk(150000);
        const HighwayProof proof = ProveHighway(walk, 2000);
        if (proof.Result != HighwayProof::Proven)
            continue;
        ++proven;
        const Highway& w = proof.Highway;
        const QByteArray name = QByteArray::fromStdString(rule);
        auto merged = [](std::uint8_t colour) { return colour == 0 ? 1 : colour; };

        Walk::StepList steps = walk.Steps;
        steps.resize(steps.size() + 100 * w.Period + 1);
        for (std::size_t i = walk.Steps.size(); i < steps.size(); ++i)
            plane.Step(&steps[i]);
        for (std::size_t i = static_cast<std::size_t>(w.Onset); i + w.Period < steps.size(); ++i)
        {
            const WalkStep& a = steps[i];
            const WalkStep& b = steps[i + w.Period];
            QVERIFY2(merged(a.Colour) == merged(b.Colour) && b.X - a.X == w.DriftX &&
                         b.Y - a.Y == w.DriftY,
                     name.constData());
        }
        if (w.Onset > 0)
        {
            const std::size_t before = static_cast<std::size_t>(w.Onset) - 1;
            QVERIFY2(merged(steps[before].Colour) != merged(steps[before + w.Period].Colour) ||
                         steps[before].Heading != steps[before + w.Period].Heading,
                     name.constData());
        }
        for (std::uint64_t q = 1; q < w.Period; ++q)
        {
            bool repeats = true;
            for (std::size_t i = steps.size() - 2 * w.Period; i + q < steps.size() && repeats; ++i)
                repeats = merged(steps[i].Colour) == merged(steps[i + q].Colour);
            QVERIFY2(!repeats, name.constData());
        }
    }
    QVERIFY2(proven >= 10, qPrintable(QString::number(proven)));
}

void TestHighway::highwayTypeIsOneUnderSymmetries_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("heading");
    // A heading other than up rotates LR's highway; RL mirrors it.
    for (const char* heading : {"U", "R", "D", "L"})
        QTest::newRow(qPrintable(QStringLiteral("LR %1").arg(heading))) << "LR" << heading;
    QTest::newRow("RL U") << "RL"
                          << "U";
    QTest::newRow("RL R") << "RL"
                          << "R";
}

// Every copy is LR's type, and its colour change is what the reference counts over a period.
void TestHighway::highwayTypeIsOneUnderSymmetries()
{
    QFETCH(QString, rule);
    QFETCH(QString, heading);
    const char direction = heading.toLatin1()[0];
    const PlaneRun run = RunOnPlane(rule.toStdString(), direction, 1000000);
    QCOMPARE(run.Result.Outcome, RunOutcome::Highway);
    QVERIFY(run.Type.has_value());
    const PlaneRun upright = RunOnPlane("LR", 'U', 1000000);
    QVERIFY(upright.Type == run.Type);
    QCOMPARE(QString::fromStdString(run.Type->Name(2)), QStringLiteral("104 (2 2) +10 +12"));

    PlaneReference plane(rule.toStdString());
    plane.Heading = static_cast<int>(QByteArray("URDL").indexOf(direction));
    while (plane.Done < run.Result.Iterations)
        plane.Step();
    HighwayType::Changes change{};
    for (std::uint64_t i = 0; i < run.Result.Highway.Period; ++i)
    {
        WalkStep step;
        plane.Step(&step);
        if (step.Colour != 0)
            --change[step.Colour];
        ++change[plane.Cell(step.X, step.Y)];
    }
    QVERIFY(run.Type->Change == change);
}

void TestHighway::typeOfARunsEnd_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<int>("size"); // 0: the plane
    QTest::addColumn<quint64>("cap");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<bool>("provenLater"); // given the highway the plane's run proves
    QTest::addColumn<QString>("type");
    const QString lr = QStringLiteral("104 (2 2) +10 +12");
    QTest::newRow("LR on the plane") << "LR" << 0 << quint64(1000000) << "highway" << false << lr;
    QTest::newRow("RL on the plane") << "RL" << 0 << quint64(1000000) << "highway" << false << lr;
    // The edge refused the last move: the highway goes on on the plane.
    QTest::newRow("LR leaving the 250 field")
        << "LR" << 250 << quint64(1000000) << "finished" << false << lr;
    QTest::newRow("RL leaving a 101 field")
        << "RL" << 101 << quint64(1000000) << "finished" << false << lr;
    QTest::newRow("LR capped on its highway on the field")
        << "LR" << 250 << quint64(12000) << "cap" << false << lr;
    QTest::newRow("LR capped before the proof")
        << "LR" << 0 << quint64(9000) << "cap" << true << lr;
    QTest::newRow("LR leaving a 41 field before the proof")
        << "LR" << 41 << quint64(1000000) << "finished" << true << lr;
    QTest::newRow("LRL, no highway") << "LRL" << 0 << quint64(100000) << "cap" << false << "";
}

// The type is the highway's wherever the run stopped on the way to it or along it.
void TestHighway::typeOfARunsEnd()
{
    QFETCH(QString, rule);
    QFETCH(int, size);
    QFETCH(quint64, cap);
    QFETCH(QString, outcome);
    QFETCH(bool, provenLater);
    QFETCH(QString, type);
    Ant ant;
    ant.SetRule(rule.toStdString());
    PackedField field =
        size == 0 ? PackedField(PackedField::DefaultSize, true) : PackedField(size, false);
    AntPosition end{field.StartX(), field.StartY(), Ant::StartDirection};
    RunOptions options;
    options.Cap = cap;
    options.HighwayMaxPeriod = DefaultMaxPeriod;
    RunResult result = Runner().Run(field, end, ant.GetAI(), options);
    QCOMPARE(TraitsOf(result.Outcome).Name, qPrintable(outcome));
    if (provenLater)
    {
        QVERIFY(!result.Highway.Found);
        result.Highway = RunOnPlane(rule.toStdString(), 'U', 1000000).Result.Highway;
    }
    const std::optional<HighwayType> found = HighwayType::OfRun(field, end, ant.GetAI(), result);
    QCOMPARE(found ? QString::fromStdString(found->Name(rule.size())) : QString(), type);
}

void TestHighway::typeDriftUpToSymmetry_data()
{
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");
    QTest::addColumn<QString>("name");
    QTest::newRow("2 2") << 2 << 2 << "18 (2 2) +1 -1";
    QTest::newRow("-2 2") << -2 << 2 << "18 (2 2) +1 -1";
    QTest::newRow("-2 -2") << -2 << -2 << "18 (2 2) +1 -1";
    QTest::newRow("0 -3") << 0 << -3 << "18 (3 0) +1 -1";
    QTest::newRow("-3 0") << -3 << 0 << "18 (3 0) +1 -1";
    QTest::newRow("1 -4") << 1 << -4 << "18 (4 1) +1 -1";
    QTest::newRow("-4 1") << -4 << 1 << "18 (4 1) +1 -1";
}

void TestHighway::typeDriftUpToSymmetry()
{
    QFETCH(int, dx);
    QFETCH(int, dy);
    QFETCH(QString, name);
    HighwayType::Changes change{};
    change[1] = 1;
    change[2] = -1;
    const HighwayType type = HighwayType::Of(18, dx, dy, change);
    QCOMPARE(QString::fromStdString(type.Name(2)), name);
    QVERIFY(type == HighwayType::Of(18, dy, -dx, change)); // a quarter turn
    QVERIFY(type != HighwayType::Of(18, dx + 1, dy, change));
    QVERIFY(type != HighwayType::Of(19, dx, dy, change));
}

void TestHighway::plantedCellsAheadDelayTheProof_data()
{
    QTest::addColumn<int>("colour");
    QTest::addColumn<int>("periods");
    QTest::addColumn<bool>("proven"); // the blank plane's highway, once past the cell
    // Colour 1 acts as blank, so the ant's way is the blank plane's: only the proof waits.
    // 400 periods on lies beyond the run's first snapshot on the highway, where the blank
    // plane's run is proven. Snapshots lie at least as many steps apart as the plane has
    // bytes, and this plane, grown to the planted cell and along the highway, grows faster
    // than the ant goes on: the run outgrows 1 GiB at 734 018, before its next snapshot,
    // and is proven where it stopped (it used to end there as memory).
    QTest::newRow("colour 1, 20 periods on") << 1 << 20 << true;
    QTest::newRow("colour 1, 400 periods on") << 1 << 400 << true;
    QTest::newRow("colour 2, 20 periods on") << 2 << 20 << false;
    QTest::newRow("colour 2, 400 periods on") << 2 << 400 << false;
}

// A start cell that is not blank on the highway's way is no proof's blank cell: the proof
// comes once the ant is past it, and what it proves holds.
void TestHighway::plantedCellsAheadDelayTheProof()
{
    QFETCH(int, colour);
    QFETCH(int, periods);
    QFETCH(bool, proven);
    const PlaneRun blank = RunOnPlane("LR", 'U', 1000000);
    const Highway& w = blank.Result.Highway;
    QVERIFY(w.Found);
    PlaneReference reference("LR");
    const ::Walk walk = reference.Walk(w.CertifiedAt + (periods + 5) * w.Period);
    const int reach = FootprintAndReach(walk, static_cast<std::size_t>(w.CertifiedAt),
                                        static_cast<int>(w.Period), w.DriftX, w.DriftY)
                          .second;
    const WalkStep& ahead =
        walk.Steps[static_cast<std::size_t>(w.CertifiedAt + periods * w.Period)];
    std::uint64_t first = 0;
    while (walk.Steps[first].X != ahead.X || walk.Steps[first].Y != ahead.Y)
        ++first;
    // The blank plane's proof comes well before the planted cell's visit.
    QVERIFY(w.CertifiedAt + (reach + 1) * w.Period <= first);

    const PlaneRun planted = RunOnPlane("LR", 'U', 1000000, {{{ahead.X, ahead.Y}, colour}});
    const Highway& v = planted.Result.Highway;
    if (proven)
    {
        QCOMPARE(planted.Result.Outcome, RunOutcome::Highway);
        QCOMPARE(v.Onset, w.Onset);
        QCOMPARE(v.Period, w.Period);
    }
    if (!v.Found)
        return;
    QVERIFY2(
        v.CertifiedAt + (reach + 1) * v.Period > first,
        qPrintable(
            QStringLiteral("proven at %1, the cell visited at %2").arg(v.CertifiedAt).arg(first)));
    // What it proved holds on the reference from the same start for 100 periods more.
    PlaneReference plane("LR");
    plane.Set(ahead.X, ahead.Y, static_cast<std::uint8_t>(colour));
    const ::Walk after = plane.Walk(planted.Result.Iterations + 100 * v.Period);
    for (std::size_t i = static_cast<std::size_t>(v.CertifiedAt); i + v.Period < after.Steps.size();
         ++i)
    {
        const WalkStep& a = after.Steps[i];
        const WalkStep& b = after.Steps[i + v.Period];
        QVERIFY(b.X - a.X == v.DriftX && b.Y - a.Y == v.DriftY && a.Heading == b.Heading);
    }
}

void TestHighway::cappedOnItsHighwayBeforeAPlantedCell_data()
{
    QTest::addColumn<int>("colour");
    QTest::addColumn<int>("later");   // steps after 100 periods past the blank plane's proof
    QTest::addColumn<bool>("proven"); // by the walk past the cap
    // The walk past the cap ends at times on a repetition of period 2 within the highway.
    QTest::newRow("colour 1") << 1 << 0 << true;
    QTest::newRow("colour 1, later") << 1 << 23 << true;
    QTest::newRow("colour 2") << 2 << 0 << false;
}

// Capped some 200 periods before a planted cell on its way, the run is on the blank
// plane's highway where the cell has colour 1, which the ant reads as blank: the walk past
// the cap proves it once past the cell. Colour 2 turns the ant off it.
void TestHighway::cappedOnItsHighwayBeforeAPlantedCell()
{
    QFETCH(int, colour);
    QFETCH(int, later);
    QFETCH(bool, proven);
    const Highway w = RunOnPlane("LR", 'U', 1000000).Result.Highway;
    QVERIFY(w.Found);
    const std::uint64_t cap = w.CertifiedAt + 100 * w.Period + static_cast<std::uint64_t>(later);
    const ::Walk walk = PlaneReference("LR").Walk(cap + 205 * w.Period);
    const WalkStep& ahead = walk.Steps[static_cast<std::size_t>(cap + 200 * w.Period)];
    const PlaneRun planted = RunOnPlane("LR", 'U', cap, {{{ahead.X, ahead.Y}, colour}});
    QCOMPARE(planted.Result.Outcome, RunOutcome::Cap);
    const Highway& v = planted.Result.Highway;
    QCOMPARE(v.Found, proven);
    if (!proven)
        return;
    QCOMPARE(v.Onset, w.Onset);
    QCOMPARE(v.Period, w.Period);
    QCOMPARE(std::make_pair(v.DriftX, v.DriftY), std::make_pair(w.DriftX, w.DriftY));
    QVERIFY(v.CertifiedAt > cap + 100 * w.Period);
}

// The look ahead of the latest snapshot only spares replays: where its copy of that
// (large) snapshot does not fit, the replay from the snapshot before, which does, proves
// the highway as it would with room for both.
void TestHighway::lookAheadThatDoesNotFitLeavesTheProof()
{
    Ant ant;
    ant.SetRule("LR");
    const AntAI rule = ant.GetAI();
    constexpr std::uint64_t MaxPeriod = 200; // looks 2 * 200 ahead
    constexpr std::uint64_t Large = std::uint64_t{32} << 20;
    constexpr std::uint64_t Room = std::uint64_t{24} << 20;
    PackedField plane(PackedField::DefaultSize, true);
    AntPosition at{plane.StartX(), plane.StartY(), Ant::StartDirection};
    const auto index = [&] { return plane.Index(at.X, at.Y); };
    const auto heading = [&] { return StepTable::HeadingOf(at.Direction); };
    HighwayTracker roomy(MaxPeriod);
    HighwayTracker tight(MaxPeriod);
    for (HighwayTracker* tracker : {&roomy, &tight})
        QVERIFY(tracker->Start(plane, index(), heading(), rule, 0, RunOptions::NoCap));
    // One snapshot on the highway while the plane is small, the next once it is large.
    Runner runner;
    RunOptions options;
    options.Cap = 20000;
    runner.Run(plane, at, rule, options);
    for (HighwayTracker* tracker : {&roomy, &tight})
        QVERIFY(tracker->Snapshot(plane, index(), heading(), options.Cap));
    // The highway's plane moves its rectangle on rather than grow it as a square: a large
    // one by hand, which then only grows.
    const int side = 6000;
    PackedField large;
    large.CopyPart(plane, {at.X - side / 2, at.Y - side / 2, side, side,
                           std::uint64_t{side + 2} * (side + 2)});
    plane = large;
    QVERIFY(plane.Bytes() > Large);
    options.Cap += 10000;
    runner.Run(plane, at, rule, options, options.Cap - 10000);
    const std::uint64_t done = options.Cap;
    for (HighwayTracker* tracker : {&roomy, &tight})
        QVERIFY(tracker->Snapshot(plane, index(), heading(), done));

    roomy.SetRoom(UINT64_MAX);
    tight.SetRoom(tight.Bytes() + Room);
    QVERIFY(plane.Bytes() > Room); // no copy of the latest snapshot fits
    QVERIFY(roomy.ProvenSoFar(done));
    QVERIFY2(tight.ProvenSoFar(done), "the look ahead's copy ended the proof");
    QVERIFY(!tight.Short());
    const Highway expected = roomy.Finish(done, false);
    const Highway proven = tight.Finish(done, false);
    QCOMPARE(Describe(proven), Describe(expected));
    const HighwayProof reference = FromTheStart("LR", WalkLength("LR"));
    QCOMPARE(proven.Onset, reference.Highway.Onset);
    QCOMPARE(proven.Period, reference.Highway.Period);
}

QTEST_GUILESS_MAIN(TestHighway)
#include "tst_highway.moc"
