#pragma once

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QString>
#include <QTest>

#include "MainWindow.h"

// Works the real window the way a user does: through its buttons, actions and spin boxes,
// reading back what the labels, tooltips and enabled states show.
class MainWindowDriver
{
public:
    explicit MainWindowDriver(MainWindow& window) : Window(window) {}

    template <typename T = QWidget> T* Find(const QString& name) const
    {
        T* object = Window.findChild<T*>(name);
        if (!object)
            qFatal("no child named %s", qPrintable(name));
        return object;
    }

    QPushButton* Button(const QString& name) const { return Find<QPushButton>(name); }

    static QString StepButtonName(int step)
    {
        return QStringLiteral("PushButton_AntAIStep%1").arg(step, 2, 10, QChar('0'));
    }

    // "Play", "Pause", "Stop", "Next", "Forward" click the button (a mouse release, as a user
    // does); "ResetAI" triggers the menu action; "Step07" clicks a rule button; "Tick" runs one
    // timer frame.
    void Do(const QString& command)
    {
        if (command == QLatin1String("ResetAI"))
            Find<QAction>(QStringLiteral("Action_AntAI_ResetAI"))->trigger();
        else if (command == QLatin1String("Tick"))
            Invoke("Slot_Timer");
        else if (command.startsWith(QLatin1String("Step")))
            QTest::mouseClick(Button(StepButtonName(command.mid(4).toInt())), Qt::LeftButton);
        else
            QTest::mouseClick(Button(QStringLiteral("PushButton_") + command), Qt::LeftButton);
    }

    void DoAll(const QString& commands)
    {
        const QStringList list = commands.split(QLatin1Char(' '));
        for (const QString& command : list)
        {
            if (!command.isEmpty())
                Do(command);
        }
    }

    void Invoke(const char* slot) { QVERIFY(QMetaObject::invokeMethod(&Window, slot)); }

    // The count shown by the iteration label; -1 if the label is not in its documented form.
    int Counter() const
    {
        static const QRegularExpression form(QStringLiteral("^Iteration: (\\d+)$"));
        const auto match =
            form.match(Find<QLabel>(QStringLiteral("Label_IterationNumber"))->text());
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    }

    // Enabled states as digits: Load AI preset, Reset AI, Play, Pause, Stop, Next, Forward, and
    // one digit for the twelve rule buttons ('x' if they disagree).
    QString Controls() const
    {
        QString result;
        result += Bit(Find<QAction>(QStringLiteral("Action_AntAI_LoadAIPreset"))->isEnabled());
        result += Bit(Find<QAction>(QStringLiteral("Action_AntAI_ResetAI"))->isEnabled());
        for (const char* name : {"Play", "Pause", "Stop", "Next", "Forward"})
            result += Bit(Button(QStringLiteral("PushButton_") + QLatin1String(name))->isEnabled());
        const bool first = Button(StepButtonName(1))->isEnabled();
        bool agree = true;
        for (int step = 2; step <= 12; ++step)
            agree = agree && Button(StepButtonName(step))->isEnabled() == first;
        result += agree ? Bit(first) : QChar('x');
        return result;
    }

    // The rule as the twelve buttons show it, one letter per tooltip ('?' for anything else).
    QString RuleShown() const
    {
        QString rule;
        for (int step = 1; step <= 12; ++step)
        {
            const QString tip = Button(StepButtonName(step))->toolTip();
            rule += tip == QLatin1String("None")         ? QChar('-')
                    : tip == QLatin1String("Turn left")  ? QChar('L')
                    : tip == QLatin1String("Turn right") ? QChar('R')
                                                         : QChar('?');
        }
        return rule;
    }

    // Counter, controls and rule buttons in one line, for comparing one moment with another.
    QString Shown() const
    {
        return QStringLiteral("count %1 controls %2 rule %3")
            .arg(Counter())
            .arg(Controls(), RuleShown());
    }

    void SetSpin(const char* name, int value)
    {
        Find<QSpinBox>(QLatin1String(name))->setValue(value);
    }

private:
    static QChar Bit(bool on) { return on ? QChar('1') : QChar('0'); }

    MainWindow& Window;
};
