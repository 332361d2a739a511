#include "Rule.h"
#include "RuleNumber.h"

#include <QtTest>

#include <algorithm>
#include <string>

Q_DECLARE_METATYPE(Rule::Refusal)

class TestRule : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void tidy_data();
    void tidy();
    void parseRefusesWhatTidyWouldChange();
    void numbers_data();
    void numbers();
    void everyRuleHasOneNumber();
};

void TestRule::parse_data()
{
    using R = Rule::Refusal;
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("letters"); // when accepted
    QTest::addColumn<Rule::Refusal>("why");
    QTest::addColumn<int>("position");
    QTest::newRow("one letter") << "L"
                                << "L" << R::None << 0;
    QTest::newRow("twelve letters") << "LRLRLRLRLRLR"
                                    << "LRLRLRLRLRLR" << R::None << 0;
    QTest::newRow("padding dropped") << "LR----------"
                                     << "LR" << R::None << 0;
    QTest::newRow("one dash of padding") << "RRL-"
                                         << "RRL" << R::None << 0;
    QTest::newRow("empty") << ""
                           << "" << R::Empty << 0;
    QTest::newRow("lower case") << "Lr"
                                << "" << R::UnknownCharacter << 1;
    QTest::newRow("unknown before a gap") << "LX-R"
                                          << "" << R::UnknownCharacter << 1;
    QTest::newRow("thirteen letters") << "LRLRLRLRLRLRL"
                                      << "" << R::TooLong << 0;
    QTest::newRow("thirteen places of padding") << "LR-----------"
                                                << "" << R::TooLong << 0;
    QTest::newRow("lone dash") << "-"
                               << "" << R::NoLetterFirst << 0;
    QTest::newRow("dash first") << "-LR"
                                << "" << R::NoLetterFirst << 0;
    QTest::newRow("letter after a gap") << "L-R"
                                        << "" << R::LettersAfterGap << 2;
    QTest::newRow("letters after padding") << "LR--RL-"
                                           << "" << R::LettersAfterGap << 4;
}

void TestRule::parse()
{
    QFETCH(QString, text);
    QFETCH(QString, letters);
    QFETCH(Rule::Refusal, why);
    QFETCH(int, position);
    const Rule::Parsed parsed = Rule::Parse(text.toStdString());
    QCOMPARE(parsed.Why, why);
    QCOMPARE(parsed.Value.has_value(), why == Rule::Refusal::None);
    if (parsed.Value)
        QCOMPARE(QString::fromStdString(parsed.Value->Letters()), letters);
    else
        QCOMPARE(int(parsed.Position), position);
}

void TestRule::tidy_data()
{
    QTest::addColumn<QString>("places");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("padded");
    QTest::newRow("letter after a gap") << "L-R" << true << "L-----------";
    QTest::newRow("dash first: the empty rule") << "-RL" << true << "------------";
    QTest::newRow("nothing: the empty rule") << "" << true << "------------";
    QTest::newRow("twelve letters") << "RLRLRLRLRLRL" << true << "RLRLRLRLRLRL";
    QTest::newRow("thirteen places") << "L------------" << false << "";
    QTest::newRow("unknown character after a gap") << "L-x" << false << "";
}

void TestRule::tidy()
{
    QFETCH(QString, places);
    QFETCH(bool, accepted);
    QFETCH(QString, padded);
    const std::optional<Rule> rule = Rule::Tidy(places.toStdString());
    QCOMPARE(rule.has_value(), accepted);
    if (rule)
        QCOMPARE(QString::fromStdString(rule->Padded()), padded);
}

