#include "Ant.h"
#include "AntField.h"
#include "DecodedGif.h"
#include "FieldRenderer.h"
#include "FrameSchedule.h"
#include "GifWriter.h"
#include "IndexRenderer.h"
#include "Iteration.h"
#include "PackedField.h"
#include "PresetCatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <QtTest>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

Q_DECLARE_METATYPE(FrameSchedule::Spacing)
Q_DECLARE_METATYPE(IndexImage)

namespace
{
// A preset's run from the start state, moved forward on demand.
struct PresetRun
{
    explicit PresetRun(int preset) { Walker.ApplyPreset(preset); }

    // The iteration that meets the border still recolours its cell, so it counts.
    void AdvanceTo(std::uint64_t iteration)
    {
        for (bool moved = true; moved && Done < iteration; ++Done)
            moved = Iterate(*Field, Walker) == IterationResult::Moved;
    }
    // The painter's picture is the reference; the writer takes the index picture.
    QImage Render(int cellSize) { return FieldRenderer::Render(Field->GetCopy(), cellSize); }
    IndexImage Indices(int cellSize)
    {
        PackedField packed;
        packed.Load(*Field);
        return IndexRenderer::Render(FieldView(packed), cellSize);
    }
    std::vector<int> Cells()
    {
        const int* const* rows = Field->GetCopy();
        std::vector<int> cells;
        for (int y = 0; y < AntField::FieldSize; ++y)
            cells.insert(cells.end(), rows[y], rows[y] + AntField::FieldSize);
        return cells;
    }

