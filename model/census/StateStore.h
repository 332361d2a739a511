#pragma once

#include "RunState.h"

#include <cstdint>
#include <optional>
#include <string>

// The states a survey keeps, one file per rule in a directory: each checked against the
// survey before it is used, so a file of another rule, field, cap or period limit is
// refused rather than guessed at.
class StateStore
{
public:
    // For a survey at `cap`, with highways up to maxPeriod (0: none), on a size x size field
    // or the plane with its coordinates.
    StateStore(std::string directory, std::uint64_t cap, std::uint64_t maxPeriod, int size,
               bool plane);

    static std::string File(const std::string& directory, const std::string& rule);
    // Throws what RunState::Write throws.
    void Save(const RunState& state) const;
    // The rule's state; none when there is no file. Throws std::runtime_error naming the
    // file for one it cannot use.
    std::optional<RunState> Read(const std::string& rule) const;

private:
    std::string Directory;
    std::uint64_t Cap;
    std::uint64_t MaxPeriod;
    int Size;
    bool Plane;
};
