#include "VoskPreviewMail.h"

#include "VoskPreviewText.h"

#include <QHash>
#include <QMap>

namespace VoskPreview {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Quoted-printable; underscore: a blank, as encoded words write it. A broken escape stays as
// written.
QByteArray decodeQuotedPrintable(QByteArrayView in, bool underscore) {
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '=' && i + 2 < in.size() && hexValue(in[i + 1]) >= 0 && hexValue(in[i + 2]) >= 0) {
            out += char(hexValue(in[i + 1]) * 16 + hexValue(in[i + 2]));
            i += 2;
        } else if (c == '=' && (i + 1 == in.size() || in[i + 1] == '\n')) {
            ++i; // a soft line break
        } else {
            out += underscore && c == '_' ? ' ' : c;
        }
    }
    return out;
}

QByteArray decodeBase64(QByteArrayView in) {
    // Line breaks and blanks between the groups are not data; a broken tail decodes as far as
    // it goes.
    return QByteArray::fromBase64(in.toByteArray(), QByteArray::Base64Encoding);
}

QByteArray decodeTransfer(QByteArrayView body, const QByteArray& encoding) {
    if (encoding == "quoted-printable")
        return decodeQuotedPrintable(body, false);
    if (encoding == "base64")
        return decodeBase64(body);
    return body.toByteArray();
}

QByteArrayView trimmed(QByteArrayView v) { return v.trimmed(); }

// A header's value and its parameters (RFC 2045 and 2231), names in lower case.
struct HeaderValue final {
    QByteArray value;
    QHash<QByteArray, QString> params;
};

QByteArray unquote(QByteArrayView v) {
    v = trimmed(v);
    if (v.size() < 2 || v.front() != '"')
        return v.toByteArray();
    QByteArray out;
    for (qsizetype i = 1; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size())
            out += v[++i];
        else if (v[i] == '"')
            break;
        else
            out += v[i];
    }
    return out;
}

QByteArray percentDecoded(QByteArrayView v) {
    QByteArray out;
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == '%' && i + 2 < v.size() && hexValue(v[i + 1]) >= 0 &&
            hexValue(v[i + 2]) >= 0) {
            out += char(hexValue(v[i + 1]) * 16 + hexValue(v[i + 2]));
            i += 2;
        } else {
            out += v[i];
        }
    }
    return out;
}

HeaderValue parseParams(QByteArrayView raw) {
    QList<QByteArrayView> pieces;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && quoted)
            ++i;
        else if (raw[i] == '"')
            quoted = !quoted;
        else if (raw[i] == ';' && !quoted) {
            pieces << raw.sliced(start, i - start);
            start = i + 1;
        }
    }
    pieces << raw.sliced(qMin(start, raw.size()));
    HeaderValue h;
    h.value = trimmed(pieces.takeFirst()).toByteArray().toLower();
    // RFC 2231 sections ("name*0*", "name*1") in order, and whether each is percent-encoded.
    QHash<QByteArray, QMap<int, std::pair<bool, QByteArray>>> sections;
    for (const QByteArrayView piece : pieces) {
        const qsizetype eq = piece.indexOf('=');
        if (eq <= 0)
            continue;
        QByteArray key = trimmed(piece.first(eq)).toByteArray().toLower();
        const QByteArray value = unquote(piece.sliced(eq + 1));
        bool extended = key.endsWith('*');
        if (extended)
            key.chop(1);
        int index = -1;
        if (const qsizetype star = key.indexOf('*'); star > 0) {
            bool ok = false;
            index = key.mid(star + 1).toInt(&ok);
            if (!ok || index < 0 || index > 999)
                continue;
            key.truncate(star);
        }
        if (index < 0 && !extended) {
            h.params.insert(key, DecodeHeader(value));
            continue;
        }
        sections[key].insert(qMax(index, 0), {extended, value});
    }
    for (auto it = sections.cbegin(); it != sections.cend(); ++it) {
        QByteArray bytes, charset;
        bool first = true;
        for (const auto& [extended, value] : it.value()) {
            QByteArrayView v = value;
            if (first && extended) {
                // charset'language'text
                const qsizetype q1 = v.indexOf('\'');
                const qsizetype q2 = q1 < 0 ? -1 : v.sliced(q1 + 1).indexOf('\'');
                if (q2 >= 0) {
                    charset = v.first(q1).toByteArray();
                    v = v.sliced(q1 + 1 + q2 + 1);
                }
            }
            bytes += extended ? percentDecoded(v) : v.toByteArray();
            first = false;
        }
        // The sections win over a plain value of the same name (written for older readers).
        h.params.insert(it.key(), charset.isEmpty() ? DecodeText(bytes).text
                                                    : DecodeCharset(bytes, charset));
    }
    return h;
}

