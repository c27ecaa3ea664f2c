#pragma once
// The tool window that a coordinator (TQ32Control) opens for itself on F3: it is owned by the
// coordinator's data class (or by the coordinator when it has none) and knows the SQL table whose
// special functions it shows. The forms package derives the window users see.

#include "Q32GrundForm.h"

#include <QString>

class TAbstractControlWindow : public TVoskBaseForm {
    Q_OBJECT
public:
    explicit TAbstractControlWindow(QObject* owner = nullptr);

    // The table of the owner's data: a data class's own, a coordinator's data class's; empty for
    // any other owner.
    QString SqlTable() const { return m_sqlTable; }
    void SetSqlTable(const QString& table) { m_sqlTable = table; }

private:
    QString m_sqlTable;
};
