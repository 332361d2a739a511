#include "Ant.h"
#include "AntField.h"
#include "CatalogueCheck.h"
#include "Iteration.h"
#include "PresetCatalogue.h"
#include "Runner.h"
#include "Support.h"

#include <QtTest>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

namespace
{
struct Run
{
    std::unique_ptr<AntField> Field = std::make_unique<AntField>();
    Ant TheAnt;
};

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
    void checkAgreesWithSingleRuns();
    void checkStopsWhenACallbackFails_data();
    void checkStopsWhenACallbackFails();
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
    const RunResult result = Runner().Run(*run.Field, run.TheAnt);
    QVERIFY(result.Outcome == RunOutcome::Finished);
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
    QCOMPARE(IterateSlowly(*run.Field, run.TheAnt, 100000).Iterations, std::uint64_t(15517));
    int counts[3] = {};
    for (int y = 0; y < AntField::FieldSize; ++y)
        for (int x = 0; x < AntField::FieldSize; ++x)
            ++counts[run.Field->GetCell(x, y)];
    QCOMPARE(counts[0], 59954);
    QCOMPARE(counts[1], 1191);
    QCOMPARE(counts[2], 1355);
}

// Whatever lane or thread ran a preset, its row and end field are the single runner's.
void TestCatalogue::checkAgreesWithSingleRuns()
{
    std::map<int, FieldState> ends;
    std::vector<PresetRun> ready;
    RunOptions options;
    options.HighwayMaxPeriod = 20000;
    const int mismatches = CatalogueCheck::Run(
        options,
        [&](const PresetRun& run, const FieldView& end)
        {
            Ant ant;
            ant.ApplyPreset(run.Number);
            ant.SetPosition(run.Position);
            QVERIFY2(ends.emplace(run.Number, CaptureState(end, ant)).second, "ended twice");
        },
        [&](const PresetRun& run) { ready.push_back(run); });
    QCOMPARE(mismatches, 0);
    QCOMPARE(int(ready.size()), PresetCatalogue::PresetCount);
    QCOMPARE(int(ends.size()), PresetCatalogue::PresetCount);

    for (int n = 1; n <= PresetCatalogue::PresetCount; ++n)
    {
        const PresetRun& row = ready[std::size_t(n - 1)];
        QCOMPARE(row.Number, n);
        Run single;
        single.TheAnt.ApplyPreset(n);
        const RunResult result = Runner().Run(*single.Field, single.TheAnt, options);
        QCOMPARE(QString::fromStdString(row.Rule),
                 QString::fromStdString(single.TheAnt.ActiveRule()));
        QCOMPARE(row.Expected, PresetCatalogue::ExpectedIterations(n));
        QCOMPARE(row.Result.Iterations, result.Iterations);
        QVERIFY(row.Result.Outcome == result.Outcome);
        QCOMPARE(row.Result.Highway.Period, result.Highway.Period);
        QCOMPARE(row.Result.Highway.Onset, result.Highway.Onset);
        const AntField::ColourCounts colours = single.Field->CountColours();
        QVERIFY(std::equal(colours.begin(), colours.end(), row.Colours.begin()));
        QVERIFY(row.Matches());
        const QString difference =
            StateDifference(ends[n], CaptureState(*single.Field, single.TheAnt));
        QVERIFY2(difference.isEmpty(),
                 qPrintable(QStringLiteral("preset %1: ").arg(n) + difference));
    }
}

void TestCatalogue::checkStopsWhenACallbackFails_data()
{
    QTest::addColumn<bool>("inEnded");
    QTest::addColumn<int>("failingPreset");
    QTest::newRow("the first row") << false << 1;
    QTest::newRow("the longest preset's picture") << true << CatalogueCheck::Longest();
    QTest::newRow("a lane's picture") << true << 7;
}

// A failed write of a row or a picture ends the check with that failure, and nothing is
// reported after it.
void TestCatalogue::checkStopsWhenACallbackFails()
{
    QFETCH(bool, inEnded);
    QFETCH(int, failingPreset);
    int callsAfter = 0;
    bool failed = false;
    auto call = [&](int number)
    {
        callsAfter += failed;
        if (number == failingPreset && !failed)
        {
            failed = true;
            throw std::runtime_error("disk full");
        }
    };
    bool thrown = false;
    try
    {
        CatalogueCheck::Run(
            RunOptions(),
            [&](const PresetRun& run, const FieldView&)
            {
                if (inEnded)
                    call(run.Number);
            },
            [&](const PresetRun& run)
            {
                if (!inEnded)
                    call(run.Number);
            });
    }
    catch (const std::runtime_error& error)
    {
        thrown = QByteArray(error.what()) == "disk full";
    }
    QVERIFY(thrown);
    QCOMPARE(callsAfter, 0);
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
