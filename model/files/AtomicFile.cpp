#include "AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr std::size_t BlockSize = 65536;

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

// Links in the last part are followed by hand, as a dangling one names a file to make.
std::string AtomicFile::Resolved(std::string path)
{
    for (int depth = 0; depth < 40; ++depth)
    {
        struct stat link
        {
        };
        if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
            break;
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length <= 0)
            break;
        target.resize(static_cast<std::size_t>(length));
        const std::size_t slash = path.rfind('/');
        path = target.front() == '/' || slash == std::string::npos
                   ? target
                   : path.substr(0, slash + 1) + target;
    }
    return path;
}

namespace
{
std::string UniqueSuffix()
{
    static std::atomic<unsigned> counter{0};
    return "." + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + "~";
}
} // namespace

AtomicFile::Failure::Failure(const std::string& what, const std::string& path, std::string reason)
    : std::runtime_error("cannot " + what + " '" + path + "': " + reason), Where(path),
      Why(std::move(reason))
{
}

AtomicFile::AtomicFile(const std::string& path) : Target(Resolved(path)), Given(path)
{
    if (path.empty())
        throw Failure("write", path, std::strerror(ENOENT));
    struct stat status
    {
    };
    const bool exists = ::stat(Target.c_str(), &status) == 0;
    if (exists && S_ISDIR(status.st_mode))
        throw Failure("write", path, std::strerror(EISDIR));
    if (exists && !S_ISREG(status.st_mode))
        throw Failure("write", path, "not a regular file");
    // A named temporary (not O_TMPFILE): it works on every file system, and the mode
    // follows the umask as a newly made file's would.
    for (int attempt = 0; Descriptor < 0; ++attempt)
    {
        Temporary = Target + UniqueSuffix();
        Descriptor = ::open(Temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (Descriptor < 0 && (errno != EEXIST || attempt == 100))
        {
            const int error = errno;
            Temporary.clear();
            throw Failure("write", path, std::strerror(error));
        }
    }
    // Replacing a file keeps who may read it.
    if (exists && ::fchmod(Descriptor, status.st_mode & 07777) != 0)
        Fail("write", errno);
}

AtomicFile::~AtomicFile()
{
    Discard();
}

void AtomicFile::Discard()
{
    if (Descriptor >= 0)
        ::close(Descriptor);
    Descriptor = -1;
    if (!Temporary.empty())
        ::unlink(Temporary.c_str());
    Temporary.clear();
}

void AtomicFile::Fail(const char* verb, int error)
{
    Discard();
    throw Failure(verb, Given, std::strerror(error));
}

void AtomicFile::Write(std::string_view bytes)
{
    if (Descriptor < 0 || Sealed)
        throw std::logic_error("AtomicFile: write after commit");
    if (Pending.size() + bytes.size() < BlockSize)
    {
        Pending.append(bytes);
        return;
    }
    WriteAll(Pending);
    Pending.clear();
    WriteAll(bytes);
}

void AtomicFile::WriteAll(std::string_view bytes)
{
    for (std::size_t done = 0; done < bytes.size();)
    {
        const ssize_t wrote = ::write(Descriptor, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            Fail("write", wrote < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(wrote);
    }
}

void AtomicFile::Seal()
{
    if (Sealed)
        return;
    if (Descriptor < 0)
        throw std::logic_error("AtomicFile: seal after commit");
    WriteAll(Pending);
    Pending.clear();
    if (::fsync(Descriptor) != 0)
        Fail("write", errno);
    const int closed = ::close(Descriptor);
    Descriptor = -1;
    if (closed != 0)
        Fail("write", errno);
    Sealed = true;
}

void AtomicFile::Commit()
{
    Seal();
    if (::rename(Temporary.c_str(), Target.c_str()) != 0)
        Fail("replace", errno);
    Temporary.clear();
    // The rename itself reaches the disk with its directory.
    const int directory = ::open(DirectoryOf(Target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0)
    {
        ::fsync(directory);
        ::close(directory);
    }
}

void AtomicFile::RemoveLeftovers(const std::string& directory, const std::string& suffix)
{
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr)
        return;
    auto alphanumeric = [](char c)
    { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    while (const dirent* entry = ::readdir(dir))
    {
        const std::string name = entry->d_name;
        const std::size_t at = name.rfind(suffix + ".");
        if (at == std::string::npos || at == 0)
            continue;
        const std::string tail = name.substr(at + suffix.size() + 1);
        // ".<pid>-<n>~" of UniqueSuffix, or mkstemp's six letters and digits.
        const bool ours = !tail.empty() && tail.back() == '~' &&
                          tail.find_first_not_of("0123456789-~") == std::string::npos;
        const bool older = tail.size() == 6 &&
                           std::all_of(tail.begin(), tail.end(), alphanumeric) &&
                           name.find_first_not_of("LR") == at; // only a rule's state's
        if (ours || older)
            ::unlink((directory + "/" + name).c_str());
    }
    ::closedir(dir);
}

void AtomicFile::CommitAll(const std::vector<AtomicFile*>& files)
{
    for (AtomicFile* file : files)
        file->Seal();
    for (AtomicFile* file : files)
        file->Commit();
}
