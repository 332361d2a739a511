#include "Soup.h"

namespace
{
// x * n / 2^32 for a 32-bit x: n values alike, exact in integers.
std::uint32_t Scaled(std::uint64_t x32, std::uint64_t n)
{
    return static_cast<std::uint32_t>((x32 * n) >> 32);
}
} // namespace

std::uint64_t Soup::StreamOf(std::uint64_t seed, std::uint64_t index)
{
    const std::uint64_t key = SplitMix64(seed).Next();
    return SplitMix64(key ^ index).Next();
}

StartField Soup::Make(std::uint64_t seed, std::uint64_t index, int letters, std::int64_t antX,
                      std::int64_t antY) const
{
    StartField field;
    field.Width = field.Height = Patch;
    field.Left = antX - Patch / 2;
    field.Top = antY - Patch / 2;
    field.Colours.resize(static_cast<std::size_t>(Patch) * static_cast<std::size_t>(Patch));
    SplitMix64 random(StreamOf(seed, index));
    const auto n = static_cast<std::uint64_t>(letters);
    for (std::uint8_t& cell : field.Colours)
    {
        const std::uint64_t value = random.Next();
        const std::uint64_t high = value >> 32;
        const std::uint64_t low = value & 0xFFFFFFFFu;
        if (!Dense)
            cell = static_cast<std::uint8_t>(Scaled(high, n + 1));
        else
            cell = Scaled(high, WholeDensity) < Density
                       ? static_cast<std::uint8_t>(1 + Scaled(low, n))
                       : std::uint8_t{0};
    }
    return field;
}
