#include <QAction>
#include <QIcon>
#include <QLabel>
#include <QMetaMethod>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <limits>

#include "Ant.h"
#include "AntField.h"
#include "Iteration.h"
#include "MainWindow.h"
#include "MainWindowDriver.h"
#include "MainWindowProbe.h"
#include "PresetCatalogue.h"
#include "Support.h"

namespace
{
const QString Preset5 = QString::fromLatin1(PresetCatalogue::PresetRow(5), 12);
constexpr int Preset5End = 59225;

AntAI Preset5Rule()
{
    Ant ant;
    ant.ApplyPreset(5);
    return ant.GetAI();
}

// Preset 5 after `iterations` plain model iterations from the start: what the window must hold.
FieldState Preset5After(int iterations)
{
    AntField field;
    Ant ant;
    ant.ApplyPreset(5);
    for (int i = 0; i < iterations; ++i)
        Iterate(field, ant);
    return CaptureState(field, ant);
}

QString RuleInModel(MainWindow& window)
{
    return QString::fromStdString(MainWindowProbe::TheAnt(window).GetAI().Steps);
}
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void startState();
    void slotsInMetaObjectOrder();
    void controlsFollowTheRun_data();
    void controlsFollowTheRun();
    void forwardTwiceRunsPreset5ToTheBorder();
    void stopStartsOver_data();
    void stopStartsOver();
    void timerFrameRunsIpfIterations_data();
    void timerFrameRunsIpfIterations();
    void timerFrameEndsWhereTheAntIsBlocked_data();
    void timerFrameEndsWhereTheAntIsBlocked();
    void fpsSetsTimerInterval_data();
    void fpsSetsTimerInterval();
    void fpsBelowOneIsTreatedAsOne();
    void pauseThenPlayContinuesTheRun();
    void emptyRuleCountsWithoutMoving_data();
    void emptyRuleCountsWithoutMoving();
    void counterStopsAtItsMaximum_data();
    void counterStopsAtItsMaximum();
    void ruleButtonCyclesItsStep_data();
    void ruleButtonCyclesItsStep();
    void gapTrimmedWhenRunBegins_data();
    void gapTrimmedWhenRunBegins();
    void ruleButtonsRefuseWhileRunning();
};

void TestMainWindow::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestMainWindow::startState()
{
    MainWindow window(nullptr);
    MainWindowDriver ui(window);

    QCOMPARE(ui.Find<QLabel>("Label_FieldSize")->text(), QStringLiteral("Field size: 250 * 250"));
    QCOMPARE(ui.Find<QLabel>("Label_IterationNumber")->text(), QStringLiteral("Iteration: 0"));
    QCOMPARE(ui.Find<QSpinBox>("SpinBox_FPS")->value(), 30);
    QCOMPARE(ui.Find<QSpinBox>("SpinBox_IPF")->value(), 10);
    QCOMPARE(ui.Controls(), ControlsShown::Idle);
    QCOMPARE(ui.RuleShown(), Preset5);
    COMPARE_STATE(MainWindowProbe::State(window), StartState(Preset5Rule()));

    const QTimer& timer = MainWindowProbe::Timer(window);
    QVERIFY(!timer.isActive());
    QVERIFY(!timer.isSingleShot());
    QCOMPARE(timer.timerType(), Qt::PreciseTimer);

    const char* const icons[][2] = {{"Play", "simulation_play"},
                                    {"Pause", "simulation_pause"},
                                    {"Stop", "simulation_stop"},
                                    {"Next", "simulation_next"},
                                    {"Forward", "simulation_forward"}};
    for (const auto& icon : icons)
    {
        QPushButton* button = ui.Button(QStringLiteral("PushButton_") + QLatin1String(icon[0]));
        QCOMPARE(button->iconSize(), QSize(40, 40));
        QVERIFY(button->text().isEmpty());
        // The window keeps only the shown sizes; they must look as the full picture scaled.
        const QIcon full(QStringLiteral(":/resources/icons/%1.png").arg(icon[1]));
        QCOMPARE(button->icon().pixmap(40, 40).toImage(), full.pixmap(40, 40).toImage());
    }
}

