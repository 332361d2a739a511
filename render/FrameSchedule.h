#pragma once

#include <cstdint>
#include <vector>

// The iterations at which an animation of a run shows the field.
namespace FrameSchedule
{
enum class Spacing
{
    Linear,
    Logarithmic, // dense early: shows how a long run starts
};

// Strictly increasing, first 0, last lastIteration. Frame counts below 2 count as 2.
// A run of fewer than `frames` iterations (lastIteration < frames) gives every iteration
// 0..lastIteration. Otherwise exactly `frames` iterations, frame i of F = frames at
//   Linear:      round(i * L / (F - 1)), halves rounded up, L = lastIteration;
//   Logarithmic: round((L + 1)^(i / (F - 1))) - 1, but at least one past frame i - 1
//                (rounding repeats values early on) and at most L - (F - 1 - i), so
//                that the later frames still fit.
std::vector<std::uint64_t> FrameIterations(std::uint64_t lastIteration, int frames,
                                           Spacing spacing);
} // namespace FrameSchedule
