#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

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

// Bad input must give exactly one line on stderr, naming the problem, exit status 2 and
// nothing on stdout.
inline void VerifyUsageError(const CliResult& result, const QString& mentions)
{
    QCOMPARE(result.Status, 2);
    QVERIFY(result.Out.isEmpty());
    QCOMPARE(result.Err.count('\n'), 1);
    QVERIFY2(result.Err.startsWith("formicula-cli: "), result.Err.constData());
    QVERIFY2(QString(result.Err).contains(mentions), result.Err.constData());
}
