#include "DocCommands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <memory>

// Runs every command line the documents show against the built program, in the order shown,
// so that a renamed option or a changed output breaks the build rather than the reader.
class TestDocCommands : public QObject
{
    Q_OBJECT

private slots:
    void extraction_data();
    void extraction();
    void outputMatching_data();
    void outputMatching();
    void everyDocumentIsChecked_data();
    void everyDocumentIsChecked();
    void documented_data();
    void documented();

private:
    // One per document: its commands build on each other's files.
    std::map<QString, std::unique_ptr<QTemporaryDir>> Directories;
};

namespace
{
QStringList Documents()
{
    QStringList names{QStringLiteral("README.md"), QStringLiteral("CONTRIBUTING.md")};
    const QDir docs(QStringLiteral(FORMICULA_SOURCE_DIR "/docs"));
    for (const QString& name : docs.entryList({QStringLiteral("*.md")}, QDir::Files, QDir::Name))
        names.append(QStringLiteral("docs/") + name);
    return names;
}

QString Read(const QString& document)
{
    QFile file(QStringLiteral(FORMICULA_SOURCE_DIR "/") + document);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// "line:status:text", and "=> output lines" for a prompt: one string a row can compare.
QStringList Describe(const QVector<DocCommand>& commands)
{
    QStringList described;
    for (const DocCommand& command : commands)
    {
        QString one =
            QStringLiteral("%1:%2:%3").arg(command.Line).arg(command.Status).arg(command.Text);
        if (command.ChecksOutput)
            one += QStringLiteral(" => ") + command.Output.join(QLatin1Char('/'));
        described.append(one);
    }
    return described;
}
} // namespace

void TestDocCommands::extraction_data()
{
    QTest::addColumn<QString>("markdown");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("unfenced");

    QTest::newRow("plain block: only formicula-cli lines")
        << "Text\n```sh\ncmake --install build\nformicula-cli run LR   # a comment\n"
           "formicula-cli catalogue\n```\n"
        << QStringList{"4:0:formicula-cli run LR   # a comment", "5:0:formicula-cli catalogue"}
        << "";
    QTest::newRow("not-run block left out, the next one read")
        << "```sh not-run\nformicula-cli survey --letters 12\n```\n```\nformicula-cli run L\n```"
        << QStringList{"5:0:formicula-cli run L"} << "";
    QTest::newRow("continuation lines joined")
        << "```\nformicula-cli survey --letters 2 \\\n    --csv \\\n    --quiet\n```"
        << QStringList{"2:0:formicula-cli survey --letters 2 --csv --quiet"} << "";
    QTest::newRow("exit marker")
        << "```\nformicula-cli merge a.csv   # exit 1: the second shard is missing\n```"
        << QStringList{"2:1:formicula-cli merge a.csv   # exit 1: the second shard is missing"}
        << "";
    QTest::newRow("prompts: every command, output up to the next prompt")
        << "```console\n$ formicula-cli run LR\nrule: LR\n...\n\n$ ls\na.png\n\n```"
        << QStringList{"2:0:formicula-cli run LR => rule: LR/...", "6:0:ls => a.png"} << "";
    QTest::newRow("tilde fence, and a longer fence holds a shorter one")
        << "~~~\nformicula-cli run R\n~~~\n````\n```\nformicula-cli run L\n````"
        << QStringList{"2:0:formicula-cli run R", "6:0:formicula-cli run L"} << "";
    QTest::newRow("indented command outside a fence is reported")
        << "Run\n\n    formicula-cli run LR\n\n    $ formicula-cli catalogue\n"
        << QStringList{} << "3,5";
    QTest::newRow("unclosed fence runs to the end")
        << "```\nformicula-cli run LR" << QStringList{"2:0:formicula-cli run LR"} << "";
}

void TestDocCommands::extraction()
{
    QFETCH(QString, markdown);
    QFETCH(QStringList, commands);
    QFETCH(QString, unfenced);

    const DocCommands found = ExtractDocCommands(markdown);
    QCOMPARE(Describe(found.Commands), commands);
    QStringList lines;
    for (int line : found.Unfenced)
        lines.append(QString::number(line));
    QCOMPARE(lines.join(QLatin1Char(',')), unfenced);
}

void TestDocCommands::outputMatching_data()
{
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("printed");
    QTest::addColumn<bool>("matches");

    const QStringList printed{"rule: LR", "iterations: 11", "x: 3"};
    QTest::newRow("all lines") << printed << printed << true;
    QTest::newRow("a line differs")
        << QStringList{"rule: LR", "iterations: 12", "x: 3"} << printed << false;
    QTest::newRow("a printed line not shown")
        << QStringList{"rule: LR", "x: 3"} << printed << false;
    QTest::newRow("a shown line not printed") << printed + QStringList{"y: 4"} << printed << false;
    QTest::newRow("... in the middle") << QStringList{"rule: LR", "...", "x: 3"} << printed << true;
    QTest::newRow("... for nothing")
        << QStringList{"rule: LR", "...", "iterations: 11", "x: 3"} << printed << true;
    QTest::newRow("... then a line that is not there")
        << QStringList{"...", "y: 4"} << printed << false;
    QTest::newRow("nothing shown, nothing printed") << QStringList{} << QStringList{} << true;
}

void TestDocCommands::outputMatching()
{
    QFETCH(QStringList, shown);
    QFETCH(QStringList, printed);
    QFETCH(bool, matches);

    QCOMPARE(OutputMatches(shown, printed), matches);
}

void TestDocCommands::everyDocumentIsChecked_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<bool>("needsCommands");

