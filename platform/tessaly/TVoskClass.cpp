#include "TVoskClass.h"

#include <SqlScanner.h>
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

QVariant rawParam(std::string_view raw, bool null) {
    return null ? QVariant() : QVariant(QString::fromUtf8(raw.data(), qsizetype(raw.size())));
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
    if (!Exists() || m_owner->IsEmpty())
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
    if (IsEmpty() || !HasKeyField())
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

void TVoskClass::readInto(TVoskRowStore& store, std::vector<Column>& cols, TVoskQuery2& q) {
    const PGresult* res = q.Result();
    const int nf = q.FieldCount();
    // Which result columns are columns of our table decides what Post writes: libpq names the
    // source table and column of each, so a join or a computed column stays read-only.
    std::shared_ptr<const TVoskTableInfo> table;
    if (!m_sqlTable.isEmpty())
        table = Database().TableInfo(quotedTable(), res);
    cols.clear();
    std::vector<TFieldType> types;
    types.reserve(size_t(nf));
    for (int c = 0; c < nf; ++c) {
        Column col;
        col.name = q.Fields(c).FieldName();
        if (const TVoskTableColumn* att = table ? table->ColumnOf(res, c) : nullptr;
            att && att->name == col.name) {
            col.sqlType = att->sqlType;
            col.hasDefault = att->hasDefault;
            col.category = att->category;
            col.integer = att->integer;
            col.size = att->size;
            col.writable = true;
        }
        types.push_back(FieldTypeOfOid(PQftype(res, c)));
        col.boolean = types.back() == TFieldType::Boolean;
        cols.push_back(col);
    }
    store.Reset(q.TakeResult(), std::move(types));
}

// Reads the whole result first, so a failing query leaves the rows shown so far in place.
void TVoskClass::reload(TVoskQuery2* open) {
    TVoskRowStore store;
    std::vector<Column> cols;
    if (open) {
        readInto(store, cols, *open);
    } else {
        TVoskQuery2 q(&Database(), SelectSql());
        const QVariantMap params = SelectParams();
        for (auto it = params.begin(); it != params.end(); ++it)
            if (TVoskParam* p = q.FindParam(it.key()))
                p->SetValue(it.value());
        q.Open();
        readInto(store, cols, q);
    }
    emit AboutToReset();
    m_store.Swap(store);
    m_cols = std::move(cols);
    m_cur = 0;
    m_hasBackup = false;
    m_readAt = ++s_readClock;
}

void TVoskClass::Open() { openOn(nullptr); }

void TVoskClass::OpenFrom(TVoskQuery2& open) { openOn(&open); }

void TVoskClass::openOn(TVoskQuery2* open) {
    if (Active())
        Close();
    reload(open);
    m_noRecord = false;
    m_bof = true;
    m_eof = m_store.Empty();
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
    m_store.Clear();
    m_hasBackup = false;
    m_cols.clear();
    m_changed.clear();
    m_cur = 0;
    m_noRecord = false;
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

void TVoskClass::CheckBrowseMode() {
    if (!InEdit())
        return;
    if (m_modified)
        Post();
    else
        Cancel();
}

void TVoskClass::SetShownRows(QObject* view, std::function<bool(int row)> shown) {
    const auto it = std::find_if(m_shownRows.begin(), m_shownRows.end(),
                                 [view](const ShownRowsView& v) { return v.view == view; });
    if (it != m_shownRows.end()) {
        // A view that keeps hiding rows keeps its place among the others.
        it->shown = std::move(shown);
    } else {
        m_shownRows.push_back({view, std::move(shown),
                               connect(view, &QObject::destroyed, this,
                                       [this, view] { ClearShownRows(view); })});
    }
    emit ShownRowsChanged();
}

void TVoskClass::ClearShownRows(QObject* view) {
    const auto it = std::find_if(m_shownRows.begin(), m_shownRows.end(),
                                 [view](const ShownRowsView& v) { return v.view == view; });
    if (it == m_shownRows.end())
        return;
    disconnect(it->gone);
    m_shownRows.erase(it);
    emit ShownRowsChanged();
}

void TVoskClass::moveTo(int row) {
    if (m_store.Empty())
        return;
    row = qBound(0, row, RecordCount() - 1);
    const bool moved = row != m_cur || m_noRecord;
    m_cur = row;
    m_noRecord = false;
    if (moved)
        emit CurrentChanged(m_cur);
}

void TVoskClass::SetRecNo(int recNo) {
    requireActive();
    CheckBrowseMode();
    moveTo(recNo - 1);
    m_bof = m_cur == 0;
    m_eof = m_store.Empty();
}

void TVoskClass::ClearCurrent() {
    requireActive();
    CheckBrowseMode();
    if (IsEmpty())
        return;
    m_noRecord = true;
    m_bof = m_eof = true;
    emit CurrentChanged(-1);
}

void TVoskClass::First() {
    requireActive();
    CheckBrowseMode();
    moveTo(0);
    m_bof = true;
    m_eof = m_store.Empty();
}

void TVoskClass::Last() {
    requireActive();
    CheckBrowseMode();
    moveTo(RecordCount() - 1);
    m_eof = true;
    m_bof = m_store.Empty();
}

void TVoskClass::Next() {
    requireActive();
    CheckBrowseMode();
    if (!m_noRecord && m_cur + 1 < RecordCount()) {
        moveTo(m_cur + 1);
        m_bof = false;
        m_eof = false;
    } else {
        m_eof = true;
    }
}

void TVoskClass::Prior() {
    requireActive();
    CheckBrowseMode();
    if (!m_noRecord && m_cur > 0) {
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
    CheckBrowseMode();
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
    return m_store.Value(m_store.At(row), col);
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
    return CanModify() && FieldWritable(col) && !FieldServerFilled(col) && !FieldReadOnly(col);
}

void TVoskClass::SetFieldReadOnly(const QString& field, bool readOnly) {
    if (readOnly)
        m_readOnlyFields.insert(field.toLower());
    else
        m_readOnlyFields.remove(field.toLower());
}

bool TVoskClass::FieldReadOnly(int col) const {
    return !m_readOnlyFields.isEmpty() && col >= 0 && col < FieldCount() &&
           m_readOnlyFields.contains(m_cols[size_t(col)].name.toLower());
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
    const Handle h = m_store.At(m_cur);
    const QVariant cell = m_store.Value(h, col);
    if (cell.isNull() == v.isNull() && cell == v)
        return;
    m_store.SetValue(h, col, v);
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
    if (IsEmpty()) {
        Append();
        return;
    }
    if (BeforeEdit)
        BeforeEdit(this);
    m_backup = m_store.At(m_cur);
    m_hasBackup = true;
    m_store.Replace(m_cur, m_store.CopyRow(m_backup));
    m_changed.assign(m_cols.size(), false);
    m_modified = false;
    setState(dsEdit);
    if (AfterEdit)
        AfterEdit(this);
}

void TVoskClass::startInsert(int at) {
    requireModify();
    CheckBrowseMode();
    if (BeforeInsert) {
        // The event may move the cursor: an inserted record goes where the cursor then stands.
        const bool append = at >= RecordCount() && at > 0;
        BeforeInsert(this);
        at = append ? RecordCount() : (m_store.Empty() ? 0 : m_cur);
    }
    at = qBound(0, at, RecordCount());
    m_insertFrom = m_store.Empty() ? 0 : m_noRecord ? -1 : m_cur;
    m_noRecord = false;
    emit AboutToInsertRow(at);
    m_store.Insert(at, m_store.NewRow());
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

void TVoskClass::Insert() { startInsert(m_store.Empty() ? 0 : m_cur); }

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
        m_store.Release(m_store.Take(row));
        emit RowRemoved(row);
        // Back on the record the user was on before the new one; the rows after the new one
        // have moved back to where they were.
        m_cur = qBound(0, m_insertFrom, qMax(0, RecordCount() - 1));
        m_eof = m_store.Empty();
        m_bof = m_cur == 0;
        if (m_insertFrom < 0 && !m_store.Empty()) {
            m_noRecord = true;
            m_bof = m_eof = true;
        }
        emit CurrentChanged(CurrentRow());
        emit StateChanged();
        return;
    }
    if (m_hasBackup) {
        m_store.Release(m_store.At(row));
        m_store.Replace(row, m_backup);
        m_hasBackup = false;
    }
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
        // Nothing changed: the row as read takes the copy's place again.
        if (m_hasBackup) {
            m_store.Release(m_store.At(m_cur));
            m_store.Replace(m_cur, m_backup);
            m_hasBackup = false;
        }
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
    dropBackup();
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
    if (!m_store.Empty() && m_changed.size() == m_cols.size()) {
        const Handle row = m_store.At(m_cur);
        for (size_t c = 0; c < m_cols.size() && ctx.column.isEmpty(); ++c) {
            if (!m_changed[c] || m_store.IsNull(row, int(c)))
                continue;
            const QString text = m_store.Value(row, int(c)).toString();
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

void TVoskClass::dropBackup() {
    if (m_hasBackup)
        m_store.Release(m_backup);
    m_hasBackup = false;
}

// Conditions that find the row as it was read: the key by equality, every other column of the
// table NULL-safe by its text, so that any change by someone else makes the row miss. The value as
// read goes through the column's type first, so both sides are in the server's text form, and
// types without an equality operator (json) compare too.
QString TVoskClass::whereAsRead(Handle asRead, QVariantMap& params) const {
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
        params.insert(p, rawParam(m_store.Raw(asRead, int(c)), m_store.RawNull(asRead, int(c))));
    }
    return QStringLiteral(" WHERE ") + conds.join(QStringLiteral(" AND "));
}

void TVoskClass::requireKey() const {
    if (!HasKeyField())
        throw EVoskException(QStringLiteral("Die Datenklasse %1 hat kein Schlüsselfeld (%2)")
                                 .arg(Description(), m_keyFields));
}

TVoskClass::Result TVoskClass::run(const QString& sql, const QVariantMap& params) {
    TVoskQuery2 q(&Database(), sql);
    for (auto it = params.begin(); it != params.end(); ++it)
        if (TVoskParam* p = q.FindParam(it.key()))
            p->SetValue(it.value());
    q.Open();
    return Result(q.TakeResult());
}

void TVoskClass::postUpdate() {
    requireKey();
    const Handle row = m_store.At(m_cur);
    QStringList sets;
    QVariantMap params;
    for (size_t c = 0; c < m_cols.size(); ++c)
        if (m_changed[c] && m_cols[c].writable) {
            const QString p = QStringLiteral("s%1").arg(c);
            sets << quoteIdent(m_cols[c].name) + QStringLiteral(" = :") + p;
            params.insert(p, m_store.Value(row, int(c)));
        }
    if (sets.isEmpty())
        return;
    const QString sql = QStringLiteral("UPDATE ") + quotedTable() + QStringLiteral(" SET ") +
                        sets.join(QStringLiteral(", ")) + whereAsRead(m_backup, params) +
                        QStringLiteral(" RETURNING *");
    WriteTransaction tx(Database());
    const Result returned = run(sql, params);
    if (PQntuples(returned.get()) != 1)
        throw EVoskException(kChangedByOther);
    tx.Commit();
    applyReturned(m_cur, returned.get());
}

void TVoskClass::postInsert() {
    if (m_sqlTable.isEmpty())
        throw EVoskException(QStringLiteral("Die Datenklasse %1 hat keine Tabelle").arg(objectName()));
    const Handle row = m_store.At(m_cur);
    QStringList cols, values;
    QVariantMap params;
    // Only the columns the user set, so that the table's defaults fill the rest.
    for (size_t c = 0; c < m_cols.size(); ++c)
        if (m_changed[c] && m_cols[c].writable) {
            const QString p = QStringLiteral("v%1").arg(c);
            cols << quoteIdent(m_cols[c].name);
            values << u':' + p;
            params.insert(p, m_store.Value(row, int(c)));
        }
    QString sql = QStringLiteral("INSERT INTO ") + quotedTable();
    if (cols.isEmpty())
        sql += QStringLiteral(" DEFAULT VALUES");
    else
        sql += QStringLiteral(" (") + cols.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
               values.join(QStringLiteral(", ")) + u')';
    sql += QStringLiteral(" RETURNING *");
    WriteTransaction tx(Database());
    const Result returned = run(sql, params);
    // A trigger that returns NULL drops the row without an error.
    if (PQntuples(returned.get()) != 1)
        throw EVoskException(QStringLiteral("Der Datensatz wurde nicht gespeichert: die "
                                            "Datenbank hat ihn verworfen (%1)")
                                 .arg(Description()));
    tx.Commit();
    applyReturned(m_cur, returned.get());
}

void TVoskClass::applyReturned(int row, const PGresult* returned) {
    const Handle h = m_store.At(row);
    QHash<QString, int> names;
    for (int i = PQnfields(returned) - 1; i >= 0; --i)
        names.insert(QString::fromUtf8(PQfname(returned, i)), i);
    bool allColumns = true;
    for (size_t c = 0; c < m_cols.size(); ++c) {
        const int i = m_cols[c].writable ? names.value(m_cols[c].name, -1) : -1;
        if (i < 0) {
            allColumns = false;
            continue;
        }
        m_store.SetFromResult(h, int(c), returned, 0, i);
    }
    m_store.SetFresh(h, false);
    // Columns from joins or expressions are only known to the class's own query.
    if (!allColumns)
        reReadRow(row);
}

bool TVoskClass::reReadRow(int row) {
    requireKey();
    QVariantMap params = SelectParams();
    QStringList conds;
    const Handle h = m_store.At(row);
    for (int c : keyCols()) {
        const QString p = QStringLiteral("tessaly_k%1").arg(c);
        conds << QStringLiteral("tessaly_q.") + quoteIdent(m_cols[size_t(c)].name) +
                     QStringLiteral(" = :") + p;
        params.insert(p, rawParam(m_store.Raw(h, c), m_store.RawNull(h, c)));
    }
    const QString sql = QStringLiteral("SELECT * FROM (") + stripSemicolon(SelectSql()) +
                        QStringLiteral(") AS tessaly_q WHERE ") +
                        conds.join(QStringLiteral(" AND "));
    const Result fresh = run(sql, params);
    if (PQntuples(fresh.get()) == 0)
        return false;
    if (PQnfields(fresh.get()) != int(m_cols.size()))
        throw EVoskException(QStringLiteral("Die Spalten von %1 haben sich geändert; bitte neu "
                                            "öffnen.")
                                 .arg(Description()));
    std::vector<int> colOf(m_cols.size());
    for (size_t c = 0; c < colOf.size(); ++c)
        colOf[c] = int(c);
    m_store.Replace(row, m_store.RowFromResult(fresh.get(), 0, colOf));
    m_store.Release(h);
    return true;
}

void TVoskClass::Delete() {
    requireModify();
    if (m_state == dsInsert) {
        Cancel();
        return;
    }
    if (IsEmpty())
        throw EVoskException(QStringLiteral("Es ist kein Datensatz zum Löschen vorhanden."));
    if (m_state == dsEdit)
        Cancel();
    if (BeforeDelete)
        BeforeDelete(this);
    requireKey();
    QVariantMap params;
    const QString sql = QStringLiteral("DELETE FROM ") + quotedTable() +
                        whereAsRead(m_store.At(m_cur), params) + QStringLiteral(" RETURNING 1");
    try {
        WriteTransaction tx(Database());
        if (PQntuples(run(sql, params).get()) != 1)
            throw EVoskException(kChangedByOther);
        tx.Commit();
    } catch (const EVoskDatabaseError& e) {
        throwTranslated(e, QStringLiteral("Der Datensatz konnte nicht gelöscht werden (%1)")
                               .arg(Description()));
    }
    const int row = m_cur;
    emit AboutToRemoveRow(row);
    m_store.Release(m_store.Take(row));
    emit RowRemoved(row);
    m_cur = qBound(0, row, qMax(0, RecordCount() - 1));
    m_eof = m_store.Empty();
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
    CheckBrowseMode();
    if (BeforeRefresh)
        BeforeRefresh(this);
    // The key as the server wrote it; the rows read again are compared by their text.
    std::vector<QByteArray> key;
    bool anyKey = false;
    if (HasKeyField() && !IsEmpty()) {
        const Handle h = m_store.At(m_cur);
        for (int c : keyCols()) {
            const std::string_view raw = m_store.Raw(h, c);
            key.emplace_back(raw.data(), qsizetype(raw.size()));
            anyKey = anyKey || !raw.empty();
        }
    }
    const int oldCur = m_cur;
    reload();
    if (keepPosition && !m_store.Empty()) {
        int found = -1;
        if (anyKey && HasKeyField()) {
            const std::vector<int> cols = keyCols();
            for (int r = 0; r < RecordCount() && found < 0; ++r) {
                const Handle h = m_store.At(r);
                bool same = true;
                for (size_t k = 0; k < cols.size() && same; ++k)
                    same = m_store.Raw(h, cols[k]) == std::string_view(key[k].constData(),
                                                                       size_t(key[k].size()));
                if (same)
                    found = r;
            }
        }
        m_cur = found >= 0 ? found : qMin(oldCur, RecordCount() - 1);
    }
    if (!keepPosition)
        m_noRecord = false;
    m_bof = m_cur == 0 || m_noRecord;
    m_eof = m_store.Empty() || m_noRecord;
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
    CheckBrowseMode();
    const auto less = [](const QVariant& x, const QVariant& y) {
        if (x.isNull() || y.isNull())
            return x.isNull() && !y.isNull();
        if (x.typeId() == QMetaType::QString || y.typeId() == QMetaType::QString)
            return QString::localeAwareCompare(x.toString(), y.toString()) < 0;
        return QVariant::compare(x, y) == QPartialOrdering::Less;
    };
    // Each key decoded once, not once a comparison.
    const int n = RecordCount();
    std::vector<std::vector<QVariant>> decoded(size_t(valid.size()));
    for (qsizetype k = 0; k < valid.size(); ++k) {
        decoded[size_t(k)].reserve(size_t(n));
        for (int r = 0; r < n; ++r)
            decoded[size_t(k)].push_back(Value(r, valid[k].first));
    }
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        order[size_t(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        for (qsizetype k = 0; k < valid.size(); ++k) {
            const QVariant& x = decoded[size_t(k)][size_t(a)];
            const QVariant& y = decoded[size_t(k)][size_t(b)];
            if (less(x, y))
                return valid[k].second;
            if (less(y, x))
                return !valid[k].second;
        }
        return false;
    });
    emit AboutToReset();
    int cur = 0;
    for (int i = 0; i < n; ++i)
        if (order[size_t(i)] == m_cur)
            cur = i;
    m_store.Reorder(order);
    m_cur = cur;
    m_bof = m_cur == 0 || m_noRecord;
    m_eof = m_store.Empty() || m_noRecord;
    emit RowsReset();
    emit CurrentChanged(CurrentRow());
}

void TVoskClass::RefreshRecord() {
    requireActive();
    // A record being edited keeps the user's values; the activation refresh never asks then.
    if (InEdit() || IsEmpty() || m_store.Fresh(m_store.At(m_cur)))
        return;
    const int row = m_cur;
    if (reReadRow(row)) {
        emit RowUpdated(row);
        return;
    }
    emit AboutToRemoveRow(row);
    m_store.Release(m_store.Take(row));
    emit RowRemoved(row);
    m_cur = qBound(0, row, qMax(0, RecordCount() - 1));
    m_eof = m_store.Empty();
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

bool TVoskClass2::SearchEnabled(const QVariantList& values, int /*options*/) {
    const QStringList names = Dunmere::RewriteParams(SelectSql()).paramNames;
    for (int i = 0; i < names.size(); ++i)
        m_params.insert(names[i], i < values.size() ? values[i] : QVariant());
    Open();
    return !IsEmpty();
}

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
