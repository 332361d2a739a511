#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRect>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QVBoxLayout>

#include "MainWindow.h"
#include "Ui_MainWindow.h"

namespace
{
QString Two(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QChar('0'));
}
} // namespace

class TestMainWindowLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void holderFillsEveryMember();
    void objects_data();
    void objects();
    void window();
    void spinBoxes_data();
    void spinBoxes();
    void menus();
    void tabOrderFromTheScrollArea();
    void scrollBarsFollowTheWindowSize_data();
    void scrollBarsFollowTheWindowSize();

private:
    // Read-only checks share one window: building one decodes the large button icons.
    MainWindow* Shared = nullptr;
};

void TestMainWindowLayout::initTestCase()
{
    Shared = new MainWindow(nullptr);
}

void TestMainWindowLayout::cleanupTestCase()
{
    delete Shared;
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestMainWindowLayout::cleanup()
{
    // Only the shared window and its menus (top-level popups) may be left.
    for (QWidget* widget : QApplication::topLevelWidgets())
    {
        QObject* owner = widget;
        while (owner && owner != Shared)
            owner = owner->parent();
        QVERIFY(owner == Shared);
    }
}

void TestMainWindowLayout::holderFillsEveryMember()
{
    QMainWindow host;
    Ui_MainWindow ui;
    ui.setupUi(&host);

    // The holder is nothing but its 55 pointers; all of them must be set.
    static_assert(sizeof(Ui_MainWindow) == 55 * sizeof(void*), "55 members");
    void* const* members = reinterpret_cast<void* const*>(&ui);
    for (int i = 0; i < 55; ++i)
        QVERIFY2(members[i] != nullptr, qPrintable(QString::number(i + 1)));

    QCOMPARE(host.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(ui.Layout_Vertical_2->count(), 2);
    QCOMPARE(ui.Layout_Vertical_2->itemAt(0)->widget(), ui.Frame_GUI);
    QSpacerItem* spacer = ui.Layout_Vertical_2->itemAt(1)->spacerItem();
    QCOMPARE(spacer, ui.Spacer_Vertical);
    QCOMPARE(spacer->sizeHint(), QSize(20, 1));
    QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(ui.ScrollArea_Main->widget(), ui.Widget_ScrollAreaContent);
    QVERIFY(ui.ScrollArea_Main->widgetResizable());
    QCOMPARE(ui.ScrollArea_Main->frameShape(), QFrame::NoFrame);
    QCOMPARE(ui.Frame_GUI->frameShape(), QFrame::NoFrame);
    QVERIFY(ui.Frame_GUI->layout() == nullptr);
    QCOMPARE(host.centralWidget(), ui.Widget_Main);
    QCOMPARE(host.menuBar(), ui.MenuBar);
    for (QVBoxLayout* layout : {ui.Layout_Vertical_1, ui.Layout_Vertical_2})
    {
        QCOMPARE(layout->spacing(), 0);
        QCOMPARE(layout->contentsMargins(), QMargins(0, 0, 0, 0));
    }
    QCOMPARE(ui.Layout_Vertical_1->indexOf(ui.ScrollArea_Main), 0);

    // A window that already has a name keeps it.
    Ui_MainWindow again;
    QMainWindow named;
    named.setObjectName("Kept");
    again.setupUi(&named);
    QCOMPARE(named.objectName(), QStringLiteral("Kept"));
}

void TestMainWindowLayout::objects_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry"); // null: placed by a layout or not a widget

    const auto row = [](const QString& name, const char* className, const QString& parent,
                        QRect geometry = QRect())
    { QTest::newRow(qPrintable(name)) << name << className << parent << geometry; };
    row("Action_File_Exit", "QAction", "MainWindow");
    row("Action_AntAI_ResetAI", "QAction", "MainWindow");
    row("Action_Help_About", "QAction", "MainWindow");
    row("Action_AntAI_LoadAIPreset", "QAction", "MainWindow");
    row("Widget_Main", "QWidget", "MainWindow");
    row("Layout_Vertical_1", "QVBoxLayout", "Widget_Main");
    row("ScrollArea_Main", "QScrollArea", "Widget_Main");
    row("Widget_ScrollAreaContent", "QWidget", "qt_scrollarea_viewport");
    row("Layout_Vertical_2", "QVBoxLayout", "Widget_ScrollAreaContent");
    row("Frame_GUI", "QFrame", "Widget_ScrollAreaContent");
    row("WidgetPaintArea_GraphicScene", "WidgetPaintArea", "Frame_GUI", {10, 10, 760, 760});
    row("GroupBox_Simulation", "QGroupBox", "Frame_GUI", {780, 10, 190, 140});
    row("PushButton_Play", "QPushButton", "GroupBox_Simulation", {10, 20, 50, 50});
    row("PushButton_Pause", "QPushButton", "GroupBox_Simulation", {70, 20, 50, 50});
    row("PushButton_Stop", "QPushButton", "GroupBox_Simulation", {130, 20, 50, 50});
    row("PushButton_Next", "QPushButton", "GroupBox_Simulation", {10, 80, 50, 50});
    row("PushButton_Forward", "QPushButton", "GroupBox_Simulation", {70, 80, 50, 50});
    row("GroupBox_AntAI", "QGroupBox", "Frame_GUI", {780, 160, 140, 205});
    for (int k = 1; k <= 12; ++k)
    {
        const int x = k <= 6 ? 10 : 80;
        const int y = 20 + 30 * ((k - 1) % 6);
        row("Label_AntAIStep" + Two(k), "QLabel", "GroupBox_AntAI", {x, y, 20, 25});
        row("PushButton_AntAIStep" + Two(k), "QPushButton", "GroupBox_AntAI", {x + 20, y, 30, 25});
    }
    row("GroupBox_Options", "QGroupBox", "Frame_GUI", {780, 375, 190, 100});
    row("Label_FPS", "QLabel", "GroupBox_Options", {10, 20, 110, 30});
    row("Label_IPF", "QLabel", "GroupBox_Options", {10, 60, 110, 30});
    row("SpinBox_FPS", "QSpinBox", "GroupBox_Options", {120, 23, 60, 24});
    row("SpinBox_IPF", "QSpinBox", "GroupBox_Options", {120, 63, 60, 24});
    row("GroupBox_Info", "QGroupBox", "Frame_GUI", {780, 680, 190, 90});
    row("Label_FieldSize", "QLabel", "GroupBox_Info", {10, 20, 170, 30});
    row("Label_IterationNumber", "QLabel", "GroupBox_Info", {10, 50, 170, 30});
    row("MenuBar", "QMenuBar", "MainWindow");
    row("Menu_File", "QMenu", "MenuBar");
    row("Menu_AntAI", "QMenu", "MenuBar");
    row("Menu_Help", "QMenu", "MenuBar");
}

void TestMainWindowLayout::objects()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    const QList<QObject*> found = Shared->findChildren<QObject*>(name);
    QCOMPARE(found.size(), 1);
    QObject* object = found.first();
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);
    QCOMPARE(object->parent()->objectName(), parent);

    if (geometry.isNull())
        return;
    QWidget* widget = qobject_cast<QWidget*>(object);
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(widget->minimumSize(), geometry.size());
    QCOMPARE(widget->maximumSize(), geometry.size());
}

