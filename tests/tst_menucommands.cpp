#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QTranslator>

#include "Ant.h"
#include "AntField.h"
#include "FormLoadAntAIPreset.h"
#include "MainWindow.h"
#include "MainWindowDriver.h"
#include "MainWindowProbe.h"
#include "PresetCatalogue.h"
#include "Support.h"

namespace
{
QString IdleShowing(const AntAI& rule)
{
    return QStringLiteral("count 0 controls %1 rule %2")
        .arg(ControlsShown::Idle, QString::fromStdString(rule.Steps));
}

AntAI PresetRule(int preset)
{
    Ant ant;
    ant.ApplyPreset(preset);
    return ant.GetAI();
}
} // namespace

class TestMenuCommands : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void loadPresetConfirmedStartsOver_data();
    void loadPresetConfirmedStartsOver();
    void loadPresetDismissedKeepsTheRun_data();
    void loadPresetDismissedKeepsTheRun();
    void heldPlayLetGoByTheDialog_data();
    void heldPlayLetGoByTheDialog();
    void resetAiStartsOverWithEmptyRule_data();
    void resetAiStartsOverWithEmptyRule();
    void aiCommandsRefusedWhileRunning_data();
    void aiCommandsRefusedWhileRunning();
    void aboutWhileRunningKeepsCounting();
    void aboutTextsAreTranslated();
    // Last: it runs the application's own event loop.
    void exitEndsTheEventLoop_data();
    void exitEndsTheEventLoop();
};

void TestMenuCommands::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestMenuCommands::loadPresetConfirmedStartsOver_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("choice"); // 0: press OK without touching the list
    QTest::addColumn<int>("preset");
    QTest::newRow("untouched OK in Ready") << "" << 0 << 1;
    QTest::newRow("first entry after Next") << "Next" << 1 << 1;
    QTest::newRow("17 after Forward") << "Forward" << 17 << 17;
    QTest::newRow("last entry after the end") << "Forward Forward" << 31 << 31;
    QTest::newRow("5 after Reset AI and Next") << "ResetAI Next" << 5 << 5;
}

void TestMenuCommands::loadPresetConfirmedStartsOver()
{
    QFETCH(QString, before);
    QFETCH(int, choice);
    QFETCH(int, preset);
    MainWindow window(nullptr);
    MainWindowDriver ui(window);
    ui.SetSpin("SpinBox_FPS", 12);
    ui.SetSpin("SpinBox_IPF", 7);
    ui.DoAll(before);

    QPointer<QWidget> dialog;
    bool isPresetDialog = false;
    int openedOn = -1;
    WithModal([&] { ui.Find<QAction>("Action_AntAI_LoadAIPreset")->trigger(); },
              [&](QWidget* modal)
              {
                  dialog = modal;
                  isPresetDialog = qobject_cast<FormLoadAntAIPreset*>(modal) != nullptr;
                  auto* combo = modal->findChild<QComboBox*>("ComboBox_AntAIPreset");
                  openedOn = combo->currentIndex();
                  if (choice > 0)
                      combo->setCurrentIndex(choice - 1);
                  QTest::mouseClick(modal->findChild<QPushButton*>("PushButton_Ok"),
                                    Qt::LeftButton);
              });

    QVERIFY(isPresetDialog);
    QCOMPARE(openedOn, 0); // whatever the window holds, the list starts on preset 1
    QVERIFY2(dialog.isNull(), "the dialog is deleted after use");
    QCOMPARE(ui.Shown(), IdleShowing(PresetRule(preset)));
    COMPARE_STATE(MainWindowProbe::State(window), StartState(PresetRule(preset)));
    QCOMPARE(ui.Find<QSpinBox>("SpinBox_FPS")->value(), 12);
    QCOMPARE(ui.Find<QSpinBox>("SpinBox_IPF")->value(), 7);

    // The loaded rule is the one that runs.
    ui.Do("Next");
    QCOMPARE(ui.Counter(), 1);
}

void TestMenuCommands::loadPresetDismissedKeepsTheRun_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("dismiss");
    for (const char* dismiss : {"Cancel", "Escape", "close button"})
    {
        QTest::newRow(qPrintable(QStringLiteral("finished, %1").arg(dismiss)))
            << "Forward Forward" << dismiss;
        QTest::newRow(qPrintable(QStringLiteral("halted, %1").arg(dismiss)))
            << "Forward" << dismiss;
    }
}

