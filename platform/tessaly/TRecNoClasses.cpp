#include "TRecNoClasses.h"

#include <VoskExceptions.h>

#include "UDM1.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QPointer>

namespace {

QString login() {
    TDM1* dm = DM1();
    return dm ? dm->LoginName() : QString();
}

} // namespace

// ---- notes -----------------------------------------------------------------------------------

TRecNoComment::TRecNoComment(QObject* parent) : TVoskClass2(parent) {
    SetSqlTable(QStringLiteral("recnocomments"));
    SetKeyFieldName(QStringLiteral("dbrid"));
    SetQuerySql(QStringLiteral(
        "SELECT c.dbrid, c.rc_id, c.rc_tablename, c.rc_dbrid, c.rc_parent_dbrid, c.rc_date,\n"
        "  COALESCE(nameAufloesen(COALESCE(c.rc_user, c.insert_by)), c.rc_user, c.insert_by)"
        " AS rc_user_name,\n"
        "  c.rc_betreff, c.rc_print, c.rc_text, c.rc_category,\n"
        "  CASE WHEN c.rc_tablename = :tablename AND c.rc_dbrid = :dbrid THEN ''"
        " ELSE c.rc_tablename END AS get_record_note_source,\n"
        "  NOT (c.rc_tablename = :tablename AND c.rc_dbrid = :dbrid) AS voskgray,\n"
        "  c.rc_user, c.insert_by\n"
        "FROM recnocomments c\n"
        "WHERE ((c.rc_tablename = :tablename AND c.rc_dbrid = :dbrid)"
        " OR c.rc_parent_dbrid = :dbrid)\n"
        "  AND c.rc_wvod IS NULL\n"
        "ORDER BY c.rc_date DESC, c.rc_id DESC"));
}

void TRecNoComment::AssignToData(const QString& tableName, const QString& recId) {
    if (InEdit())
        Cancel();
    SetParam(QStringLiteral("tablename"), tableName);
    SetParam(QStringLiteral("dbrid"), recId);
    if (Active())
        Refresh(false);
    else
        Open();
}

void TRecNoComment::AppendNote() {
    Append();
    FieldByName(QStringLiteral("rc_tablename")).SetAsString(TableName());
    FieldByName(QStringLiteral("rc_dbrid")).SetValue(RecId());
    FieldByName(QStringLiteral("rc_date")).SetValue(QDateTime::currentDateTime());
    FieldByName(QStringLiteral("rc_user")).SetAsString(login());
}

// ---- keywords --------------------------------------------------------------------------------

TRecNoKeyword::TRecNoKeyword(QObject* parent) : TVoskClass2(parent) {
    SetSqlTable(QStringLiteral("recnokeyword"));
    SetKeyFieldName(QStringLiteral("r_id"));
    SetWithKeyColumn(false);
}

void TRecNoKeyword::SetWithKeyColumn(bool on) {
    SetQuerySql(
        QStringLiteral("SELECT r_id, r_classname, r_oid, r_kategorie, r_descr, r_tablename, r_dbrid")
        + (on ? QStringLiteral(",\n  (SELECT c.rck_column FROM recnokeywordcategory c\n"
                               "    WHERE c.rck_b = r_kategorie) AS rck_column\n")
              : QStringLiteral("\n"))
        + QStringLiteral("FROM recnokeyword\n"
                         "WHERE r_tablename = :tablename AND r_dbrid = :dbrid AND r_reg_pname IS NULL\n"
                         "  AND (:formclass = '' OR r_classname = :formclass)\n"
                         "ORDER BY r_kategorie, r_descr, r_id"));
}

void TRecNoKeyword::AssignToData(const QString& tableName, const QString& recId,
                                 const QString& formClass) {
    if (InEdit())
        Cancel();
    m_formClass = formClass;
    SetParam(QStringLiteral("tablename"), tableName);
    SetParam(QStringLiteral("dbrid"), recId);
    SetParam(QStringLiteral("formclass"), formClass);
    if (Active())
        Refresh(false);
    else
        Open();
}

