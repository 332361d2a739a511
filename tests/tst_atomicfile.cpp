#include "AtomicFile.h"

#include <QtTest>

#include <csignal>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::string Slurp(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void Put(const QString& path, const std::string& bytes)
{
    std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

// Files beyond the limit fail to grow with EFBIG, as on a full disk, in this process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &Previous);
        rlimit limit = Previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &Previous); }

private:
    rlimit Previous{};
};
} // namespace

class TestAtomicFile : public QObject
{
    Q_OBJECT

private slots:
    void groupGoesInPlaceTogetherOrNotAtAll_data();
    void groupGoesInPlaceTogetherOrNotAtAll();
    void replacingKeepsModeAndFollowsLinks();
    void refusesWhatIsNoRegularFile();
    void leftoversOfKilledWritersGo_data();
    void leftoversOfKilledWritersGo();
};

void TestAtomicFile::groupGoesInPlaceTogetherOrNotAtAll_data()
{
    QTest::addColumn<int>("lastSize");
    QTest::addColumn<bool>("committed");
    QTest::newRow("all three whole") << 1000 << true;
    QTest::newRow("the last one fails while written") << 300000 << false;
    // Buffered until the group is sealed: the first two are whole but must wait.
    QTest::newRow("the last one fails when sealed") << 60000 << false;
}

void TestAtomicFile::groupGoesInPlaceTogetherOrNotAtAll()
{
    QFETCH(int, lastSize);
    QFETCH(bool, committed);
    QTemporaryDir dir;
    const QStringList names = {"a.gif", "b.csv", "c.png"};
    for (const QString& name : names)
        Put(dir.filePath(name), "previous " + name.toStdString());

    bool failed = false;
    {
        const FileSizeLimit limit(50000);
        std::vector<std::unique_ptr<AtomicFile>> files;
        std::vector<AtomicFile*> all;
        for (const QString& name : names)
        {
            files.push_back(std::make_unique<AtomicFile>(dir.filePath(name).toStdString()));
            all.push_back(files.back().get());
        }
        try
        {
            files[0]->Write("new a");
            files[1]->Write("new b");
            files[2]->Write(std::string(std::size_t(lastSize), 'c'));
            AtomicFile::CommitAll(all);
        }
        catch (const AtomicFile::Failure& failure)
        {
            failed = true;
            QVERIFY(QString::fromStdString(failure.what()).contains("c.png"));
            QCOMPARE(failure.Reason(), std::string(std::strerror(EFBIG)));
        }
    }
    QCOMPARE(failed, !committed);
    QCOMPARE(Slurp(dir.filePath("a.gif")), committed ? std::string("new a") : "previous a.gif");
    QCOMPARE(Slurp(dir.filePath("b.csv")), committed ? std::string("new b") : "previous b.csv");
    QCOMPARE(Slurp(dir.filePath("c.png")).size(),
             committed ? std::size_t(lastSize) : std::string("previous c.png").size());
    // No temporary file is left behind either way.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), names.size());
}

void TestAtomicFile::replacingKeepsModeAndFollowsLinks()
{
    QTemporaryDir dir;
    const QString target = dir.filePath("target.csv");
    const QString link = dir.filePath("link.csv");
    Put(target, "old");
    QCOMPARE(::chmod(target.toLocal8Bit().constData(), 0640), 0);
    QVERIFY(QFile::link(target, link));

    AtomicFile file(link.toStdString());
    file.Write("new");
    file.Commit();

    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(Slurp(target), std::string("new"));
    struct stat status
    {
    };
    QCOMPARE(::stat(target.toLocal8Bit().constData(), &status), 0);
    QCOMPARE(status.st_mode & 07777, mode_t(0640));
}

void TestAtomicFile::refusesWhatIsNoRegularFile()
{
    QTemporaryDir dir;
    for (const std::string& path : {dir.path().toStdString(), std::string("/dev/null"),
                                    dir.filePath("missing/file").toStdString()})
    {
        QVERIFY_EXCEPTION_THROWN(AtomicFile{path}, AtomicFile::Failure);
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 0);
}

void TestAtomicFile::leftoversOfKilledWritersGo_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("removed");
    QTest::newRow("this writer's temporary") << "LRR.state.4242-7~" << true;
    QTest::newRow("the previous writer's temporary") << "LRR.state.aB3xYz" << true;
    QTest::newRow("a state") << "LRR.state" << false;
    QTest::newRow("another file of six letters") << "notes.state.backup" << false;
    QTest::newRow("another suffix") << "LRR.csv.4242-7~" << false;
}

void TestAtomicFile::leftoversOfKilledWritersGo()
{
    QFETCH(QString, name);
    QFETCH(bool, removed);
    QTemporaryDir dir;
    Put(dir.filePath(name), "x");
    AtomicFile::RemoveLeftovers(dir.path().toStdString(), ".state");
    QCOMPARE(!QFileInfo::exists(dir.filePath(name)), removed);
}

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
