#include "CliProcess.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <sys/stat.h>

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void refused_data();
    void refused();
    void runs_data();
    void runs();
    void namesAreBytes_data();
    void namesAreBytes();
    void interruptRemovesWhatWasWritten_data();
    void interruptRemovesWhatWasWritten();
    void catalogueFormatsAgree();
    void helpPerCommand();
    void fieldRunEndsWhereItsHighwayLeaves_data();
    void fieldRunEndsWhereItsHighwayLeaves();
};

void TestCli::refused_data()
{
    QTest::addColumn<QStringList>("arguments"); // {dir}: a fresh directory
    QTest::addColumn<Limit>("limit");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("mentions");
    QTest::addColumn<bool>("previous");    // {dir}/field.png exists and must stay as it was
    QTest::addColumn<QByteArray>("start"); // what {start}, a file outside {dir}, holds

    auto usage = [](const char* name, const QStringList& arguments, const QString& mentions,
                    const QByteArray& start = {})
    { QTest::newRow(name) << arguments << Limit::None << 2 << mentions << false << start; };
    usage("no command", {}, "missing command");
    usage("unknown command", {"walk"}, "unknown command 'walk'");
    usage("unknown option, not command", {"--verbose"}, "unknown option '--verbose'");
    usage("help of an unknown command", {"help", "walk"}, "unknown command 'walk'");
    usage("-LR is an option", {"run", "-LR"}, "unknown option '-LR'");
    usage("--- is an option like -LR", {"run", "---"}, "unknown option '---'");
    usage("lone dash", {"run", "-"}, "no letter before its first '-'");
    usage("dashes after --", {"run", "--", "---"}, "no letter before its first '-'");
    usage("options after -- are arguments", {"run", "--", "LR", "--png", "{dir}/f.png"},
          "unexpected argument '--png'");
    usage("an option's name after --", {"catalogue", "--", "--csv"}, "unexpected argument '--csv'");
    usage("--help after --", {"--", "--help"}, "unexpected argument '--help'");
    usage("the option given before -- too", {"run", "LR", "--csv", "--", "--csv"},
          "unexpected argument '--csv'");
    usage("unknown option before --", {"run", "LR", "--bogus", "--", "--png"},
          "unknown option '--bogus'");
    usage("letters after a gap", {"run", "L-R"}, "would lose 'R'");
    usage("letters after a padded gap", {"run", "LR--RL-"}, "would lose 'RL-'");
    usage("UTF-8 character whole", {"run", "LRLRLRLRLRLé"}, "unknown character 'é'");
    usage("33 letters", {"run", "LRLRLRLRLRLRLRLRLRLRLRLRLRLRLRLRL"}, "33 letters; at most 32");
    usage("100 KB argument quoted short", {"run", QString(100000, 'x')}, "'xxxxxxxxxx");
    usage("newline kept on one line", {"run", "L\nR"}, "unknown character '\\n'");
    usage("missing rule", {"run"}, "missing RULE");
    usage("empty rule", {"run", ""}, "empty");
    usage("rule and preset", {"run", "LR", "--preset", "3"}, "not both");
    usage("number and rule", {"run", "LR", "--number", "3"}, "--number or a RULE, not both");
    usage("number and preset", {"run", "--number", "3", "--preset", "3"}, "not both");
    usage("number 0", {"run", "--number", "0"}, "--number must be a positive whole number");
    usage("number of 33 letters", {"run", "--number", "4294967296"}, "at most 4294967295");
    usage("preset 32", {"run", "--preset=32"}, "--preset must be a whole number from 1 to 31");
    usage("preset without value", {"run", "--preset"}, "option --preset needs a value");
    usage("-h as a value", {"run", "LR", "--png", "-h"}, "option --png needs a value");
    usage("option as a value", {"run", "LR", "--png", "--cell-size", "2"}, "--png needs a value");
    usage("cap negative", {"run", "LR", "--max-iterations", "-4"}, "positive whole number");
    usage("cap overflow", {"run", "LR", "--max-iterations", "99999999999999999999"}, "too large");
    usage("option twice", {"run", "LR", "--max-iterations", "5", "--max-iterations=6"},
          "more than once");
    usage("flag with a value", {"catalogue", "--csv=yes"}, "option --csv takes no value");
    usage("--version with a value", {"--version=2"}, "option --version takes no value");
    usage("value empty after =", {"run", "LR", "--max-iterations="},
          "option --max-iterations needs a value");
    usage("value missing before --", {"run", "--png", "--", "LR"}, "option --png needs a value");
    usage("typed option twice",
          {"run", "LR", "--gif", "{dir}/f.gif", "--frames=3", "--frames", "4"},
          "option --frames is given more than once");
    usage("preset not a number", {"run", "--preset", "3rd"}, "from 1 to 31, not '3rd'");
    usage("preset with a sign", {"run", "--preset", "+3"}, "from 1 to 31, not '+3'");
    usage("cell size empty", {"run", "LR", "--png", "{dir}/f.png", "--cell-size", ""},
          "--cell-size must be a whole number from 1 to 16, not ''");
    usage("delay beyond a minute", {"run", "LR", "--gif", "{dir}/f.gif", "--delay", "60010"},
          "from 20 to 60000");
    usage("every with a sign", {"run", "LR", "--trace", "{dir}/t.csv", "--every", "+5"},
          "positive whole number");
    usage("spacing empty", {"run", "LR", "--gif", "{dir}/f.gif", "--spacing="},
          "option --spacing needs a value");
    usage("memory in an unknown unit", {"run", "LR", "--max-memory", "5X"},
          "--max-memory must be a positive whole number of bytes, optionally with K, M or G, "
          "not '5X'");
    usage("memory 0K quoted whole", {"run", "LR", "--max-memory", "0K"}, "not '0K'");
    usage("memory unit alone", {"run", "LR", "--max-memory=K"}, "not 'K'");
    usage("plane with a value", {"run", "LR", "--plane=0"}, "option --plane takes no value");
    usage("plane with a word", {"survey", "--letters", "2", "--plane=abc"},
          "option --plane takes no value");
    usage("cap past 64-bit signed", {"run", "LR", "--max-iterations", "9223372036854775808"},
          "--max-iterations must be at most 9223372036854775807");
    usage("memory beyond 64 bits", {"survey", "--letters", "2", "--max-memory=99999999999G"},
          "--max-memory is too large");
    usage("spacing in capitals", {"run", "LR", "--gif", "{dir}/f.gif", "--spacing", "LOG"},
          "linear or log, not 'LOG'");
    usage("two formats", {"run", "LR", "--csv", "--json"}, "one output format");
    usage("unknown format", {"catalogue", "--format", "xml"}, "table, csv or json, not 'xml'");
    usage("empty format", {"catalogue", "--format", ""}, "table, csv or json, not ''");
    usage("empty format after =", {"run", "LR", "--format="}, "option --format needs a value");
    usage("second rule", {"run", "LR", "RL"}, "unexpected argument 'RL'");
    usage("second command", {"run", "LR", "survey"}, "unexpected argument 'survey'");
    usage("cell size 0", {"run", "LR", "--png", "{dir}/f.png", "--cell-size", "0"}, "1 to 16");
    usage("cell size without png or gif", {"run", "LR", "--cell-size", "2"},
          "needs --png FILE or --gif FILE");
    usage("png empty", {"run", "LR", "--png", ""}, "empty");
    usage("gif empty", {"run", "LR", "--gif", ""}, "empty");
    usage("resume empty", {"survey", "--resume", ""}, "the --resume file name is empty");
    usage("numbers from 0", {"survey", "--numbers", "0-5"}, "--numbers must be K or A-B");
    usage("numbers backwards", {"survey", "--numbers", "9-5"}, "not '9-5'");
    usage("numbers of 33 letters", {"survey", "--numbers", "1-4294967296"}, "<= 4294967295");
    // A plan holds every rule's letters.
    usage("numbers of too many rules", {"survey", "--numbers", "5-16777221"},
          "16777217 rules; a survey takes at most 16777216");
    usage("letters of too many rules", {"survey", "--letters", "22-24"}, "is 29360128 rules");
    usage("numbers and letters", {"survey", "--numbers", "5", "--letters", "3"},
          "either --letters or --numbers");
    usage("summary of nothing", {"summary"}, "missing FILE");
    usage("summary in an unknown format", {"summary", "{dir}/s.csv", "--format", "xml"},
          "not 'xml'");
    usage("2001 frames", {"run", "LR", "--gif", "{dir}/f.gif", "--frames=2001"}, "2 to 2000");
    usage("unknown spacing", {"run", "LR", "--gif", "{dir}/f.gif", "--spacing", "exp"},
          "linear or log, not 'exp'");
    usage("delay not in hundredths", {"run", "LR", "--gif", "{dir}/f.gif", "--delay", "45"},
          "multiple of 10 ms");
    usage("delay too short to be kept", {"run", "LR", "--gif", "{dir}/f.gif", "--delay", "10"},
          "from 20 to");
    usage("frames without gif", {"run", "LR", "--frames", "10"}, "--frames needs --gif");
    usage("every 0", {"run", "LR", "--trace", "{dir}/t.csv", "--every", "0"}, "positive whole");
    usage("every without trace", {"run", "LR", "--every", "5"}, "--every needs --trace");
    usage("view of three numbers", {"run", "LR", "--png", "{dir}/f.png", "--view", "1,2,3"},
          "--view must be X,Y,W,H (four whole numbers), not '1,2,3'");
    usage("view of no width", {"run", "LR", "--png", "{dir}/f.png", "--view", "1,2,0,4"},
          "--view W must be a whole number from 1 to 268435456, not '0'");
    usage("view at no number", {"run", "LR", "--gif", "{dir}/f.gif", "--view=x,-2,3,4"},
          "--view X must be a whole number from -536870912 to 536870912, not 'x'");
    usage("view height signed", {"run", "LR", "--gif", "{dir}/f.gif", "--view=1,-2,3,-4"},
          "--view H must be a whole number from 1 to 268435456, not '-4'");
    usage("view without png or gif", {"run", "LR", "--view", "0,0,9,9"},
          "--view needs --png FILE or --gif FILE");
    // Known before the run, so refused before its 10^11 iterations.
    usage("picture beyond the pixel limit",
          {"run", "L", "--max-iterations", "100000000000", "--size", "20000", "--png",
           "{dir}/f.png", "--cell-size", "1"},
          "20010 x 20010 pixels, more than 268435456; give a smaller --cell-size or a --view");
    usage("view beyond the pixel limit",
          {"run", "L", "--max-iterations", "100000000000", "--png", "-", "--view",
           "-8000,-8000,16375,16375", "--cell-size", "1"},
          "more than 268435456");
    usage("gif wider than a GIF can be",
          {"run", "L", "--max-iterations", "100000000000", "--gif", "{dir}/f.gif", "--view",
           "0,0,70000,1", "--cell-size", "1"},
          "70010 x 11 pixels, more than a GIF's 65535 a side");
    // The plane's box is known at its end: still refused before anything is written.
    usage("plane picture beyond the pixel limit",
          {"run", "LR", "--plane", "--max-period", "1", "--max-iterations", "200000", "--png",
           "{dir}/field.png", "--cell-size", "16"},
          "more than 268435456; give a smaller --cell-size or a --view");
    usage("png and gif both on stdout", {"run", "LR", "--png", "-", "--gif", "-"},
          "only one of --png, --gif and --trace");
    usage("gif and trace both on stdout", {"run", "LR", "--gif", "-", "--trace", "-"},
          "only one of");
    usage("png and gif one file", {"run", "LR", "--png", "{dir}/f", "--gif", "{dir}/./f"},
          "--png and --gif name one file");
    // {dir}/here is a link to {dir}, {dir}/link one to the missing {dir}/target.
    usage("one file through a linked directory",
          {"run", "LR", "--png", "{dir}/f", "--trace", "{dir}/here/f"},
          "--png and --trace name one file");
    usage("one file through a dangling link",
          {"run", "LR", "--png", "{dir}/link", "--gif", "{dir}/target"},
          "--png and --gif name one file");
    QTest::newRow("one existing file through a link")
        << QStringList{"run", "LR", "--gif", "{dir}/here/field.png", "--trace", "{dir}/field.png"}
        << Limit::None << 2 << "--gif and --trace name one file" << true << QByteArray();
    usage("max period zero", {"run", "LR", "--max-period", "0"}, "--max-period");
    usage("max period too long", {"survey", "--letters", "2", "--max-period", "100000001"},
          "at most 100000000");
    usage("shard beyond its count", {"survey", "--letters", "2", "--shard", "4/3"},
          "--shard must be I/N");
    usage("merge without files", {"merge"}, "missing FILE");
    usage("render without value", {"catalogue", "--render"}, "option --render needs a value");
    usage("survey without letters", {"survey", "--csv"}, "missing --letters");
    usage("zero letters", {"survey", "--letters", "0"}, "--letters must be");
    usage("letters backwards", {"survey", "--letters=5-3"}, "--letters must be");
    usage("letters negative", {"survey", "--letters", "-2"}, "--letters must be");
    usage("no jobs", {"survey", "--letters", "2", "--jobs", "0"}, "--jobs");
    usage("top zero", {"survey", "--letters", "2", "--top", "0"}, "--top");
    const QStringList start{"run", "LR", "--start", "{start}"};
    usage("start cell not a character", start, "line 2, column 2: ' ' is not a cell", ".1.\n2 1\n");
    usage("start cell not ASCII", start, "line 1, column 3: '\xc3\xa9' is not a cell",
          "12\xc3\xa9\n");
    usage("start colour beyond the rule", start,
          "line 3, column 2: colour 3 is not one of the rule's colours 0 to 2", "..\n\n.3\n");
    usage("start colour beyond 12", {"run", "RRLLLRLLLRRR", "--start", "{start}"},
          "line 1, column 1: colour 13 is not one of the rule's colours 0 to 12", "D\n");
    usage("start colour beyond 32", start, "line 1, column 1: 'X' is not a cell", "X\n");
    usage("start of no cells", start, "holds no cells", "\n\r\n");
    usage("start off the field", start + QStringList{"--size", "5", "--start-at", "3,0"},
          "the start field of 3 x 1 cells from (3, 0) does not fit the 5 x 5 field", "111");
    usage("start with a gif", start + QStringList{"--gif", "{dir}/f.gif"},
          "--gif and --trace replay the run from the blank start", "1");
    usage("ant with a trace", {"run", "LR", "--ant", "1,1,U", "--trace", "{dir}/t.csv"},
          "not with --start or --ant");
    usage("start name empty", {"run", "LR", "--start", ""}, "the --start file name is empty");
    usage("start-at without start", {"run", "LR", "--start-at", "1,2"},
          "--start-at needs --start FILE");
    usage("start-at of one number", start + QStringList{"--start-at", "4"},
          "--start-at must be X,Y (two whole numbers), not '4'", "1");
    usage("start-at beyond the coordinates", start + QStringList{"--start-at", "0,-536870913"},
          "--start-at Y must be a whole number from -536870912 to 536870912", "1");
    usage("ant without heading", {"run", "LR", "--ant", "1,2"}, "--ant must be X,Y,D");
    usage("ant heading unknown", {"run", "LR", "--ant", "1,2,u"},
          "--ant heading must be U, R, D or L, not 'u'");
    usage("ant off the field", {"run", "LR", "--ant", "250,0,U"},
          "the ant's cell (250, 0) is off the 250 x 250 field");
    usage("start far from the ant on the plane",
          start + QStringList{"--plane", "--start-at", "100000000,0", "--max-memory", "64M"},
          "more than the memory limit", "1");

    auto failure = [](const QByteArray& name, const QStringList& arguments, Limit limit,
                      const QString& mentions, bool previous = false)
    {
        QTest::newRow(name.constData())
            << arguments << limit << 1 << mentions << previous << QByteArray();
    };
    failure("png directory missing", {"run", "LR", "--png", "{dir}/no/f.png"}, Limit::None,
            "No such file or directory");
    failure("start file missing", {"run", "LR", "--start", "{dir}/start.txt"}, Limit::None,
            "start.txt': No such file or directory");
    failure("start file a directory", {"run", "LR", "--start", "{dir}"}, Limit::None,
            "is a directory, not a start field");
    failure("png is a directory", {"run", "LR", "--png", "{dir}"}, Limit::None, "directory");
    // A cap of 10^11 runs for minutes: the path must be refused before the run.
    failure("png checked before the run",
            {"run", "L", "--max-iterations", "100000000000", "--png", "/proc/f.png"}, Limit::None,
            "cannot write '/proc/f.png'");
    failure("render into a file", {"catalogue", "--render", "{dir}/field.png"}, Limit::None,
            "Not a directory", true);
    failure("png beyond the file size limit", {"run", "--preset", "5", "--png", "{dir}/field.png"},
            Limit::FileSize, "File too large", true);
    failure("render beyond the file size limit", {"catalogue", "--render", "{dir}/pictures"},
            Limit::FileSize, "File too large");
    failure("gif directory missing", {"run", "LR", "--gif", "{dir}/no/f.gif"}, Limit::None,
            "No such file or directory");
    failure("trace checked before the run",
            {"run", "L", "--max-iterations", "100000000000", "--trace", "/proc/t.csv"}, Limit::None,
            "cannot write '/proc/t.csv'");
    failure("gif beyond the file size limit", {"run", "--preset", "5", "--gif", "{dir}/field.png"},
            Limit::FileSize, "File too large", true);
    failure("trace beyond the file size limit",
            {"run", "--preset", "5", "--trace", "{dir}/field.png"}, Limit::FileSize,
            "File too large", true);
    // As under a shell's ulimit -f: the signal would end the process and leave its temporary.
    for (const char* option : {"--png", "--gif", "--trace"})
        for (Limit tmpfile : {Limit::None, Limit::NoTmpfile})
            failure(option + QByteArray(" under ulimit -f") +
                        (tmpfile == Limit::NoTmpfile ? " without O_TMPFILE" : ""),
                    {"run", "--preset", "5", option, "{dir}/field.png"},
                    Limit::FileSizeSignal | tmpfile, "File too large", true);
    failure("png beyond the file size limit without O_TMPFILE",
            {"run", "--preset", "5", "--png", "{dir}/field.png"},
            Limit::FileSize | Limit::NoTmpfile, "File too large", true);
    // Output lost to a full disk or a closed stdout is a failure, whatever the command.
    const QList<QStringList> commands{{"--help"},
                                      {"--version"},
                                      {"help", "run"},
                                      {"run", "LR", "--max-iterations", "9"},
                                      {"run", "LR", "--max-iterations=9", "--png", "-"},
                                      {"run", "LR", "--max-iterations=9", "--gif", "-"},
                                      {"run", "LR", "--max-iterations=9", "--trace", "-"},
                                      {"catalogue", "--csv"},
                                      {"survey", "--letters", "1-3", "--json"}};
    for (const QStringList& command : commands)
    {
        const QByteArray name = command.join(' ').toUtf8();
        failure(name + " to a full disk", command, Limit::StdoutFull,
                "write error: No space left on device");
        failure(name + " to closed stdout", command, Limit::StdoutClosed,
                "write error: Bad file descriptor");
        // The reader went away, as `| head -c 6` does: a failed write like any other.
        failure(name + " to a pipe nobody reads", command, Limit::StdoutBroken,
                "write error: Broken pipe");
    }
}

