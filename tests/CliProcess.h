#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the built formicula-cli (its path comes from the build) and collects what it said.
struct CliResult
{
    int Status = -1; // -1: it crashed or did not finish in time
    QByteArray Out;
    QByteArray Err;
};

inline CliResult RunCli(const QStringList& arguments, int timeoutMs = 120000)
{
    QProcess process;
    process.start(QStringLiteral(FORMICULA_CLI), arguments);
    if (!process.waitForFinished(timeoutMs))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}
