// The header's tools popup (F3) on the address module: which special functions it offers, the
// record's entries, the module's own entries and the editing entry.

#include "StartFixture.h"

#include "TUserRights.h"
#include "TopLabel.h"
#include "Uloghelper.h"

#include <QMenu>
#include <QToolButton>

class HeaderToolsTest : public StartFixture {
public:
    static void SetUpTestSuite() {
        StartFixture::SetUpTestSuite();
        testsupport::TestDatabase::Exec(QStringLiteral(
            "INSERT INTO text0 (t_nr, t_feld0) VALUES (9101, 'Bedingung wahr'), "
            "(9102, 'Bedingung falsch'), (9103, 'Bedingung kaputt'), (9104, 'Andere Maske'), "
            "(9105, 'Leer erlaubt'), (9106, 'Ohne Bedingung') "
            "ON CONFLICT (t_nr) DO UPDATE SET t_feld0 = EXCLUDED.t_feld0"));
    }

protected:
    void SetUp() override {
        StartFixture::SetUp();
        testsupport::TestDatabase::Exec(QStringLiteral(
            "INSERT INTO sondfunc (dbrid, sf_sqltable, sf_nr, sf_txtnr, sf_imageindex, sf_cond, "
            "sf_emptyallowed, sf_formclass) VALUES "
            "(801, 'adressen', 1, 9106, 12, NULL, false, NULL), "
            "(802, 'adressen', 2, 9101, NULL, ':name LIKE ''Adresse%''', false, NULL), "
            "(803, 'adressen', 3, 9102, NULL, 'false', false, NULL), "
            "(804, 'adressen', 4, 9103, NULL, '1/0 = 1', false, NULL), "
            "(805, 'adressen', 5, 1034, 5, NULL, false, NULL), "
            "(806, 'adressen', 6, 9104, NULL, NULL, false, 'TFormAndere'), "
            "(807, 'adressen', 7, 9105, NULL, NULL, true, 'TFormAdr%'), "
            "(808, 'andere_tabelle', 1, 9101, NULL, NULL, true, NULL)"));
        TLogSink::Clear();
    }
    void TearDown() override {
        testsupport::TestDatabase::Exec(QStringLiteral("DELETE FROM sondfunc"));
        TTopLabelFrame::SondFuncClickProc = nullptr;
        TTopLabelFrame::ShowHistorieProc = nullptr;
        TTopLabelFrame::ShowControlWindowProc = nullptr;
        StartFixture::TearDown();
    }
    // What the open popup shows, separators as "-".
    static QStringList Shown(TTopLabelFrame* h) {
        QStringList items;
        for (QAction* a : h->PopupTools->actions())
            if (a->isVisible())
                items << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return items;
    }
    static QAction* Item(TTopLabelFrame* h, const QString& text) {
        for (QAction* a : h->PopupTools->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }
    static QStringList OpenPopup(TTopLabelFrame* h, QObject* sender = nullptr) {
        h->BtToolsClick(sender);
        QStringList items = Shown(h);
        h->PopupTools->hide();
        return items;
    }
};

TEST_F(HeaderToolsTest, PopupOffersTheFunctionsWhoseConditionHoldsOrFails) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    QMenu own;
    auto* extra = new TVoskMenuItem(QStringLiteral("Modulfunktion"), &own);
    own.addAction(extra);
    auto* hidden = new TVoskMenuItem(QStringLiteral("Versteckt"), &own);
    own.addAction(hidden);
    int ownPopups = 0;
    QObject::connect(&own, &QMenu::aboutToShow, [&] {
        ++ownPopups;
        hidden->setVisible(false);
    });
    h->SetToolsPopup(&own);

