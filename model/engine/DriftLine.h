#pragma once

#include <cstdint>

// Where a cell f lies among the lines r + qd of a drift d != 0: along the axis d moves on,
// q is the cell's coordinate divided by d's, rounded down, so cells f and f + jd get q and
// q + j and the same remainder r = f - qd. A highway's footprint falls into such lines.
struct DriftLine
{
    std::int64_t RX;
    std::int64_t RY;
    std::int64_t Q;

    static DriftLine Of(std::int64_t fx, std::int64_t fy, int dx, int dy)
    {
        const bool alongX = dx != 0;
        const std::int64_t step = alongX ? dx : dy;
        const std::int64_t sign = step > 0 ? 1 : -1;
        const std::int64_t along = alongX ? fx : fy;
        const std::int64_t size = step * sign;
        const std::int64_t floor = along >= 0 ? along / size : -((-along + size - 1) / size);
        const std::int64_t q = sign * floor;
        return {fx - q * dx, fy - q * dy, q};
    }
};
