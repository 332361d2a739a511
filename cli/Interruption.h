#pragma once

#include <atomic>
#include <exception>
#include <stdexcept>

// Ctrl-C, SIGTERM and SIGHUP during a command that writes files: the signal only raises a
// flag, the work polls it and throws Interrupted, and the unwinding removes every file not
// yet in place (a named temporary sibling included, where the file system has no O_TMPFILE).
// A second signal ends the process the usual way.
namespace Interruption
{
// From here on the signals raise the flag instead of ending the process.
void Catch();
// For runners that poll a stop flag.
const std::atomic<bool>* Flag();
bool Raised();
// Throws Interrupted once a signal came.
void Check();
// The exit status of work left undone: the failure that stopped it, thrown again, or the
// signal's status.
int UndoneStatus(const std::exception_ptr& failure);
} // namespace Interruption

class Interrupted : public std::runtime_error
{
public:
    explicit Interrupted(int signal);
    // What a shell reports for a job ended by the signal: 130 for SIGINT, 143 for SIGTERM.
    int ExitStatus() const { return 128 + Signal; }

private:
    int Signal;
};
