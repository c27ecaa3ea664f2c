#pragma once
// The data class of the class library: a dataset over one table of the database layer. It reads
// the rows of the table (or of a query on it) into memory, keeps a cursor and an edit state, and
// writes the current record back with bound parameters inside one transaction. An update only
// succeeds when the row is still as it was read (optimistic concurrency); otherwise nothing is
// written and the user is told to refresh.
//
// Sub-classes (detail data classes) are made with their master as QObject parent; Children() lists
// them in creation order. Controls and item models follow the class through its signals.

#include "TVoskRowStore.h"

#include <HookSlot.h>

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class EVoskDatabaseError;
class TVoskDatabase;
class TVoskQuery2;
class TVoskClass;

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

// A column of the data class, read and written at the current record. Cheap to copy; it stays
// valid while the class keeps the same columns (until it is closed or opened on other SQL).
class TVoskDataField final {
public:
    TVoskDataField() = default;
    bool Exists() const { return m_owner && m_col >= 0; }
    int Index() const { return m_col; }
    QString FieldName() const;
    // Whether the column belongs to the table and is written by Post.
    bool Writable() const;

    QVariant Value() const;
    bool IsNull() const;
    QString AsString() const;
    int AsInteger() const;
    qint64 AsLargeInt() const;
    double AsFloat() const;
    bool AsBoolean() const;

    // Puts the class into edit when it browses; throws when it is read-only or not open.
    void SetValue(const QVariant& value) const;
    void SetAsString(const QString& v) const { SetValue(v); }
    void SetAsInteger(qint64 v) const { SetValue(v); }
    void SetAsFloat(double v) const { SetValue(v); }
    void SetAsBoolean(bool v) const { SetValue(v); }
    void Clear() const { SetValue(QVariant()); }

private:
    friend class TVoskClass;
    TVoskDataField(TVoskClass* owner, int col) : m_owner(owner), m_col(col) {}
    TVoskClass* m_owner = nullptr;
    int m_col = -1;
};

class TVoskClass;

// What a project-structure frame offers the data class it is set on: it is told when something
// outside the class's own editing (a special function) changed the rows and the class read them
// again, so that it shows the structure anew.
class IVoskProjStructure {
public:
    virtual ~IVoskProjStructure() = default;
    virtual void ProjStructureRefresh(TVoskClass* dataClass) = 0;
};

class TVoskClass : public QObject {
    Q_OBJECT
    // The project-structure frame of the form that shows this class's records (set in the
    // designer).
    Q_PROPERTY(QObject* _FrameProjStructure MEMBER _FrameProjStructure)
public:
    // parent is the owner for lifetime; a TVoskClass parent makes this one its sub-class.
    explicit TVoskClass(QObject* parent = nullptr);
    ~TVoskClass() override;

    // Table and key. The table may carry a schema ("public.adressen"); keys are "a;b".
    QString SqlTable() const { return m_sqlTable; }
    QString GetSqlTableName() const { return m_sqlTable; }
    void SetSqlTable(const QString& table);
    void SetSqlTableName(const QString& table) { SetSqlTable(table); }
    QString KeyFieldName() const { return m_keyFields; }
    void SetKeyFieldName(const QString& keyFields);
    bool HasKeyField() const; // every key field is a column of the open result
    // Key values of the current record as text, joined by ";" for several key fields.
    QString KeyText() const;

    // Connection; without one the global data module's.
    void SetDatabase(TVoskDatabase* db) { m_db = db; }
    TVoskDatabase& Database() const;

    // What the user sees as the name of the data: the description when set, else the alias of
    // the table (AliasHook), else the table name.
    QString Description() const;
    void SetDescription(const QString& text) { m_description = text; }
    // The description as set, without the fallbacks.
    QString DescriptionText() const { return m_description; }
    // Filled by the database layer's owner when it knows table aliases; empty result means none.
    static Rtl::HookSlot<QString(const QString& table)> AliasHook;
    // The table the captions of the fields are looked up under; the SQL table unless set.
    QString FieldAliasTable() const {
        return m_fieldAliasTable.isEmpty() ? m_sqlTable : m_fieldAliasTable;
    }
    void SetFieldAliasTable(const QString& table) { m_fieldAliasTable = table; }