void TestMainWindowLayout::window()
{
    MainWindow window(nullptr);
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window.size(), QSize(985, 805));
    QCOMPARE(window.minimumSize(), QSize(500, 400));
    QCOMPARE(window.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));

    auto* frame = window.findChild<QFrame*>("Frame_GUI");
    QCOMPARE(frame->minimumSize(), QSize(980, 780));
    QCOMPARE(frame->maximumSize(), QSize(980, 780));
    QCOMPARE(window.findChild<QMenuBar*>("MenuBar")->geometry(), QRect(0, 0, 985, 21));

    // The step labels are disabled by the layout, Pause by the start state; nothing else.
    for (QWidget* widget : window.findChildren<QWidget*>())
    {
        if (widget->objectName().startsWith("Label_AntAIStep"))
        {
            QVERIFY(!widget->isEnabled());
            QCOMPARE(qobject_cast<QLabel*>(widget)->text(), widget->objectName().right(2));
        }
        else
        {
            QVERIFY2(widget->isEnabled() || widget->objectName() == "PushButton_Pause",
                     qPrintable(widget->objectName()));
        }
    }
}

void TestMainWindowLayout::spinBoxes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("start");
    QTest::newRow("FPS") << "SpinBox_FPS" << 30 << 30;
    QTest::newRow("IPF") << "SpinBox_IPF" << 50 << 10;
}

