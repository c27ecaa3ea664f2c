// Mails as the preview reads them, checked against GMime reading the same bytes: the headers a
// reader looks at, the text body in its charset and transfer encoding, the HTML body as text
// when there is no text part, the names of the attachments, and chunked input.
#include <gmime/gmime.h> // GLib's headers before Qt's macros

#include "MailReaders.h"
#include "VoskPreviewMail.h"
#include "VoskPreviewText.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace VoskPreview;

namespace {

// As mail programs write them: a text and an HTML alternative in the Windows code page and
// quoted-printable, a PDF with an RFC 2231 name, a picture named by an encoded word.
const QByteArray kMixed =
    "Return-Path: <buchhaltung@example.de>\r\n"
    "From: =?ISO-8859-1?Q?J=FCrgen_M=FCller?= <juergen@example.de>\r\n"
    "To: Anna Schmidt <anna@example.de>,\r\n"
    " \"Bernd Wei\xc3\x9f\" <bernd@example.de>\r\n"
    "Cc: lager@example.de\r\n"
    "Subject: =?UTF-8?B?UmVjaG51bmcgZsO8cg==?= =?UTF-8?Q?_M=C3=A4rz?=\r\n"
    "Date: Tue, 03 Mar 2026 14:05:09 +0100 (CET)\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"aussen\"\r\n"
    "\r\n"
    "This is a multi-part message in MIME format.\r\n"
    "--aussen\r\n"
    "Content-Type: multipart/alternative;\r\n"
    "\tboundary=\"innen\"\r\n"
    "\r\n"
    "--innen\r\n"
    "Content-Type: text/plain; charset=\"windows-1252\"\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n"
    "\r\n"
    "Sehr geehrte Frau Schmidt,\r\n"
    "\r\n"
    "anbei die Rechnung =FCber 1.200 =80 f=FCr M=E4rz. Dies ist eine sehr lange Zei=\r\n"
    "le, die weich umbrochen wurde.\r\n"
    "\r\n"
    "Gr=FC=DFe\r\n"
    "--innen\r\n"
    "Content-Type: text/html; charset=\"utf-8\"\r\n"
    "\r\n"
    "<p>HTML-Fassung</p>\r\n"
    "--innen--\r\n"
    "\r\n"
    "--aussen\r\n"
    "Content-Type: application/pdf; name=\"Rechnung.pdf\"\r\n"
    "Content-Disposition: attachment;\r\n"
    " filename*=UTF-8''Rechnung%20M%C3%A4rz.pdf\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "JVBERi0xLjQKJeLjz9MK\r\n"
    "--aussen\r\n"
    "Content-Type: image/png; name=\"=?UTF-8?Q?Gr=C3=BC=C3=9Fe.png?=\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "iVBORw0KGgo=\r\n"
    "--aussen--\r\n"
    "Epilog, nicht zu zeigen\r\n";

const QByteArray kHtmlOnly =
    "From: info@example.de\n"
    "To: kunde@example.de\n"
    "Subject: Newsletter\n"
    "Content-Type: text/html; charset=UTF-8\n"
    "Content-Transfer-Encoding: base64\n"
    "\n" +
    QByteArray("<html><head><title>Titel</title><style>p {color: red}</style></head>"
               "<body><h1>Angebot</h1><p>Nur heute:&nbsp;10&nbsp;% auf <b>alle</b>\n"
               "   Artikel &amp; Zubeh&ouml;r &#8211; &#x201E;gr\xc3\xb6\xc3\x9f" "er&#x201C;."
               "</p><script>alert('x')</script><ul><li>Eins</li><li>Zwei</li></ul>"
               "<!-- <p>versteckt</p> --></body></html>")
        .toBase64(QByteArray::Base64Encoding) +
    "\n";

// GMime's reading of a mail written to a file.
mailtest::Draft gmime(const QByteArray& mail) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mail.eml"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(mail);
    f.close();
    return mailtest::ParseWithGMime(path);
}

} // namespace