void TRecNoKeyword::Post(bool askBefore) {
    if (!InEdit())
        return;
    if (m_required) {
        const bool noCategory =
            FieldByName(QStringLiteral("r_kategorie")).AsString().trimmed().isEmpty();
        const bool noText = FieldByName(QStringLiteral("r_descr")).AsString().trimmed().isEmpty();
        if (noCategory || noText)
            throw EVoskException(noCategory ? QStringLiteral("Bitte eine Kategorie angeben.")
                                            : QStringLiteral("Bitte einen Text angeben."));
    }
    if (IsNewRecord()) {
        if (FieldByName(QStringLiteral("r_tablename")).IsNull())
            FieldByName(QStringLiteral("r_tablename"))
                .SetAsString(Param(QStringLiteral("tablename")).toString());
        if (FieldByName(QStringLiteral("r_dbrid")).IsNull()) {
            FieldByName(QStringLiteral("r_dbrid")).SetValue(Param(QStringLiteral("dbrid")));
            FieldByName(QStringLiteral("r_oid")).SetValue(Param(QStringLiteral("dbrid")));
        }
        if (!m_formClass.isEmpty() && FieldByName(QStringLiteral("r_classname")).IsNull())
            FieldByName(QStringLiteral("r_classname")).SetAsString(m_formClass);
    }
    TVoskClass2::Post(askBefore);
}

void TRecNoKeyword::AppendKeyword() {
    Append();
    FieldByName(QStringLiteral("r_tablename"))
        .SetAsString(Param(QStringLiteral("tablename")).toString());
    FieldByName(QStringLiteral("r_dbrid")).SetValue(Param(QStringLiteral("dbrid")));
    FieldByName(QStringLiteral("r_oid")).SetValue(Param(QStringLiteral("dbrid")));
    if (!m_formClass.isEmpty())
        FieldByName(QStringLiteral("r_classname")).SetAsString(m_formClass);
}

// ---- record parameters -----------------------------------------------------------------------

QString TRecNoParams::ParamsSql() {
    return QStringLiteral(
        "SELECT k.r_id, k.r_tablename, k.r_dbrid, k.r_kategorie, k.r_descr, k.r_not, k.r_value,\n"
        "  k.r_min, k.r_max, k.r_unit, k.r_txt, k.r_reg_pname, g.reg_gruppe, g.reg_pos,\n"
        "  g.reg_paramtype, g.reg_visible, g.reg_default, k.insert_by, k.insert_date,\n"
        "  k.modified_by, k.modified_date\n"
        "FROM recnokeyword k\n"
        "LEFT JOIN recnogroup g ON g.reg_pname = k.r_reg_pname\n"
        "WHERE k.r_tablename = :tablename AND k.r_dbrid = :dbrid\n"
        "  AND (g.reg_formclass IS NULL OR g.reg_formclass = :formclass)\n"
        "ORDER BY g.reg_gruppe, g.reg_pos, k.r_id");
}

TRecNoParams::TRecNoParams(QObject* parent) : TVoskClass2(parent) {
    SetSqlTable(QStringLiteral("recnokeyword"));
    SetKeyFieldName(QStringLiteral("r_id"));
    SetQuerySql(ParamsSql());
}

void TRecNoParams::AssignToData(const QString& tableName, const QString& recId,
                                const QString& formClass) {
    if (InEdit())
        Cancel();
    SetParam(QStringLiteral("tablename"), tableName);
    SetParam(QStringLiteral("dbrid"), recId);
    SetParam(QStringLiteral("formclass"), formClass);
    if (Active())
        Refresh(false);
    else
        Open();
}

void TRecNoParams::SetPNameFilter(const QString& filter) {
    m_pnameFilter = filter;
    SetParam(QStringLiteral("pnamefilter"), filter);
}

QString TRecNoParams::SelectSql() const {
    const QString sql = TVoskClass2::SelectSql();
    if (m_pnameFilter.isEmpty())
        return sql;
    return QStringLiteral("SELECT * FROM (") + sql +
           QStringLiteral(") AS p WHERE p.r_reg_pname ILIKE :pnamefilter\n"
                          "ORDER BY p.reg_gruppe, p.reg_pos, p.r_id");
}

TRecNoParams* TRecNoParams::Instance() {
    static QPointer<TRecNoParams> instance;
    if (!instance)
        instance = new TRecNoParams(QCoreApplication::instance());
    return instance;
}