    for (const QString& document : Documents())
        QTest::addRow("%s", qPrintable(document))
            << document << (document == "README.md" || document == "docs/cli.md");
}

void TestDocCommands::everyDocumentIsChecked()
{
    QFETCH(QString, document);
    QFETCH(bool, needsCommands);

    const QString markdown = Read(document);
    QVERIFY2(!markdown.isEmpty() || !needsCommands, "missing or empty");
    const DocCommands found = ExtractDocCommands(markdown);
    if (needsCommands)
        QVERIFY2(!found.Commands.isEmpty(), "no command line found: the test would check nothing");
    QStringList lines;
    for (int line : found.Unfenced)
        lines.append(QString::number(line));
    QVERIFY2(found.Unfenced.isEmpty(),
             qPrintable("commands outside a fenced block, never run, at lines " + lines.join(',')));
}

void TestDocCommands::documented_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("checksOutput");
    QTest::addColumn<QStringList>("output");

    int rows = 0;
    for (const QString& document : Documents())
        for (const DocCommand& command : ExtractDocCommands(Read(document)).Commands)
        {
            QTest::addRow("%s:%d %s", qPrintable(document), command.Line,
                          qPrintable(command.Text.left(60)))
                << document << command.Text << command.Status << command.ChecksOutput
                << command.Output;
            ++rows;
        }
    // A test function without rows aborts; this row fails instead.
    if (rows == 0)
        QTest::newRow("no command found") << QString() << QString() << 0 << false << QStringList();
}

void TestDocCommands::documented()
{
    QFETCH(QString, document);
    QFETCH(QString, command);
    QFETCH(int, status);
    QFETCH(bool, checksOutput);
    QFETCH(QStringList, output);

    QVERIFY2(!command.isEmpty(), "the documents show no command line");
    std::unique_ptr<QTemporaryDir>& directory = Directories[document];
    if (!directory)
        directory = std::make_unique<QTemporaryDir>();
    QVERIFY(directory->isValid());

    // The built program comes first on PATH, as the installed one would be found.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", QFileInfo(QStringLiteral(FORMICULA_CLI)).absolutePath() + ':' +
                                   environment.value("PATH"));
    environment.insert("TMPDIR", directory->path());
    QProcess shell;
    shell.setProcessEnvironment(environment);
    shell.setWorkingDirectory(directory->path());
    shell.setStandardInputFile(QProcess::nullDevice());
    shell.start(QStringLiteral("bash"), {"-o", "pipefail", "-c", command});
    QVERIFY2(shell.waitForFinished(60000), "over a minute: keep documented examples small");

    const int exited = shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1;
    const QString err = QString::fromUtf8(shell.readAllStandardError());
    QVERIFY2(exited == status, qPrintable(QStringLiteral("exit status %1, the document says %2; %3")
                                              .arg(exited)
                                              .arg(status)
                                              .arg(err.trimmed())));
    if (checksOutput)
    {
        QStringList printed;
        for (const QString& line : QString::fromUtf8(shell.readAllStandardOutput()).split('\n'))
            printed.append(RightTrimmed(line));
        while (!printed.isEmpty() && printed.back().isEmpty())
            printed.removeLast();
        QVERIFY2(OutputMatches(output, printed),
                 qPrintable("the document shows another output; printed:\n" + printed.join('\n')));
    }
}

QTEST_GUILESS_MAIN(TestDocCommands)
#include "tst_doccommands.moc"