    // Opening reads all rows; the cursor stands on the first one.
    void Open();
    void Close();
    bool Active() const { return m_state != dsInactive; }
    bool FGetActive() const { return Active(); }
    TDataSetState State() const { return m_state; }
    bool InEdit() const { return m_state == dsEdit || m_state == dsInsert; }
    bool FInEdit() const { return InEdit(); }
    bool Modified() const { return m_modified; }
    bool CanPost() const { return InEdit() && m_modified; }
    bool IsNewRecord() const { return m_state == dsInsert; }
    bool FGetNeuAngelegt() const { return IsNewRecord(); }
    bool HasRecord() const { return Active() && CurrentRow() >= 0; }
    // No record to stand on: none loaded, or the cursor stands on none (ClearCurrent).
    bool IsEmpty() const { return m_store.Empty() || m_noRecord; }

    // Cursor. Moving while editing posts a modified record and cancels an unmodified one.
    int RecordCount() const { return m_store.Count(); }
    int RecNo() const { return IsEmpty() ? 0 : m_cur + 1; }
    void SetRecNo(int recNo);
    int CurrentRow() const { return IsEmpty() ? -1 : m_cur; } // 0-based, -1 when none
    // Stands on no record while the rows stay loaded (a view's filter hides every one of them):
    // to everything that reads the current record the class is empty until the cursor moves to
    // a record again. A refresh or a sort keeps it so; editing appends as on an empty class.
    void ClearCurrent();
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    // Posts a modified record being edited, gives up an unmodified one; as every move does.
    void CheckBrowseMode();
    void First();
    void Last();
    void Next();
    void Prior();
    // Searches all rows for fields ("a;b") equal to the values (compared as text); moves there.
    bool Locate(const QString& keyFields, const QVariantList& values, bool caseInsensitive = false);
    bool Locate(const QString& field, const QVariant& value, bool caseInsensitive = false) {
        return Locate(field, QVariantList{value}, caseInsensitive);
    }
    // Moves to the record whose dbrid is id; false (cursor unchanged) when no loaded row has it.
    bool SearchDbrid(qint64 id);
    bool SearchDbrid(const QString& id);

    // The rows a view over the class shows while its filter or search text hides others; the
    // navigator steps through those, whereas First/Next and the other moves keep seeing every
    // row. With several such views the one that began hiding rows last holds, until it shows all
    // again (ClearShownRows) or goes.
    void SetShownRows(QObject* view, std::function<bool(int row)> shown);
    void ClearShownRows(QObject* view);
    bool HidesRows() const { return !m_shownRows.empty(); }
    // Whether the row is shown: every row while no view hides any.
    bool RowShown(int row) const {
        return m_shownRows.empty() || m_shownRows.back().shown(row);
    }

    // Fields.
    int FieldCount() const { return int(m_cols.size()); }
    QStringList FieldNames() const;
    // One name without building the list, for callers asked once per cell or header section.
    QString FieldNameAt(int col) const {
        return col >= 0 && col < FieldCount() ? m_cols[size_t(col)].name : QString();
    }
    int FieldIndex(const QString& name) const; // case-insensitive, -1 when missing
    TVoskDataField FindField(const QString& name);
    TVoskDataField FieldByName(const QString& name); // throws when missing
    TVoskDataField Fields(int index);
    QVariant Value(int row, int col) const;
    // For passes over every row: row and col must be in range.
    QVariant ValueRef(int row, int col) const { return m_store.Value(m_store.At(row), col); }
    bool IsNullAt(int row, int col) const { return m_store.IsNull(m_store.At(row), col); }
    // The server's text of a value as read (UTF-8, length bytes), for passes that paint or
    // search many values without decoding them; null when the value is null or was set here
    // (Value has it then). Row and col must be in range.
    const char* ValueText(int row, int col, int* length) const {
        return m_store.RawIfUnedited(m_store.At(row), col, length);
    }
    // What the result column holds; Unknown while closed.
    TFieldType FieldType(int col) const {
        return col >= 0 && col < m_store.Columns() ? m_store.Type(col) : TFieldType::Unknown;
    }
    // At the current record. An empty text in a column that holds no text is stored as null.
    void SetValue(int col, const QVariant& value);
    bool FieldWritable(int col) const;
    // What the catalog says of a table column: its length limit in characters (0 none), and
    // whether it holds numbers (integers only, for the second) or text.
    int FieldSize(int col) const;
    bool FieldIsNumeric(int col) const;
    bool FieldIsInteger(int col) const;
    bool FieldIsText(int col) const;
    // A Boolean column, also one outside the table (a join or an expression).
    bool FieldIsBoolean(int col) const;
    // Filled by the server, never typed: a key with a default (a serial) and the audit stamps
    // (insert_date, insert_by, modified_date, modified_by).
    bool FieldServerFilled(int col) const;
    // Whether the user may type into the field now.
    bool FieldEditable(int col) const;
    // A field the user may not change in the controls (code still may); kept by name across
    // opens.
    void SetFieldReadOnly(const QString& field, bool readOnly);
    bool FieldReadOnly(int col) const;

