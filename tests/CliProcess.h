#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QProcess>
#include <QProcessEnvironment>
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

// What the child lacks, alone or combined: set between fork and exec, so only formicula-cli
// feels it.
enum class Limit : unsigned
{
    None = 0,
    StdoutFull = 1u << 0,   // stdout is /dev/full
    StdoutClosed = 1u << 1, // as with >&-
    FileSize = 1u << 2,     // files end at 4 KB, SIGXFSZ ignored: the write fails as on a full disk
    Threads = 1u << 3,      // a handful of processes for the user (root runs it as nobody)
    Memory = 1u << 4,       // 200 MB of address space: room for the program, not for 1024 stacks
    FileSizeSignal = 1u << 5, // files end at 4 KB and SIGXFSZ kills, as under a shell's ulimit -f
    StdoutBroken = 1u << 6,   // stdout is a pipe nobody reads, as after `| head -c 6`
    NoTmpfile = 1u << 7,      // the file system has no O_TMPFILE: temporaries are named files
    OneCpu = 1u << 8,         // an affinity mask of one CPU, as taskset or a scheduler sets
};
Q_DECLARE_METATYPE(Limit)

constexpr Limit operator|(Limit a, Limit b)
{
    return Limit(unsigned(a) | unsigned(b));
}

constexpr bool Has(Limit set, Limit one)
{
    return (unsigned(set) & unsigned(one)) != 0;
}

class LimitedProcess : public QProcess
{
public:
    explicit LimitedProcess(Limit limit) : Applied(limit)
    {
        if (Has(limit, Limit::StdoutFull))
            setStandardOutputFile(QStringLiteral("/dev/full"));
    }

protected:
    void setupChildProcess() override
    {
        if (Has(Applied, Limit::StdoutClosed))
            ::close(STDOUT_FILENO);
        if (Has(Applied, Limit::StdoutBroken))
        {
            int ends[2];
            if (::pipe(ends) != 0 || ::dup2(ends[1], STDOUT_FILENO) < 0)
                ::_exit(99);
            ::close(ends[0]);
            ::close(ends[1]);
            std::signal(SIGPIPE, SIG_DFL);
        }
        if (Has(Applied, Limit::FileSize | Limit::FileSizeSignal))
        {
            std::signal(SIGXFSZ, Has(Applied, Limit::FileSize) ? SIG_IGN : SIG_DFL);
            const rlimit size{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &size);
        }
        if (Has(Applied, Limit::Threads))
        {
            // Root is exempt from the limit; nobody owns no other process here.
            if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(99);
            const rlimit processes{6, 6};
            ::setrlimit(RLIMIT_NPROC, &processes);
        }
        if (Has(Applied, Limit::OneCpu))
        {
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(sched_getcpu() >= 0 ? sched_getcpu() : 0, &one);
            ::sched_setaffinity(0, sizeof one, &one);
        }
        if (Has(Applied, Limit::Memory))
        {
            const rlimit space{200u << 20, 200u << 20};
            ::setrlimit(RLIMIT_AS, &space);
        }
    }

private:
    Limit Applied;
};

// The environment formicula-cli gets: this one, with TMPDIR when given and the preloaded
// library that takes O_TMPFILE away under Limit::NoTmpfile.
inline QProcessEnvironment CliEnvironment(Limit limit, const QString& temporaryDirectory = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!temporaryDirectory.isEmpty())
        environment.insert(QStringLiteral("TMPDIR"), temporaryDirectory);
    if (Has(limit, Limit::NoTmpfile))
    {
#ifdef FORMICULA_NO_TMPFILE
        environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(FORMICULA_NO_TMPFILE));
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
                           environment.value(QStringLiteral("ASAN_OPTIONS")) +
                               QStringLiteral(":verify_asan_link_order=0"));
#else
        environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral("missing-no-tmpfile.so"));
#endif
    }
    return environment;
}

// The iterations a run reports in its table, "iterations: N"; 0 when there is none.
inline quint64 ReportedIterations(const QByteArray& out)
{
    const int at = out.indexOf("iterations: ");
    return at < 0 ? 0 : out.mid(at + 12, out.indexOf('\n', at) - at - 12).toULongLong();
}

// The --size of run's arguments, 250 without one.
inline int FieldSizeOf(const QStringList& arguments)
{
    const int at = arguments.indexOf(QStringLiteral("--size"));
    return at < 0 ? 250 : arguments.value(at + 1).toInt();
}

inline CliResult RunCli(const QStringList& arguments, Limit limit = Limit::None,
                        int timeoutMs = 120000, const QString& temporaryDirectory = {})
{
    LimitedProcess process(limit);
    process.setProcessEnvironment(CliEnvironment(limit, temporaryDirectory));
    process.start(QStringLiteral(FORMICULA_CLI), arguments);
    if (!process.waitForFinished(timeoutMs))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}
