#include "PackedField.h"

#include "AntField.h"

PackedField::PackedField() : Codes(CellCount, Border), ForeignValues(CellCount, 0)
{
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x)
            Codes[static_cast<std::size_t>(Index(x, y))] = 0;
}

void PackedField::Load(const AntField& field)
{
    for (int y = 0; y < Size; ++y)
    {
        for (int x = 0; x < Size; ++x)
        {
            const int value = field.GetCell(x, y);
            const auto i = static_cast<std::size_t>(Index(x, y));
            const bool inCycle = value >= 0 && value <= 12;
            Codes[i] = inCycle ? static_cast<std::uint8_t>(value) : Foreign;
            ForeignValues[i] = value;
        }
    }
}

void PackedField::Store(AntField& field) const
{
    for (int y = 0; y < Size; ++y)
    {
        for (int x = 0; x < Size; ++x)
        {
            const auto i = static_cast<std::size_t>(Index(x, y));
            field.SetCell(x, y, Codes[i] == Foreign ? ForeignValues[i] : Codes[i]);
        }
    }
}
