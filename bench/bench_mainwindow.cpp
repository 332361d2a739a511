// Start-up: time from spawning a process to the end of the first frame that paints the field
// view, on the offscreen platform. The child is this program with --child; it builds the window
// exactly as the program's entry does and reports the CLOCK_MONOTONIC time at which the paint
// finished.
//
// Forward: wall time of one Forward click (50 000 iterations of preset 5 from the start) plus
// the repaint it requests, in one process.
//
// Usage: bench_mainwindow [startup-runs [forward-runs]]

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QMetaObject>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "MainWindow.h"

extern char** environ;

namespace
{
long long NowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Counts the frames in which the field view was painted. A frame ends when the outermost event
// that painted the field returns, so the rest of the window and the flush are included.
class PaintWatchingApplication : public QApplication
{
public:
    PaintWatchingApplication(int& argc, char** argv) : QApplication(argc, argv) {}

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (event->type() == QEvent::Paint &&
            receiver->objectName() == QLatin1String("WidgetPaintArea_GraphicScene"))
            FieldPainted = true;
        ++Depth;
        const bool result = QApplication::notify(receiver, event);
        if (--Depth == 0 && FieldPainted)
        {
            FieldPainted = false;
            ++FieldPaints;
            LastPaintEndNs = NowNs();
        }
        return result;
    }

    int FieldPaints = 0;
    long long LastPaintEndNs = 0;

private:
    int Depth = 0;
    bool FieldPainted = false;
};

void Report(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s runs %3zu  min %8.3f ms  median %8.3f ms  max %8.3f ms\n", what, ms.size(),
                ms.front(), ms[ms.size() / 2], ms.back());
}

// Prints the CLOCK_MONOTONIC times at which main was entered, the application object and the
// window were built, and the first frame was painted.
int Child(int argc, char** argv)
{
    const long long entered = NowNs();
    PaintWatchingApplication application(argc, argv);
    const long long applicationBuilt = NowNs();
    MainWindow window(nullptr);
    window.setWindowIcon(QIcon(":/resources/icons/qt_icon.png"));
    const long long windowBuilt = NowNs();
    window.show();
    while (application.FieldPaints == 0)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("%lld %lld %lld %lld\n", entered, applicationBuilt, windowBuilt,
                application.LastPaintEndNs);
    return 0;
}

// Milliseconds from the spawn to each of the child's four moments.
struct StartupPhases
{
    double Entered, ApplicationBuilt, WindowBuilt, Painted;
};

StartupPhases SpawnChild()
{
    // The running executable, however it was started.
    const char* self = "/proc/self/exe";
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        std::exit(1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);

    char child[] = "--child";
    char platform[] = "-platform";
    char offscreen[] = "offscreen";
    char* args[] = {const_cast<char*>(self), child, platform, offscreen, nullptr};

    const long long start = NowNs();
    pid_t pid = 0;
    if (posix_spawn(&pid, self, &actions, nullptr, args, environ) != 0)
        std::exit(1);
    close(pipeFds[1]);
    std::string output;
    char buffer[64];
    ssize_t n = 0;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || output.empty())
    {
        std::fprintf(stderr, "child failed\n");
        std::exit(1);
    }
    long long t[4] = {};
    if (std::sscanf(output.c_str(), "%lld %lld %lld %lld", &t[0], &t[1], &t[2], &t[3]) != 4)
    {
        std::fprintf(stderr, "child output unreadable\n");
        std::exit(1);
    }
    const auto ms = [start](long long ns) { return static_cast<double>(ns - start) / 1e6; };
    return {ms(t[0]), ms(t[1]), ms(t[2]), ms(t[3])};
}

// Waits for the repaint that the last command requested.
void AwaitFieldPaint(PaintWatchingApplication& application, int paintsBefore)
{
    while (application.FieldPaints == paintsBefore)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void BenchForward(int argc, char** argv, int runs)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    PaintWatchingApplication application(argc, argv);
    MainWindow window(nullptr);
    window.show();
    AwaitFieldPaint(application, 0);

    std::vector<double> total;
    std::vector<double> slotOnly;
    for (int run = 0; run < runs; ++run)
    {
        int paints = application.FieldPaints;
        QMetaObject::invokeMethod(&window, "Slot_PushButton_Stop");
        AwaitFieldPaint(application, paints);

        paints = application.FieldPaints;
        const long long start = NowNs();
        QMetaObject::invokeMethod(&window, "Slot_PushButton_Forward");
        const long long slotEnd = NowNs();
        AwaitFieldPaint(application, paints);
        total.push_back(static_cast<double>(application.LastPaintEndNs - start) / 1e6);
        slotOnly.push_back(static_cast<double>(slotEnd - start) / 1e6);
    }
    Report("Forward (iterations + repaint)", total);
    Report("  of which the slot (iterations)", slotOnly);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return Child(argc, argv);

    const int startupRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int forwardRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;

    std::vector<double> entered, application, window, painted;
    SpawnChild(); // warm the page cache
    for (int run = 0; run < startupRuns; ++run)
    {
        const StartupPhases phases = SpawnChild();
        entered.push_back(phases.Entered);
        application.push_back(phases.ApplicationBuilt - phases.Entered);
        window.push_back(phases.WindowBuilt - phases.ApplicationBuilt);
        painted.push_back(phases.Painted - phases.WindowBuilt);
    }
    std::vector<double> total;
    for (std::size_t i = 0; i < entered.size(); ++i)
        total.push_back(entered[i] + application[i] + window[i] + painted[i]);
    Report("start-up to first painted frame", total);
    Report("  spawn to main (loading)", entered);
    Report("  QApplication", application);
    Report("  MainWindow and window icon", window);
    Report("  show to first painted frame", painted);

    BenchForward(argc, argv, forwardRuns);
    return 0;
}