void TestMainWindow::slotsInMetaObjectOrder()
{
    const QStringList expected = {"Slot_Action_File_Exit()",
                                  "Slot_Action_AntAI_ResetAI()",
                                  "Slot_Action_AntAI_LoadAIPreset()",
                                  "Slot_Action_Help_About()",
                                  "Slot_PushButton_Play()",
                                  "Slot_PushButton_Pause()",
                                  "Slot_PushButton_Stop()",
                                  "Slot_PushButton_Next()",
                                  "Slot_PushButton_Forward()",
                                  "Slot_PushButton_AntAIStep01()",
                                  "Slot_PushButton_AntAIStep02()",
                                  "Slot_PushButton_AntAIStep03()",
                                  "Slot_PushButton_AntAIStep04()",
                                  "Slot_PushButton_AntAIStep05()",
                                  "Slot_PushButton_AntAIStep06()",
                                  "Slot_PushButton_AntAIStep07()",
                                  "Slot_PushButton_AntAIStep08()",
                                  "Slot_PushButton_AntAIStep09()",
                                  "Slot_PushButton_AntAIStep10()",
                                  "Slot_PushButton_AntAIStep11()",
                                  "Slot_PushButton_AntAIStep12()",
                                  "Slot_SpinBox_FPS(int)",
                                  "Slot_SpinBox_IPF(int)",
                                  "Slot_Timer()"};

    const QMetaObject& meta = MainWindow::staticMetaObject;
    QCOMPARE(meta.methodCount() - meta.methodOffset(), expected.size());
    QCOMPARE(meta.propertyCount(), meta.propertyOffset());
    for (int i = 0; i < expected.size(); ++i)
    {
        const QMetaMethod method = meta.method(meta.methodOffset() + i);
        QCOMPARE(QString::fromLatin1(method.methodSignature()), expected[i]);
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Private);
    }
}

void TestMainWindow::controlsFollowTheRun_data()
{
    QTest::addColumn<QString>("commands");
    QTest::addColumn<QString>("controls"); // Load, Reset, Play, Pause, Stop, Next, Forward, rule

    QTest::newRow("Ready") << "" << ControlsShown::Idle;
    QTest::newRow("Running") << "Play" << ControlsShown::Running;
    QTest::newRow("Paused") << "Play Tick Pause" << ControlsShown::Halted;
    QTest::newRow("Stopped") << "Next Stop" << ControlsShown::Idle;
    QTest::newRow("AfterNext") << "Next" << ControlsShown::Halted;
    QTest::newRow("AfterForward") << "Forward" << ControlsShown::Halted;
    QTest::newRow("Finished") << "Forward Forward" << ControlsShown::Finished;
    QTest::newRow("Ready after Reset AI") << "Forward ResetAI" << ControlsShown::Idle;
}

void TestMainWindow::controlsFollowTheRun()
{
    QFETCH(QString, commands);
    QFETCH(QString, controls);
    MainWindow window(nullptr);
    MainWindowDriver ui(window);

    ui.DoAll(commands);

    QCOMPARE(ui.Controls(), controls);
    // Controls outside the table never change.
    QVERIFY(ui.Find<QAction>("Action_File_Exit")->isEnabled());
    QVERIFY(ui.Find<QAction>("Action_Help_About")->isEnabled());
    QVERIFY(ui.Find<QSpinBox>("SpinBox_FPS")->isEnabled());
    QVERIFY(ui.Find<QSpinBox>("SpinBox_IPF")->isEnabled());
    for (int step = 1; step <= 12; ++step)
        QVERIFY(!ui.Find<QLabel>(QStringLiteral("Label_AntAIStep%1").arg(step, 2, 10, QChar('0')))
                     ->isEnabled());
}

