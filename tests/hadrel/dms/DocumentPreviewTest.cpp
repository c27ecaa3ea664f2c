// The document preview over the real store: every page of PDFs and multipage TIFFs (TIFF pages
// read only as they scroll into view), text files in their encoding and shortened when long, RTF
// through the memo editor's reader, mails with their headers, body and attachment names, and any
// other file by name and icon.

#include "FrameworkFixture.h"

#include <PageCodec.h>
#include <UConstants.h>
#include <TVoskDocumentViewer.h>
#include <TVoskPageStrip.h>
#include <Ukorvexclasses.Dokument.h>
#include <UnitTable.h>

#include <QBuffer>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfView>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

using testsupport::TestDatabase;

namespace {

class DocumentPreviewTest : public FrameworkTest {
protected:
    static void SetUpTestSuite() {
        FrameworkTest::SetUpTestSuite();
        Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
    }
    static void TearDownTestSuite() {
        Rtl::Package::Get(QStringLiteral("hadrel")).Finalize();
        FrameworkTest::TearDownTestSuite();
    }
    void SetUp() override {
        FrameworkTest::SetUp();
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM picndokulink; DELETE FROM picndoku; DELETE FROM dms_file;"));
        m_viewer.resize(420, 600);
        m_viewer.show();
    }

    static int store(const QByteArray& bytes, const QString& name) {
        TDokument d;
        d.InsertData() = {true, QString(), QString(), QString(), QString(), QString()};
        QBuffer b;
        b.setData(bytes);
        b.open(QIODevice::ReadOnly);
        return d.DMSAddFileAsBLOB(b, name, QStringLiteral("adressen"), QStringLiteral("5"));
    }
    // The document as a link to a file outside the store.
    int link(const QByteArray& bytes, const QString& name) {
        const int id = store("x", name);
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_islink = true, pd_path = '%1', "
                                          "pd_dmsremotefile = NULL WHERE pd_id = %2")
                               .arg(path)
                               .arg(id));
        return id;
    }
    QString show(int id) {
        m_viewer.LoadDocument(id);
        return m_viewer.PreviewKind();
    }
    // What the strip draws, after it drew it.
    QImage strip() {
        TVoskPageStrip* s = m_viewer.PageStrip();
        return s->viewport()->grab().toImage();
    }

    static QByteArray tiff(int pages) {
        Imaging::TTiffWriter w;
        for (int n = 0; n < pages; ++n) {
            QImage page(170, 240, QImage::Format_Grayscale8);
            page.fill(QColor(n * 6, n * 6, n * 6));
            Imaging::TIOParams p;
            p.TIFF_Compression = Imaging::ioTIFF_LZW;
            p.DpiX = p.DpiY = 100;
            w.WritePage(page, p);
        }
        return w.Finish();
    }

    QTemporaryDir m_dir;
    TVoskDocumentViewer m_viewer;
};