// Refused input and failed output alike: the status, exactly one short line on stderr naming
// the problem, nothing on stdout, and no file left behind or changed, in the directory (where
// links are files of their own) or in TMPDIR.
void TestCli::refused()
{
    QFETCH(QStringList, arguments);
    QFETCH(Limit, limit);
    QFETCH(int, status);
    QFETCH(QString, mentions);
    QFETCH(bool, previous);
    QFETCH(QByteArray, start);

    QTemporaryDir dir;
    QTemporaryDir temporaries;
    QTemporaryDir starts;
    const QString startFile = starts.filePath(QStringLiteral("start.txt"));
    {
        QFile file(startFile);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(start) == start.size());
    }
    arguments.replaceInStrings(QStringLiteral("{start}"), startFile);
    const QByteArray before = "the previous picture";
    const QString picture = dir.filePath(QStringLiteral("field.png"));
    if (previous)
    {
        QFile file(picture);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
    }
    const QByteArray base = QFile::encodeName(dir.path());
    QVERIFY(::symlink(".", base + "/here") == 0 && ::symlink("target", base + "/link") == 0);
    arguments.replaceInStrings(QStringLiteral("{dir}"), dir.path());

    const CliResult result = RunCli(arguments, limit, 30000, temporaries.path());
    QCOMPARE(result.Status, status);
    QVERIFY2(result.Out.isEmpty(), result.Out.left(200).constData());
    QCOMPARE(result.Err.count('\n'), 1);
    QVERIFY2(result.Err.startsWith("formicula-cli: "), result.Err.constData());
    QVERIFY2(QString::fromUtf8(result.Err).contains(mentions), result.Err.constData());
    QVERIFY2(result.Err.size() < 300, result.Err.left(300).constData());

    QStringList files;
    for (QDirIterator it(dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();)
        files << it.next();
    QCOMPARE(files, previous ? QStringList{picture} : QStringList{});
    QCOMPARE(QDir(temporaries.path())
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
             QStringList{});
    if (previous)
    {
        QFile file(picture);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }
}

