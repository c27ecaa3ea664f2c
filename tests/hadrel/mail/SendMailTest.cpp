#include "FrameworkFixture.h"
#include "MailReaders.h"

#include "TVoskTaskDialog.h"
#include "UEMailSenden.h"
#include "UImpDoku.Mail.h"
#include "UShutdownFiles.h"
#include "Ukorvexclasses.Dokument.h"
#include "Uloghelper.h"
#include "UnitTable.h"
#include "Vcl.Registry.h"
#include "VoskExceptions.h"

#include <QBuffer>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QLocale>
#include <QTemporaryDir>

using testsupport::TestDatabase;
using Link = UEMailSenden::TAttachmentLinkSource;

namespace {

const QString kMapiError = QStringLiteral("Fehler bei E-Mail-Versand über MAPI.");
const QString kEmlError =
    QStringLiteral("Fehler bei E-Mail-Versand mittels Standard-Programm für .eml Dateien.");

} // namespace

class SendMailTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        CurrentSession_UConstants().SetBasePath(m_base.path());
        DeleteFilesOnShutdownNow();
        TLogSink::Clear();
    }
    void TearDown() override {
        TVoskSendMail::FOnBeforeEMLAddAttachments.Reset();
        TestDatabase::Exec(QStringLiteral("DELETE FROM settings WHERE s_name LIKE 'Mail%'"));
        CurrentSession_UConstants().SetBasePath(QString());
    }
    static void Method(int m) { s_dm->SetIntSetting(QStringLiteral("MailSendMethod"), m); }
    QString File(const QString& name, const QByteArray& bytes = "Inhalt") {
        const QString path = m_files.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QStringList Drafts() const {
        return QDir(CurrentSession_UConstants().ExportDir())
            .entryList({QStringLiteral("*.eml")}, QDir::Files);
    }
    QTemporaryDir m_base, m_files;
};

TEST_F(SendMailTest, TheMethodDecidesHowAddressesReachTheMailProgram) {
    for (int m : {0, 1, 3, 4}) {
        SCOPED_TRACE(m);
        Method(m);
        TVoskSendMail mail;
        mail.MailTo = QStringLiteral("a@x.de;b@y.de,,");
        mail.Subject = QStringLiteral("Angebot");
        EXPECT_TRUE(mail.Execute());
        const QStringList expected =
            m == 4 ? QStringList{"a@x.de", "b@y.de"} : QStringList{"SMTP:a@x.de", "SMTP:b@y.de"};
        EXPECT_EQ(mail.HandOff().recipients, expected);
        ASSERT_FALSE(m_answers.Launched().empty());
        const auto& run = m_answers.Launched().back();
        EXPECT_TRUE(run.waited);
        EXPECT_EQ(run.program, QStringLiteral("xdg-email"));
        EXPECT_EQ(run.arguments,
                  QStringList({"--utf8", "--subject", "Angebot", "a@x.de", "b@y.de"}));
    }
    EXPECT_EQ(m_answers.Launched().size(), 4u);

    // Only the low byte counts: 261 writes a draft as 5 does.
    Method(261);
    EXPECT_TRUE(TVoskSendMail::Execute(QStringLiteral("a@x.de"), QStringLiteral("Angebot"),
                                       QString(), {}, {}));
    EXPECT_EQ(Drafts().size(), 1);
    EXPECT_EQ(m_answers.OpenedUrls().size(), 1);
    EXPECT_EQ(m_answers.Launched().size(), 4u);

    // 2 and unknown methods are refused before anything is handed over.
    for (const auto& [m, text] :
         {std::pair{2, "TVoskSendMail: not implemented"}, std::pair{7, "TVoskSendMail: unknown"}}) {
        Method(m);
        m_answers.Expect(QString::fromUtf8(text), Vcl::mrOk);
        EXPECT_THROW(TVoskSendMail::Execute(QStringLiteral("a@x.de"), QString(), QString(), {}, {}),
                     EAbort);
    }
    EXPECT_EQ(m_answers.Launched().size(), 4u);
    EXPECT_EQ(m_answers.OpenedUrls().size(), 1);
}

