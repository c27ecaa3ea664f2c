#include "SqlScanner.h"

namespace Dunmere {

namespace {

bool isIdentStart(QChar c) { return c.isLetter() || c == u'_'; }
bool isIdentChar(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; }

// Index just past the end of a literal or comment starting at i, or i when none starts there.
int skipQuoted(const QString& s, int i) {
    const int n = s.size();
    const QChar c = s.at(i);
    if (c == u'\'') {
        // E'...' takes backslash escapes; a plain literal only doubles the quote.
        const bool escapes = i > 0 && (s.at(i - 1) == u'e' || s.at(i - 1) == u'E') &&
                             (i < 2 || !isIdentChar(s.at(i - 2)));
        int j = i + 1;
        while (j < n) {
            if (escapes && s.at(j) == u'\\') {
                j += 2;
                continue;
            }
            if (s.at(j) == u'\'') {
                if (j + 1 < n && s.at(j + 1) == u'\'') {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    }
    if (c == u'"') {
        int j = i + 1;
        while (j < n) {
            if (s.at(j) == u'"') {
                if (j + 1 < n && s.at(j + 1) == u'"') {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    }
    if (c == u'-' && i + 1 < n && s.at(i + 1) == u'-') {
        const int e = s.indexOf(u'\n', i);
        return e < 0 ? n : e + 1;
    }
    if (c == u'/' && i + 1 < n && s.at(i + 1) == u'*') {
        int depth = 1;
        int j = i + 2;
        while (j < n && depth > 0) {
            if (s.at(j) == u'/' && j + 1 < n && s.at(j + 1) == u'*') {
                ++depth;
                j += 2;
            } else if (s.at(j) == u'*' && j + 1 < n && s.at(j + 1) == u'/') {
                --depth;
                j += 2;
            } else {
                ++j;
            }
        }
        return j;
    }
    if (c == u'$' && (i == 0 || !isIdentChar(s.at(i - 1)))) {
        // $tag$ ... $tag$; "$1" is a positional parameter, not a quote.
        int j = i + 1;
        if (j < n && s.at(j).isDigit())
            return i;
        while (j < n && isIdentChar(s.at(j)) && s.at(j) != u'$')
            ++j;
        if (j >= n || s.at(j) != u'$')
            return i;
        const QString tag = s.mid(i, j - i + 1);
        const int e = s.indexOf(tag, j + 1);
        return e < 0 ? n : e + tag.size();
    }
    return i;
}

} // namespace

QList<SqlMarker> ScanSql(const QString& sql) {
    QList<SqlMarker> out;
    const int n = sql.size();
    int i = 0;
    int brackets = 0;     // depth of square brackets: array subscripts and slices
    QChar lastSignificant; // the last character that is no blank, outside literals and comments
    while (i < n) {
        const int skipped = skipQuoted(sql, i);
        if (skipped != i) {
            // A literal ends an operand; a comment is as good as a blank.
            if (sql.at(i) == u'\'' || sql.at(i) == u'"' || sql.at(i) == u'$')
                lastSignificant = u'\'';
            i = skipped;
            continue;
        }
        const QChar c = sql.at(i);
        if (c == u'[')
            ++brackets;
        else if (c == u']' && brackets > 0)
            --brackets;
        // Inside brackets a colon behind an operand separates the bounds of a slice
        // ("a[0:n - 1]"); one that opens a bound is a parameter ("a[:i]").
        const bool sliceColon = c == u':' && brackets > 0 &&
                                (isIdentChar(lastSignificant) || lastSignificant == u')' ||
                                 lastSignificant == u']' || lastSignificant == u'\'');
        if (!c.isSpace())
            lastSignificant = c;
        if ((c == u':' && !sliceColon) || c == u'&') {
            if (i + 1 < n && sql.at(i + 1) == c) { // "::" cast, "&&" operator
                i += 2;
                continue;
            }
            if (i + 1 < n && isIdentStart(sql.at(i + 1)) && (i == 0 || sql.at(i - 1) != c)) {
                int j = i + 1;
                while (j < n && (sql.at(j).isLetterOrNumber() || sql.at(j) == u'_'))
                    ++j;
                out.append({c == u':' ? SqlMarker::Param : SqlMarker::Macro, i, j - i,
                            sql.mid(i + 1, j - i - 1)});
                lastSignificant = sql.at(j - 1); // a parameter is an operand
                i = j;
                continue;
            }
        }
        ++i;
    }
    return out;
}

QStringList MacroNames(const QString& sql) {
    QStringList names;
    for (const auto& m : ScanSql(sql))
        if (m.kind == SqlMarker::Macro && !names.contains(m.name, Qt::CaseInsensitive))
            names.append(m.name);
    return names;
}

QString ExpandMacros(const QString& sql, const std::function<QString(const QString&)>& valueOf) {
    QString out;
    out.reserve(sql.size());
    int last = 0;
    for (const auto& m : ScanSql(sql)) {
        if (m.kind != SqlMarker::Macro)
            continue;
        out += QStringView(sql).mid(last, m.pos - last);
        out += valueOf(m.name);
        last = m.pos + m.len;
    }
    out += QStringView(sql).mid(last);
    return out;
}

RewrittenSql RewriteParams(const QString& sql) {
    RewrittenSql r;
    QString out;
    out.reserve(sql.size() + 8);
    int last = 0;
    for (const auto& m : ScanSql(sql)) {
        if (m.kind != SqlMarker::Param)
            continue;
        int nr = -1;
        for (int k = 0; k < r.paramNames.size(); ++k)
            if (r.paramNames.at(k).compare(m.name, Qt::CaseInsensitive) == 0) {
                nr = k;
                break;
            }
        if (nr < 0) {
            r.paramNames.append(m.name);
            nr = r.paramNames.size() - 1;
        }
        out += QStringView(sql).mid(last, m.pos - last);
        out += u'$';
        out += QString::number(nr + 1);
        last = m.pos + m.len;
    }
    out += QStringView(sql).mid(last);
    r.text = out.toUtf8();
    return r;
}

QStringList SplitStatements(const QString& sql) {
    QStringList out;
    const int n = sql.size();
    int start = 0;
    int depth = 0; // a ";" inside parentheses (a function body written inline) does not split
    const auto take = [&](int end) {
        const QString part = sql.mid(start, end - start).trimmed();
        if (!part.isEmpty())
            out.append(part);
        start = end + 1;
    };
    for (int i = 0; i < n;) {
        const int skipped = skipQuoted(sql, i);
        if (skipped != i) {
            i = skipped;
            continue;
        }
        const QChar c = sql.at(i);
        if (c == u'(')
            ++depth;
        else if (c == u')' && depth > 0)
            --depth;
        else if (c == u';' && depth == 0)
            take(i);
        ++i;
    }
    take(n);
    return out;
}

QString ReplaceParam(const QString& sql, const QString& name, const QString& text) {
    QString out;
    int last = 0;
    for (const auto& m : ScanSql(sql)) {
        if (m.kind != SqlMarker::Param || m.name != name)
            continue;
        out += QStringView(sql).mid(last, m.pos - last);
        out += text;
        last = m.pos + m.len;
    }
    out += QStringView(sql).mid(last);
    return out;
}

} // namespace Dunmere