void TestCli::namesAreBytes_data()
{
    QTest::addColumn<QStringList>("options"); // {name}: a name that is no UTF-8
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QByteArray>("written"); // what must exist in the directory afterwards
    for (const char* locale : {"C.UTF-8", "C"})
    {
        const auto row = [locale](const char* name) -> QTestData&
        { return QTest::addRow("%s, LC_ALL=%s", name, locale); };
        row("png") << QStringList{"run", "LR", "--png", "{name}.png"} << locale
                   << QByteArray("\xff\xfe.png");
        row("gif") << QStringList{"run", "LR", "--max-iterations=5", "--gif", "{name}.gif"}
                   << locale << QByteArray("\xff\xfe.gif");
        row("trace") << QStringList{"run", "LR", "--max-iterations=5", "--trace", "{name}.csv"}
                     << locale << QByteArray("\xff\xfe.csv");
        row("render") << QStringList{"catalogue", "--render", "{name}"} << locale
                      << QByteArray("\xff\xfe/ant_ai_preset_31.png");
    }
}

// File names are bytes: one that is not UTF-8 is written as given, whatever the locale.
void TestCli::namesAreBytes()
{
    QFETCH(QStringList, options);
    QFETCH(QString, locale);
    QFETCH(QByteArray, written);

    // Latin-1 keeps every byte of a name: in the arguments QProcess passes, in the listing
    // and when the directory is removed.
    QTextCodec* const codec = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    const auto restore = qScopeGuard([codec] { QTextCodec::setCodecForLocale(codec); });
    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path()) + '/';
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), locale);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir.path());
    options.replaceInStrings(QStringLiteral("{name}"), QString::fromLatin1("\xff\xfe"));
    process.start(QStringLiteral(FORMICULA_CLI), options);
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    struct stat status;
    QVERIFY2(::stat(base + written, &status) == 0, written.constData());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
}

