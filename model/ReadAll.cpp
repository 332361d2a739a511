#include "ReadAll.h"

#include <cerrno>
#include <cstddef>

#include <unistd.h>

int ReadAll(int fd, std::string& bytes)
{
    char buffer[65536];
    for (;;)
    {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}
