#include "AntField.h"
#include "FieldSummary.h"

#include <QtTest>

class TestAntField : public QObject
{
    Q_OBJECT

private slots:
    void newFieldIsBlank();
    void setCellAddressesColumnThenRow();
    void copyIsASnapshot();
    void clearLeavesTheCopyAlone();
    void summaryCountsAndBounds();
};

void TestAntField::newFieldIsBlank()
{
    AntField field;
    const int* const* copy = field.GetCopy();
    for (int y = 0; y < AntField::FieldSize; ++y)
        for (int x = 0; x < AntField::FieldSize; ++x)
            QVERIFY(field.GetCell(x, y) == 0 && copy[y][x] == 0);
}

void TestAntField::setCellAddressesColumnThenRow()
{
    AntField field;
    field.SetCell(3, 7, 5);
    QCOMPARE(field.GetCell(3, 7), 5);
    QCOMPARE(field.GetCell(7, 3), 0);
    QCOMPARE(field.GetCopy()[7][3], 5);

    field.SetCell(249, 249, 12);
    field.SetCell(0, 0, -1);
    QCOMPARE(field.GetCopy()[249][249], 12);
    QCOMPARE(field.GetCopy()[0][0], -1);
}

void TestAntField::copyIsASnapshot()
{
    AntField field;
    const int* const* first = field.GetCopy();
    field.SetCell(10, 20, 4);
    QCOMPARE(first[20][10], 0); // not refreshed until the next GetCopy
    const int* const* second = field.GetCopy();
    QCOMPARE(second, first); // the same buffer every time
    QCOMPARE(first[20][10], 4);
}

void TestAntField::clearLeavesTheCopyAlone()
{
    AntField field;
    field.SetCell(1, 2, 3);
    field.SetCell(248, 249, 9);
    const int* const* copy = field.GetCopy();
    field.Clear();
    QCOMPARE(field.GetCell(1, 2), 0);
    QCOMPARE(field.GetCell(248, 249), 0);
    QCOMPARE(copy[2][1], 3);
    QCOMPARE(field.GetCopy()[2][1], 0);
}

// Values outside 0..12 are visited but in no colour's count; the box is inclusive.
void TestAntField::summaryCountsAndBounds()
{
    AntField field;
    FieldSummary blank = FieldSummary::Of(field);
    QCOMPARE(blank.Colours[0], std::uint64_t(62500));
    QVERIFY(blank.Visited == 0 && blank.MinX == -1 && blank.MaxY == -1);

    field.SetCell(7, 200, 12);
    field.SetCell(249, 3, 1);
    field.SetCell(0, 150, -4);
    const FieldSummary summary = FieldSummary::Of(field);
    QCOMPARE(summary.Visited, std::uint64_t(3));
    QCOMPARE(summary.Colours[0], std::uint64_t(62497));
    QCOMPARE(summary.Colours[1] + summary.Colours[12], std::uint64_t(2));
    QCOMPARE(QList<int>({summary.MinX, summary.MinY, summary.MaxX, summary.MaxY}),
             QList<int>({0, 3, 249, 200}));
}

QTEST_GUILESS_MAIN(TestAntField)
#include "tst_antfield.moc"