    std::unique_ptr<AntField> Field = std::make_unique<AntField>();
    Ant Walker;
    std::uint64_t Done = 0;
};

QSize SizeOf(const IndexImage& image)
{
    return QSize(image.Width(), image.Height());
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList DirectoryEntries(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QString OsReason(int errorNumber)
{
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

// Lowers the process's file size limit, so that writes beyond it fail with EFBIG instead
// of killing the process; both are restored on scope exit.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &Saved);
        rlimit lowered = Saved;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
        SavedHandler = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &Saved);
        std::signal(SIGXFSZ, SavedHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit Saved{};
    void (*SavedHandler)(int) = nullptr;
};

QVector<quint64> ToVector(const std::vector<std::uint64_t>& values)
{
    QVector<quint64> result;
    for (std::uint64_t v : values)
        result.append(v);
    return result;
}
} // namespace

class TestGifWriter : public QObject
{
    Q_OBJECT

private slots:
    void framesMatchTheRenderer_data();
    void framesMatchTheRenderer();
    void framesHoldOnlyTheChangedRectangle_data();
    void framesHoldOnlyTheChangedRectangle();
    void refusesWhatItCannotStoreExactly_data();
    void refusesWhatItCannotStoreExactly();
    void unwritablePathGivesTheOsReason_data();
    void unwritablePathGivesTheOsReason();
    void failedWriteKeepsThePreviousFile();
    void abandonedWriterKeepsThePreviousFile();
    void schedule_data();
    void schedule();
    void longSchedules_data();
    void longSchedules();
};

void TestGifWriter::framesMatchTheRenderer_data()
{
    QTest::addColumn<int>("preset");
    QTest::addColumn<quint64>("last");
    QTest::addColumn<int>("frames");
    QTest::addColumn<FrameSchedule::Spacing>("spacing");
    QTest::addColumn<int>("cellSize");
    const quint64 end5 = PresetCatalogue::ExpectedIterations(5);
    const quint64 end3 = PresetCatalogue::ExpectedIterations(3);
    QTest::newRow("preset 5 to its end, 12 linear frames, cell size 1")
        << 5 << end5 << 12 << FrameSchedule::Spacing::Linear << 1;
    QTest::newRow("preset 5 to its end, 12 log frames, cell size 3")
        << 5 << end5 << 12 << FrameSchedule::Spacing::Logarithmic << 3;
    QTest::newRow("preset 3 to its end, 20 log frames, cell size 2")
        << 3 << end3 << 20 << FrameSchedule::Spacing::Logarithmic << 2;
    QTest::newRow("preset 5 capped at 6, every iteration, cell size 2")
        << 5 << quint64(6) << 100 << FrameSchedule::Spacing::Linear << 2;
}

void TestGifWriter::framesMatchTheRenderer()
{
    QFETCH(int, preset);
    QFETCH(quint64, last);
    QFETCH(int, frames);
    QFETCH(FrameSchedule::Spacing, spacing);
    QFETCH(int, cellSize);
    constexpr int Delay = 7;
    constexpr int LastDelay = 200;

    const auto schedule = FrameSchedule::FrameIterations(last, frames, spacing);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.gif"));
    PresetRun run(preset);
    GifWriter writer;
    QString error;
    QVERIFY2(writer.Open(path, FieldRenderer::ImageSize(cellSize), &error), qPrintable(error));
    QVector<QImage> expected;
    for (std::size_t i = 0; i < schedule.size(); ++i)
    {
        run.AdvanceTo(schedule[i]);
        QCOMPARE(run.Done, schedule[i]);
        expected.append(run.Render(cellSize));
        const int delay = i + 1 == schedule.size() ? LastDelay : Delay;
        QVERIFY2(writer.AddFrame(run.Indices(cellSize), delay, &error), qPrintable(error));
    }
    QVERIFY2(writer.Finish(&error), qPrintable(error));

    const DecodedGif gif = DecodeGif(path);
    QVERIFY2(gif.Error.isEmpty(), qPrintable(gif.Error));
    QCOMPARE(gif.LoopCount, 0);
    QCOMPARE(gif.Frames.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
    {
        QVERIFY2(gif.Frames[i] == expected[i],
                 qPrintable(QStringLiteral("frame %1 (iteration %2) differs")
                                .arg(i)
                                .arg(quint64(schedule[std::size_t(i)]))));
        QCOMPARE(gif.Delays[i], i + 1 == expected.size() ? LastDelay : Delay);
        QCOMPARE(gif.Disposals[i], DISPOSE_DO_NOT);
    }
}

void TestGifWriter::framesHoldOnlyTheChangedRectangle_data()
{
    QTest::addColumn<int>("cellSize");
    QTest::addColumn<int>("iterations");
    QTest::newRow("one iteration, cell size 3") << 3 << 1;
    QTest::newRow("two iterations, cell size 1") << 1 << 2;
    QTest::newRow("800 iterations, cell size 2") << 2 << 800;
    QTest::newRow("no iteration: one pixel carries the delay") << 3 << 0;
}

void TestGifWriter::framesHoldOnlyTheChangedRectangle()
{
    QFETCH(int, cellSize);
    QFETCH(int, iterations);

    PresetRun run(5);
    run.AdvanceTo(2000);
    const IndexImage first = run.Indices(cellSize);
    const std::vector<int> before = run.Cells();
    run.AdvanceTo(run.Done + std::uint64_t(iterations));
    const IndexImage second = run.Indices(cellSize);
    const QImage secondPicture = run.Render(cellSize);
    const std::vector<int> after = run.Cells();

    // The bounding box of the cells whose value differs, in pixels.
    constexpr int n = AntField::FieldSize;
    QRect cells;
    for (int i = 0; i < n * n; ++i)
        if (before[std::size_t(i)] != after[std::size_t(i)])
            cells |= QRect(i % n, i / n, 1, 1);
    const QRect expected = cells.isEmpty()
                               ? QRect(0, 0, 1, 1)
                               : QRect(FieldRenderer::FieldOffset + cells.left() * cellSize,
                                       FieldRenderer::FieldOffset + cells.top() * cellSize,
                                       cells.width() * cellSize, cells.height() * cellSize);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("two.gif"));
    GifWriter writer;
    QString error;
    QVERIFY2(writer.Open(path, SizeOf(first), &error) && writer.AddFrame(first, 5, &error) &&
                 writer.AddFrame(second, 5, &error) && writer.Finish(&error),
             qPrintable(error));
    const DecodedGif gif = DecodeGif(path);
    QVERIFY2(gif.Error.isEmpty(), qPrintable(gif.Error));
    QCOMPARE(gif.Rects.size(), 2);
    QCOMPARE(gif.Rects[0], QRect(QPoint(0, 0), SizeOf(first)));
    QCOMPARE(gif.Rects[1], expected);
    QVERIFY(gif.Frames[1] == secondPicture);
}

void TestGifWriter::refusesWhatItCannotStoreExactly_data()
{
    QTest::addColumn<IndexImage>("frame");
    QTest::addColumn<int>("delay");
    QTest::addColumn<QString>("mentions");
    PresetRun run(5);
    run.AdvanceTo(3000);
    const IndexImage field = run.Indices(1);
    IndexImage foreign = field;
    foreign.At(130, 131) = 16; // one past the GIF palette
    QTest::newRow("an index outside the palette") << foreign << 10 << "palette";
    IndexImage narrower(field.Width() - 1, field.Height());
    for (int y = 0; y < field.Height(); ++y)
        std::copy_n(field.Row(y), narrower.Width(), narrower.Row(y));
    QTest::newRow("a frame one pixel narrower") << narrower << 10 << "259 x 260";
    QTest::newRow("a delay of 65536 centiseconds") << field << 65536 << "centiseconds";
    QTest::newRow("a negative delay") << field << -1 << "centiseconds";
}

void TestGifWriter::refusesWhatItCannotStoreExactly()
{
    QFETCH(IndexImage, frame);
    QFETCH(int, delay);
    QFETCH(QString, mentions);

    QTemporaryDir dir;
    GifWriter writer;
    QString error;
    QVERIFY(writer.Open(dir.filePath(QStringLiteral("f.gif")), FieldRenderer::ImageSize(1)));
    QVERIFY(writer.AddFrame(PresetRun(5).Indices(1), 10));
    QVERIFY(!writer.AddFrame(frame, delay, &error));
    QVERIFY2(error.contains(mentions), qPrintable(error));
    QString later;
    QVERIFY(!writer.Finish(&later));
    QCOMPARE(later, error);
    QCOMPARE(DirectoryEntries(dir), QStringList());
}

void TestGifWriter::unwritablePathGivesTheOsReason_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<int>("errorNumber");
    QTest::newRow("missing directory") << "missing/f.gif" << ENOENT;
    QTest::newRow("directory that is a file") << "file/f.gif" << ENOTDIR;
}

void TestGifWriter::unwritablePathGivesTheOsReason()
{
    QFETCH(QString, relativePath);
    QFETCH(int, errorNumber);

    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath(QStringLiteral("file")), "not a directory"));
    GifWriter writer;
    QString error;
    QVERIFY(!writer.Open(dir.filePath(relativePath), FieldRenderer::ImageSize(1), &error));
    QVERIFY2(error.contains(OsReason(errorNumber)), qPrintable(error));
}

