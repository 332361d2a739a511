#pragma once

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

// The values of the outcomes a state may store are in state files: add new ones at the end,
// never reorder those.
enum class RunOutcome
{
    Finished, // the ant failed to move
    Never,    // the run came back to an earlier state, so it repeats for ever
    Cap,      // neither within the iterations allowed
    Stopped,  // the stop flag was raised
    Idle,     // the rule has no active step: nothing ran
    Memory,   // the plane would have outgrown RunOptions::MaxMemory
    Highway,  // on the plane: the highway is proven, so the run repeats it for ever
};

// Everything the outputs, files and analysis know of an outcome, one row each, so a new
// outcome is one row here (and its tests).
struct OutcomeTraits
{
    RunOutcome Value;
    // In every output. Runs cut short before an answer read as capped: to a reader of the
    // rows they are runs that reached no verdict.
    const char* Name;
    // A survey's summary counts and its order go by this, one rank per name.
    int Rank;
    // Whether a saved state may record it as the run's end (the verdicts a later survey
    // keeps instead of running again).
    bool Stored;
    // Whether the highway the run ends on is looked for: not on a stop, or on a run that
    // never ran or outgrew its memory.
    bool Analysed;
};

inline constexpr OutcomeTraits Outcomes[] = {
    {RunOutcome::Finished, "finished", 0, true, true},
    {RunOutcome::Never, "never", 1, true, true},
    {RunOutcome::Cap, "cap", 2, true, true},
    {RunOutcome::Stopped, "cap", 2, false, false},
    {RunOutcome::Idle, "cap", 2, false, false},
    {RunOutcome::Memory, "memory", 3, false, false},
    {RunOutcome::Highway, "highway", 4, false, true},
};
inline constexpr std::size_t OutcomeCount = std::size(Outcomes);
inline constexpr int OutcomeRanks = 5; // the distinct names

constexpr bool OutcomesInOrder()
{
    for (std::size_t i = 0; i < OutcomeCount; ++i)
        if (static_cast<std::size_t>(Outcomes[i].Value) != i || Outcomes[i].Rank < 0 ||
            Outcomes[i].Rank >= OutcomeRanks)
            return false;
    return static_cast<std::size_t>(RunOutcome::Highway) + 1 == OutcomeCount;
}
static_assert(OutcomesInOrder(), "one row per outcome, in the enum's order");

constexpr const OutcomeTraits& TraitsOf(RunOutcome outcome)
{
    return Outcomes[static_cast<std::size_t>(outcome)];
}

// The outcome a name stands for: the first of its rank (cap for "cap"). False for no name.
constexpr bool ParseOutcome(std::string_view name, RunOutcome& outcome)
{
    for (const OutcomeTraits& traits : Outcomes)
        if (name == traits.Name)
        {
            outcome = traits.Value;
            return true;
        }
    return false;
}

// The names in rank order, for messages: "finished, never, cap, memory or highway".
inline std::string OutcomeNames()
{
    std::string text;
    for (int rank = 0; rank < OutcomeRanks; ++rank)
        for (const OutcomeTraits& traits : Outcomes)
            if (traits.Rank == rank)
            {
                text += rank == 0 ? "" : rank + 1 == OutcomeRanks ? " or " : ", ";
                text += traits.Name;
                break;
            }
    return text;
}
