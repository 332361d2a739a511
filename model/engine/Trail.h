#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class PackedField;
class StepTable;

// The codes a run's last steps wrote, a byte a step, written by the stepper itself. A
// highway proof needs the walk's last stretch to repeat; the trail shows in a few
// microseconds when it does not, where a replay to record the walk would cost as many
// steps again as the run made since its last snapshot.
class Trail
{
public:
    // Empty, keeping at least the last `kept` codes from now on.
    void Reset(std::uint64_t kept);
    // Where the stepper writes the next codes, and how many fit there.
    std::uint8_t* End() { return Codes.data() + Held; }
    std::uint64_t Room() const { return Codes.size() - Held; }
    // The stepper wrote `steps` more codes; makes room for more when it is short. True when
    // that took more memory.
    bool Wrote(std::uint64_t steps);
    // Steps written since Reset, and of those the ones still held, the latest last.
    std::uint64_t Steps() const { return Total; }
    std::uint64_t HeldSteps() const { return Held; }
    std::uint64_t Bytes() const { return Codes.capacity(); }

    // What the trail tells of a proof of the walk ending now. None when no p up to
    // maxPeriod makes the last 2p steps a repetition of period p with a drift: then no walk
    // ending now holds a highway (ProveHighway's first test), nor one going on past now.
    // The steps come from their codes: a code written tells the colour read (blank and
    // colour 1 alike, as the proof merges them) and the turn, and `heading`, the ant's
    // heading now, anchors the turns. A short period is also looked for on `field`, where
    // the ant stands on (x, y): Later where only a walk going on past now may prove it.
    // Needs the last 2 maxPeriod steps held, or all since Reset; Maybe when they are not,
    // or when the rule's codes do not tell colours.
    enum class Ending
    {
        None,
        Later,
        Maybe,
    };
    Ending EndsInRepetition(std::uint64_t maxPeriod, int heading, const StepTable& table,
                            const PackedField& field, int x, int y) const;

private:
    // Whether the cells a highway of period p and drift (dx, dy) needs blank ahead of the
    // ant are, for one of the steps its last period may have begun on: Maybe for a proof
    // by now, Later for one by a walk past now only.
    Ending BlankAhead(const PackedField& field, int x, int y, int heading, int dx, int dy,
                      std::uint64_t p, const int* turn) const;

    std::vector<std::uint8_t> Codes;
    std::uint64_t Held = 0;
    std::uint64_t Total = 0;
    std::uint64_t Kept = 0;
    std::uint64_t Full = 0; // the size that keeps Kept codes with room to write
};
