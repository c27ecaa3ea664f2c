#include "VoskQuery2.h"

#include "SqlScanner.h"
#include "UDM1.h"
#include "VoskBoundParams.h"

#include <StrUtils.h>

#include <charconv>
#include <cstring>

namespace {

QString fieldTypeName(TFieldType t) {
    switch (t) {
    case TFieldType::SmallInt:
    case TFieldType::Integer:
    case TFieldType::LargeInt:
        return QStringLiteral("Ganzzahl");
    case TFieldType::Float:
    case TFieldType::Numeric:
        return QStringLiteral("Gleitkommazahl");
    case TFieldType::Boolean:
        return QStringLiteral("Wahrheitswert");
    case TFieldType::Date:
        return QStringLiteral("Datum");
    case TFieldType::DateTime:
    case TFieldType::DateTimeTz:
        return QStringLiteral("Zeitpunkt");
    default:
        return QStringLiteral("Wert");
    }
}

[[noreturn]] void convertError(const QString& field, std::string_view s, TFieldType wanted) {
    throw EConvertError(QStringLiteral("\"%1\" ist kein gültiger Wert vom Typ %2 (Feld %3)")
                            .arg(QString::fromUtf8(s.data(), qsizetype(s.size())),
                                 fieldTypeName(wanted), field));
}

} // namespace

// ---- TVoskField --------------------------------------------------------------------------------

QString TVoskField::FieldName() const { return Exists() ? m_query->m_cols[m_col].name : QString(); }
TFieldType TVoskField::DataType() const {
    return Exists() ? m_query->m_cols[m_col].type : TFieldType::Unknown;
}
Oid TVoskField::TypeOid() const { return Exists() ? m_query->m_cols[m_col].oid : 0; }

bool TVoskField::IsNull() const {
    return !Exists() || m_query->IsNullAt(m_query->m_row, m_col);
}

std::string_view TVoskField::Raw() const {
    return Exists() ? m_query->RawAt(m_query->m_row, m_col) : std::string_view();
}

QVariant TVoskField::Value() const {
    return Exists() ? m_query->ValueAt(m_query->m_row, m_col) : QVariant();
}

QString TVoskField::AsString() const {
    if (IsNull())
        return {};
    const auto s = Raw();
    switch (DataType()) {
    case TFieldType::Boolean:
        return Rtl::BoolToStr(s == "t");
    case TFieldType::Bytes:
        return QString::fromUtf8(Dunmere::ByteaFromText(s));
    default:
        return QString::fromUtf8(s.data(), qsizetype(s.size()));
    }
}

qint64 TVoskField::AsLargeInt() const {
    if (IsNull())
        return 0;
    const auto s = Raw();
    const TFieldType t = DataType();
    if (t == TFieldType::Boolean)
        return s == "t" ? 1 : 0;
    qint64 v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec == std::errc() && r.ptr == s.data() + s.size())
        return v;
    if (t == TFieldType::Float || t == TFieldType::Numeric)
        return qRound64(AsFloat());
    bool ok = false;
    const qint64 w = QString::fromUtf8(s.data(), qsizetype(s.size())).trimmed().toLongLong(&ok);
    if (!ok)
        convertError(FieldName(), s, TFieldType::LargeInt);
    return w;
}

double TVoskField::AsFloat() const {
    if (IsNull())
        return 0;
    const auto s = Raw();
    if (DataType() == TFieldType::Boolean)
        return s == "t" ? 1 : 0;
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec == std::errc() && r.ptr == s.data() + s.size())
        return v;
    bool ok = false;
    const double w = QString::fromUtf8(s.data(), qsizetype(s.size())).trimmed().toDouble(&ok);
    if (!ok)
        convertError(FieldName(), s, TFieldType::Float);
    return w;
}

bool TVoskField::AsBoolean() const {
    if (IsNull())
        return false;
    const auto s = Raw();
    switch (DataType()) {
    case TFieldType::Boolean:
        return s == "t";
    case TFieldType::SmallInt:
    case TFieldType::Integer:
    case TFieldType::LargeInt:
    case TFieldType::Float:
    case TFieldType::Numeric:
        return AsFloat() != 0;
    default:
        return Rtl::StrToBoolDef(AsString(), false);
    }
}