void TestCli::interruptRemovesWhatWasWritten_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("signal");
    QTest::addColumn<Limit>("limit");
    QTest::addColumn<bool>("toStdout");
    QTest::addColumn<QString>("mentions");
    const Limit none = Limit::None;
    const Limit noTmpfile = Limit::NoTmpfile;
    // RLR grows for long on the plane: the run, or its trace every iteration, lasts far
    // beyond the signal.
    QTest::newRow("Ctrl-C in the run, png waiting")
        << QStringList{"run",           "RLR",   "--plane",        "--max-iterations",
                       "1000000000000", "--png", "{dir}/field.png"}
        << SIGINT << none << false << "interrupted";
    QTest::newRow("SIGTERM writing a trace")
        << QStringList{"run",       "RLR",     "--plane",        "--max-iterations=100000000",
                       "--every=1", "--trace", "{dir}/field.png"}
        << SIGTERM << none << false << "terminated";
    QTest::newRow("SIGTERM writing a trace without O_TMPFILE, png written already")
        << QStringList{"run",
                       "RLR",
                       "--plane",
                       "--max-iterations=100000000",
                       "--every=1",
                       "--png",
                       "{dir}/p.png",
                       "--trace",
                       "{dir}/field.png"}
        << SIGTERM << noTmpfile << false << "terminated";
    QTest::newRow("Ctrl-C writing a gif without O_TMPFILE")
        << QStringList{"run",         "--preset", "5",        "--gif", "{dir}/field.png",
                       "--cell-size", "16",       "--frames", "2000"}
        << SIGINT << noTmpfile << false << "interrupted";
    QTest::newRow("Ctrl-C writing a gif to stdout")
        << QStringList{"run",         "--preset", "5",        "--gif", "-",
                       "--cell-size", "16",       "--frames", "2000"}
        << SIGINT << none << true << "interrupted";
    QTest::newRow("SIGHUP writing a trace to stdout")
        << QStringList{"run",       "RLR",     "--plane", "--max-iterations=100000000",
                       "--every=1", "--trace", "-"}
        << SIGHUP << none << true << "hung up";
}

