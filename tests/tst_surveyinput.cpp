#include "MaxPeriodOption.h"
#include "OutputFormat.h"
#include "RecordWriter.h"
#include "RuntimeFailure.h"
#include "Survey.h"
#include "SurveyInput.h"
#include "SurveyRecords.h"

#include <nlohmann/json.hpp>

#include <QtTest>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

// Survey outputs read back for merge and --resume: what the survey command writes comes
// back row for row, and a file that does not add up is refused with its place.
class TestSurveyInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void edited_data();
    void edited();

private:
    QByteArray CsvWith(int line, const char* column, const QByteArray& value) const;
    QByteArray JsonWith(const char* pointer, const nlohmann::json& value) const;

    QTemporaryDir Dir;
    QByteArray Csv;  // survey --letters 1-2 --max-iterations 1000 --csv
    QByteArray Json; // the same, --json
    QStringList Rows;
};

namespace
{
// Every field a reader gets back, one line per row; sorted, as files hold them by outcome.
QStringList Described(const std::vector<SurveyRow>& rows)
{
    QStringList lines;
    for (const SurveyRow& r : rows)
    {
        const Highway& h = r.Highway;
        const FieldSummary& g = r.Growth;
        lines << QString::asprintf(
            "%s %s %llu period %llu at %d %d %c highway %d %llu %llu %d %d %llu visited %llu "
            "box %d %d %d %d",
            r.Rule.c_str(), TraitsOf(r.Outcome).Name, (unsigned long long)r.Iterations,
            (unsigned long long)r.Period, r.Position.X, r.Position.Y, r.Position.Direction,
            int(h.Found), (unsigned long long)h.Period, (unsigned long long)h.Onset, h.DriftX,
            h.DriftY, (unsigned long long)h.CertifiedAt, (unsigned long long)g.Visited, g.MinX,
            g.MinY, g.MaxX, g.MaxY);
        if (r.Type)
            lines.back() += QStringLiteral(" type ") +
                            QString::fromStdString(r.Type->Name(static_cast<int>(r.Rule.size())));
    }
    lines.sort();
    return lines;
}

void Run(Survey& survey, bool plane, bool types = false)
{
    survey.SetTypes(types);
    survey.SetHighwayMaxPeriod(MaxPeriodOption::Default);
    survey.SetGeometry(250, plane, RunOptions::DefaultMaxMemory);
    survey.Run(1, nullptr);
}

// Written as the survey command writes it; its writer only knows stdout, so stdout is the
// file meanwhile.
QByteArray Written(const Survey& survey, int toLetters, std::uint64_t cap, bool plane, bool json,
                   const QString& path, bool types = false)
{
    SurveyRecords::Description about;
    about.LettersTo = toLetters;
    about.Cap = cap;
    about.MaxPeriod = MaxPeriodOption::Default;
    about.RulesTotal = survey.RuleCount();
    about.RulesDone = survey.DoneCount();
    about.Plane = plane;
    about.Types = types;
    const std::vector<const SurveyRow*> sorted = SurveyRecords::Sorted(survey.Rows(), 0);
    about.Rows = sorted.size();
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int file = ::open(QFile::encodeName(path), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(file, STDOUT_FILENO);
    ::close(file);
    RecordWriter writer(json ? OutputFormat::Json : OutputFormat::Csv,
                        SurveyRecords::Of(SurveyRow{}, &about));
    for (const SurveyRow* row : sorted)
        writer.Add(SurveyRecords::Of(*row, &about));
    writer.Finish(about.Head());
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    QFile written(path);
    return written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
}
} // namespace

void TestSurveyInput::initTestCase()
{
    QVERIFY(Dir.isValid());
    Survey survey(1, 2, 1000);
    Run(survey, false);
    Csv = Written(survey, 2, 1000, false, false, Dir.filePath("base.csv"));
    Json = Written(survey, 2, 1000, false, true, Dir.filePath("base.json"));
    Rows = Described(survey.Rows());
    QCOMPARE(Csv.count('\n'), 7);
}

void TestSurveyInput::roundTrip_data()
{
    QTest::addColumn<bool>("json");
    QTest::addColumn<bool>("plane");
    QTest::addColumn<bool>("types");
    QTest::newRow("csv") << false << false << false;
    QTest::newRow("json") << true << false << false;
    QTest::newRow("csv on the plane") << false << true << false;
    QTest::newRow("json on the plane") << true << true << false;
    QTest::newRow("csv with types") << false << false << true;
    QTest::newRow("json on the plane with types") << true << true << true;
}

void TestSurveyInput::roundTrip()
{
    QFETCH(bool, json);
    QFETCH(bool, plane);
    QFETCH(bool, types);
    Survey survey(1, 4, 100000);
    Run(survey, plane, types);
    const std::vector<SurveyRow>& rows = survey.Rows();
    // Rows that leave fields empty or null and rows that fill them, or the trip proves little.
    auto has = [&](auto pass) { return std::any_of(rows.begin(), rows.end(), pass); };
    QVERIFY(has([](const SurveyRow& r) { return r.Highway.Found; }));
    QCOMPARE(has([](const SurveyRow& r) { return r.Type.has_value(); }), types);
    QVERIFY(has([](const SurveyRow& r) { return !r.Highway.Found; }));
    QVERIFY(has([](const SurveyRow& r) { return r.Outcome == RunOutcome::Never; }));
    QVERIFY(has([](const SurveyRow& r) { return r.Growth.MinX < 0 || r.Growth.MinY < 0; }) ||
            !plane);
    const QString path = Dir.filePath(json ? "trip.json" : "trip.csv");
    QVERIFY(!Written(survey, 4, 100000, plane, json, path, types).isEmpty());
    const SurveyInput input = SurveyInput::Read(QFile::encodeName(path).toStdString());
    QCOMPARE(input.Json, json);
    QCOMPARE(input.About.Plane, plane);
    QCOMPARE(input.About.Types, types);
    QCOMPARE(quint64(input.About.RulesDone), quint64(30));
    QCOMPARE(Described(input.Rows), Described(rows));
}

// A cell of the CSV replaced; line as the file counts them, the header being 1.
QByteArray TestSurveyInput::CsvWith(int line, const char* column, const QByteArray& value) const
{
    QList<QByteArray> lines = Csv.split('\n');
    QList<QByteArray> cells = lines[line - 1].split(',');
    cells[lines[0].split(',').indexOf(column)] = value;
    lines[line - 1] = cells.join(',');
    return lines.join('\n');
}

namespace
{
// The number and number_mirror columns, after the rule, taken out.
QByteArray WithoutNumbers(const QByteArray& csv)
{
    QList<QByteArray> lines = csv.split('\n');
    for (QByteArray& line : lines)
    {
        QList<QByteArray> cells = line.split(',');
        if (cells.size() > 3)
            cells.erase(cells.begin() + 1, cells.begin() + 3);
        line = cells.join(',');
    }
    return lines.join('\n');
}
} // namespace

QByteArray TestSurveyInput::JsonWith(const char* pointer, const nlohmann::json& value) const
{
    nlohmann::json document = nlohmann::json::parse(Json.toStdString());
    document[nlohmann::json::json_pointer(pointer)] = value;
    return QByteArray::fromStdString(document.dump(2) + "\n");
}

void TestSurveyInput::edited_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("problem"); // empty: read as the survey wrote it
    QTest::addColumn<QString>("place");   // empty: the whole file's
    const QByteArray bom = "\xEF\xBB\xBF";
    // The header stays as written: the reader knows a survey output by it.
    const int body = Csv.indexOf('\n') + 1;
    QByteArray quoted = Csv.mid(body);
    quoted.replace(",", "\",\"").replace("\n", "\"\n\"").chop(1);
    quoted = Csv.left(body) + "\"" + quoted;
    QTest::newRow("CSV with a byte-order mark") << bom + Csv << ""
                                                << "";
    QTest::newRow("JSON with a byte-order mark") << bom + Json << ""
                                                 << "";
    QTest::newRow("CSV from Windows") << QByteArray(Csv).replace("\n", "\r\n") << ""
                                      << "";
    QTest::newRow("every CSV cell quoted") << quoted << ""
                                           << "";
    QTest::newRow("quote inside a CSV cell")
        << CsvWith(3, "rule", "R\"L") << "quote inside an unquoted cell"
        << "line 3";
    QTest::newRow("CSV cut mid-line") << Csv.left(Csv.size() - 3) << "truncated"
                                      << "";
    QTest::newRow("CSV without its last row")
        << Csv.left(Csv.lastIndexOf('\n', -2) + 1) << "cut short"
        << "";
    QTest::newRow("JSON cut short") << Json.left(Json.size() / 2) << "truncated"
                                    << "";
    // Without the number columns, as written before them, so that the rule alone is edited.
    QTest::newRow("rule of another survey")
        << WithoutNumbers(CsvWith(2, "rule", "LRL")) << "not of its survey"
        << "";
    QTest::newRow("rule twice") << WithoutNumbers(
                                       CsvWith(3, "rule", Csv.split('\n')[1].split(',')[0]))
                                << "twice"
                                << "";
    QTest::newRow("number not the rule's") << CsvWith(2, "number", "7") << "is not rule"
                                           << "line 2";
    QTest::newRow("JSON number not the rule's") << JsonWith("/rows/0/number", 99) << "number 99"
                                                << "row 1";
    QTest::newRow("no number columns") << WithoutNumbers(Csv) << ""
                                       << "";
    QTest::newRow("padded rule") << JsonWith("/rows/1/rule", "LR-") << "padded"
                                 << "row 2";
    QTest::newRow("iterations beyond 64 bits")
        << CsvWith(4, "iterations", "18446744073709551616") << "out of range"
        << "line 4";
    QTest::newRow("iterations above the cap")
        << JsonWith("/rows/1/iterations", 1001) << "out of range"
        << "row 2";
    QTest::newRow("iterations as text") << JsonWith("/rows/0/iterations", "12") << "not a count"
                                        << "row 1";
    QTest::newRow("x beyond int") << CsvWith(2, "x", "2147483648") << "out of range"
                                  << "line 2";
    QTest::newRow("x below int") << CsvWith(2, "x", "-2147483649") << "out of range"
                                 << "line 2";
    QTest::newRow("x a fraction") << JsonWith("/rows/2/x", 1.5) << "not a whole number"
                                  << "row 3";
    QTest::newRow("rows of two surveys") << CsvWith(5, "max_iterations", "2000") << "two surveys"
                                         << "line 5";
    QTest::newRow("JSON list") << "[" + Json + "]"
                               << "not a JSON object"
                               << "";
    QTest::newRow("binary") << QByteArray("\x7f"
                                          "ELF\x02\x01\x01\0\0\0\n",
                                          11)
                            << "not a survey output"
                            << "";
    QTest::newRow("empty") << QByteArray("\xEF\xBB\xBF\n") << "is empty"
                           << "";
}

void TestSurveyInput::edited()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, problem);
    QFETCH(QString, place);
    QFile file(Dir.filePath("edited"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(text), text.size());
    file.close();
    try
    {
        const SurveyInput input =
            SurveyInput::Read(QFile::encodeName(file.fileName()).toStdString());
        QVERIFY2(problem.isEmpty(), "read, not refused");
        QCOMPARE(Described(input.Rows), Rows);
    }
    catch (const RuntimeFailure& failure)
    {
        const QString message = QString::fromStdString(failure.what());
        QVERIFY2(!problem.isEmpty(), failure.what());
        QVERIFY2(message.contains(file.fileName()), failure.what());
        QVERIFY2(message.contains(problem), failure.what());
        const QRegularExpression where(" ((?:line|row) \\d+): ");
        QCOMPARE(where.match(message).captured(1), place);
    }
}

QTEST_GUILESS_MAIN(TestSurveyInput)
#include "tst_surveyinput.moc"