QDate TVoskField::AsDate() const {
    if (IsNull())
        return {};
    const QVariant v = Value();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().date();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate();
    // Text columns may hold a timestamp; its leading date is the answer.
    QDate d;
    if (!Dunmere::ParsePgDate(Raw().substr(0, 10), &d))
        convertError(FieldName(), Raw(), TFieldType::Date);
    return d;
}

QDateTime TVoskField::AsDateTime() const {
    if (IsNull())
        return {};
    const QVariant v = Value();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().startOfDay();
    QDate d;
    int ms = 0;
    if (Dunmere::ParsePgTimestamp(Raw(), &d, &ms))
        return QDateTime(d, QTime::fromMSecsSinceStartOfDay(ms));
    // A timestamptz cast to text keeps its offset, which must count.
    qint64 utc = 0;
    if (!Dunmere::ParsePgTimestampTzUtc(Raw(), &utc))
        convertError(FieldName(), Raw(), TFieldType::DateTime);
    return QDateTime::fromMSecsSinceEpoch(utc, Qt::LocalTime);
}

// ---- Dunmere::BoundParams ---------------------------------------------------------------------

namespace {
// The parameters every statement gets from the session when its caller left them unset.
enum SessionParam { spNone = -1, spLang, spLangC, spTimestamp, spSessId };

SessionParam SessionParamOf(const QString& name) {
    static const char* const names[] = {"LANG", "LANGC", "timestamp", "sessid"};
    for (int i = 0; i < 4; ++i)
        if (name.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0)
            return SessionParam(i);
    return spNone;
}
} // namespace

bool Dunmere::IsSessionParam(const QString& name) {
    return SessionParamOf(name) != spNone;
}

QVariant Dunmere::SessionParamValue(const QString& name, TVoskDatabase& db) {
    const int language = DM1() ? DM1()->Language() : 0;
    switch (SessionParamOf(name)) {
    case spLang:
        return language;
    case spLangC:
        return language == 3 ? QStringLiteral("E") : QStringLiteral("D");
    case spTimestamp:
        return QDateTime::currentDateTime();
    case spSessId:
        return db.Connected() ? QVariant(PQbackendPID(db.Handle())) : QVariant();
    case spNone:
        break;
    }
    return {};
}

Dunmere::BoundParams::BoundParams(const std::vector<std::unique_ptr<TVoskParam>>& params,
                                  std::vector<QByteArray>& bufs, const QByteArray& sql,
                                  const QString& context, TVoskDatabase& db)
    : m_count(int(params.size())) {
    const size_t n = params.size();
    bufs.resize(n);
    if (n > kStack) {
        m_valuesH.resize(n);
        m_lengthsH.resize(n);
        m_formatsH.resize(n);
        m_typesH.resize(n);
        m_values = m_valuesH.data();
        m_lengths = m_lengthsH.data();
        m_formats = m_formatsH.data();
        m_types = m_typesH.data();
    }
    for (size_t i = 0; i < n; ++i) {
        const TVoskParam& p = *params[i];
        const bool session = !p.Bound() && IsSessionParam(p.Name());
        if (!p.Bound() && !session)
            throw EVoskDatabaseError(
                QStringLiteral("Der Parameter \":%1\" hat keinen Wert%2").arg(p.Name(), context),
                {}, {}, 0, QString::fromUtf8(sql));
        if (ParamText(session ? SessionParamValue(p.Name(), db) : p.Value(), bufs[i], m_types[i],
                      m_formats[i])) {
            m_values[i] = bufs[i].constData();
            m_lengths[i] = int(bufs[i].size());
        } else {
            m_values[i] = nullptr;
            m_lengths[i] = 0;
        }
    }
}

// ---- TVoskQuery2 -------------------------------------------------------------------------------

TVoskQuery2::TVoskQuery2(TVoskDatabase* db) : m_db(db) {}

TVoskQuery2::TVoskQuery2(TVoskDatabase* db, const QString& sql) : m_db(db) { SetSQL(sql); }

