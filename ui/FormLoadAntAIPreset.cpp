#include "FormLoadAntAIPreset.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QGraphicsScene>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPushButton>
#include <QString>

#include "Ui_FormLoadAntAIPreset.h"

FormLoadAntAIPreset::FormLoadAntAIPreset(QWidget* parent)
    : QDialog(parent, Qt::WindowFlags()), Ui(new Ui_FormLoadAntAIPreset), Scene(nullptr),
      PresetChosen(false), PresetNumber(1)
{
    Ui->setupUi(this);
    Init();
    ShowPicture();

    // Connected only now, so the initial selection does not run the slot.
    connect(Ui->ComboBox_AntAIPreset, SIGNAL(currentIndexChanged(int)), this,
            SLOT(Slot_ComboBox_AntAIPreset(int)));
    // released() rather than clicked(): dragging off a held button still counts.
    connect(Ui->PushButton_Cancel, SIGNAL(released()), this, SLOT(Slot_PushButton_Cancel()));
    connect(Ui->PushButton_Ok, SIGNAL(released()), this, SLOT(Slot_PushButton_Ok()));
    Ui->PushButton_Ok->installEventFilter(this);
    Ui->PushButton_Cancel->installEventFilter(this);
}

FormLoadAntAIPreset::~FormLoadAntAIPreset()
{
    delete Ui;
    if (Scene != nullptr)
        delete Scene;
    // Pictures go last to first as array members do; the child widgets go with QDialog.
}

bool FormLoadAntAIPreset::IsPresetChosen() const
{
    return PresetChosen;
}

int FormLoadAntAIPreset::GetPresetNumber() const
{
    return PresetNumber;
}

void FormLoadAntAIPreset::closeEvent(QCloseEvent* event)
{
    // QDialog's own handling is skipped on purpose: hiding already ends exec() as rejected.
    PresetChosen = false;
    event->accept();
}

bool FormLoadAntAIPreset::eventFilter(QObject* watched, QEvent* event)
{
    // A button held down emits released() when it loses the focus (to a click elsewhere, or as
    // the dialog hides after Escape or the close button) and when Escape cancels the press. None
    // of these is a choice, so the button is let go quietly first; Escape then rejects the
    // dialog, as it does with nothing held.
    auto* button = qobject_cast<QPushButton*>(watched);
    if (button == nullptr || !button->isDown())
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
    {
        button->setDown(false);
    }
    else if (event->type() == QEvent::KeyPress &&
             static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel))
    {
        button->setDown(false);
        reject();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void FormLoadAntAIPreset::Slot_PushButton_Ok()
{
    PresetChosen = true;
    accept();
}

void FormLoadAntAIPreset::Slot_PushButton_Cancel()
{
    PresetChosen = false;
    reject();
}

void FormLoadAntAIPreset::Slot_ComboBox_AntAIPreset(int index)
{
    // -1 means no current entry; keep the last number.
    if (index >= 0 && index < PresetCatalogue::PresetCount)
        PresetNumber = index + 1;
    ShowPicture();
}

void FormLoadAntAIPreset::Init()
{
    Scene = new QGraphicsScene(this);
    // All pictures are decoded up front so that changing the selection never waits on a decode.
    for (int n = 1; n <= PresetCatalogue::PresetCount; ++n)
        Pictures[static_cast<std::size_t>(n - 1)].load(
            QString::fromLatin1(PresetCatalogue::PicturePath(n)));
    PresetChosen = false;
    PresetNumber = 1;
    Ui->ComboBox_AntAIPreset->setCurrentIndex(0);
    Ui->GraphicsView_AntAIPreset->setScene(Scene);
}

void FormLoadAntAIPreset::ShowPicture()
{
    // clear() deletes the previous item, so the scene never holds more than one.
    Scene->clear();
    if (PresetNumber >= 1 && PresetNumber <= PresetCatalogue::PresetCount)
        Scene->addPixmap(Pictures[static_cast<std::size_t>(PresetNumber - 1)]);
}