TEST_F(SendMailTest, HandOffTextsAndFiles) {
    Method(0);
    qunsetenv("DATE");
    const QString pdf = File(QStringLiteral("Angebot 4711.pdf"));
    TVoskSendMail mail;
    mail.Subject = QStringLiteral("Stand %DATE%\r\nZeile 2\n\n100%% sicher, 5 % Rabatt");
    mail.BodyText = QStringLiteral("Hallo\r\nWelt");
    mail.Attachments = QStringList{pdf, QString(), m_files.filePath(QStringLiteral("fehlt.pdf"))};
    mail.AttachmentNames = QStringList{"Lieferschein.pdf", "Rechnung.pdf"};
    EXPECT_TRUE(mail.Execute());

    const QString today = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    const QString subject =
        QStringLiteral("Stand ") + today + QStringLiteral(" Zeile 2 100 sicher, 5 % Rabatt");
    const QString body = QStringLiteral(
        "Hallo\r\nWelt\r\n\r\nWeitere Dateianhänge:\r\nLieferschein.pdf\r\nRechnung.pdf");
    EXPECT_EQ(mail.HandOff().subject, subject);
    EXPECT_EQ(mail.HandOff().noteText, body);
    EXPECT_EQ(mail.HandOff().files, QStringList{pdf}); // empty and missing ones are skipped
    EXPECT_TRUE(mail.HandOff().recipients.isEmpty());
    ASSERT_EQ(m_answers.Launched().size(), 1u);
    EXPECT_EQ(m_answers.Launched()[0].arguments,
              QStringList({"--utf8", "--subject", subject, "--body",
                           QString(body).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                           "--attach", pdf}));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("InternalSendMail: Bereite Email Versand vor.")));
}

TEST_F(SendMailTest, BadAddressesAndAFailingMailProgramAreShownWithTheirDetail) {
    Method(0);
    for (const QString& to :
         {QStringLiteral("a@x.de; b c@y.de"), QStringLiteral("a@x.de?cc=b@y.de")}) {
        m_answers.Expect(kMapiError, Vcl::mrOk);
        EXPECT_THROW(TVoskSendMail::Execute(to, QString(), QString(), {}, {}), EAbort);
        const QString shown = m_answers.Questions().back().text;
        EXPECT_TRUE(shown.contains(QStringLiteral("Ungültige E-Mail-Adresse.")));
        EXPECT_TRUE(
            shown.contains(QStringLiteral("Email: \"") + to.split(u';').last().trimmed() + u'"'))
            << shown.toStdString();
    }
    EXPECT_TRUE(m_answers.Launched().empty());

    m_answers.SetRunResult({true, true, 3, QStringLiteral("xdg-email: no method available")});
    m_answers.Expect(kMapiError, Vcl::mrOk);
    EXPECT_THROW(TVoskSendMail::Execute(QStringLiteral("a@x.de"), QString(), QString(), {}, {}),
                 EAbort);
    EXPECT_TRUE(m_answers.Questions().back().text.contains(QStringLiteral("Code 3")));
    EXPECT_TRUE(m_answers.Questions().back().text.contains(QStringLiteral("no method available")));
    EXPECT_EQ(TestDatabase::Scalar(
                  QStringLiteral("SELECT count(*) FROM eventlog WHERE el_text LIKE '%über MAPI%'")),
              QStringLiteral("3")); // the two refused addresses and this one

    m_answers.SetRunResult({false, false, 0, QStringLiteral("No such file or directory")});
    m_answers.Expect(kMapiError, Vcl::mrOk);
    EXPECT_THROW(TVoskSendMail::Execute(QString(), QString(), QString(), {}, {}), EAbort);
    EXPECT_TRUE(m_answers.Questions().back().text.contains(QStringLiteral("No such file")));

    // A mail program that is still running has the message.
    m_answers.SetRunResult({true, false, 0, {}});
    EXPECT_TRUE(TVoskSendMail::Execute(QString(), QString(), QString(), {}, {}));
}

