#include "StandardOutput.h"

#include "Interruption.h"
#include "RuntimeFailure.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace
{
[[noreturn]] void FailWith(int error)
{
    StandardOutput::Fail(std::strerror(error));
}

bool IsOpen(int descriptor)
{
    return fcntl(descriptor, F_GETFD) != -1 || errno != EBADF;
}
} // namespace

namespace StandardOutput
{
void Fail(const std::string& reason)
{
    Interruption::Check();
    throw RuntimeFailure("write error: " + reason);
}

void CheckDescriptors()
{
    for (int descriptor : {STDIN_FILENO, STDERR_FILENO})
        if (!IsOpen(descriptor))
            open("/dev/null", descriptor == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (!IsOpen(STDOUT_FILENO))
        FailWith(EBADF);
}

void Write(std::string_view text)
{
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
        FailWith(errno != 0 ? errno : EIO);
}

void Flush()
{
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        FailWith(errno != 0 ? errno : EIO);
}

bool IsTerminal()
{
    return isatty(STDOUT_FILENO) != 0;
}
} // namespace StandardOutput
