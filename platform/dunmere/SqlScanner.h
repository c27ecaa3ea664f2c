#pragma once
// Finds ":name" parameters and "&name" macros in SQL text, skipping string literals (also E'' and
// dollar quoting), quoted identifiers, comments and "::" casts, and rewrites parameters to "$n".

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

namespace Dunmere {

struct SqlMarker final {
    enum Kind { Param, Macro };
    Kind kind = Param;
    int pos = 0; // of the ':' or '&'
    int len = 0; // including the ':' or '&'
    QString name;
};

QList<SqlMarker> ScanSql(const QString& sql);
// The same markers in the same order, without copying their names: for callers on a hot path.
void ForEachMarker(QStringView sql,
                   const std::function<void(SqlMarker::Kind kind, int pos, int len)>& found);

// The macro names in order of first appearance, each once (case-insensitive).
QStringList MacroNames(const QString& sql);
// Replaces every macro by valueOf(name).
QString ExpandMacros(const QString& sql, const std::function<QString(const QString&)>& valueOf);

struct RewrittenSql final {
    QByteArray text;        // UTF-8, parameters as $1, $2, ...
    QStringList paramNames; // $n is paramNames[n-1]; a name used twice keeps its first number
    struct Site final {
        int pos = 0; // of the ":name" in the source text
        int len = 0;
        int number = 0; // the n of "$n"
        int utf8Offset = 0; // of the "$n" in text
        int utf8Length = 0;
    };
    QList<Site> sites; // in text order
    // Index of the first character that libpq cannot take (a NUL or a lone surrogate), or -1.
    int unusable = -1;
};
// One pass: the text between the parameters goes to UTF-8 straight into text.
RewrittenSql RewriteParams(QStringView sql);

// The statements of a script, split at the semicolons that stand outside literals, quoted
// identifiers, dollar quotes, comments and parentheses; each trimmed, without its ";", empty
// ones left out.
QStringList SplitStatements(const QString& sql);

// Replaces every parameter named exactly name (case-sensitive, whole name) by text; literals,
// comments and longer names that begin with name stay as they are.
QString ReplaceParam(const QString& sql, const QString& name, const QString& text);

} // namespace Dunmere