void TestGifWriter::failedWriteKeepsThePreviousFile()
{
    constexpr rlim_t Limit = 16 * 1024;
    auto writeRun = [](const QString& path, QString* error)
    {
        PresetRun run(5);
        GifWriter writer;
        bool written = writer.Open(path, FieldRenderer::ImageSize(3), error);
        for (std::uint64_t k = 1; written && k <= 20; ++k)
        {
            run.AdvanceTo(k * 2500);
            written = writer.AddFrame(run.Indices(3), 10, error);
        }
        return written && writer.Finish(error);
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.gif"));
    QVERIFY(writeRun(path, nullptr));
    QVERIFY(QFileInfo(path).size() > qint64(Limit)); // else the limit below is never met
    const QByteArray previous("the previous animation");
    QVERIFY(WriteFile(path, previous));

    QString error;
    bool written = false;
    {
        const FileSizeLimit limit(Limit);
        written = writeRun(path, &error);
    }
    QVERIFY(!written);
    QVERIFY2(error.contains(OsReason(EFBIG)), qPrintable(error));
    QCOMPARE(ReadFile(path), previous);
    QCOMPARE(DirectoryEntries(dir), QStringList{"run.gif"});
}

void TestGifWriter::abandonedWriterKeepsThePreviousFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.gif"));
    const QByteArray previous("the previous animation");
    QVERIFY(WriteFile(path, previous));
    PresetRun run(5);
    {
        GifWriter writer;
        QVERIFY(writer.Open(path, FieldRenderer::ImageSize(1)));
        QVERIFY(writer.AddFrame(run.Indices(1), 10));
        run.AdvanceTo(500);
        QVERIFY(writer.AddFrame(run.Indices(1), 10));
    }
    QCOMPARE(ReadFile(path), previous);
    QCOMPARE(DirectoryEntries(dir), QStringList{"run.gif"});

    GifWriter writer; // a finished one does replace it
    QVERIFY(writer.Open(path, FieldRenderer::ImageSize(1)));
    QVERIFY(writer.AddFrame(run.Indices(1), 10));
    QVERIFY(writer.Finish());
    QCOMPARE(DecodeGif(path).Frames.size(), 1);
}

