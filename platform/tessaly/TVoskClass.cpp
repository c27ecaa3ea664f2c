#include "TVoskClass.h"

#include <StrUtils.h>
#include <UDM1.h>
#include <VoskDbErrors.h>
#include <VoskExceptions.h>
#include <VoskQuery2.h>

#include <QHash>

#include <algorithm>

#include <libpq-fe.h>

namespace {

const QString kChangedByOther = QStringLiteral(
    "Der Datensatz wurde inzwischen von einem anderen Benutzer geändert. Bitte aktualisieren Sie "
    "die Daten.");

QString quoteIdent(const QString& name) {
    QString n = name;
    n.replace(u'"', QStringLiteral("\"\""));
    return u'"' + n + u'"';
}

QString stripSemicolon(QString sql) {
    sql = sql.trimmed();
    while (sql.endsWith(u';'))
        sql.chop(1);
    return sql;
}

QVariant rawParam(const QByteArray& raw, bool null) {
    return null ? QVariant() : QVariant(QString::fromUtf8(raw));
}

} // namespace

Rtl::HookSlot<QString(const QString&)> TVoskClass::AliasHook;

// ---------------------------------------------------------------------------------------------
// TVoskDataField

QString TVoskDataField::FieldName() const {
    return Exists() ? m_owner->m_cols[size_t(m_col)].name : QString();
}

bool TVoskDataField::Writable() const { return Exists() && m_owner->FieldWritable(m_col); }

QVariant TVoskDataField::Value() const {
    if (!Exists() || m_owner->m_rows.empty())
        return {};
    return m_owner->Value(m_owner->m_cur, m_col);
}

bool TVoskDataField::IsNull() const { return Value().isNull(); }

QString TVoskDataField::AsString() const {
    const QVariant v = Value();
    if (v.typeId() == QMetaType::Bool)
        return Rtl::BoolToStr(v.toBool());
    return v.toString();
}

int TVoskDataField::AsInteger() const { return int(AsLargeInt()); }

qint64 TVoskDataField::AsLargeInt() const {
    const QVariant v = Value();
    if (v.isNull())
        return 0;
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    if (ok)
        return n;
    const double d = v.toString().trimmed().toDouble(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' ist kein gültiger Ganzzahlwert für das Feld %2")
                                .arg(v.toString(), FieldName()));
    return qRound64(d);
}

double TVoskDataField::AsFloat() const {
    const QVariant v = Value();
    if (v.isNull())
        return 0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' ist kein gültiger Gleitkommawert für das Feld %2")
                                .arg(v.toString(), FieldName()));
    return d;
}

bool TVoskDataField::AsBoolean() const {
    const QVariant v = Value();
    if (v.isNull())
        return false;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        return s.compare(u"true", Qt::CaseInsensitive) == 0 || s == u"t" || s == u"-1" ||
               s == u"1";
    }
    return v.toBool();
}

void TVoskDataField::SetValue(const QVariant& value) const {
    if (!Exists())
        throw EVoskException(QStringLiteral("Feld nicht vorhanden"));
    m_owner->SetValue(m_col, value);
}

// ---------------------------------------------------------------------------------------------
// TVoskClass

TVoskClass::TVoskClass(QObject* parent) : QObject(parent) {}

TVoskClass::~TVoskClass() = default;

void TVoskClass::SetSqlTable(const QString& table) {
    if (Active())
        Close();
    m_sqlTable = table.trimmed();
}

void TVoskClass::SetKeyFieldName(const QString& keyFields) { m_keyFields = keyFields.trimmed(); }

QStringList TVoskClass::keyList() const {
    QStringList keys;
    for (const QString& k : m_keyFields.split(u';', Qt::SkipEmptyParts))
        keys << k.trimmed();
    return keys;
}

std::vector<int> TVoskClass::keyCols() const {
    std::vector<int> cols;
    for (const QString& k : keyList())
        cols.push_back(FieldIndex(k));
    return cols;
}

bool TVoskClass::HasKeyField() const {
    const auto cols = keyCols();
    if (cols.empty())
        return false;
    for (int c : cols)
        if (c < 0)
            return false;
    return true;
}

QString TVoskClass::KeyText() const {
    if (m_rows.empty() || !HasKeyField())
        return {};
    QStringList parts;
    for (int c : keyCols())
        parts << Value(m_cur, c).toString();
    return parts.join(u';');
}

TVoskDatabase& TVoskClass::Database() const {
    if (m_db)
        return *m_db;
    if (TDM1* dm = DM1())
        return dm->Database();
    throw EVoskException(QStringLiteral("Keine Datenbankverbindung für die Datenklasse %1")
                             .arg(objectName()));
}

