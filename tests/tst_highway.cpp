#include "Ant.h"
#include "AntField.h"
#include "HeadingTail.h"
#include "Highway.h"
#include "Iteration.h"
#include "StepTable.h"

#include <QtTest>

#include <memory>
#include <random>
#include <vector>

namespace
{
using Headings = std::vector<std::uint8_t>;

constexpr std::uint64_t DefaultMaxPeriod = 20000;

Headings FromDigits(const QByteArray& digits)
{
    Headings h;
    h.reserve(static_cast<std::size_t>(digits.size()));
    for (const char c : digits)
        h.push_back(static_cast<std::uint8_t>(c - '0'));
    return h;
}

QString Describe(const Highway& w)
{
    if (!w.Found)
        return QStringLiteral("none");
    return QStringLiteral("period %1 from %2, drift (%3, %4)")
        .arg(w.Period)
        .arg(w.Onset)
        .arg(w.DriftX)
        .arg(w.DriftY);
}

// Period p taken literally over a whole run (h[0] is iteration 1), the reference for the
// fast search: its onset and drift, and whether it spans minSpan iterations and drifts.
bool DriftingStretch(const Headings& h, std::uint64_t p, std::uint64_t minSpan, Highway& w)
{
    w = {false, p, 1, 0, 0};
    for (std::uint64_t t = h.size() - p; t >= 1 && w.Onset == 1; --t)
        if (h[t - 1] != h[t - 1 + p])
            w.Onset = t + 1;
    if (h.size() - w.Onset + 1 < minSpan)
        return false;
    for (std::uint64_t t = w.Onset; t < w.Onset + p; ++t)
    {
        w.DriftX += int(h[t - 1] == 1) - int(h[t - 1] == 3);
        w.DriftY += int(h[t - 1] == 2) - int(h[t - 1] == 0);
    }
    w.Found = w.DriftX != 0 || w.DriftY != 0;
    return w.Found;
}

Highway BruteForce(const Headings& h, std::uint64_t maxPeriod)
{
    Highway best;
    Highway w;
    for (std::uint64_t p = 1; p <= maxPeriod && p <= h.size(); ++p)
        if (DriftingStretch(h, p, 4 * p, w) && (!best.Found || w.Onset < best.Onset))
            best = w;
    return best;
}

// Whether an ant could have walked these headings on the field, as far as periods up to
// maxPeriod tell: no drifting repetition longer than the field allows.
bool FitsTheField(const Headings& h, std::uint64_t maxPeriod)
{
    Highway w;
    for (std::uint64_t p = 1; p <= maxPeriod && p <= h.size(); ++p)
        if (DriftingStretch(h, p, AntField::FieldSize * p + 1, w))
            return false;
    return true;
}

Highway FindInTail(const Headings& run, std::size_t tailLength, std::uint64_t maxPeriod)
{
    const std::size_t count = std::min(tailLength, run.size());
    return FindHighway(run.data() + run.size() - count, count, run.size(), maxPeriod);
}

// Random pieces and repeated random patterns over a random subset of the headings, so
// that short and long repetitions, with and without drift, turn up often.
Headings RandomRun(std::mt19937& rng, std::size_t maxPieceLength, std::size_t maxPattern)
{
    Headings alphabet;
    const auto allowed = 1 + rng() % 15;
    for (std::uint8_t heading = 0; heading < 4; ++heading)
        if (allowed & (1U << heading))
            alphabet.push_back(heading);
    const auto randomHeading = [&]() { return alphabet[rng() % alphabet.size()]; };

    Headings h;
    for (auto pieces = 1 + rng() % 3; pieces > 0; --pieces)
    {
        Headings pattern(1 + rng() % maxPattern);
        for (std::uint8_t& heading : pattern)
            heading = randomHeading();
        const bool random = rng() % 4 == 0;
        const std::size_t length = 1 + rng() % maxPieceLength;
        for (std::size_t i = 0; i < length; ++i)
            h.push_back(random ? randomHeading() : pattern[i % pattern.size()]);
    }
    return h;
}
} // namespace