    const QStringList items = OpenPopup(h);
    EXPECT_EQ(items,
              (QStringList{QStringLiteral("Bearbeiten"), QStringLiteral("Historie"),
                           QStringLiteral("Historie aller Datensätze"), QStringLiteral("-"),
                           QStringLiteral("Ohne Bedingung"), QStringLiteral("Bedingung wahr"),
                           QStringLiteral("Bedingung kaputt"), QStringLiteral("Sonderfunktionen"),
                           QStringLiteral("Leer erlaubt"), QStringLiteral("-"),
                           QStringLiteral("Modulfunktion")}));
    EXPECT_EQ(ownPopups, 1);
    // A condition the server refuses leaves the function offered and says so in the log.
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("ERROR bei sf_cond (ID 804)")));
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral(
        "F3/Antenne: Table=adressen FormClass=TFormAdress DataSource=TVoskClass2.DataAdressen")));

    auto* sf = qobject_cast<TVoskMenuItem*>(Item(h, QStringLiteral("Sonderfunktionen")));
    ASSERT_TRUE(sf);
    EXPECT_EQ(sf->property("ImageIndex").toInt(), 60); // 1034 always shows image 60
    EXPECT_EQ(sf->data().toLongLong(), 805);
    EXPECT_TRUE(sf->ModulLinkLook());
    EXPECT_EQ(Item(h, QStringLiteral("Ohne Bedingung"))->property("ImageIndex").toInt(), 12);

    // The entries run what they stand for: the special function through its unit, the
    // module's entry as its own item.
    QObject* ran = nullptr;
    TTopLabelFrame::SondFuncClickProc = [&](TTopLabelFrame* frame, QObject* sender) {
        EXPECT_EQ(frame, h);
        ran = sender;
    };
    sf->trigger();
    EXPECT_EQ(ran, sf);
    bool moduleItemRan = false;
    QObject::connect(extra, &QAction::triggered, [&] { moduleItemRan = true; });
    Item(h, QStringLiteral("Modulfunktion"))->trigger();
    EXPECT_TRUE(moduleItemRan);

    // Opening again builds the same menu, not a second copy.
    EXPECT_EQ(OpenPopup(h), items);
    h->SetToolsPopup(nullptr);
}

TEST_F(HeaderToolsTest, EmptyClassOffersOnlyWhatAllowsIt) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    f->DataAdressen->SetQuerySql(QStringLiteral("SELECT * FROM adressen WHERE false"));
    f->DataAdressen->Refresh();
    ASSERT_FALSE(f->DataAdressen->HasRecord());
    EXPECT_EQ(OpenPopup(h),
              (QStringList{QStringLiteral("Bearbeiten"), QStringLiteral("Leer erlaubt")}));
    // A module that allows the popup without a record shows the record's entries anyway.
    h->_AllowEmptyF3 = true;
    EXPECT_EQ(OpenPopup(h), (QStringList{QStringLiteral("Bearbeiten"), QStringLiteral("Historie"),
                                         QStringLiteral("Historie aller Datensätze"),
                                         QStringLiteral("-"), QStringLiteral("Leer erlaubt")}));
    // The record's entries belong to the tools button only.
    h->PopupToolsAnchor = f->EdName;
    h->PopupTools->popup(QPoint(0, 0));
    EXPECT_FALSE(Shown(h).contains(QStringLiteral("Historie")));
    h->PopupTools->hide();
}

TEST_F(HeaderToolsTest, EditingEntryForAdministratorsOrWithCtrl) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    s_dm->SetIsAdmin(false);
    EXPECT_FALSE(OpenPopup(h).contains(QStringLiteral("Bearbeiten")));
    QTest::mouseClick(h->BtTools, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_TRUE(Shown(h).contains(QStringLiteral("Bearbeiten")));
    h->PopupTools->hide();
    QTest::mouseClick(h->BtTools, Qt::LeftButton);
    EXPECT_FALSE(Shown(h).contains(QStringLiteral("Bearbeiten")));
    h->PopupTools->hide();

    // Users who are no administrators are refused the editing window.
    TVoskClass* shown = nullptr;
    TTopLabelFrame::ShowControlWindowProc = [&](TVoskClass* c) { shown = c; };
    EXPECT_THROW(h->moBearbeitenSondfuncClick(), EUserRights);
    EXPECT_EQ(shown, nullptr);
    s_dm->SetIsAdmin(true);
    h->moBearbeitenSondfuncClick();
    EXPECT_EQ(shown, f->DataAdressen);

    // Without a data class there is nothing to edit.
    QWidget plain;
    TTopLabelFrame lone(&plain, &plain);
    shown = nullptr;
    EXPECT_THROW(lone.moBearbeitenSondfuncClick(), EVoskException);
    EXPECT_EQ(shown, nullptr);
}

TEST_F(HeaderToolsTest, OtherAnchorsOpenNothingOnTheMainClassAndRightClickOpens) {
    TFormAdress* f = Open();
    TTopLabelFrame* h = f->TopLabel;
    h->BtToolsClick(f->EdName);
    EXPECT_FALSE(h->PopupTools->isVisible());
    QTest::mouseClick(h->BtTools, Qt::RightButton);
    EXPECT_TRUE(h->PopupTools->isVisible());
    EXPECT_EQ(h->PopupToolsAnchor, h->BtTools);
    h->PopupTools->hide();
    // The module form's F3 reaches the popup.
    {
        int key = Qt::Key_F3;
        f->FormKeyDown(f, key, Qt::NoModifier);
        EXPECT_EQ(key, 0); // handled
    }
    EXPECT_TRUE(h->PopupTools->isVisible());
    h->PopupTools->hide();
}
