#pragma once
// The database layer's dialog slots: the start-status text of the packages while they start, and
// the SQL editor that design tools call. Both are filled by whoever can show them.

#include <HookSlot.h>

#include <QString>

namespace RtlDialog {

// Filled inside the IDE: receives every start-status text.
extern Rtl::HookSlot<void(const QString&)> FStartScreenSetStartStatusIDE;
// Passes text to the IDE's slot when it is filled; otherwise only logs it.
void SetStartScreenStatus(const QString& text);

// Filled by the SQL editor package: (title, sql, isDataSource) -> the edited SQL.
extern Rtl::HookSlot<QString(const QString&, const QString&, bool)> FEditSql;
// The edited text; without an editor the SQL comes back unchanged.
QString EditSql(const QString& title, const QString& sql, bool isDataSource);

} // namespace RtlDialog
