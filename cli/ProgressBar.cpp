#include "ProgressBar.h"

#include "Interruption.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/ioctl.h>
#include <unistd.h>

namespace
{
// Read at every redraw, so a resized window is followed.
std::size_t TerminalColumns()
{
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    const char* columns = std::getenv("COLUMNS");
    const int fromEnvironment = columns != nullptr ? std::atoi(columns) : 0;
    return fromEnvironment > 0 ? static_cast<std::size_t>(fromEnvironment) : 80;
}
} // namespace

void ProgressBar::Draw(std::size_t done, std::size_t total, double seconds)
{
    const double rate = seconds > 0 ? double(done) / seconds : 0;
    std::string eta = "--:--";
    if (rate > 0)
    {
        const long long left = std::llround(double(total - done) / rate);
        eta = std::to_string(left / 60) + ':' + (left % 60 < 10 ? "0" : "") +
              std::to_string(left % 60);
    }
    char rateText[32];
    std::snprintf(rateText, sizeof rateText, "%.1f", rate);
    // Parts are dropped from the right while the line is too wide; the last column stays
    // free, since writing there makes some terminals wrap.
    const std::size_t room = TerminalColumns() - 1;
    std::string text = std::to_string(done) + '/' + std::to_string(total) + " rules";
    for (const std::string& part :
         {"  " + std::string(rateText) + " rules/s", "  " + eta + " left"})
    {
        if (text.size() + part.size() > room)
            break;
        text += part;
    }
    std::string line = text.substr(0, room);
    if (room >= text.size() + 8)
    {
        const std::size_t width = std::min<std::size_t>(20, room - text.size() - 3);
        const std::size_t filled = width * done / std::max<std::size_t>(total, 1);
        line = '[' + std::string(filled, '#') + std::string(width - filled, '.') + "] " + text;
    }
    const std::size_t shown = line.size();
    line.append(Drawn > shown ? Drawn - shown : 0, ' ');
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    Drawn = shown;
}

void ProgressBar::Clear()
{
    std::fprintf(stderr, "\r%s\r", std::string(Drawn, ' ').c_str());
    std::fflush(stderr);
    Drawn = 0;
}

ProgressBar::Ran ProgressBar::Run(bool quiet, const std::function<int(const Progress&)>& work)
{
    // Schedulers end a job with SIGTERM (scancel, a time limit, preemption), so it gets the
    // same care as Ctrl-C: the workers stop and the rows done are printed.
    Interruption::Catch();
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [start]
    { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    ProgressBar bar;
    Progress progress;
    const bool show = !quiet && isatty(STDERR_FILENO) != 0;
    if (show)
        progress = [&](std::size_t done, std::size_t all) { bar.Draw(done, all, elapsed()); };
    Ran ran;
    ran.Workers = work(progress);
    ran.Seconds = elapsed();
    if (show)
        bar.Clear();
    return ran;
}
