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

#include <functional>

#include "Ant.h"
#include "AntField.h"
#include "FormLoadAntAIPreset.h"
#include "MainWindow.h"
#include "MainWindowDriver.h"
#include "MainWindowProbe.h"
#include "PresetCatalogue.h"

namespace
{
// Runs the action on the modal window once it is up (the command that opens it blocks in
// exec(), so this has to be queued first). Gives up after five seconds.
void WhenModal(const std::function<void(QWidget*)>& action, int attemptsLeft = 500)
{
    QTimer::singleShot(10,
                       [action, attemptsLeft]
                       {
                           QWidget* modal = QApplication::activeModalWidget();
                           if (modal && modal->isVisible())
                               action(modal);
                           else if (attemptsLeft > 0)
                               WhenModal(action, attemptsLeft - 1);
                       });
}

// What a command left behind: counter, controls, rule shown, ant, painted cells.
QString Snapshot(MainWindow& window)
{
    MainWindowDriver ui(window);
    const AntField& field = MainWindowProbe::Field(window);
    int painted = 0;
    for (int y = 0; y < AntField::FieldSize; ++y)
        for (int x = 0; x < AntField::FieldSize; ++x)
            painted += field.GetCell(x, y) != 0;
    const AntPosition p = MainWindowProbe::TheAnt(window).GetPosition();
    return QStringLiteral("count %1 controls %2 rule %3 ant %4,%5,%6 painted %7")
        .arg(ui.Counter())
        .arg(ui.Controls(), ui.RuleShown())
        .arg(p.X)
        .arg(p.Y)
        .arg(QChar(p.Direction))
        .arg(painted);
}

QString FreshStart(int preset)
{
    return QStringLiteral("count 0 controls 11101111 rule %1 ant 125,125,U painted 0")
        .arg(QString::fromLatin1(PresetCatalogue::PresetRow(preset), 12));
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
    void resetAiStartsOverWithEmptyRule_data();
    void resetAiStartsOverWithEmptyRule();
    void aiCommandsRefusedWhileRunning_data();
    void aiCommandsRefusedWhileRunning();
    void aboutWhileRunningKeepsCounting();
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
    WhenModal(
        [&](QWidget* modal)
        {
            dialog = modal;
            isPresetDialog = qobject_cast<FormLoadAntAIPreset*>(modal) != nullptr;
            auto* combo = modal->findChild<QComboBox*>("ComboBox_AntAIPreset");
            openedOn = combo->currentIndex();
            if (choice > 0)
                combo->setCurrentIndex(choice - 1);
            QTest::mouseClick(modal->findChild<QPushButton*>("PushButton_Ok"), Qt::LeftButton);
        });
    ui.Find<QAction>("Action_AntAI_LoadAIPreset")->trigger();

    QVERIFY(isPresetDialog);
    QCOMPARE(openedOn, 0); // whatever the window holds, the list starts on preset 1
    QVERIFY2(dialog.isNull(), "the dialog is deleted after use");
    QCOMPARE(Snapshot(window), FreshStart(preset));
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
    const QString kept = Snapshot(window);

    Qt::WindowFlags flags;
    WhenModal(
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
    ui.Find<QAction>("Action_AntAI_LoadAIPreset")->trigger();

    // Qt adds the title and system menu hints itself; no minimise or maximise button.
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(Snapshot(window), kept);

    // A halted run goes on where it stopped.
    ui.DoAll("Forward Forward");
    QCOMPARE(ui.Counter(), 59225);
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
    QCOMPARE(Snapshot(window), FreshStart(0)); // row 0: the empty rule

    // The empty rule runs: the counter climbs, nothing moves.
    ui.DoAll("Play Tick Tick");
    QCOMPARE(
        Snapshot(window),
        QStringLiteral("count 20 controls 00011000 rule ------------ ant 125,125,U painted 0"));
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
    const QString kept = Snapshot(window);

    // Should a dialog open anyway, close it so the test fails instead of hanging.
    bool dialogOpened = false;
    WhenModal(
        [&](QWidget* modal)
        {
            dialogOpened = true;
            modal->close();
        },
        50);
    ui.Invoke(slot.constData());
    QTest::qWait(600);

    QVERIFY(!dialogOpened);
    QCOMPARE(Snapshot(window).section(' ', 2, 5), kept.section(' ', 2, 5)); // controls, rule
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
    WhenModal(
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
                                   QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
                               });
        });
    ui.Find<QAction>("Action_Help_About")->trigger();

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
    QCOMPARE(ui.Controls(), QStringLiteral("00011000"));
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