QString TVoskClass::Description() const {
    if (!m_description.isEmpty())
        return m_description;
    if (!m_sqlTable.isEmpty()) {
        const QString alias = AliasHook(m_sqlTable);
        if (!alias.isEmpty())
            return alias;
    }
    return m_sqlTable;
}

QString TVoskClass::quotedTable() const {
    QStringList parts;
    for (const QString& p : m_sqlTable.split(u'.'))
        parts << quoteIdent(p);
    return parts.join(u'.');
}

QString TVoskClass::SelectSql() const {
    if (m_sqlTable.isEmpty())
        throw EVoskException(
            QStringLiteral("Die Datenklasse %1 hat keine Tabelle").arg(objectName()));
    QString sql = QStringLiteral("SELECT * FROM ") + quotedTable();
    QStringList order;
    for (const QString& k : keyList())
        order << quoteIdent(k);
    if (!order.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    return sql;
}

void TVoskClass::readInto(std::vector<Row>& rows, std::vector<Column>* cols, const QString& sql,
                          const QVariantMap& params) {
    TVoskQuery2 q(&Database(), sql);
    for (auto it = params.begin(); it != params.end(); ++it)
        if (TVoskParam* p = q.FindParam(it.key()))
            p->SetValue(it.value());
    q.Open();
    const int nf = q.FieldCount();
    if (cols) {
        // Which result columns are columns of our table decides what Post writes: libpq names
        // the source table and column of each, so a join or a computed column stays read-only.
        QHash<int, Column> tableCols;
        Oid tableOid = InvalidOid;
        if (!m_sqlTable.isEmpty()) {
            TVoskQuery2 a(&Database(),
                          QStringLiteral("SELECT a.attnum, a.attname, c.oid, "
                                         "format_type(a.atttypid, a.atttypmod), a.atthasdef, "
                                         "t.typcategory, t.typname, a.atttypmod "
                                         "FROM pg_attribute a "
                                         "JOIN pg_class c ON c.oid = a.attrelid "
                                         "JOIN pg_type t ON t.oid = a.atttypid "
                                         "WHERE a.attrelid = to_regclass(:t) AND a.attnum > 0 "
                                         "AND NOT a.attisdropped AND a.attgenerated = ''"));
            a.Bind(QStringLiteral("t"), quotedTable());
            a.Open();
            for (; !a.Eof(); a.Next()) {
                Column tc;
                tc.name = a.Fields(1).AsString();
                tc.sqlType = a.Fields(3).AsString();
                tc.hasDefault = a.Fields(4).AsBoolean();
                const QString cat = a.Fields(5).AsString();
                tc.category = cat.isEmpty() ? QChar() : cat.at(0);
                const QString typName = a.Fields(6).AsString();
                tc.integer = typName == u"int2" || typName == u"int4" || typName == u"int8";
                const int typmod = a.Fields(7).AsInteger();
                if (tc.category == u'S' && typmod > 4)
                    tc.size = typmod - 4; // varchar(n) and char(n) keep n + 4
                tableCols.insert(a.Fields(0).AsInteger(), tc);
                tableOid = Oid(a.Fields(2).AsLargeInt());
            }
        }
        cols->clear();
        for (int c = 0; c < nf; ++c) {
            Column col;
            col.name = q.Fields(c).FieldName();
            const PGresult* res = q.Result();
            if (tableOid != InvalidOid && PQftable(res, c) == tableOid) {
                const Column att = tableCols.value(PQftablecol(res, c));
                if (!att.name.isEmpty() && att.name == col.name) {
                    col = att;
                    col.writable = true;
                }
            }
            col.boolean = FieldTypeOfOid(PQftype(res, c)) == TFieldType::Boolean;
            cols->push_back(col);
        }
    }
    rows.clear();
    rows.reserve(size_t(q.RecordCount()));
    for (int r = 0; r < q.RecordCount(); ++r)
        rows.push_back(rowOf(q, r));
}

// Reads the whole result first, so a failing query leaves the rows shown so far in place.
void TVoskClass::reload() {
    std::vector<Row> rows;
    std::vector<Column> cols;
    readInto(rows, &cols, SelectSql(), SelectParams());
    emit AboutToReset();
    m_rows = std::move(rows);
    m_cols = std::move(cols);
    m_cur = 0;
}

void TVoskClass::Open() {
    if (Active())
        Close();
    reload();
    m_bof = true;
    m_eof = m_rows.empty();
    m_modified = false;
    m_state = dsBrowse;
    emit RowsReset();
    emit StateChanged();
    emit CurrentChanged(CurrentRow());
}

void TVoskClass::Close() {
    if (!Active())
        return;
    emit AboutToReset();
    m_rows.clear();
    m_cols.clear();
    m_changed.clear();
    m_cur = 0;
    m_bof = m_eof = true;
    m_modified = false;
    m_state = dsInactive;
    emit RowsReset();
    emit StateChanged();
    emit CurrentChanged(-1);
}

void TVoskClass::requireActive() const {
    if (!Active())
        throw EVoskException(
            QStringLiteral("Die Datenklasse %1 ist nicht geöffnet").arg(Description()));
}

void TVoskClass::requireModify() const {
    requireActive();
    if (m_readOnly || !m_editFlag)
        throw EVoskException(QStringLiteral("Die Daten von %1 sind schreibgeschützt und können "
                                            "nicht geändert werden.")
                                 .arg(Description()));
}

void TVoskClass::setState(TDataSetState state) {
    m_state = state;
    emit StateChanged();
}

void TVoskClass::checkBrowseMode() {
    if (!InEdit())
        return;
    if (m_modified)
        Post();
    else
        Cancel();
}

void TVoskClass::moveTo(int row) {
    if (m_rows.empty())
        return;
    row = qBound(0, row, RecordCount() - 1);
    const bool moved = row != m_cur;
    m_cur = row;
    if (moved)
        emit CurrentChanged(m_cur);
}

void TVoskClass::SetRecNo(int recNo) {
    requireActive();
    checkBrowseMode();
    moveTo(recNo - 1);
    m_bof = m_cur == 0;
    m_eof = m_rows.empty();
}

void TVoskClass::First() {
    requireActive();
    checkBrowseMode();
    moveTo(0);
    m_bof = true;
    m_eof = m_rows.empty();
}

void TVoskClass::Last() {
    requireActive();
    checkBrowseMode();
    moveTo(RecordCount() - 1);
    m_eof = true;
    m_bof = m_rows.empty();
}

void TVoskClass::Next() {
    requireActive();
    checkBrowseMode();
    if (m_cur + 1 < RecordCount()) {
        moveTo(m_cur + 1);
        m_bof = false;
        m_eof = false;
    } else {
        m_eof = true;
    }
}

void TVoskClass::Prior() {
    requireActive();
    checkBrowseMode();
    if (m_cur > 0) {
        moveTo(m_cur - 1);
        m_eof = false;
        m_bof = false;
    } else {
        m_bof = true;
    }
}

bool TVoskClass::Locate(const QString& keyFields, const QVariantList& values,
                        bool caseInsensitive) {
    requireActive();
    const QStringList names = keyFields.split(u';', Qt::SkipEmptyParts);
    if (names.size() != values.size())
        throw EVoskException(QStringLiteral("Locate: %1 Felder, aber %2 Werte")
                                 .arg(names.size())
                                 .arg(values.size()));
    std::vector<int> cols;
    QStringList wanted;
    for (qsizetype i = 0; i < names.size(); ++i) {
        cols.push_back(FieldByName(names[i].trimmed()).Index());
        wanted << values[i].toString();
    }
    // Leaving the edit first: cancelling a new record moves the rows after it, and the blank
    // record itself must not be found.
    checkBrowseMode();
    const auto cs = caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (int r = 0; r < RecordCount(); ++r) {
        bool match = true;
        for (size_t i = 0; i < cols.size() && match; ++i) {
            const QVariant v = Value(r, cols[i]);
            match = v.isNull() == values[qsizetype(i)].isNull() &&
                    v.toString().compare(wanted[qsizetype(i)], cs) == 0;
        }
        if (match) {
            moveTo(r);
            m_bof = m_eof = false;
            return true;
        }
    }
    return false;
}

bool TVoskClass::SearchDbrid(qint64 id) { return SearchDbrid(QString::number(id)); }

bool TVoskClass::SearchDbrid(const QString& id) {
    requireActive();
    if (FieldIndex(QStringLiteral("dbrid")) < 0)
        return false;
    return Locate(QStringLiteral("dbrid"), QVariant(id));
}

QStringList TVoskClass::FieldNames() const {
    QStringList names;
    for (const Column& c : m_cols)
        names << c.name;
    return names;
}

int TVoskClass::FieldIndex(const QString& name) const {
    for (size_t i = 0; i < m_cols.size(); ++i)
        if (m_cols[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

TVoskDataField TVoskClass::FindField(const QString& name) {
    const int c = FieldIndex(name);
    return c < 0 ? TVoskDataField() : TVoskDataField(this, c);
}

TVoskDataField TVoskClass::FieldByName(const QString& name) {
    const int c = FieldIndex(name);
    if (c < 0)
        throw EVoskException(
            QStringLiteral("Feld '%1' nicht gefunden (%2)").arg(name, Description()));
    return TVoskDataField(this, c);
}

TVoskDataField TVoskClass::Fields(int index) {
    if (index < 0 || index >= FieldCount())
        throw ERangeError(QStringLiteral("Feldindex %1 außerhalb des Bereichs").arg(index));
    return TVoskDataField(this, index);
}

QVariant TVoskClass::Value(int row, int col) const {
    if (row < 0 || row >= RecordCount() || col < 0 || col >= FieldCount())
        return {};
    return m_rows[size_t(row)].value[size_t(col)];
}

bool TVoskClass::FieldWritable(int col) const {
    return col >= 0 && col < FieldCount() && m_cols[size_t(col)].writable;
}

int TVoskClass::FieldSize(int col) const {
    return col >= 0 && col < FieldCount() ? m_cols[size_t(col)].size : 0;
}

bool TVoskClass::FieldIsNumeric(int col) const {
    return col >= 0 && col < FieldCount() && m_cols[size_t(col)].category == u'N';
}

bool TVoskClass::FieldIsInteger(int col) const {
    return col >= 0 && col < FieldCount() && m_cols[size_t(col)].integer;
}

bool TVoskClass::FieldIsText(int col) const {
    if (col < 0 || col >= FieldCount())
        return false;
    const QChar cat = m_cols[size_t(col)].category;
    return cat.isNull() || cat == u'S';
}

bool TVoskClass::FieldIsBoolean(int col) const {
    return col >= 0 && col < FieldCount() &&
           (m_cols[size_t(col)].boolean || m_cols[size_t(col)].category == u'B');
}

bool TVoskClass::FieldServerFilled(int col) const {
    if (col < 0 || col >= FieldCount())
        return false;
    const Column& c = m_cols[size_t(col)];
    static const QStringList stamps = {QStringLiteral("insert_date"), QStringLiteral("insert_by"),
                                       QStringLiteral("modified_date"),
                                       QStringLiteral("modified_by")};
    if (stamps.contains(c.name, Qt::CaseInsensitive))
        return true;
    if (!c.hasDefault)
        return false;
    for (int k : keyCols())
        if (k == col)
            return true;
    return false;
}

bool TVoskClass::FieldEditable(int col) const {
    return CanModify() && FieldWritable(col) && !FieldServerFilled(col);
}

void TVoskClass::SetValue(int col, const QVariant& value) {
    requireModify();
    if (col < 0 || col >= FieldCount())
        throw ERangeError(QStringLiteral("Feldindex %1 außerhalb des Bereichs").arg(col));
    if (!m_cols[size_t(col)].writable)
        throw EVoskException(QStringLiteral("Das Feld '%1' kann nicht geändert werden.")
                                 .arg(m_cols[size_t(col)].name));
    // An emptied editor of a number or date column means "no value", not the text "".
    const QVariant v = value.typeId() == QMetaType::QString && value.toString().isEmpty() &&
                               !FieldIsText(col)
                           ? QVariant()
                           : value;
    if (!InEdit())
        Edit();
    QVariant& cell = m_rows[size_t(m_cur)].value[size_t(col)];
    if (cell.isNull() == v.isNull() && cell == v)
        return;
    cell = v;
    m_changed[size_t(col)] = true;
    const bool first = !m_modified;
    m_modified = true;
    emit FieldChanged(m_cur, col);
    if (first)
        emit StateChanged();
}

void TVoskClass::Edit() {
    requireModify();
    if (InEdit())
        return;
    if (m_rows.empty()) {
        Append();
        return;
    }
    if (BeforeEdit)
        BeforeEdit(this);
    m_backup = m_rows[size_t(m_cur)];
    m_changed.assign(m_cols.size(), false);
    m_modified = false;
    setState(dsEdit);
    if (AfterEdit)
        AfterEdit(this);
}

void TVoskClass::startInsert(int at) {
    requireModify();
    checkBrowseMode();
    if (BeforeInsert) {
        // The event may move the cursor: an inserted record goes where the cursor then stands.
        const bool append = at >= RecordCount() && at > 0;
        BeforeInsert(this);
        at = append ? RecordCount() : (m_rows.empty() ? 0 : m_cur);
    }
    Row row;
    row.value.resize(m_cols.size());
    row.raw.resize(m_cols.size());
    row.null.assign(m_cols.size(), true);
    row.fresh = true;
    at = qBound(0, at, RecordCount());
    m_insertFrom = m_rows.empty() ? 0 : m_cur;
    emit AboutToInsertRow(at);
    m_rows.insert(m_rows.begin() + at, std::move(row));
    m_changed.assign(m_cols.size(), false);
    m_modified = false;
    m_state = dsInsert;
    emit RowInserted(at);
    m_cur = at;
    m_bof = m_eof = false;
    emit CurrentChanged(m_cur);
    emit StateChanged();
    if (AfterInsert)
        AfterInsert(this);
}

void TVoskClass::Append() { startInsert(RecordCount()); }

void TVoskClass::Insert() { startInsert(m_rows.empty() ? 0 : m_cur); }

void TVoskClass::Cancel() {
    if (!InEdit())
        return;
    const int row = m_cur;
    if (m_state == dsInsert) {
        // Browsing again before the views hear of it: a view that moves its cursor while the
        // row goes must not post the record being given up.
        m_state = dsBrowse;
        m_modified = false;
        emit AboutToRemoveRow(row);
        m_rows.erase(m_rows.begin() + row);
        emit RowRemoved(row);
        // Back on the record the user was on before the new one; the rows after the new one
        // have moved back to where they were.
        m_cur = qBound(0, m_insertFrom, qMax(0, RecordCount() - 1));
        m_eof = m_rows.empty();
        m_bof = m_cur == 0;
        emit CurrentChanged(CurrentRow());
        emit StateChanged();
        return;
    }
    m_rows[size_t(row)] = m_backup;
    m_state = dsBrowse;
    m_modified = false;
    emit RowUpdated(row);
    emit StateChanged();
}

namespace {

// One transaction around a write; inside an outer transaction a savepoint takes its place, so
// that a refused write leaves the outer work intact.
class WriteTransaction final {
public:
    explicit WriteTransaction(TVoskDatabase& db) : m_db(db), m_nested(db.InTransaction()) {
        if (m_nested)
            m_db.Exec(QStringLiteral("SAVEPOINT tessaly_write"));
        else
            m_db.StartTransaction();
    }
    ~WriteTransaction() {
        if (m_done)
            return;
        try {
            if (m_nested)
                m_db.Exec(QStringLiteral("ROLLBACK TO SAVEPOINT tessaly_write"));
            else
                m_db.Rollback();
        } catch (...) {
            // The connection is broken: the server has dropped the transaction anyway.
        }
    }
    void Commit() {
        if (m_nested)
            m_db.Exec(QStringLiteral("RELEASE SAVEPOINT tessaly_write"));
        else
            m_db.Commit();
        m_done = true;
    }

private:
    TVoskDatabase& m_db;
    bool m_nested;
    bool m_done = false;
};

} // namespace

void TVoskClass::Post(bool askBefore) {
    if (!InEdit())
        return;
    requireModify();
    if (askBefore && BeforePost)
        BeforePost(this);
    if (m_state == dsEdit && !m_modified) {
        setState(dsBrowse);
        return;
    }
    try {
        if (m_state == dsInsert)
            postInsert();
        else
            postUpdate();
    } catch (const EVoskDatabaseError& e) {
        throwTranslated(e, QStringLiteral("Der Datensatz konnte nicht gespeichert werden (%1)")
                               .arg(Description()));
    }
    m_modified = false;
    m_changed.assign(m_cols.size(), false);
    m_state = dsBrowse;
    emit RowUpdated(m_cur);
    emit StateChanged();
    if (AfterPost)
        AfterPost(this);
}

void TVoskClass::throwTranslated(const EVoskDatabaseError& e, const QString& context) const {
    Dunmere::TDbErrorContext ctx;
    ctx.table = m_sqlTable;
    ctx.db = &Database();
    // The server names no column when a value is too long or of the wrong kind: the first value
    // this write sent that could not fit is the one.
    const QString state = e.SqlState();
    if (!m_rows.empty() && m_changed.size() == m_cols.size()) {
        const Row& row = m_rows[size_t(m_cur)];
        for (size_t c = 0; c < m_cols.size() && ctx.column.isEmpty(); ++c) {
            if (!m_changed[c] || row.value[c].isNull())
                continue;
            const QString text = row.value[c].toString();
            const Column& col = m_cols[c];
            if (state == u"22001" && col.size > 0 && text.size() > col.size) {
                ctx.column = col.name;
                ctx.maxLength = col.size;
            } else if (state.startsWith(u"22") && state != u"22001" && !FieldIsText(int(c))) {
                bool number = false;
                text.trimmed().toDouble(&number);
                if (!(FieldIsNumeric(int(c)) && number && state != u"22003"))
                    ctx.column = col.name;
            }
        }
    }
    const EVoskDatabaseError t = Dunmere::TranslateDatabaseError(e, ctx);
    if (t.IsTranslated())
        throw t;
    EVoskDatabaseError wrapped(context, e.ServerMessage(), e.SqlState(), e.Position(), e.Sql());
    wrapped.SetDiagnostics(e.Diagnostics());
    throw wrapped;
}

TVoskClass::Row TVoskClass::rowOf(const TVoskQuery2& q, int r) {
    const int nf = q.FieldCount();
    Row row;
    row.value.resize(size_t(nf));
    row.raw.resize(size_t(nf));
    row.null.resize(size_t(nf));
    for (int c = 0; c < nf; ++c) {
        row.null[size_t(c)] = q.IsNullAt(r, c);
        const auto raw = q.RawAt(r, c);
        row.raw[size_t(c)] = QByteArray(raw.data(), qsizetype(raw.size()));
        row.value[size_t(c)] = q.ValueAt(r, c);
    }
    return row;
}

// Conditions that find the row as it was read: the key by equality, every other column of the
// table NULL-safe by its text, so that any change by someone else makes the row miss. The value as
// read goes through the column's type first, so both sides are in the server's text form, and
// types without an equality operator (json) compare too.
QString TVoskClass::whereAsRead(const Row& asRead, QVariantMap& params) const {
    std::vector<bool> isKey(m_cols.size(), false);
    for (int c : keyCols())
        isKey[size_t(c)] = true;
    QStringList conds;
    for (size_t c = 0; c < m_cols.size(); ++c) {
        if (!m_cols[c].writable && !isKey[c])
            continue;
        const QString p = QStringLiteral("w%1").arg(c);
        const QString col = quoteIdent(m_cols[c].name);
        if (isKey[c])
            conds << col + QStringLiteral(" = :") + p;
        else
            conds << QStringLiteral(
                         "CAST(%1 AS text) IS NOT DISTINCT FROM CAST(CAST(:%2 AS %3) AS text)")
                         .arg(col, p, m_cols[c].sqlType);
        params.insert(p, rawParam(asRead.raw[c], asRead.null[c]));
    }
    return QStringLiteral(" WHERE ") + conds.join(QStringLiteral(" AND "));
}

void TVoskClass::requireKey() const {
    if (!HasKeyField())
        throw EVoskException(QStringLiteral("Die Datenklasse %1 hat kein Schlüsselfeld (%2)")
                                 .arg(Description(), m_keyFields));
}

std::vector<TVoskClass::Row> TVoskClass::run(const QString& sql, const QVariantMap& params,
                                             QStringList* names) {
    TVoskQuery2 q(&Database(), sql);
    for (auto it = params.begin(); it != params.end(); ++it)
        if (TVoskParam* p = q.FindParam(it.key()))
            p->SetValue(it.value());
    q.Open();
    std::vector<Row> rows;
    for (int r = 0; r < q.RecordCount(); ++r)
        rows.push_back(rowOf(q, r));
    if (names)
        *names = q.FieldNames();
    return rows;
}

void TVoskClass::postUpdate() {
    requireKey();
    const Row& row = m_rows[size_t(m_cur)];
    QStringList sets;
    QVariantMap params;
    for (size_t c = 0; c < m_cols.size(); ++c)
        if (m_changed[c] && m_cols[c].writable) {
            const QString p = QStringLiteral("s%1").arg(c);
            sets << quoteIdent(m_cols[c].name) + QStringLiteral(" = :") + p;
            params.insert(p, row.value[c]);
        }
    if (sets.isEmpty())
        return;
    const QString sql = QStringLiteral("UPDATE ") + quotedTable() + QStringLiteral(" SET ") +
                        sets.join(QStringLiteral(", ")) + whereAsRead(m_backup, params) +
                        QStringLiteral(" RETURNING *");
    QStringList names;
    WriteTransaction tx(Database());
    const auto returned = run(sql, params, &names);
    if (returned.size() != 1)
        throw EVoskException(kChangedByOther);
    tx.Commit();
    applyReturned(m_cur, returned.front(), names);
}

void TVoskClass::postInsert() {
    if (m_sqlTable.isEmpty())
        throw EVoskException(QStringLiteral("Die Datenklasse %1 hat keine Tabelle").arg(objectName()));
    const Row& row = m_rows[size_t(m_cur)];
    QStringList cols, values;
    QVariantMap params;
    // Only the columns the user set, so that the table's defaults fill the rest.
    for (size_t c = 0; c < m_cols.size(); ++c)
        if (m_changed[c] && m_cols[c].writable) {
            const QString p = QStringLiteral("v%1").arg(c);
            cols << quoteIdent(m_cols[c].name);
            values << u':' + p;
            params.insert(p, row.value[c]);
        }
    QString sql = QStringLiteral("INSERT INTO ") + quotedTable();
    if (cols.isEmpty())
        sql += QStringLiteral(" DEFAULT VALUES");
    else
        sql += QStringLiteral(" (") + cols.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
               values.join(QStringLiteral(", ")) + u')';
    sql += QStringLiteral(" RETURNING *");
    QStringList names;
    WriteTransaction tx(Database());
    const auto returned = run(sql, params, &names);
    // A trigger that returns NULL drops the row without an error.
    if (returned.size() != 1)
        throw EVoskException(QStringLiteral("Der Datensatz wurde nicht gespeichert: die "
                                            "Datenbank hat ihn verworfen (%1)")
                                 .arg(Description()));
    tx.Commit();
    applyReturned(m_cur, returned.front(), names);
}

void TVoskClass::applyReturned(int row, const Row& returned, const QStringList& names) {
    Row& r = m_rows[size_t(row)];
    bool allColumns = true;
    for (size_t c = 0; c < m_cols.size(); ++c) {
        const qsizetype i = m_cols[c].writable ? names.indexOf(m_cols[c].name) : -1;
        if (i < 0) {
            allColumns = false;
            continue;
        }
        r.value[c] = returned.value[size_t(i)];
        r.raw[c] = returned.raw[size_t(i)];
        r.null[c] = returned.null[size_t(i)];
    }
    r.fresh = false;
    // Columns from joins or expressions are only known to the class's own query.
    if (!allColumns)
        reReadRow(row);
}

bool TVoskClass::reReadRow(int row) {
    requireKey();
    QVariantMap params = SelectParams();
    QStringList conds;
    const Row& r = m_rows[size_t(row)];
    for (int c : keyCols()) {
        const QString p = QStringLiteral("tessaly_k%1").arg(c);
        conds << QStringLiteral("tessaly_q.") + quoteIdent(m_cols[size_t(c)].name) +
                     QStringLiteral(" = :") + p;
        params.insert(p, rawParam(r.raw[size_t(c)], r.null[size_t(c)]));
    }
    const QString sql = QStringLiteral("SELECT * FROM (") + stripSemicolon(SelectSql()) +
                        QStringLiteral(") AS tessaly_q WHERE ") +
                        conds.join(QStringLiteral(" AND "));
    const auto rows = run(sql, params, nullptr);
    if (rows.empty())
        return false;
    Row fresh = rows.front();
    if (fresh.value.size() != m_cols.size())
        throw EVoskException(QStringLiteral("Die Spalten von %1 haben sich geändert; bitte neu "
                                            "öffnen.")
                                 .arg(Description()));
    m_rows[size_t(row)] = std::move(fresh);
    return true;
}

void TVoskClass::Delete() {
    requireModify();
    if (m_state == dsInsert) {
        Cancel();
        return;
    }
    if (m_rows.empty())
        throw EVoskException(QStringLiteral("Es ist kein Datensatz zum Löschen vorhanden."));
    if (m_state == dsEdit)
        Cancel();
    if (BeforeDelete)
        BeforeDelete(this);
    requireKey();
    QVariantMap params;
    const QString sql = QStringLiteral("DELETE FROM ") + quotedTable() +
                        whereAsRead(m_rows[size_t(m_cur)], params) + QStringLiteral(" RETURNING 1");
    try {
        WriteTransaction tx(Database());
        if (run(sql, params, nullptr).size() != 1)
            throw EVoskException(kChangedByOther);
        tx.Commit();
    } catch (const EVoskDatabaseError& e) {
        throwTranslated(e, QStringLiteral("Der Datensatz konnte nicht gelöscht werden (%1)")
                               .arg(Description()));
    }
    const int row = m_cur;
    emit AboutToRemoveRow(row);
    m_rows.erase(m_rows.begin() + row);
    emit RowRemoved(row);
    m_cur = qBound(0, row, qMax(0, RecordCount() - 1));
    m_eof = m_rows.empty();
    m_bof = m_cur == 0;
    emit CurrentChanged(CurrentRow());
    emit StateChanged();
    if (AfterDelete)
        AfterDelete(this);
}

void TVoskClass::Refresh(bool keepPosition, bool silent, int reserved) {
    Q_UNUSED(silent)
    Q_UNUSED(reserved)
    requireActive();
    checkBrowseMode();
    if (BeforeRefresh)
        BeforeRefresh(this);
    const QString key = HasKeyField() ? KeyText() : QString();
    const int oldCur = m_cur;
    reload();
    if (keepPosition && !m_rows.empty()) {
        int found = -1;
        if (!key.isEmpty() && HasKeyField())
            for (int r = 0; r < RecordCount() && found < 0; ++r) {
                QStringList parts;
                for (int c : keyCols())
                    parts << Value(r, c).toString();
                if (parts.join(u';') == key)
                    found = r;
            }
        m_cur = found >= 0 ? found : qMin(oldCur, RecordCount() - 1);
    }
    m_bof = m_cur == 0;
    m_eof = m_rows.empty();
    emit RowsReset();
    emit CurrentChanged(CurrentRow());
    emit StateChanged();
    if (AfterRefresh)
        AfterRefresh(this);
}

void TVoskClass::SortBy(int col, bool ascending) {
    SortByKeys({{col, ascending}});
}

void TVoskClass::SortByKeys(const QList<QPair<int, bool>>& keys) {
    requireActive();
    QList<QPair<int, bool>> valid;
    for (const auto& k : keys)
        if (k.first >= 0 && k.first < FieldCount())
            valid << k;
    if (valid.isEmpty())
        return;
    checkBrowseMode();
    const auto less = [](const QVariant& x, const QVariant& y) {
        if (x.isNull() || y.isNull())
            return x.isNull() && !y.isNull();
        if (x.typeId() == QMetaType::QString || y.typeId() == QMetaType::QString)
            return QString::localeAwareCompare(x.toString(), y.toString()) < 0;
        return QVariant::compare(x, y) == QPartialOrdering::Less;
    };
    std::vector<size_t> order(m_rows.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        for (const auto& k : valid) {
            const QVariant& x = m_rows[a].value[size_t(k.first)];
            const QVariant& y = m_rows[b].value[size_t(k.first)];
            if (less(x, y))
                return k.second;
            if (less(y, x))
                return !k.second;
        }
        return false;
    });
    emit AboutToReset();
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    int cur = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (int(order[i]) == m_cur)
            cur = int(i);
        sorted.push_back(std::move(m_rows[order[i]]));
    }
    m_rows = std::move(sorted);
    m_cur = cur;
    m_bof = m_cur == 0;
    m_eof = m_rows.empty();
    emit RowsReset();
    emit CurrentChanged(CurrentRow());
}

void TVoskClass::RefreshRecord() {
    requireActive();
    // A record being edited keeps the user's values; the activation refresh never asks then.
    if (InEdit() || m_rows.empty() || m_rows[size_t(m_cur)].fresh)
        return;
    const int row = m_cur;
    if (reReadRow(row)) {
        emit RowUpdated(row);
        return;
    }
    emit AboutToRemoveRow(row);
    m_rows.erase(m_rows.begin() + row);
    emit RowRemoved(row);
    m_cur = qBound(0, row, qMax(0, RecordCount() - 1));
    m_eof = m_rows.empty();
    m_bof = m_cur == 0;
    emit CurrentChanged(CurrentRow());
}

void TVoskClass::SetReadOnly(bool readOnly) {
    if (m_readOnly == readOnly)
        return;
    if (readOnly)
        Cancel();
    m_readOnly = readOnly;
    emit StateChanged();
}

void TVoskClass::SetEditFlag(bool editFlag) {
    if (m_editFlag == editFlag)
        return;
    if (!editFlag)
        Cancel();
    m_editFlag = editFlag;
    emit StateChanged();
}

TVoskClass* TVoskClass::MasterClass() const { return qobject_cast<TVoskClass*>(parent()); }

QList<TVoskClass*> TVoskClass::Children() const {
    return findChildren<TVoskClass*>(Qt::FindDirectChildrenOnly);
}

// ---------------------------------------------------------------------------------------------
// TVoskClass2

TVoskClass2::TVoskClass2(QObject* parent) : TVoskClass(parent) {}

QString TVoskClass2::SelectSql() const {
    return m_querySql.trimmed().isEmpty() ? TVoskClass::SelectSql() : stripSemicolon(m_querySql);
}

QStringList TVoskClass::DescribeFields() const {
    if (Active())
        return FieldNames();
    TVoskQuery2 q(&Database(), QStringLiteral("SELECT * FROM (") + stripSemicolon(SelectSql()) +
                                   QStringLiteral(") AS described LIMIT 0"));
    const QVariantMap params = SelectParams();
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        if (q.FindParam(it.key()))
            q.Bind(it.key(), it.value());
    q.Open();
    return q.FieldNames();
}
