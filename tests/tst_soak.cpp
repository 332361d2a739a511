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

#include <algorithm>
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
#include "Support.h"

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

    // Load, Reset, Play, Pause, Stop, Next, Forward, the twelve rule buttons. Written out here
    // rather than taken from tests/Support.h: the shadow shares nothing with what it checks.
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

    // After the dialog, which opens only while nothing runs; preset 0: it was dismissed. A run
    // started behind the dialog ends with a confirmed preset.
    void PresetDialogClosed(int preset)
    {
        if (preset == 0)
            return;
        IsRunning = false;
        TheAnt.ApplyPreset(preset);
        StartOver();
    }

    // What a release of a window button does, whatever let it go: 0 to 4 are Play to Forward,
    // 5 to 16 the rule buttons.
    void Released(int button)
    {
        void (ShadowWindow::*const simulation[])() = {&ShadowWindow::Play, &ShadowWindow::Pause,
                                                      &ShadowWindow::Stop, &ShadowWindow::Next,
                                                      &ShadowWindow::Forward};
        if (button < 5)
            (this->*simulation[button])();
        else
            CycleStep(button - 5);
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

// Ends a mouse click the way the pointer does: a window gone after the press misses the release.
void Click(QAbstractButton* button)
{
    QTest::mousePress(button, Qt::LeftButton);
    if (button->isVisible())
        QTest::mouseRelease(button, Qt::LeftButton);
}

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
    void HoldThenChangeFocus(QRandomGenerator& random);
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
    QVERIFY(ShowActive(window)); // held keys and focus changes need an active window
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

// Weights out of 1000. Timer frames dominate while running, as they do in use; the dialog, the
// About box and held buttons are rare because each one costs a nested event loop.
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
    else if ((w -= 70) < 20)
        HoldThenChangeFocus(random);
    else if ((w -= 20) < 15)
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

void TestSoak::LoadPreset(QRandomGenerator& random)
{
    // Short runs are favoured so that loaded presets often reach their end.
    const int choice = random.bounded(6) == 0 ? static_cast<int>(random.bounded(1, 32))
                                              : static_cast<int>(random.bounded(1, 6));
    // OK, OK untouched, Cancel, Escape, close, let go of the held button.
    const int how = static_cast<int>(random.bounded(6));
    const int held = static_cast<int>(random.bounded(3)); // none, OK, Cancel held with Space
    const bool throughSlot = random.bounded(4) == 0;
    Log << QStringLiteral("load preset %1 how %2 held %3%4")
               .arg(choice)
               .arg(how)
               .arg(held)
               .arg(throughSlot ? QStringLiteral(" (slot)") : QString());
    ++Counts["preset dialog"];

    const bool opens = !Shadow->IsRunning;
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
            auto* ok = dialog->findChild<QPushButton*>("PushButton_Ok");
            auto* cancel = dialog->findChild<QPushButton*>("PushButton_Cancel");
            if (how != 1)
                dialog->findChild<QComboBox*>("ComboBox_AntAIPreset")->setCurrentIndex(choice - 1);
            const int selected = how == 1 ? 1 : choice; // the list opens on preset 1
            QPushButton* heldButton = held == 1 ? ok : held == 2 ? cancel : nullptr;
            if (heldButton)
            {
                heldButton->setFocus(Qt::TabFocusReason);
                QTest::keyPress(heldButton, Qt::Key_Space);
            }
            // Only OK itself chooses: clicked, or let go of while held. Escape, the close button,
            // Cancel and a held button losing the focus never do.
            switch (how)
            {
            case 0:
            case 1:
                chosen = selected;
                Click(ok);
                break;
            case 2:
                Click(cancel);
                break;
            case 3:
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
                break;
            case 4:
                dialog->close();
                break;
            default:
                if (heldButton)
                {
                    chosen = heldButton == ok ? selected : 0;
                    QTest::keyRelease(heldButton, Qt::Key_Space);
                }
                else
                {
                    Click(cancel);
                }
            }
        });
    QVERIFY2(!wrongKind, "Load AI preset opened something other than the preset dialog");
    QCOMPARE(opened, opens);
    if (opened)
        Shadow->PresetDialogClosed(chosen);
}

