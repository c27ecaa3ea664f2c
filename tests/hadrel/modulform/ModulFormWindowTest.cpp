#include "ModulFormFixture.h"

#include "TVoskAlertWindow.h"
#include "TVoskSpeedButton.h"
#include "TopLabel.h"
#include "Uloghelper.h"
#include "VoskControls.h"
#include "VoskQuery2.h"

#include <QMdiSubWindow>
#include <QPushButton>
#include <QScreen>

#include <stdexcept>

using testsupport::TestDatabase;

namespace {

// A report component of a module: says whether it is the one shown and counts its refreshes.
class TTestReport final : public QObject, public IReportRefresh {
public:
    TTestReport(QObject* owner, const QString& name, bool active) : m_active(active) {
        Vcl::Owned(owner, this, name);
    }
    void RefreshReport(bool force) override {
        if (m_fails)
            throw std::runtime_error("Bericht nicht lesbar");
        refreshes << force;
    }
    bool IsActiveReport() const override { return m_active; }
    bool m_active;
    bool m_fails = false;
    QList<bool> refreshes;
};

} // namespace

class ModulFormWindowTest : public ModulFormFixture {
protected:
    void TearDown() override {
        TModulForm::DebuggerPresentProc = nullptr;
        ModulFormFixture::TearDown();
    }
    static QRect ViewportRect(TModulForm* f) {
        auto* sub = qobject_cast<QMdiSubWindow*>(f->Frame());
        return sub && sub->mdiArea() ? sub->mdiArea()->viewport()->rect() : QRect();
    }
};

