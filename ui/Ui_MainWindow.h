#pragma once

#include <QAction>
#include <QChar>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QPushButton>
#include <QRect>
#include <QScrollArea>
#include <QSize>
#include <QSizePolicy>
#include <QSpacerItem>
#include <QSpinBox>
#include <QString>
#include <QVBoxLayout>
#include <QWidget>

#include <cstddef>

#include "WidgetPaintArea.h"

// Widget tree of the main window, written in the shape a form compiler would produce: every
// pointer is non-owning, the widgets belong to the window's child tree.
class Ui_MainWindow
{
public:
    QAction* Action_File_Exit = nullptr;
    QAction* Action_AntAI_ResetAI = nullptr;
    QAction* Action_Help_About = nullptr;
    QAction* Action_AntAI_LoadAIPreset = nullptr;
    QWidget* Widget_Main = nullptr;
    QVBoxLayout* Layout_Vertical_1 = nullptr;
    QScrollArea* ScrollArea_Main = nullptr;
    QWidget* Widget_ScrollAreaContent = nullptr;
    QVBoxLayout* Layout_Vertical_2 = nullptr;
    QFrame* Frame_GUI = nullptr;
    WidgetPaintArea* WidgetPaintArea_GraphicScene = nullptr;
    QGroupBox* GroupBox_Simulation = nullptr;
    QPushButton* PushButton_Play = nullptr;
    QPushButton* PushButton_Pause = nullptr;
    QPushButton* PushButton_Stop = nullptr;
    QPushButton* PushButton_Next = nullptr;
    QPushButton* PushButton_Forward = nullptr;
    QGroupBox* GroupBox_AntAI = nullptr;
    QLabel* Label_AntAIStep01 = nullptr;
    QLabel* Label_AntAIStep02 = nullptr;
    QLabel* Label_AntAIStep03 = nullptr;
    QLabel* Label_AntAIStep04 = nullptr;
    QLabel* Label_AntAIStep05 = nullptr;
    QLabel* Label_AntAIStep06 = nullptr;
    QLabel* Label_AntAIStep07 = nullptr;
    QLabel* Label_AntAIStep08 = nullptr;
    QLabel* Label_AntAIStep09 = nullptr;
    QLabel* Label_AntAIStep10 = nullptr;
    QLabel* Label_AntAIStep11 = nullptr;
    QLabel* Label_AntAIStep12 = nullptr;
    QPushButton* PushButton_AntAIStep01 = nullptr;
    QPushButton* PushButton_AntAIStep02 = nullptr;
    QPushButton* PushButton_AntAIStep03 = nullptr;
    QPushButton* PushButton_AntAIStep04 = nullptr;
    QPushButton* PushButton_AntAIStep05 = nullptr;
    QPushButton* PushButton_AntAIStep06 = nullptr;
    QPushButton* PushButton_AntAIStep07 = nullptr;
    QPushButton* PushButton_AntAIStep08 = nullptr;
    QPushButton* PushButton_AntAIStep09 = nullptr;
    QPushButton* PushButton_AntAIStep10 = nullptr;
    QPushButton* PushButton_AntAIStep11 = nullptr;
    QPushButton* PushButton_AntAIStep12 = nullptr;
    QGroupBox* GroupBox_Options = nullptr;
    QLabel* Label_FPS = nullptr;
    QLabel* Label_IPF = nullptr;
    QSpinBox* SpinBox_FPS = nullptr;
    QSpinBox* SpinBox_IPF = nullptr;
    QGroupBox* GroupBox_Info = nullptr;
    QLabel* Label_FieldSize = nullptr;
    QLabel* Label_IterationNumber = nullptr;
    QSpacerItem* Spacer_Vertical = nullptr;
    QMenuBar* MenuBar = nullptr;
    QMenu* Menu_File = nullptr;
    QMenu* Menu_AntAI = nullptr;
    QMenu* Menu_Help = nullptr;

