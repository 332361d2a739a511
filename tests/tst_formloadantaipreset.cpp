#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QImage>
#include <QMetaMethod>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPushButton>
#include <QWindow>
#include <QtTest>

#include <functional>

#include "FormLoadAntAIPreset.h"
#include "PresetCatalogue.h"
#include "Support.h"

namespace
{
// exec() result the tests use when an action failed to close the dialog.
constexpr int StillOpen = 42;

QImage ResourcePicture(int number)
{
    return QImage(QString::fromLatin1(PresetCatalogue::PicturePath(number)));
}

template <typename T> T* Child(const QDialog& dialog, const char* name)
{
    return dialog.findChild<T*>(QString::fromLatin1(name));
}

// The scene must hold exactly one item: the picture of `number`, unscaled at the origin.
void VerifyShowsPicture(const FormLoadAntAIPreset& dialog, int number)
{
    auto* view = Child<QGraphicsView>(dialog, "GraphicsView_AntAIPreset");
    QVERIFY(view != nullptr);
    QVERIFY(view->scene() != nullptr);
    const QList<QGraphicsItem*> items = view->scene()->items();
    QCOMPARE(items.size(), 1);
    auto* item = qgraphicsitem_cast<QGraphicsPixmapItem*>(items.first());
    QVERIFY(item != nullptr);
    QCOMPARE(item->pos(), QPointF(0, 0));
    QCOMPARE(item->offset(), QPointF(0, 0));
    QVERIFY(item->transform().isIdentity());
    const QImage shown = item->pixmap().toImage();
    const QImage expected = ResourcePicture(number);
    QVERIFY(!expected.isNull());
    QCOMPARE(shown, expected.convertToFormat(shown.format()));
}

// Runs the dialog the way the main window does and performs `act` once it is up. Returns exec()'s
// result, or StillOpen if the action left the dialog up.
int RunModal(FormLoadAntAIPreset& dialog, const std::function<void(FormLoadAntAIPreset&)>& act)
{
    dialog.setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint);
    int result = StillOpen;
    WithModal([&] { result = dialog.exec(); },
              [&](QWidget*)
              {
                  act(dialog);
                  if (dialog.isVisible())
                      dialog.done(StillOpen);
              });
    return result;
}
} // namespace

class TestFormLoadAntAIPreset : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void opensOnFirstPreset();
    void viewShowsPicturePixelForPixel();
    void closing_data();
    void closing();
    void sceneFollowsSelection_data();
    void sceneFollowsSelection();
    void cannotBeResized_data();
    void cannotBeResized();
    void widgets_data();
    void widgets();
    void texts();
    void tabOrder();
    void slotsInIndexOrder();
};

void TestFormLoadAntAIPreset::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestFormLoadAntAIPreset::opensOnFirstPreset()
{
    FormLoadAntAIPreset dialog(nullptr);
    auto* combo = Child<QComboBox>(dialog, "ComboBox_AntAIPreset");
    QVERIFY(combo != nullptr);
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(combo->currentText(), QString::fromLatin1(PresetCatalogue::Label(1)));
    QCOMPARE(dialog.GetPresetNumber(), 1);
    QVERIFY(!dialog.IsPresetChosen());
    VerifyShowsPicture(dialog, 1);
}

void TestFormLoadAntAIPreset::viewShowsPicturePixelForPixel()
{
    // The view has no frame and exactly the pictures' size: nothing cropped, no scroll bars.
    FormLoadAntAIPreset dialog(nullptr);
    Child<QComboBox>(dialog, "ComboBox_AntAIPreset")->setCurrentIndex(30);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* view = Child<QGraphicsView>(dialog, "GraphicsView_AntAIPreset");
    QCOMPARE(view->viewport()->geometry(), QRect(0, 0, 510, 510));
    const QImage shown = view->viewport()->grab().toImage();
    QCOMPARE(shown.size(), QSize(510, 510));
    QCOMPARE(shown, ResourcePicture(31).convertToFormat(shown.format()));
}

void TestFormLoadAntAIPreset::closing_data()
{
    QTest::addColumn<QList<int>>("selections");
    QTest::addColumn<bool>("holdOk"); // Space held down on OK before the action
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<int>("number");

    QTest::newRow("OK untouched") << QList<int>{} << false << "ok" << true << 1;
    QTest::newRow("last entry, OK") << QList<int>{30} << false << "ok" << true << 31;
    QTest::newRow("back to first, OK") << QList<int>{12, 0} << false << "ok" << true << 1;
    QTest::newRow("middle entry, OK") << QList<int>{3, 17} << false << "ok" << true << 18;
    // released() fires when a held button loses the pointer, so this still accepts.
    QTest::newRow("OK pressed, dragged off")
        << QList<int>{9} << false << "ok-drag-off" << true << 10;
    QTest::newRow("Cancel untouched") << QList<int>{} << false << "cancel" << false << 1;
    QTest::newRow("selection, Cancel") << QList<int>{30} << false << "cancel" << false << 31;
    QTest::newRow("selection, Escape") << QList<int>{4} << false << "escape" << false << 5;
    QTest::newRow("selection, close button") << QList<int>{7} << false << "close" << false << 8;
    // A held OK lets go with released() on Escape and on losing the focus; only letting go of
    // the key itself is a choice.
    QTest::newRow("OK held, let go") << QList<int>{30} << true << "let go" << true << 31;
    QTest::newRow("OK held, Escape") << QList<int>{30} << true << "escape" << false << 31;
    QTest::newRow("OK held, close button") << QList<int>{30} << true << "close" << false << 31;
    QTest::newRow("OK held, Cancel") << QList<int>{30} << true << "cancel" << false << 31;
}

