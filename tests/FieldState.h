#pragma once

#include "Ant.h"
#include "AntField.h"

#include <QByteArray>
#include <QtTest>

#include <vector>

// The whole observable state of a run: every cell and the ant's place, heading and rule.
// One capture for every test that compares two ways of reaching a state.
struct FieldState
{
    std::vector<int> Cells;
    AntPosition Position;
    std::string Rule;

    static FieldState Capture(const AntField& field, const Ant& ant)
    {
        FieldState state;
        state.Cells.reserve(AntField::FieldSize * AntField::FieldSize);
        for (int y = 0; y < AntField::FieldSize; ++y)
            for (int x = 0; x < AntField::FieldSize; ++x)
                state.Cells.push_back(field.GetCell(x, y));
        state.Position = ant.GetPosition();
        state.Rule = ant.GetAI().Steps;
        return state;
    }

    bool operator==(const FieldState& other) const
    {
        return Cells == other.Cells && Position.X == other.Position.X &&
               Position.Y == other.Position.Y && Position.Direction == other.Position.Direction &&
               Rule == other.Rule;
    }
    bool operator!=(const FieldState& other) const { return !(*this == other); }
};

// QCOMPARE names the ant and the first differing cell instead of dumping 62 500 numbers.
inline char* toString(const FieldState& state)
{
    const AntPosition& p = state.Position;
    QByteArray text = "ant (" + QByteArray::number(p.X) + ", " + QByteArray::number(p.Y) + ") " +
                      QByteArray(1, p.Direction) + " rule " + QByteArray::fromStdString(state.Rule);
    int painted = 0;
    for (int value : state.Cells)
        painted += value != 0;
    text += ", " + QByteArray::number(painted) + " non-blank cells, checksum ";
    quint64 sum = 0;
    for (std::size_t i = 0; i < state.Cells.size(); ++i)
        sum = sum * 31 + quint64(state.Cells[i] + 7) * (i + 1);
    text += QByteArray::number(sum);
    return qstrdup(text.constData());
}