    void setupUi(QMainWindow* MainWindow)
    {
        if (MainWindow->objectName().isEmpty())
            MainWindow->setObjectName(QString::fromUtf8("MainWindow"));
        MainWindow->resize(985, 805);
        MainWindow->setMinimumSize(QSize(500, 400));

        Action_File_Exit = new QAction(MainWindow);
        Action_File_Exit->setObjectName(QString::fromUtf8("Action_File_Exit"));
        Action_AntAI_ResetAI = new QAction(MainWindow);
        Action_AntAI_ResetAI->setObjectName(QString::fromUtf8("Action_AntAI_ResetAI"));
        Action_Help_About = new QAction(MainWindow);
        Action_Help_About->setObjectName(QString::fromUtf8("Action_Help_About"));
        Action_AntAI_LoadAIPreset = new QAction(MainWindow);
        Action_AntAI_LoadAIPreset->setObjectName(QString::fromUtf8("Action_AntAI_LoadAIPreset"));

        Widget_Main = new QWidget(MainWindow);
        Widget_Main->setObjectName(QString::fromUtf8("Widget_Main"));
        Layout_Vertical_1 = new QVBoxLayout(Widget_Main);
        Layout_Vertical_1->setSpacing(0);
        Layout_Vertical_1->setObjectName(QString::fromUtf8("Layout_Vertical_1"));
        Layout_Vertical_1->setContentsMargins(0, 0, 0, 0);
        ScrollArea_Main = new QScrollArea(Widget_Main);
        ScrollArea_Main->setObjectName(QString::fromUtf8("ScrollArea_Main"));
        ScrollArea_Main->setFrameShape(QFrame::NoFrame);
        ScrollArea_Main->setWidgetResizable(true);
        Widget_ScrollAreaContent = new QWidget();
        Widget_ScrollAreaContent->setObjectName(QString::fromUtf8("Widget_ScrollAreaContent"));
        Widget_ScrollAreaContent->setGeometry(QRect(0, 0, 985, 784));
        Layout_Vertical_2 = new QVBoxLayout(Widget_ScrollAreaContent);
        Layout_Vertical_2->setSpacing(0);
        Layout_Vertical_2->setObjectName(QString::fromUtf8("Layout_Vertical_2"));
        Layout_Vertical_2->setContentsMargins(0, 0, 0, 0);
        Frame_GUI = new QFrame(Widget_ScrollAreaContent);
        Frame_GUI->setObjectName(QString::fromUtf8("Frame_GUI"));
        Frame_GUI->setMinimumSize(QSize(980, 780));
        Frame_GUI->setMaximumSize(QSize(980, 780));
        Frame_GUI->setFrameShape(QFrame::NoFrame);

        WidgetPaintArea_GraphicScene = new WidgetPaintArea(Frame_GUI);
        WidgetPaintArea_GraphicScene->setObjectName(
            QString::fromUtf8("WidgetPaintArea_GraphicScene"));
        PlaceFixed(WidgetPaintArea_GraphicScene, 10, 10, 760, 760);

        GroupBox_Simulation = new QGroupBox(Frame_GUI);
        GroupBox_Simulation->setObjectName(QString::fromUtf8("GroupBox_Simulation"));
        PlaceFixed(GroupBox_Simulation, 780, 10, 190, 140);
        PushButton_Play = SimulationButton("PushButton_Play", 10, 20);
        PushButton_Pause = SimulationButton("PushButton_Pause", 70, 20);
        PushButton_Stop = SimulationButton("PushButton_Stop", 130, 20);
        PushButton_Next = SimulationButton("PushButton_Next", 10, 80);
        PushButton_Forward = SimulationButton("PushButton_Forward", 70, 80);

        GroupBox_AntAI = new QGroupBox(Frame_GUI);
        GroupBox_AntAI->setObjectName(QString::fromUtf8("GroupBox_AntAI"));
        PlaceFixed(GroupBox_AntAI, 780, 160, 140, 205);
        QLabel** const stepLabels[] = {&Label_AntAIStep01, &Label_AntAIStep02, &Label_AntAIStep03,
                                       &Label_AntAIStep04, &Label_AntAIStep05, &Label_AntAIStep06,
                                       &Label_AntAIStep07, &Label_AntAIStep08, &Label_AntAIStep09,
                                       &Label_AntAIStep10, &Label_AntAIStep11, &Label_AntAIStep12};
        for (int k = 1; k <= 12; ++k)
        {
            QLabel* label = new QLabel(GroupBox_AntAI);
            label->setObjectName(QStringLiteral("Label_AntAIStep%1").arg(k, 2, 10, QChar('0')));
            PlaceFixed(label, StepColumn(k), StepRow(k), 20, 25);
            label->setEnabled(false);
            *stepLabels[k - 1] = label;
        }
        QPushButton** const stepButtons[] = {
            &PushButton_AntAIStep01, &PushButton_AntAIStep02, &PushButton_AntAIStep03,
            &PushButton_AntAIStep04, &PushButton_AntAIStep05, &PushButton_AntAIStep06,
            &PushButton_AntAIStep07, &PushButton_AntAIStep08, &PushButton_AntAIStep09,
            &PushButton_AntAIStep10, &PushButton_AntAIStep11, &PushButton_AntAIStep12};
        for (int k = 1; k <= 12; ++k)
        {
            QPushButton* button = new QPushButton(GroupBox_AntAI);
            button->setObjectName(
                QStringLiteral("PushButton_AntAIStep%1").arg(k, 2, 10, QChar('0')));
            PlaceFixed(button, StepColumn(k) + 20, StepRow(k), 30, 25);
            *stepButtons[k - 1] = button;
        }

        GroupBox_Options = new QGroupBox(Frame_GUI);
        GroupBox_Options->setObjectName(QString::fromUtf8("GroupBox_Options"));
        PlaceFixed(GroupBox_Options, 780, 375, 190, 100);
        Label_FPS = new QLabel(GroupBox_Options);
        Label_FPS->setObjectName(QString::fromUtf8("Label_FPS"));
        PlaceFixed(Label_FPS, 10, 20, 110, 30);
        Label_IPF = new QLabel(GroupBox_Options);
        Label_IPF->setObjectName(QString::fromUtf8("Label_IPF"));
        PlaceFixed(Label_IPF, 10, 60, 110, 30);
        SpinBox_FPS = new QSpinBox(GroupBox_Options);
        SpinBox_FPS->setObjectName(QString::fromUtf8("SpinBox_FPS"));
        PlaceFixed(SpinBox_FPS, 120, 23, 60, 24);
        SpinBox_FPS->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        SpinBox_FPS->setMinimum(1);
        SpinBox_FPS->setMaximum(30);
        SpinBox_IPF = new QSpinBox(GroupBox_Options);
        SpinBox_IPF->setObjectName(QString::fromUtf8("SpinBox_IPF"));
        PlaceFixed(SpinBox_IPF, 120, 63, 60, 24);
        SpinBox_IPF->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        SpinBox_IPF->setMinimum(1);
        SpinBox_IPF->setMaximum(50);

        GroupBox_Info = new QGroupBox(Frame_GUI);
        GroupBox_Info->setObjectName(QString::fromUtf8("GroupBox_Info"));
        PlaceFixed(GroupBox_Info, 780, 680, 190, 90);
        Label_FieldSize = new QLabel(GroupBox_Info);
        Label_FieldSize->setObjectName(QString::fromUtf8("Label_FieldSize"));
        PlaceFixed(Label_FieldSize, 10, 20, 170, 30);
        Label_IterationNumber = new QLabel(GroupBox_Info);
        Label_IterationNumber->setObjectName(QString::fromUtf8("Label_IterationNumber"));
        PlaceFixed(Label_IterationNumber, 10, 50, 170, 30);

        Layout_Vertical_2->addWidget(Frame_GUI);
        Spacer_Vertical = new QSpacerItem(20, 1, QSizePolicy::Minimum, QSizePolicy::Expanding);
        Layout_Vertical_2->addItem(Spacer_Vertical);
        ScrollArea_Main->setWidget(Widget_ScrollAreaContent);
        Layout_Vertical_1->addWidget(ScrollArea_Main);
        MainWindow->setCentralWidget(Widget_Main);

        MenuBar = new QMenuBar(MainWindow);
        MenuBar->setObjectName(QString::fromUtf8("MenuBar"));
        MenuBar->setGeometry(QRect(0, 0, 985, 21));
        Menu_File = new QMenu(MenuBar);
        Menu_File->setObjectName(QString::fromUtf8("Menu_File"));
        Menu_AntAI = new QMenu(MenuBar);
        Menu_AntAI->setObjectName(QString::fromUtf8("Menu_AntAI"));
        Menu_Help = new QMenu(MenuBar);
        Menu_Help->setObjectName(QString::fromUtf8("Menu_Help"));
        MainWindow->setMenuBar(MenuBar);

        QWidget* const tabChain[] = {ScrollArea_Main,
                                     PushButton_Play,
                                     PushButton_Pause,
                                     PushButton_Stop,
                                     PushButton_Next,
                                     PushButton_Forward,
                                     PushButton_AntAIStep01,
                                     PushButton_AntAIStep02,
                                     PushButton_AntAIStep03,
                                     PushButton_AntAIStep04,
                                     PushButton_AntAIStep05,
                                     PushButton_AntAIStep06,
                                     PushButton_AntAIStep07,
                                     PushButton_AntAIStep08,
                                     PushButton_AntAIStep09,
                                     PushButton_AntAIStep10,
                                     PushButton_AntAIStep11,
                                     PushButton_AntAIStep12,
                                     SpinBox_FPS,
                                     SpinBox_IPF};
        for (std::size_t i = 1; i < sizeof(tabChain) / sizeof(tabChain[0]); ++i)
            QWidget::setTabOrder(tabChain[i - 1], tabChain[i]);

        MenuBar->addAction(Menu_File->menuAction());
        MenuBar->addAction(Menu_AntAI->menuAction());
        MenuBar->addAction(Menu_Help->menuAction());
        Menu_File->addAction(Action_File_Exit);
        Menu_AntAI->addAction(Action_AntAI_ResetAI);
        Menu_AntAI->addAction(Action_AntAI_LoadAIPreset);
        Menu_Help->addAction(Action_Help_About);

        retranslateUi(MainWindow);

        QMetaObject::connectSlotsByName(MainWindow);
    }

