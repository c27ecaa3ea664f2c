#pragma once
// Dialog routines of the common components that the forms package serves: the input question
// slot, the delete confirmation, and the pause that keeps keys typed ahead out of a new dialog.

#include <HookSlot.h>

#include <QString>
#include <QVariant>

class QWidget;

namespace Korvexutils {

// Filled by the input dialog: (title, question, value in/out, description in/out, description
// shown when not 0, numeric, popup parent, alternative class name, number range for "Neue Nr.")
// -> whether the user confirmed. Value and description are written back however it closed.
extern Rtl::HookSlot<bool(const QString&, const QString&, QVariant&, QString&, int, bool, QWidget*,
                          const QString&, const QString&)>
    RaiseInputQuestion;

// Keys and clicks that are still queued (typed before the dialog that follows was up) are
// dropped, so that a held Enter does not confirm the next dialog unseen.
void WaitBeforeNextInput(bool discardInput);

// The common delete question; declining ends the action with the silent abort.
void RaiseDelete(const QString& what = {});

} // namespace Korvexutils