class TestHighway : public QObject
{
    Q_OBJECT

private slots:
    void synthetic_data();
    void synthetic();
    void agreesWithBruteForceOnWholeRuns();
    void tailAgreesWithBruteForceOnTheWholeRun();
    void rules_data();
    void rules();
    void tailKeepsTheLastHeadingsInOrder();
};

void TestHighway::synthetic_data()
{
    // Each row is a whole run h(1..N) as digits; only its last tailLength headings are
    // searched (0: all of them).
    QTest::addColumn<QByteArray>("run");
    QTest::addColumn<int>("tailLength");
    QTest::addColumn<qulonglong>("maxPeriod");
    QTest::addColumn<QString>("expected");

    // Period 2 repeats, so 4, 6, ... do from the same onset.
    QTest::newRow("tie between 2 and its multiples")
        << "3" + QByteArray("01").repeated(20) << 0 << 20ULL << "period 2 from 2, drift (1, -1)";
    // The last four headings alone repeat with period 1; period 5 goes back further.
    QTest::newRow("earlier onset beats smaller period")
        << QByteArray("01111").repeated(6) << 0 << 10ULL << "period 5 from 1, drift (4, -1)";
    QTest::newRow("exactly four periods")
        << "3" + QByteArray("012").repeated(4) << 0 << 10ULL << "period 3 from 2, drift (1, 0)";
    QTest::newRow("one heading short of four periods")
        << "312" + QByteArray("012").repeated(3) << 0 << 10ULL << "none";
    QTest::newRow("whole run repeats: onset 1")
        << QByteArray("012").repeated(4) << 0 << 10ULL << "period 3 from 1, drift (1, 0)";
    QTest::newRow("no drift, no highway")
        << QByteArray("0123").repeated(10) << 0 << 20ULL << "none";
    // Period 8 reaches back to 1 but has no drift.
    QTest::newRow("drift-free repetition does not hide a later highway")
        << QByteArray("33331111").repeated(5) << 0 << 10ULL << "period 1 from 37, drift (1, 0)";
    QTest::newRow("period above maxPeriod")
        << "3" + QByteArray("01112").repeated(8) << 0 << 4ULL << "none";
    QTest::newRow("period at maxPeriod")
        << "3" + QByteArray("01112").repeated(8) << 0 << 5ULL << "period 5 from 2, drift (3, 0)";
    // Tail of 2 * 250 + 1: the mismatch before the onset is its first heading.
    QTest::newRow("longest highway the tail can date")
        << QByteArray("2").repeated(300) + QByteArray("01").repeated(250) << 501 << 2ULL
        << "period 2 from 301, drift (1, -1)";
    QTest::newRow("repetition back to the tail's start")
        << QByteArray("2").repeated(300) + QByteArray("01").repeated(251) << 501 << 2ULL << "none";
}

void TestHighway::synthetic()
{
    QFETCH(QByteArray, run);
    QFETCH(int, tailLength);
    QFETCH(qulonglong, maxPeriod);
    QFETCH(QString, expected);
    const Headings h = FromDigits(run);
    const std::size_t tail = tailLength > 0 ? static_cast<std::size_t>(tailLength) : h.size();
    QCOMPARE(Describe(FindInTail(h, tail, maxPeriod)), expected);
}

void TestHighway::agreesWithBruteForceOnWholeRuns()
{
    std::mt19937 rng(20240611);
    int found = 0;
    for (int round = 0; round < 4000; ++round)
    {
        const Headings h = RandomRun(rng, 120, 12);
        const std::uint64_t maxPeriod = 1 + rng() % 40;
        const QString fast = Describe(FindHighway(h.data(), h.size(), h.size(), maxPeriod));
        const QString reference = Describe(BruteForce(h, maxPeriod));
        QVERIFY2(fast == reference,
                 qPrintable(
                     QStringLiteral("round %1: %2, expected %3").arg(round).arg(fast, reference)));
        found += reference != QLatin1String("none");
    }
    QVERIFY(found > 1000);
}