// Every text of up to six places of L, R and '-': the strict parse accepts exactly the texts
// whose every letter survives the tidy, and then agrees with it.
void TestRule::parseRefusesWhatTidyWouldChange()
{
    int accepted = 0;
    for (int length = 1; length <= 6; ++length)
    {
        int combinations = 1;
        for (int i = 0; i < length; ++i)
            combinations *= 3;
        for (int n = 0; n < combinations; ++n)
        {
            std::string text;
            for (int k = 0, m = n; k < length; ++k, m /= 3)
                text += "LR-"[m % 3];
            const Rule::Parsed parsed = Rule::Parse(text);
            const std::optional<Rule> tidied = Rule::Tidy(text);
            QVERIFY(tidied.has_value());
            const auto letters =
                std::count_if(text.begin(), text.end(), [](char c) { return c != '-'; });
            const bool kept = letters > 0 && tidied->Size() == letters;
            QVERIFY2(parsed.Value.has_value() == kept, text.c_str());
            if (parsed.Value)
            {
                QCOMPARE(*parsed.Value, *tidied);
                ++accepted;
            }
        }
    }
    // k letters, then dashes to length n: 2^k texts for each 1 <= k <= n <= 6.
    QCOMPARE(accepted, 2 + 6 + 14 + 30 + 62 + 126);
}

// The published census numbering, and its edges.
void TestRule::numbers_data()
{
    QTest::addColumn<quint64>("number");
    QTest::addColumn<QString>("letters"); // empty: no rule
    QTest::addColumn<int>("maxLetters");
    QTest::newRow("1") << quint64(1) << "R" << 12;
    QTest::newRow("4") << quint64(4) << "LLR" << 12;
    QTest::newRow("2^11") << quint64(2048) << "LLLLLLLLLLLR" << 12;
    QTest::newRow("31819") << quint64(31819) << "RRLRLLRLLLRRRRR" << 32;
    QTest::newRow("31819 beyond 12") << quint64(31819) << "" << 12;
    // 2^n is n L's and an R, for every length the command line takes.
    for (int n = 12; n < 32; ++n)
        QTest::newRow(qPrintable(QString("2^%1").arg(n)))
            << (quint64(1) << n) << QString(n, 'L') + 'R' << 32;
    QTest::newRow("2^32 - 1") << (quint64(1) << 32) - 1 << QString(32, 'R') << 32;
    QTest::newRow("2^32 beyond 32") << (quint64(1) << 32) << "" << 32;
    QTest::newRow("0") << quint64(0) << "" << 32;
    QTest::newRow("2^63") << (quint64(1) << 63) << QString(63, 'L') + 'R' << 64;
}

void TestRule::numbers()
{
    QFETCH(quint64, number);
    QFETCH(QString, letters);
    QFETCH(int, maxLetters);
    const std::optional<std::string> rule = RuleNumber::Letters(number, maxLetters);
    QCOMPARE(rule ? QString::fromStdString(*rule) : QString(), letters);
    if (!rule)
        return;
    const std::optional<RuleNumber> back = RuleNumber::Of(*rule);
    QVERIFY(back);
    QCOMPARE(quint64(back->Number), number);
    QVERIFY(!back->OfMirror);
}

// Every rule of 1 to 12 letters has exactly one number, its own or its mirror's, and each
// number stands for a rule and its mirror.
void TestRule::everyRuleHasOneNumber()
{
    std::vector<int> seen(std::size_t{1} << Rule::MaxLetters, 0);
    for (int n = 1; n <= Rule::MaxLetters; ++n)
        for (unsigned bits = 0; bits < (1u << n); ++bits)
        {
            std::string rule;
            for (int i = 0; i < n; ++i)
                rule += (bits >> i) & 1u ? 'R' : 'L';
            const std::optional<RuleNumber> number = RuleNumber::Of(rule);
            QVERIFY(number);
            QCOMPARE(number->OfMirror, rule.back() == 'L');
            std::string mirror = rule;
            for (char& letter : mirror)
                letter = letter == 'L' ? 'R' : 'L';
            QCOMPARE(*RuleNumber::Letters(number->Number), number->OfMirror ? mirror : rule);
            ++seen[number->Number];
        }
    QCOMPARE(seen[0], 0);
    QVERIFY(std::all_of(seen.begin() + 1, seen.end(), [](int count) { return count == 2; }));
    QVERIFY(!RuleNumber::Of(""));
    QVERIFY(!RuleNumber::Of("LR-"));
    QVERIFY(!RuleNumber::Of(std::string(65, 'R')));
}

QTEST_APPLESS_MAIN(TestRule)
#include "tst_rule.moc"
