#pragma once
// Syntax check of SQL text that runs nothing. The text's ":name" parameters become "$n" as the
// query class binds them; PostgreSQL's own parser splits and parses the script (a syntax error ends
// the check there); then the server prepares every statement inside a read-only transaction with a
// statement timeout, which is always rolled back, all in one round trip. Nothing the user wrote is
// executed.

#include <QByteArray>
#include <QList>
#include <QString>

#include <SqlScanner.h>

class TVoskDatabase;

namespace USqlCheck {

struct TSqlCheckResult {
    bool ok = true;
    QString message;  // German for checks of our own, the parser's or server's text otherwise
    QString sqlState; // "42601" for a syntax error, the server's code, empty when none
    int position = 0; // 1-based character (QString index + 1) in the checked text; 0 when unknown
    // ok, but a statement failed that stands behind one that creates or alters objects (or the
    // search path): what it refers to exists only once the text runs; message says which.
    bool notCheckable = false;
};

// A script after the parser stage: the text as sent, UTF-8 with parameters as "$n", and its
// statements as byte ranges.
struct TParsedScript {
    QString original;
    QByteArray utf8;
    struct TStatement {
        int location = 0; // bytes into utf8
        int length = 0;
    };
    QList<TStatement> statements;
    using TReplacement = Dunmere::RewrittenSql::Site;
    QList<TReplacement> replacements; // in text order

    // QString index in original for a 1-based code-point position in utf8 counted from
    // byteOffset; the result is 1-based, 0 for position 0.
    int MapPosition(int byteOffset, int codePointPosition) const;
};

// Parser stage only; fills script when the text parses.
TSqlCheckResult ParseScript(const QString& sql, TParsedScript& script);

// Server stage on a parsed script. timeoutMs bounds every statement, lock waits included.
TSqlCheckResult PrepareScript(TVoskDatabase& db, const TParsedScript& script, int timeoutMs);

// Both stages. SQLSTATE 42P18 (a parameter whose type the server cannot tell) counts as no error;
// so does a failure behind a statement that changes the catalogue, reported as not checkable.
TSqlCheckResult CheckSql(TVoskDatabase& db, const QString& sql, int timeoutMs = 5000);

} // namespace USqlCheck
