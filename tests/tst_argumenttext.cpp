#include "ArgumentText.h"
#include "UsageError.h"

#include <QtTest>

// The one number reader behind every option, merge input and --resume file.
class TestArgumentText : public QObject
{
    Q_OBJECT

private slots:
    void readNumber_data();
    void readNumber();
    void parseIntRange_data();
    void parseIntRange();
};

using Reading = ArgumentText::Number::Reading;
Q_DECLARE_METATYPE(Reading)

void TestArgumentText::readNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("sign");
    QTest::addColumn<Reading>("status");
    QTest::addColumn<quint64>("magnitude");
    QTest::addColumn<bool>("negative");
    const auto whole = ArgumentText::Number::Whole;
    const auto malformed = ArgumentText::Number::Malformed;
    const auto large = ArgumentText::Number::TooLarge;
    QTest::newRow("0") << "0" << false << whole << quint64(0) << false;
    QTest::newRow("leading zeros") << "007" << false << whole << quint64(7) << false;
    QTest::newRow("2^64 - 1") << "18446744073709551615" << false << whole
                              << quint64(18446744073709551615ull) << false;
    QTest::newRow("2^64") << "18446744073709551616" << false << large << quint64(0) << false;
    QTest::newRow("twenty-one nines") << QString(21, '9') << false << large << quint64(0) << false;
    QTest::newRow("empty") << "" << false << malformed << quint64(0) << false;
    QTest::newRow("plus sign") << "+1" << false << malformed << quint64(0) << false;
    QTest::newRow("space before") << " 1" << false << malformed << quint64(0) << false;
    QTest::newRow("space after") << "1 " << false << malformed << quint64(0) << false;
    QTest::newRow("exponent") << "1e3" << false << malformed << quint64(0) << false;
    QTest::newRow("hex") << "0x10" << false << malformed << quint64(0) << false;
    QTest::newRow("Arabic-Indic digit")
        << QString::fromUtf8("\u0663") << false << malformed << quint64(0) << false;
    QTest::newRow("minus where none may be") << "-5" << false << malformed << quint64(0) << false;
    QTest::newRow("minus where one may be") << "-5" << true << whole << quint64(5) << true;
    QTest::newRow("minus alone") << "-" << true << malformed << quint64(0) << true;
    QTest::newRow("two minus signs") << "--5" << true << malformed << quint64(0) << true;
}

void TestArgumentText::readNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, sign);
    QFETCH(Reading, status);
    QFETCH(quint64, magnitude);
    QFETCH(bool, negative);
    const ArgumentText::Number number = ArgumentText::ReadNumber(text.toStdString(), sign);
    QCOMPARE(number.Status, status);
    if (status == ArgumentText::Number::Whole)
        QCOMPARE(quint64(number.Magnitude), magnitude);
    QCOMPARE(number.Negative, negative);
}

void TestArgumentText::parseIntRange_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value"); // -1: refused
    QTest::newRow("low end") << "3" << 3;
    QTest::newRow("high end") << "65536" << 65536;
    QTest::newRow("below") << "2" << -1;
    QTest::newRow("above") << "65537" << -1;
    // Would wrap to 3 in 32 bits.
    QTest::newRow("2^32 + 3") << "4294967299" << -1;
    QTest::newRow("beyond 64 bits") << QString(30, '9') << -1;
}

void TestArgumentText::parseIntRange()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    try
    {
        QCOMPARE(ArgumentText::ParseInt("--size", text.toStdString(), 3, 65536), value);
    }
    catch (const UsageError& error)
    {
        QCOMPARE(value, -1);
        QCOMPARE(QString(error.what()),
                 "--size must be a whole number from 3 to 65536, not '" + text + "'");
    }
}

QTEST_GUILESS_MAIN(TestArgumentText)
#include "tst_argumenttext.moc"