TVoskQuery2::~TVoskQuery2() { Close(); }

TVoskDatabase& TVoskQuery2::Database() const {
    if (m_db)
        return *m_db;
    if (TDM1* dm = DM1(); dm && dm->Database().Revive())
        return dm->Database();
    throw EVoskDatabaseError(QStringLiteral("Keine Datenbankverbindung"));
}

void TVoskQuery2::SetSQL(const QString& sql) {
    Close();
    m_sql = sql;
    m_key.clear();
    std::vector<std::unique_ptr<TVoskMacro>> macros;
    for (const QString& name : Dunmere::MacroNames(sql)) {
        std::unique_ptr<TVoskMacro> m;
        for (auto& old : m_macros)
            if (old && old->Name().compare(name, Qt::CaseInsensitive) == 0)
                m = std::move(old);
        macros.push_back(m ? std::move(m) : std::make_unique<TVoskMacro>(name));
    }
    m_macros = std::move(macros);
    m_dirty = true;
    prepare();
}

void TVoskQuery2::SetSQLByKey(const QString& key) {
    const QString sql = Database().StandardSQL_Get(key);
    SetSQL(sql);
    m_key = key;
}

void TVoskQuery2::prepare() const {
    if (!m_dirty)
        return;
    const QString expanded = ExpandedSQL();
    Dunmere::RewrittenSql rw = Dunmere::RewriteParams(expanded);
    std::vector<std::unique_ptr<TVoskParam>> params;
    params.reserve(rw.paramNames.size());
    for (const QString& name : rw.paramNames) {
        std::unique_ptr<TVoskParam> p;
        for (auto& old : m_params)
            if (old && old->Name().compare(name, Qt::CaseInsensitive) == 0)
                p = std::move(old);
        params.push_back(p ? std::move(p) : std::make_unique<TVoskParam>(name));
    }
    m_params = std::move(params);
    m_sent = std::move(rw.text);
    m_dirty = false;
}

QString TVoskQuery2::ExpandedSQL() const {
    if (m_macros.empty())
        return m_sql;
    return Dunmere::ExpandMacros(m_sql, [this](const QString& name) {
        for (const auto& m : m_macros)
            if (m->Name().compare(name, Qt::CaseInsensitive) == 0)
                return m->Value();
        return QString();
    });
}

QByteArray TVoskQuery2::SentSQL() const {
    prepare();
    return m_sent;
}

int TVoskQuery2::ParamCount() const {
    prepare();
    return int(m_params.size());
}

QStringList TVoskQuery2::ParamNames() const {
    prepare();
    QStringList names;
    for (const auto& p : m_params)
        names << p->Name();
    return names;
}

TVoskParam* TVoskQuery2::FindParam(const QString& name) {
    prepare();
    for (const auto& p : m_params)
        if (p->Name().compare(name, Qt::CaseInsensitive) == 0)
            return p.get();
    return nullptr;
}

TVoskParam& TVoskQuery2::ParamByName(const QString& name) {
    if (TVoskParam* p = FindParam(name))
        return *p;
    throw EVoskDatabaseError(
        QStringLiteral("Parameter \"%1\" nicht gefunden%2").arg(name, context()));
}

TVoskQuery2& TVoskQuery2::Bind(const QString& name, const QVariant& value) {
    ParamByName(name).SetValue(value);
    return *this;
}

QStringList TVoskQuery2::ParamsAsList() const {
    prepare();
    QStringList lines;
    for (const auto& p : m_params)
        lines << p->Name() + u'=' + (p->IsNull() ? QStringLiteral("NULL") : p->Value().toString());
    return lines;
}

QStringList TVoskQuery2::MacroNames() const {
    QStringList names;
    for (const auto& m : m_macros)
        names << m->Name();
    return names;
}

TVoskMacro* TVoskQuery2::FindMacro(const QString& name) {
    for (const auto& m : m_macros)
        if (m->Name().compare(name, Qt::CaseInsensitive) == 0)
            return m.get();
    return nullptr;
}

