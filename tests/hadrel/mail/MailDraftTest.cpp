// GMime pulls in GLib, whose headers use names that Qt defines as macros: GMime comes first.
#include <gmime/gmime.h>

#include "MailReaders.h"
#include "PeakMemory.h"
#include "UEMailSenden.Mime.h"

#include "VoskExceptions.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace UEMailSenden;

namespace {

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

QByteArray RandomBytes(int size, quint32 seed) {
    QByteArray b(size, Qt::Uninitialized);
    QRandomGenerator rng(seed);
    rng.fillRange(reinterpret_cast<quint32*>(b.data()), size / 4);
    return b;
}

// The bytes as GMime's own base64 filter chained with its CR LF filter writes them, the way the
// drafts were written before they had an encoder of their own.
QByteArray GMimeBase64(const QByteArray& bytes) {
    GMimeStream* mem = g_mime_stream_mem_new();
    GMimeStream* filtered = g_mime_stream_filter_new(mem);
    GMimeFilter* base64 = g_mime_filter_basic_new(GMIME_CONTENT_ENCODING_BASE64, TRUE);
    GMimeFilter* crlf = g_mime_filter_unix2dos_new(FALSE);
    g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered), base64);
    g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered), crlf);
    g_mime_stream_write(filtered, bytes.constData(), size_t(bytes.size()));
    g_mime_stream_flush(filtered);
    g_object_unref(filtered);
    g_object_unref(crlf);
    g_object_unref(base64);
    GByteArray* out = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(mem));
    QByteArray result(reinterpret_cast<const char*>(out->data), qsizetype(out->len));
    g_object_unref(mem);
    return result;
}

// Why text is not base64 lines of 76 characters with CR LF, the last one no longer; empty when
// it is.
QString LineFault(const QByteArray& text) {
    const QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && !lines.last().isEmpty())
        return QStringLiteral("no line end at the end");
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray& l = lines[i];
        if (!l.endsWith('\r'))
            return QStringLiteral("line %1 without CR").arg(i + 1);
        const qsizetype chars = l.size() - 1;
        if (chars > 76 || (i + 2 < lines.size() && chars != 76) || chars % 4 != 0 || chars == 0)
            return QStringLiteral("line %1 has %2 characters").arg(i + 1).arg(chars);
    }
    return {};
}

} // namespace

TEST(MailDraft, StructureContentIdsAndBodiesReadBackByTwoParsers) {
    QTemporaryDir dir;
    const QByteArray pdf = RandomBytes(300000, 1);
    const QByteArray png = RandomBytes(4000, 2);
    const QString pdfPath = WriteFile(dir, QStringLiteral("Angebot 4711.pdf"), pdf);
    const QString pngPath = WriteFile(dir, QStringLiteral("doc_17.png"), png);

    TMimeDraft d;
    d.subject = QStringLiteral("Angebot für %DATE% – Müller");
    d.to = QStringList{"a@x.de", "b@y.de"};
    d.plainText = QStringLiteral("Grüße\r\nZeile 2");
    d.html = QStringLiteral("<html><body><img src=\"cid:0_attlnk_AB\">Grüße</body></html>");
    d.linked = {{pngPath, QStringLiteral("0_attlnk_AB"), QStringLiteral("Plan.png")}};
    d.attachments = {{pdfPath, QStringLiteral("0_attach_CD"), {}}};
    const QString eml = dir.filePath(QStringLiteral("draft.eml"));
    WriteMimeDraft(d, eml);

    const mailtest::Draft g = mailtest::ParseWithGMime(eml);
    EXPECT_EQ(g.subject, d.subject);
    EXPECT_EQ(g.to, d.to);
    EXPECT_EQ(g.xUnsent, QStringLiteral("1"));
    QStringList shape;
    for (const mailtest::Part& p : g.parts)
        shape << p.path + u' ' + p.type;
    EXPECT_EQ(shape, QStringList({" multipart/mixed", "1 multipart/alternative", "1.1 text/plain",
                                  "1.2 multipart/related", "1.2.1 text/html", "1.2.2 image/png",
                                  "2 application/pdf"}));
    EXPECT_EQ(g.parts[0].charset, QStringLiteral("UTF-8"));
    EXPECT_EQ(g.parts[3].typeParam, QStringLiteral("text/html"));
    EXPECT_EQ(QString::fromUtf8(g.parts[2].content), QStringLiteral("Grüße\r\nZeile 2"));
    EXPECT_EQ(g.parts[2].charset.toUpper(), QStringLiteral("UTF-8"));
    EXPECT_TRUE(
        QString::fromUtf8(g.parts[4].content).contains(QStringLiteral("cid:0_attlnk_AB\">Grüße")));
    EXPECT_EQ(g.parts[5].contentId, QStringLiteral("0_attlnk_AB"));
    EXPECT_EQ(g.parts[5].fileName, QStringLiteral("Plan.png"));
    EXPECT_EQ(g.parts[5].disposition, QStringLiteral("inline"));
    EXPECT_EQ(g.parts[5].content, png);
    EXPECT_EQ(g.parts[6].contentId, QStringLiteral("0_attach_CD"));
    EXPECT_EQ(g.parts[6].fileName, QStringLiteral("Angebot 4711.pdf"));
    EXPECT_EQ(g.parts[6].disposition, QStringLiteral("attachment"));
    EXPECT_EQ(g.parts[6].content, pdf);

    const QJsonObject py = mailtest::ParseWithPython(eml);
    EXPECT_EQ(py[QStringLiteral("subject")].toString(), d.subject);
    EXPECT_EQ(py[QStringLiteral("to")].toString(), QStringLiteral("a@x.de, b@y.de"));
    EXPECT_EQ(py[QStringLiteral("x_unsent")].toString(), QStringLiteral("1"));
    EXPECT_TRUE(py[QStringLiteral("defects")].toArray().isEmpty())
        << QJsonDocument(py[QStringLiteral("defects")].toArray()).toJson().toStdString();
    const QJsonArray parts = py[QStringLiteral("parts")].toArray();
    ASSERT_EQ(parts.size(), 7);
    EXPECT_EQ(parts[2].toObject()[QStringLiteral("text")].toString().trimmed(),
              QStringLiteral("Grüße\nZeile 2"));
    EXPECT_EQ(parts[5].toObject()[QStringLiteral("cid")].toString(),
              QStringLiteral("<0_attlnk_AB>"));
    EXPECT_EQ(parts[6].toObject()[QStringLiteral("filename")].toString(),
              QStringLiteral("Angebot 4711.pdf"));
    EXPECT_EQ(parts[6].toObject()[QStringLiteral("size")].toInt(), pdf.size());
}

