#include "ReadFile.h"

#include <cerrno>
#include <cstddef>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
ReadProblem SystemProblem(int error)
{
    return {ReadProblem::System, std::strerror(error)};
}
} // namespace

ReadProblem ReadFile(const std::string& path, std::uint64_t most, std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return SystemProblem(errno);
    struct FdCloser
    {
        int Fd;
        ~FdCloser() { ::close(Fd); }
    } closer{fd};

    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0)
        return SystemProblem(errno);
    if (S_ISDIR(status.st_mode))
        return {ReadProblem::Directory, "a directory"};
    if (!S_ISREG(status.st_mode))
        return {ReadProblem::NotRegular, "not a regular file"};
    if (static_cast<std::uint64_t>(status.st_size) > most)
        return {ReadProblem::TooLarge, "larger than " + std::to_string(most) + " bytes"};
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    bytes.reserve(bytes.size() + static_cast<std::size_t>(status.st_size));
    std::uint64_t total = 0;
    char buffer[65536];
    for (;;)
    {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return SystemProblem(errno);
        if (got == 0)
            return {};
        // A file that grows while it is read is refused as the large file it became.
        total += static_cast<std::uint64_t>(got);
        if (total > most)
            return {ReadProblem::TooLarge, "larger than " + std::to_string(most) + " bytes"};
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}
