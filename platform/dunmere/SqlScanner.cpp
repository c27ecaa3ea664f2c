#include "SqlScanner.h"

#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <vector>

namespace Dunmere {

namespace {

bool isIdentStart(QChar c) { return c.isLetter() || c == u'_'; }
bool isIdentChar(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; }

// Index just past the end of a literal or comment starting at i, or i when none starts there.
int skipQuoted(QStringView s, int i) {
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
        const int e = int(s.indexOf(u'\n', i));
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
        const QStringView tag = s.sliced(i, j - i + 1);
        const int e = int(s.indexOf(tag, j + 1));
        return e < 0 ? n : e + tag.size();
    }
    return i;
}

// The scan itself, with the callback inlined: the parameter rewrite calls it once per marker
// of every text it sends.
template <class Found> void ScanMarkers(QStringView sql, Found&& found) {
    const int n = int(sql.size());
    int i = 0;
    int brackets = 0;     // depth of square brackets: array subscripts and slices
    QChar lastSignificant; // the last character that is no blank, outside literals and comments
    // Outside brackets only these characters can start anything; lastSignificant matters only
    // inside brackets, and "[" sets it.
    static constexpr auto special = [] {
        std::array<bool, 128> t{};
        for (const char c : std::string_view("'\"-/$:&[]"))
            t[size_t(c)] = true;
        return t;
    }();
    const char16_t* d = sql.utf16();
    while (i < n) {
        if (brackets == 0) {
            while (i < n && (d[i] >= 128 || !special[d[i]]))
                ++i;
            if (i == n)
                break;
        }
        const QChar c = sql[i];
        switch (c.unicode()) {
        case u'\'':
        case u'"':
        case u'-':
        case u'/':
        case u'$':
            if (const int skipped = skipQuoted(sql, i); skipped != i) {
                // A literal ends an operand; a comment is as good as a blank.
                if (c == u'\'' || c == u'"' || c == u'$')
                    lastSignificant = u'\'';
                i = skipped;
                continue;
            }
            break;
        case u'[':
            ++brackets;
            break;
        case u']':
            if (brackets > 0)
                --brackets;
            break;
        default:
            break;
        }
        // Inside brackets a colon behind an operand separates the bounds of a slice
        // ("a[0:n - 1]"); one that opens a bound is a parameter ("a[:i]").
        const bool sliceColon = c == u':' && brackets > 0 &&
                                (isIdentChar(lastSignificant) || lastSignificant == u')' ||
                                 lastSignificant == u']' || lastSignificant == u'\'');
        if (!c.isSpace())
            lastSignificant = c;
        if ((c == u':' && !sliceColon) || c == u'&') {
            if (i + 1 < n && sql[i + 1] == c) { // "::" cast, "&&" operator
                i += 2;
                continue;
            }
            if (i + 1 < n && isIdentStart(sql[i + 1]) && (i == 0 || sql[i - 1] != c)) {
                int j = i + 1;
                while (j < n && (sql[j].isLetterOrNumber() || sql[j] == u'_'))
                    ++j;
                found(c == u':' ? SqlMarker::Param : SqlMarker::Macro, i, j - i);
                lastSignificant = sql[j - 1]; // a parameter is an operand
                i = j;
                continue;
            }
        }
        ++i;
    }
}

} // namespace

void ForEachMarker(QStringView sql,
                   const std::function<void(SqlMarker::Kind kind, int pos, int len)>& found) {
    ScanMarkers(sql, found);
}

QList<SqlMarker> ScanSql(const QString& sql) {
    QList<SqlMarker> out;
    ForEachMarker(sql, [&](SqlMarker::Kind kind, int pos, int len) {
        out.append({kind, pos, len, sql.mid(pos + 1, len - 1)});
    });
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

namespace {

// The numbers of the parameter names seen so far, by name ignoring case: an open-addressed
// table of indexes into the names, without a node or a copy a name.
class NameNumbers final {
public:
    // The number of name; a new name gets the next one, and added says so.
    int Number(QStringView name, bool& added) {
        if (2 * (m_names.size() + 1) > m_slots.size())
            Grow();
        const size_t mask = m_slots.size() - 1;
        for (size_t at = Hash(name) & mask;; at = (at + 1) & mask) {
            const int k = m_slots[at];
            if (k < 0) {
                m_names.push_back(name);
                m_slots[at] = int(m_names.size()) - 1;
                added = true;
                return int(m_names.size());
            }
            const QStringView known = m_names[size_t(k)];
            if (known.size() == name.size() && known.compare(name, Qt::CaseInsensitive) == 0) {
                added = false;
                return k + 1;
            }
        }
    }

private:
    static size_t Hash(QStringView name) {
        size_t h = 0xcbf29ce484222325ULL;
        for (const QChar c : name) {
            const char16_t u = c.unicode();
            h = (h ^ (u < 128 ? (u >= 'A' && u <= 'Z' ? u | 0x20 : u) : c.toCaseFolded().unicode())) *
                0x100000001b3ULL;
        }
        return h ^ (h >> 29);
    }
    void Grow() {
        m_slots.assign(std::max<size_t>(64, 2 * m_slots.size()), -1);
        const size_t mask = m_slots.size() - 1;
        for (size_t k = 0; k < m_names.size(); ++k) {
            size_t at = Hash(m_names[k]) & mask;
            while (m_slots[at] >= 0)
                at = (at + 1) & mask;
            m_slots[at] = int(k);
        }
    }

    std::vector<int> m_slots;
    std::vector<QStringView> m_names;
};

int FirstUnusableChar(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isNull())
            return int(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return int(i);
    }
    return -1;
}

} // namespace

RewrittenSql RewriteParams(QStringView sql) {
    RewrittenSql r;
    const int n = int(sql.size());
    QByteArray& out = r.text;
    // Sized for text that is mostly ASCII; grown where a piece could not fit.
    out.resize(qsizetype(n) + n / 8 + 64);
    char* base = out.data();
    char* w = base;
    QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    const auto encode = [&](int from, int to) {
        const qsizetype used = w - base;
        if (const qsizetype need = qsizetype(to - from) * 3 + 16; out.size() - used < need) {
            out.resize(qMax(out.size() * 2, used + need));
            base = out.data();
            w = base + used;
        }
        const QStringView piece = sql.sliced(from, to - from);
        w = utf8.appendToBuffer(w, piece);
        if (r.unusable < 0 && (utf8.hasError() || piece.contains(QChar(0))))
            if (const int i = FirstUnusableChar(piece); i >= 0)
                r.unusable = from + i;
    };
    int last = 0;
    NameNumbers numbers; // a name used twice keeps its number
    ScanMarkers(sql, [&](SqlMarker::Kind kind, int pos, int len) {
        if (kind != SqlMarker::Param)
            return;
        encode(last, pos);
        const QStringView name = sql.sliced(pos + 1, len - 1);
        bool added = false;
        const int number = numbers.Number(name, added);
        if (added)
            r.paramNames.append(name.toString());
        const int at = int(w - base);
        *w++ = '$'; // encode() left at least 16 bytes
        w = std::to_chars(w, base + out.size(), number).ptr;
        r.sites.append({pos, len, number, at, int(w - base) - at});
        last = pos + len;
    });
    encode(last, n);
    out.truncate(w - base);
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
