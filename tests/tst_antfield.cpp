#include "AntField.h"

#include <QtTest>

class TestAntField : public QObject
{
    Q_OBJECT

private slots:
    void newFieldIsBlank();
    void setCellAddressesColumnThenRow();
    void copyIsASnapshot();
    void clearLeavesTheCopyAlone();
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

QTEST_GUILESS_MAIN(TestAntField)
#include "tst_antfield.moc"
