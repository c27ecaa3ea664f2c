#pragma once
// The data module: the session's database connection and the services on it (login and user
// number, texts by number, settings, last values, event and load log). The first TDM1 made becomes
// the global one that DM1() returns; further instances (another user in a test) stay private.

#include "UConstants.h"
#include "Uloghelper.h"
#include "VoskDatabase.h"
#include "VoskQuery2.h"

#include <HookSlot.h>

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <exception>
#include <memory>
#include <vector>

class TVoskBaseConfiguration;
struct TDM1IdeState;

// What the IDE's data module connects with. Section is the configuration section the values came
// from ("DB3"), empty for the fallback server.
struct TVoskConnectionParams {
    QString applicationName;
    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString password;
    QString sectionName;
    QString appServerHost;
    int appServerPort = 211;
    // Third attempt: neither TLS nor GSS encryption is negotiated, for servers that refuse either.
    bool plainProtocol = false;
};

class TDM1 final : public QObject {
    Q_OBJECT
public:
    explicit TDM1(QObject* parent = nullptr, bool makeGlobal = true);
    ~TDM1() override;

    // Empty conninfo: the libpq environment. Reads the user row of the login afterwards.
    void Connect(const QString& conninfo = {});
    void Disconnect();
    bool Connected() const { return m_db.Connected(); }
    TVoskDatabase& Database() { return m_db; }
    QString DatabaseName() const { return m_db.DatabaseName(); }
    // One-off statements with ":name" parameters from the map (names case-insensitive).
    QVariant LoadVar(const QString& sql, const QVariantMap& params = {}); // first value or null
    bool LoadBool(const QString& sql, const QVariantMap& params = {});
    int ExecSQL(const QString& sql, const QVariantMap& params = {});
    // The cluster that scripts/demo runs, with its demo database.
    static QString DemoConnInfo();

    // Login of the ERP user; the database role unless set. Setting it re-reads the user row.
    QString FGetUsername() const { return m_login; }
    QString LoginName() const { return m_login; }
    void SetLoginName(const QString& login);
    int MitNr() const { return m_mitNr; }   // 0 for a login without a user row
    bool IsAdmin() const { return m_isAdmin; }
    void SetIsAdmin(bool admin);
    int Language() const { return m_language; } // 0 German, 3 English
    void SetLanguage(int language) { m_language = language; }
    // How dialogs of the lower layers may be shown: 1 means not at all (a session without a user
    // at the screen); the dialog routines then answer as if cancelled.
    int DialogMode() const { return m_dialogMode; }
    void SetDialogMode(int mode) { m_dialogMode = mode; }

    // Texts: "xtt123" and "123" mean number 123; missing text gives the default.
    QString makeText(int nr, const QString& def);
    QString makeText(const QString& key, const QString& def);
    void LoadTextCache(); // all texts in one query, so that misses need no query either
    void ClearTextCache();
    // Whether the cache holds the text row nr (a remembered miss does not count), and reading
    // that one row again (dropped from the cache when it is gone).
    bool TextCached(int nr) const;
    void RefreshText(int nr);

    // Captions as users know them: a field's, and a table's own (the row with an empty field),
    // from tablefieldinfo and fieldalias (which wins). Empty when there is none. Read once per
    // connection; ReloadCaptions reads them again.
    QString GetFieldAlias(const QString& field, const QString& table);
    QString GetTableAlias(const QString& table);
    void ReloadCaptions();

    QString GetSetting(const QString& name, const QString& def = {});
    // Several settings in one statement, to queue on a pipeline with other reads; SettingOf
    // reads one of them from the open query as GetSetting would have.
    std::unique_ptr<TVoskQuery2> SettingsQuery(const QStringList& names);
    static QString SettingOf(TVoskQuery2& query, const QString& name, const QString& def = {});
    bool GetBoolSetting(const QString& name, bool def);
    int GetIntSetting(const QString& name, int def);
    void SetSetting(const QString& name, const QString& value);
    void SetBoolSetting(const QString& name, bool value);
    void SetIntSetting(const QString& name, int value);