void TestMainWindow::forwardTwiceRunsPreset5ToTheBorder()
{
    MainWindow window(nullptr);
    MainWindowDriver ui(window);

    ui.Do("Forward");
    QCOMPARE(ui.Find<QLabel>("Label_IterationNumber")->text(), QStringLiteral("Iteration: 50000"));
    QCOMPARE(ui.Controls(), ControlsShown::Halted);

    ui.Do("Forward");
    QCOMPARE(ui.Counter(), Preset5End);
    QCOMPARE(ui.Controls(), ControlsShown::Finished);
    const FieldState end = MainWindowProbe::State(window);
    COMPARE_STATE(end, Preset5After(Preset5End));
    QCOMPARE(end.Position.X, 249);
    QCOMPARE(end.Position.Y, 167);
    QCOMPARE(end.Position.Direction, 'R');

    // The guards refuse even when the disabled buttons are bypassed.
    ui.Invoke("Slot_PushButton_Play");
    ui.Invoke("Slot_PushButton_Next");
    ui.Invoke("Slot_PushButton_Forward");
    QCOMPARE(ui.Counter(), Preset5End);
    QVERIFY(!MainWindowProbe::Timer(window).isActive());
    COMPARE_STATE(MainWindowProbe::State(window), end);
}

void TestMainWindow::stopStartsOver_data()
{
    QTest::addColumn<QString>("commands");
    QTest::newRow("Ready") << "";
    QTest::newRow("AfterNext") << "Next";
    QTest::newRow("Running") << "Play Tick";
    QTest::newRow("Paused") << "Play Tick Pause";
    QTest::newRow("Finished") << "Forward Forward";
}

void TestMainWindow::stopStartsOver()
{
    QFETCH(QString, commands);
    MainWindow window(nullptr);
    MainWindowDriver ui(window);
    ui.SetSpin("SpinBox_FPS", 12);
    ui.SetSpin("SpinBox_IPF", 7);

    ui.DoAll(commands);
    ui.Do("Stop");

    QCOMPARE(ui.Counter(), 0);
    COMPARE_STATE(MainWindowProbe::State(window), StartState(Preset5Rule()));
    QCOMPARE(ui.Controls(), ControlsShown::Idle);
    QVERIFY(!MainWindowProbe::Timer(window).isActive());
    QCOMPARE(ui.RuleShown(), Preset5);
    QCOMPARE(ui.Find<QSpinBox>("SpinBox_FPS")->value(), 12);
    QCOMPARE(ui.Find<QSpinBox>("SpinBox_IPF")->value(), 7);

    // A fresh run after Stop is the same run again.
    ui.DoAll("Forward Forward");
    QCOMPARE(ui.Counter(), Preset5End);
}

void TestMainWindow::timerFrameRunsIpfIterations_data()
{
    QTest::addColumn<int>("ipf");
    QTest::newRow("1") << 1;
    QTest::newRow("10 (default)") << 10;
    QTest::newRow("50 (maximum)") << 50;
}

void TestMainWindow::timerFrameRunsIpfIterations()
{
    QFETCH(int, ipf);
    MainWindow window(nullptr);
    MainWindowDriver ui(window);

    ui.Do("Play");
    ui.SetSpin("SpinBox_IPF", ipf); // while running: the next frame uses it
    QCOMPARE(ui.Counter(), 0);      // Play itself runs nothing
    ui.Do("Tick");
    QCOMPARE(ui.Counter(), ipf);
    ui.Do("Tick");
    QCOMPARE(ui.Counter(), 2 * ipf);
    QCOMPARE(ui.Controls(), ControlsShown::Running);
    COMPARE_STATE(MainWindowProbe::State(window), Preset5After(2 * ipf));
}

void TestMainWindow::timerFrameEndsWhereTheAntIsBlocked_data()
{
    QTest::addColumn<int>("ipf");
    // 9 225 iterations remain after one Forward; 7 and 50 leave a short last frame.
    QTest::newRow("1") << 1;
    QTest::newRow("7") << 7;
    QTest::newRow("50") << 50;
}