    // Editing. Each throws a German EVoskException when the class is read-only or closed.
    void Edit();
    void Append(); // new record at the end
    void Insert(); // new record before the current one
    // Writes the record; refused (with the record left in edit) by BeforePost throwing, by a
    // server error or when another user changed the row meanwhile. With askBefore false the
    // before-post event is not called.
    virtual void Post(bool askBefore = true);
    void Cancel();
    virtual void Delete();
    // Orders the loaded rows by one field (empty values first when ascending), keeping the cursor
    // on its record; a pending edit is posted first. The next Refresh reads the query's order.
    void SortBy(int col, bool ascending);
    // Orders by several fields (field, ascending), the first deciding first.
    void SortByKeys(const QList<QPair<int, bool>>& keys);
    // Re-reads all rows and keeps the cursor on the same key when possible.
    virtual void Refresh(bool keepPosition = true, bool silent = false, int reserved = 0);
    // Re-reads the current record only; a row that is gone is removed.
    void RefreshRecord();
    // When the rows were read last, on a clock that every read of every class advances: a view
    // that noted ReadClock() earlier knows whether the rows are older than that moment.
    quint64 ReadAt() const { return m_readAt; }
    static quint64 ReadClock() { return s_readClock; }

    // Flags read and set by the forms.
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly);
    bool EditFlag() const { return m_editFlag; }
    void SetEditFlag(bool editFlag);
    bool CanModify() const { return Active() && !m_readOnly && m_editFlag; }
    bool EnabledFlag() const { return m_enabledFlag; }
    void SetEnabledFlag(bool enabled) { m_enabledFlag = enabled; }
    // Whether the module form's activation refresh re-reads the current record.
    bool SingleRecordRefresh() const { return m_singleRecordRefresh; }
    void SetSingleRecordRefresh(bool on) { m_singleRecordRefresh = on; }
    bool CachedUpdates() const { return false; }
    bool UpdatesPending() const { return false; }

    // Master and sub-classes.
    TVoskClass* MasterClass() const;
    QList<TVoskClass*> Children() const;
    // The field that ties a record of this class to its master's (a document's position link).
    QString LinkFieldName() const { return m_linkFieldName; }
    void SetLinkFieldName(const QString& field) { m_linkFieldName = field; }

    // Events. A throw in BeforePost refuses the post (an EAbort silently).
    std::function<void(TVoskClass*)> BeforePost;
    std::function<void(TVoskClass*)> AfterPost;
    std::function<void(TVoskClass*)> BeforeRefresh;
    std::function<void(TVoskClass*)> AfterRefresh;
    // Around Insert/Append, Edit and Delete; a throw in a Before event stops the action.
    std::function<void(TVoskClass*)> BeforeInsert;
    std::function<void(TVoskClass*)> AfterInsert;
    std::function<void(TVoskClass*)> BeforeEdit;
    std::function<void(TVoskClass*)> AfterEdit;
    std::function<void(TVoskClass*)> BeforeDelete;
    std::function<void(TVoskClass*)> AfterDelete;

    QPointer<QObject> _FrameProjStructure;
    // The head and foot classes of the navigator that shows this class, set by its header.
    QPointer<TVoskClass> _DataSourceH;
    QPointer<TVoskClass> _DataSourceF;

    // The columns Open would read, without reading rows and without changing the class: those of
    // the open result, else of the SELECT run for its description only.
    QStringList DescribeFields() const;

signals:
    void StateChanged(); // state, modified, read-only
    void CurrentChanged(int row);
    void FieldChanged(int row, int col);
    // Each change of the row set is announced before it is made, as item models need it.
    void AboutToReset();
    void RowsReset(); // opened, closed, refreshed: columns or all rows
    void AboutToInsertRow(int row);
    void RowInserted(int row);
    void AboutToRemoveRow(int row);
    void RowRemoved(int row);
    void RowUpdated(int row);
    // A view changed which rows it shows (SetShownRows, ClearShownRows).
    void ShownRowsChanged();

protected:
    // The SELECT that Open runs; the base reads the whole table ordered by its key.
    virtual QString SelectSql() const;
    virtual QVariantMap SelectParams() const { return {}; }
    // Opens on the rows of a query the caller already ran (a write that returned them), as Open
    // would read them with SelectSql: saves reading them again. The query is closed after.
    void OpenFrom(TVoskQuery2& open);