// The unfolded headers of a part: names in lower case, the first occurrence of each.
QHash<QByteArray, QByteArray> parseHeaders(QByteArrayView block) {
    QHash<QByteArray, QByteArray> headers;
    QByteArray name, value;
    const auto flush = [&] {
        if (!name.isEmpty() && !headers.contains(name))
            headers.insert(name, value.trimmed());
        name.clear();
        value.clear();
    };
    for (const QByteArray& l : block.toByteArray().split('\n')) {
        if (l.isEmpty())
            continue;
        if ((l.front() == ' ' || l.front() == '\t') && !name.isEmpty()) {
            value += l;
            continue;
        }
        flush();
        const qsizetype colon = l.indexOf(':');
        if (colon <= 0)
            continue;
        name = l.first(colon).trimmed().toLower();
        value = l.sliced(colon + 1);
    }
    flush();
    return headers;
}

QDateTime parseDate(QByteArrayView raw) {
    QString s = QString::fromLatin1(raw).simplified();
    // A trailing comment such as "(CET)" is not part of the date.
    if (s.endsWith(u')')) {
        if (const qsizetype open = s.lastIndexOf(u'('); open > 0)
            s = s.left(open).trimmed();
    }
    return QDateTime::fromString(s, Qt::RFC2822Date);
}

} // namespace

QString DecodeHeader(QByteArrayView raw) {
    QString out;
    qsizetype i = 0;
    qsizetype plainStart = 0;
    bool lastWasWord = false;
    const auto plain = [&](qsizetype end) {
        const QByteArrayView between = raw.sliced(plainStart, end - plainStart);
        // Blanks between two encoded words are not part of the text.
        if (!(lastWasWord && between.trimmed().isEmpty()))
            out += DecodeText(between).text;
    };
    while (i < raw.size()) {
        // =?charset?enc?text?=
        const qsizetype at = raw.indexOf("=?", i);
        if (at < 0)
            break;
        i = at + 2;
        const qsizetype q1 = raw.indexOf('?', at + 2);
        if (q1 < 0 || q1 + 2 >= raw.size() || raw[q1 + 2] != '?')
            continue;
        const char enc = char(raw[q1 + 1] | 0x20);
        const qsizetype end = raw.indexOf("?=", q1 + 3);
        if (end < 0 || (enc != 'q' && enc != 'b'))
            continue;
        QByteArray charset = raw.sliced(at + 2, q1 - at - 2).toByteArray();
        if (const qsizetype star = charset.indexOf('*'); star >= 0)
            charset.truncate(star); // a language
        const QByteArrayView text = raw.sliced(q1 + 3, end - q1 - 3);
        plain(at);
        out += DecodeCharset(enc == 'q' ? decodeQuotedPrintable(text, true) : decodeBase64(text),
                             charset);
        lastWasWord = true;
        i = end + 2;
        plainStart = i;
    }
    if (plainStart < raw.size()) {
        lastWasWord = false;
        plain(raw.size());
    }
    return out.simplified();
}