TEST_F(SendMailTest, DraftResolvesDocumentLinksAndIsOpenedAndRegistered) {
    Method(5);
    s_dm->SetSetting(QStringLiteral("Mail_FontFamily"), QStringLiteral("DejaVu Sans"));
    s_dm->SetIntSetting(QStringLiteral("Mail_FontSize"), 10);
    const QByteArray planBytes(5000, 'p');
    const QString plan = File(QStringLiteral("4711.pdf"), planBytes);
    const QString offer = File(QStringLiteral("Angebot.pdf"), "Angebot");
    // The document window's hook resolves document 4711 only; the link to 99 stays an orphan.
    QList<TVoskSendMail::TAttachmentLink> seen;
    TVoskSendMail::FOnBeforeEMLAddAttachments.Set([&](QObject* sender) {
        auto* mail = qobject_cast<TVoskSendMail*>(sender);
        ASSERT_NE(mail, nullptr);
        seen = TVoskSendMail::SearchAttachmentLinks(mail->BodyText);
        for (const auto& l : seen)
            if (l.ID == QLatin1String("4711"))
                mail->AddAttachmentLinked(Link::alsDMS, plan, l.ID, l.DisplayFilename);
    });
    const QString body = QStringLiteral(
        "Siehe <img src=\"cid://dokument/?pd_id=4711&displayname=Plan.pdf\">\r\n"
        "und <img src='cid://dokument/?pd_id=4711'> und <img src=\"cid://dokument/?pd_id=99\">");
    TVoskSendMail mail;
    mail.MailTo = QStringLiteral("a@x.de");
    mail.Subject = QStringLiteral("Stand %DATE%");
    mail.BodyText = body;
    mail.Attachments = QStringList{offer};
    EXPECT_TRUE(mail.Execute());
    EXPECT_EQ(seen.size(), 3);

    ASSERT_EQ(Drafts().size(), 1);
    const QString eml = mail.DraftFileName();
    EXPECT_EQ(QFileInfo(eml).fileName(), Drafts()[0]);
    ASSERT_EQ(m_answers.OpenedUrls().size(), 1);
    EXPECT_EQ(m_answers.OpenedUrls()[0], QUrl::fromLocalFile(eml));
    EXPECT_TRUE(FilesToDeleteOnShutdown().contains(eml));

    const mailtest::Draft d = mailtest::ParseWithGMime(eml);
    EXPECT_EQ(d.subject, QStringLiteral("Stand %DATE%")); // no expansion in a draft
    EXPECT_EQ(d.xUnsent, QStringLiteral("1"));
    EXPECT_EQ(d.to, QStringList{"a@x.de"});
    const mailtest::Part* plain = d.Find(QStringLiteral("text/plain"));
    ASSERT_TRUE(plain);
    EXPECT_EQ(QString::fromUtf8(plain->content), body);
    const mailtest::Part* linked = d.Find(QStringLiteral("application/pdf"));
    const auto pdfs = d.All(QStringLiteral("application/pdf"));
    ASSERT_EQ(pdfs.size(), 2);
    EXPECT_TRUE(pdfs[0]->path.startsWith(QStringLiteral("1.2."))); // inside multipart/related
    EXPECT_TRUE(pdfs[0]->contentId.startsWith(QStringLiteral("0_attlnk_")));
    EXPECT_EQ(pdfs[0]->fileName, QStringLiteral("Plan.pdf"));
    EXPECT_EQ(pdfs[0]->content, planBytes);
    EXPECT_EQ(pdfs[1]->path, QStringLiteral("2"));
    EXPECT_TRUE(pdfs[1]->contentId.startsWith(QStringLiteral("0_attach_")));
    EXPECT_EQ(pdfs[1]->content, QByteArray("Angebot"));
    (void)linked;

    const QString html = QString::fromUtf8(d.Find(QStringLiteral("text/html"))->content);
    const QString cid = QStringLiteral("cid:") + pdfs[0]->contentId;
    EXPECT_EQ(html.count(cid), 2);
    EXPECT_TRUE(html.contains(QStringLiteral("src=\"") + cid + u'"'));
    EXPECT_TRUE(html.contains(QStringLiteral("src='") + cid + u'\''));
    EXPECT_TRUE(html.contains(QStringLiteral("pd_id=99")));
    EXPECT_TRUE(
        html.contains(QStringLiteral("Warnung! E-Mail enthält verwaiste verlinkte Anhänge!")));
    EXPECT_TRUE(html.contains(QStringLiteral("<br />und")));
    EXPECT_TRUE(
        html.contains(QStringLiteral("font-family: 'DejaVu Sans', serif; font-size: 10pt;")));

    const QJsonObject py = mailtest::ParseWithPython(eml);
    EXPECT_TRUE(py[QStringLiteral("defects")].toArray().isEmpty());
    EXPECT_EQ(py[QStringLiteral("parts")].toArray().size(), 7);

    DeleteFilesOnShutdownNow();
    EXPECT_FALSE(QFile::exists(eml));
}

