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
