#pragma once
// The query class of the database layer: SQL with ":name" parameters (bound as $n, never spliced)
// and "&name" macros (raw SQL text set from code only), a row cursor over the result and typed
// field access. Runs on a TVoskDatabase; without one it uses the data module's connection.

#include "VoskDatabase.h"
#include "VoskTextValue.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <string_view>
#include <vector>

class TVoskQuery2;
class TVoskRowStream;
class TVoskChunkStream;

class TVoskParam final {
public:
    explicit TVoskParam(QString name) : m_name(std::move(name)) {}
    const QString& Name() const { return m_name; }

    // An explicit null counts as a value; only a parameter never set is missing.
    void SetValue(const QVariant& value) { m_value = value; m_bound = true; }
    TVoskParam& operator=(const QVariant& value) { SetValue(value); return *this; }
    void SetAsString(const QString& v) { SetValue(v); }
    void SetAsInteger(qint64 v) { SetValue(v); }
    void SetAsFloat(double v) { SetValue(v); }
    void SetAsBoolean(bool v) { SetValue(v); }
    void SetAsDate(const QDate& v) { SetValue(v); }
    void SetAsDateTime(const QDateTime& v) { SetValue(v); }
    void SetNull() { SetValue(QVariant()); }
    void Unbind() { m_value = QVariant(); m_bound = false; }

    const QVariant& Value() const { return m_value; }
    bool IsNull() const { return m_value.isNull(); }
    bool Bound() const { return m_bound; }

private:
    QString m_name;
    QVariant m_value;
    bool m_bound = false;
};

namespace Dunmere {
// The parameters every query fills itself when the caller leaves them unset (names without case):
// LANG (the session's language number, 0 German, 3 English), LANGC ("D" or "E"), timestamp (now)
// and sessid (the server process of the query's connection). A value the caller binds wins.
bool IsSessionParam(const QString& name);
QVariant SessionParamValue(const QString& name, TVoskDatabase& db);
} // namespace Dunmere

class TVoskMacro final {
public:
    explicit TVoskMacro(QString name) : m_name(std::move(name)) {}
    const QString& Name() const { return m_name; }
    const QString& Value() const { return m_value; }

private:
    friend class TVoskQuery2;
    QString m_name;
    QString m_value;
};

// A column of the open result, read at the query's current row. Cheap to copy; keep it across
// Next() in loops instead of looking the name up per row.
class TVoskField final {
public:
    TVoskField() = default;
    bool Exists() const { return m_query && m_col >= 0; }
    int Index() const { return m_col; }
    QString FieldName() const;
    TFieldType DataType() const;
    Oid TypeOid() const;

    bool IsNull() const;
    QVariant Value() const;
    QVariant AsVariant() const { return Value(); }
    QString AsString() const;
    int AsInteger() const { return int(AsLargeInt()); }
    qint64 AsLargeInt() const;
    double AsFloat() const;
    bool AsBoolean() const;
    QDate AsDate() const;
    QDateTime AsDateTime() const;
    std::string_view Raw() const; // the server's text, empty for null

private:
    friend class TVoskQuery2;
    TVoskField(const TVoskQuery2* q, int col) : m_query(q), m_col(col) {}
    const TVoskQuery2* m_query = nullptr;
    int m_col = -1;
};

class TVoskQuery2 final {
public:
    explicit TVoskQuery2(TVoskDatabase* db = nullptr);
    TVoskQuery2(TVoskDatabase* db, const QString& sql);
    ~TVoskQuery2();
    TVoskQuery2(const TVoskQuery2&) = delete;
    TVoskQuery2& operator=(const TVoskQuery2&) = delete;

    void SetDatabase(TVoskDatabase* db) { m_db = db; }
    TVoskDatabase& Database() const; // throws when neither set nor a data module is connected

    // Closes the query; parameter values of names that stay are kept.
    void SetSQL(const QString& sql);
    const QString& SQL() const { return m_sql; }
    // Loads named SQL by key; error messages of later runs name the key.
    void SetSQLByKey(const QString& key);
    const QString& SqlKey() const { return m_key; }
    QString ExpandedSQL() const; // macros replaced, parameters still ":name"
    QByteArray SentSQL() const;  // the text the server gets, parameters as $n

