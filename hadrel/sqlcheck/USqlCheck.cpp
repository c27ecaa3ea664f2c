#include "USqlCheck.h"

#include <SqlScanner.h>
#include <VoskDatabase.h>

#include <pg_query.h>

#include <libpq-fe.h>

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
    const auto* d = reinterpret_cast<const uchar*>(utf8.constData());
    const int n = int(utf8.size());
    const auto continuation = [](uchar b) { return (b & 0xC0) == 0x80; };
    int at = qBound(0, byteOffset, n);
    for (int cp = 1; cp < codePointPosition && at < n; ++cp)
        for (++at; at < n && continuation(d[at]); ++at) {
        }
    // Back through the parameter rewriting: inside a "$n" points at its ":name".
    int fromByte = 0, index = 0;
    for (const TReplacement& p : replacements) {
        if (at < p.utf8Offset)
            break;
        if (at < p.utf8Offset + p.utf8Length)
            return p.pos + 1;
        fromByte = p.utf8Offset + p.utf8Length;
        index = p.pos + p.len;
    }
    for (int k = fromByte; k < at; ++k)
        if (!continuation(d[k]))
            index += d[k] >= 0xF0 ? 2 : 1; // four bytes are a surrogate pair
    return qMin<int>(index, int(original.size())) + 1;
}

TSqlCheckResult ParseScript(const QString& sql, TParsedScript& script) {
    script = TParsedScript();
    script.original = sql;

    Dunmere::RewrittenSql rewritten = Dunmere::RewriteParams(sql);
    if (const int bad = rewritten.unusable; bad >= 0)
        return Failed(sql[bad].isNull()
                          ? QStringLiteral("Der Text enthält ein Nullzeichen.")
                          : QStringLiteral("Der Text enthält ein ungültiges Zeichen."),
                      QStringLiteral("22021"), bad + 1);
    script.utf8 = std::move(rewritten.text);
    script.replacements = std::move(rewritten.sites);

    PgQuerySplitResult split = pg_query_split_with_parser(script.utf8.constData());
    std::unique_ptr<PgQuerySplitResult, void (*)(PgQuerySplitResult*)> guard(
        &split, [](PgQuerySplitResult* r) { pg_query_free_split_result(*r); });
    if (split.error)
        return Failed(QString::fromUtf8(split.error->message), QStringLiteral("42601"),
                      script.MapPosition(0, split.error->cursorpos));
    script.statements.reserve(split.n_stmts);
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
    // (as text), since the server cannot type a parameter it never sees. Statements and
    // parameters are both in text order.
    std::vector<std::vector<Oid>> paramTypes(size_t(script.statements.size()));
    qsizetype first = 0;
    for (qsizetype i = 0; i < script.statements.size(); ++i) {
        const TParsedScript::TStatement& s = script.statements[i];
        while (first < script.replacements.size() &&
               script.replacements[first].utf8Offset < s.location)
            ++first;
        std::vector<Oid>& t = paramTypes[size_t(i)];
        for (qsizetype k = first; k < script.replacements.size() &&
                                  script.replacements[k].utf8Offset < s.location + s.length;
             ++k) {
            const int nr = script.replacements[k].number;
            if (int(t.size()) < nr)
                t.resize(size_t(nr), 25);
            t[size_t(nr - 1)] = 0;
        }
    }

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
