#pragma once
// A mail (RFC 5322 with MIME parts) read for its preview: the headers a reader looks at first,
// the text body (quoted-printable and base64 decoded, its charset honoured; the HTML part as
// plain text when there is no text part) and the names of the attachments. The reader takes the
// file in chunks of any size and keeps only headers and text parts, so a mail with large
// attachments streams through it without being held. Qt Core only.

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace VoskPreview {

struct TMailPreview final {
    QString from, to, cc, subject;
    QString date;   // as written
    QDateTime sent; // the date read; invalid when it cannot be read
    QString body;
    bool bodyFromHtml = false;
    QStringList attachments;
    bool shortened = false; // the text part was longer than the preview takes
};

class TMailPreviewReader final {
public:
    // Limits against hostile input: header bytes kept per part, encoded bytes kept of the text
    // parts, nesting of multiparts.
    static constexpr qsizetype MaxHeaderBytes = 256 * 1024;
    static constexpr qsizetype MaxBodyBytes = 2 * 1024 * 1024;
    static constexpr int MaxDepth = 32;

    void Feed(QByteArrayView chunk);
    // Ends the input; the reader starts afresh afterwards.
    TMailPreview Finish();

private:
    enum class State { Headers, Body, Ignore };
    enum class Role { None, Plain, Html };
    void line(QByteArrayView l);
    void beginBody();
    void endPart();

    QByteArray m_pending; // an incomplete line
    QList<QByteArray> m_boundaries;
    State m_state = State::Headers;
    bool m_top = true;
    QByteArray m_headers;
    Role m_role = Role::None;
    QByteArray m_encoding, m_charset, m_body;
    QString m_plain, m_html;
    TMailPreview m_mail;
};

TMailPreview ReadMail(QByteArrayView mail);

// A header value with its RFC 2047 encoded words decoded; other bytes as UTF-8, else
// Windows-1252.
QString DecodeHeader(QByteArrayView raw);
// The text an HTML body shows: tags, scripts and styles dropped, entities decoded, blocks as
// lines.
QString HtmlToText(QStringView html);

} // namespace VoskPreview