QString HtmlToText(QStringView html) {
    static const QHash<QString, QString> entities = {
        {QStringLiteral("amp"), QStringLiteral("&")},     {QStringLiteral("lt"), QStringLiteral("<")},
        {QStringLiteral("gt"), QStringLiteral(">")},      {QStringLiteral("quot"), QStringLiteral("\"")},
        {QStringLiteral("apos"), QStringLiteral("'")},    {QStringLiteral("nbsp"), QStringLiteral(" ")},
        {QStringLiteral("auml"), QStringLiteral("ä")},    {QStringLiteral("ouml"), QStringLiteral("ö")},
        {QStringLiteral("uuml"), QStringLiteral("ü")},    {QStringLiteral("Auml"), QStringLiteral("Ä")},
        {QStringLiteral("Ouml"), QStringLiteral("Ö")},    {QStringLiteral("Uuml"), QStringLiteral("Ü")},
        {QStringLiteral("szlig"), QStringLiteral("ß")},   {QStringLiteral("euro"), QStringLiteral("€")},
        {QStringLiteral("copy"), QStringLiteral("©")},    {QStringLiteral("reg"), QStringLiteral("®")},
        {QStringLiteral("shy"), QString()},               {QStringLiteral("ndash"), QStringLiteral("–")},
        {QStringLiteral("mdash"), QStringLiteral("—")},   {QStringLiteral("hellip"), QStringLiteral("…")},
        {QStringLiteral("bdquo"), QStringLiteral("„")},   {QStringLiteral("ldquo"), QStringLiteral("“")},
        {QStringLiteral("rdquo"), QStringLiteral("”")},   {QStringLiteral("sbquo"), QStringLiteral("‚")},
        {QStringLiteral("lsquo"), QStringLiteral("‘")},   {QStringLiteral("rsquo"), QStringLiteral("’")},
        {QStringLiteral("laquo"), QStringLiteral("«")},   {QStringLiteral("raquo"), QStringLiteral("»")},
    };
    static const QStringList blocks = {
        QStringLiteral("br"), QStringLiteral("p"),  QStringLiteral("div"), QStringLiteral("tr"),
        QStringLiteral("li"), QStringLiteral("h1"), QStringLiteral("h2"),  QStringLiteral("h3"),
        QStringLiteral("h4"), QStringLiteral("h5"), QStringLiteral("h6"),  QStringLiteral("table"),
        QStringLiteral("blockquote"), QStringLiteral("pre"), QStringLiteral("hr")};
    QString out;
    out.reserve(html.size());
    bool space = false; // a blank is due before the next text
    const auto newline = [&] {
        while (out.endsWith(u' '))
            out.chop(1);
        if (!out.endsWith(QStringLiteral("\n\n")))
            out += u'\n';
        space = false;
    };
    qsizetype i = 0;
    while (i < html.size()) {
        const QChar c = html[i];
        if (c == u'<') {
            if (html.sliced(i).startsWith(u"<!--")) {
                const qsizetype end = html.sliced(i + 4).indexOf(u"-->");
                i = end < 0 ? html.size() : i + 4 + end + 3;
                continue;
            }
            qsizetype j = i + 1;
            const bool closing = j < html.size() && html[j] == u'/';
            if (closing)
                ++j;
            const qsizetype nameStart = j;
            while (j < html.size() && html[j].isLetterOrNumber())
                ++j;
            const QString name = html.sliced(nameStart, j - nameStart).toString().toLower();
            const qsizetype close = html.sliced(j).indexOf(u'>');
            if (close < 0)
                break;
            i = j + close + 1;
            if (!closing && (name == u"script" || name == u"style" || name == u"head" ||
                             name == u"title")) {
                // Skip to the matching end tag.
                const QString endTag = QStringLiteral("</") + name;
                const qsizetype end = html.sliced(i).indexOf(endTag, 0, Qt::CaseInsensitive);
                if (end < 0)
                    break;
                i += end;
                continue;
            }
            if (blocks.contains(name)) {
                newline();
                if (name == u"li" && !closing)
                    out += QStringLiteral("• ");
            } else if (name == u"td" || name == u"th") {
                space = true;
            }
            continue;
        }
        if (c == u'&') {
            const qsizetype semi = html.sliced(i).left(12).indexOf(u';');
            if (semi > 1) {
                const QStringView ref = html.sliced(i + 1, semi - 1);
                QString decoded;
                bool ok = false;
                if (ref.startsWith(u'#')) {
                    const bool hex = ref.size() > 1 && (ref[1] == u'x' || ref[1] == u'X');
                    const uint code = ref.sliced(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
                    ok = ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code < 0xE000);
                    if (ok) {
                        const char32_t cp = code;
                        decoded = QString::fromUcs4(&cp, 1);
                    }
                } else if (const auto it = entities.constFind(ref.toString()); it != entities.cend()) {
                    decoded = *it;
                    ok = true;
                }
                if (ok) {
                    if (space && !out.isEmpty() && !out.endsWith(u'\n'))
                        out += u' ';
                    space = false;
                    out += decoded;
                    i += semi + 1;
                    continue;
                }
            }
        }
        if (c.isSpace()) {
            space = true;
        } else {
            if (space && !out.isEmpty() && !out.endsWith(u'\n'))
                out += u' ';
            space = false;
            out += c;
        }
        ++i;
    }
    while (out.endsWith(u'\n') || out.endsWith(u' '))
        out.chop(1);
    while (out.startsWith(u'\n'))
        out.remove(0, 1);
    return out;
}

void TMailPreviewReader::Feed(QByteArrayView chunk) {
    while (!chunk.isEmpty()) {
        const qsizetype nl = chunk.indexOf('\n');
        if (nl < 0) {
            // A line longer than any header or text the preview keeps is cut; its tail is
            // dropped with it rather than held.
            if (m_pending.size() < MaxBodyBytes)
                m_pending += chunk.first(qMin(chunk.size(), MaxBodyBytes - m_pending.size()));
            return;
        }
        if (m_pending.isEmpty()) {
            line(chunk.first(nl));
        } else {
            if (m_pending.size() < MaxBodyBytes)
                m_pending += chunk.first(qMin(nl, MaxBodyBytes - m_pending.size()));
            line(m_pending);
            m_pending.clear();
        }
        chunk = chunk.sliced(nl + 1);
    }
}