TEST_F(DocumentPreviewTest, PdfAndTiffShowEveryPageAndTiffPagesAreReadAsTheyScrollIntoView) {
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        QPainter p(&writer);
        for (int n = 1; n <= 3; ++n) {
            if (n > 1)
                writer.newPage();
            p.fillRect(QRect(0, 0, 3000, 3000 * n), Qt::black); // taller on every page
        }
    }
    const int pdfId = store(pdf.data(), QStringLiteral("vertrag.pdf"));
    const QString copies =
        CurrentSession_UConstants().TempDir() + QStringLiteral("/Vorschau/%1").arg(pdfId);
    QDir(copies).removeRecursively();
    ASSERT_EQ(show(pdfId), QStringLiteral("pdf"));
    EXPECT_EQ(m_viewer.PdfView()->document()->pageCount(), 3);
    // Read in place from the store, not copied out first.
    EXPECT_FALSE(QFileInfo::exists(copies));
    // The last page's content comes through the store's blocks.
    const QImage page = m_viewer.PdfView()->document()->render(2, QSize(400, 560)).convertToFormat(
        QImage::Format_Grayscale8);
    ASSERT_FALSE(page.isNull());
    int ink = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            ink += page.pixelColor(x, y).lightness() < 128;
    EXPECT_GT(ink, page.width() * page.height() / 10);
    EXPECT_EQ(m_viewer.PdfView()->pageMode(), QPdfView::PageMode::MultiPage);
    EXPECT_TRUE(m_viewer.PdfView()->isVisibleTo(&m_viewer));

    const QByteArray pages = tiff(40);
    for (const int id : {store(pages, QStringLiteral("scan.tif")),
                         link(pages, QStringLiteral("extern.tiff"))}) {
        ASSERT_EQ(show(id), QStringLiteral("tiff")) << id;
        TVoskPageStrip* s = m_viewer.PageStrip();
        EXPECT_EQ(s->PageCount(), 40);
        QImage shown = strip();
        // Only what the view shows was read.
        EXPECT_TRUE(s->PagesRead().contains(0));
        EXPECT_LE(s->PagesRead().size(), 3);
        EXPECT_EQ(qGray(shown.pixel(shown.width() / 2, shown.height() / 4)), 0);

        QTest::keyClick(s, Qt::Key_PageDown);
        EXPECT_GT(s->verticalScrollBar()->value(), 0);
        s->ScrollToPage(25);
        shown = strip();
        EXPECT_EQ(s->CurrentPage(), 25);
        EXPECT_TRUE(s->PagesRead().contains(25));
        EXPECT_FALSE(s->PagesRead().contains(12));
        // The page drawn at the top is page 25 (its grey), not another one.
        EXPECT_NEAR(qGray(shown.pixel(shown.width() / 2, 40)), 25 * 6, 2);
    }
}

