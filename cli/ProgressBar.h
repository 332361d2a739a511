#pragma once

#include <cstddef>

// The survey's progress on stderr, one line redrawn in place, never wider than the terminal
// (a line that wraps cannot be redrawn and floods the screen).
class ProgressBar
{
public:
    void Draw(std::size_t done, std::size_t total, double seconds);
    void Clear();

private:
    std::size_t Drawn = 0; // characters on the line now
};