void TMailPreviewReader::line(QByteArrayView l) {
    if (l.endsWith('\r'))
        l.chop(1);
    if (!m_boundaries.isEmpty() && l.startsWith("--")) {
        for (qsizetype i = m_boundaries.size() - 1; i >= 0; --i) {
            const QByteArray& b = m_boundaries[i];
            if (!l.sliced(2).startsWith(b))
                continue;
            const QByteArrayView rest = l.sliced(2 + b.size());
            const bool closing = rest.startsWith("--");
            if (!closing && !rest.trimmed().isEmpty())
                continue;
            // The line break before a boundary belongs to the boundary.
            if (m_body.endsWith('\n'))
                m_body.chop(1);
            endPart();
            m_boundaries.resize(closing ? i : i + 1);
            m_state = closing ? State::Ignore : State::Headers;
            m_headers.clear();
            return;
        }
    }
    switch (m_state) {
    case State::Headers:
        if (l.isEmpty()) {
            beginBody();
        } else if (m_headers.size() + l.size() < MaxHeaderBytes) {
            m_headers += l;
            m_headers += '\n';
        }
        break;
    case State::Body:
        if (m_role == Role::None)
            break;
        if (m_body.size() + l.size() + 1 > MaxBodyBytes) {
            endPart();
            m_mail.shortened = true;
            break;
        }
        m_body += l;
        m_body += '\n';
        break;
    case State::Ignore:
        break;
    }
}

void TMailPreviewReader::beginBody() {
    const QHash<QByteArray, QByteArray> headers = parseHeaders(m_headers);
    m_headers.clear();
    if (m_top) {
        m_top = false;
        m_mail.from = DecodeHeader(headers.value("from"));
        m_mail.to = DecodeHeader(headers.value("to"));
        m_mail.cc = DecodeHeader(headers.value("cc"));
        m_mail.subject = DecodeHeader(headers.value("subject"));
        m_mail.date = DecodeHeader(headers.value("date"));
        m_mail.sent = parseDate(headers.value("date"));
    }
    const HeaderValue type = parseParams(
        headers.contains("content-type") ? headers.value("content-type") : "text/plain");
    const HeaderValue disposition = parseParams(headers.value("content-disposition"));
    m_state = State::Ignore;
    if (type.value.startsWith("multipart/")) {
        const QString boundary = type.params.value("boundary");
        if (!boundary.isEmpty() && m_boundaries.size() < MaxDepth)
            m_boundaries << boundary.toUtf8();
        return;
    }
    const QString name = disposition.params.value("filename", type.params.value("name"));
    const bool attachment = disposition.value == "attachment" || !name.isEmpty();
    if (!attachment && type.value == "text/plain") {
        if (m_mail.shortened)
            return;
        m_role = Role::Plain;
    } else if (!attachment && type.value == "text/html" && m_html.isEmpty()) {
        m_role = Role::Html;
    } else {
        m_mail.attachments << (name.isEmpty() ? QStringLiteral("Anhang ohne Namen (%1)")
                                                    .arg(QString::fromLatin1(type.value))
                                              : name);
        return;
    }
    m_state = State::Body;
    m_encoding = trimmed(headers.value("content-transfer-encoding")).toByteArray().toLower();
    m_charset = type.params.value("charset").toLatin1();
    m_body.clear();
}

void TMailPreviewReader::endPart() {
    if (m_role != Role::None) {
        const QString text = DecodeCharset(decodeTransfer(m_body, m_encoding), m_charset);
        if (m_role == Role::Plain)
            m_plain += (m_plain.isEmpty() || text.isEmpty() ? QString() : QStringLiteral("\n")) + text;
        else
            m_html = text;
    }
    m_role = Role::None;
    m_body.clear();
}

TMailPreview TMailPreviewReader::Finish() {
    if (!m_pending.isEmpty()) {
        line(m_pending);
        m_pending.clear();
    }
    if (m_state == State::Headers && !m_headers.isEmpty())
        beginBody(); // a mail of headers only
    endPart();
    TMailPreview mail = std::move(m_mail);
    if (!m_plain.trimmed().isEmpty()) {
        mail.body = m_plain;
    } else if (!m_html.isEmpty()) {
        mail.body = HtmlToText(m_html);
        mail.bodyFromHtml = true;
    }
    *this = TMailPreviewReader();
    return mail;
}

TMailPreview ReadMail(QByteArrayView mail) {
    TMailPreviewReader reader;
    reader.Feed(mail);
    return reader.Finish();
}

} // namespace VoskPreview
