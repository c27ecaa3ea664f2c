#include "ModulFormFixture.h"

#include "DMSys.h"
#include "Korvexcommon.h"
#include "TVoskPopupMenu.h"
#include "UImpDoku.ScanButton.h"
#include "Ukorvexclasses.Dokument.h"
#include "Vcl.Classes.h"

#include <QFile>
#include <QTemporaryDir>

using testsupport::TestDatabase;

namespace {

// A scan service that records what it was asked and answers as the test says.
struct ScanCall {
    bool scannerSetup = false;
    QStringList params;
    QString dokType, dokIdent, table, recId;
    TDokumentInsertData insertData;
};

} // namespace

class ScanButtonTest : public ModulFormFixture {
protected:
    void SetUp() override {
        ModulFormFixture::SetUp();
        TestDatabase::Exec(
            QStringLiteral("INSERT INTO dokutypes (dt_id, dt_descr) VALUES ('LS', 'Lieferschein') "
                           "ON CONFLICT DO NOTHING"));
        DMSDokuTypes().Refresh();
        m_form = Open();
        m_button = new TVoskScanButton(m_form, m_form);
        m_button->_ScanOwnerClass = m_form->DataAdressen;
        // The viewers fill the scan slot when the package loads; these tests bring their own
        // service, or test a host without one.
        m_service = TDMSys::_DMSScan.Get();
        TDMSys::_DMSScan.Reset();
    }
    void TearDown() override {
        TDMSys::_DMSScan.Set(m_service);
        s_dm->SetIsAdmin(false);
        TestDatabase::Exec(QStringLiteral("DELETE FROM picndoku; DELETE FROM picndoku_revision; "
                                          "DELETE FROM dms_file"));
        ModulFormFixture::TearDown();
    }
    std::function<TDMSys::TDMSScan> m_service;
    // Installs a scan service that records its calls; with store it keeps a TIFF as the new
    // document and reports it as a scan does.
    void FakeService(bool store = false) {
        TDMSys::_DMSScan.Set([this, store](QObject*, bool setup, TDokument* doc,
                                           const QStringList& params, const QString& type,
                                           const QString& ident, const TDokumentEvent& event) {
            ScanCall c{setup, params, type, ident, {}, {}, doc->InsertData()};
            if (auto t = doc->FindParam(QStringLiteral("pdtablename")))
                c.table = t->toString();
            if (auto r = doc->FindParam(QStringLiteral("pddbrid")))
                c.recId = r->toString();
            m_calls.append(c);
            if (!store)
                return;
            const QString tiff = m_files.filePath(QStringLiteral("scan.tif"));
            QImage page(40, 60, QImage::Format_Grayscale8);
            page.fill(200);
            page.save(tiff, "TIFF");
            doc->DMSAddFileAsBLOB(tiff, c.table, c.recId);
            if (event)
                event(nullptr, doc, 0, QStringList{QStringLiteral("LS-4711")});
        });
    }
    QString CurrentDbrid() const {
        return m_form->DataAdressen->FieldByName(QStringLiteral("dbrid")).AsString();
    }
    static QStringList Visible(QMenu* menu) {
        QStringList names;
        for (QAction* a : menu->actions())
            if (a->isVisible())
                names << a->objectName();
        return names;
    }

    TFormAdress* m_form = nullptr;
    TVoskScanButton* m_button = nullptr;
    QList<ScanCall> m_calls;
    QTemporaryDir m_files;
};

TEST_F(ScanButtonTest, SettingsThatCannotWorkAreRefusedAndTheButtonComesBack) {
    // Nothing set at all: nothing happens.
    m_button->_ScanOwnerClass = nullptr;
    FakeService();
    m_button->click();
    EXPECT_TRUE(m_calls.isEmpty());
    m_button->_ScanDokuType = QStringLiteral("LS");
    m_answers.Expect(QStringLiteral("_ScanOwnerClass nicht angegeben"), Vcl::mrOk);
    m_button->click();

    m_button->_ScanOwnerClass = m_form->DataAdressen;
    m_button->_ScanDokIdentField = QStringLiteral("gibtsnicht");
    m_answers.Expect(QStringLiteral("TVoskScanButton: gibtsnicht nicht gefunden."), Vcl::mrOk);
    m_button->click();
    EXPECT_TRUE(m_button->isEnabled());

    // An empty ident is an error only when it is required; the second class is searched too.
    TestDatabase::Exec(
        QStringLiteral("UPDATE adressen SET ort = ' ' WHERE dbrid = %1").arg(CurrentDbrid()));
    m_form->DataAdressen->Refresh();
    m_button->_ScanDokIdentField = QStringLiteral("ort");
    m_button->_ScanDokIdentRequired = true;
    m_answers.Expect(QStringLiteral("TVoskScanButton: ort enthält keinen Wert."), Vcl::mrOk);
    m_button->click();
    EXPECT_TRUE(m_button->isEnabled());
    EXPECT_TRUE(m_calls.isEmpty());

    m_button->_ScanOwnerClass2 = m_form->DataAdressen;
    m_button->_ScanDokIdentField = QStringLiteral("plz");
    EXPECT_EQ(m_button->Dokident__Get(), m_form->DataAdressen->FieldByName("plz").AsString());
    // The record id field is required and searched the same way.
    m_button->_ScanRecIdField = QStringLiteral("keinfeld");
    m_answers.Expect(QStringLiteral("keinfeld nicht gefunden."), Vcl::mrOk);
    m_button->click();
    EXPECT_TRUE(m_button->isEnabled());
}

