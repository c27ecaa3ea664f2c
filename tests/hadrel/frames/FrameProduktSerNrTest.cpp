// The serial numbers of a stock document on a real database: which presets the buttons and the
// grid menu add and remove, that a refused number loses nothing, and what the user sees of the
// panel and the menus.

#include "ModulFormFixture.h"

#include <FrameDBNavigate.h>
#include <Korvexcommonvcl.h>
#include <UHostModules.h>
#include <TVoskBandedHeader.h>
#include <TVoskDBNavigator.h>
#include <TVoskPageControl2.h>
#include <UFrameProduktSerNr.h>
#include <VoskF2Controls.h>

#include <QFile>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTemporaryDir>
#include <QVBoxLayout>

namespace {

using testsupport::TestDatabase;

int scalarInt(const QString& sql) { return TestDatabase::Scalar(sql).toInt(); }

int addDocument(bool done = false, int stk = 3) {
    return scalarInt(QStringLiteral("INSERT INTO ldsdok (ld_aknr, ld_stk, ld_done) VALUES "
                                    "('T-PUMPE', %1, %2) RETURNING ld_id")
                         .arg(stk)
                         .arg(done ? QStringLiteral("true") : QStringLiteral("false")));
}

// A serial number of the test article, with the links given (0 for none), preset for the documents.
int addSerial(const QString& nr, std::initializer_list<int> presetFor = {}, int wen = 0,
              int lg = 0, int lifsch = 0) {
    auto link = [](int v) { return v ? QString::number(v) : QStringLiteral("NULL"); };
    const int id = scalarInt(
        QStringLiteral("INSERT INTO lagsernr (lgs_sernr, lgs_aknr, w_wen, lg_id, l_nr) VALUES "
                       "('%1', 'T-PUMPE', %2, %3, %4) RETURNING lgs_id")
            .arg(nr, link(wen), link(lg), link(lifsch)));
    for (int ld : presetFor)
        TestDatabase::Exec(QStringLiteral("INSERT INTO mapsernr (ms_lgs_id, ms_table, ms_pkey) "
                                          "VALUES (%1, 'ldsdok'::regclass, %2)")
                               .arg(id)
                               .arg(ld));
    return id;
}

// Stands for the user in the order lookup: takes the first row.
class TakeFirstRow final : public Korvexcommonvcl::ModalForms {
public:
    int Run(Vcl::TForm* form) override {
        auto* f = qobject_cast<TFormF2List*>(form);
        if (!f || f->ListResult->count() == 0)
            return Vcl::mrCancel;
        lookup = f->ModulName + QLatin1Char('.') + f->FeldName;
        f->ListResult->setCurrentRow(0);
        f->TakeResult();
        return Vcl::mrOk;
    }
    QString lookup;
};

QString presets(int ld) {
    return TestDatabase::Scalar(
        QStringLiteral("SELECT coalesce(string_agg(s.lgs_sernr, ',' ORDER BY s.lgs_sernr), '') "
                       "FROM mapsernr m JOIN lagsernr s ON s.lgs_id = m.ms_lgs_id "
                       "WHERE m.ms_table = 'ldsdok'::regclass AND m.ms_pkey = %1")
            .arg(ld));
}

} // namespace