// A tail of HighwayTailLength headings decides as the whole run does, for any run an ant
// on the field could walk; a shorter one (down to a single heading) decides the same or
// says it cannot.
void TestHighway::tailAgreesWithBruteForceOnTheWholeRun()
{
    std::mt19937 rng(7);
    int compared = 0;
    int found = 0;
    int shortDecided = 0;
    int shortUndecided = 0;
    for (int round = 0; round < 3000; ++round)
    {
        const std::uint64_t maxPeriod = 1 + rng() % 3;
        const Headings h = RandomRun(rng, 800, 3);
        const auto tail = static_cast<std::size_t>(HighwayTailLength(maxPeriod));
        if (h.size() <= tail || !FitsTheField(h, maxPeriod))
            continue;
        const QString reference = Describe(BruteForce(h, maxPeriod));
        const std::size_t shortTail = 1 + rng() % (tail - 1);
        const Highway fromShort = FindInTail(h, shortTail, maxPeriod);
        for (const Highway& w : {FindInTail(h, tail, maxPeriod), fromShort})
        {
            if (w.Undecided)
                continue;
            QVERIFY2(Describe(w) == reference,
                     qPrintable(QStringLiteral("round %1: %2, expected %3")
                                    .arg(round)
                                    .arg(Describe(w), reference)));
        }
        QVERIFY(shortTail > maxPeriod || fromShort.Undecided);
        ++(fromShort.Undecided ? shortUndecided : shortDecided);
        ++compared;
        found += reference != QLatin1String("none");
    }
    QVERIFY(compared > 600);
    QVERIFY(found > 200);
    QVERIFY2(
        shortDecided > 400 && shortUndecided > 40,
        qPrintable(QStringLiteral("%1 decided, %2 not").arg(shortDecided).arg(shortUndecided)));
}

void TestHighway::rules_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<qulonglong>("period"); // 0: no highway

    QTest::newRow("LR") << "LR" << 104ULL;
    QTest::newRow("LLR") << "LLR" << 18ULL;
    // n letters L then one R: period 16n + 4 from n = 3.
    QTest::newRow("LLLR") << "LLLR" << 52ULL;
    QTest::newRow("LLLLR") << "LLLLR" << 68ULL;
    QTest::newRow("RLR") << "RLR" << 0ULL;
    QTest::newRow("LLRR") << "LLRR" << 0ULL;
}

// Headings after each turn, the refused last one included, of a rule run to its end from
// the start state; the kept tail against the brute force over the whole run.
void TestHighway::rules()
{
    QFETCH(QString, rule);
    QFETCH(qulonglong, period);
    auto field = std::make_unique<AntField>();
    Ant ant;
    QVERIFY(ant.SetRule(rule.toStdString()));
    HeadingTail tail(static_cast<std::size_t>(HighwayTailLength(DefaultMaxPeriod)));
    Headings whole;
    IterationResult result = IterationResult::Moved;
    while (result == IterationResult::Moved)
    {
        result = Iterate(*field, ant);
        const auto heading =
            static_cast<std::uint8_t>(StepTable::HeadingOf(ant.GetPosition().Direction));
        tail.Push(heading);
        whole.push_back(heading);
    }
    QCOMPARE(result, IterationResult::Blocked);

    const Highway w = FindHighway(tail.Ordered(), tail.Size(), whole.size(), DefaultMaxPeriod);
    QCOMPARE(Describe(w), Describe(BruteForce(whole, DefaultMaxPeriod)));
    QCOMPARE(w.Period, period);
    if (rule == QLatin1String("LR"))
    {
        QCOMPARE(whole.size(), std::size_t{15517});
        QCOMPARE(Describe(w), QStringLiteral("period 104 from 9977, drift (2, 2)"));
    }
}

void TestHighway::tailKeepsTheLastHeadingsInOrder()
{
    constexpr int Capacity = 10;
    HeadingTail tail(Capacity);
    int pushed = 0;
    // Not yet full, just wrapped, read again at once, and pushed to after a read.
    for (const int upTo : {7, 23, 23, 28})
    {
        while (pushed < upTo)
            tail.Push(static_cast<std::uint8_t>(pushed++));
        const int size = std::min(pushed, Capacity);
        QCOMPARE(tail.Size(), std::size_t(size));
        const std::uint8_t* kept = tail.Ordered();
        for (int i = 0; i < size; ++i)
            QCOMPARE(int(kept[i]), pushed - size + i);
    }
}

QTEST_GUILESS_MAIN(TestHighway)
#include "tst_highway.moc"