TEST(MailDraft, AFailedDraftLeavesNothingBehind) {
    QTemporaryDir dir;
    const QString eml = dir.filePath(QStringLiteral("draft.eml"));
    TMimeDraft d;
    d.attachments = {{dir.filePath(QStringLiteral("fehlt.pdf")), QStringLiteral("0_attach_X"), {}}};
    try {
        WriteMimeDraft(d, eml);
        ADD_FAILURE() << "a missing attachment was accepted";
    } catch (const EVoskException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("fehlt.pdf"))) << e.what();
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    // A target folder that is not one (so that it fails for every user, root included).
    d.attachments.clear();
    const QString notAFolder = WriteFile(dir, QStringLiteral("datei"), "x");
    try {
        WriteMimeDraft(d, notAFolder + QStringLiteral("/draft.eml"));
        ADD_FAILURE() << "a draft was written below a file";
    } catch (const EVoskException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("draft.eml"))) << e.what();
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList({"datei"}));
}

// Attachments encoded by the draft's own base64 encoder: sizes around a line and its groups, one
// line exactly, the 256 KB blocks it reads (and a byte either side, so that a block ends inside a
// line), several blocks with a rest, and a file of several megabytes. GMime's parser and Python's
// email package decode each to its file, and the text is byte for byte what GMime's own filters
// make of it.
TEST(MailDraft, Base64AttachmentsDecodeToTheirFilesWhateverTheirSize) {
    QTemporaryDir dir;
    constexpr qsizetype kBlock = 256 * 1024;
    const QList<qsizetype> sizes = {0,
                                    1,
                                    2,
                                    3,
                                    56,
                                    57,
                                    58,
                                    114,
                                    kBlock - 1,
                                    kBlock,
                                    kBlock + 1,
                                    3 * kBlock + 100,
                                    5 * 1024 * 1024 + 17};
    QList<QByteArray> contents;
    TMimeDraft d;
    d.subject = QStringLiteral("Anlagen");
    d.to = QStringList{"a@x.de"};
    d.plainText = QStringLiteral("Text");
    d.html = QStringLiteral("<html><body><img src=\"cid:0_attlnk_L\"></body></html>");
    const QByteArray picture = RandomBytes(4000 + 23, 99);
    d.linked = {{WriteFile(dir, QStringLiteral("bild.png"), picture), QStringLiteral("0_attlnk_L"),
                 QStringLiteral("Bild.png")}};
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        contents << RandomBytes(int(sizes[i]) + 3, quint32(100 + i)).left(sizes[i]);
        d.attachments.append(
            {WriteFile(dir, QStringLiteral("anlage_%1.bin").arg(sizes[i]), contents[i]),
             QStringLiteral("%1_attach_X").arg(i),
             {}});
    }
    const QString eml = dir.filePath(QStringLiteral("draft.eml"));
    WriteMimeDraft(d, eml);

    const mailtest::Draft g = mailtest::ParseWithGMime(eml);
    ASSERT_EQ(g.parts.size(), 6 + sizes.size());
    const mailtest::Part& linked = g.parts[5];
    EXPECT_EQ(linked.type, QStringLiteral("image/png"));
    EXPECT_EQ(linked.content, picture);
    EXPECT_EQ(linked.encoded, GMimeBase64(picture));
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const mailtest::Part& p = g.parts[6 + i];
        SCOPED_TRACE(sizes[i]);
        EXPECT_EQ(p.type, QStringLiteral("application/octet-stream"));
        EXPECT_EQ(p.fileName, QStringLiteral("anlage_%1.bin").arg(sizes[i]));
        EXPECT_EQ(p.content.size(), sizes[i]);
        EXPECT_TRUE(p.content == contents[i]);
        EXPECT_TRUE(p.encoded == GMimeBase64(contents[i]));
        EXPECT_EQ(LineFault(p.encoded), QString());
    }

    const QJsonObject py = mailtest::ParseWithPython(eml);
    EXPECT_TRUE(py[QStringLiteral("defects")].toArray().isEmpty())
        << QJsonDocument(py[QStringLiteral("defects")].toArray()).toJson().toStdString();
    const QJsonArray parts = py[QStringLiteral("parts")].toArray();
    ASSERT_EQ(parts.size(), 6 + sizes.size());
    EXPECT_EQ(parts[5].toObject()[QStringLiteral("sha256")].toString().toLatin1(),
              QCryptographicHash::hash(picture, QCryptographicHash::Sha256).toHex());
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const QJsonObject p = parts[6 + i].toObject();
        EXPECT_EQ(p[QStringLiteral("size")].toInteger(), sizes[i]);
        EXPECT_EQ(p[QStringLiteral("sha256")].toString().toLatin1(),
                  QCryptographicHash::hash(contents[i], QCryptographicHash::Sha256).toHex())
            << sizes[i];
    }
}

