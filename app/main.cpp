#include <QApplication>
#include <QIcon>

#include "MainWindow.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    MainWindow window(nullptr);
    window.setWindowIcon(QIcon(":/resources/icons/qt_icon.png"));
    window.show();
    return application.exec();
}