class FrameProduktSerNrTest : public ModulFormFixture {
protected:
    static void SetUpTestSuite() {
        ModulFormFixture::SetUpTestSuite();
        // The lookup and the report library of the host.
        UHostModules::Register();
        TestDatabase::Exec(QStringLiteral(
            "INSERT INTO art (ak_nr, ak_sernrreq) VALUES ('T-PUMPE', true), ('T-SCHRAUBE', false)"));
    }
    static void TearDownTestSuite() {
        UHostModules::Unregister();
        ModulFormFixture::TearDownTestSuite();
    }
    void SetUp() override {
        ModulFormFixture::SetUp();
        m_host = new QWidget;
        m_host->resize(1000, 500);
        auto* layout = new QVBoxLayout(m_host);
        m_frame = new TFrameProduktSerNr(m_host, m_host);
        layout->addWidget(m_frame);
        m_host->show();
    }
    void TearDown() override {
        if (m_frame->ServSQL2ProduktSN->InEdit())
            m_frame->ServSQL2ProduktSN->Cancel();
        delete m_host;
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM mapsernr; DELETE FROM lagsernr; DELETE FROM wendat; DELETE FROM lag; "
            "DELETE FROM lifsch; DELETE FROM ldsdok; DELETE FROM lastval "
            "WHERE lv_key LIKE 'TFrameProduktSerNr%'"));
        ModulFormFixture::TearDown();
    }

    int rowOf(const QString& sernr) const {
        TServSQL2* d = m_frame->ServSQL2ProduktSN;
        const int col = d->FieldIndex(QStringLiteral("lgs_sernr"));
        for (int r = 0; r < d->RecordCount(); ++r)
            if (d->Value(r, col).toString() == sernr)
                return r;
        return -1;
    }
    void select(std::initializer_list<const char*> sernrs) {
        QItemSelectionModel* sel = m_frame->GridProduktSerNrCX->selectionModel();
        sel->clearSelection();
        for (const char* s : sernrs) {
            const int row = rowOf(QString::fromLatin1(s));
            ASSERT_GE(row, 0) << s;
            sel->select(m_frame->GridProduktSerNrCX->model()->index(row, 0),
                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    QWidget* m_host = nullptr;
    TFrameProduktSerNr* m_frame = nullptr;
};

TEST_F(FrameProduktSerNrTest, PanelFollowsTheDocumentAndTheGridShowsItsBands) {
    m_frame->VorgabeSeriennummern_Activate(0);
    EXPECT_TRUE(m_frame->LdDone());
    EXPECT_TRUE(m_frame->pnlManuellSN->isHidden());
    EXPECT_TRUE(m_frame->FrameDBNavSerNr->BtInsert());
    // Without a document a new row has no article: refused in words, nothing written.
    EXPECT_THROW(m_frame->ServSQL2ProduktSN->Append(), EVoskException);
    EXPECT_FALSE(m_frame->ServSQL2ProduktSN->InEdit());

    const int open = addDocument();
    addSerial(QStringLiteral("SN-1"), {open});
    m_frame->mVorgabeSN->setPlainText(QStringLiteral("X"));
    m_frame->VorgabeSeriennummern_Activate(open);
    EXPECT_FALSE(m_frame->LdDone());
    EXPECT_FALSE(m_frame->pnlManuellSN->isHidden());
    EXPECT_FALSE(m_frame->FrameDBNavSerNr->BtInsert());
    EXPECT_TRUE(m_frame->mVorgabeSN->toPlainText().isEmpty());
    EXPECT_FALSE(m_frame->btnSNAdd->isEnabled());
    m_frame->mVorgabeSN->setPlainText(QStringLiteral("  \n"));
    EXPECT_FALSE(m_frame->btnSNUndertake->isEnabled());
    m_frame->mVorgabeSN->setPlainText(QStringLiteral("SN-2"));
    EXPECT_TRUE(m_frame->btnSNUndertake->isEnabled());
    EXPECT_TRUE(m_frame->btnSNAdd->isEnabled());
    // F2 in the memo opens the preset menu there and goes no further.
    m_frame->mVorgabeSN->setFocus();
    QTest::keyClick(m_frame->mVorgabeSN, Qt::Key_F2);
    EXPECT_TRUE(m_frame->pmVorgabeSN->isVisible());
    EXPECT_TRUE(m_frame->miAutoGenerierung->isEnabled());
    m_frame->pmVorgabeSN->hide();
    EXPECT_EQ(m_frame->mVorgabeSN->toPlainText(), QStringLiteral("SN-2"));

    // The three bands over their columns; a band whose columns are all hidden shows none.
    TVoskBandedHeader* h = m_frame->GridProduktSerNr;
    ASSERT_EQ(h->Bands().size(), 3);
    EXPECT_EQ(h->Bands()[0].Caption, QStringLiteral("Seriennummern"));
    EXPECT_EQ(h->Bands()[1].Caption, QStringLiteral("Lagerzugang"));
    EXPECT_EQ(h->Bands()[2].Caption, QStringLiteral("Lagerabgang"));
    EXPECT_EQ(h->BandRects(0).size(), 1);
    EXPECT_EQ(h->BandRects(1).size(), 1);
    EXPECT_GT(h->sizeHint().height(), h->BandRowHeight());

    // A done document shows its numbers, but takes no presets.
    const int done = addDocument(true);
    m_frame->VorgabeSeriennummern_Activate(done);
    EXPECT_TRUE(m_frame->LdDone());
    EXPECT_TRUE(m_frame->pnlManuellSN->isHidden());
    EXPECT_FALSE(m_frame->PopupVorgabeMenu());

    // On a page of the system's page control the tab stands out while the list has rows.
    auto* pages = new TVoskPageControl2(m_host);
    auto* page = new QWidget;
    pages->addTab(page, QStringLiteral("Seriennummern"));
    auto* onPage = new TFrameProduktSerNr(page, page);
    const QColor plain = pages->tabBar()->tabTextColor(0);
    onPage->VorgabeSeriennummern_Activate(open);
    EXPECT_NE(pages->tabBar()->tabTextColor(0), plain);
    onPage->VorgabeSeriennummern_Activate(0);
    EXPECT_NE(pages->tabBar()->tabTextColor(0), QColor(0, 70, 170));
}

TEST_F(FrameProduktSerNrTest, TheNavigatorsInsertAddsAPresetSerialNumberInOneStep) {
    const int ld = addDocument();
    addSerial(QStringLiteral("SN-1"), {ld});
    m_frame->VorgabeSeriennummern_Activate(ld);
    // The module hides the preset panel: the navigator takes new rows instead.
    m_frame->SetVisibilityVorgabePanel(false);
    ASSERT_TRUE(m_frame->FrameDBNavSerNr->BtInsert());
    QAction* insert = m_frame->FrameDBNavSerNr->DBNavigator1->ButtonControl(nbInsert);
    insert->trigger();
    TServSQL2* d = m_frame->ServSQL2ProduktSN;
    ASSERT_TRUE(d->IsNewRecord());
    d->FieldByName(QStringLiteral("lgs_sernr")).SetAsString(QStringLiteral(" SN-NEU "));
    d->Post();
    EXPECT_FALSE(d->InEdit());
    EXPECT_EQ(d->RecordCount(), 2);
    EXPECT_EQ(d->FieldByName(QStringLiteral("lgs_sernr")).AsString(), QStringLiteral("SN-NEU"));
    EXPECT_TRUE(d->FieldByName(QStringLiteral("isVorgabeSN")).AsBoolean());
    EXPECT_EQ(presets(ld), QStringLiteral("SN-1,SN-NEU"));
    EXPECT_EQ(TestDatabase::Scalar(
                  QStringLiteral("SELECT lgs_aknr FROM lagsernr WHERE lgs_sernr = 'SN-NEU'")),
              QStringLiteral("T-PUMPE"));

    // A number the server refuses leaves nothing behind and the typed row as it was.
    insert->trigger();
    d->FieldByName(QStringLiteral("lgs_sernr")).SetAsString(QString(41, u'X'));
    EXPECT_THROW(d->Post(), EVoskException);
    EXPECT_TRUE(d->IsNewRecord());
    EXPECT_EQ(scalarInt(QStringLiteral("SELECT count(*) FROM lagsernr")), 2);
    d->FieldByName(QStringLiteral("lgs_sernr")).SetAsString(QStringLiteral("  "));
    EXPECT_THROW(d->Post(), EVoskException);
    d->Cancel();

    // A done document takes none.
    const int done = addDocument(true);
    m_frame->VorgabeSeriennummern_Activate(done);
    EXPECT_TRUE(m_frame->FrameDBNavSerNr->BtInsert());
    EXPECT_THROW(d->Append(), EVoskException);
    EXPECT_FALSE(d->InEdit());
}

TEST_F(FrameProduktSerNrTest, UndertakeOnAnEmptyListAsksNothingAndAddsTheMemo) {
    const int ld = addDocument();
    m_frame->VorgabeSeriennummern_Activate(ld);
    ASSERT_EQ(m_frame->ServSQL2ProduktSN->RecordCount(), 0);
    m_frame->mVorgabeSN->setPlainText(QStringLiteral(" SN-B \r\n\nSN-A\nSN-B\n"));
    m_frame->btnSNUndertake->click();
    EXPECT_TRUE(m_answers.Questions().empty());
    EXPECT_EQ(presets(ld), QStringLiteral("SN-A,SN-B"));
    EXPECT_EQ(m_frame->ServSQL2ProduktSN->RecordCount(), 2);
    EXPECT_TRUE(m_frame->mVorgabeSN->toPlainText().isEmpty());
}

TEST_F(FrameProduktSerNrTest, UndertakeReplacesUnusedPresetsOrKeepsThemAll) {
    const int ld = addDocument();
    const int other = addDocument();
    const int wen = scalarInt(QStringLiteral(
        "INSERT INTO wendat (w_ld_id, w_aknr) VALUES (%1, 'T-PUMPE') RETURNING w_wen").arg(ld));
    addSerial(QStringLiteral("ALT-1"), {ld});
    addSerial(QStringLiteral("ALT-2"), {ld, other});
    addSerial(QStringLiteral("BENUTZT"), {ld}, wen);
    m_frame->VorgabeSeriennummern_Activate(ld);

    // A number the server refuses: its message, and the old presets are all still there.
    m_frame->mVorgabeSN->setPlainText(QStringLiteral("NEU-1\n") + QString(41, u'9'));
    m_answers.Expect(QStringLiteral("ersetzen"), Vcl::mrYes);
    m_answers.Expect(QStringLiteral("höchstens 40 Zeichen"), Vcl::mrOk);
    m_frame->btnSNUndertake->click();
    EXPECT_EQ(presets(ld), QStringLiteral("ALT-1,ALT-2,BENUTZT"));
    EXPECT_FALSE(m_frame->mVorgabeSN->toPlainText().isEmpty());

    // No keeps everything as it is.
    m_answers.Expect(QStringLiteral("ersetzen"), Vcl::mrNo);
    m_frame->btnSNUndertake->click();
    EXPECT_EQ(presets(ld), QStringLiteral("ALT-1,ALT-2,BENUTZT"));

    m_frame->mVorgabeSN->setPlainText(QStringLiteral("NEU-1\nNEU-2"));
    m_answers.Expect(QStringLiteral("ersetzen"), Vcl::mrYes);
    m_frame->btnSNUndertake->click();
    EXPECT_EQ(presets(ld), QStringLiteral("BENUTZT,NEU-1,NEU-2"));
    // The other document keeps its preset; a number nobody refers to any more is gone.
    EXPECT_EQ(presets(other), QStringLiteral("ALT-2"));
    EXPECT_EQ(TestDatabase::Scalar(
                  QStringLiteral("SELECT count(*) FROM lagsernr WHERE lgs_sernr = 'ALT-1'")),
              QStringLiteral("0"));
    EXPECT_EQ(m_frame->ServSQL2ProduktSN->RecordCount(), 3);
}

TEST_F(FrameProduktSerNrTest, LoadedFilesAndTheGeneratorAddOnlyNewLines) {
    const int ld = addDocument(false, 4);
    addSerial(QStringLiteral("T-PUMPE-000002"), {ld});
    m_frame->VorgabeSeriennummern_Activate(ld);
    m_frame->mVorgabeSN->setPlainText(QStringLiteral("Gerät-1\nSN-2"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sn.csv"));
    auto write = [&](const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    // The same lines in Windows-1252 add nothing.
    write(QByteArray("Ger\xE4t-1\r\nSN-2\r\n\r\n"));
    m_answers.ExpectFile(QStringLiteral("SN-Liste"), {path});
    m_frame->pmSNItemClick(m_frame->miLoad);
    EXPECT_EQ(m_frame->mVorgabeSN->toPlainText(), QStringLiteral("Gerät-1\nSN-2"));
    // UTF-8 is taken as such; a cancelled dialog changes nothing.
    write(QStringLiteral("SN-2\nSN-€3\n").toUtf8());
    m_answers.ExpectFile(QStringLiteral("SN-Liste"), {path});
    m_frame->pmSNItemClick(m_frame->miLoad);
    m_answers.ExpectFile(QStringLiteral("SN-Liste"), {});
    m_frame->pmSNItemClick(m_frame->miLoad);
    EXPECT_EQ(m_frame->mVorgabeSN->toPlainText(), QStringLiteral("Gerät-1\nSN-2\nSN-€3"));
    EXPECT_EQ(TFrameProduktSerNr::DecodeSerialFile("\x80\x9F"), QStringLiteral("€Ÿ"));

    // The order lookup hands over its row's serial numbers.
    TestDatabase::Exec(QStringLiteral("INSERT INTO auftgmi (agmi_ag_nr, agmi_aknr, agmi_sernr) "
                                      "VALUES (77, 'T-PUMPE', E'SN-2\\nSN-9')"));
    TakeFirstRow user;
    Korvexcommonvcl::ModalForms* old = Korvexcommonvcl::ModalForms::SetInstance(&user);
    m_frame->pmSNItemClick(m_frame->miSNAusAuftg);
    Korvexcommonvcl::ModalForms::SetInstance(old);
    TestDatabase::Exec(QStringLiteral("DELETE FROM auftgmi"));
    EXPECT_EQ(user.lookup, QStringLiteral("TFrameProduktSerNr.mVorgabeSN"));
    EXPECT_EQ(m_frame->mVorgabeSN->toPlainText(), QStringLiteral("Gerät-1\nSN-2\nSN-€3\nSN-9"));

    // Quantity 4 with one preset: three numbers, sorted, skipping the article's known one.
    m_frame->mVorgabeSN->clear();
    m_frame->pmSNItemClick(m_frame->miAutoGenerierung);
    EXPECT_EQ(m_frame->mVorgabeSN->toPlainText(),
              QStringLiteral("T-PUMPE-000001\nT-PUMPE-000003\nT-PUMPE-000004"));
}

TEST_F(FrameProduktSerNrTest, GridMenuOffersAndRemovesTheLinksOfTheSelectedRows) {
    const int ld = addDocument();
    const int other = addDocument();
    const int lg = scalarInt(QStringLiteral("INSERT INTO lag (lg_aknr, lg_ld_id, lg_ort) VALUES "
                                            "('T-PUMPE', %1, 'R1') RETURNING lg_id")
                                 .arg(ld));
    const int wen = scalarInt(QStringLiteral(
        "INSERT INTO wendat (w_ld_id, w_aknr) VALUES (%1, 'T-PUMPE') RETURNING w_wen").arg(ld));
    const int lifsch = scalarInt(
        QStringLiteral("INSERT INTO lifsch (l_aknr) VALUES ('T-PUMPE') RETURNING l_nr"));
    addSerial(QStringLiteral("NUR-LAGER"), {}, 0, lg);
    addSerial(QStringLiteral("VERKAUFT"), {}, wen, 0, lifsch);
    addSerial(QStringLiteral("VORGABE"), {ld, other});
    m_frame->VorgabeSeriennummern_Activate(ld);
    ASSERT_EQ(m_frame->ServSQL2ProduktSN->RecordCount(), 3);

    select({"NUR-LAGER"});
    m_frame->pmGridSerNrPopup();
    EXPECT_FALSE(m_frame->miDelWendat->isVisible());
    EXPECT_TRUE(m_frame->miDelLag->isVisible());
    EXPECT_FALSE(m_frame->miDelLifsch->isVisible());
    EXPECT_FALSE(m_frame->miDelMapsernr->isVisible());
    // Several rows: the items of any of them.
    select({"VERKAUFT", "VORGABE"});
    m_frame->pmGridSerNrPopup();
    EXPECT_TRUE(m_frame->miDelWendat->isVisible());
    EXPECT_FALSE(m_frame->miDelLag->isVisible());
    EXPECT_TRUE(m_frame->miDelLifsch->isVisible());
    EXPECT_TRUE(m_frame->miDelMapsernr->isVisible());

    // Taking the issue off clears that link only.
    select({"VERKAUFT"});
    m_frame->miDelBezugClick(m_frame->miDelLifsch);
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT concat_ws('/', w_wen, l_nr) FROM "
                                                  "lagsernr WHERE lgs_sernr = 'VERKAUFT'")),
              QString::number(wen));

    // Taking the stock record off clears that link only.
    select({"NUR-LAGER"});
    m_frame->miDelBezugClick(m_frame->miDelLag);
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT coalesce(lg_id::text, 'leer') FROM "
                                                  "lagsernr WHERE lgs_sernr = 'NUR-LAGER'")),
              QStringLiteral("leer"));

    // Removing a preset keeps the other document's preset of the same number.
    select({"VORGABE"});
    m_frame->pmGridSerNrPopup();
    EXPECT_TRUE(m_frame->miDelMapsernr->isVisible());
    m_frame->miDelBezugClick(m_frame->miDelMapsernr);
    EXPECT_EQ(presets(other), QStringLiteral("VORGABE"));
    EXPECT_EQ(rowOf(QStringLiteral("VORGABE")), -1);
}

