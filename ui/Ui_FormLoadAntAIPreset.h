#pragma once

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFrame>
#include <QGraphicsView>
#include <QMetaObject>
#include <QPushButton>
#include <QRect>
#include <QSize>
#include <QString>

#include "PresetCatalogue.h"

// Designer-style holder for the preset dialog. The pointers do not own: the widgets are
// children of the dialog and go with it.
class Ui_FormLoadAntAIPreset
{
public:
    QComboBox* ComboBox_AntAIPreset = nullptr;
    QGraphicsView* GraphicsView_AntAIPreset = nullptr;
    QPushButton* PushButton_Ok = nullptr;
    QPushButton* PushButton_Cancel = nullptr;

    void setupUi(QDialog* FormLoadAntAIPreset)
    {
        if (FormLoadAntAIPreset->objectName().isEmpty())
            FormLoadAntAIPreset->setObjectName(QString::fromUtf8("FormLoadAntAIPreset"));
        FormLoadAntAIPreset->resize(530, 610);
        FormLoadAntAIPreset->setMinimumSize(QSize(530, 610));
        FormLoadAntAIPreset->setMaximumSize(QSize(530, 610));

        ComboBox_AntAIPreset = new QComboBox(FormLoadAntAIPreset);
        for (int n = 1; n <= PresetCatalogue::PresetCount; ++n)
            ComboBox_AntAIPreset->addItem(QString());
        ComboBox_AntAIPreset->setObjectName(QString::fromUtf8("ComboBox_AntAIPreset"));
        ComboBox_AntAIPreset->setGeometry(QRect(10, 10, 250, 24));
        ComboBox_AntAIPreset->setMinimumSize(QSize(250, 24));
        // Wider than the geometry on purpose: without a layout only the geometry counts.
        ComboBox_AntAIPreset->setMaximumSize(QSize(350, 24));
        ComboBox_AntAIPreset->setMaxVisibleItems(PresetCatalogue::PresetCount);

        GraphicsView_AntAIPreset = new QGraphicsView(FormLoadAntAIPreset);
        GraphicsView_AntAIPreset->setObjectName(QString::fromUtf8("GraphicsView_AntAIPreset"));
        GraphicsView_AntAIPreset->setGeometry(QRect(10, 50, 510, 510));
        GraphicsView_AntAIPreset->setMinimumSize(QSize(510, 510));
        GraphicsView_AntAIPreset->setMaximumSize(QSize(510, 510));
        // The pictures are exactly 510 x 510; any frame would crop them.
        GraphicsView_AntAIPreset->setFrameShape(QFrame::NoFrame);

        PushButton_Ok = new QPushButton(FormLoadAntAIPreset);
        PushButton_Ok->setObjectName(QString::fromUtf8("PushButton_Ok"));
        PushButton_Ok->setGeometry(QRect(370, 570, 70, 30));
        PushButton_Ok->setMinimumSize(QSize(70, 30));
        PushButton_Ok->setMaximumSize(QSize(70, 30));

        PushButton_Cancel = new QPushButton(FormLoadAntAIPreset);
        PushButton_Cancel->setObjectName(QString::fromUtf8("PushButton_Cancel"));
        PushButton_Cancel->setGeometry(QRect(450, 570, 70, 30));
        PushButton_Cancel->setMinimumSize(QSize(70, 30));
        PushButton_Cancel->setMaximumSize(QSize(70, 30));

        QWidget::setTabOrder(ComboBox_AntAIPreset, GraphicsView_AntAIPreset);
        QWidget::setTabOrder(GraphicsView_AntAIPreset, PushButton_Ok);
        QWidget::setTabOrder(PushButton_Ok, PushButton_Cancel);

        retranslateUi(FormLoadAntAIPreset);

        QMetaObject::connectSlotsByName(FormLoadAntAIPreset);
    }

    void retranslateUi(QDialog* FormLoadAntAIPreset)
    {
        FormLoadAntAIPreset->setWindowTitle(
            QCoreApplication::translate("FormLoadAntAIPreset", "Load ant AI preset", nullptr));
        // The catalogue owns the labels; entry i is preset i + 1.
        for (int n = 1; n <= PresetCatalogue::PresetCount; ++n)
            ComboBox_AntAIPreset->setItemText(
                n - 1, QCoreApplication::translate("FormLoadAntAIPreset", PresetCatalogue::Label(n),
                                                   nullptr));
        PushButton_Ok->setText(QCoreApplication::translate("FormLoadAntAIPreset", "OK", nullptr));
        PushButton_Cancel->setText(
            QCoreApplication::translate("FormLoadAntAIPreset", "Cancel", nullptr));
    }
};
