#pragma once

#include "MainWindow.h"
#include "Support.h"

class Ant;
class AntField;
class QTimer;

// Test-only view into MainWindow's model, through the friend declaration; the window's
// public and meta-object interface stay as the program uses them.
class MainWindowProbe
{
public:
    static AntField& Field(MainWindow& window) { return *window.Field; }
    static Ant& TheAnt(MainWindow& window) { return *window.TheAnt; }
    static QTimer& Timer(MainWindow& window) { return *window.Timer; }
    static FieldState State(MainWindow& window)
    {
        return CaptureState(*window.Field, *window.TheAnt);
    }
    static void SetIterationNumber(MainWindow& window, int value)
    {
        window.IterationNumber = value;
    }
};