// A signal ends the run with the shell's status for it and one line; a file it was writing
// is gone, a file it wrote already is not put in place, the previous one stays, and TMPDIR
// stays empty. Without O_TMPFILE the unfinished file is a named one beside the target: the
// signal comes once it is there.
void TestCli::interruptRemovesWhatWasWritten()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, signal);
    QFETCH(Limit, limit);
    QFETCH(bool, toStdout);
    QFETCH(QString, mentions);

    QTemporaryDir dir;
    QTemporaryDir temporaries;
    const QString picture = dir.filePath(QStringLiteral("field.png"));
    const QByteArray before = "the previous picture";
    {
        QFile file(picture);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
    }
    arguments.replaceInStrings(QStringLiteral("{dir}"), dir.path());
    QProcess process;
    process.setProcessEnvironment(CliEnvironment(limit, temporaries.path()));
    process.start(QStringLiteral(FORMICULA_CLI), arguments);
    QVERIFY(process.waitForStarted());
    const QStringList previousOnly{QStringLiteral("field.png")};
    if (Has(limit, Limit::NoTmpfile))
        QTRY_VERIFY_WITH_TIMEOUT(QDir(dir.path()).entryList(QDir::Files).size() > 1, 30000);
    else
        QTest::qWait(1500);
    QCOMPARE(process.state(), QProcess::Running);
    QVERIFY(::kill(static_cast<pid_t>(process.processId()), signal) == 0);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 128 + signal);
    const QByteArray err = process.readAllStandardError();
    QCOMPARE(err, "formicula-cli: " + mentions.toUtf8() + '\n');
    if (!toStdout)
        QCOMPARE(process.readAllStandardOutput(), QByteArray());

    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             previousOnly);
    QFile file(picture);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    QCOMPARE(
        QDir(temporaries.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList{});
}