TEST_F(FrameProduktSerNrTest, SerialNumberRequirementIsTheCurrentRowsArticle) {
    const int ld = addDocument();
    const int lgPumpe = scalarInt(QStringLiteral(
        "INSERT INTO lag (lg_aknr) VALUES ('T-PUMPE') RETURNING lg_id"));
    const int lgSchraube = scalarInt(QStringLiteral(
        "INSERT INTO lag (lg_aknr) VALUES ('T-SCHRAUBE') RETURNING lg_id"));
    addSerial(QStringLiteral("A"), {ld}, 0, lgPumpe);
    addSerial(QStringLiteral("B"), {ld}, 0, lgSchraube);
    addSerial(QStringLiteral("C"), {ld});
    m_frame->VorgabeSeriennummern_Activate(ld);
    TServSQL2* d = m_frame->ServSQL2ProduktSN;
    d->SetRecNo(rowOf(QStringLiteral("A")) + 1);
    EXPECT_TRUE(m_frame->ak_sernrreq());
    d->SetRecNo(rowOf(QStringLiteral("B")) + 1);
    EXPECT_FALSE(m_frame->ak_sernrreq());
    d->SetRecNo(rowOf(QStringLiteral("A")) + 1);
    EXPECT_TRUE(m_frame->ak_sernrreq());
    d->SetRecNo(rowOf(QStringLiteral("C")) + 1);
    EXPECT_FALSE(m_frame->ak_sernrreq());
    // Only an unused row may be typed into.
    EXPECT_NE(m_frame->GridProduktSerNrCX->editTriggers(), QAbstractItemView::NoEditTriggers);
    d->SetRecNo(rowOf(QStringLiteral("A")) + 1);
    EXPECT_EQ(m_frame->GridProduktSerNrCX->editTriggers(), QAbstractItemView::NoEditTriggers);

    // The labels go to the report "LagZuEtikett".
    UHostModules::RecordedCalls().clear();
    m_frame->moEtikettdruckenClick();
    ASSERT_EQ(UHostModules::RecordedCalls().size(), 1u);
    EXPECT_EQ(UHostModules::RecordedCalls()[0].modulName, QStringLiteral("LagZuEtikett"));
}
