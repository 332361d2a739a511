#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>
#include <limits>
#include <map>

#include "Ant.h"
#include "AntField.h"
#include "FormLoadAntAIPreset.h"
#include "Iteration.h"
#include "MainWindow.h"
#include "MainWindowDriver.h"
#include "MainWindowProbe.h"
#include "PresetCatalogue.h"

namespace
{
// The window as it should be after the same actions, built from the model alone: the run
// state machine and the control table written out independently of MainWindow.
class ShadowWindow
{
public:
    enum ControlsState
    {
        Ready = 1,
        Running,
        Paused,
        Stopped,
        AfterNext,
        AfterForward,
        Finished
    };

    // Load, Reset, Play, Pause, Stop, Next, Forward, the twelve rule buttons.
    static QString ExpectedControls(ControlsState state)
    {
        static const char* const Table[] = {"11101111", "00011000", "11101110", "11101111",
                                            "11101110", "11101110", "11001000"};
        return QLatin1String(Table[state - Ready]);
    }

    ShadowWindow() { TheAnt.ApplyPreset(5); }

    void Play()
    {
        if (IsRunning || IsFinished)
            return;
        BeginRunIfFresh();
        IsRunning = true;
        State = Running;
    }

    void Pause()
    {
        if (!IsRunning)
            return;
        IsRunning = false;
        State = Paused;
    }

    void Stop()
    {
        IsRunning = false;
        Field.Clear();
        TheAnt.ResetPosition();
        IsFinished = false;
        Counter = 0;
        State = Stopped;
    }

    void Next()
    {
        if (IsRunning || IsFinished)
            return;
        BeginRunIfFresh();
        Iteration();
        State = IsFinished ? Finished : AfterNext;
    }

    void Forward()
    {
        if (IsRunning || IsFinished)
            return;
        BeginRunIfFresh();
        for (int i = 0; i < 50000 && !IsFinished; ++i)
            Iteration();
        State = IsFinished ? Finished : AfterForward;
    }

    void CycleStep(int index)
    {
        if (!IsRunning)
            TheAnt.CycleStep(index);
    }

    void Tick()
    {
        for (int i = 0; i < IPF && !IsFinished; ++i)
            Iteration();
        if (IsFinished)
        {
            IsRunning = false;
            State = Finished;
        }
    }

    void ResetAI()
    {
        if (IsRunning)
            return;
        TheAnt.ResetAI();
        StartOver();
    }

    // preset 0: the dialog was dismissed.
    void LoadPreset(int preset)
    {
        if (IsRunning || preset == 0)
            return;
        TheAnt.ApplyPreset(preset);
        StartOver();
    }

    AntField Field;
    Ant TheAnt;
    bool IsRunning = false;
    bool IsFinished = false;
    int Counter = 0;
    int FPS = 30;
    int IPF = 10;
    ControlsState State = Ready;

private:
    void BeginRunIfFresh()
    {
        if (Counter == 0)
            TheAnt.NormalizeAI();
    }

    void Iteration()
    {
        if (Iterate(Field, TheAnt) == IterationResult::Blocked)
            IsFinished = true;
        if (Counter < std::numeric_limits<int>::max())
            ++Counter;
    }

    void StartOver()
    {
        Field.Clear();
        TheAnt.ResetPosition();
        IsFinished = false;
        Counter = 0;
        State = Ready;
    }
};

const char* const SimulationButtons[] = {"Play", "Pause", "Stop", "Next", "Forward"};

// Slots whose guards must hold whatever the enabled state of their control.
const char* const GuardedSlots[] = {"Slot_PushButton_Play",    "Slot_PushButton_Pause",
                                    "Slot_PushButton_Stop",    "Slot_PushButton_Next",
                                    "Slot_PushButton_Forward", "Slot_Action_AntAI_ResetAI"};

QImage IconImage(const QIcon& icon)
{
    return icon.pixmap(QSize(20, 20)).toImage().convertToFormat(QImage::Format_ARGB32);
}
} // namespace

// Thousands of random user actions on the real window, each followed by a full comparison
// with the shadow. A failure names the seed and the actions that led to it.
class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void randomActionsKeepTheWindowConsistent_data();
    void randomActionsKeepTheWindowConsistent();