private:
    using Handle = TVoskRowStore::Handle;
    struct Column {
        QString name;
        QString sqlType; // format_type of a table column, from the catalog
        bool writable = false;
        bool hasDefault = false;
        QChar category;  // pg_type.typcategory: S text, N number, D date, ...; null unknown
        bool integer = false;
        int size = 0;    // characters of varchar(n) / char(n)
        bool boolean = false; // the result column's type, whatever table it comes from
    };
    friend class TVoskDataField;

    void requireActive() const;
    void requireModify() const;
    void moveTo(int row);
    void setState(TDataSetState state);
    void startInsert(int at);
    void openOn(TVoskQuery2* open);
    void reload(TVoskQuery2* open = nullptr);
    void readInto(TVoskRowStore& store, std::vector<Column>& cols, TVoskQuery2& q);
    struct ResultDeleter {
        void operator()(PGresult* r) const { PQclear(r); }
    };
    using Result = std::unique_ptr<PGresult, ResultDeleter>;
    Result run(const QString& sql, const QVariantMap& params);
    QString quotedTable() const;
    QStringList keyList() const;
    std::vector<int> keyCols() const;
    void requireKey() const;
    QString whereAsRead(Handle asRead, QVariantMap& params) const;
    void postUpdate();
    void postInsert();
    // Throws the server's refusal in the user's words, or with context when it has none.
    [[noreturn]] void throwTranslated(const EVoskDatabaseError& e, const QString& context) const;
    void applyReturned(int row, const PGresult* returned);
    bool reReadRow(int row);
    void dropBackup();

    TVoskDatabase* m_db = nullptr;
    QString m_sqlTable;
    QString m_keyFields = QStringLiteral("dbrid");
    QString m_description;
    QString m_fieldAliasTable;

    TDataSetState m_state = dsInactive;
    std::vector<Column> m_cols;
    TVoskRowStore m_store;
    // The record before Edit, for Cancel; the row being edited is an own copy of it.
    Handle m_backup = 0;
    bool m_hasBackup = false;
    std::vector<bool> m_changed; // per column, since Edit or Insert
    int m_cur = 0;
    bool m_noRecord = false;
    // The record the user was on when the new one was started; -1 none (ClearCurrent).
    int m_insertFrom = 0;
    bool m_eof = true;
    bool m_bof = true;
    bool m_modified = false;
    quint64 m_readAt = 0;
    static inline quint64 s_readClock = 0;

    bool m_readOnly = false;
    bool m_editFlag = true;
    bool m_enabledFlag = true;
    bool m_singleRecordRefresh = true;
    QString m_linkFieldName;
    QSet<QString> m_readOnlyFields; // lower case
    struct ShownRowsView {
        QObject* view;
        std::function<bool(int)> shown;
        QMetaObject::Connection gone;
    };
    std::vector<ShownRowsView> m_shownRows; // the one in force last
};

// The data class on a query of its own: SQL with ":name" parameters, written back to SqlTable.
class TVoskFieldDefCache;
class TVoskClass2 : public TVoskClass {
    Q_OBJECT
public:
    explicit TVoskClass2(QObject* parent = nullptr);
    // Creates the global field-definition cache owned by owner (UKorvexClasses.h).
    static TVoskFieldDefCache* ModulInitialize(QObject* owner);

    QString QuerySql() const { return m_querySql; }
    // Takes effect with the next Open or Refresh. Empty: the whole table.
    void SetQuerySql(const QString& sql) { m_querySql = sql; }
    void SetParam(const QString& name, const QVariant& value) { m_params.insert(name, value); }
    QVariant Param(const QString& name) const { return m_params.value(name); }
    void ClearParams() { m_params.clear(); }
    // Binds values to the query's parameters in the order they first appear in its SQL (extra
    // values are ignored, missing ones are null) and opens it; whether it found rows. options is
    // kept for callers that pass search options; no option changes the search.
    bool SearchEnabled(const QVariantList& values, int options = 0);
    // Whether the record-parameter class is attached automatically.
    bool AutoRecNoParamClass() const { return m_autoRecNoParamClass; }
    void SetAutoRecNoParamClass(bool on) { m_autoRecNoParamClass = on; }

protected:
    QString SelectSql() const override;
    QVariantMap SelectParams() const override { return m_params; }

private:
    QString m_querySql;
    QVariantMap m_params;
    bool m_autoRecNoParamClass = false;
};
