#pragma once

#include <QDialog>
#include <QPixmap>

#include <array>

#include "PresetCatalogue.h"

class QCloseEvent;
class QEvent;
class QGraphicsScene;
class QWidget;
class Ui_FormLoadAntAIPreset;

// Modal chooser for one of the catalogued rules, with a preview of the field each one leaves
// behind. It only reports the choice; applying it is the caller's business.
class FormLoadAntAIPreset : public QDialog
{
    Q_OBJECT

public:
    explicit FormLoadAntAIPreset(QWidget* parent);
    ~FormLoadAntAIPreset() override;

    bool IsPresetChosen() const;
    int GetPresetNumber() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void Slot_PushButton_Ok();
    void Slot_PushButton_Cancel();
    void Slot_ComboBox_AntAIPreset(int index);

private:
    void Init();
    void ShowPicture();

    Ui_FormLoadAntAIPreset* Ui;
    QGraphicsScene* Scene;
    // Element n - 1 is the picture of preset n.
    std::array<QPixmap, PresetCatalogue::PresetCount> Pictures;
    bool PresetChosen;
    int PresetNumber;
};
