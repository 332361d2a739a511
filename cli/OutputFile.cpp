#include "OutputFile.h"

#include "ArgumentText.h"
#include "AtomicFile.h"
#include "RuntimeFailure.h"
#include "UsageError.h"

#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Where a path's bytes would land: the file, if it exists, and its directory and name.
struct Place
{
    bool Exists = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    bool DirectoryExists = false;
    dev_t DirectoryDevice = 0;
    ino_t DirectoryInode = 0;
    std::string Name;
};

Place PlaceOf(const std::string& given)
{
    // Where the writer would put the bytes.
    const std::string path = AtomicFile::Resolved(given);
    Place place;
    const std::size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "."
                                  : slash == 0               ? "/"
                                                             : path.substr(0, slash);
    place.Name = slash == std::string::npos ? path : path.substr(slash + 1);
    struct stat status
    {
    };
    if (stat(path.c_str(), &status) == 0)
    {
        place.Exists = true;
        place.Device = status.st_dev;
        place.Inode = status.st_ino;
    }
    if (stat(directory.c_str(), &status) == 0)
    {
        place.DirectoryExists = true;
        place.DirectoryDevice = status.st_dev;
        place.DirectoryInode = status.st_ino;
    }
    return place;
}
} // namespace

bool OutputFile::SameFile(const std::string& first, const std::string& second)
{
    const Place a = PlaceOf(first);
    const Place b = PlaceOf(second);
    if (a.Exists && b.Exists)
        return a.Device == b.Device && a.Inode == b.Inode;
    return a.DirectoryExists && b.DirectoryExists && a.DirectoryDevice == b.DirectoryDevice &&
           a.DirectoryInode == b.DirectoryInode && a.Name == b.Name;
}

QString OutputFile::LocalPath(const std::string& path)
{
    return QFile::decodeName(QByteArray(path.data(), static_cast<int>(path.size())));
}

OutputFile::OutputFile(const std::string& path) : Path(path)
{
    if (path.empty())
        throw UsageError("the file name is empty");
    try
    {
        File = std::make_unique<AtomicFile>(path);
    }
    catch (const AtomicFile::Failure& failure)
    {
        Fail(path, failure.Reason());
    }
}

OutputFile::~OutputFile() = default;

template <class Action> void OutputFile::Attempt(const Action& action)
{
    try
    {
        action();
    }
    catch (const AtomicFile::Failure& failure)
    {
        File.reset();
        Fail(Path, failure.Reason());
    }
}

void OutputFile::Write(std::string_view bytes)
{
    Attempt([&] { File->Write(bytes); });
}

void OutputFile::Commit()
{
    CommitAll({this});
}

void OutputFile::CommitAll(const std::vector<OutputFile*>& files)
{
    for (OutputFile* file : files)
        file->Attempt([&] { file->File->Seal(); });
    for (OutputFile* file : files)
        file->Attempt([&] { file->File->Commit(); });
}

void OutputFile::Check(const std::string& path)
{
    OutputFile probe(path);
}

void OutputFile::Fail(const std::string& path, const std::string& reason)
{
    throw RuntimeFailure("cannot write " + ArgumentText::Quote(path, 200) + ": " + reason);
}
