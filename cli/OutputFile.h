#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class AtomicFile;
class QString;

// A file that a command writes whole or not at all. It goes through AtomicFile, so a file at
// the path stays as it was after any failure, and a failure names the OS reason
// ("cannot write 'f.csv': No space left on device", a RuntimeFailure, exit 1).
class OutputFile
{
public:
    // Opens the file, which makes its temporary sibling; refuses what is no regular file.
    explicit OutputFile(const std::string& path);
    ~OutputFile(); // without Commit the file is left as it was
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(std::string_view bytes);
    // Puts the file in place.
    void Commit();
    // Puts every file in place once all of them are whole on disk; after a failure none
    // of them replaced its previous file.
    static void CommitAll(const std::vector<OutputFile*>& files);

    // A path from the command line as the toolkit takes it; its bytes reach the disk as given.
    static QString LocalPath(const std::string& path);

    // Whether two paths would write one file: the same existing file, or the same name in the
    // same directory once symbolic links are followed (as the writer follows them).
    static bool SameFile(const std::string& first, const std::string& second);

    // Refuses, before a long run, a path that cannot be written.
    static void Check(const std::string& path);
    [[noreturn]] static void Fail(const std::string& path, const std::string& reason);

private:
    template <class Action> void Attempt(const Action& action);

    std::string Path;
    std::unique_ptr<AtomicFile> File;
};
