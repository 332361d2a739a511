#pragma once

#include <cstddef>
#include <functional>

// The survey's progress on stderr, one line redrawn in place, never wider than the terminal
// (a line that wraps cannot be redrawn and floods the screen).
class ProgressBar
{
public:
    using Progress = std::function<void(std::size_t done, std::size_t total)>;
    struct Ran
    {
        int Workers = 0;
        double Seconds = 0;
    };
    // Runs `work` (it returns the workers that ran) with Ctrl-C and SIGTERM caught, handing
    // it a bar on a terminal unless quiet, and times it.
    static Ran Run(bool quiet, const std::function<int(const Progress&)>& work);

    void Draw(std::size_t done, std::size_t total, double seconds);
    void Clear();

private:
    std::size_t Drawn = 0; // characters on the line now
};
