#include "USqlCheck.h"

#include <SqlScanner.h>
#include <VoskDatabase.h>

#include <pg_query.h>

#include <libpq-fe.h>

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>
#include <vector>

namespace USqlCheck {
namespace {

TSqlCheckResult Failed(const QString& message, const QString& state = {}, int position = 0) {
    return TSqlCheckResult{false, message, state, position};
}

// QString index of the 1-based code point cp in text (text.size() when beyond).
int IndexOfCodePoint(QStringView text, int cp) {
    int i = 0;
    for (int n = 1; n < cp && i < text.size(); ++n)
        i += (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2
                                                                                                : 1;
    return i;
}

// Characters that libpq and the parser cannot take: NUL ends a C string early, and a lone
// surrogate has no UTF-8 form, so any position behind it would be wrong.
int FirstUnusableChar(const QString& sql) {
    for (int i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (c.isNull())
            return i;
        if (c.isHighSurrogate()) {
            if (i + 1 < sql.size() && sql[i + 1].isLowSurrogate()) {
                ++i;
                continue;
            }
            return i;
        }
        if (c.isLowSurrogate())
            return i;
    }
    return -1;
}

struct PgResult {
    PGresult* r;
    ~PgResult() { PQclear(r); }
};

QString ServerText(const PGresult* r, int field) {
    const char* v = r ? PQresultErrorField(r, field) : nullptr;
    return v ? QString::fromUtf8(v) : QString();
}

// Whether one of the statements of text creates, alters or drops objects, or otherwise changes
// what a later statement's names mean (search path, role, a DO block or procedure that may do
// anything). Plain data statements and transaction control leave the catalogue alone.
bool ChangesCatalogue(const QByteArray& text) {
    PgQueryParseResult parsed = pg_query_parse(text.constData());
    std::unique_ptr<PgQueryParseResult, void (*)(PgQueryParseResult*)> guard(
        &parsed, [](PgQueryParseResult* r) { pg_query_free_parse_result(*r); });
    if (parsed.error || !parsed.parse_tree)
        return false;
    static const QStringList plain = {
        QStringLiteral("SelectStmt"),   QStringLiteral("InsertStmt"),
        QStringLiteral("UpdateStmt"),   QStringLiteral("DeleteStmt"),
        QStringLiteral("MergeStmt"),    QStringLiteral("TransactionStmt"),
        QStringLiteral("ExplainStmt"),  QStringLiteral("VariableShowStmt"),
        QStringLiteral("LockStmt"),     QStringLiteral("VacuumStmt"),
        QStringLiteral("NotifyStmt"),   QStringLiteral("ListenStmt"),
        QStringLiteral("UnlistenStmt"), QStringLiteral("CheckPointStmt"),
        QStringLiteral("CopyStmt"),     QStringLiteral("TruncateStmt"),
        QStringLiteral("ClusterStmt"),  QStringLiteral("ReindexStmt"),
        QStringLiteral("DeallocateStmt")};
    const QJsonArray stmts =
        QJsonDocument::fromJson(QByteArray(parsed.parse_tree)).object().value(u"stmts").toArray();
    for (const QJsonValue& v : stmts) {
        const QJsonObject node = v.toObject().value(u"stmt").toObject();
        const QString kind = node.isEmpty() ? QString() : node.begin().key();
        if (!plain.contains(kind))
            return true;
        if (kind == u"SelectStmt" && node.begin().value().toObject().contains(u"intoClause"))
            return true; // SELECT ... INTO creates a table
    }
    return false;
}

} // namespace

int TParsedScript::MapPosition(int byteOffset, int codePointPosition) const {
    if (codePointPosition <= 0)
        return 0;
    const int start =
        QString::fromUtf8(utf8.constData(), qMin<qsizetype>(byteOffset, utf8.size())).size();
    const int r = start + IndexOfCodePoint(QStringView(rewritten).mid(start), codePointPosition);
    // Back through the parameter rewriting: inside a "$n" points at its ":name".
    int delta = 0;
    for (const TReplacement& p : replacements) {
        if (r < p.rewrittenIndex)
            break;
        if (r < p.rewrittenIndex + p.rewrittenLength)
            return p.originalIndex + 1;
        delta = (p.originalIndex + p.originalLength) - (p.rewrittenIndex + p.rewrittenLength);
    }
    return qMin<int>(r + delta, original.size()) + 1;
}

TSqlCheckResult ParseScript(const QString& sql, TParsedScript& script) {
    script = TParsedScript();
    script.original = sql;
    const int bad = FirstUnusableChar(sql);
    if (bad >= 0)
        return Failed(sql[bad].isNull()
                          ? QStringLiteral("Der Text enthält ein Nullzeichen.")
                          : QStringLiteral("Der Text enthält ein ungültiges Zeichen."),
                      QStringLiteral("22021"), bad + 1);

    QString out;
    out.reserve(sql.size() + 16);
    QHash<QString, int> numbers; // by lower-case name: a name used twice keeps its number
    int last = 0;
    for (const Dunmere::SqlMarker& m : Dunmere::ScanSql(sql)) {
        if (m.kind != Dunmere::SqlMarker::Param)
            continue;
        const QString key = m.name.toLower();
        auto it = numbers.find(key);
        if (it == numbers.end())
            it = numbers.insert(key, int(numbers.size()));
        const int nr = *it;
        out += QStringView(sql).mid(last, m.pos - last);
        const QString param = QLatin1Char('$') + QString::number(nr + 1);
        script.replacements.append({int(out.size()), int(param.size()), m.pos, m.len, nr + 1, 0});
        out += param;
        last = m.pos + m.len;
    }
    out += QStringView(sql).mid(last);
    script.rewritten = out;
    script.utf8 = out.toUtf8();
    int bytes = 0, done = 0;
    for (TParsedScript::TReplacement& p : script.replacements) {
        bytes += int(QStringView(out).mid(done, p.rewrittenIndex - done).toUtf8().size());
        done = p.rewrittenIndex;
        p.utf8Offset = bytes;
    }

    PgQuerySplitResult split = pg_query_split_with_parser(script.utf8.constData());
    std::unique_ptr<PgQuerySplitResult, void (*)(PgQuerySplitResult*)> guard(
        &split, [](PgQuerySplitResult* r) { pg_query_free_split_result(*r); });
    if (split.error)
        return Failed(QString::fromUtf8(split.error->message), QStringLiteral("42601"),
                      script.MapPosition(0, split.error->cursorpos));
    for (int i = 0; i < split.n_stmts; ++i)
        script.statements.append({split.stmts[i]->stmt_location, split.stmts[i]->stmt_len});
    return {};
}

TSqlCheckResult PrepareScript(TVoskDatabase& db, const TParsedScript& script, int timeoutMs) {
    PGconn* conn = db.Handle();
    if (!conn || PQstatus(conn) != CONNECTION_OK)
        return Failed(QStringLiteral("Keine Verbindung zur Datenbank."), QStringLiteral("08006"));
    if (script.statements.isEmpty())
        return {};
    // Inside a caller's transaction a savepoint keeps it; otherwise a transaction of our own that
    // cannot write even if something slipped through.
    const bool nested = PQtransactionStatus(conn) != PQTRANS_IDLE;
    const QByteArray timeout = QByteArray::number(qMax(1, timeoutMs));
    const QList<QByteArray> begin = {
        nested ? QByteArray("SAVEPOINT korvex_sqlcheck") : QByteArray("BEGIN READ ONLY"),
        "SELECT set_config('statement_timeout', '" + timeout +
            "', true), set_config('lock_timeout', '" + timeout + "', true)"};
    const QList<QByteArray> end =
        nested ? QList<QByteArray>{"ROLLBACK TO SAVEPOINT korvex_sqlcheck",
                                   "RELEASE SAVEPOINT korvex_sqlcheck"}
               : QList<QByteArray>{"ROLLBACK"};

    // The parameters are numbered across the script; a statement declares those it does not use
    // (as text), since the server cannot type a parameter it never sees.
    const auto types = [&](const TParsedScript::TStatement& s) {
        std::vector<Oid> t;
        for (const TParsedScript::TReplacement& p : script.replacements)
            if (p.utf8Offset >= s.location && p.utf8Offset < s.location + s.length) {
                if (int(t.size()) < p.number)
                    t.resize(size_t(p.number), 25);
                t[size_t(p.number - 1)] = 0;
            }
        return t;
    };
    std::vector<std::vector<Oid>> paramTypes;
    paramTypes.reserve(size_t(script.statements.size()));
    for (const TParsedScript::TStatement& s : script.statements)
        paramTypes.push_back(types(s));

    const auto serverFailure = [&](const PGresult* r) {
        QString message = ServerText(r, PG_DIAG_MESSAGE_PRIMARY);
        if (message.isEmpty())
            message = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        return Failed(message, ServerText(r, PG_DIAG_SQLSTATE));
    };
    const auto broken = [&] {
        const TSqlCheckResult r = Failed(QString::fromUtf8(PQerrorMessage(conn)).trimmed(),
                                         QStringLiteral("08006"));
        PQexitPipelineMode(conn);
        return r;
    };
    // The answer to one command (its first result; the caller clears it), null when the
    // connection broke.
    const auto answer = [&]() -> PGresult* {
        PGresult* first = PQgetResult(conn);
        while (PGresult* more = first ? PQgetResult(conn) : nullptr)
            PQclear(more);
        return first;
    };
    const auto synced = [&] {
        PgResult r{PQgetResult(conn)};
        return r.r && PQresultStatus(r.r) == PGRES_PIPELINE_SYNC;
    };

    // One round trip: the transaction's start, every prepare, its end. The first prepare that
    // fails aborts the transaction and the server skips the rest. A parameter whose type only the
    // caller could tell (42P18) is no error: the check goes on after it in a fresh transaction.
    int next = 0;
    while (next < script.statements.size()) {
        if (!PQenterPipelineMode(conn))
            return broken();
        db.CountRoundTrip();
        const auto sendAll = [&](const QList<QByteArray>& commands) {
            for (const QByteArray& c : commands)
                if (!PQsendQueryParams(conn, c.constData(), 0, nullptr, nullptr, nullptr,
                                       nullptr, 0))
                    return false;
            return PQpipelineSync(conn) == 1;
        };
        bool sent = sendAll(begin);
        for (int i = next; sent && i < script.statements.size(); ++i) {
            const TParsedScript::TStatement& s = script.statements[i];
            const QByteArray text = script.utf8.mid(s.location, s.length);
            const std::vector<Oid>& t = paramTypes[size_t(i)];
            sent = PQsendPrepare(conn, "", text.constData(), int(t.size()), t.data()) == 1;
        }
        sent = sent && PQpipelineSync(conn) == 1 && sendAll(end);
        if (!sent)
            return broken();

        TSqlCheckResult result;
        for (qsizetype i = 0; i < begin.size(); ++i) {
            PgResult r{answer()};
            if (!r.r)
                return broken();
            if (result.ok && PQresultStatus(r.r) != PGRES_COMMAND_OK &&
                PQresultStatus(r.r) != PGRES_TUPLES_OK)
                result = serverFailure(r.r);
        }
        if (!synced())
            return broken();
        int failed = -1;
        for (int i = next; i < script.statements.size(); ++i) {
            PgResult r{answer()};
            if (!r.r)
                return broken();
            const ExecStatusType status = PQresultStatus(r.r);
            if (status == PGRES_COMMAND_OK || status == PGRES_PIPELINE_ABORTED || failed >= 0 ||
                !result.ok)
                continue;
            failed = i;
            result = serverFailure(r.r);
            const TParsedScript::TStatement& s = script.statements[i];
            result.position = script.MapPosition(
                s.location, ServerText(r.r, PG_DIAG_STATEMENT_POSITION).toInt());
        }
        if (!synced())
            return broken();
        for (qsizetype i = 0; i < end.size(); ++i)
            PgResult{answer()};
        if (!synced() || !PQexitPipelineMode(conn))
            return broken();
        if (failed >= 0 && result.sqlState == QLatin1String("42P18")) {
            next = failed + 1;
            continue;
        }
        // Unknown or duplicate names and types (classes 42 and 3F) may come from what an earlier
        // statement creates or alters; a wrong value (class 22) is wrong whatever ran before.
        const bool namesOrTypes = result.sqlState.startsWith(QLatin1String("42")) ||
                                  result.sqlState.startsWith(QLatin1String("3F"));
        if (failed >= 0 && namesOrTypes &&
            ChangesCatalogue(script.utf8.left(script.statements[failed].location))) {
            // Prepared, not run: what the earlier statements create or alter is not there yet.
            const int at = result.position > 0
                               ? result.position - 1
                               : script.MapPosition(script.statements[failed].location, 1) - 1;
            const int line = int(QStringView(script.original).left(at).count(u'\n')) + 1;
            result.ok = true;
            result.notCheckable = true;
            result.message =
                QStringLiteral("Die Anweisung in Zeile %1 lässt sich erst beim Ausführen prüfen: "
                               "sie baut auf dem auf, was eine frühere Anweisung des Textes "
                               "anlegt oder ändert.")
                    .arg(line);
        }
        return result;
    }
    return {};
}

TSqlCheckResult CheckSql(TVoskDatabase& db, const QString& sql, int timeoutMs) {
    TParsedScript script;
    TSqlCheckResult r = ParseScript(sql, script);
    if (!r.ok)
        return r;
    return PrepareScript(db, script, timeoutMs);
}

} // namespace USqlCheck
