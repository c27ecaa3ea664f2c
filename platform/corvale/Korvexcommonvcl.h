#pragma once
// Window placement, questions and modal forms of the common components. Questions go through the
// component layer's dialog service; modal forms through ModalForms, which tests replace so that a
// dialog form is looked at and closed without a running event loop.

#include "Vcl.Types.h"

#include <HookSlot.h>

#include <QRect>

#include <utility>
#include <QString>

class QWidget;
namespace Vcl {
class TForm;
}

namespace Korvexcommonvcl {

// Height of the main window's ribbon that module windows leave free; the host sets it.
extern int RibbonHeight;
// The platform's newest common dialogs (task dialogs) instead of the system's own dialog forms.
extern bool UseLatestCommonDialogs;

// Where window (frame geometry) goes so that it lies inside area: moved in, and unless keepSize
// shrunk to fit first.
QRect CorrectedWindowRect(const QRect& window, const QRect& area, bool keepSize);
// Moves form back into the area it lives in: its MDI area for a child window, else the available
// part of its screen. Mode 1 keeps the size of windows that are larger than that area.
void CorrectWindowPosition(QWidget* form, int mode = 0);

// Places two windows side by side over the available area of the first one's screen: the first
// on the left half, the second on the right. A missing window leaves the other as it is.
void DoSplitScreen(QWidget* left, QWidget* right);
// The two halves of area, left and right.
std::pair<QRect, QRect> SplitScreenRects(const QRect& area);

// A yes/no question; true for yes. The two further texts name the buttons; "DEFAULT" keeps the
// standard captions.
bool RaiseQuestion(const QString& question, bool defaultYes = true,
                   const QString& yesText = QStringLiteral("DEFAULT"),
                   const QString& noText = QStringLiteral("DEFAULT"));

class ModalForms {
public:
    virtual ~ModalForms() = default;
    // Shows form modally and returns its modal result.
    virtual int Run(Vcl::TForm* form) = 0;

    static ModalForms& Instance();
    static ModalForms* SetInstance(ModalForms* forms); // returns the previous one; null: default
};

int ShowModal(Vcl::TForm* form);

// Gives every control under root a name for screen readers and a tool tip where it has none: a
// field the text of its label (form layouts pair them), a button its action (its tool tip, else
// its caption). A control with neither stays as it is.
void NameControls(QWidget* root);
// A caption as a name: without accelerator marks and a trailing colon.
QString PlainCaption(const QString& caption);

// Receives the text of an error met while a form resource is read (a property that no longer
// exists); the IDE fills it to show such errors in its message view.
extern Rtl::HookSlot<void(const QString&)> GReaderErrorProc;

} // namespace Korvexcommonvcl
