// The program's own start-up followed by a scripted session, for running under a leak checker:
// Forward, the preset dialog opened and confirmed, the dialog opened and closed, the About box
// closed by a timer, and File > Exit. Exits 0 only if every step happened as a user would see
// it and the event loop ended through Exit.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

#include "FormLoadAntAIPreset.h"
#include "MainWindow.h"
#include "Support.h"

namespace
{
template <typename T> T* Find(QObject& parent, const char* name)
{
    T* child = parent.findChild<T*>(QLatin1String(name));
    if (!child)
        qFatal("no child named %s", name);
    return child;
}

QString IterationText(MainWindow& window)
{
    return Find<QLabel>(window, "Label_IterationNumber")->text();
}
} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    MainWindow window(nullptr);
    window.setWindowIcon(QIcon(":/resources/icons/qt_icon.png"));
    window.show();

    QStringList done;
    QTimer::singleShot(
        0, &window,
        [&]
        {
            Find<QPushButton>(window, "PushButton_Forward")->click();
            if (IterationText(window) == QLatin1String("Iteration: 50000"))
                done << "Forward";

            const auto loadPreset = [&]
            { Find<QAction>(window, "Action_AntAI_LoadAIPreset")->trigger(); };
            WithModal(loadPreset,
                      [&](QWidget* modal)
                      {
                          if (qobject_cast<FormLoadAntAIPreset*>(modal))
                              done << "dialog OK";
                          Find<QComboBox>(*modal, "ComboBox_AntAIPreset")->setCurrentIndex(2);
                          Find<QPushButton>(*modal, "PushButton_Ok")->click();
                      });
            if (IterationText(window) != QLatin1String("Iteration: 0"))
                done.removeAll("dialog OK");

            WithModal(loadPreset,
                      [&](QWidget* modal)
                      {
                          if (qobject_cast<FormLoadAntAIPreset*>(modal))
                              done << "dialog closed";
                          modal->close();
                      });

            Find<QPushButton>(window, "PushButton_Play")->click();
            WithModal([&] { Find<QAction>(window, "Action_Help_About")->trigger(); },
                      [&](QWidget* modal)
                      {
                          auto* box = qobject_cast<QMessageBox*>(modal);
                          if (!box)
                          {
                              modal->close();
                              return;
                          }
                          done << "About";
                          QTimer::singleShot(300, box,
                                             [box] { box->button(QMessageBox::Ok)->click(); });
                      });

            done << "Exit";
            Find<QAction>(window, "Action_File_Exit")->trigger();
        });

    // A step that never returns must not hang the check; valgrind makes everything slow.
    QTimer::singleShot(300000, [] { QCoreApplication::exit(3); });
    const int result = QApplication::exec();
    const QStringList expected = {"Forward", "dialog OK", "dialog closed", "About", "Exit"};
    if (result != 0 || done != expected)
    {
        std::fprintf(stderr, "session incomplete: exit %d after %s\n", result,
                     qPrintable(done.join(", ")));
        return 1;
    }
    return 0;
}