TEST_F(SendMailTest, ADraftThatCannotBeSavedOrOpenedIsReported) {
    Method(5);
    m_answers.Expect(kEmlError, Vcl::mrOk);
    EXPECT_THROW(TVoskSendMail::Execute(QString(), QString(), QString(),
                                        {m_files.filePath(QStringLiteral("fehlt.pdf"))}, {}),
                 EAbort);
    EXPECT_TRUE(m_answers.Questions().back().text.contains(QStringLiteral("fehlt.pdf")));
    EXPECT_TRUE(QDir(CurrentSession_UConstants().ExportDir()).isEmpty());
    EXPECT_TRUE(m_answers.OpenedUrls().isEmpty());

    // Saved but no program opens it: said so; the draft stays for the user until shutdown.
    m_answers.SetShellSucceeds(false);
    m_answers.Expect(kEmlError, Vcl::mrOk);
    EXPECT_THROW(TVoskSendMail::Execute(QString(), QString(), QString(), {}, {}), EAbort);
    EXPECT_TRUE(m_answers.Questions().back().text.contains(QStringLiteral("kann nicht geöffnet")));
    EXPECT_EQ(Drafts().size(), 1);
}

TEST_F(SendMailTest, ThePackageFillsTheTaskDialogsMailSender) {
    Rtl::Package& hadrel = Rtl::Package::Get(QStringLiteral("hadrel"));
    hadrel.Initialize();
    ASSERT_TRUE(TVoskTaskDialog::FVoskSendMail.Assigned());
    EXPECT_TRUE(TVoskSendMail::FOnBeforeEMLAddAttachments.Assigned());
    Method(5);
    EXPECT_TRUE(TVoskTaskDialog::FVoskSendMail(
        QString(), QStringLiteral("Link"), QStringLiteral("<a href=\"korvex://x\">KORVEX-Link</a>"),
        {}, {}));
    EXPECT_EQ(Drafts().size(), 1);
    hadrel.Finalize();
    EXPECT_FALSE(TVoskTaskDialog::FVoskSendMail.Assigned());
    EXPECT_FALSE(TVoskSendMail::FOnBeforeEMLAddAttachments.Assigned());
}

TEST_F(SendMailTest, CompressingKeepsTheFilesAndStartsAFreshArchiveEachTime) {
    const QString first = File(QStringLiteral("Brief.pdf"));
    const QString a = File(QStringLiteral("a.txt"), "A"), b = File(QStringLiteral("b.txt"), "B");
    const QString c = File(QStringLiteral("c.txt"), "C");

    TVoskSendMail one;
    one.Attachments = QStringList{first, a, b};
    one.AttachmentNames = QStringList{"x", "y"};
    one.doCompress();
    ASSERT_EQ(one.Attachments.size(), 2);
    EXPECT_EQ(one.Attachments[0], first);
    EXPECT_EQ(one.AttachmentNames, QStringList{"x"});
    const QString zip1 = one.Attachments[1];
    EXPECT_TRUE(zip1.startsWith(CurrentSession_UConstants().ExportDir()));
    EXPECT_TRUE(FilesToDeleteOnShutdown().contains(zip1));
    EXPECT_TRUE(QFile::exists(a) && QFile::exists(b));

    TVoskSendMail two;
    two.Attachments = QStringList{first, c};
    two.doCompress();
    ASSERT_EQ(two.Attachments.size(), 2);
    EXPECT_NE(two.Attachments[1], zip1);
    const auto entries = mailtest::ZipEntriesWithPython(two.Attachments[1]);
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0], qMakePair(QStringLiteral("c.txt"), QByteArray("C")));
    EXPECT_EQ(mailtest::ZipEntriesWithPython(zip1).size(), 2);

    // One attachment: nothing to pack. A file that vanished: said so, the list stays.
    TVoskSendMail single;
    single.Attachments = QStringList{first};
    single.doCompress();
    EXPECT_EQ(single.Attachments, QStringList{first});
    TVoskSendMail broken;
    broken.Attachments = QStringList{first, m_files.filePath(QStringLiteral("weg.txt"))};
    m_answers.Expect(QStringLiteral("TVoskSendMail.doCompress: "), Vcl::mrOk);
    broken.doCompress();
    EXPECT_EQ(broken.Attachments.size(), 2);
}

