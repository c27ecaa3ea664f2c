#include "UDM1.h"

#include <StrUtils.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

#include <unistd.h>

Rtl::HookSlot<void(QObject*, const QString&, const QString&, bool, QObject*)>
    TDM1::RaiseQ32ClientExceptionProc;
Rtl::HookSlot<void(bool)> TDM1::CursorHook;

namespace {
TDM1* s_dm1 = nullptr;

const QRegularExpression& markerRe() {
    static const QRegularExpression re(QStringLiteral("xtt(\\d+)"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}
} // namespace

TDM1* DM1() { return s_dm1; }

TDM1::TDM1(QObject* parent, bool makeGlobal) : QObject(parent) {
    // Every timestamp read is turned into local time; without TZ the C library reads the zone
    // file again for each one. Naming the same zone file once keeps it read.
    if (qEnvironmentVariableIsEmpty("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
    if (makeGlobal && !s_dm1) {
        s_dm1 = this;
        m_global = true;
    }
    m_db.AfterReset = [this] { emit ConnectionReset(); };
}

TDM1::~TDM1() {
    Disconnect();
    if (m_global)
        s_dm1 = nullptr;
}

QString TDM1::DemoConnInfo() {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = qEnvironmentVariable("HOME") + QStringLiteral("/.local/share");
    return QStringLiteral("host=%1/korvex-erp/pg port=5432 user=postgres dbname=korvex").arg(data);
}

void TDM1::Connect(const QString& conninfo) {
    Disconnect();
    m_aliasesLoaded = false;
    m_db.Connect(conninfo);
    if (!m_loginSet)
        m_login = m_db.UserName();
    readUser();
    if (m_global) {
        CurrentSession_UConstants().SetLoginName(m_login);
        TKorvexLog::SetLevel(GetIntSetting(QStringLiteral("System.LogLevel"), TKorvexLog::Level()));
    }
}

namespace {
void bindAll(TVoskQuery2& q, const QVariantMap& params) {
    for (auto it = params.constBegin(); it != params.constEnd(); ++it)
        q.ParamByName(it.key()).SetValue(it.value());
}
} // namespace

QVariant TDM1::LoadVar(const QString& sql, const QVariantMap& params) {
    requireConnection();
    TVoskQuery2 q(&m_db, sql);
    bindAll(q, params);
    q.Open();
    return q.Eof() || q.FieldCount() == 0 ? QVariant() : q.Fields(0).Value();
}

bool TDM1::LoadBool(const QString& sql, const QVariantMap& params) {
    const QVariant v = LoadVar(sql, params);
    return !v.isNull() && Rtl::StrToBoolDef(v.toString(), false);
}

int TDM1::ExecSQL(const QString& sql, const QVariantMap& params) {
    requireConnection();
    TVoskQuery2 q(&m_db, sql);
    bindAll(q, params);
    return q.ExecSQL();
}

void TDM1::Disconnect() {
    writeLogRows();
    m_lastVals.clear();
    m_lastValsRead = false;
    m_qText.reset();
    m_qSetting.reset();
    m_qLastVal.reset();
    m_modulLinkHash.clear();
    ClearQueryCache();
    m_db.Disconnect();
    ClearTextCache();
}

void TDM1::requireConnection() {
    if (!m_db.Revive())
        throw EVoskDatabaseError(QStringLiteral("Keine Datenbankverbindung"));
}

void TDM1::SetLoginName(const QString& login) {
    if (login != m_login) {
        m_lastVals.clear();
        m_lastValsRead = false;
    }
    m_login = login;
    m_loginSet = !login.isEmpty();
    if (m_loginSet && m_db.Connected())
        readUser();
    if (m_global)
        CurrentSession_UConstants().SetLoginName(m_login);
}

void TDM1::SetIsAdmin(bool admin) {
    if (admin == m_isAdmin)
        return;
    m_isAdmin = admin;
    emit IsAdminChanged(admin);
}

void TDM1::readUser() {
    // The server's audit triggers stamp rows with the login the session announces.
    m_db.SetSessionSetting(QStringLiteral("korvex.login"), m_login);
    m_db.SetLoginName(m_login);
    TVoskQuery2 q(&m_db, QStringLiteral("SELECT mitnr, m_admin, m_sprache FROM mitarbeiter "
                                        "WHERE lower(m_login) = lower(:login)"));
    q.Bind(QStringLiteral("login"), m_login).Open();
    m_mitNr = q.Eof() ? 0 : q.Fields(0).AsInteger();
    m_language = q.Eof() ? 0 : q.Fields(2).AsInteger();
    SetIsAdmin(!q.Eof() && q.Fields(1).AsBoolean());
}

// ---- aliases -----------------------------------------------------------------------------------

void TDM1::ReloadCaptions() {
    m_aliases.clear();
    m_aliasesLoaded = true;
    if (!m_db.Connected())
        return;
    // The catalogue's captions first, the alias table's over them; a database without one of the
    // tables names those things by their own names.
    // Asked first rather than failed: a failing statement would spoil an open transaction.
    const std::pair<const char*, const char*> sources[] = {
        {"tablefieldinfo", "SELECT tablename, coalesce(field, ''), alias, textno "
                           "FROM tablefieldinfo WHERE alias IS NOT NULL OR textno IS NOT NULL"},
        {"fieldalias", "SELECT fa_table, coalesce(fa_field, ''), fa_alias, fa_textno "
                       "FROM fieldalias"}};
    for (const auto& [table, sql] : sources) {
        try {
            TVoskQuery2 exists(&m_db, QStringLiteral("SELECT to_regclass(:t) IS NOT NULL"));
            exists.Bind(QStringLiteral("t"), QString::fromLatin1(table)).Open();
            if (!exists.Fields(0).AsBoolean())
                continue;
            TVoskQuery2 q(&m_db, QString::fromLatin1(sql));
            q.Open();
            for (; !q.Eof(); q.Next()) {
                QString alias = q.Fields(2).AsString();
                if (!q.Fields(3).IsNull() && q.Fields(3).AsInteger() > 0)
                    alias = makeText(q.Fields(3).AsInteger(), alias);
                if (alias.isEmpty())
                    continue;
                m_aliases.insert(q.Fields(0).AsString().toLower() + u'\n' +
                                     q.Fields(1).AsString().toLower(),
                                 alias);
            }
        } catch (const EVoskDatabaseError&) {
        }
    }
}

QString TDM1::GetFieldAlias(const QString& field, const QString& table) {
    if (!m_aliasesLoaded)
        ReloadCaptions();
    QString t = table.toLower();
    if (const qsizetype dot = t.lastIndexOf(u'.'); dot >= 0)
        t = t.mid(dot + 1);
    return m_aliases.value(t + u'\n' + field.toLower());
}

QString TDM1::GetTableAlias(const QString& table) { return GetFieldAlias(QString(), table); }

// ---- texts -------------------------------------------------------------------------------------

QString TDM1::pick(const TextEntry& e, const QString& def) const {
    if (!e.found)
        return def;
    if (m_language == 3 && !e.english.isEmpty())
        return e.english;
    return e.german.isEmpty() ? def : e.german;
}

QString TDM1::makeText(int nr, const QString& def) {
    if (nr <= 0)
        return def;
    if (const auto it = m_texts.constFind(nr); it != m_texts.constEnd())
        return pick(*it, def);
    if (m_allTextsLoaded || !m_db.Connected())
        return def;
    TextEntry e;
    try {
        if (!m_qText)
            m_qText = std::make_unique<TVoskQuery2>(
                &m_db, QStringLiteral("SELECT t_feld0, t_feld3 FROM text0 WHERE t_nr = :nr"));
        m_qText->Bind(QStringLiteral("nr"), nr).Open();
        if (!m_qText->Eof()) {
            e = {m_qText->Fields(0).AsString(), m_qText->Fields(1).AsString(), true};
        }
        m_qText->Close();
    } catch (const EVoskDatabaseError& ex) {
        // A text is never worth aborting an action; the default stands in and the cause is logged.
        LogEvent(QStringLiteral("TDM1.makeText: %1").arg(nr), &ex);
        return def;
    }
    m_texts.insert(nr, e); // misses are cached too: a missing text stays missing in a session
    return pick(e, def);
}

QString TDM1::makeText(const QString& key, const QString& def) {
    int nr = TextNrOfMarker(key);
    if (nr == 0) {
        bool ok = false;
        nr = key.trimmed().toInt(&ok);
        if (!ok)
            nr = 0;
    }
    if (nr > 0)
        return makeText(nr, def);
    return def.isEmpty() ? key : def;
}

void TDM1::LoadTextCache() {
    requireConnection();
    TVoskQuery2 q(&m_db, QStringLiteral("SELECT t_nr, t_feld0, t_feld3 FROM text0"));
    q.Open();
    m_texts.clear();
    m_texts.reserve(q.RecordCount());
    const TVoskField nr = q.Fields(0), de = q.Fields(1), en = q.Fields(2);
    for (; !q.Eof(); q.Next())
        m_texts.insert(nr.AsInteger(), {de.AsString(), en.AsString(), true});
    m_allTextsLoaded = true;
}

void TDM1::ClearTextCache() {
    m_texts.clear();
    m_allTextsLoaded = false;
}

bool TDM1::TextCached(int nr) const {
    const auto it = m_texts.constFind(nr);
    return it != m_texts.constEnd() && it->found;
}

void TDM1::RefreshText(int nr) {
    requireConnection();
    TVoskQuery2 q(&m_db, QStringLiteral("SELECT t_feld0, t_feld3 FROM text0 WHERE t_nr = :nr"));
    q.Bind(QStringLiteral("nr"), nr).Open();
    if (q.Eof())
        m_texts.remove(nr);
    else
        m_texts.insert(nr, {q.Fields(0).AsString(), q.Fields(1).AsString(), true});
}

// ---- settings ----------------------------------------------------------------------------------

QString TDM1::GetSetting(const QString& name, const QString& def) {
    requireConnection();
    if (!m_qSetting)
        m_qSetting = std::make_unique<TVoskQuery2>(
            &m_db, QStringLiteral("SELECT s_value FROM settings WHERE s_name = :name"));
    m_qSetting->Bind(QStringLiteral("name"), name).Open();
    const QString v = m_qSetting->Eof() || m_qSetting->Fields(0).IsNull()
                          ? def
                          : m_qSetting->Fields(0).AsString();
    m_qSetting->Close();
    return v;
}

std::unique_ptr<TVoskQuery2> TDM1::SettingsQuery(const QStringList& names) {
    requireConnection();
    QStringList params;
    for (int i = 0; i < names.size(); ++i)
        params << QStringLiteral(":name%1").arg(i);
    auto q = std::make_unique<TVoskQuery2>(
        &m_db, QStringLiteral("SELECT s_name, s_value FROM settings WHERE s_name IN (%1)")
                   .arg(params.join(QStringLiteral(", "))));
    for (int i = 0; i < names.size(); ++i)
        q->Bind(QStringLiteral("name%1").arg(i), names[i]);
    return q;
}

QString TDM1::SettingOf(TVoskQuery2& query, const QString& name, const QString& def) {
    // Names match as the server compares them: exactly.
    for (query.First(); !query.Eof(); query.Next())
        if (query.Fields(0).AsString() == name)
            return query.Fields(1).IsNull() ? def : query.Fields(1).AsString();
    return def;
}

bool TDM1::GetBoolSetting(const QString& name, bool def) {
    return Rtl::StrToBoolDef(GetSetting(name), def);
}

int TDM1::GetIntSetting(const QString& name, int def) {
    bool ok = false;
    const int v = GetSetting(name).trimmed().toInt(&ok);
    return ok ? v : def;
}

void TDM1::SetSetting(const QString& name, const QString& value) {
    requireConnection();
    TVoskQuery2 q(&m_db, QStringLiteral(
                             "INSERT INTO settings (s_name, s_value) VALUES (:name, :value) "
                             "ON CONFLICT (s_name) DO UPDATE SET s_value = EXCLUDED.s_value"));
    q.Bind(QStringLiteral("name"), name).Bind(QStringLiteral("value"), value).ExecSQL();
}

void TDM1::SetBoolSetting(const QString& name, bool value) {
    SetSetting(name, Rtl::BoolToStr(value));
}

void TDM1::SetIntSetting(const QString& name, int value) {
    SetSetting(name, QString::number(value));
}

// ---- last values -------------------------------------------------------------------------------

QString TDM1::LoadLastVal(const QString& key, const QString& def, bool perUser) {
    requireConnection();
    if (perUser) {
        if (!m_lastValsRead) {
            TVoskQuery2 q(&m_db, QStringLiteral("SELECT lv_key, lv_value FROM lastval "
                                                "WHERE lv_user = :user"));
            q.Bind(QStringLiteral("user"), m_login).Open();
            m_lastVals.clear();
            for (; !q.Eof(); q.Next())
                m_lastVals.insert(q.Fields(0).AsString(), q.Fields(1).IsNull()
                                                              ? QString()
                                                              : q.Fields(1).AsString());
            m_lastValsRead = true;
        }
        const auto it = m_lastVals.constFind(key);
        return it == m_lastVals.constEnd() || it->isNull() ? def : *it;
    }
    if (!m_qLastVal)
        m_qLastVal = std::make_unique<TVoskQuery2>(
            &m_db, QStringLiteral("SELECT lv_value FROM lastval WHERE lv_user = :user AND "
                                  "lv_key = :key"));
    m_qLastVal->Bind(QStringLiteral("user"), perUser ? m_login : QString())
        .Bind(QStringLiteral("key"), key)
        .Open();
    const QString v = m_qLastVal->Eof() || m_qLastVal->Fields(0).IsNull()
                          ? def
                          : m_qLastVal->Fields(0).AsString();
    m_qLastVal->Close();
    return v;
}

QHash<QString, QString> TDM1::LoadLastVals(const QString& prefix, bool perUser) {
    requireConnection();
    TVoskQuery2 q(&m_db, QStringLiteral("SELECT lv_key, lv_value FROM lastval WHERE lv_user = :user "
                                        "AND left(lv_key, length(CAST(:prefix AS text))) = :prefix"));
    q.Bind(QStringLiteral("user"), perUser ? m_login : QString())
        .Bind(QStringLiteral("prefix"), prefix)
        .Open();
    QHash<QString, QString> values;
    for (; !q.Eof(); q.Next())
        if (!q.Fields(1).IsNull())
            values.insert(q.Fields(0).AsString(), q.Fields(1).AsString());
    return values;
}

void TDM1::SaveLastVal(const QString& key, const QString& value, bool perUser) {
    requireConnection();
    TVoskQuery2 q(&m_db, QStringLiteral(
                             "INSERT INTO lastval (lv_user, lv_key, lv_value) "
                             "VALUES (:user, :key, :value) ON CONFLICT (lv_user, lv_key) "
                             "DO UPDATE SET lv_value = EXCLUDED.lv_value, lv_modified = now()"));
    q.Bind(QStringLiteral("user"), perUser ? m_login : QString())
        .Bind(QStringLiteral("key"), key)
        .Bind(QStringLiteral("value"), value)
        .ExecSQL();
    if (perUser && m_lastValsRead)
        m_lastVals.insert(key, value.isNull() ? QString(QLatin1String("")) : value);
}

void TDM1::ClearSessionCaches() {
    m_lastVals.clear();
    m_lastValsRead = false;
    ClearQueryCache();
    m_db.ForgetTableInfo();
}

bool TDM1::LoadLastValBool(const QString& key, bool def, bool perUser) {
    return Rtl::StrToBoolDef(LoadLastVal(key, QString(), perUser), def);
}

void TDM1::SaveLastValBool(const QString& key, bool value, bool perUser) {
    SaveLastVal(key, Rtl::BoolToStr(value), perUser);
}

int TDM1::LoadLastValInt(const QString& key, int def, bool perUser) {
    bool ok = false;
    const int v = LoadLastVal(key, QString(), perUser).trimmed().toInt(&ok);
    return ok ? v : def;
}

void TDM1::SaveLastValInt(const QString& key, int value, bool perUser) {
    SaveLastVal(key, QString::number(value), perUser);
}

// ---- logs --------------------------------------------------------------------------------------

void TDM1::LogEvent(const QString& text, const std::exception* e, bool withStack) {
    QString exText;
    if (e) {
        if (const auto* ve = dynamic_cast<const EVoskException*>(e))
            exText = QString::fromLatin1(ve->ClassName()) + QStringLiteral(": ") + ve->Message();
        else
            exText = QString::fromUtf8(e->what());
    }
    TLogSink::Add({QDateTime::currentDateTime(), QStringLiteral("EVENT"), 0, {},
                   exText.isEmpty() ? text : text + QStringLiteral(" | ") + exText});
    WriteLogRow(QStringLiteral("EVENT"), 0, {}, text, exText);
}

QString TDM1::FormatLogText(const QString& format, const QStringList& args) {
    static const QRegularExpression placeholder(QStringLiteral("%[-0-9.]*[sdfxgu]"));
    QString out;
    qsizetype last = 0;
    int argNr = 0;
    auto it = placeholder.globalMatch(format);
    while (it.hasNext()) {
        const auto m = it.next();
        out += QStringView(format).mid(last, m.capturedStart() - last);
        out += argNr < args.size() ? args.at(argNr) : m.captured();
        ++argNr;
        last = m.capturedEnd();
    }
    out += QStringView(format).mid(last);
    return out;
}

void TDM1::LogEventFmt(const QString& format, const QStringList& args) {
    LogEvent(FormatLogText(format, args));
}

void TDM1::DoLoadLog(const QString& tag, const QString& moduleName) {
    TLogSink::Add({QDateTime::currentDateTime(), tag, 0, {}, moduleName});
    if (!m_db.Connected() || PQtransactionStatus(m_db.Handle()) == PQTRANS_INERROR)
        return;
    try {
        TVoskQuery2 q(&m_db, QStringLiteral("INSERT INTO loadlog (ll_tag, ll_module, ll_user, "
                                            "ll_pid) VALUES (:tag, :module, :user, :pid)"));
        q.Bind(QStringLiteral("tag"), tag)
            .Bind(QStringLiteral("module"), moduleName)
            .Bind(QStringLiteral("user"), m_login)
            .Bind(QStringLiteral("pid"), int(getpid()))
            .ExecSQL();
    } catch (const EVoskDatabaseError&) {
    }
}

void TDM1::WriteLogRow(const QString& kind, int level, const QString& category,
                       const QString& text, const QString& exception) {
    static const QRegularExpression head(QStringLiteral("^(\\w+)\\.([^:\\s]+)\\s*:"));
    const auto m = head.match(text);
    m_logRows.push_back({m_login, kind, level, category, m.captured(1), m.captured(2), text,
                         exception});
    if (m_logBatches == 0)
        writeLogRows();
}

void TDM1::writeLogRows() {
    std::vector<LogRow> rows = std::move(m_logRows);
    m_logRows.clear();
    // A failed transaction refuses every statement; the rows would only add a second error.
    if (rows.empty() || m_inLogWrite || !m_db.Connected() ||
        PQtransactionStatus(m_db.Handle()) == PQTRANS_INERROR)
        return;
    m_inLogWrite = true;
    auto nullIfEmpty = [](const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); };
    // A statement takes at most 65,535 parameters: a long batch goes in several.
    constexpr size_t kRowsPerStatement = 1000;
    try {
        for (size_t first = 0; first < rows.size(); first += kRowsPerStatement) {
            QString sql = QStringLiteral("INSERT INTO eventlog (el_user, el_kind, el_level, "
                                         "el_category, el_class, el_method, el_text, "
                                         "el_exception) VALUES ");
            QVariantList params;
            const size_t end = std::min(rows.size(), first + kRowsPerStatement);
            for (size_t i = first; i < end; ++i) {
                const LogRow& r = rows[i];
                sql += (i > first ? QStringLiteral(", (") : QStringLiteral("("));
                for (int k = 1; k <= 8; ++k)
                    sql += (k > 1 ? QStringLiteral(", $") : QStringLiteral("$")) +
                           QString::number(params.size() + k);
                sql += u')';
                params << r.user << r.kind << r.level << nullIfEmpty(r.category)
                       << nullIfEmpty(r.className) << nullIfEmpty(r.method) << r.text
                       << nullIfEmpty(r.exception);
            }
            m_db.Exec(sql, params);
        }
    } catch (const std::exception&) {
    }
    m_inLogWrite = false;
}

TDM1::TLogBatch::TLogBatch(TDM1* dm) : m_dm(dm) {
    if (dm)
        ++dm->m_logBatches;
}

TDM1::TLogBatch::~TLogBatch() {
    if (m_dm && --m_dm->m_logBatches == 0)
        m_dm->writeLogRows();
}

// ---- free text helpers -------------------------------------------------------------------------

QString makeText(int nr, const QString& def) {
    TDM1* dm = DM1();
    return dm ? dm->makeText(nr, def) : def;
}

QString makeText(const QString& key, const QString& def) {
    TDM1* dm = DM1();
    if (dm)
        return dm->makeText(key, def);
    return def.isEmpty() ? key : def;
}

bool MakeTextCheck(const QString& text) { return markerRe().match(text).hasMatch(); }

int TextNrOfMarker(const QString& text) {
    const QString t = text.trimmed();
    const auto m = markerRe().match(t);
    if (!m.hasMatch() || m.capturedStart() != 0 || m.capturedLength() != t.size())
        return 0;
    return m.captured(1).toInt();
}

QString TranslateTextMarkers(const QString& text) {
    QString out;
    qsizetype last = 0;
    auto it = markerRe().globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        out += QStringView(text).mid(last, m.capturedStart() - last);
        const QString t = makeText(m.captured(1).toInt(), QString());
        out += t.isEmpty() ? m.captured() : t;
        last = m.capturedEnd();
    }
    out += QStringView(text).mid(last);
    return out;
}

// ---- the module link -----------------------------------------------------------------------

bool TDM1::HasModulLinkServerRef() {
    return Connected() && !GetSetting(QStringLiteral("ModulLink.ServerID")).trimmed().isEmpty();
}

int TDM1::ModulLink_ServerID() { return GetIntSetting(QStringLiteral("ModulLink.ServerID"), 0); }

QString TDM1::ModulLink_Hash() {
    if (!m_modulLinkHash.isEmpty() || !Connected())
        return m_modulLinkHash;
    QString id;
    try {
        id = LoadVar(QStringLiteral("SELECT system_identifier::text FROM pg_control_system()"))
                 .toString();
    } catch (const EVoskDatabaseError&) {
        // A role without the right to read the cluster's control data: where the cluster is
        // reached identifies it next best.
        id = m_db.ConnectionDescription();
    }
    const QByteArray source = (id + QLatin1Char('/') + DatabaseName()).toUtf8();
    m_modulLinkHash =
        QString::fromLatin1(QCryptographicHash::hash(source, QCryptographicHash::Sha256).toHex());
    return m_modulLinkHash;
}
