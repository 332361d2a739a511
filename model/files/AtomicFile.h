#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A file written whole or not at all: the bytes go to a temporary file beside the target,
// which is flushed to disk and renamed over it only on Commit, so a crash, a full disk or
// a failed sibling output leaves the previous file as it was. The one writer of every file
// the programs make: states, tables, pictures and animations.
class AtomicFile
{
public:
    // Why a file could not be written: what() is "cannot <verb> '<path>': <OS reason>",
    // Reason() the OS reason alone.
    class Failure : public std::runtime_error
    {
    public:
        Failure(const std::string& what, const std::string& path, std::string reason);
        const std::string& Reason() const { return Why; }
        const std::string& Path() const { return Where; }

    private:
        std::string Where;
        std::string Why;
    };

    // Makes the temporary file. A symbolic link at the path is followed, as a plain write
    // would; a directory or another non-regular file there is refused.
    explicit AtomicFile(const std::string& path);
    ~AtomicFile(); // without Commit the temporary file is removed, the target untouched
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void Write(std::string_view bytes);
    // Writes what is buffered and flushes it to disk: every write error shows here, so a
    // group of files can be sealed first and renamed only when all of them are whole.
    void Seal();
    // Seals the file if it is not yet and puts it in place.
    void Commit();
    // Seals every file, then renames them all: none is replaced unless all are whole.
    static void CommitAll(const std::vector<AtomicFile*>& files);

    const std::string& Path() const { return Target; }
    // The path with the links of its last part followed, as the writer follows them.
    static std::string Resolved(std::string path);

    // Removes from the directory what writers of files ending in `suffix` left behind when
    // killed (SIGKILL, a crash): this writer's temporaries, and the previous one's
    // (NAME.XXXXXX). Only for a directory no other writer uses now, such as one held locked.
    static void RemoveLeftovers(const std::string& directory, const std::string& suffix);

private:
    void WriteAll(std::string_view bytes);
    [[noreturn]] void Fail(const char* verb, int error);
    void Discard();

    std::string Target;    // where the file lands: the path with its links followed
    std::string Given;     // the path as given, for messages
    std::string Temporary; // empty once renamed or removed
    int Descriptor = -1;
    bool Sealed = false;
    std::string Pending; // small writes gathered into large ones
};
