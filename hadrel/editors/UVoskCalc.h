#pragma once
// The one pop-up calculator of the application. It belongs to an edit control: it opens centred over
// the control's form, computes by mouse or keyboard, and on closing can write its result into the
// control. Used only through the class methods of TVoskCalc.

#include "VoskCalcEngine.h"

#include <QPointer>
#include <QWidget>

class QKeyEvent;
class QLineEdit;
class QToolButton;
namespace Vcl {
class TForm;
}

// The calculator's keys over the engine; its display is a separate edit (FCalcEdit).
class TVoskCalculator final : public QWidget {
    Q_OBJECT
public:
    TVoskCalculator(QLineEdit* display, QWidget* parent = nullptr);

    TVoskCalcEngine& Engine() { return m_engine; }
    QString GetEditorValue() const;
    void SetEditorValue(const QString& value);

    // The buttons "=" and "C" as the form's keys press them.
    void PressEquals();
    void PressClear();
    // Keys the form passes on; true when the key meant something.
    bool KeyDown(QKeyEvent* e);
    bool KeyPress(QKeyEvent* e);
    void KeyUp(QKeyEvent*) {}

private:
    void Run(void (TVoskCalcEngine::*op)());
    QLineEdit* m_display;
    TVoskCalcEngine m_engine;
};

class TVoskCalc final {
public:
    using TVoskCalculator = ::TVoskCalculator;

    static bool IsVisible();
    // Opens a calculator for the control, or for the focused control when null; nothing happens
    // without either. An open calculator is closed first without writing.
    static void Open(QWidget* EditControl);
    // Closes the calculator, first writing its result into the control when SaveValue.
    static void Close(bool SaveValue, QWidget* EditControl);

    static void DoKeyDown(QKeyEvent* e);
    static void DoKeyPress(QKeyEvent* e);
    static void DoKeyUp(QKeyEvent* e);

    // Held weakly: a control freed while the calculator is open is not written to.
    static QPointer<QWidget> FEditControl;
    static QPointer<Vcl::TForm> FCalcForm;
    static QPointer<QLineEdit> FCalcEdit;
    static QPointer<TVoskCalculator> FCalculator;

private:
    TVoskCalc() = delete;
};