private:
    void Act(QRandomGenerator& random, int weightedChoice);
    void ClickSimulationButton(int index);
    void ClickRuleButton(int step);
    void InvokeGuardedSlot(const char* slot);
    void InvokeRuleSlot(int step);
    void ChangeSpinBox(QRandomGenerator& random);
    void TimerFrame();
    void WaitForTimer(int milliseconds);
    void LoadPreset(QRandomGenerator& random);
    void ShowAbout(QRandomGenerator& random);
    // Runs the command; while it blocks in a modal exec(), the handler works the modal window.
    // Returns whether a modal window appeared.
    bool WithModal(const std::function<void()>& command,
                   const std::function<void(QWidget*)>& handler);
    QString Mismatch();
    void ShadowTick()
    {
        ++Counts["frame from the real timer"];
        Shadow->Tick();
    }

    MainWindow* Window = nullptr;
    ShadowWindow* Shadow = nullptr;
    QStringList Log;
    int SpinFPS = 30;
    int SpinIPF = 10;
    std::map<QString, QImage> TurnIcons;
    std::map<QString, int> Counts;
    std::map<int, int> StatesSeen;
};

void TestSoak::initTestCase()
{
    TurnIcons["None"] = IconImage(QIcon(":/resources/icons/turn_none.png"));
    TurnIcons["Turn left"] = IconImage(QIcon(":/resources/icons/turn_left.png"));
    TurnIcons["Turn right"] = IconImage(QIcon(":/resources/icons/turn_right.png"));
    for (const auto& icon : TurnIcons)
        QVERIFY(!icon.second.isNull());
}

void TestSoak::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestSoak::randomActionsKeepTheWindowConsistent_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("actions");
    for (quint32 seed : {1u, 20261207u, 0xA17u, 4242u})
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed << 2000;
}

void TestSoak::randomActionsKeepTheWindowConsistent()
{
    QFETCH(quint32, seed);
    QFETCH(int, actions);
    MainWindow window(nullptr);
    ShadowWindow shadow;
    Window = &window;
    Shadow = &shadow;
    Log.clear();
    SpinFPS = 30;
    SpinIPF = 10;
    // Frames the real timer delivers (inside waits and behind the About box) reach the shadow
    // too; this connection comes after the window's own, so the window's frame runs first.
    connect(&MainWindowProbe::Timer(window), &QTimer::timeout, this, &TestSoak::ShadowTick);

    QRandomGenerator random(seed);
    QString mismatch = Mismatch();
    for (int i = 0; i < actions && mismatch.isEmpty() && !QTest::currentTestFailed(); ++i)
    {
        Act(random, static_cast<int>(random.bounded(1000u)));
        mismatch = Mismatch();
        ++StatesSeen[Shadow->State];
    }
    disconnect(&MainWindowProbe::Timer(window), &QTimer::timeout, this, &TestSoak::ShadowTick);
    Window = nullptr;
    Shadow = nullptr;
    QVERIFY2(mismatch.isEmpty(),
             qPrintable(QStringLiteral("seed %1 after %2 actions: %3\nlast actions: %4")
                            .arg(seed)
                            .arg(Log.size())
                            .arg(mismatch, Log.mid(qMax(0, Log.size() - 25)).join(", "))));
    QString counts;
    for (const auto& count : Counts)
        counts += QStringLiteral(" %1=%2").arg(count.first).arg(count.second);
    QString states;
    for (const auto& state : StatesSeen)
        states += QStringLiteral(" %1=%2").arg(state.first).arg(state.second);
    qInfo("%d actions:%s; control states after them:%s", actions, qPrintable(counts),
          qPrintable(states));
    Counts.clear();
    StatesSeen.clear();
}

