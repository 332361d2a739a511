#include "AntField.h"

#include <algorithm>

namespace
{
int** AllocateBuffer()
{
    int** rows = new int*[AntField::FieldSize];
    for (int y = 0; y < AntField::FieldSize; ++y)
        rows[y] = new int[AntField::FieldSize]();
    return rows;
}

void FreeBuffer(int** rows)
{
    for (int y = 0; y < AntField::FieldSize; ++y)
        delete[] rows[y];
    delete[] rows;
}
} // namespace

AntField::AntField() : Grid(AllocateBuffer()), Copy(AllocateBuffer()) {}

AntField::~AntField()
{
    FreeBuffer(Grid);
    FreeBuffer(Copy);
}

void AntField::Clear()
{
    for (int y = 0; y < FieldSize; ++y)
        std::fill(Grid[y], Grid[y] + FieldSize, 0);
}

const int* const* AntField::GetCopy()
{
    for (int y = 0; y < FieldSize; ++y)
        std::copy(Grid[y], Grid[y] + FieldSize, Copy[y]);
    return Copy;
}

AntField::ColourCounts AntField::CountColours() const
{
    ColourCounts counts{};
    for (int y = 0; y < FieldSize; ++y)
        for (int x = 0; x < FieldSize; ++x)
            if (Grid[y][x] >= 0 && Grid[y][x] < ColourCount)
                ++counts[static_cast<std::size_t>(Grid[y][x])];
    return counts;
}