void TestFormLoadAntAIPreset::closing()
{
    QFETCH(QList<int>, selections);
    QFETCH(bool, holdOk);
    QFETCH(QString, action);
    QFETCH(bool, chosen);
    QFETCH(int, number);

    FormLoadAntAIPreset dialog(nullptr);
    const int result =
        RunModal(dialog,
                 [&](FormLoadAntAIPreset& d)
                 {
                     auto* combo = Child<QComboBox>(d, "ComboBox_AntAIPreset");
                     for (int index : selections)
                         combo->setCurrentIndex(index);
                     auto* ok = Child<QPushButton>(d, "PushButton_Ok");
                     if (holdOk)
                     {
                         ok->setFocus(Qt::TabFocusReason);
                         QTest::keyPress(ok, Qt::Key_Space);
                     }
                     if (action == QLatin1String("ok"))
                     {
                         QTest::mouseClick(ok, Qt::LeftButton);
                     }
                     else if (action == QLatin1String("ok-drag-off"))
                     {
                         const QPoint outside(-20, ok->height() / 2);
                         QTest::mousePress(ok, Qt::LeftButton, Qt::NoModifier, ok->rect().center());
                         QMouseEvent move(QEvent::MouseMove, outside, ok->mapToGlobal(outside),
                                          Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
                         QApplication::sendEvent(ok, &move);
                         if (d.isVisible())
                             QTest::mouseRelease(ok, Qt::LeftButton, Qt::NoModifier, outside);
                     }
                     else if (action == QLatin1String("let go"))
                     {
                         QTest::keyRelease(ok, Qt::Key_Space);
                     }
                     else if (action == QLatin1String("cancel"))
                     {
                         // The press takes the focus; a dialog gone by then misses the release.
                         auto* cancel = Child<QPushButton>(d, "PushButton_Cancel");
                         QTest::mousePress(cancel, Qt::LeftButton);
                         if (d.isVisible())
                             QTest::mouseRelease(cancel, Qt::LeftButton);
                     }
                     else if (action == QLatin1String("escape"))
                     {
                         // Escape reaches the dialog through whatever has the focus.
                         QWidget* target = QApplication::focusWidget();
                         QTest::keyClick(target != nullptr && d.isAncestorOf(target) ? target : &d,
                                         Qt::Key_Escape);
                     }
                     else if (action == QLatin1String("close"))
                     {
                         // The window system's close request, as the title bar button sends it.
                         d.windowHandle()->close();
                     }
                 });

    QCOMPARE(result, chosen ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.IsPresetChosen(), chosen);
    QCOMPARE(dialog.GetPresetNumber(), number);
}

void TestFormLoadAntAIPreset::sceneFollowsSelection_data()
{
    QTest::addColumn<QList<int>>("selections");
    QTest::addColumn<int>("number");

    QList<int> all;
    for (int i = 0; i < PresetCatalogue::PresetCount; ++i)
        all << i;
    QList<int> allBack;
    for (int i = PresetCatalogue::PresetCount - 1; i >= 0; --i)
        allBack << i;

    QTest::newRow("every entry forward") << all << 31;
    QTest::newRow("every entry backward") << allBack << 1;
    QTest::newRow("back and forth") << QList<int>{5, 6, 5, 6, 5} << 6;
    QTest::newRow("same entry twice") << QList<int>{14, 14} << 15;
    // -1: the combo box lost its current entry; the last preset stays on view.
    QTest::newRow("no current entry") << QList<int>{6, -1} << 7;
}

void TestFormLoadAntAIPreset::sceneFollowsSelection()
{
    QFETCH(QList<int>, selections);
    QFETCH(int, number);

    FormLoadAntAIPreset dialog(nullptr);
    auto* combo = Child<QComboBox>(dialog, "ComboBox_AntAIPreset");
    auto* view = Child<QGraphicsView>(dialog, "GraphicsView_AntAIPreset");
    for (int index : selections)
    {
        combo->setCurrentIndex(index);
        QCOMPARE(view->scene()->items().size(), 1);
    }
    QCOMPARE(dialog.GetPresetNumber(), number);
    VerifyShowsPicture(dialog, number);
}

void TestFormLoadAntAIPreset::cannotBeResized_data()
{
    QTest::addColumn<QRect>("request");

    QTest::newRow("larger") << QRect(0, 0, 800, 900);
    QTest::newRow("smaller") << QRect(0, 0, 200, 100);
    QTest::newRow("wider only") << QRect(0, 0, 531, 610);
    QTest::newRow("moved and resized") << QRect(40, 30, 600, 700);
}

void TestFormLoadAntAIPreset::cannotBeResized()
{
    QFETCH(QRect, request);

    FormLoadAntAIPreset dialog(nullptr);
    dialog.setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // The window system is told the same bounds, which is what stops resizing by the frame.
    QCOMPARE(dialog.windowHandle()->minimumSize(), QSize(530, 610));
    QCOMPARE(dialog.windowHandle()->maximumSize(), QSize(530, 610));

    if (request.topLeft().isNull())
        dialog.resize(request.size());
    else
        dialog.setGeometry(request);
    QCOMPARE(dialog.size(), QSize(530, 610));
    dialog.adjustSize();
    QCOMPARE(dialog.size(), QSize(530, 610));
}

void TestFormLoadAntAIPreset::widgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QSize>("maximum");

    // The combo box may grow to 350 in a layout, but without one its geometry wins.
    QTest::newRow("combo box") << "ComboBox_AntAIPreset"
                               << "QComboBox" << QRect(10, 10, 250, 24) << QSize(250, 24)
                               << QSize(350, 24);
    QTest::newRow("view") << "GraphicsView_AntAIPreset"
                          << "QGraphicsView" << QRect(10, 50, 510, 510) << QSize(510, 510)
                          << QSize(510, 510);
    QTest::newRow("OK") << "PushButton_Ok"
                        << "QPushButton" << QRect(370, 570, 70, 30) << QSize(70, 30)
                        << QSize(70, 30);
    QTest::newRow("Cancel") << "PushButton_Cancel"
                            << "QPushButton" << QRect(450, 570, 70, 30) << QSize(70, 30)
                            << QSize(70, 30);
}

