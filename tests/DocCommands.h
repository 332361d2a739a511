#pragma once

// The command lines a Markdown document shows, so that a test can run them as a reader
// would. What counts:
// - only lines inside fenced code blocks (``` or ~~~); a block whose info string holds the
//   word `not-run` (```sh not-run) is left out: recipes that need a batch scheduler or
//   other hosts;
// - in a block with prompts (lines starting `$ `), every prompt line is a command and the
//   lines after it, up to the next prompt, are its expected stdout (`...` stands for any
//   lines); in a block without prompts, every line starting `formicula-cli`;
// - a trailing backslash joins the next line; a comment `# exit N` says the command is
//   meant to end with status N (0 otherwise).

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>

struct DocCommand
{
    int Line = 0; // 1-based, where the command starts
    QString Text;
    int Status = 0;
    bool ChecksOutput = false;
    QStringList Output; // as shown, trailing spaces dropped
};

struct DocCommands
{
    QVector<DocCommand> Commands;
    QVector<int> Unfenced; // lines outside a fence that look like a command: never run, so wrong
};

inline QString RightTrimmed(QString text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

inline DocCommands ExtractDocCommands(const QString& markdown)
{
    static const QRegularExpression fenceOpen(QStringLiteral("^ {0,3}(`{3,}|~{3,})(.*)$"));
    static const QRegularExpression exitMarker(QStringLiteral("#.*\\bexit (\\d+)\\b"));
    static const QRegularExpression looseCommand(QStringLiteral("^\\s+(\\$ )?formicula-cli\\b"));

    DocCommands found;
    const QStringList lines = markdown.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i)
    {
        const QRegularExpressionMatch open = fenceOpen.match(lines[i]);
        if (!open.hasMatch())
        {
            if (looseCommand.match(lines[i]).hasMatch())
                found.Unfenced.append(i + 1);
            continue;
        }
        const QString fence = open.captured(1);
        const bool skipped = open.captured(2).split(QLatin1Char(' ')).contains("not-run");
        QStringList block;
        int first = ++i;
        for (; i < lines.size(); ++i)
        {
            const QString trimmed = lines[i].trimmed();
            if (trimmed.startsWith(fence) && trimmed.count(fence.front()) == trimmed.size())
                break;
            block.append(lines[i]);
        }
        if (skipped)
            continue;

        bool prompts = false;
        for (const QString& line : block)
            prompts = prompts || line.startsWith(QLatin1String("$ "));
        int last = -1; // the prompt that output lines belong to
        for (int j = 0; j < block.size(); ++j)
        {
            QString text = block[j];
            const int line = first + j + 1;
            const bool isPrompt = text.startsWith(QLatin1String("$ "));
            if (prompts && !isPrompt)
            {
                if (last >= 0)
                    found.Commands[last].Output.append(RightTrimmed(text));
                continue;
            }
            if (isPrompt)
                text = text.mid(2);
            while (text.endsWith(QLatin1Char('\\')) && j + 1 < block.size())
                text = text.chopped(1) + block[++j].trimmed();
            if (!prompts && !text.startsWith(QLatin1String("formicula-cli")))
                continue;
            DocCommand command;
            command.Line = line;
            command.Text = text;
            command.ChecksOutput = prompts;
            const QRegularExpressionMatch status = exitMarker.match(text);
            if (status.hasMatch())
                command.Status = status.captured(1).toInt();
            found.Commands.append(command);
            last = found.Commands.size() - 1;
        }
        // Blank lines that close a block are layout, not output.
        for (DocCommand& command : found.Commands)
            while (!command.Output.isEmpty() && command.Output.back().isEmpty())
                command.Output.removeLast();
    }
    return found;
}

// Whether the lines shown match what the command printed: line for line, a `...` line
// standing for any number of lines.
inline bool OutputMatches(const QStringList& shown, const QStringList& printed, int s = 0,
                          int p = 0)
{
    if (s == shown.size())
        return p == printed.size();
    if (shown[s] == QLatin1String("..."))
    {
        for (int skip = p; skip <= printed.size(); ++skip)
            if (OutputMatches(shown, printed, s + 1, skip))
                return true;
        return false;
    }
    return p < printed.size() && shown[s] == printed[p] &&
           OutputMatches(shown, printed, s + 1, p + 1);
}