void TestMenuCommands::loadPresetDismissedKeepsTheRun()
{
    QFETCH(QString, before);
    QFETCH(QString, dismiss);
    MainWindow window(nullptr);
    MainWindowDriver ui(window);
    ui.DoAll(before);
    const QString shown = ui.Shown();
    const FieldState kept = MainWindowProbe::State(window);

    Qt::WindowFlags flags;
    WithModal([&] { ui.Find<QAction>("Action_AntAI_LoadAIPreset")->trigger(); },
              [&](QWidget* modal)
              {
                  flags = modal->windowFlags();
                  modal->findChild<QComboBox*>("ComboBox_AntAIPreset")->setCurrentIndex(9);
                  if (dismiss == "Cancel")
                      QTest::mouseClick(modal->findChild<QPushButton*>("PushButton_Cancel"),
                                        Qt::LeftButton);
                  else if (dismiss == "Escape")
                      QTest::keyClick(modal, Qt::Key_Escape);
                  else
                      modal->close();
              });

    // Qt adds the title and system menu hints itself; no minimise or maximise button.
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(ui.Shown(), shown);
    COMPARE_STATE(MainWindowProbe::State(window), kept);

    // A halted run goes on where it stopped.
    ui.DoAll("Forward Forward");
    QCOMPARE(ui.Counter(), 59225);
}

void TestMenuCommands::heldPlayLetGoByTheDialog_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("preset 3 confirmed") << true;
    QTest::newRow("cancelled") << false;
}

// Play held down with Space lets go as the preset dialog takes the focus, and its run starts
// behind the dialog. A confirmed preset must end that run; a cancelled one must leave it showing.
void TestMenuCommands::heldPlayLetGoByTheDialog()
{
    QFETCH(bool, confirm);
    MainWindow window(nullptr);
    MainWindowDriver ui(window);
    QVERIFY(ShowActive(window));
    QTest::mouseClick(ui.Button("PushButton_Stop"), Qt::LeftButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), ui.Button("PushButton_Play"));
    QTest::keyPress(ui.Button("PushButton_Play"), Qt::Key_Space);
    const QTimer& timer = MainWindowProbe::Timer(window);

    bool ranBehind = false;
    WithModal([&] { ui.Find<QAction>("Action_AntAI_LoadAIPreset")->trigger(); },
              [&](QWidget* dialog)
              {
                  ranBehind = QTest::qWaitFor([&] { return timer.isActive(); }, 2000);
                  QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Space);
                  dialog->findChild<QComboBox*>("ComboBox_AntAIPreset")->setCurrentIndex(2);
                  QTest::mouseClick(dialog->findChild<QPushButton*>(confirm ? "PushButton_Ok"
                                                                            : "PushButton_Cancel"),
                                    Qt::LeftButton);
              });
    QVERIFY2(ranBehind, "the held Play never let go");
    QTest::qWait(100); // time for a forgotten timer to count on

    if (confirm)
    {
        QVERIFY(!timer.isActive());
        QCOMPARE(ui.Shown(), IdleShowing(PresetRule(3)));
        COMPARE_STATE(MainWindowProbe::State(window), StartState(PresetRule(3)));
        ui.Do("Next");
        QCOMPARE(ui.Counter(), 1);
    }
    else
    {
        QVERIFY(timer.isActive());
        QCOMPARE(ui.Controls(), ControlsShown::Running);
        QVERIFY(ui.Counter() > 0);
    }
}

void TestMenuCommands::resetAiStartsOverWithEmptyRule_data()
{
    QTest::addColumn<QString>("before");
    QTest::newRow("Ready") << "";
    QTest::newRow("halted") << "Play Tick Pause";
    QTest::newRow("finished") << "Forward Forward";
}

void TestMenuCommands::resetAiStartsOverWithEmptyRule()
{
    QFETCH(QString, before);
    MainWindow window(nullptr);
    MainWindowDriver ui(window);
    ui.DoAll(before);

    ui.Do("ResetAI");
    const AntAI empty = Ant().GetAI(); // twelve gaps
    QCOMPARE(ui.Shown(), IdleShowing(empty));
    COMPARE_STATE(MainWindowProbe::State(window), StartState(empty));

    // The empty rule runs: the counter climbs, nothing moves.
    ui.DoAll("Play Tick Tick");
    QCOMPARE(ui.Shown(),
             QStringLiteral("count 20 controls %1 rule ------------").arg(ControlsShown::Running));
    COMPARE_STATE(MainWindowProbe::State(window), StartState(empty));
}

void TestMenuCommands::aiCommandsRefusedWhileRunning_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::newRow("Reset AI") << QByteArray("Slot_Action_AntAI_ResetAI");
    QTest::newRow("Load AI preset") << QByteArray("Slot_Action_AntAI_LoadAIPreset");
}