void TestMainWindow::timerFrameEndsWhereTheAntIsBlocked()
{
    QFETCH(int, ipf);
    MainWindow window(nullptr);
    MainWindowDriver ui(window);
    ui.SetSpin("SpinBox_IPF", ipf);
    ui.DoAll("Forward Play");
    const QTimer& timer = MainWindowProbe::Timer(window);

    int before = ui.Counter();
    while (timer.isActive())
    {
        before = ui.Counter();
        ui.Do("Tick");
        if (timer.isActive())
            QCOMPARE(ui.Counter() - before, ipf);
    }
    QCOMPARE(ui.Counter(), Preset5End);
    QVERIFY(Preset5End - before <= ipf);
    QCOMPARE(ui.Controls(), ControlsShown::Finished);
    COMPARE_STATE(MainWindowProbe::State(window), Preset5After(Preset5End));
}

void TestMainWindow::fpsSetsTimerInterval_data()
{
    QTest::addColumn<int>("fps");
    QTest::addColumn<bool>("whileRunning");
    QTest::addColumn<int>("interval");
    QTest::newRow("30 before Play") << 30 << false << 33;
    QTest::newRow("7 before Play") << 7 << false << 142;
    QTest::newRow("7 while running") << 7 << true << 142;
    QTest::newRow("1 while running") << 1 << true << 1000;
}

void TestMainWindow::fpsSetsTimerInterval()
{
    QFETCH(int, fps);
    QFETCH(bool, whileRunning);
    QFETCH(int, interval);
    MainWindow window(nullptr);
    MainWindowDriver ui(window);

    if (whileRunning)
        ui.Do("Play");
    if (fps == 30)
        ui.SetSpin("SpinBox_FPS", 29); // make sure the slot runs on the way back to 30
    ui.SetSpin("SpinBox_FPS", fps);
    if (!whileRunning)
        ui.Do("Play");

    const QTimer& timer = MainWindowProbe::Timer(window);
    QVERIFY(timer.isActive());
    QCOMPARE(timer.interval(), interval);
}

// A frame rate below 1 reaching the slot directly must not divide by zero.
void TestMainWindow::fpsBelowOneIsTreatedAsOne()
{
    MainWindow window(nullptr);
    MainWindowDriver ui(window);
    for (int fps : {0, -5})
    {
        QVERIFY(QMetaObject::invokeMethod(&window, "Slot_SpinBox_FPS", Q_ARG(int, fps)));
        ui.Do("Play");
        QCOMPARE(MainWindowProbe::Timer(window).interval(), 1000);
        ui.Do("Pause");
    }
}

void TestMainWindow::pauseThenPlayContinuesTheRun()
{
    MainWindow window(nullptr);
    MainWindowDriver ui(window);

    ui.DoAll("Play Tick Tick Pause");
    QCOMPARE(ui.Counter(), 20);
    QVERIFY(!MainWindowProbe::Timer(window).isActive());
    const FieldState paused = MainWindowProbe::State(window);

    ui.Do("Play");
    COMPARE_STATE(MainWindowProbe::State(window), paused);
    ui.Do("Tick");
    QCOMPARE(ui.Counter(), 30);
    COMPARE_STATE(MainWindowProbe::State(window), Preset5After(30));
}

void TestMainWindow::emptyRuleCountsWithoutMoving_data()
{
    QTest::addColumn<QString>("commands");
    QTest::addColumn<int>("count");
    QTest::newRow("Next") << "Next" << 1;
    QTest::newRow("Forward") << "Forward" << 50000;
    QTest::newRow("Play and two frames") << "Play Tick Tick" << 20;
}

void TestMainWindow::emptyRuleCountsWithoutMoving()
{
    QFETCH(QString, commands);
    QFETCH(int, count);
    MainWindow window(nullptr);
    MainWindowDriver ui(window);

    ui.DoAll("Forward ResetAI");
    QCOMPARE(ui.RuleShown(), QStringLiteral("------------"));
    ui.DoAll(commands);

    QCOMPARE(ui.Counter(), count);
    COMPARE_STATE(MainWindowProbe::State(window), StartState(Ant().GetAI()));
    QVERIFY(ui.Controls() != ControlsShown::Finished);
}

void TestMainWindow::counterStopsAtItsMaximum_data()
{
    QTest::addColumn<QString>("commands");
    QTest::newRow("Next") << "Next Next Next";
    QTest::newRow("Forward") << "Forward";
    QTest::newRow("timer frames") << "Play Tick Tick";
}

