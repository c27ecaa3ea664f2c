#include "MailReaders.h"
#include "UEMailSenden.Mime.h"

#include "VoskExceptions.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
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
