#include "Csv.h"

#include <QtTest>

// CSV read back by the rules it is written with.
class TestCsv : public QObject
{
    Q_OBJECT

private slots:
    void cellsComeBackAsWritten_data();
    void cellsComeBackAsWritten();
    void refused_data();
    void refused();
};

void TestCsv::cellsComeBackAsWritten_data()
{
    QTest::addColumn<QStringList>("cells");
    QTest::newRow("plain") << QStringList{"LR", "finished", "15517"};
    QTest::newRow("empty cells") << QStringList{"", "x", ""};
    QTest::newRow("comma") << QStringList{"a,b", "c"};
    QTest::newRow("quotes") << QStringList{"say \"hi\"", "\""};
    QTest::newRow("line breaks") << QStringList{"two\nlines", "cr\r\nlf", "last"};
    QTest::newRow("one empty cell") << QStringList{""};
}

void TestCsv::cellsComeBackAsWritten()
{
    QFETCH(QStringList, cells);
    std::string text;
    for (const QString line : {"first", "second"})
    {
        for (int c = 0; c < cells.size(); ++c)
            text += (c == 0 ? "" : ",") + Csv::Cell((cells[c] + line).toStdString());
        text += "\n";
    }
    const Csv::Reading reading = Csv::Read(text);
    QCOMPARE(QString::fromStdString(reading.Problem), QString());
    QCOMPARE(reading.Lines.size(), std::size_t(2));
    for (std::size_t l = 0; l < 2; ++l)
    {
        QStringList read;
        for (const std::string& cell : reading.Lines[l].Cells)
            read << QString::fromStdString(cell);
        QStringList expected;
        for (const QString& cell : cells)
            expected << cell + (l == 0 ? "first" : "second");
        QCOMPARE(read, expected);
    }
    // The second record starts after every line break the first one holds.
    QCOMPARE(reading.Lines[1].Number, 2 + std::size_t(cells.join("").count('\n')));
}

void TestCsv::refused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<int>("line"); // 0: the whole file's
    QTest::newRow("no final line break") << QByteArray("a,b\nc,d") << "truncated" << 0;
    QTest::newRow("open quote") << QByteArray("a,b\n\"c,d\n") << "inside a quoted cell" << 0;
    QTest::newRow("quote inside a cell") << QByteArray("a,b\nc\"d,e\n") << "quote inside" << 2;
    QTest::newRow("text after a quote") << QByteArray("\"a\"b,c\n") << "after a quoted" << 1;
}

void TestCsv::refused()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, problem);
    QFETCH(int, line);
    const Csv::Reading reading = Csv::Read(text.toStdString());
    QVERIFY2(QString::fromStdString(reading.Problem).contains(problem), reading.Problem.c_str());
    QCOMPARE(reading.ProblemLine, std::size_t(line));
}

QTEST_GUILESS_MAIN(TestCsv)
#include "tst_csv.moc"