    void retranslateUi(QMainWindow* MainWindow)
    {
        MainWindow->setWindowTitle(QCoreApplication::translate("MainWindow", "Formicula", nullptr));
        Action_File_Exit->setText(QCoreApplication::translate("MainWindow", "Exit", nullptr));
        Action_AntAI_ResetAI->setText(
            QCoreApplication::translate("MainWindow", "Reset AI", nullptr));
        Action_Help_About->setText(QCoreApplication::translate("MainWindow", "About", nullptr));
        Action_AntAI_LoadAIPreset->setText(
            QCoreApplication::translate("MainWindow", "Load AI preset", nullptr));
        GroupBox_Simulation->setTitle(
            QCoreApplication::translate("MainWindow", "Simulation", nullptr));
        PushButton_Play->setToolTip(QCoreApplication::translate("MainWindow", "Play", nullptr));
        PushButton_Play->setText(QString());
        PushButton_Pause->setToolTip(QCoreApplication::translate("MainWindow", "Pause", nullptr));
        PushButton_Pause->setText(QString());
        PushButton_Stop->setToolTip(QCoreApplication::translate("MainWindow", "Stop", nullptr));
        PushButton_Stop->setText(QString());
        PushButton_Next->setToolTip(
            QCoreApplication::translate("MainWindow", "Next (1 iter.)", nullptr));
        PushButton_Next->setText(QString());
        PushButton_Forward->setToolTip(
            QCoreApplication::translate("MainWindow", "Forward (50 000 iter.)", nullptr));
        PushButton_Forward->setText(QString());
        GroupBox_AntAI->setTitle(QCoreApplication::translate("MainWindow", "Ant AI", nullptr));
        Label_AntAIStep01->setText(QCoreApplication::translate("MainWindow", "01", nullptr));
        Label_AntAIStep02->setText(QCoreApplication::translate("MainWindow", "02", nullptr));
        Label_AntAIStep03->setText(QCoreApplication::translate("MainWindow", "03", nullptr));
        Label_AntAIStep04->setText(QCoreApplication::translate("MainWindow", "04", nullptr));
        Label_AntAIStep05->setText(QCoreApplication::translate("MainWindow", "05", nullptr));
        Label_AntAIStep06->setText(QCoreApplication::translate("MainWindow", "06", nullptr));
        Label_AntAIStep07->setText(QCoreApplication::translate("MainWindow", "07", nullptr));
        Label_AntAIStep08->setText(QCoreApplication::translate("MainWindow", "08", nullptr));
        Label_AntAIStep09->setText(QCoreApplication::translate("MainWindow", "09", nullptr));
        Label_AntAIStep10->setText(QCoreApplication::translate("MainWindow", "10", nullptr));
        Label_AntAIStep11->setText(QCoreApplication::translate("MainWindow", "11", nullptr));
        Label_AntAIStep12->setText(QCoreApplication::translate("MainWindow", "12", nullptr));
        PushButton_AntAIStep01->setText(QString());
        PushButton_AntAIStep02->setText(QString());
        PushButton_AntAIStep03->setText(QString());
        PushButton_AntAIStep04->setText(QString());
        PushButton_AntAIStep05->setText(QString());
        PushButton_AntAIStep06->setText(QString());
        PushButton_AntAIStep07->setText(QString());
        PushButton_AntAIStep08->setText(QString());
        PushButton_AntAIStep09->setText(QString());
        PushButton_AntAIStep10->setText(QString());
        PushButton_AntAIStep11->setText(QString());
        PushButton_AntAIStep12->setText(QString());
        GroupBox_Options->setTitle(QCoreApplication::translate("MainWindow", "Options", nullptr));
        Label_FPS->setText(QCoreApplication::translate("MainWindow", "Frames / second:", nullptr));
        Label_IPF->setText(
            QCoreApplication::translate("MainWindow", "Iterations / frame:", nullptr));
        GroupBox_Info->setTitle(QCoreApplication::translate("MainWindow", "Info", nullptr));
        Label_FieldSize->setText(
            QCoreApplication::translate("MainWindow", "Field size: *", nullptr));
        Label_IterationNumber->setText(
            QCoreApplication::translate("MainWindow", "Iteration: *", nullptr));
        Menu_File->setTitle(QCoreApplication::translate("MainWindow", "File", nullptr));
        Menu_AntAI->setTitle(QCoreApplication::translate("MainWindow", "Ant AI", nullptr));
        Menu_Help->setTitle(QCoreApplication::translate("MainWindow", "Help", nullptr));
    }

private:
    // Widgets in the fixed frames sit at absolute positions with min == max size.
    static void PlaceFixed(QWidget* widget, int x, int y, int width, int height)
    {
        widget->setGeometry(QRect(x, y, width, height));
        widget->setMinimumSize(QSize(width, height));
        widget->setMaximumSize(QSize(width, height));
    }

    QPushButton* SimulationButton(const char* name, int x, int y)
    {
        QPushButton* button = new QPushButton(GroupBox_Simulation);
        button->setObjectName(QString::fromUtf8(name));
        PlaceFixed(button, x, y, 50, 50);
        return button;
    }

    // Steps 1-6 fill the left column, 7-12 the right one.
    static int StepColumn(int step) { return step <= 6 ? 10 : 80; }
    static int StepRow(int step) { return 20 + 30 * ((step - 1) % 6); }
};