void TestCli::runs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("preset 3")
        << QStringList{"run", "--preset", "3"}
        << QByteArray("rule: LR\nnumber: 2\niterations: 15517\nfinished: true\nx: 249\n"
                      "y: 223\ndirection: R\n"
                      "colours: 59954 1191 1355 0 0 0 0 0 0 0 0 0 0\n"
                      "highway: period 104, onset 9977, drift 2 2, "
                      "certified at 9977\n");
    // 6 is LRR: bit i set means letter i is R.
    QTest::newRow("census number")
        << QStringList{"run", "--number", "6", "--max-iterations", "5"}
        << QByteArray("rule: LRR\nnumber: 6\niterations: 5\nfinished: false\nx: 126\ny: "
                      "125\ndirection: R\n"
                      "colours: 62496 0 3 1 0 0 0 0 0 0 0 0 0\nhighway: none\n");
    QTest::newRow("padding after the rule")
        << QStringList{"run", "LR----------", "--max-iterations", "5"}
        << QByteArray(
               "rule: LR\nnumber: 2\niterations: 5\nfinished: false\nx: 126\ny: 125\ndirection: R\n"
               "colours: 62496 1 3 0 0 0 0 0 0 0 0 0 0\nhighway: none\n");
    // A rule of one letter kind circles for ever: proven so, not run to the cap.
    QTest::newRow("circling rule proven never")
        << QStringList{"run", "R", "--max-iterations=1000"}
        << QByteArray(
               "rule: R\nnumber: 1\niterations: 11\nfinished: false\noutcome: never\nx: 125\n"
               "y: 126\ndirection: L\ncolours: 62496 4 0 0 0 0 0 0 0 0 0 0 0\n"
               "highway: none\n");
    QTest::newRow("circling rule proven never on the plane")
        << QStringList{"run", "L", "--plane", "--max-iterations=9223372036854775807"}
        << QByteArray("rule: L\nnumber: 1 mirror\niterations: 11\nfinished: false\noutcome: "
                      "never\nx: 125\n"
                      "y: 126\ndirection: R\ncolours: 0 4 0 0 0 0 0 0 0 0 0 0 0\n"
                      "highway: none\n");
    const QByteArray runHeader =
        "rule,number,number_mirror,iterations,finished,x,y,direction,colours_0,colours_1,"
        "colours_2,colours_3,colours_4,colours_5,colours_6,colours_7,colours_8,colours_9,"
        "colours_10,colours_11,colours_12,highway_period,highway_onset,highway_drift_x,"
        "highway_drift_y,highway_certified_at\n";
    QTest::newRow("preset capped, as CSV")
        << QStringList{"run", "--max-iterations", "1", "--preset", "1", "--format", "csv"}
        << (runHeader + "RLRLRLLRLR,661,false,1,false,126,125,R,62499,0,1,0,0,0,0,0,0,0,0,0,0,"
                        ",,,,\n");
    QTest::newRow("LR's highway, as CSV")
        << QStringList{"run", "LR", "--csv"}
        << (runHeader + "LR,2,false,15517,true,249,223,R,59954,1191,1355,0,0,0,0,0,0,0,0,0,0,"
                        "104,9977,2,2,9977\n");
    // The field takes 1 004 004 bytes, the stepper's trail 145 536, its highway snapshots
    // the rest, until they outgrow it.
    QTest::newRow("snapshots outgrow --max-memory on a bounded field")
        << QStringList{"run", "RLR", "--size", "1000", "--max-memory", "1200K"}
        << QByteArray("rule: RLR\nnumber: 5\niterations: 2040776\nfinished: false\noutcome: "
                      "memory\nx: 460\n"
                      "y: 436\ndirection: U\n"
                      "colours: 950346 14396 17918 17340 0 0 0 0 0 0 0 0 0\nhighway: none\n");
    // A proven highway gives the state at the cap without stepping there: LR's colour-2
    // cells grow by 12 every 104 iterations from 9977 on (from 114 952, stepped, at 999 960);
    // the box's blank cells pass 64 bits.
    QTest::newRow("LR at 10^18 on the plane")
        << QStringList{"run", "LR", "--plane", "--max-iterations", "1000000000000000000"}
        << QByteArray("rule: LR\nnumber: 2\niterations: 1000000000000000000\nfinished: false\n"
                      "outcome: highway\nx: 19230769230769181\ny: 19230769230769157\n"
                      "direction: U\ncolours: - 96153846153845852 115384615384614952 0 0 0 0 0 "
                      "0 0 0 0 0\nhighway: period 104, onset 9977, drift 2 2, certified at 9977\n");
    QTest::newRow("LR at 10^18 on the plane, as CSV")
        << QStringList{"run", "LR", "--plane", "--max-iterations", "1000000000000000000", "--csv"}
        << QByteArray("rule,number,number_mirror,iterations,finished,outcome,x,y,direction,colours_"
                      "0,colours_1,"
                      "colours_2,colours_3,colours_4,colours_5,colours_6,colours_7,colours_8,"
                      "colours_9,colours_10,colours_11,colours_12,visited,min_x,min_y,max_x,max_y,"
                      "highway_period,highway_onset,highway_drift_x,highway_drift_y,"
                      "highway_certified_at\n"
                      "LR,2,false,1000000000000000000,false,highway,19230769230769181,"
                      "19230769230769157,U,,"
                      "96153846153845852,115384615384614952,0,0,0,0,0,0,0,0,0,0,"
                      "211538461538460804,96,103,19230769230769182,19230769230769159,104,9977,2,2,"
                      "9977\n");
    // A long period limit no longer puts off the proof of a short period until the diagonal
    // plane has filled the memory (it ended as memory at 860 456).
    QTest::newRow("LR on the plane with a period limit of 10^8")
        << QStringList{"run",     "LR",           "--plane",  "--max-iterations",
                       "1000000", "--max-period", "100000000"}
        << QByteArray("rule: LR\nnumber: 2\niterations: 1000000\nfinished: false\n"
                      "outcome: highway\nx: 19181\ny: 19157\ndirection: U\n"
                      "colours: 363530155 95852 114952 0 0 0 0 0 0 0 0 0 0\n"
                      "highway: period 104, onset 9977, drift 2 2, certified at 9977\n");
    // A period limit below the highway's hides it.
    QTest::newRow("period limit below LR's")
        << QStringList{"run", "LR", "--max-period", "103"}
        << QByteArray("rule: LR\nnumber: 2\niterations: 15517\nfinished: true\nx: 249\ny: "
                      "223\ndirection: R\n"
                      "colours: 59954 1191 1355 0 0 0 0 0 0 0 0 0 0\nhighway: none\n");
}