TVoskMacro& TVoskQuery2::MacroByName(const QString& name) {
    if (TVoskMacro* m = FindMacro(name))
        return *m;
    throw EVoskDatabaseError(QStringLiteral("Makro \"%1\" nicht gefunden%2").arg(name, context()));
}

void TVoskQuery2::SetMacro(const QString& name, const QString& sqlText) {
    TVoskMacro& m = MacroByName(name);
    if (m.m_value == sqlText)
        return;
    Close();
    m.m_value = sqlText;
    m_dirty = true;
}

void TVoskQuery2::SetMacroIdentifier(const QString& name, const QString& identifier) {
    QString quoted = identifier;
    quoted.replace(u'"', QStringLiteral("\"\""));
    SetMacro(name, u'"' + quoted + u'"');
}

QString TVoskQuery2::context() const {
    return m_key.isEmpty() ? QString() : QStringLiteral(" (benannte SQL \"%1\")").arg(m_key);
}

TVoskDatabase& TVoskQuery2::preparedOn() {
    TVoskDatabase& db = Database();
    if (!db.Revive())
        throw EVoskDatabaseError(QStringLiteral("Keine Datenbankverbindung%1").arg(context()));
    prepare();
    return db;
}

PGresult* TVoskQuery2::run() {
    TVoskDatabase& db = preparedOn();
    const Dunmere::BoundParams params(m_params, m_bufs, m_sent, context(), db);
    if (m_prepared)
        return db.ExecPrepared(m_sent, params.Count(), params.Types(), params.Values(),
                               params.Lengths(), params.Formats(), context().trimmed());
    PGresult* res = nullptr;
    for (int attempt = 0;; ++attempt) {
        const bool idle = db.Idle();
        db.CountRoundTrip();
        res = PQexecParams(db.Handle(), m_sent.constData(), params.Count(), params.Types(),
                           params.Values(), params.Lengths(), params.Formats(), 0);
        if (attempt > 0 || !db.ResendAfterReset(res, idle))
            break;
    }
    return db.Check(res, m_sent, context().trimmed());
}

void TVoskQuery2::Open() {
    Close();
    adopt(run());
}

void TVoskQuery2::adopt(PGresult* res) {
    Close();
    m_res = res;
    const int nf = PQnfields(res);
    m_cols.resize(size_t(nf));
    for (int i = 0; i < nf; ++i) {
        Column& c = m_cols[size_t(i)];
        c.name = QString::fromUtf8(PQfname(res, i));
        c.oid = PQftype(res, i);
        c.type = FieldTypeOfOid(c.oid);
    }
    m_rows = PQntuples(res);
    m_row = 0;
    m_eof = m_rows == 0;
    m_bof = true;
}

void TVoskQuery2::Close() {
    if (m_res)
        PQclear(m_res);
    m_res = nullptr;
    m_cols.clear();
    m_rows = 0;
    m_row = 0;
    m_eof = true;
    m_bof = true;
}

PGresult* TVoskQuery2::TakeResult() {
    PGresult* res = m_res;
    m_res = nullptr;
    Close();
    return res;
}

int TVoskQuery2::ExecSQL() {
    Close();
    PGresult* res = run();
    const int affected = std::atoi(PQcmdTuples(res));
    PQclear(res);
    return affected;
}

void TVoskQuery2::SetRecNo(int recNo) {
    if (m_rows == 0)
        return;
    m_row = qBound(0, recNo - 1, m_rows - 1);
    m_eof = false;
    m_bof = m_row == 0;
}

void TVoskQuery2::First() {
    m_row = 0;
    m_eof = m_rows == 0;
    m_bof = true;
}

void TVoskQuery2::Last() {
    m_row = m_rows > 0 ? m_rows - 1 : 0;
    m_eof = m_rows == 0;
    m_bof = m_rows == 0;
}

void TVoskQuery2::Next() {
    m_bof = false;
    if (m_row + 1 < m_rows)
        ++m_row;
    else
        m_eof = true;
}

void TVoskQuery2::Prior() {
    m_eof = m_rows == 0;
    if (m_row > 0)
        --m_row;
    else
        m_bof = true;
}