void TestGifWriter::schedule_data()
{
    using S = FrameSchedule::Spacing;
    QTest::addColumn<quint64>("last");
    QTest::addColumn<int>("frames");
    QTest::addColumn<FrameSchedule::Spacing>("spacing");
    QTest::addColumn<QVector<quint64>>("expected");
    QTest::newRow("linear 10 in 3") << quint64(10) << 3 << S::Linear << QVector<quint64>{0, 5, 10};
    QTest::newRow("linear 10 in 4 rounds to nearest")
        << quint64(10) << 4 << S::Linear << QVector<quint64>{0, 3, 7, 10};
    QTest::newRow("linear 9 in 10: every iteration")
        << quint64(9) << 10 << S::Linear << QVector<quint64>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    QTest::newRow("linear 3 in 10: fewer frames")
        << quint64(3) << 10 << S::Linear << QVector<quint64>{0, 1, 2, 3};
    QTest::newRow("linear 0 in 100") << quint64(0) << 100 << S::Linear << QVector<quint64>{0};
    QTest::newRow("linear 50 in 1 counts as 2")
        << quint64(50) << 1 << S::Linear << QVector<quint64>{0, 50};
    QTest::newRow("log 99 in 3") << quint64(99) << 3 << S::Logarithmic
                                 << QVector<quint64>{0, 9, 99};
    QTest::newRow("log 999 in 4") << quint64(999) << 4 << S::Logarithmic
                                  << QVector<quint64>{0, 9, 99, 999};
    QTest::newRow("log 10 in 5") << quint64(10) << 5 << S::Logarithmic
                                 << QVector<quint64>{0, 1, 2, 5, 10};
    QTest::newRow("log 10 in 8: repeats pushed one apart")
        << quint64(10) << 8 << S::Logarithmic << QVector<quint64>{0, 1, 2, 3, 4, 5, 7, 10};
    QTest::newRow("log 3 in 10: fewer frames")
        << quint64(3) << 10 << S::Logarithmic << QVector<quint64>{0, 1, 2, 3};
    QTest::newRow("log 0 in 2") << quint64(0) << 2 << S::Logarithmic << QVector<quint64>{0};
}

void TestGifWriter::schedule()
{
    QFETCH(quint64, last);
    QFETCH(int, frames);
    QFETCH(FrameSchedule::Spacing, spacing);
    QFETCH(QVector<quint64>, expected);
    QCOMPARE(ToVector(FrameSchedule::FrameIterations(last, frames, spacing)), expected);
}

void TestGifWriter::longSchedules_data()
{
    using S = FrameSchedule::Spacing;
    const quint64 longest = std::numeric_limits<std::uint64_t>::max();
    QTest::addColumn<quint64>("last");
    QTest::addColumn<FrameSchedule::Spacing>("spacing");
    QTest::addColumn<quint64>("middle"); // frame 1000 of 2000
    QTest::addColumn<quint64>("tolerance");
    QTest::newRow("linear 1e9") << quint64(1000000000) << S::Linear << quint64(500250125)
                                << quint64(0);
    QTest::newRow("log 1e9") << quint64(1000000000) << S::Logarithmic << quint64(31786)
                             << quint64(1);
    QTest::newRow("linear 2^64 - 1 without overflow")
        << longest << S::Linear << quint64(9227986029869710663ull) << quint64(0);
    QTest::newRow("log 2^64 - 1") << longest << S::Logarithmic << quint64(4342889212ull)
                                  << quint64(1);
    QTest::newRow("log 2000 in 2000: pushed apart")
        << quint64(2000) << S::Logarithmic << quint64(1000) << quint64(0);
}

void TestGifWriter::longSchedules()
{
    QFETCH(quint64, last);
    QFETCH(FrameSchedule::Spacing, spacing);
    QFETCH(quint64, middle);
    QFETCH(quint64, tolerance);

    const auto frames = FrameSchedule::FrameIterations(last, 2000, spacing);
    QCOMPARE(frames.size(), std::size_t(2000));
    QCOMPARE(frames.front(), std::uint64_t(0));
    QCOMPARE(frames.back(), std::uint64_t(last));
    QVERIFY(std::adjacent_find(frames.begin(), frames.end(), std::greater_equal<>()) ==
            frames.end());
    const quint64 actual = frames[1000];
    QVERIFY2((actual > middle ? actual - middle : middle - actual) <= tolerance,
             qPrintable(QString::number(actual)));
}

QTEST_GUILESS_MAIN(TestGifWriter)
#include "tst_gifwriter.moc"
