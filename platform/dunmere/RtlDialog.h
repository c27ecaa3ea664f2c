#pragma once
// The database layer's dialog slots: the start-status text of the packages while they start, and
// the SQL editor that design tools call. Both are filled by whoever can show them.

#include <HookSlot.h>

#include <QChar>
#include <QString>

#include <optional>

class QObject;

namespace RtlDialog {

// Filled by the memo editor: (field name, text, caret position, read-only, RTF, added character,
// non-modal if read-only) -> the edited text, or the text as passed when the user cancelled.
extern Rtl::HookSlot<QString(const QString&, const QString&, int, bool, bool, QChar, bool)>
    FEditTextS;
// (field name, text in/out, RTF text in/out, read-only, RTF, added character, caret position,
// non-modal if read-only) -> whether the user confirmed a change.
extern Rtl::HookSlot<bool(const QString&, QString&, QString&, bool, bool, QChar, int, bool)>
    FEditTextB;

// Filled by the password dialog: (caption, sub-caption) -> the text typed, or "XXXXX" when the
// user cancelled or no dialog may be shown. FAskPassword2 takes the sub-caption only.
extern Rtl::HookSlot<QString(const QString&, const QString&)> FAskPassword;
extern Rtl::HookSlot<QString(const QString&)> FAskPassword2;
// The same question that tells a cancel apart from any typed text (no value), for callers that
// compare the answer with a stored password.
extern Rtl::HookSlot<std::optional<QString>(const QString&, const QString&)> FAskPasswordEx;

// Filled by the module form: a short message in the alert window of a module form (caption,
// text, image index).
extern Rtl::HookSlot<void(const QString&, const QString&, int)> FAllertWindowWVOD;

// Filled by the document window: opens the document window of a record (owner, table, record id,
// the record's data class) and returns it, shown.
extern Rtl::HookSlot<QObject*(QObject*, const QString&, const QString&, QObject*)> FDokumentsForm;

// Filled inside the IDE: receives every start-status text.
extern Rtl::HookSlot<void(const QString&)> FStartScreenSetStartStatusIDE;
// Passes text to the IDE's slot when it is filled; otherwise only logs it.
void SetStartScreenStatus(const QString& text);

// Filled by the SQL editor package: (title, sql, isDataSource) -> the edited SQL.
extern Rtl::HookSlot<QString(const QString&, const QString&, bool)> FEditSql;
// The edited text; without an editor the SQL comes back unchanged.
QString EditSql(const QString& title, const QString& sql, bool isDataSource);

} // namespace RtlDialog