TEST_F(ModulFormWindowTest, SystemQueriesOpenAndAuditLogIsALinkWhereTheModuleIsListed) {
    s_dm->ClearQueryCache();
    TFormAdress* plain = Open();
    EXPECT_TRUE(s_dm->ReportQuery().Active());
    EXPECT_TRUE(s_dm->ReportLinkQuery().Active());
    EXPECT_TRUE(s_dm->ModulFieldQuery().Active());
    ASSERT_TRUE(plain->BtAuditLog);
    EXPECT_NE(plain->BtAuditLog->FontColor(), QColor(Qt::blue));
    EXPECT_NE(plain->BtAuditLog->cursor().shape(), Qt::PointingHandCursor);

    // The row is found whatever the letter case of module and field name.
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO modul_field (modulname, feldname) VALUES ('tformadress', 'BTAUDITLOG')"));
    s_dm->ClearQueryCache();
    TFormAdress* listed = Open();
    TestDatabase::Exec(QStringLiteral("DELETE FROM modul_field WHERE modulname = 'tformadress'"));
    s_dm->ClearQueryCache();
    ASSERT_TRUE(listed->BtAuditLog);
    EXPECT_EQ(listed->BtAuditLog->FontColor(), QColor(Qt::blue));
    EXPECT_TRUE(listed->BtAuditLog->font().underline() ||
                listed->BtAuditLog->styleSheet().contains(QStringLiteral("underline")));
    EXPECT_EQ(listed->BtAuditLog->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(ModulFormWindowTest, UnderADebuggerTheActivationOnlyListsUntilTheBannerIsClicked) {
    TModulForm::DebuggerPresentProc = [] { return true; };
    TFormAdress* f = Open();
    auto* banner = qobject_cast<QPushButton*>(
        Vcl::FindComponent(f, QStringLiteral("btFormActivateRefreshDisabled")));
    ASSERT_TRUE(banner);
    EXPECT_EQ(banner->text(),
              QStringLiteral("[DEBUGGER] OnFormActivate: AutoRefresh der Datasets aktivieren"));
    EXPECT_TRUE(banner->font().bold());
    EXPECT_FALSE(banner->toolTip().isEmpty());
    EXPECT_FALSE(banner->accessibleName().isEmpty());

    const qint64 id = CurrentId(f);
    TestDatabase::Exec(
        QStringLiteral("UPDATE adressen SET ort = 'Debugort' WHERE dbrid = %1").arg(id));
    f->FormActivate(f);
    QApplication::processEvents();
    EXPECT_NE(f->EdOrt->text(), QStringLiteral("Debugort"));
    ASSERT_TRUE(f->AlertWindow);
    EXPECT_EQ(f->AlertWindow->Caption(), QStringLiteral("DEBUG: no Refresh"));
    EXPECT_TRUE(f->AlertWindow->Text().contains(QStringLiteral("DataAdressen")));

    QPointer<QPushButton> gone = banner;
    banner->click();
    EXPECT_FALSE(Vcl::FindComponent(f, QStringLiteral("btFormActivateRefreshDisabled")));
    f->FormActivate(f);
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(gone);
    EXPECT_EQ(f->EdOrt->text(), QStringLiteral("Debugort"));

    // Without a debugger there is no banner at all.
    TModulForm::DebuggerPresentProc = [] { return false; };
    EXPECT_FALSE(Vcl::FindComponent(Open(), QStringLiteral("btFormActivateRefreshDisabled")));
}

TEST_F(ModulFormWindowTest, ReportRefreshReachesTheLastActiveReportAndOnlyLogsFailures) {
    TFormAdress* f = Open();
    EXPECT_EQ(f->GetReportInterface(), nullptr);
    f->Report_Refresh(); // nothing to refresh is no error

    auto* first = new TTestReport(f, QStringLiteral("ReportListe"), true);
    auto* hidden = new TTestReport(f, QStringLiteral("ReportVerborgen"), false);
    auto* last = new TTestReport(f, QStringLiteral("ReportEtikett"), true);
    EXPECT_EQ(f->GetReportInterface(), last);
    last->m_active = false;
    EXPECT_EQ(f->GetReportInterface(), first);
    f->Report_Refresh();
    EXPECT_EQ(first->refreshes, QList<bool>{true});
    EXPECT_TRUE(hidden->refreshes.isEmpty());
    EXPECT_TRUE(last->refreshes.isEmpty());

    first->m_fails = true;
    TLogSink::Clear();
    EXPECT_NO_THROW(f->Report_Refresh());
    EXPECT_TRUE(TLogSink::Contains(
        QStringLiteral("TModulForm.RefreshReport: Bericht nicht lesbar")));
}

TEST_F(ModulFormWindowTest, FillParamsTakesFieldsAndParametersOfTheFormAndLogsAtLevelThree) {
    TFormAdress* f = Open({QStringLiteral("Kennung=42")});
    const QString name = f->DataAdressen->FieldByName(QStringLiteral("name")).AsString();
    TVoskQuery2 q(&s_dm->Database(),
                  QStringLiteral("SELECT CAST(:name AS text) AS n, CAST(:Kennung AS int) AS k, "
                                 "CAST(:unbekannt AS text) AS u"));
    const int level = TKorvexLog::Level();
    TKorvexLog::SetLevel(2);
    TLogSink::Clear();
    f->FillParams(q);
    EXPECT_FALSE(TLogSink::Contains(QStringLiteral("TModulForm.FillParams")));
    q.Open();
    EXPECT_EQ(q.FieldByName(QStringLiteral("n")).AsString(), name);
    EXPECT_EQ(q.FieldByName(QStringLiteral("k")).AsInteger(), 42);
    EXPECT_TRUE(q.FieldByName(QStringLiteral("u")).IsNull());
    q.Close();

    TKorvexLog::SetLevel(3);
    TLogSink::Clear();
    f->FillParams(q);
    TKorvexLog::SetLevel(level);
    EXPECT_TRUE(TLogSink::Contains(
        QStringLiteral("FillQueryParamsWithFormValues TModulForm.FillParams:\n[Source] "
                       "TFormAdress\n[Dest] SELECT")));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("OwnerForm: FormAdress")));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("Kennung=42")));
}