TEST_F(ScanButtonTest, EachEntryPassesItsModeRecordAndBarcodeLines) {
    FakeService();
    // Only the data class: its table and dbrid, no ident, no barcode lines.
    m_button->click();
    ASSERT_EQ(m_calls.size(), 1);
    EXPECT_EQ(m_calls[0].table, QStringLiteral("adressen"));
    EXPECT_EQ(m_calls[0].recId, CurrentDbrid());
    EXPECT_TRUE(m_calls[0].dokIdent.isEmpty());
    EXPECT_EQ(m_calls[0].params, QStringList{"ScanSource="});
    EXPECT_FALSE(m_calls[0].scannerSetup);

    m_button->_ScanDokuType = QStringLiteral("LS");
    m_button->_ScanDokIdentField = QStringLiteral("plz");
    m_button->_ScanTableName = QStringLiteral("lieferschein");
    m_button->_ScanRecIdField = QStringLiteral("plz");
    m_button->_Barcodes = TVoskScanButton::sbEAN13 | TVoskScanButton::sbCode128;
    m_button->_BarcodesInfos = TVoskScanButton::sbmWithTypes;
    m_button->_BarcodesOnFirstPage = true;
    const QString plz = m_form->DataAdressen->FieldByName(QStringLiteral("plz")).AsString();
    m_button->miImageFile->trigger();
    m_button->miOtherFile->trigger();
    m_button->miScan->trigger();
    ASSERT_EQ(m_calls.size(), 4);
    const QStringList barcodes{"Barcodes=sbEAN13,sbCode128", "BarcodeMode=sbmWithTypes",
                               "BarcodesOnFirstPage=True"};
    int i = 1;
    for (const char* source : {"file", "otherfile", ""}) {
        const ScanCall& c = m_calls[i++];
        EXPECT_EQ(c.params, barcodes + QStringList{QStringLiteral("ScanSource=") + source});
        EXPECT_EQ(c.dokType, QStringLiteral("LS"));
        EXPECT_EQ(c.dokIdent, plz);
        EXPECT_EQ(c.insertData.DokType, QStringLiteral("LS"));
        EXPECT_EQ(c.insertData.DokIdent, plz);
        EXPECT_EQ(c.table, QStringLiteral("lieferschein"));
        EXPECT_EQ(c.recId, plz);
    }
}

TEST_F(ScanButtonTest, AdministratorsSeeTheScanWindowImport) {
    EXPECT_EQ(m_button->text(), QStringLiteral("Scannen"));
    EXPECT_EQ(m_button->width(), 89);
    EXPECT_FALSE(m_button->toolTip().isEmpty());
    emit m_button->DropDownMenu()->aboutToShow();
    EXPECT_EQ(Visible(m_button->DropDownMenu()), (QStringList{"miScan", "miOtherFile"}));
    EXPECT_EQ(m_button->miOtherFile->text(), QStringLiteral("Dokument importieren (PDF/Images)"));
    s_dm->SetIsAdmin(true);
    emit m_button->DropDownMenu()->aboutToShow();
    EXPECT_EQ(Visible(m_button->DropDownMenu()),
              (QStringList{"miScan", "miImageFile", "miOtherFile"}));

    // Known by class name, as stored forms create it.
    QObject* made = Vcl::CreateComponent(QStringLiteral("TVoskScanButton"), m_form);
    EXPECT_NE(qobject_cast<TVoskScanButton*>(made), nullptr);
    delete made;
}