// A text attachment says which charset its bytes are in, so that a reader decodes them to what
// the file says; its bytes travel unchanged.
TEST(MailDraft, TextAttachmentsCarryTheCharsetTheirBytesAreIn) {
    QTemporaryDir dir;
    struct Text {
        QString name;
        QByteArray bytes;
        QString charset;
        QString decoded;
    };
    const QList<Text> texts = {
        {QStringLiteral("angebot.txt"),
         QStringLiteral("Angebot Fassung B, überarbeitet\n").toUtf8(), QStringLiteral("utf-8"),
         QStringLiteral("Angebot Fassung B, überarbeitet\n")},
        // A letter of two bytes across the 64 KiB the check reads at a time.
        {QStringLiteral("lang.txt"), QByteArray(65535, 'a') + QStringLiteral("ü").toUtf8(),
         QStringLiteral("utf-8"), QString(65535, u'a') + QStringLiteral("ü")},
        {QStringLiteral("alt.txt"),
         QByteArray("Gr\xfc\xdf"
                    "e aus M\xfcnster\n"),
         QStringLiteral("windows-1252"), QStringLiteral("Grüße aus Münster\n")},
        {QStringLiteral("liste.csv"), QByteArray("Nr;Menge\n1;2\n"), QStringLiteral("us-ascii"),
         QStringLiteral("Nr;Menge\n1;2\n")},
    };
    TMimeDraft d;
    d.subject = QStringLiteral("Texte");
    d.to = QStringList{"a@x.de"};
    d.plainText = QStringLiteral("Text");
    d.html = QStringLiteral("<html><body>Text</body></html>");
    for (const Text& t : texts)
        d.attachments.append({WriteFile(dir, t.name, t.bytes), t.name, {}});
    const QString eml = dir.filePath(QStringLiteral("draft.eml"));
    WriteMimeDraft(d, eml);

    const mailtest::Draft g = mailtest::ParseWithGMime(eml);
    const QJsonArray py = mailtest::ParseWithPython(eml)[QStringLiteral("parts")].toArray();
    ASSERT_EQ(g.parts.size(), 5 + texts.size());
    ASSERT_EQ(py.size(), g.parts.size());
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const mailtest::Part& p = g.parts[5 + i];
        SCOPED_TRACE(texts[i].name.toStdString());
        EXPECT_TRUE(p.type.startsWith(QStringLiteral("text/")));
        EXPECT_EQ(p.charset.toLower(), texts[i].charset);
        EXPECT_TRUE(p.content == texts[i].bytes);
        EXPECT_TRUE(py[5 + i].toObject()[QStringLiteral("text")].toString() == texts[i].decoded);
    }
}

// A draft of a large attachment holds a few blocks, never the file: its memory does not grow
// with the attachment.
TEST(MailDraft, ALargeAttachmentIsStreamed) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gross.bin"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray block = RandomBytes(1 << 20, 7);
        for (int i = 0; i < 48; ++i)
            f.write(block);
    }
    TMimeDraft d;
    d.to = QStringList{"a@x.de"};
    d.attachments = {{path, QStringLiteral("0_attach_G"), {}}};
    const QString eml = dir.filePath(QStringLiteral("draft.eml"));
    const testsupport::TPeakMemory memory;
    WriteMimeDraft(d, eml);
    EXPECT_LT(memory.ExtraMb(), 16.0 + testsupport::kAllocatorSlackMb);
    EXPECT_GT(QFileInfo(eml).size(), 48 * (1 << 20) / 57 * 78);
}