    // Parameters, case-insensitive. ParamByName throws when the SQL has no such parameter.
    int ParamCount() const;
    QStringList ParamNames() const;
    TVoskParam* FindParam(const QString& name);
    TVoskParam& ParamByName(const QString& name);
    TVoskQuery2& Bind(const QString& name, const QVariant& value);
    QStringList ParamsAsList() const; // "name=value" lines for logs

    // Macros, case-insensitive; an unset macro expands to nothing.
    QStringList MacroNames() const;
    TVoskMacro* FindMacro(const QString& name);
    TVoskMacro& MacroByName(const QString& name);
    void SetMacro(const QString& name, const QString& sqlText);
    // The macro as a quoted identifier (a table or column name from data, safely quoted).
    void SetMacroIdentifier(const QString& name, const QString& identifier);

    // Sent as a statement prepared once per connection (TVoskDatabase::ExecPrepared): for
    // statements run again and again, which the server then parses and plans only once.
    void SetPrepared(bool on) { m_prepared = on; }

    void Open();
    void Close();
    bool Active() const { return m_res != nullptr; }
    int ExecSQL(); // rows affected

    // Cursor: after Open the first row is current; Eof is true on an empty result or past the end.
    int RecordCount() const { return m_rows; }
    bool IsEmpty() const { return m_rows == 0; }
    int RecNo() const { return m_rows ? m_row + 1 : 0; }
    void SetRecNo(int recNo);
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    void First();
    void Last();
    void Next();
    void Prior();

    int FieldCount() const { return int(m_cols.size()); }
    QStringList FieldNames() const;
    int FieldIndex(const QString& name) const; // -1 when missing
    TVoskField FindField(const QString& name) const;
    TVoskField FieldByName(const QString& name) const; // throws when missing
    TVoskField Fields(int index) const;

    // Searches from the first row for the row whose fields ("a;b") equal the values; moves to it.
    bool Locate(const QString& keyFields, const QVariantList& values, bool caseInsensitive = false,
                bool partialKey = false);
    bool Locate(const QString& keyField, const QVariant& value, bool caseInsensitive = false) {
        return Locate(keyField, QVariantList{value}, caseInsensitive);
    }

    // Direct access for bulk copies: raw text and null flag of any row.
    std::string_view RawAt(int row, int col) const;
    bool IsNullAt(int row, int col) const;
    QVariant ValueAt(int row, int col) const;
    const PGresult* Result() const { return m_res; }
    // Hands the open result to the caller (who PQclears it) and closes the query.
    PGresult* TakeResult();

    // Bulk reads of large results (VoskQueryStream.h): runs the statement and hands back its
    // rows one at a time instead of holding the result whole. The query itself stays closed.
    std::unique_ptr<TVoskRowStream> OpenStream(bool binary = false);
    // The same a chunk of rows at a time through a cursor (VoskQueryStream.h), for results of
    // millions of rows: far less work per row than a result object each.
    std::unique_ptr<TVoskChunkStream> OpenChunks(int chunkRows = 10000);

private:
    friend class TVoskField;
    friend class TVoskPipeline;
    struct Column {
        QString name;
        Oid oid = 0;
        TFieldType type = TFieldType::Unknown;
    };
    void prepare() const;
    // The connected database with the statement prepared for sending; throws when offline.
    TVoskDatabase& preparedOn();
    PGresult* run();
    void adopt(PGresult* res); // the open result from now on
    void dropParse();
    QString context() const;

    TVoskDatabase* m_db = nullptr;
    QString m_sql;
    QString m_key;
    std::vector<std::unique_ptr<TVoskMacro>> m_macros;
    mutable std::vector<std::unique_ptr<TVoskParam>> m_params; // in order of their $n
    // The rewrite is redone only after the SQL or a macro changed.
    mutable bool m_dirty = true;
    mutable QByteArray m_sent;
    std::vector<QByteArray> m_bufs;

    PGresult* m_res = nullptr;
    std::vector<Column> m_cols;
    int m_rows = 0;
    int m_row = 0;
    bool m_eof = true;
    bool m_bof = true;
    bool m_prepared = false;
};