void TestFormLoadAntAIPreset::widgets()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QRect, geometry);
    QFETCH(QSize, minimum);
    QFETCH(QSize, maximum);

    FormLoadAntAIPreset dialog(nullptr);
    QCOMPARE(dialog.objectName(), QString("FormLoadAntAIPreset"));
    QVERIFY(dialog.layout() == nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QWidget* widget = dialog.findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
    QVERIFY(widget != nullptr);
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(widget->minimumSize(), minimum);
    QCOMPARE(widget->maximumSize(), maximum);
}

void TestFormLoadAntAIPreset::texts()
{
    FormLoadAntAIPreset dialog(nullptr);
    QCOMPARE(dialog.windowTitle(), QString("Load ant AI preset"));
    QVERIFY(!dialog.testAttribute(Qt::WA_SetWindowIcon));
    auto* combo = Child<QComboBox>(dialog, "ComboBox_AntAIPreset");
    QCOMPARE(combo->count(), PresetCatalogue::PresetCount);
    QCOMPARE(combo->maxVisibleItems(), PresetCatalogue::PresetCount);
    for (int i = 0; i < combo->count(); ++i)
        QCOMPARE(combo->itemText(i), QString::fromLatin1(PresetCatalogue::Label(i + 1)));
    QCOMPARE(Child<QGraphicsView>(dialog, "GraphicsView_AntAIPreset")->frameShape(),
             QFrame::NoFrame);
    QCOMPARE(Child<QPushButton>(dialog, "PushButton_Ok")->text(), QString("OK"));
    QCOMPARE(Child<QPushButton>(dialog, "PushButton_Cancel")->text(), QString("Cancel"));
}

void TestFormLoadAntAIPreset::tabOrder()
{
    FormLoadAntAIPreset dialog(nullptr);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));

    const QStringList expected{"ComboBox_AntAIPreset", "GraphicsView_AntAIPreset", "PushButton_Ok",
                               "PushButton_Cancel", "ComboBox_AntAIPreset"};
    Child<QComboBox>(dialog, "ComboBox_AntAIPreset")->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget()->objectName(), expected.first());
    for (int i = 1; i < expected.size(); ++i)
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), expected.at(i));
    }
}

void TestFormLoadAntAIPreset::slotsInIndexOrder()
{
    const QMetaObject& meta = FormLoadAntAIPreset::staticMetaObject;
    const QStringList expected{"Slot_PushButton_Ok()", "Slot_PushButton_Cancel()",
                               "Slot_ComboBox_AntAIPreset(int)"};
    QCOMPARE(meta.methodCount() - meta.methodOffset(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
    {
        const QMetaMethod method = meta.method(meta.methodOffset() + i);
        QCOMPARE(QString::fromLatin1(method.methodSignature()), expected.at(i));
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Private);
    }
    QCOMPARE(meta.propertyCount(), meta.propertyOffset());
}

QTEST_MAIN(TestFormLoadAntAIPreset)
#include "tst_formloadantaipreset.moc"
