#include "Interruption.h"

#include <csignal>

namespace
{
std::atomic<bool> Flag{false};
std::atomic<int> Caught{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the signal handler needs lock-free atomics");

extern "C" void OnSignal(int signal)
{
    if (Flag.load())
    {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    Caught.store(signal);
    Flag.store(true);
}
} // namespace

namespace Interruption
{
void Catch()
{
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a write blocked on a full pipe returns, so a stalled reader cannot
    // keep the command from ending.
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

const std::atomic<bool>* Flag()
{
    return &::Flag;
}

bool Raised()
{
    return ::Flag.load();
}

void Check()
{
    if (Raised())
        throw Interrupted(Caught.load());
}

int UndoneStatus(const std::exception_ptr& failure)
{
    if (failure)
        std::rethrow_exception(failure);
    // Only a signal leaves work undone without a failure; 1 should it ever be neither.
    return Raised() ? Interrupted(Caught.load()).ExitStatus() : 1;
}
} // namespace Interruption

Interrupted::Interrupted(int signal)
    : std::runtime_error(signal == SIGTERM  ? "terminated"
                         : signal == SIGHUP ? "hung up"
                                            : "interrupted"),
      Signal(signal)
{
}