QStringList TVoskQuery2::FieldNames() const {
    QStringList names;
    for (const auto& c : m_cols)
        names << c.name;
    return names;
}

int TVoskQuery2::FieldIndex(const QString& name) const {
    for (size_t i = 0; i < m_cols.size(); ++i)
        if (m_cols[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

TVoskField TVoskQuery2::FindField(const QString& name) const {
    const int i = FieldIndex(name);
    return i < 0 ? TVoskField() : TVoskField(this, i);
}

TVoskField TVoskQuery2::FieldByName(const QString& name) const {
    const int i = FieldIndex(name);
    if (i < 0)
        throw EVoskDatabaseError(QStringLiteral("Feld \"%1\" nicht gefunden%2").arg(name, context()));
    return TVoskField(this, i);
}

TVoskField TVoskQuery2::Fields(int index) const {
    if (index < 0 || index >= FieldCount())
        throw ERangeError(QStringLiteral("Feldindex %1 außerhalb des gültigen Bereichs").arg(index));
    return TVoskField(this, index);
}

std::string_view TVoskQuery2::RawAt(int row, int col) const {
    if (!m_res || row < 0 || row >= m_rows || PQgetisnull(m_res, row, col))
        return {};
    return {PQgetvalue(m_res, row, col), size_t(PQgetlength(m_res, row, col))};
}

bool TVoskQuery2::IsNullAt(int row, int col) const {
    return !m_res || row < 0 || row >= m_rows || PQgetisnull(m_res, row, col);
}

QVariant TVoskQuery2::ValueAt(int row, int col) const {
    if (IsNullAt(row, col))
        return {};
    return Dunmere::VariantFromText(RawAt(row, col), m_cols[size_t(col)].type);
}

bool TVoskQuery2::Locate(const QString& keyFields, const QVariantList& values,
                         bool caseInsensitive, bool partialKey) {
    const QStringList names = keyFields.split(u';', Qt::SkipEmptyParts);
    if (names.size() != values.size())
        throw EVoskDatabaseError(
            QStringLiteral("Locate: %1 Felder, aber %2 Werte").arg(names.size()).arg(values.size()));
    std::vector<int> cols;
    for (const QString& n : names)
        cols.push_back(FieldByName(n.trimmed()).Index());
    // Values are compared as the server's text, numbers numerically; done once, not per row.
    std::vector<QString> wanted(cols.size());
    std::vector<bool> numeric(cols.size());
    for (size_t k = 0; k < cols.size(); ++k) {
        const TFieldType t = m_cols[size_t(cols[k])].type;
        numeric[k] = t == TFieldType::SmallInt || t == TFieldType::Integer ||
                     t == TFieldType::LargeInt || t == TFieldType::Float ||
                     t == TFieldType::Numeric;
        const QVariant& v = values[qsizetype(k)];
        if (t == TFieldType::Boolean && !v.isNull())
            wanted[k] = Rtl::StrToBoolDef(v.toString(), false) ? QStringLiteral("t")
                                                                : QStringLiteral("f");
        else
            wanted[k] = v.toString();
    }
    const Qt::CaseSensitivity cs = caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (int row = 0; row < m_rows; ++row) {
        bool match = true;
        for (size_t k = 0; k < cols.size() && match; ++k) {
            const QVariant& v = values[qsizetype(k)];
            const int col = cols[k];
            if (v.isNull() || IsNullAt(row, col)) {
                match = v.isNull() && IsNullAt(row, col);
                continue;
            }
            const auto raw = RawAt(row, col);
            if (numeric[k]) {
                double a = 0;
                std::from_chars(raw.data(), raw.data() + raw.size(), a);
                bool ok = false;
                const double b = v.toDouble(&ok);
                match = ok && a == b;
                continue;
            }
            const QString s = QString::fromUtf8(raw.data(), qsizetype(raw.size()));
            match = partialKey ? s.startsWith(wanted[k], cs) : s.compare(wanted[k], cs) == 0;
        }
        if (match) {
            SetRecNo(row + 1);
            return true;
        }
    }
    return false;
}
