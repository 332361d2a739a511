#pragma once

#include <QList>
#include <QMainWindow>

class Ant;
class AntField;
class QPushButton;
class QTimer;
class QWidget;
class Ui_MainWindow;

// The program's window: owns the field and the ant, runs the automaton from the simulation
// buttons and the timer, and keeps the controls in step with the state of the run.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent);
    ~MainWindow() override;

private slots:
    void Slot_Action_File_Exit();
    void Slot_Action_AntAI_ResetAI();
    void Slot_Action_AntAI_LoadAIPreset();
    void Slot_Action_Help_About();
    void Slot_PushButton_Play();
    void Slot_PushButton_Pause();
    void Slot_PushButton_Stop();
    void Slot_PushButton_Next();
    void Slot_PushButton_Forward();
    void Slot_PushButton_AntAIStep01();
    void Slot_PushButton_AntAIStep02();
    void Slot_PushButton_AntAIStep03();
    void Slot_PushButton_AntAIStep04();
    void Slot_PushButton_AntAIStep05();
    void Slot_PushButton_AntAIStep06();
    void Slot_PushButton_AntAIStep07();
    void Slot_PushButton_AntAIStep08();
    void Slot_PushButton_AntAIStep09();
    void Slot_PushButton_AntAIStep10();
    void Slot_PushButton_AntAIStep11();
    void Slot_PushButton_AntAIStep12();
    void Slot_SpinBox_FPS(int value);
    void Slot_SpinBox_IPF(int value);
    void Slot_Timer();

private:
    // The situation after which EnableControls sets the buttons and actions.
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

    static constexpr int ForwardIterations = 50000;

    void Init();
    void EnableControls(ControlsState state);
    void UpdateIterationLabel();
    void UpdateAntAIButtons();
    void RepaintField();
    void DoIteration();
    void CountIteration();
    void BeginRunIfFresh();
    void CycleRuleStep(int index);
    // Ends any run and empties the field; the rule stays as it is.
    void StartOver(ControlsState state);

    // Lets the tests put the counter near its limit without running two billion iterations.
    friend class MainWindowProbe;

    Ui_MainWindow* Ui;
    QTimer* Timer;
    AntField* Field;
    Ant* TheAnt;
    QList<QPushButton*> AntAIStepButtons;
    bool IsRunning;
    bool IsFinished;
    int FPS;
    int IPF;
    int IterationNumber;
};