// Weights out of 1000. Timer frames dominate while running, as they do in use; the dialog and
// the About box are rare because each one costs a nested event loop.
void TestSoak::Act(QRandomGenerator& random, int weightedChoice)
{
    const bool running = Shadow->IsRunning;
    int w = weightedChoice;
    if (running && w < 320)
        TimerFrame();
    else if (running && w < 350)
        WaitForTimer(static_cast<int>(random.bounded(1, 80)));
    else if ((w -= running ? 350 : 0) < 260)
        ClickSimulationButton(static_cast<int>(random.bounded(5)));
    else if ((w -= 260) < 120)
        ClickRuleButton(random.bounded(1, 13));
    else if ((w -= 120) < 110)
        InvokeGuardedSlot(GuardedSlots[random.bounded(6)]);
    else if ((w -= 110) < 60)
        InvokeRuleSlot(random.bounded(1, 13));
    else if ((w -= 60) < 70)
        ChangeSpinBox(random);
    else if ((w -= 70) < 15)
    {
        Log << "ResetAI";
        ++Counts["menu Reset AI"];
        Window->findChild<QAction*>("Action_AntAI_ResetAI")->trigger();
        Shadow->ResetAI();
    }
    else if ((w -= 15) < 10)
        WaitForTimer(static_cast<int>(random.bounded(1, 80)));
    else if ((w -= 10) < 12)
        LoadPreset(random);
    else if ((w -= 12) < 3)
        ShowAbout(random);
    else
        ClickSimulationButton(random.bounded(3) == 0 ? 4 : 3);
}

void TestSoak::ClickSimulationButton(int index)
{
    const QLatin1String name(SimulationButtons[index]);
    Log << QStringLiteral("click %1").arg(name);
    ++Counts[QStringLiteral("click %1").arg(name)];
    // A disabled button takes no click; which buttons are enabled is checked against the table.
    const bool enabled = ShadowWindow::ExpectedControls(Shadow->State)[2 + index] == '1';
    QTest::mouseClick(Window->findChild<QPushButton*>(QStringLiteral("PushButton_") + name),
                      Qt::LeftButton);
    if (!enabled)
        return;
    switch (index)
    {
    case 0:
        Shadow->Play();
        break;
    case 1:
        Shadow->Pause();
        break;
    case 2:
        Shadow->Stop();
        break;
    case 3:
        Shadow->Next();
        break;
    default:
        Shadow->Forward();
    }
}

void TestSoak::ClickRuleButton(int step)
{
    Log << QStringLiteral("click step %1").arg(step);
    ++Counts["click rule button"];
    QTest::mouseClick(Window->findChild<QPushButton*>(MainWindowDriver::StepButtonName(step)),
                      Qt::LeftButton);
    if (ShadowWindow::ExpectedControls(Shadow->State).endsWith(QLatin1Char('1')))
        Shadow->CycleStep(step - 1);
}

void TestSoak::InvokeGuardedSlot(const char* slot)
{
    Log << QLatin1String(slot);
    ++Counts["invoke guarded slot"];
    QVERIFY(QMetaObject::invokeMethod(Window, slot));
    const QString name = QLatin1String(slot);
    if (name.endsWith(QLatin1String("Play")))
        Shadow->Play();
    else if (name.endsWith(QLatin1String("Pause")))
        Shadow->Pause();
    else if (name.endsWith(QLatin1String("Stop")))
        Shadow->Stop();
    else if (name.endsWith(QLatin1String("Next")))
        Shadow->Next();
    else if (name.endsWith(QLatin1String("Forward")))
        Shadow->Forward();
    else
        Shadow->ResetAI();
}

void TestSoak::InvokeRuleSlot(int step)
{
    const QByteArray slot =
        QStringLiteral("Slot_PushButton_AntAIStep%1").arg(step, 2, 10, QLatin1Char('0')).toLatin1();
    Log << QString::fromLatin1(slot);
    ++Counts["invoke rule slot"];
    QVERIFY(QMetaObject::invokeMethod(Window, slot.constData()));
    Shadow->CycleStep(step - 1);
}

void TestSoak::ChangeSpinBox(QRandomGenerator& random)
{
    const bool fps = random.bounded(2) == 0;
    QSpinBox* spin = Window->findChild<QSpinBox*>(fps ? "SpinBox_FPS" : "SpinBox_IPF");
    int& shown = fps ? SpinFPS : SpinIPF;
    const int before = spin->value();
    switch (random.bounded(3))
    {
    case 0:
        Log << QStringLiteral("%1 up").arg(spin->objectName());
        QTest::keyClick(spin, Qt::Key_Up);
        break;
    case 1:
        Log << QStringLiteral("%1 down").arg(spin->objectName());
        QTest::keyClick(spin, Qt::Key_Down);
        break;
    default:
    {
        const int value = random.bounded(spin->minimum(), spin->maximum() + 1);
        Log << QStringLiteral("%1 = %2").arg(spin->objectName()).arg(value);
        spin->setValue(value);
    }
    }
    ++Counts["spin box"];
    // The arrow keys stop at the range ends; only a change reaches the window.
    shown = spin->value();
    if (shown != before)
    {
        ++Counts["spin box value changed"];
        (fps ? Shadow->FPS : Shadow->IPF) = shown;
    }
}