TEST_F(ModulFormWindowTest, AWindowLargerThanItsAreaIsFittedIntoIt) {
    TFormAdress* docked = Open();
    ASSERT_TRUE(docked->ToolForm);
    QWidget* sub = docked->Frame();
    const QRect area = ViewportRect(docked);
    ASSERT_FALSE(area.isEmpty());
    sub->move(40, 30);
    sub->resize(area.width() + 500, area.height() + 400);
    EXPECT_EQ(sub->geometry(), area);

    // Only the side that is too large changes.
    sub->resize(400, 300);
    sub->move(50, 60);
    sub->resize(area.width() + 10, 300);
    EXPECT_EQ(sub->geometry(), QRect(area.left(), 60, area.width(), 300));

    // A window of its own (here no larger than the offscreen screen allows) is docked into a
    // main window smaller than itself: it is fitted into the MDI area.
    TFormAdress* undocked = Open({QStringLiteral("ModulPositionTop=10")});
    ASSERT_TRUE(undocked->isWindow());
    const QRect screen = undocked->screen()->availableGeometry();
    const QSize mainSize = s_main->size();
    s_main->resize(520, 380);
    QApplication::processEvents();
    undocked->resize(screen.width() - 20, screen.height() - 20);
    undocked->TopLabel->btDockUndock->click();
    QApplication::processEvents();
    const bool dockedNow = undocked->IsMdiChild();
    const QRect small = ViewportRect(undocked);
    const QRect fitted = undocked->Frame()->geometry();
    s_main->resize(mainSize);
    QApplication::processEvents();
    ASSERT_TRUE(dockedNow);
    EXPECT_LE(fitted.width(), small.width());
    EXPECT_LE(fitted.height(), small.height());
    EXPECT_TRUE(small.contains(fitted)) << fitted.x() << "," << fitted.y();
}

TEST_F(ModulFormWindowTest, AQuitThatLeavesTheWindowOpenBringsItsToolWindowBack) {
    TFormAdress* f = Open();
    ASSERT_TRUE(f->ToolForm);
    f->ToolForm->ShowInactive();
    ASSERT_TRUE(f->ToolForm->isVisible());
    f->EdOrt->selectAll();
    QTest::keyClicks(f->EdOrt, QStringLiteral("Abbruch"));
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrCancel);
    EXPECT_FALSE(f->Close());
    EXPECT_TRUE(f->ToolForm->isVisible());

    // The same after a save the server refuses (plz is varchar(10)).
    f->DataAdressen->FieldByName(QStringLiteral("plz")).SetAsString(QStringLiteral("123456789012"));
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes)
        .Expect(QStringLiteral("Das Feld „PLZ“ darf höchstens 10 Zeichen lang sein."), Vcl::mrOk);
    EXPECT_FALSE(f->Close());
    EXPECT_TRUE(f->ToolForm->isVisible());
    f->DataAdressen->Cancel();

    // A window that really closes takes its tool window with it.
    QPointer<TToolForm> tool = f->ToolForm;
    EXPECT_TRUE(f->Close());
    QApplication::processEvents();
    EXPECT_TRUE(!tool || tool->isHidden());
}

TEST_F(ModulFormWindowTest, TheStatusBarsLinksShowTheirFontsWholeLine) {
    TFormAdress* f = Open();
    QApplication::processEvents();
    const QList<QAbstractButton*> links = {f->BtAuditLog, f->BtEigenschaften, f->BtSoftlink,
                                           f->BtHistorie, f->BtDoku, f->BtWvod};
    for (QAbstractButton* b : links) {
        ASSERT_TRUE(b);
        // A style frame of two pixels above and below the line.
        EXPECT_GE(b->height(), QFontMetrics(b->font()).height() + 4) << b->objectName().toStdString();
        const QRect inBar(b->mapTo(f->StatusBar1, QPoint(0, 0)), b->size());
        EXPECT_TRUE(f->StatusBar1->rect().contains(inBar)) << b->objectName().toStdString();
    }
}

TEST_F(ModulFormWindowTest, HeaderTakesTheColoursTheHostSet) {
    const QColor back = Voskcontrols::ColorTopLabel;
    const QColor font = Voskcontrols::ColorTopLabelFont;
    Voskcontrols::ColorTopLabel = QColor(0xC8, 0xF0, 0xC8);
    Voskcontrols::ColorTopLabelFont = QColor(0x20, 0x30, 0x90);
    TFormAdress* f = Open();
    Voskcontrols::ColorTopLabel = back;
    Voskcontrols::ColorTopLabelFont = font;
    EXPECT_EQ(f->TopLabel->palette().color(QPalette::Window), QColor(0xC8, 0xF0, 0xC8));
    EXPECT_TRUE(f->TopLabel->autoFillBackground());
    EXPECT_EQ(f->TopLabel->PanelTop->palette().color(QPalette::Window), QColor(0xC8, 0xF0, 0xC8));
    EXPECT_EQ(f->TopLabel->Toplabel->palette().color(QPalette::WindowText),
              QColor(0x20, 0x30, 0x90));
}
