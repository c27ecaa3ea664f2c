#include "FrameworkFixture.h"

#include "TDMSELO.h"
#include "UImpDoku.Output.h"
#include "Ukorvexclasses.Dokument.h"
#include "VoskExceptions.h"

#include <QBuffer>

using testsupport::TestDatabase;

namespace {

class DocumentOutputTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        TestDatabase::Exec(
            QStringLiteral("INSERT INTO dokutypes (dt_id, dt_descr) VALUES ('LS', 'Lieferschein') "
                           "ON CONFLICT DO NOTHING"));
        DMSDokuTypes().Refresh();
    }
    void TearDown() override {
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM recnokeyword WHERE r_tablename = 'picndoku'; DELETE FROM picndoku; "
            "DELETE FROM picndoku_revision; DELETE FROM dms_file; "
            "DELETE FROM settings WHERE s_name = 'DMS.ExternalArchiveClient'"));
    }
    // A stored document of record (table, recId).
    static int Store(const QString& table, const QString& recId, const QString& name) {
        TDokument doc;
        doc.InsertData() = {true, name, QStringLiteral("LS"), {}, {}, QStringLiteral("file")};
        QBuffer b;
        b.setData("%PDF-1.4");
        b.open(QIODevice::ReadOnly);
        return doc.DMSAddFileAsBLOB(b, name, table, recId);
    }
    static QString Flags(const QString& recId) {
        return TestDatabase::Scalar(
            QStringLiteral("SELECT string_agg(pd_descr || '=' || pd_print, ',' ORDER BY pd_id) "
                           "FROM picndoku WHERE pd_tablename = 'adressen' AND pd_dbrid = %1")
                .arg(recId));
    }
};

} // namespace

TEST(DragOutName, CaptionsBecomeFileNamesWithinTheirFolder) {
    using UImpDoku::DragOutFileName;
    EXPECT_EQ(DragOutFileName(QStringLiteral("Lieferschein"), QStringLiteral("x/4711.pdf")),
              QStringLiteral("Lieferschein.pdf"));
    EXPECT_EQ(DragOutFileName(QStringLiteral("Plan: Juli?"), QStringLiteral("a.tif")),
              QStringLiteral("Plan_ Juli_.tif"));
    EXPECT_EQ(DragOutFileName(QStringLiteral("Plan.PDF"), QStringLiteral("a.pdf")),
              QStringLiteral("Plan.PDF"));
    EXPECT_EQ(DragOutFileName(QStringLiteral("Version 1.2"), QStringLiteral("g.odt")),
              QStringLiteral("Version 1.2.odt"));
    // The extension is the stored file's, whatever points the caption holds.
    EXPECT_EQ(DragOutFileName(QStringLiteral("Angebot Fa.Schmidt"), QStringLiteral("a.pdf")),
              QStringLiteral("Angebot Fa.Schmidt.pdf"));
    EXPECT_EQ(DragOutFileName(QStringLiteral("Bericht.docx"), QStringLiteral("a.pdf")),
              QStringLiteral("Bericht.docx.pdf"));
    EXPECT_EQ(DragOutFileName(QStringLiteral("Angebot Fa.Schmidt"), QStringLiteral("ohne")),
              QStringLiteral("Angebot Fa.Schmidt"));
    // A slash is part of the name; nothing reaches or hides in another folder.
    EXPECT_EQ(DragOutFileName(QStringLiteral("Rechnung 1/2024"), QStringLiteral("r.pdf")),
              QStringLiteral("Rechnung 1_2024.pdf"));
    EXPECT_EQ(DragOutFileName(QStringLiteral("C:\\Ablage\\Plan.pdf"), QString()),
              QStringLiteral("C__Ablage_Plan.pdf"));
    EXPECT_EQ(DragOutFileName(QStringLiteral("../../etc/passwd"), QString()),
              QStringLiteral("_._.._etc_passwd"));
    EXPECT_EQ(DragOutFileName(QStringLiteral(".."), QString()), QStringLiteral("_"));
    EXPECT_EQ(DragOutFileName(QStringLiteral(".profile"), QString()), QStringLiteral("_profile"));
    EXPECT_EQ(DragOutFileName(QStringLiteral("Ordner/"), QString()), QStringLiteral("Ordner_"));
    EXPECT_EQ(DragOutFileName(QStringLiteral("a\tb\"c|d*e<f>"), QStringLiteral("g.txt")),
              QStringLiteral("a_b_c_d_e_f_.txt"));
}

