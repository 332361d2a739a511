#include "RunDefaults.h"

#include "LaneRunner.h"
#include "PackedField.h"

#include <algorithm>
#include <thread>

#include <sched.h>

namespace RunDefaults
{
int UsableCpus()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

int LanesThatFit(int jobs, int size, bool plane, std::uint64_t maxMemory)
{
    const std::uint64_t bytes = PackedField::BytesFor(size, plane);
    int lanes = LaneRunner::Lanes;
    while (lanes > 1 && bytes > maxMemory / (static_cast<std::uint64_t>(jobs) *
                                             static_cast<std::uint64_t>(lanes)))
        --lanes;
    return lanes;
}
} // namespace RunDefaults