TEST_F(ScanButtonTest, AStoredScanRefreshesTheRecordAndItsDocumentDisplay) {
    FakeService(true);
    m_button->_ScanDokuType = QStringLiteral("LS");
    QStringList reported;
    int calls = 0;
    m_button->OnAfterScan = [&](QObject* sender, const QStringList& values) {
        EXPECT_EQ(sender, m_button);
        reported = values;
        ++calls;
    };
    const QString dbrid = CurrentDbrid();
    TestDatabase::Exec(
        QStringLiteral("UPDATE adressen SET name = 'Neu gelesen' WHERE dbrid = %1").arg(dbrid));
    m_form->LastDokuID = QStringLiteral("adressen;%1").arg(dbrid);
    m_button->click();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(reported, QStringList{"LS-4711"});
    EXPECT_TRUE(m_form->LastDokuID.isEmpty());
    EXPECT_EQ(m_form->DataAdressen->FieldByName(QStringLiteral("name")).AsString(),
              QStringLiteral("Neu gelesen"));

    // The scanned TIFF is a document of the record now.
    TDokument docs;
    docs.AssignToRecNo(QStringLiteral("adressen"), dbrid);
    ASSERT_EQ(docs.RecordCount(), 1);
    EXPECT_EQ(docs.DokType(), QStringLiteral("LS"));
    EXPECT_TRUE(QImage(docs.DMSGetFile(m_files.filePath(QStringLiteral("back.tif")))).size() ==
                QSize(40, 60));

    // Other modes tell no one after the scan, but refresh all the same.
    m_button->DoDokumentEvent(nullptr, &docs, 1, {});
    EXPECT_EQ(calls, 1);
}

TEST_F(ScanButtonTest, WithoutScanServiceAFileIsStoredAndScansAreRefused) {
    const QByteArray pdf("%PDF-1.4\n% Lieferschein\n");
    const QString path = m_files.filePath(QStringLiteral("Lieferschein 4711.pdf"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(pdf);
    f.close();
    m_button->_ScanDokuType = QStringLiteral("LS");
    int calls = 0;
    m_button->OnAfterScan = [&](QObject*, const QStringList&) { ++calls; };

    m_answers.ExpectFile(QStringLiteral("Dokument importieren"), {path});
    m_button->miOtherFile->trigger();
    EXPECT_EQ(calls, 1);
    TDokument docs;
    docs.AssignToRecNo(QStringLiteral("adressen"), CurrentDbrid());
    ASSERT_EQ(docs.RecordCount(), 1);
    EXPECT_EQ(docs.DokType(), QStringLiteral("LS"));
    EXPECT_EQ(docs.Caption(), QStringLiteral("Lieferschein 4711.pdf"));
    QFile back(docs.DMSGetFile(m_files.filePath(QStringLiteral("back.pdf"))));
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), pdf);

    // A cancelled dialog stores nothing; scans need the service.
    m_answers.ExpectFile(QStringLiteral("Dokument importieren"), {});
    m_button->miOtherFile->trigger();
    m_answers.Expect(QStringLiteral("Kein Scan-Dienst geladen."), Vcl::mrOk);
    m_button->click();
    m_answers.Expect(QStringLiteral("Kein Scan-Dienst geladen."), Vcl::mrOk);
    m_button->miImageFile->trigger();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(m_button->isEnabled());
    docs.AssignToRecNo(QStringLiteral("adressen"), CurrentDbrid());
    EXPECT_EQ(docs.RecordCount(), 1);
}

TEST_F(ScanButtonTest, TheSystemModulesScanHandsTheDocumentsInsertDataOn) {
    TDokument doc;
    doc.SetInsertData({true, QString(), QStringLiteral("LS"), QStringLiteral("K-1"), {}, {}});
    m_answers.Expect(QStringLiteral("Kein Scan-Dienst geladen."), Vcl::mrOk);
    DMSys()->Scan(m_form, true, 0, 0, 0, 0, {QStringLiteral("ScanPath=Scanner")}, &doc);

    // A stored scan reaches the caller through the document's events.
    int posted = 0;
    doc.AfterPost = [&](TVoskClass*) { ++posted; };
    FakeService(true);
    doc.LoadByRecord(QStringLiteral("adressen"), CurrentDbrid(), false);
    DMSys()->Scan(m_form, true, 0, 0, 0, 0,
                  {QStringLiteral("ScanPath=Scanner"), QStringLiteral("ScanSource=manuell")}, &doc);
    EXPECT_EQ(posted, 1);
    ASSERT_EQ(m_calls.size(), 1);
    EXPECT_TRUE(m_calls[0].scannerSetup);
    EXPECT_EQ(m_calls[0].params, (QStringList{"ScanPath=Scanner", "ScanSource=manuell"}));
    EXPECT_EQ(m_calls[0].dokType, QStringLiteral("LS"));
    EXPECT_EQ(m_calls[0].dokIdent, QStringLiteral("K-1"));
}