TEST_F(DocumentOutputTest, OneRecordKeepsOnePreviewDocument) {
    const int first = Store(QStringLiteral("adressen"), QStringLiteral("7"), QStringLiteral("A"));
    const int second = Store(QStringLiteral("adressen"), QStringLiteral("7"), QStringLiteral("B"));
    const int other = Store(QStringLiteral("lager"), QStringLiteral("7"), QStringLiteral("C"));
    TDokument doc;
    doc.AssignToDokId(first);
    UImpDoku::TogglePreviewDocument(doc, QStringLiteral("ADRESSEN"), QStringLiteral("7"));
    EXPECT_EQ(Flags(QStringLiteral("7")), QStringLiteral("A=true,B=false"));
    doc.AssignToDokId(second);
    UImpDoku::TogglePreviewDocument(doc, QStringLiteral("adressen"), QStringLiteral("7"));
    EXPECT_EQ(Flags(QStringLiteral("7")), QStringLiteral("A=false,B=true"));
    EXPECT_TRUE(TLogSink::Contains(
        QStringLiteral("TableName=adressen RecId=7 pd_id=%1 print=False").arg(second)));

    // A post that fails keeps the earlier preview document.
    TestDatabase::Exec(QStringLiteral(
        "CREATE FUNCTION fail_print() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
        "RAISE EXCEPTION 'gesperrt'; END $$; CREATE TRIGGER fail_print BEFORE UPDATE OF pd_print "
        "ON picndoku FOR EACH ROW WHEN (NEW.pd_print) EXECUTE FUNCTION fail_print()"));
    doc.AssignToDokId(first);
    EXPECT_ANY_THROW(
        UImpDoku::TogglePreviewDocument(doc, QStringLiteral("adressen"), QStringLiteral("7")));
    TestDatabase::Exec(
        QStringLiteral("DROP TRIGGER fail_print ON picndoku; DROP FUNCTION fail_print()"));
    EXPECT_EQ(Flags(QStringLiteral("7")), QStringLiteral("A=false,B=true"));
    EXPECT_FALSE(doc.InEdit());

    // A document shown for another record through a link is refused.
    doc.AssignToDokId(other);
    m_answers.Expect(QStringLiteral("Verknüpfte Dokumente können nicht"), Vcl::mrOk);
    EXPECT_THROW(
        UImpDoku::TogglePreviewDocument(doc, QStringLiteral("adressen"), QStringLiteral("7")),
        EAbort);
}

TEST_F(DocumentOutputTest, ReportPrintersAreStoredAsKeywordAndReadBack) {
    TDokument doc;
    doc.AssignToDokId(Store(QStringLiteral("adressen"), QStringLiteral("8"), QStringLiteral("A")));
    EXPECT_TRUE(doc.GetPrintersForReporting().isEmpty());
    EXPECT_TRUE(
        UImpDoku::StoreReportPrinters(doc, {QStringLiteral("Lager"), QStringLiteral("Büro 2")}));
    EXPECT_EQ(doc.GetPrintersForReporting(), (QStringList{"Lager", "Büro 2"}));
    EXPECT_FALSE(
        UImpDoku::StoreReportPrinters(doc, {QStringLiteral("Lager"), QStringLiteral("Büro 2")}));
    EXPECT_TRUE(UImpDoku::StoreReportPrinters(doc, {QStringLiteral("Büro 2")}));
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral(
                  "SELECT count(*) || ':' || max(r_value) || ':' || max(r_reg_pname) FROM "
                  "recnokeyword WHERE r_tablename = 'picndoku' AND r_descr = 'PrinterForReporting' "
                  "AND r_kategorie = 'internal system usage'")),
              QStringLiteral("1:Büro 2:System.Printing"));
    TDokument again;
    again.AssignToDokId(doc.Id());
    EXPECT_EQ(again.GetPrintersForReporting(), QStringList{"Büro 2"});
    EXPECT_TRUE(UImpDoku::StoreReportPrinters(doc, {}));
    EXPECT_TRUE(doc.ReportPrinters().isEmpty());
}

TEST_F(DocumentOutputTest, TheArchiveClientIsThereOnlyWhenASettingNamesIt) {
    EXPECT_FALSE(TDMSELO::isELOInstalled());
    EXPECT_THROW(TDMSELO::DoExecuteELO(nullptr, QStringLiteral("ELO-1")), EVoskException);
    s_dm->SetSetting(QStringLiteral("DMS.ExternalArchiveClient"),
                     QStringLiteral(" /opt/archiv/client "));
    EXPECT_TRUE(TDMSELO::isELOInstalled());
    TDMSELO::DoExecuteELO(nullptr, QStringLiteral("ELO-1; rm -rf /"));
    ASSERT_EQ(m_answers.Launched().size(), 1u);
    EXPECT_EQ(m_answers.Launched()[0].program, QStringLiteral("/opt/archiv/client"));
    EXPECT_EQ(m_answers.Launched()[0].arguments, QStringList{"ELO-1; rm -rf /"});
    EXPECT_THROW(TDMSELO::DoExecuteELO(nullptr, QStringLiteral("  ")), EVoskException);
    m_answers.SetShellSucceeds(false);
    EXPECT_THROW(TDMSELO::DoExecuteELO(nullptr, QStringLiteral("ELO-2")), EVoskException);
}