TEST_F(SendMailTest, AttachmentBookkeeping) {
    TVoskSendMail mail;
    mail.AddAttachment(QStringLiteral("/a.pdf"), QStringLiteral("a.pdf"));
    mail.AddAttachment(QStringLiteral("/a.pdf"), QString());
    mail.AddAttachment(QString(), QStringLiteral("a.pdf"));
    EXPECT_EQ(mail.Attachments, QStringList{"/a.pdf"});
    EXPECT_EQ(mail.AttachmentNames, QStringList{"a.pdf"});

    mail.AddAttachments({QStringLiteral("Export|/exp/ort/b.pdf"), QStringLiteral("/EXP/ORT/c.pdf"),
                         QStringLiteral("/anders/d.pdf"), QStringLiteral("/exp/ort/sub/e.pdf")},
                        QStringLiteral("/exp/ort/"));
    EXPECT_EQ(mail.AttachmentNames, QStringList({"a.pdf", "b.pdf", "c.pdf"}));

    // One entry per file; a later id fills an empty one, nothing else changes it.
    mail.AddAttachmentLinked(Link::alsFile, QStringLiteral("/p.png"), QString(),
                             QStringLiteral("P"));
    mail.AddAttachmentLinked(Link::alsDMS, QStringLiteral("/p.png"), QStringLiteral("5"),
                             QStringLiteral("Q"));
    mail.AddAttachmentLinked(Link::alsDMS, QStringLiteral("/p.png"), QStringLiteral("6"),
                             QString());
    ASSERT_EQ(mail.AttachmentsLinked.size(), 1u);
    EXPECT_EQ(mail.AttachmentsLinked[0],
              (TVoskSendMail::TAttachmentLink{Link::alsFile, "/p.png", "5", "P"}));

    mail.MailTo = QStringLiteral("a@x.de");
    mail.Clear(true);
    EXPECT_EQ(mail.MailTo, QStringLiteral("a@x.de"));
    EXPECT_TRUE(mail.Attachments.isEmpty() && mail.AttachmentNames.isEmpty() &&
                mail.AttachmentsLinked.empty());
    mail.Clear(false);
    EXPECT_TRUE(mail.MailTo.isEmpty());

    // Registry values by root; a missing key or value reads as empty.
    Vcl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\SOFTWARE\\Clients\\Mail"), true));
    reg.WriteString(QString(), QStringLiteral("Thunderbird"));
    reg.CloseKey();
    using UEMailSenden::ReadKey;
    using Root = UEMailSenden::TRegistryRoot;
    EXPECT_EQ(
        ReadKey(Root::HKEY_CURRENT_USER, QStringLiteral("\\SOFTWARE\\Clients\\Mail"), QString()),
        QStringLiteral("Thunderbird"));
    EXPECT_EQ(
        ReadKey(Root::HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Clients\\Mail"), QString()),
        QString());
    EXPECT_EQ(ReadKey(Root::HKEY_CURRENT_USER, QStringLiteral("SOFTWARE\\Clients\\Mail"),
                      QStringLiteral("DLLPath")),
              QString());
}

TEST_F(SendMailTest, DocumentLinksBecomeTheirFilesOrPlaceholderPictures) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO dokutypes (dt_id, dt_descr) VALUES ('RE', 'Rechnung'), ('GEH', 'Geheim');"
        "INSERT INTO dokutypes_rights (dtr_dt_id, dtr_action, dtr_mitnr, dtr_allowed) VALUES "
        "('GEH', 0, 0, false)"));
    DMSDokuTypes().Refresh();
    auto store = [](const QString& type, const QByteArray& bytes, const QString& name) {
        TDokument doc;
        doc.InsertData() = {true, name, type, {}, {}, QStringLiteral("file")};
        QBuffer b;
        b.setData(bytes);
        b.open(QIODevice::ReadOnly);
        return doc.DMSAddFileAsBLOB(b, name, QStringLiteral("adressen"), QStringLiteral("1"));
    };
    const QByteArray invoice("%PDF-1.4 Rechnung");
    const int allowed = store(QStringLiteral("RE"), invoice, QStringLiteral("Rechnung.pdf"));
    const int refused = store(QStringLiteral("GEH"), "geheim", QStringLiteral("Geheim.pdf"));

    Method(5);
    TVoskSendMail::FOnBeforeEMLAddAttachments.Set(&UImpDoku::_PrepareVoskEmailLinkedAttachements);
    TVoskSendMail mail;
    mail.BodyText = QStringLiteral("<img src=\"cid://dokument/?pd_id=%1&displayname=R.pdf\"> "
                                   "<img src=\"cid://dokument/?pd_id=%1\"> "
                                   "<img src=\"cid://dokument/?pd_id=%2&displayname=G.pdf\"> "
                                   "<img src=\"cid://dokument/?pd_id=999999\"> "
                                   "<img src=\"cid://dokument/?filename=fehlt\">")
                        .arg(allowed)
                        .arg(refused);
    EXPECT_TRUE(mail.Execute());

    // One part per document, not per link; the refused one and the missing ones are pictures.
    ASSERT_EQ(mail.AttachmentsLinked.size(), 4u);
    const auto& links = mail.AttachmentsLinked;
    EXPECT_EQ(links[0].ID, QString::number(allowed));
    EXPECT_EQ(links[0].DisplayFilename, QStringLiteral("R.pdf"));
    EXPECT_EQ(links[1].DisplayFilename, QStringLiteral("accessdenied_G.pdf"));
    EXPECT_TRUE(QFileInfo(links[1].SourceFilename)
                    .fileName()
                    .startsWith(QStringLiteral("_denied_%1__").arg(refused)));
    EXPECT_TRUE(QFileInfo(links[2].SourceFilename)
                    .fileName()
                    .startsWith(QStringLiteral("_notfound_999999__")));
    EXPECT_TRUE(QFileInfo(links[3].SourceFilename)
                    .fileName()
                    .startsWith(QStringLiteral("_notfound_fehlt__")));
    for (const auto& l : links)
        EXPECT_TRUE(FilesToDeleteOnShutdown().contains(l.SourceFilename) ||
                    l.ID.toInt() == allowed);

    const mailtest::Draft d = mailtest::ParseWithGMime(mail.DraftFileName());
    const auto pngs = d.All(QStringLiteral("image/png"));
    ASSERT_EQ(pngs.size(), 3);
    QImage picture;
    EXPECT_TRUE(picture.loadFromData(pngs[0]->content, "PNG"));
    EXPECT_EQ(picture.size(), QSize(128, 128));
    EXPECT_EQ(pngs[0]->fileName, QStringLiteral("accessdenied_G.pdf"));
    const mailtest::Part* pdf = d.Find(QStringLiteral("application/pdf"));
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdf->content, invoice);
    EXPECT_EQ(pdf->fileName, QStringLiteral("R.pdf"));
    const QString html = QString::fromUtf8(d.Find(QStringLiteral("text/html"))->content);
    EXPECT_EQ(html.count(QStringLiteral("cid:") + pdf->contentId), 2);
    // The missing file's link names no stored file: it stays and the notice says so.
    EXPECT_TRUE(html.contains(QStringLiteral("filename=fehlt")));
    EXPECT_TRUE(html.contains(QStringLiteral("verwaiste")));
    EXPECT_FALSE(html.contains(QStringLiteral("pd_id=")));

    // Another sender than the mail's is left alone.
    QObject other;
    UImpDoku::_PrepareVoskEmailLinkedAttachements(&other);
    TestDatabase::Exec(QStringLiteral("DELETE FROM picndoku; DELETE FROM picndoku_revision; "
                                      "DELETE FROM dms_file; DELETE FROM dokutypes"));
}