TEST(PreviewMail, ReadsHeadersBodyAndAttachmentsAsGMimeDoes) {
    const TMailPreview m = ReadMail(kMixed);
    const mailtest::Draft g = gmime(kMixed);

    EXPECT_EQ(m.from, QStringLiteral("Jürgen Müller <juergen@example.de>"));
    EXPECT_EQ(m.to, QStringLiteral("Anna Schmidt <anna@example.de>, \"Bernd Weiß\" <bernd@example.de>"));
    EXPECT_EQ(m.cc, QStringLiteral("lager@example.de"));
    EXPECT_EQ(m.subject, g.subject);
    EXPECT_EQ(m.subject, QStringLiteral("Rechnung für März"));
    EXPECT_EQ(m.sent, QDateTime(QDate(2026, 3, 3), QTime(13, 5, 9), Qt::UTC));

    const mailtest::Part* plain = g.Find(QStringLiteral("text/plain"));
    ASSERT_TRUE(plain);
    const QString gmimeBody = DecodeCharset(plain->content, plain->charset.toLatin1());
    EXPECT_EQ(m.body, gmimeBody);
    EXPECT_FALSE(m.bodyFromHtml);
    EXPECT_TRUE(m.body.contains(QStringLiteral("Rechnung über 1.200 € für März. Dies ist eine "
                                               "sehr lange Zeile, die weich umbrochen wurde.")));
    EXPECT_TRUE(m.body.endsWith(QStringLiteral("\n\nGrüße")));

    QStringList names;
    for (const mailtest::Part& p : g.parts)
        if (!p.fileName.isEmpty())
            names << p.fileName;
    EXPECT_EQ(m.attachments, names);
    EXPECT_EQ(m.attachments,
              QStringList({QStringLiteral("Rechnung März.pdf"), QStringLiteral("Grüße.png")}));
    EXPECT_FALSE(m.shortened);
}

TEST(PreviewMail, AnyChunkingReadsTheSameMail) {
    const TMailPreview whole = ReadMail(kMixed);
    for (const qsizetype size : {1, 2, 7, 64}) {
        TMailPreviewReader reader;
        for (qsizetype at = 0; at < kMixed.size(); at += size)
            reader.Feed(QByteArrayView(kMixed).sliced(at, qMin(size, kMixed.size() - at)));
        const TMailPreview parts = reader.Finish();
        EXPECT_EQ(parts.body, whole.body) << size;
        EXPECT_EQ(parts.attachments, whole.attachments) << size;
        EXPECT_EQ(parts.subject, whole.subject) << size;
        EXPECT_EQ(parts.to, whole.to) << size;
    }
}

TEST(PreviewMail, AnHtmlOnlyMailShowsItsTextWithoutMarkup) {
    const TMailPreview m = ReadMail(kHtmlOnly);
    EXPECT_TRUE(m.bodyFromHtml);
    EXPECT_EQ(m.body, QStringLiteral("Angebot\n\nNur heute: 10 % auf alle Artikel & Zubehör – "
                                     "„größer“.\n\n• Eins\n\n• Zwei"));
    // GMime finds the same single part, with the same text behind the markup.
    const mailtest::Draft g = gmime(kHtmlOnly);
    ASSERT_EQ(g.parts.size(), 1);
    EXPECT_EQ(HtmlToText(QString::fromUtf8(g.parts[0].content)), m.body);
    EXPECT_TRUE(m.attachments.isEmpty());
}

TEST(PreviewMail, PlainMailsAndBrokenOnesStillShowWhatTheyHave) {
    // No MIME at all: the body is text in whatever the bytes are.
    TMailPreview m = ReadMail("From: a@example.de\nSubject: Gr\xfc\xdf" "e\n\nZeile \xe4\n");
    EXPECT_EQ(m.subject, QStringLiteral("Grüße"));
    EXPECT_EQ(m.body, QStringLiteral("Zeile ä\n"));
    EXPECT_FALSE(m.sent.isValid());

    // A multipart whose closing boundary never comes, and a part without headers.
    m = ReadMail("Content-Type: multipart/mixed; boundary=b\n\n--b\n\nerster Teil\n--b\n"
                 "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n\n"
                 "endlos");
    EXPECT_TRUE(m.body.startsWith(QStringLiteral("erster Teil\n")));

    // Only headers, no blank line.
    m = ReadMail("Subject: =?utf-8?q?kaputt?= =?x?y?z?= =?utf-8?b?\n");
    EXPECT_EQ(m.subject, QStringLiteral("kaputt =?x?y?z?= =?utf-8?b?"));
    EXPECT_TRUE(m.body.isEmpty());
}

TEST(PreviewMail, ALongTextPartIsShortenedNotHeld) {
    QByteArray mail = "Subject: lang\nContent-Type: multipart/mixed; boundary=x\n\n--x\n"
                      "Content-Type: text/plain\n\n";
    const QByteArray line(99, 'a');
    while (mail.size() < TMailPreviewReader::MaxBodyBytes + 1000)
        mail += line + '\n';
    mail += "--x\nContent-Type: application/zip\nContent-Disposition: attachment; "
            "filename=daten.zip\n\nUEsDBA==\n--x--\n";
    const TMailPreview m = ReadMail(mail);
    EXPECT_TRUE(m.shortened);
    EXPECT_TRUE(m.body.startsWith(QString(line) + u'\n'));
    EXPECT_LE(m.body.size(), TMailPreviewReader::MaxBodyBytes);
    // What follows the cut is still read.
    EXPECT_EQ(m.attachments, QStringList{QStringLiteral("daten.zip")});
}