void TestSoak::TimerFrame()
{
    Log << "frame";
    ++Counts["timer frame"];
    QVERIFY(QMetaObject::invokeMethod(Window, "Slot_Timer"));
    Shadow->Tick();
}

void TestSoak::WaitForTimer(int milliseconds)
{
    Log << QStringLiteral("wait %1 ms").arg(milliseconds);
    ++Counts["wait for the timer"];
    QTest::qWait(milliseconds);
}

bool TestSoak::WithModal(const std::function<void()>& command,
                         const std::function<void(QWidget*)>& handler)
{
    bool appeared = false;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout,
            [&]
            {
                QWidget* modal = QApplication::activeModalWidget();
                if (!modal || !modal->isVisible())
                    return;
                poll.stop();
                appeared = true;
                handler(modal);
            });
    poll.start();
    command();
    poll.stop();
    return appeared;
}

void TestSoak::LoadPreset(QRandomGenerator& random)
{
    // Short runs are favoured so that loaded presets often reach their end.
    const int choice = random.bounded(6) == 0 ? static_cast<int>(random.bounded(1, 32))
                                              : static_cast<int>(random.bounded(1, 6));
    const int how = static_cast<int>(random.bounded(5)); // OK, OK untouched, Cancel, Esc, close
    const bool throughSlot = random.bounded(4) == 0;
    Log << QStringLiteral("load preset %1 how %2%3")
               .arg(choice)
               .arg(how)
               .arg(throughSlot ? QStringLiteral(" (slot)") : QString());
    ++Counts["preset dialog"];

    int chosen = 0;
    bool wrongKind = false;
    const bool opened = WithModal(
        [&]
        {
            if (throughSlot)
                QMetaObject::invokeMethod(Window, "Slot_Action_AntAI_LoadAIPreset");
            else
                Window->findChild<QAction*>("Action_AntAI_LoadAIPreset")->trigger();
        },
        [&](QWidget* modal)
        {
            auto* dialog = qobject_cast<FormLoadAntAIPreset*>(modal);
            if (!dialog)
            {
                wrongKind = true;
                modal->close();
                return;
            }
            auto* combo = dialog->findChild<QComboBox*>("ComboBox_AntAIPreset");
            if (how != 1)
                combo->setCurrentIndex(choice - 1);
            switch (how)
            {
            case 0:
            case 1:
                chosen = how == 1 ? 1 : choice; // the list opens on preset 1
                QTest::mouseClick(dialog->findChild<QPushButton*>("PushButton_Ok"), Qt::LeftButton);
                break;
            case 2:
                QTest::mouseClick(dialog->findChild<QPushButton*>("PushButton_Cancel"),
                                  Qt::LeftButton);
                break;
            case 3:
                QTest::keyClick(dialog, Qt::Key_Escape);
                break;
            default:
                dialog->close();
            }
        });
    QVERIFY2(!wrongKind, "Load AI preset opened something other than the preset dialog");
    QCOMPARE(opened, !Shadow->IsRunning);
    Shadow->LoadPreset(chosen);
}

void TestSoak::ShowAbout(QRandomGenerator& random)
{
    const int openFor = static_cast<int>(random.bounded(120));
    Log << QStringLiteral("about for %1 ms").arg(openFor);
    ++Counts["about box"];
    bool wasMessageBox = false;
    const bool opened =
        WithModal([&] { Window->findChild<QAction*>("Action_Help_About")->trigger(); },
                  [&](QWidget* modal)
                  {
                      auto* box = qobject_cast<QMessageBox*>(modal);
                      wasMessageBox = box != nullptr;
                      QTimer::singleShot(openFor, modal,
                                         [modal, box]
                                         {
                                             if (box)
                                                 QTest::mouseClick(box->button(QMessageBox::Ok),
                                                                   Qt::LeftButton);
                                             else
                                                 modal->close();
                                         });
                  });
    QVERIFY(opened);
    QVERIFY(wasMessageBox);
}

