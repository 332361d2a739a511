#pragma once

#include <cstdint>

// What a run and a survey take when not told, shared by the commands and the Python module
// so that the two run the same.
namespace RunDefaults
{
constexpr std::uint64_t RunCap = 1000000000;   // a free rule's run
constexpr std::uint64_t SurveyCap = 100000000; // per rule of a survey
constexpr int MostJobs = 1024;

// The CPUs this process may run on, which is what a scheduler or taskset hands it, rather
// than the machine's.
int UsableCpus();
// The runner's lanes a job, or fewer where jobs x lanes fields of this geometry would not
// fit in maxMemory (at least 1).
int LanesThatFit(int jobs, int size, bool plane, std::uint64_t maxMemory);
} // namespace RunDefaults
