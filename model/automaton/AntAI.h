#pragma once

#include <string>

// The ant's rule: one turn letter per colour of the cycle. Twelve letters fit the
// small-string buffer, so copying a rule never allocates.
struct AntAI
{
    static constexpr int MaxSteps = 12;

    std::string Steps;
    int Size = 0;
    int ActiveSteps = 0;
};
