// Preloaded into formicula-cli by the tests: a file system without O_TMPFILE (NFS, vfat),
// where a file written whole needs a named temporary beside it.

#include <cerrno>
#include <cstdarg>

#include <dlfcn.h>
#include <fcntl.h>

namespace
{
template <typename Open> Open Next(const char* name)
{
    return reinterpret_cast<Open>(dlsym(RTLD_NEXT, name));
}

mode_t ModeOf(int flags, va_list arguments)
{
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE
               ? static_cast<mode_t>(va_arg(arguments, int))
               : 0;
}
} // namespace

#define REFUSE_TMPFILE(name, ...)                                                                  \
    if ((flags & O_TMPFILE) == O_TMPFILE)                                                          \
    {                                                                                              \
        errno = EOPNOTSUPP;                                                                        \
        return -1;                                                                                 \
    }                                                                                              \
    static const auto next = Next<decltype(&name)>(#name);                                         \
    return next(__VA_ARGS__);

extern "C"
{
    int open(const char* path, int flags, ...)
    {
        va_list arguments;
        va_start(arguments, flags);
        const mode_t mode = ModeOf(flags, arguments);
        va_end(arguments);
        REFUSE_TMPFILE(open, path, flags, mode)
    }

    int open64(const char* path, int flags, ...)
    {
        va_list arguments;
        va_start(arguments, flags);
        const mode_t mode = ModeOf(flags, arguments);
        va_end(arguments);
        REFUSE_TMPFILE(open64, path, flags, mode)
    }

    int openat(int directory, const char* path, int flags, ...)
    {
        va_list arguments;
        va_start(arguments, flags);
        const mode_t mode = ModeOf(flags, arguments);
        va_end(arguments);
        REFUSE_TMPFILE(openat, directory, path, flags, mode)
    }

    int openat64(int directory, const char* path, int flags, ...)
    {
        va_list arguments;
        va_start(arguments, flags);
        const mode_t mode = ModeOf(flags, arguments);
        va_end(arguments);
        REFUSE_TMPFILE(openat64, directory, path, flags, mode)
    }
}