// A run with an empty rule never ends; its counter must saturate instead of overflowing.
void TestMainWindow::counterStopsAtItsMaximum()
{
    QFETCH(QString, commands);
    MainWindow window(nullptr);
    MainWindowDriver ui(window);
    constexpr int Max = std::numeric_limits<int>::max();

    ui.DoAll("ResetAI Next");
    MainWindowProbe::SetIterationNumber(window, Max - 2);
    ui.DoAll(commands);

    QCOMPARE(ui.Find<QLabel>("Label_IterationNumber")->text(),
             QStringLiteral("Iteration: 2147483647"));
    QVERIFY(ui.Controls() != ControlsShown::Finished);
}

void TestMainWindow::ruleButtonCyclesItsStep_data()
{
    QTest::addColumn<int>("step");
    for (int step = 1; step <= 12; ++step)
        QTest::newRow(qPrintable(QStringLiteral("step %1").arg(step))) << step;
}

void TestMainWindow::ruleButtonCyclesItsStep()
{
    QFETCH(int, step);
    MainWindow window(nullptr);
    MainWindowDriver ui(window);
    ui.Do("ResetAI");
    QPushButton* button = ui.Button(MainWindowDriver::StepButtonName(step));

    const struct
    {
        QChar Letter;
        const char* Icon = nullptr;
    } cycle[] = {{'L', ":/resources/icons/turn_left.png"},
                 {'R', ":/resources/icons/turn_right.png"},
                 {'-', ":/resources/icons/turn_none.png"}};
    for (const auto& expected : cycle)
    {
        ui.Do(QStringLiteral("Step%1").arg(step));
        QString rule(12, QChar('-'));
        rule[step - 1] = expected.Letter;
        QCOMPARE(ui.RuleShown(), rule);
        QCOMPARE(RuleInModel(window), rule);

        const QImage reference = QIcon(expected.Icon).pixmap(20, 20).toImage();
        QVERIFY2(!reference.isNull(), expected.Icon);
        QCOMPARE(button->icon().pixmap(20, 20).toImage(), reference);
        QCOMPARE(button->iconSize(), QSize(20, 20));
        QVERIFY(button->text().isEmpty());
    }
    // Editing does not start a run.
    QCOMPARE(ui.Counter(), 0);
    QCOMPARE(ui.Controls(), ControlsShown::Idle);
}

void TestMainWindow::gapTrimmedWhenRunBegins_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("Play") << "Play";
    QTest::newRow("Next") << "Next";
    QTest::newRow("Forward") << "Forward";
}

void TestMainWindow::gapTrimmedWhenRunBegins()
{
    QFETCH(QString, command);
    MainWindow window(nullptr);
    MainWindowDriver ui(window);

    ui.DoAll("ResetAI Step01 Step03 Step03");
    QCOMPARE(ui.RuleShown(), QStringLiteral("L-R---------"));

    ui.Do(command);
    QCOMPARE(ui.RuleShown(), QStringLiteral("L-----------"));
    QCOMPARE(RuleInModel(window), QStringLiteral("L-----------"));
    QCOMPARE(MainWindowProbe::TheAnt(window).GetAI().ActiveSteps, 1);

    // The dropped letter does not come back with Stop.
    ui.Do("Stop");
    QCOMPARE(ui.RuleShown(), QStringLiteral("L-----------"));
    QCOMPARE(ui.Controls(), ControlsShown::Idle);
}

void TestMainWindow::ruleButtonsRefuseWhileRunning()
{
    MainWindow window(nullptr);
    MainWindowDriver ui(window);
    ui.Do("Play");

    for (int step = 1; step <= 12; ++step)
    {
        const QByteArray slot =
            QStringLiteral("Slot_PushButton_AntAIStep%1").arg(step, 2, 10, QChar('0')).toLatin1();
        ui.Invoke(slot.constData());
    }
    QCOMPARE(ui.RuleShown(), Preset5);
    QCOMPARE(RuleInModel(window), Preset5);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