    // Last values under key, per login (perUser) or shared. The login's own are read once per
    // session, all at once, and kept as this session writes them; shared ones, which other users
    // write too, are read each time.
    QString LoadLastVal(const QString& key, const QString& def = {}, bool perUser = true);
    void SaveLastVal(const QString& key, const QString& value, bool perUser = true);
    bool LoadLastValBool(const QString& key, bool def, bool perUser = true);
    void SaveLastValBool(const QString& key, bool value, bool perUser = true);
    int LoadLastValInt(const QString& key, int def, bool perUser = true);
    void SaveLastValInt(const QString& key, int value, bool perUser = true);
    // Every last value whose key starts with prefix, by key, in one query (a form that restores
    // many settings at once).
    QHash<QString, QString> LoadLastVals(const QString& prefix, bool perUser = true);

    // "TClass.Method: text"; the exception's message is stored beside it. Never throws.
    void LogEvent(const QString& text, const std::exception* e = nullptr, bool withStack = false);
    // Delphi-style "%s"/"%d" placeholders filled in order.
    void LogEventFmt(const QString& format, const QStringList& args);
    // The format with each "%s"-like placeholder replaced by the next argument, in order.
    static QString FormatLogText(const QString& format, const QStringList& args);
    // tag "LOAD" or "UNLOAD" for a module library.
    void DoLoadLog(const QString& tag, const QString& moduleName);
    // Row in eventlog; failures are swallowed so that logging never breaks the action logged.
    void WriteLogRow(const QString& kind, int level, const QString& category, const QString& text,
                     const QString& exception);
    // While a batch is alive the rows of eventlog are kept and written together, in one
    // statement, when the outermost batch ends: a window that logs each step of its start costs
    // one write. Batches nest.
    class TLogBatch final {
    public:
        explicit TLogBatch(TDM1* dm);
        ~TLogBatch();
        TLogBatch(const TLogBatch&) = delete;
        TLogBatch& operator=(const TLogBatch&) = delete;

    private:
        QPointer<TDM1> m_dm;
    };

    // The module link's server reference: the setting "ModulLink.ServerID" (its presence counts).
    bool HasModulLinkServerRef();
    int ModulLink_ServerID();
    // Hex digest of the cluster's system identifier and the database name: the same database
    // answers with the same text everywhere, another cluster or database with another one.
    QString ModulLink_Hash();

    void ScreenCursorSwitchToHoureGlass(bool on) { CursorHook(on); }
    TCurrentSession& Session() { return CurrentSession_UConstants(); }

    // Filled by the component layer: shows an error (sender, exception text, display text, raise
    // afterwards, control to focus).
    static Rtl::HookSlot<void(QObject*, const QString&, const QString&, bool, QObject*)>
        RaiseQ32ClientExceptionProc;
    // Filled by the widget layer: the hourglass cursor on and off.
    static Rtl::HookSlot<void(bool)> CursorHook;

    // ---- the data module as the IDE starts it (UDM1.Ide.cpp) ----------------------------------
    // A new global data module owned by owner.
    static TDM1* ModulInitialize(QObject* owner);
    TVoskConnectionParams& ConnectionParams();
    // Connects with ConnectionParams(); notification listeners follow this connection.
    void ConnectWithParams();
    // Read from the configuration file; created on first use.
    TVoskBaseConfiguration& Configuration();
    void SetConfiguration(std::shared_ptr<TVoskBaseConfiguration> configuration);
    // Texts and field aliases read again from the database.
    void ReloadTextX();
    void ReloadFieldAlias();
    // The alias text of a table's field, empty when there is none.
    QString FieldAlias(const QString& table, const QString& field) const;
    // Whether a field alias read by ReloadFieldAlias takes its text from text number nr.
    bool FieldAliasUsesText(int nr) const;
    // A warning the user sees through ScreenWarningProc (filled by the widget layer); always
    // logged. The action goes on.
    static void ScreenRaiseWarning(const QString& text);
    static Rtl::HookSlot<void(const QString&)> ScreenWarningProc;

