#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "MainWindow.h"

namespace
{
// Without a display the toolkit aborts with advice to reinstall; say what is missing instead.
bool DisplayMissing(int argc, char** argv)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS) && !defined(Q_OS_ANDROID)
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return false;
    }
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return false;
    return true;
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return false;
#endif
}
} // namespace

int main(int argc, char** argv)
{
    if (DisplayMissing(argc, argv))
    {
        std::fputs("formicula: no display found; set DISPLAY, or run it under xvfb-run\n", stderr);
        return 1;
    }
    QApplication application(argc, argv);
    MainWindow window(nullptr);
    window.setWindowIcon(QIcon(":/resources/icons/qt_icon.png"));
    window.show();
    return application.exec();
}