TEST_F(DocumentPreviewTest, TextFilesShowReadOnlyInTheirEncodingAndLongOnesShortened) {
    ASSERT_EQ(show(store("Gr\xfc\xdf" "e aus K\xf6ln\r\n\x80 12,50\r\n", QStringLiteral("notiz.txt"))),
              QStringLiteral("text"));
    EXPECT_EQ(m_viewer.TextView()->toPlainText(), QStringLiteral("Grüße aus Köln\n€ 12,50\n"));
    EXPECT_TRUE(m_viewer.TextView()->isReadOnly());
    EXPECT_TRUE(m_viewer.ShortenedNote().isEmpty());

    ASSERT_EQ(show(store("{\"kunde\": \"M\xc3\xbcller\"}", QStringLiteral("export.json"))),
              QStringLiteral("text"));
    EXPECT_EQ(m_viewer.TextView()->toPlainText(), QStringLiteral("{\"kunde\": \"Müller\"}"));
    // Without a type by name the content decides.
    EXPECT_EQ(show(store("Bitte zuerst lesen.\n", QStringLiteral("LIESMICH"))), QStringLiteral("text"));
    EXPECT_EQ(show(store(QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0", 10), QStringLiteral("programm"))),
              QStringLiteral("file"));
    // Office files are not text, whatever their first bytes are.
    EXPECT_EQ(show(store("PK", QStringLiteral("tabelle.ods"))), QStringLiteral("file"));

    // A long log: its first megabyte, and a note that says so.
    QByteArray log;
    for (int n = 0; log.size() < 3 * 1024 * 1024; ++n)
        log += "2026-03-03 12:00:00 Zeile " + QByteArray::number(n) + " \xc3\xa4\xc3\xb6\xc3\xbc\n";
    for (const int id : {store(log, QStringLiteral("server.log")), link(log, QStringLiteral("l.log"))}) {
        ASSERT_EQ(show(id), QStringLiteral("text"));
        const QString text = m_viewer.TextView()->toPlainText();
        EXPECT_TRUE(text.startsWith(QStringLiteral("2026-03-03 12:00:00 Zeile 0 äöü\n")));
        EXPECT_GT(text.size(), 900 * 1024);
        EXPECT_LT(text.size(), 1024 * 1024);
        EXPECT_FALSE(text.contains(QChar::ReplacementCharacter));
        EXPECT_EQ(m_viewer.ShortenedNote(),
                  QStringLiteral("Die Vorschau ist gekürzt: sie zeigt nur den Anfang der Datei "
                                 "(1,0 MB von 3,0 MB)."));
        EXPECT_TRUE(m_viewer.findChild<QLabel*>(QStringLiteral("lbPreviewShortened"))->isVisibleTo(&m_viewer));
    }
    // The next document shows no note of the one before.
    show(store("kurz", QStringLiteral("kurz.txt")));
    EXPECT_TRUE(m_viewer.ShortenedNote().isEmpty());
}

TEST_F(DocumentPreviewTest, RtfAndMailsShowTheirText) {
    ASSERT_EQ(show(store("{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}}\\f0 Sehr geehrte "
                         "\\b Damen\\b0  und Herren, Gr\\'fc\\'dfe\\par}",
                         QStringLiteral("brief.rtf"))),
              QStringLiteral("rtf"));
    QTextEdit* rich = m_viewer.RichTextView();
    EXPECT_TRUE(rich->isReadOnly());
    EXPECT_EQ(rich->toPlainText().trimmed(), QStringLiteral("Sehr geehrte Damen und Herren, Grüße"));
    QTextCursor at(rich->document());
    at.setPosition(rich->toPlainText().indexOf(QStringLiteral("Damen")) + 1);
    EXPECT_EQ(at.charFormat().fontWeight(), QFont::Bold);

    const QByteArray mail =
        "From: =?ISO-8859-1?Q?J=FCrgen_M=FCller?= <juergen@example.de>\r\n"
        "To: anna@example.de\r\n"
        "Subject: =?UTF-8?Q?Rechnung_f=C3=BCr_M=C3=A4rz?=\r\n"
        "Date: Tue, 03 Mar 2026 14:05:09 +0100\r\n"
        "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
        "--b1\r\nContent-Type: text/plain; charset=iso-8859-1\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
        "Anbei die Rechnung =FCber 1.200 =80.\r\n"
        "--b1\r\nContent-Type: application/pdf\r\n"
        "Content-Disposition: attachment; filename=\"Rechnung 4711.pdf\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n--b1--\r\n";
    for (const int id : {store(mail, QStringLiteral("Rechnung.eml")), link(mail, QStringLiteral("m.eml"))}) {
        ASSERT_EQ(show(id), QStringLiteral("mail"));
        const auto label = [this](const char* name) {
            return m_viewer.findChild<QLabel*>(QLatin1String(name))->text();
        };
        EXPECT_EQ(label("lbMailFrom"), QStringLiteral("Jürgen Müller <juergen@example.de>"));
        EXPECT_EQ(label("lbMailTo"), QStringLiteral("anna@example.de"));
        EXPECT_EQ(label("lbMailSubject"), QStringLiteral("Rechnung für März"));
        EXPECT_TRUE(label("lbMailDate").contains(QStringLiteral("03.03.2026")));
        EXPECT_EQ(label("lbMailAttachments"), QStringLiteral("Rechnung 4711.pdf"));
        // No copy recipients: their row does not show.
        EXPECT_FALSE(m_viewer.findChild<QLabel*>(QStringLiteral("lbMailCc"))->isVisibleTo(&m_viewer));
        EXPECT_EQ(m_viewer.findChild<QPlainTextEdit*>(QStringLiteral("memoMailBody"))->toPlainText(),
                  QStringLiteral("Anbei die Rechnung über 1.200 €."));
    }
}

TEST_F(DocumentPreviewTest, EveryControlIsNamedAndAMissingFileShowsTheStoresMessage) {
    const int id = store("Inhalt", QStringLiteral("notiz.txt"));
    show(id);
    for (QWidget* w : m_viewer.findChildren<QWidget*>()) {
        if (w->isVisibleTo(&m_viewer) && (w->focusPolicy() != Qt::NoFocus || qobject_cast<QLabel*>(w))) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className() << " "
                                                        << w->objectName().toStdString();
            EXPECT_FALSE(w->toolTip().isEmpty()) << w->objectName().toStdString();
        }
    }
    TestDatabase::Exec(QStringLiteral("SELECT lo_unlink(oid) FROM dms_file"));
    m_viewer.DisableDocument();
    EXPECT_EQ(show(id), QStringLiteral("error"));
    EXPECT_TRUE(m_viewer.PreviewText().startsWith(
        QStringLiteral("Datei im Dokumentenspeicher fehlt: ")))
        << m_viewer.PreviewText().toStdString();
}

} // namespace