QString TestSoak::Mismatch()
{
    MainWindowDriver ui(*Window);
    const ShadowWindow& s = *Shadow;

    const QString controls = ui.Controls();
    if (controls != ShadowWindow::ExpectedControls(s.State))
        return QStringLiteral("controls %1, expected %2 (state %3)")
            .arg(controls, ShadowWindow::ExpectedControls(s.State))
            .arg(s.State);
    for (const char* name : {"Action_File_Exit", "Action_Help_About"})
        if (!ui.Find<QAction>(QLatin1String(name))->isEnabled())
            return QStringLiteral("%1 disabled").arg(QLatin1String(name));
    for (const char* name : {"SpinBox_FPS", "SpinBox_IPF"})
        if (!ui.Find<QSpinBox>(QLatin1String(name))->isEnabled())
            return QStringLiteral("%1 disabled").arg(QLatin1String(name));

    const QTimer& timer = MainWindowProbe::Timer(*Window);
    if (timer.isActive() != s.IsRunning)
        return QStringLiteral("timer active %1 while running %2")
            .arg(timer.isActive())
            .arg(s.IsRunning);
    if (timer.isActive() && timer.interval() != 1000 / s.FPS)
        return QStringLiteral("timer interval %1 at %2 frames per second")
            .arg(timer.interval())
            .arg(s.FPS);
    if (ui.Find<QSpinBox>("SpinBox_FPS")->value() != SpinFPS ||
        ui.Find<QSpinBox>("SpinBox_IPF")->value() != SpinIPF)
        return QStringLiteral("spin boxes moved by themselves");

    const QString label = ui.Find<QLabel>("Label_IterationNumber")->text();
    if (label != QStringLiteral("Iteration: %1").arg(s.Counter))
        return QStringLiteral("label '%1', counter %2").arg(label).arg(s.Counter);

    const AntPosition p = MainWindowProbe::TheAnt(*Window).GetPosition();
    const AntPosition q = s.TheAnt.GetPosition();
    if (p.X < 0 || p.X >= AntField::FieldSize || p.Y < 0 || p.Y >= AntField::FieldSize ||
        QByteArray("UDLR").indexOf(p.Direction) < 0)
        return QStringLiteral("ant off the field at %1,%2,%3").arg(p.X).arg(p.Y).arg(p.Direction);
    if (p.X != q.X || p.Y != q.Y || p.Direction != q.Direction)
        return QStringLiteral("ant at %1,%2,%3, shadow at %4,%5,%6")
            .arg(p.X)
            .arg(p.Y)
            .arg(QChar(p.Direction))
            .arg(q.X)
            .arg(q.Y)
            .arg(QChar(q.Direction));

    const AntAI ai = MainWindowProbe::TheAnt(*Window).GetAI();
    const AntAI expectedAi = s.TheAnt.GetAI();
    const QString rule = QString::fromStdString(ai.Steps);
    if (ai.Steps != expectedAi.Steps || ai.ActiveSteps != expectedAi.ActiveSteps)
        return QStringLiteral("rule %1/%2, shadow %3/%4")
            .arg(rule)
            .arg(ai.ActiveSteps)
            .arg(QString::fromStdString(expectedAi.Steps))
            .arg(expectedAi.ActiveSteps);
    if (ui.RuleShown() != rule)
        return QStringLiteral("buttons show %1, rule %2").arg(ui.RuleShown(), rule);
    for (int step = 1; step <= 12; ++step)
    {
        QPushButton* button = ui.Button(MainWindowDriver::StepButtonName(step));
        if (IconImage(button->icon()) != TurnIcons[button->toolTip()])
            return QStringLiteral("icon of step %1 does not match '%2'")
                .arg(step)
                .arg(button->toolTip());
    }

    const AntField& field = MainWindowProbe::Field(*Window);
    for (int y = 0; y < AntField::FieldSize; ++y)
        for (int x = 0; x < AntField::FieldSize; ++x)
        {
            const int cell = field.GetCell(x, y);
            if (cell < 0 || cell > ai.ActiveSteps)
                return QStringLiteral("cell %1,%2 holds %3 under %4 active steps")
                    .arg(x)
                    .arg(y)
                    .arg(cell)
                    .arg(ai.ActiveSteps);
            if (cell != s.Field.GetCell(x, y))
                return QStringLiteral("cell %1,%2 holds %3, shadow %4")
                    .arg(x)
                    .arg(y)
                    .arg(cell)
                    .arg(s.Field.GetCell(x, y));
        }
    return QString();
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
