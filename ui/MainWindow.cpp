#include "MainWindow.h"

#include <QCoreApplication>
#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QtGlobal>

#include <algorithm>
#include <limits>
#include <utility>

#include "Ant.h"
#include "AntAI.h"
#include "AntField.h"
#include "FormLoadAntAIPreset.h"
#include "Iteration.h"
#include "Ui_MainWindow.h"

namespace
{
// QString copies share their data, so the by-value parameters cost a reference count each.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void ShowMessage(QString title, QString text)
{
    // No parent: the box is modal for the whole application, and the timer behind it keeps
    // running inside exec().
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::NoButton, nullptr,
                    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.exec();
}

// The simulation icons are drawn at 1034 px and shown at 40. A QIcon made from the path
// would decode and keep five 4 MB pictures, which was most of the start-up time; this
// keeps only the shown size and its double for high-density screens, scaled the same
// smooth way QIcon scales.
QIcon ButtonIcon(const char* path, const QSize& size)
{
    const QImage picture(QString::fromLatin1(path));
    QIcon icon;
    for (int scale = 1; scale <= 2; ++scale)
        icon.addPixmap(QPixmap::fromImage(
            picture.scaled(size * scale, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    return icon;
}

// Texts marked with QT_TRANSLATE_NOOP stay visible to the translation tools.
QString Tr(const char* text)
{
    return QCoreApplication::translate("MainWindow", text);
}
} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), Ui(new Ui_MainWindow), Timer(nullptr), Field(nullptr), TheAnt(nullptr),
      IsRunning(false), IsFinished(false), FPS(30), IPF(10), IterationNumber(0)
{
    Ui->setupUi(this);
    Init();
    TheAnt->ApplyPreset(5);
    EnableControls(Ready);
    UpdateIterationLabel();
    UpdateAntAIButtons();
    RepaintField();

    connect(Ui->Action_AntAI_LoadAIPreset, SIGNAL(triggered(bool)), this,
            SLOT(Slot_Action_AntAI_LoadAIPreset()));
    connect(Ui->Action_AntAI_ResetAI, SIGNAL(triggered(bool)), this,
            SLOT(Slot_Action_AntAI_ResetAI()));
    connect(Ui->Action_File_Exit, SIGNAL(triggered(bool)), this, SLOT(Slot_Action_File_Exit()));
    connect(Ui->Action_Help_About, SIGNAL(triggered(bool)), this, SLOT(Slot_Action_Help_About()));
    connect(Ui->PushButton_AntAIStep01, SIGNAL(released()), this,
            SLOT(Slot_PushButton_AntAIStep01()));
    connect(Ui->PushButton_AntAIStep02, SIGNAL(released()), this,
            SLOT(Slot_PushButton_AntAIStep02()));
    connect(Ui->PushButton_AntAIStep03, SIGNAL(released()), this,
            SLOT(Slot_PushButton_AntAIStep03()));
    connect(Ui->PushButton_AntAIStep04, SIGNAL(released()), this,
            SLOT(Slot_PushButton_AntAIStep04()));
    connect(Ui->PushButton_AntAIStep05, SIGNAL(released()), this,
            SLOT(Slot_PushButton_AntAIStep05()));
    connect(Ui->PushButton_AntAIStep06, SIGNAL(released()), this,
            SLOT(Slot_PushButton_AntAIStep06()));
    connect(Ui->PushButton_AntAIStep07, SIGNAL(released()), this,
            SLOT(Slot_PushButton_AntAIStep07()));
    connect(Ui->PushButton_AntAIStep08, SIGNAL(released()), this,
            SLOT(Slot_PushButton_AntAIStep08()));
    connect(Ui->PushButton_AntAIStep09, SIGNAL(released()), this,
            SLOT(Slot_PushButton_AntAIStep09()));
    connect(Ui->PushButton_AntAIStep10, SIGNAL(released()), this,
            SLOT(Slot_PushButton_AntAIStep10()));
    connect(Ui->PushButton_AntAIStep11, SIGNAL(released()), this,
            SLOT(Slot_PushButton_AntAIStep11()));
    connect(Ui->PushButton_AntAIStep12, SIGNAL(released()), this,
            SLOT(Slot_PushButton_AntAIStep12()));
    connect(Ui->PushButton_Forward, SIGNAL(released()), this, SLOT(Slot_PushButton_Forward()));
    connect(Ui->PushButton_Next, SIGNAL(released()), this, SLOT(Slot_PushButton_Next()));
    connect(Ui->PushButton_Pause, SIGNAL(released()), this, SLOT(Slot_PushButton_Pause()));
    connect(Ui->PushButton_Play, SIGNAL(released()), this, SLOT(Slot_PushButton_Play()));
    connect(Ui->PushButton_Stop, SIGNAL(released()), this, SLOT(Slot_PushButton_Stop()));
    connect(Ui->SpinBox_FPS, SIGNAL(valueChanged(int)), this, SLOT(Slot_SpinBox_FPS(int)));
    connect(Ui->SpinBox_IPF, SIGNAL(valueChanged(int)), this, SLOT(Slot_SpinBox_IPF(int)));
    connect(Timer, SIGNAL(timeout()), this, SLOT(Slot_Timer()));
}

MainWindow::~MainWindow()
{
    delete Ui;
    delete Timer;
    delete Field;
    delete TheAnt;
    AntAIStepButtons.clear();
}

void MainWindow::Init()
{
    Timer = new QTimer(this);
    Timer->setTimerType(Qt::PreciseTimer);
    Field = new AntField;
    TheAnt = new Ant;
    AntAIStepButtons << Ui->PushButton_AntAIStep01 << Ui->PushButton_AntAIStep02
                     << Ui->PushButton_AntAIStep03 << Ui->PushButton_AntAIStep04
                     << Ui->PushButton_AntAIStep05 << Ui->PushButton_AntAIStep06
                     << Ui->PushButton_AntAIStep07 << Ui->PushButton_AntAIStep08
                     << Ui->PushButton_AntAIStep09 << Ui->PushButton_AntAIStep10
                     << Ui->PushButton_AntAIStep11 << Ui->PushButton_AntAIStep12;
    IsRunning = false;
    IsFinished = false;
    FPS = 30;
    IPF = 10;
    IterationNumber = 0;

    const QString size = QString::number(AntField::FieldSize);
    Ui->Label_FieldSize->setText(
        Tr(QT_TRANSLATE_NOOP("MainWindow", "Field size: %1 * %2")).arg(size, size));
    UpdateIterationLabel();

    const QSize simulationIconSize(40, 40);
    const std::pair<QPushButton*, const char*> simulationIcons[] = {
        {Ui->PushButton_Forward, ":/resources/icons/simulation_forward.png"},
        {Ui->PushButton_Next, ":/resources/icons/simulation_next.png"},
        {Ui->PushButton_Pause, ":/resources/icons/simulation_pause.png"},
        {Ui->PushButton_Play, ":/resources/icons/simulation_play.png"},
        {Ui->PushButton_Stop, ":/resources/icons/simulation_stop.png"}};
    for (const auto& [button, path] : simulationIcons)
    {
        button->setIcon(ButtonIcon(path, simulationIconSize));
        button->setIconSize(simulationIconSize);
    }

    Ui->SpinBox_FPS->setValue(FPS);
    Ui->SpinBox_IPF->setValue(IPF);

    Ui->WidgetPaintArea_GraphicScene->SetAntField(Field);
}

void MainWindow::EnableControls(ControlsState state)
{
    struct Row
    {
        bool Menu, Play, Pause, Stop, Next, Forward, RuleButtons;
    };
    // Indexed by state - 1. The rule may change only while the counter is 0 and nothing runs.
    static constexpr Row Table[] = {{true, true, false, true, true, true, true},     // Ready
                                    {false, false, true, true, false, false, false}, // Running
                                    {true, true, false, true, true, true, false},    // Paused
                                    {true, true, false, true, true, true, true},     // Stopped
                                    {true, true, false, true, true, true, false},    // AfterNext
                                    {true, true, false, true, true, true, false},    // AfterForward
                                    {true, false, false, true, false, false, false}}; // Finished
    const Row& row = Table[state - Ready];

    Ui->Action_AntAI_LoadAIPreset->setEnabled(row.Menu);
    Ui->Action_AntAI_ResetAI->setEnabled(row.Menu);
    Ui->PushButton_Play->setEnabled(row.Play);
    Ui->PushButton_Pause->setEnabled(row.Pause);
    Ui->PushButton_Stop->setEnabled(row.Stop);
    Ui->PushButton_Next->setEnabled(row.Next);
    Ui->PushButton_Forward->setEnabled(row.Forward);
    for (QPushButton* button : AntAIStepButtons)
        button->setEnabled(row.RuleButtons);
}

void MainWindow::UpdateIterationLabel()
{
    Ui->Label_IterationNumber->setText(
        Tr(QT_TRANSLATE_NOOP("MainWindow", "Iteration: %1")).arg(IterationNumber));
}

void MainWindow::UpdateAntAIButtons()
{
    const AntAI ai = TheAnt->GetAI();
    const QSize iconSize(20, 20);
    for (int i = 0; i < AntAIStepButtons.size(); ++i)
    {
        const char letter = i < ai.Size ? ai.Steps[static_cast<std::size_t>(i)] : '-';
        const char* iconPath;
        const char* toolTip;
        switch (letter)
        {
        case '-':
            iconPath = ":/resources/icons/turn_none.png";
            toolTip = QT_TRANSLATE_NOOP("MainWindow", "None");
            break;
        case 'L':
            iconPath = ":/resources/icons/turn_left.png";
            toolTip = QT_TRANSLATE_NOOP("MainWindow", "Turn left");
            break;
        case 'R':
            iconPath = ":/resources/icons/turn_right.png";
            toolTip = QT_TRANSLATE_NOOP("MainWindow", "Turn right");
            break;
        default:
            continue;
        }
        QPushButton* button = AntAIStepButtons[i];
        button->setIcon(QIcon(iconPath));
        button->setIconSize(iconSize);
        button->setToolTip(Tr(toolTip));
    }
}

void MainWindow::RepaintField()
{
    Ui->WidgetPaintArea_GraphicScene->update();
}

void MainWindow::DoIteration()
{
    if (Iterate(*Field, *TheAnt) == IterationResult::Blocked)
        IsFinished = true;
}

void MainWindow::CountIteration()
{
    // An empty rule never ends by itself; the counter stops at its maximum instead of
    // overflowing.
    if (IterationNumber < std::numeric_limits<int>::max())
        ++IterationNumber;
}

void MainWindow::BeginRunIfFresh()
{
    // The rule takes effect only as a run begins: everything after the first gap is dropped.
    if (IterationNumber != 0)
        return;
    TheAnt->NormalizeAI();
    UpdateAntAIButtons();
}

void MainWindow::CycleRuleStep(int index)
{
    if (IsRunning)
        return;
    TheAnt->CycleStep(index);
    UpdateAntAIButtons();
}

void MainWindow::StartOver(ControlsState state)
{
    if (IsRunning)
    {
        IsRunning = false;
        Timer->stop();
    }
    Field->Clear();
    TheAnt->ResetPosition();
    IsFinished = false;
    IterationNumber = 0;
    EnableControls(state);
    UpdateIterationLabel();
    RepaintField();
}

void MainWindow::Slot_Action_File_Exit()
{
    QCoreApplication::quit();
}

void MainWindow::Slot_Action_AntAI_ResetAI()
{
    if (IsRunning)
        return;
    TheAnt->ResetAI();
    UpdateAntAIButtons();
    StartOver(Ready);
}

void MainWindow::Slot_Action_AntAI_LoadAIPreset()
{
    if (IsRunning)
        return;
    FormLoadAntAIPreset* dialog = new FormLoadAntAIPreset(this);
    dialog->setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint);
    // A button held down in the window lets go as the dialog takes the focus, so a run may
    // have started behind the dialog; StartOver ends it before the preset goes in.
    if (dialog->exec() == QDialog::Accepted && dialog->IsPresetChosen())
    {
        TheAnt->ApplyPreset(dialog->GetPresetNumber());
        UpdateAntAIButtons();
        StartOver(Ready);
    }
    delete dialog;
}

void MainWindow::Slot_Action_Help_About()
{
    ShowMessage(tr("About"), tr("<div><b>Formicula</b><hr/>"
                                "Written by the Formicula developers with Qt 5."
                                "</div>"));
}

void MainWindow::Slot_PushButton_Play()
{
    if (IsRunning || IsFinished)
        return;
    BeginRunIfFresh();
    IsRunning = true;
    Timer->start(1000 / FPS);
    EnableControls(Running);
}

void MainWindow::Slot_PushButton_Pause()
{
    if (!IsRunning)
        return;
    IsRunning = false;
    Timer->stop();
    EnableControls(Paused);
}

void MainWindow::Slot_PushButton_Stop()
{
    StartOver(Stopped);
}

void MainWindow::Slot_PushButton_Next()
{
    if (IsRunning || IsFinished)
        return;
    BeginRunIfFresh();
    DoIteration();
    CountIteration();
    EnableControls(IsFinished ? Finished : AfterNext);
    UpdateIterationLabel();
    RepaintField();
}

void MainWindow::Slot_PushButton_Forward()
{
    if (IsRunning || IsFinished)
        return;
    BeginRunIfFresh();
    for (int i = 0; i < ForwardIterations; ++i)
    {
        DoIteration();
        CountIteration();
        if (IsFinished)
            break;
    }
    EnableControls(IsFinished ? Finished : AfterForward);
    UpdateIterationLabel();
    RepaintField();
}

void MainWindow::Slot_PushButton_AntAIStep01()
{
    CycleRuleStep(0);
}

void MainWindow::Slot_PushButton_AntAIStep02()
{
    CycleRuleStep(1);
}

void MainWindow::Slot_PushButton_AntAIStep03()
{
    CycleRuleStep(2);
}

void MainWindow::Slot_PushButton_AntAIStep04()
{
    CycleRuleStep(3);
}

void MainWindow::Slot_PushButton_AntAIStep05()
{
    CycleRuleStep(4);
}

void MainWindow::Slot_PushButton_AntAIStep06()
{
    CycleRuleStep(5);
}

void MainWindow::Slot_PushButton_AntAIStep07()
{
    CycleRuleStep(6);
}

void MainWindow::Slot_PushButton_AntAIStep08()
{
    CycleRuleStep(7);
}

void MainWindow::Slot_PushButton_AntAIStep09()
{
    CycleRuleStep(8);
}

void MainWindow::Slot_PushButton_AntAIStep10()
{
    CycleRuleStep(9);
}

void MainWindow::Slot_PushButton_AntAIStep11()
{
    CycleRuleStep(10);
}

void MainWindow::Slot_PushButton_AntAIStep12()
{
    CycleRuleStep(11);
}

void MainWindow::Slot_SpinBox_FPS(int value)
{
    // The spin box never gives less than 1, but a direct call could; 0 would divide by zero.
    FPS = std::max(1, value);
    Timer->setInterval(1000 / FPS);
}

void MainWindow::Slot_SpinBox_IPF(int value)
{
    IPF = value;
}

void MainWindow::Slot_Timer()
{
    for (int i = 0;; ++i)
    {
        if (IsFinished)
        {
            IsRunning = false;
            Timer->stop();
            EnableControls(Finished);
            break;
        }
        if (i >= IPF)
            break;
        DoIteration();
        CountIteration();
    }
    UpdateIterationLabel();
    RepaintField();
}