void TestMainWindowLayout::spinBoxes()
{
    QFETCH(QString, name);
    QFETCH(int, maximum);
    QFETCH(int, start);
    MainWindow window(nullptr);
    auto* box = window.findChild<QSpinBox*>(name);

    QCOMPARE(box->value(), start);
    QCOMPARE(box->alignment(), Qt::AlignRight | Qt::AlignVCenter);
    box->setValue(0);
    QCOMPARE(box->value(), 1);
    box->setValue(maximum + 1);
    QCOMPARE(box->value(), maximum);
}

void TestMainWindowLayout::menus()
{
    MainWindow window(nullptr);
    const auto titles = [](const QList<QAction*>& actions)
    {
        // Anything beyond a plain text entry shows up as a marked title.
        QStringList list;
        for (QAction* action : actions)
        {
            const bool plain = !action->isSeparator() && action->shortcut().isEmpty() &&
                               !action->isCheckable() && action->icon().isNull();
            list << (plain ? action->text() : "not plain: " + action->text());
        }
        return list;
    };
    QCOMPARE(titles(window.findChild<QMenuBar*>("MenuBar")->actions()),
             QStringList({"File", "Ant AI", "Help"}));
    QCOMPARE(titles(window.findChild<QMenu*>("Menu_File")->actions()), QStringList({"Exit"}));
    QCOMPARE(titles(window.findChild<QMenu*>("Menu_AntAI")->actions()),
             QStringList({"Reset AI", "Load AI preset"}));
    QCOMPARE(titles(window.findChild<QMenu*>("Menu_Help")->actions()), QStringList({"About"}));
}

void TestMainWindowLayout::tabOrderFromTheScrollArea()
{
    MainWindow window(nullptr);
    QStringList expected = {"ScrollArea_Main", "PushButton_Play", "PushButton_Pause",
                            "PushButton_Stop", "PushButton_Next", "PushButton_Forward"};
    for (int k = 1; k <= 12; ++k)
        expected << "PushButton_AntAIStep" + Two(k);
    expected << "SpinBox_FPS"
             << "SpinBox_IPF";

    // Walk the focus chain, counting only what Tab can stop at; a spin box is reached
    // through its line edit.
    QStringList visited;
    QWidget* widget = window.findChild<QWidget*>("ScrollArea_Main");
    while (visited.size() < expected.size())
    {
        QWidget* stop = widget;
        if (qobject_cast<QAbstractSpinBox*>(widget->parentWidget()))
            stop = widget->parentWidget();
        if ((stop->focusPolicy() & Qt::TabFocus) &&
            (visited.isEmpty() || visited.last() != stop->objectName()))
            visited << stop->objectName();
        widget = widget->nextInFocusChain();
        if (widget == window.findChild<QWidget*>("ScrollArea_Main"))
            break;
    }
    QCOMPARE(visited, expected);
}

void TestMainWindowLayout::scrollBarsFollowTheWindowSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<bool>("vertical");
    QTest::newRow("minimum 500 x 400") << QSize(500, 400) << true << true;
    // The menu bar's height depends on the style, so the exact fit is computed at run time.
    QTest::newRow("exact fit") << QSize() << false << false;
    QTest::newRow("large 1400 x 1000") << QSize(1400, 1000) << false << false;
}

void TestMainWindowLayout::scrollBarsFollowTheWindowSize()
{
    QFETCH(QSize, size);
    QFETCH(bool, horizontal);
    QFETCH(bool, vertical);
    MainWindow window(nullptr);
    if (!size.isValid())
        size = QSize(980, 780 + window.menuBar()->sizeHint().height());
    window.resize(size);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::processEvents();

    auto* area = window.findChild<QScrollArea*>("ScrollArea_Main");
    QCOMPARE(area->horizontalScrollBar()->isVisible(), horizontal);
    QCOMPARE(area->verticalScrollBar()->isVisible(), vertical);
    // Scrolling reaches the whole frame.
    if (horizontal)
        QCOMPARE(area->horizontalScrollBar()->maximum(), 980 - area->viewport()->width());
    if (vertical)
        QCOMPARE(area->verticalScrollBar()->maximum(), 780 - area->viewport()->height());

    // The frame stays in the top-left corner at its fixed size.
    QCOMPARE(window.findChild<QFrame*>("Frame_GUI")->geometry(), QRect(0, 0, 980, 780));
    QCOMPARE(window.findChild<QWidget*>("WidgetPaintArea_GraphicScene")->geometry(),
             QRect(10, 10, 760, 760));
}

QTEST_MAIN(TestMainWindowLayout)
#include "tst_mainwindowlayout.moc"