void TestCli::runs()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);
    const CliResult result = RunCli(arguments);
    QCOMPARE(result.Status, 0);
    QCOMPARE(result.Out, expected);
    QVERIFY(result.Err.isEmpty());
}

void TestCli::fieldRunEndsWhereItsHighwayLeaves_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("cap");
    // Leaving by each of the four sides; capped after the proof, before the edge.
    QTest::newRow("LR, by the right") << "LR" << 6001 << "";
    QTest::newRow("LLR, by the bottom") << "LLR" << 4001 << "";
    QTest::newRow("RRLR, by the top") << "RRLR" << 3001 << "";
    QTest::newRow("LLRRLRLLR, by the left, a late highway") << "LLRRLRLLR" << 2501 << "";
    QTest::newRow("LR, capped on its highway") << "LR" << 6001 << "100003";
}

// A run proven on its highway finishes where the highway's course leaves the field, as the
// run stepped there (a trace makes the run step) does.
void TestCli::fieldRunEndsWhereItsHighwayLeaves()
{
    QFETCH(QString, rule);
    QFETCH(int, size);
    QFETCH(QString, cap);
    QStringList arguments{"run", rule, "--size", QString::number(size), "--csv"};
    if (!cap.isEmpty())
        arguments << "--max-iterations" << cap;
    QTemporaryDir dir;
    const CliResult jumped = RunCli(arguments);
    const CliResult stepped =
        RunCli(arguments + QStringList{"--trace", dir.filePath("t.csv"), "--every", "1000000000"});
    QCOMPARE(jumped.Status, 0);
    QCOMPARE(stepped.Status, 0);
    QCOMPARE(jumped.Out, stepped.Out);
    QVERIFY(jumped.Out.contains(cap.isEmpty() ? ",true," : ",false,"));
}