void TestSoak::ShowAbout(QRandomGenerator& random)
{
    const int openFor = static_cast<int>(random.bounded(120));
    const int how = static_cast<int>(random.bounded(3)); // OK, Escape, close
    Log << QStringLiteral("about for %1 ms how %2").arg(openFor).arg(how);
    ++Counts["about box"];
    bool wasMessageBox = false;
    const bool opened =
        WithModal([&] { Window->findChild<QAction*>("Action_Help_About")->trigger(); },
                  [&](QWidget* modal)
                  {
                      auto* box = qobject_cast<QMessageBox*>(modal);
                      wasMessageBox = box != nullptr;
                      QTimer::singleShot(openFor, modal,
                                         [modal, box, how]
                                         {
                                             if (box && how == 0)
                                                 Click(box->button(QMessageBox::Ok));
                                             else if (box && how == 1)
                                                 QTest::keyClick(box, Qt::Key_Escape);
                                             else
                                                 modal->close();
                                         });
                  });
    QVERIFY(opened);
    QVERIFY(wasMessageBox);
}

// A button held down with Space lets go with released() when the focus leaves it or Escape
// cancels the press. The shadow follows that release at the moment it happens, as it follows
// the timer; what it then does is the shadow's own rule.
void TestSoak::HoldThenChangeFocus(QRandomGenerator& random)
{
    // Play .. Forward twice as often as the twelve rule buttons together: they start runs.
    const int index = random.bounded(3) == 0 ? static_cast<int>(random.bounded(5, 17))
                                             : static_cast<int>(random.bounded(5));
    // The dialog, which a held button's run must not outlive, twice as often as the others.
    const int how =
        std::max(0, static_cast<int>(random.bounded(5)) - 1); // dialog, About, Escape, Tab
    QPushButton* button =
        index < 5 ? Window->findChild<QPushButton*>(QStringLiteral("PushButton_") +
                                                    QLatin1String(SimulationButtons[index]))
                  : Window->findChild<QPushButton*>(MainWindowDriver::StepButtonName(index - 4));
    Log << QStringLiteral("hold %1, then %2")
               .arg(button->objectName(),
                    QStringList{"the preset dialog", "About", "Escape", "Tab"}[how]);
    ++Counts["hold a button, then a focus change"];

    const QMetaObject::Connection follow =
        connect(button, &QPushButton::released, this, [this, index] { Shadow->Released(index); });
    if (QApplication::activeWindow() != Window)
        QApplication::setActiveWindow(Window);
    // A disabled button takes neither the focus nor the key.
    button->setFocus(Qt::TabFocusReason);
    QTest::keyPress(button, Qt::Key_Space);
    switch (how)
    {
    case 0:
        LoadPreset(random);
        break;
    case 1:
        ShowAbout(random);
        break;
    case 2:
        QTest::keyClick(button, Qt::Key_Escape);
        break;
    default:
        QTest::keyClick(button, Qt::Key_Tab);
    }
    if (QWidget* focus = QApplication::focusWidget())
        QTest::keyRelease(focus, Qt::Key_Space);
    disconnect(follow);
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

    const FieldState state = MainWindowProbe::State(*Window);
    const QString difference = StateDifference(state, CaptureState(s.Field, s.TheAnt));
    if (!difference.isEmpty())
        return QStringLiteral("against the shadow: %1").arg(difference);

    // The shadow runs on the same model, so the model is held to its own bounds as well.
    const AntPosition p = state.Position;
    if (p.X < 0 || p.X >= AntField::FieldSize || p.Y < 0 || p.Y >= AntField::FieldSize ||
        QByteArray("UDLR").indexOf(p.Direction) < 0)
        return QStringLiteral("ant off the field at %1,%2,%3").arg(p.X).arg(p.Y).arg(p.Direction);
    const auto outside =
        std::find_if(state.Cells.begin(), state.Cells.end(),
                     [&](int cell) { return cell < 0 || cell > state.Rule.ActiveSteps; });
    if (outside != state.Cells.end())
        return QStringLiteral("a cell holds %1 under %2 active steps")
            .arg(*outside)
            .arg(state.Rule.ActiveSteps);

    const QString rule = QString::fromStdString(state.Rule.Steps);
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
    return QString();
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
