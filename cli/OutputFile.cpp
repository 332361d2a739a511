#include "OutputFile.h"

#include "ArgumentText.h"
#include "RuntimeFailure.h"
#include "UsageError.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <cstring>

namespace
{
constexpr std::size_t BlockSize = 65536;
} // namespace

QString OutputFile::LocalPath(const std::string& path)
{
    return QString::fromLocal8Bit(path.data(), static_cast<int>(path.size()));
}

OutputFile::OutputFile(const std::string& path)
    : Path(path), File(std::make_unique<QSaveFile>(LocalPath(path)))
{
    if (path.empty())
        throw UsageError("the file name is empty");
    const QFileInfo info(LocalPath(path));
    if (info.isDir())
        Fail(path, std::strerror(EISDIR));
    if (info.exists() && !info.isFile())
        Fail(path, "not a regular file");
    // Unbuffered, and the rest retried after a short write: so the failing write is the
    // file's own and names the OS reason, which Qt's buffer and commit() forget.
    if (!File->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        Fail(path, File->errorString().toStdString());
}

OutputFile::~OutputFile()
{
    if (File)
        File->cancelWriting();
}

void OutputFile::Write(std::string_view bytes)
{
    if (Pending.size() + bytes.size() < BlockSize)
    {
        Pending.append(bytes);
        return;
    }
    WriteAll(Pending);
    Pending.clear();
    WriteAll(bytes);
}

void OutputFile::WriteAll(std::string_view bytes)
{
    for (std::size_t done = 0; done < bytes.size();)
    {
        const qint64 written = File->write(bytes.data() + done, qint64(bytes.size() - done));
        if (written <= 0)
        {
            const std::string reason = File->errorString().toStdString();
            File->cancelWriting();
            File.reset();
            Fail(Path, reason);
        }
        done += static_cast<std::size_t>(written);
    }
}

void OutputFile::Commit()
{
    WriteAll(Pending);
    Pending.clear();
    const bool committed = File->commit();
    const std::string reason = File->errorString().toStdString();
    File.reset();
    if (!committed)
        Fail(Path, reason);
}

void OutputFile::Check(const std::string& path)
{
    OutputFile probe(path);
}

void OutputFile::Fail(const std::string& path, const std::string& reason)
{
    throw RuntimeFailure("cannot write " + ArgumentText::Quote(path, 200) + ": " + reason);
}
