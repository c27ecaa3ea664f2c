#include "TVoskMainMenuSql.h"

#include "UDM1.h"

TMainMenuSql::TMainMenuSql(QObject* parent) : TVoskMainMenuSqlBase(parent) {
    SetSqlTable(QStringLiteral("mainmenu"));
    SetKeyFieldName(QStringLiteral("mm_id"));
}

bool TMainMenuSql::SearchMenu(const QString& menuId, const QString& formClassName, bool isedit,
                              bool /*isadmin*/, bool getparent, bool treeorder,
                              TMainMenuFilter /*Filter*/) {
    Close();
    ClearParams();
    QString where;
    if (!menuId.trimmed().isEmpty()) {
        bool ok = false;
        const int id = menuId.trimmed().toInt(&ok);
        if (!ok)
            return false;
        where = QStringLiteral("m.mm_id = :id");
        SetParam(QStringLiteral("id"), id);
    } else if (!formClassName.trimmed().isEmpty()) {
        where = QStringLiteral("lower(m.mm_formclassname) = lower(:cls)");
        SetParam(QStringLiteral("cls"), formClassName.trimmed());
    } else {
        return false;
    }
    if (isedit)
        where += QStringLiteral(" AND m.mm_action IN (4, 7)");
    const QString select = getparent
        ? QStringLiteral("SELECT p.* FROM mainmenu m JOIN mainmenu p ON p.mm_id = m.mm_parent WHERE ")
        : QStringLiteral("SELECT m.* FROM mainmenu m WHERE ");
    const QString order = treeorder ? QStringLiteral(" ORDER BY 2, 3, 1") : QStringLiteral(" ORDER BY 1");
    SetQuerySql(select + where + order);
    Open();
    return !IsEmpty();
}

bool TCurrentRights::GetIsAdmin() const { return DM1() && DM1()->IsAdmin(); }

TCurrentRights& CurrentRights() {
    static TCurrentRights rights;
    return rights;
}