    // Forgets what the session keeps of the database (the login's last values, the cached
    // results, the tables' catalogue), so that the next reads see the rows as they are now.
    void ClearSessionCaches();

    // ---- cached read-only queries and the module queries (UDM1.Queries.cpp) -------------------
    // The open result of sql with params, run once per session and text; callers only read it
    // (and move its cursor). ClearQueryCache drops every result.
    TVoskQuery2* GetQueryBySQL(const QString& sql, const QVariantMap& params = {});
    void ClearQueryCache();
    // The cached results whose SQL reads table (a whole word, any letter case): re-run in place
    // when forced, so that readers holding them see the new rows, else dropped so that the next
    // read runs again. Returns how many were touched.
    int RefreshCachedQueries(const QString& table, bool forced);
    // Reports per module (r_modulname), report links (rl_modulname) and the fields a module
    // shows to everyone (modulname, feldname). Open them with OpenModulQueries.
    TVoskQuery2& ReportQuery();
    TVoskQuery2& ReportLinkQuery();
    TVoskQuery2& ModulFieldQuery();
    // Opens the three when one of them is closed.
    void OpenModulQueries();

signals:
    void IsAdminChanged(bool isAdmin);
    // The lost connection was opened again (its socket is another one now).
    void ConnectionReset();

private:
    void readUser();
    void requireConnection();
    struct TextEntry {
        QString german;
        QString english;
        bool found = false;
    };
    QString pick(const TextEntry& e, const QString& def) const;

    TVoskDatabase m_db;
    bool m_global = false;
    QString m_login;
    bool m_loginSet = false;
    int m_mitNr = 0;
    bool m_isAdmin = false;
    int m_language = 0;
    int m_dialogMode = 0;
    QHash<int, TextEntry> m_texts;
    bool m_allTextsLoaded = false;
    QHash<QString, QString> m_aliases; // "table\nfield" in lower case
    bool m_aliasesLoaded = false;
    bool m_inLogWrite = false;
    struct LogRow {
        QString user, kind;
        int level = 0;
        QString category, className, method, text, exception;
    };
    int m_logBatches = 0;
    std::vector<LogRow> m_logRows; // kept by a batch
    void writeLogRows();
    QString m_modulLinkHash;
    std::unique_ptr<TVoskQuery2> m_qText, m_qSetting, m_qLastVal;
    QHash<QString, QString> m_lastVals; // the login's own, by key, once read
    bool m_lastValsRead = false;
    std::shared_ptr<TDM1IdeState> m_ide; // shared_ptr: complete only in UDM1.Ide.cpp
    QHash<QString, std::shared_ptr<TVoskQuery2>> m_queryCache;
    std::unique_ptr<TVoskQuery2> m_qReport, m_qReportLink, m_qModulField;
};

TDM1* DM1();

// RAII switch of the hourglass cursor.
class THourGlass final {
public:
    THourGlass() { TDM1::CursorHook(true); }
    ~THourGlass() { TDM1::CursorHook(false); }
    THourGlass(const THourGlass&) = delete;
    THourGlass& operator=(const THourGlass&) = delete;
};

// Text helpers on the global data module; without one they give the default.
QString makeText(int nr, const QString& def);
QString makeText(const QString& key, const QString& def);
// Whether the text carries an "xtt<digits>" marker.
bool MakeTextCheck(const QString& text);
// The number of a marker "xtt123" (the whole text), 0 when it is none.
int TextNrOfMarker(const QString& text);
// Replaces every marker inside a longer text; a marker without text stays as it is.
QString TranslateTextMarkers(const QString& text);