// The CSV, JSON and table forms of the catalogue carry the same values under the same names.
void TestCli::catalogueFormatsAgree()
{
    const CliResult csv = RunCli({"catalogue", "--csv"});
    const CliResult json = RunCli({"catalogue", "--json"});
    const CliResult table = RunCli({"catalogue"});
    QCOMPARE(csv.Status, 0);
    QCOMPARE(json.Status, 0);
    QCOMPARE(table.Status, 0);

    const QList<QByteArray> lines = csv.Out.trimmed().split('\n');
    QCOMPARE(lines.size(), 32);
    const QList<QByteArray> names = lines.front().split(',');
    QCOMPARE(names.mid(0, 8), (QList<QByteArray>{"preset", "rule", "expected", "iterations", "x",
                                                 "y", "direction", "colours_0"}));
    QCOMPARE(names.mid(19),
             (QList<QByteArray>{"colours_12", "highway_period", "highway_onset", "highway_drift_x",
                                "highway_drift_y", "highway_certified_at"}));
    QCOMPARE(lines[3], QByteArray("3,LR,15517,15517,249,223,R,59954,1191,1355,0,0,0,0,0,0,0,0,0,"
                                  "0,104,9977,2,2,9977"));
    QCOMPARE(table.Out.left(table.Out.indexOf('\n')).simplified(),
             QByteArray("preset rule expected iterations x y direction colours_0 highway check"));

    const QJsonObject root = QJsonDocument::fromJson(json.Out).object();
    QCOMPARE(root["mismatches"].toInt(-1), 0);
    const QJsonArray rows = root["rows"].toArray();
    QCOMPARE(rows.size(), 31);
    for (int n = 1; n <= 31; ++n)
    {
        const QJsonObject row = rows[n - 1].toObject();
        QCOMPARE(row["check"].toString(), QString("ok"));
        QStringList cells;
        for (const QByteArray& name : names.mid(0, 7))
            cells << row[QString(name)].toVariant().toString();
        qint64 cellsCounted = 0;
        for (const QJsonValue& count : row["colours"].toArray())
        {
            cells << QString::number(count.toDouble(), 'f', 0);
            cellsCounted += static_cast<qint64>(count.toDouble());
        }
        for (const QByteArray& name : names.mid(20))
            cells << (row[QString(name)].isNull() ? QString()
                                                  : row[QString(name)].toVariant().toString());
        QCOMPARE(cells.join(',').toUtf8(), lines[n]);
        QCOMPARE(cellsCounted, qint64(62500));
    }
}

void TestCli::helpPerCommand()
{
    const CliResult top = RunCli({"--help"});
    QCOMPARE(top.Status, 0);
    for (const char* word : {"run", "catalogue", "survey", "Exit status: 0 success, 1 runtime"})
        QVERIFY2(top.Out.contains(word), word);
    for (const char* command : {"run", "catalogue", "survey", "summary"})
    {
        const CliResult help = RunCli({command, "--help"});
        QCOMPARE(help.Status, 0);
        QVERIFY(help.Err.isEmpty());
        QVERIFY2(help.Out.contains("Usage: formicula-cli " + QByteArray(command)),
                 help.Out.constData());
        QVERIFY(help.Out.contains("--format"));
        QCOMPARE(RunCli({"help", command}).Out, help.Out);
    }
    const CliResult version = RunCli({"--version"});
    QCOMPARE(version.Status, 0);
    QVERIFY(version.Out.startsWith("formicula-cli 1."));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
