#pragma once
// Dialog routines of the common components that the forms package serves: the input question
// slot, the delete confirmation, and the pause that keeps keys typed ahead out of a new dialog.

#include <HookSlot.h>

#include <QString>
#include <QStringList>
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

// The save dialog of a form: starts in the folder last used under key ("FileDialogFolder_" + key,
// for all users) and offers defaultExt for a name typed without one. filter holds pairs
// "Text|*.ext|..."; filterIndex is the filter offered first and receives the one picked (1-based).
// Empty when cancelled.
QString RaiseSaveDialog(QWidget* owner, const QString& key, const QString& defaultExt,
                        const QString& filter, int& filterIndex, const QString& fileName = {});
// The open dialog of a form: starts in startFolder when it exists, else in the folder last used
// under key; with multiSelect several files may be chosen. fileName is offered as the file.
// Empty when cancelled.
QStringList RaiseOpenDialog(QWidget* owner, const QString& key, bool multiSelect,
                            const QString& startFolder = {}, const QString& fileName = {});
// Remembers the folder of fileName for the save dialogs under key.
void SaveDialogFolder(const QString& key, const QString& fileName);

// The common delete question; declining ends the action with the silent abort.
void RaiseDelete(const QString& what = {});

} // namespace Korvexutils