void TestMenuCommands::aiCommandsRefusedWhileRunning()
{
    QFETCH(QByteArray, slot);
    MainWindow window(nullptr);
    MainWindowDriver ui(window);
    ui.DoAll("Play Tick");
    const QString rule = ui.RuleShown();

    // Should a dialog open anyway, it is closed so the test fails instead of hanging.
    QVERIFY(
        !WithModal([&] { ui.Invoke(slot.constData()); }, [](QWidget* modal) { modal->close(); }));
    QCOMPARE(ui.Controls(), ControlsShown::Running);
    QCOMPARE(ui.RuleShown(), rule);
    QVERIFY(MainWindowProbe::Timer(window).isActive());
}

void TestMenuCommands::aboutWhileRunningKeepsCounting()
{
    MainWindow window(nullptr);
    MainWindowDriver ui(window);
    ui.Do("Play");

    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Warning;
    Qt::WindowFlags flags;
    QWidget* parent = &window;
    int buttons = 0;
    int countAtOpen = -1;
    int countBeforeClose = -1;
    WithModal([&] { ui.Find<QAction>("Action_Help_About")->trigger(); },
              [&](QWidget* modal)
              {
                  auto* box = qobject_cast<QMessageBox*>(modal);
                  QVERIFY(box);
                  title = box->windowTitle();
                  text = box->text();
                  icon = box->icon();
                  flags = box->windowFlags();
                  parent = box->parentWidget();
                  buttons = box->buttons().size();
                  countAtOpen = ui.Counter();
                  QTimer::singleShot(400,
                                     [&, box]
                                     {
                                         countBeforeClose = ui.Counter();
                                         QTest::mouseClick(box->button(QMessageBox::Ok),
                                                           Qt::LeftButton);
                                     });
              });

    QCOMPARE(title, QStringLiteral("About"));
    QVERIFY(text.startsWith("<div><b>Formicula</b><hr/>"));
    QVERIFY(text.endsWith("</div>"));
    QTextDocument document;
    document.setHtml(text);
    QVERIFY(document.toPlainText().trimmed().size() > QStringLiteral("Formicula").size());
    QCOMPARE(icon, QMessageBox::NoIcon);
    QVERIFY(flags.testFlag(Qt::Dialog));
    QVERIFY(flags.testFlag(Qt::MSWindowsFixedSizeDialogHint));
    QVERIFY(parent == nullptr);
    QCOMPARE(buttons, 1);

    QVERIFY2(countBeforeClose > countAtOpen, "the run goes on behind the box");
    QVERIFY(MainWindowProbe::Timer(window).isActive());
    QCOMPARE(ui.Controls(), ControlsShown::Running);
}

// The About texts are the window's own and reach the translation tools like the others.
void TestMenuCommands::aboutTextsAreTranslated()
{
    struct Marking : QTranslator
    {
        QString translate(const char* context, const char* source, const char*, int) const override
        {
            return QLatin1String(context) == QLatin1String("MainWindow")
                       ? QStringLiteral("[%1]").arg(QString::fromUtf8(source))
                       : QString();
        }
        bool isEmpty() const override { return false; }
    } marking;
    QCoreApplication::installTranslator(&marking);
    MainWindow window(nullptr);

    QString title;
    QString text;
    WithModal([&] { window.findChild<QAction*>("Action_Help_About")->trigger(); },
              [&](QWidget* modal)
              {
                  title = modal->windowTitle();
                  if (auto* box = qobject_cast<QMessageBox*>(modal))
                      text = box->text();
                  modal->close();
              });
    QCoreApplication::removeTranslator(&marking);

    QCOMPARE(title, QStringLiteral("[About]"));
    QVERIFY2(text.startsWith("[<div>") && text.endsWith("</div>]"), qPrintable(text));
}

void TestMenuCommands::exitEndsTheEventLoop_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("closeWindow");
    QTest::newRow("Exit while idle") << "" << false;
    QTest::newRow("Exit while running") << "Play" << false;
    QTest::newRow("close button") << "" << true;
}

void TestMenuCommands::exitEndsTheEventLoop()
{
    QFETCH(QString, before);
    QFETCH(bool, closeWindow);
    MainWindow window(nullptr);
    MainWindowDriver ui(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ui.DoAll(before);

    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    watchdog.start(5000);
    QTimer::singleShot(50, &window,
                       [&]
                       {
                           if (closeWindow)
                               window.close();
                           else
                               ui.Find<QAction>("Action_File_Exit")->trigger();
                       });
    QCOMPARE(QApplication::exec(), 0);
}

QTEST_MAIN(TestMenuCommands)
#include "tst_menucommands.moc"
