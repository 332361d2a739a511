#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The periods p whose last 2p codes may repeat as far as their last 8 codes tell: the 8
// codes before the last p equal the last 8. Most p fail this: the search reads the trail
// 16 positions at a time, where testing each p alone took most of a trail's check.
class TailMatches
{
public:
    TailMatches(const std::uint8_t* codes, std::uint64_t n, std::uint64_t periods)
        : Codes(codes), N(n), Periods(periods)
    {
        if (n >= 8)
            std::memcpy(&Tail, codes + n - 8, 8);
    }

    // The least p >= from (from >= 8) that matches, or one past the last period.
    std::uint64_t Next(std::uint64_t from)
    {
        for (std::uint64_t p = from; p <= Periods;)
        {
            // The 8 codes before the last p begin at q.
            const std::uint64_t q = N - 8 - p;
#if defined(__SSE2__)
            if (p + 15 <= Periods)
            {
                // Positions q - 15 .. q at once; the highest, the least period, first.
                const int bits = Matches(q - 15);
                if (bits != 0)
                    return p + static_cast<std::uint64_t>(
                                   __builtin_clz(static_cast<unsigned>(bits)) - 16);
                p += 16;
                continue;
            }
#endif
            std::uint64_t before = 0;
            std::memcpy(&before, Codes + q, 8);
            if (before == Tail)
                return p;
            ++p;
        }
        return Periods + 1;
    }

private:
#if defined(__SSE2__)
    // Bit i: the 8 codes from first + i equal the tail.
    int Matches(std::uint64_t first) const
    {
        __m128i all = _mm_set1_epi8(-1);
        for (int k = 0; k < 8; ++k)
        {
            const __m128i codes =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(Codes + first + k));
            const auto code = static_cast<char>(Tail >> (8 * k));
            all = _mm_and_si128(all, _mm_cmpeq_epi8(codes, _mm_set1_epi8(code)));
        }
        return _mm_movemask_epi8(all);
    }
#endif

    const std::uint8_t* Codes;
    std::uint64_t N;
    std::uint64_t Periods;
    std::uint64_t Tail = 0;
};
