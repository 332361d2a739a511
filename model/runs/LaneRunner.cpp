#include "LaneRunner.h"

#include "Driver.h"
#include "HighwayTracker.h"
#include "LaneStepper.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace
{
template <CycleProof Proof, int K, bool Trails>
void RunLanes(const LaneRunner::NextJob& next, const LaneRunner::JobEnded& ended,
              const RunOptions& options)
{
    using Stepper = LaneStepper<K, Proof == CycleProof::On, Trails>;
    // On the heap: the lanes' tables and the driver's fields are a few KiB.
    auto stepper = std::make_unique<Stepper>();
    std::vector<std::unique_ptr<HighwayTracker>> trackers;
    if (options.HighwayMaxPeriod > 0)
        for (int j = 0; j < K; ++j)
            trackers.push_back(std::make_unique<HighwayTracker>(options.HighwayMaxPeriod));
    auto driver = std::make_unique<Driver<Stepper>>(
        *stepper, options,
        [&trackers](int lane) -> SnapshotObserver*
        { return trackers.empty() ? nullptr : trackers[static_cast<std::size_t>(lane)].get(); });
    driver->Run(next, ended);
}

template <CycleProof Proof, int K>
void RunLanes(const LaneRunner::NextJob& next, const LaneRunner::JobEnded& ended,
              const RunOptions& options)
{
    // A plane's highway snapshots ask the trail first whether a replay may prove anything.
    if (options.Plane && options.HighwayMaxPeriod > 0)
        RunLanes<Proof, K, true>(next, ended, options);
    else
        RunLanes<Proof, K, false>(next, ended, options);
}
} // namespace

template <CycleProof Proof>
void LaneRunner::Run(const NextJob& next, const JobEnded& ended, const RunOptions& options,
                     int lanes)
{
    switch (std::clamp(lanes, 1, MostLanes))
    {
    case 1:
        return RunLanes<Proof, 1>(next, ended, options);
    case 2:
        return RunLanes<Proof, 2>(next, ended, options);
    case 3:
        return RunLanes<Proof, 3>(next, ended, options);
    case 4:
        return RunLanes<Proof, 4>(next, ended, options);
    case 5:
        return RunLanes<Proof, 5>(next, ended, options);
    case 6:
        return RunLanes<Proof, 6>(next, ended, options);
    case 7:
        return RunLanes<Proof, 7>(next, ended, options);
    default:
        return RunLanes<Proof, MostLanes>(next, ended, options);
    }
}

template void LaneRunner::Run<CycleProof::Off>(const NextJob&, const JobEnded&, const RunOptions&,
                                               int);
template void LaneRunner::Run<CycleProof::On>(const NextJob&, const JobEnded&, const RunOptions&,
                                              int);
