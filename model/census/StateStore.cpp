#include "StateStore.h"

#include <cerrno>
#include <stdexcept>
#include <utility>

#include <sys/stat.h>

namespace
{
// A refused state file: the survey stops before any work rather than guess.
[[noreturn]] void Refuse(const std::string& path, const std::string& rule, const std::string& why)
{
    throw std::runtime_error("state file '" + path + "' " + why + "; remove it to run " + rule +
                             " from iteration 0");
}
} // namespace

StateStore::StateStore(std::string directory, std::uint64_t cap, std::uint64_t maxPeriod, int size,
                       bool plane)
    : Directory(std::move(directory)), Cap(cap), MaxPeriod(maxPeriod), Size(size), Plane(plane)
{
}

std::string StateStore::File(const std::string& directory, const std::string& rule)
{
    return directory + "/" + rule + ".state";
}

void StateStore::Save(const RunState& state) const
{
    state.Write(File(Directory, state.Rule));
}

std::optional<RunState> StateStore::Read(const std::string& rule) const
{
    const std::string path = File(Directory, rule);
    struct stat status
    {
    };
    if (::stat(path.c_str(), &status) != 0 && errno == ENOENT)
        return std::nullopt;
    RunState state;
    try
    {
        state = RunState::Read(path);
    }
    catch (const RunState::Refused& refused)
    {
        Refuse(path, rule, std::string("is refused: ") + refused.what());
    }
    if (state.Rule != rule)
        Refuse(path, rule, "holds a run of " + state.Rule);
    if (state.FieldSize != Size || state.Plane != Plane)
        Refuse(path, rule,
               "holds a run on " + RunState::FieldName(state.FieldSize, state.Plane) +
                   ", not on this survey's " + RunState::FieldName(Size, Plane));
    const bool endedHere = state.Ended && state.Outcome != RunOutcome::Cap;
    if (state.Iterations > Cap || (state.Ended && state.Iterations == Cap && !endedHere &&
                                   state.HighwayMaxPeriod != MaxPeriod))
        Refuse(path, rule,
               "is at " + std::to_string(state.Iterations) +
                   " iterations, beyond this survey's cap or of another period limit");
    if (state.Ended && state.HighwayMaxPeriod != MaxPeriod && endedHere)
        Refuse(path, rule, "holds a result for another period limit");
    return state;
}
