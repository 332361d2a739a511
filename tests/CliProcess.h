#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <csignal>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

// Runs the built formicula-cli (its path comes from the build) and collects what it said.
struct CliResult
{
    int Status = -1; // -1: it crashed or did not finish in time
    QByteArray Out;
    QByteArray Err;
};

// What the child lacks: set between fork and exec, so only formicula-cli feels it.
enum class Limit
{
    None,
    StdoutFull,   // stdout is /dev/full
    StdoutClosed, // as with >&-
    FileSize,     // files end at 4 KB, SIGXFSZ ignored: the write fails as on a full disk
    Threads,      // a handful of processes for the user (root runs it as nobody)
    Memory,       // 200 MB of address space: room for the program, not for 1024 thread stacks
    OneCpu,       // an affinity mask of one CPU, as taskset or a scheduler sets
};
Q_DECLARE_METATYPE(Limit)

class LimitedProcess : public QProcess
{
public:
    explicit LimitedProcess(Limit limit) : Applied(limit)
    {
        if (limit == Limit::StdoutFull)
            setStandardOutputFile(QStringLiteral("/dev/full"));
    }

protected:
    void setupChildProcess() override
    {
        if (Applied == Limit::StdoutClosed)
            ::close(STDOUT_FILENO);
        if (Applied == Limit::FileSize)
        {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit size{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &size);
        }
        if (Applied == Limit::Threads)
        {
            // Root is exempt from the limit; nobody owns no other process here.
            if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(99);
            const rlimit processes{6, 6};
            ::setrlimit(RLIMIT_NPROC, &processes);
        }
        if (Applied == Limit::OneCpu)
        {
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(sched_getcpu() >= 0 ? sched_getcpu() : 0, &one);
            ::sched_setaffinity(0, sizeof one, &one);
        }
        if (Applied == Limit::Memory)
        {
            const rlimit space{200u << 20, 200u << 20};
            ::setrlimit(RLIMIT_AS, &space);
        }
    }

private:
    Limit Applied;
};

inline CliResult RunCli(const QStringList& arguments, Limit limit = Limit::None,
                        int timeoutMs = 120000)
{
    LimitedProcess process(limit);
    process.start(QStringLiteral(FORMICULA_CLI), arguments);
    if (!process.waitForFinished(timeoutMs))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}
