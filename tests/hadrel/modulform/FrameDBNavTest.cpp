#include "ModulFormFixture.h"

#include "UDataModul_Dunmere.h"
#include "FrameDBNavigate.h"
#include "TVoskTabControl.h"
#include "TopLabel.h"
#include "UModulForm.Start.h"
#include "Vcl.Hourglass.h"
#include "VoskTimer.h"
#include "VoskControls.h"
#include "UDM1.h"
#include "cxGridExportLink.h"
#include "MouseDrag.h"

#include <VoskExceptions.h>

#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QXmlStreamReader>

#include <archive.h>
#include <archive_entry.h>

namespace {

// The parts of a workbook by name, read with libarchive.
QMap<QString, QByteArray> ReadZip(const QString& path) {
    QMap<QString, QByteArray> parts;
    archive* a = archive_read_new();
    archive_read_support_format_zip(a);
    if (archive_read_open_filename(a, QFile::encodeName(path).constData(), 10240) != ARCHIVE_OK) {
        archive_read_free(a);
        return parts;
    }
    archive_entry* e = nullptr;
    while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
        QByteArray data;
        char buf[8192];
        la_ssize_t n;
        while ((n = archive_read_data(a, buf, sizeof buf)) > 0)
            data.append(buf, n);
        parts.insert(QString::fromUtf8(archive_entry_pathname(e)), data);
    }
    archive_read_free(a);
    return parts;
}

struct Cell {
    QString ref, type, style, value;
};

// Cells of a sheet row by row; inline strings come as their text.
QList<QList<Cell>> SheetRows(const QByteArray& xml) {
    QList<QList<Cell>> rows;
    QXmlStreamReader r(xml);
    Cell cell;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == QLatin1String("row"))
            rows.append(QList<Cell>());
        else if (r.isStartElement() && r.name() == QLatin1String("c")) {
            cell = {r.attributes().value(QLatin1String("r")).toString(),
                    r.attributes().value(QLatin1String("t")).toString(),
                    r.attributes().value(QLatin1String("s")).toString(),
                    {}};
        } else if (r.isStartElement() &&
                   (r.name() == QLatin1String("v") || r.name() == QLatin1String("t")))
            cell.value = r.readElementText();
        else if (r.isEndElement() && r.name() == QLatin1String("c")) {
            // Cells without a value are left out of the file; the reference says the column.
            int col = 0;
            for (QChar ch : cell.ref)
                if (ch.isLetter())
                    col = col * 26 + (ch.unicode() - 'A' + 1);
            while (rows.last().size() < col - 1)
                rows.last().append(Cell());
            rows.last().append(cell);
        }
    }
    EXPECT_FALSE(r.hasError()) << r.errorString().toStdString();
    return rows;
}

} // namespace

class FrameDBNavTest : public ModulFormFixture {
public:
    static void SetUpTestSuite() {
        ModulFormFixture::SetUpTestSuite();
        testsupport::TestDatabase::Exec(QStringLiteral(
            "INSERT INTO ansprechpartner (adressen_id, nachname, vorname, email, geburtstag, aktiv) "
            "SELECT a.dbrid, 'Müller ' || k, 'Jörg', CASE WHEN k = 2 THEN NULL ELSE "
            "'k' || k || '@beispiel.de' END, (date '1970-03-01' + (k - 1)), k <> 3 "
            "FROM adressen a CROSS JOIN generate_series(1, 3) AS k"));
    }

protected:
    void TearDown() override {
        ModulFormFixture::TearDown();
        s_dm->SetIsAdmin(false);
        testsupport::TestDatabase::Exec(QStringLiteral(
            "DELETE FROM grid_layouts; DELETE FROM grid_filters; DELETE FROM lastval; "
            "DELETE FROM component_options; DELETE FROM gui_rights"));
    }
    static QString LastVal(const QString& key) {
        return testsupport::TestDatabase::Scalar(
            QStringLiteral("SELECT lv_value FROM lastval WHERE lv_key = '%1'").arg(key));
    }
    static void AddFilters() {
        testsupport::TestDatabase::Exec(QStringLiteral(
            "INSERT INTO grid_filters (gf_formclass, gf_savename, gf_name, gf_filter, gf_order) "
            "VALUES ('TFormAdress', 'GridAnsprechpartner', 'Aktive', 'aktiv = True', 1), "
            "('TFormAdress', 'GridAnsprechpartner', 'Mit E-Mail', 'email IS NOT NULL', 2), "
            "('TFormAdress', 'GridAnsprechpartner', 'Kaputt', 'vorname = ''x'' AND (', 3), "
            "('TFormAdress', 'GridAnsprechpartner', 'Fehlt', 'gibtsnicht = 1', 4)"));
    }
    static void SelectTab(TVoskTabControl* tabs, const QString& data) {
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->TabDataText(i) == data) {
                tabs->setCurrentIndex(i); // as the user's click: the pending flag is set
                return;
            }
        FAIL() << "no tab " << data.toStdString();
    }
};

TEST_F(FrameDBNavTest, IntervalStorageRuleAndCaptions) {
    TAutoRefreshIntervalsProperty v;
    v.FShort = 300;
    v.FMedium = 900;
    v.FLong = 3600;
    EXPECT_FALSE(StoredAutoRefreshIntervals(true, &v));
    v.FLong = 3601;
    EXPECT_TRUE(StoredAutoRefreshIntervals(true, &v));
    EXPECT_FALSE(StoredAutoRefreshIntervals(false, &v)); // no button, nothing stored

    // Names and types are what the IDE's property editors read.
    QWidget owner;
    TFrameDBNav frame(&owner, &owner);
    QObject* iv = frame.property("_BtAutoRefresh_Intervals").value<TAutoRefreshIntervalsProperty*>();
    ASSERT_TRUE(iv);
    EXPECT_EQ(iv->property("value_1").toInt(), 300);
    EXPECT_EQ(iv->property("value_2").toInt(), 900);
    EXPECT_EQ(iv->property("value_3").toInt(), 3600);
    EXPECT_FALSE(frame.StoredAutoRefreshIntervalsProperty());

    EXPECT_EQ(TFrameDBNav::getIntervalAsString(45), QStringLiteral("Intervall - 45 Sek."));
    EXPECT_EQ(TFrameDBNav::getIntervalAsString(90), QStringLiteral("Intervall - 1m30s"));
    EXPECT_EQ(TFrameDBNav::getIntervalAsString(300), QStringLiteral("Intervall - 5 Min."));
    v.FShort = 45;
    frame.SetAutoRefreshIntervalsProperty(&v);
    frame.pmAutoRefreshPopup();
    EXPECT_EQ(frame.moAutoRefreshFast->text(), QStringLiteral("Intervall - 45 Sek."));
    EXPECT_EQ(frame.moAutoRefreshOff->text(), QStringLiteral("Deaktiviert"));
}

TEST_F(FrameDBNavTest, AutoRefreshChoiceIsRememberedAndRestoredByExactValue) {
    TFormAdress* f = Open();
    TFrameDBNav* nav = f->FrameAnsprechpartner;
    const QString key = QStringLiteral("TFormAdress_GridAnsprechpartner_AutoRefreshInterval_") +
                        s_dm->LoginName();
    EXPECT_EQ(nav->AutoRefreshKey(), key);
    nav->moAutoRefreshMedium->trigger();
    EXPECT_EQ(LastVal(key), QStringLiteral("Normal"));
    EXPECT_TRUE(nav->VoskTimerRefresh->Enabled());
    EXPECT_EQ(nav->VoskTimerRefresh->Interval(), 900 * 1000);
    EXPECT_TRUE(nav->AutoRefreshActive());
    nav->moAutoRefreshOff->trigger();
    EXPECT_EQ(LastVal(key), QStringLiteral("Off"));
    EXPECT_FALSE(nav->VoskTimerRefresh->Enabled());

    // Header keys of an ordinary module have no grid name: two underscores in a row.
    f->TopLabel->moAutoRefreshSlow->trigger();
    EXPECT_EQ(LastVal(QStringLiteral("TFormAdress__AutoRefreshInterval_") + s_dm->LoginName()),
              QStringLiteral("Long"));
    EXPECT_EQ(f->TopLabel->VoskTimerRefresh->Interval(), 3600 * 1000);

    s_dm->SaveLastVal(key, QStringLiteral("short"));
    TFormAdress* g = Open();
    EXPECT_FALSE(g->FrameAnsprechpartner->VoskTimerRefresh->Enabled());
    EXPECT_TRUE(g->FrameAnsprechpartner->moAutoRefreshOff->isChecked());
    s_dm->SaveLastVal(key, QStringLiteral("Short"));
    TFormAdress* h = Open();
    EXPECT_TRUE(h->FrameAnsprechpartner->VoskTimerRefresh->Enabled());
    EXPECT_EQ(h->FrameAnsprechpartner->VoskTimerRefresh->Interval(), 300 * 1000);
    EXPECT_TRUE(h->FrameAnsprechpartner->moAutoRefreshFast->isChecked());

    // A header with its button shown but no main data class restores nothing and survives.
    QWidget plain;
    TTopLabelFrame lonely(&plain, &plain);
    lonely.SetBtAutoRefresh(true);
    s_dm->SaveLastVal(QStringLiteral("QWidget__AutoRefreshInterval_") + s_dm->LoginName(),
                      QStringLiteral("Short"));
    lonely.LoadAutoRefreshSettings();
    EXPECT_FALSE(lonely.VoskTimerRefresh->Enabled());
}

TEST_F(FrameDBNavTest, TickNeverThrowsAwayTheUsersWork) {
    TFormAdress* f = Open();
    TTopLabelFrame* head = f->TopLabel;
    const qint64 id = CurrentId(f);
    // Another user changes the second address while this one works on the first.
    TVoskClass* data = f->DataAdressen;
    const qint64 other = data->Value(1, data->FieldIndex(QStringLiteral("dbrid"))).toLongLong();
    auto otherConnectionRenames = [&](const QString& ort) {
        testsupport::TestDatabase::Exec(
            QStringLiteral("UPDATE adressen SET ort = '%1' WHERE dbrid = %2").arg(ort).arg(other));
    };
    auto shownOrt = [&] {
        for (int r = 0; r < data->RecordCount(); ++r)
            if (data->Value(r, data->FieldIndex(QStringLiteral("dbrid"))).toLongLong() == other)
                return data->Value(r, data->FieldIndex(QStringLiteral("ort"))).toString();
        return QString();
    };

    // Nothing edited: the tick shows another connection's change.
    otherConnectionRenames(QStringLiteral("Außen 1"));
    head->VoskTimerRefreshTimer();
    EXPECT_EQ(shownOrt(), QStringLiteral("Außen 1"));

    // Text set in an edit but not yet in its field: no refresh, and the text gets saved.
    f->EdName->setText(QStringLiteral("Getippt"));
    otherConnectionRenames(QStringLiteral("Außen 2"));
    head->VoskTimerRefreshTimer();
    EXPECT_EQ(shownOrt(), QStringLiteral("Außen 1"));
    EXPECT_EQ(f->EdName->text(), QStringLiteral("Getippt"));
    ASSERT_TRUE(f->EdName->PostEditValue());
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes);
    f->DataAdressen->Post();
    EXPECT_EQ(DbValue(QStringLiteral("name"), id), QStringLiteral("Getippt"));

    // An edited record of a sub-class of the main class, unmodified fields or not.
    auto* sub = new TVoskClass2(f->DataAdressen);
    sub->SetSqlTable(QStringLiteral("ansprechpartner"));
    sub->Open();
    sub->Edit();
    otherConnectionRenames(QStringLiteral("Außen 3"));
    head->VoskTimerRefreshTimer();
    EXPECT_NE(shownOrt(), QStringLiteral("Außen 3"));
    sub->Cancel();
    head->VoskTimerRefreshTimer();
    EXPECT_EQ(shownOrt(), QStringLiteral("Außen 3"));
    delete sub;

    // The contacts frame: an unposted new row and an open cell editor both hold the tick.
    TFrameDBNav* nav = f->FrameAnsprechpartner;
    TVoskClass* contacts = f->DataAnsprechpartner;
    const int before = contacts->RecordCount();
    EXPECT_THROW(nav->DBNavigator1->BtnClick(nbInsert), EAbort);
    ASSERT_TRUE(contacts->IsNewRecord());
    EXPECT_EQ(contacts->RecordCount(), before + 1);
    contacts->FieldByName(QStringLiteral("nachname")).SetAsString(QStringLiteral("Neu Angelegt"));
    nav->VoskTimerRefreshTimer();
    EXPECT_TRUE(contacts->IsNewRecord());
    EXPECT_EQ(contacts->FieldByName(QStringLiteral("nachname")).AsString(), QStringLiteral("Neu Angelegt"));
    // Insert again while the new row stands: no second row.
    EXPECT_THROW(nav->DBNavigator1->BtnClick(nbInsert), EAbort);
    EXPECT_EQ(contacts->RecordCount(), before + 1);
    contacts->Post();
    EXPECT_EQ(testsupport::TestDatabase::Scalar(QStringLiteral(
                  "SELECT count(*) FROM ansprechpartner WHERE nachname = 'Neu Angelegt'")),
              QStringLiteral("1"));

    TVoskDBGrid2* grid = f->GridAnsprechpartner;
    const QModelIndex cell = grid->model()->index(0, grid->columnByFieldName(QStringLiteral("nachname")));
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    ASSERT_TRUE(grid->CellEditorOpen());
    const qint64 firstContact = contacts->FieldByName(QStringLiteral("dbrid")).AsLargeInt();
    testsupport::TestDatabase::Exec(
        QStringLiteral("UPDATE ansprechpartner SET funktion = 'Außen' WHERE dbrid = %1")
            .arg(firstContact));
    nav->VoskTimerRefreshTimer();
    EXPECT_TRUE(grid->CellEditorOpen());
    grid->EndEdit(false);
    nav->VoskTimerRefreshTimer();
    contacts->SearchDbrid(firstContact);
    EXPECT_EQ(contacts->FieldByName(QStringLiteral("funktion")).AsString(), QStringLiteral("Außen"));
    testsupport::TestDatabase::Exec(
        QStringLiteral("DELETE FROM ansprechpartner WHERE nachname = 'Neu Angelegt'; UPDATE "
                       "ansprechpartner SET funktion = NULL; UPDATE adressen SET name = "
                       "'Adresse 01' WHERE dbrid = %1; UPDATE adressen SET ort = 'Ort 2' WHERE "
                       "dbrid = %2")
            .arg(id)
            .arg(other));
}

TEST_F(FrameDBNavTest, FailingRefreshRestoresCaptionCursorAndTimer) {
    TFormAdress* f = Open();
    TFrameDBNav* nav = f->FrameAnsprechpartner;
    nav->moAutoRefreshFast->trigger();
    f->DataAnsprechpartner->SetQuerySql(QStringLiteral("SELECT * FROM gibt_es_nicht"));
    EXPECT_ANY_THROW(nav->VoskTimerRefreshTimer());
    EXPECT_EQ(nav->GetCaption(), QStringLiteral("Ansprechpartner"));
    EXPECT_EQ(Vcl::THourglass::Depth(), 0);
    EXPECT_TRUE(nav->VoskTimerRefresh->Enabled());

    f->DataAdressen->SetQuerySql(QStringLiteral("SELECT * FROM gibt_es_auch_nicht"));
    f->TopLabel->moAutoRefreshFast->trigger();
    const QString caption = f->TopLabel->Toplabel->text();
    EXPECT_ANY_THROW(f->TopLabel->VoskTimerRefreshTimer());
    EXPECT_EQ(f->TopLabel->Toplabel->text(), caption);
    EXPECT_EQ(Vcl::THourglass::Depth(), 0);
    EXPECT_TRUE(f->TopLabel->VoskTimerRefresh->Enabled());
}

TEST_F(FrameDBNavTest, NavigatorButtonsAndWidth) {
    QWidget owner;
    TFrameDBNav frame(&owner, &owner);
    frame.SetBtRefresh(false);
    frame.SetBtPostNCancel(false);
    frame.SetBtDelete(true);
    EXPECT_TRUE(frame.DBNavigator1->VisibleButtons() & nbRefresh); // _BtDelete brings refresh
    frame.SetBtDelete(false);
    EXPECT_FALSE(frame.DBNavigator1->VisibleButtons() & nbRefresh);
    frame.SetBtRefresh(true);
    frame.SetBtDelete(false);
    EXPECT_TRUE(frame.DBNavigator1->VisibleButtons() & nbRefresh);

    frame.SetBtSkip(true);
    frame.SetBtInsert(true);
    frame.SetBtDelete(true);
    frame.SetBtPostNCancel(true);
    frame.resize(800, frame.height());
    frame.ResizeDBNavigator();
    EXPECT_EQ(frame.NavigatorWidth(), 315); // nine buttons
    EXPECT_FALSE(frame.NavigatorClientAligned());
    EXPECT_EQ(frame.DBNavigator1->width(), 315);
    frame.SetOptimal(true);
    frame.resize(300, frame.height());
    frame.ResizeDBNavigator();
    EXPECT_TRUE(frame.NavigatorClientAligned());

    // Only the system's grids are accepted.
    QWidget notAGrid;
    EXPECT_THROW(frame.FSetVoskDBGrid(&notAGrid), EVoskException);
    EXPECT_EQ(frame.VoskDBGrid(), nullptr);
    frame.SetCaption(QStringLiteral("Caption"));
    EXPECT_TRUE(frame.GetCaption().isEmpty());
}

TEST_F(FrameDBNavTest, FilterTabsRememberTheLastFilterByTheRules) {
    AddFilters();
    TFormAdress* f = Open();
    TFrameDBNav* nav = f->FrameAnsprechpartner;
    TVoskDBGrid2* grid = f->GridAnsprechpartner;
    nav->LoadGridFilterSettings();
    ASSERT_EQ(nav->tcFilter->count(), 5); // "Alle" and four stored filters
    auto last = [] {
        return testsupport::TestDatabase::Scalar(
            QStringLiteral("SELECT co_value FROM component_options WHERE co_option = "
                           "'LastGridFilter' AND co_savename = 'GridAnsprechpartner'"));
    };
    const int all = grid->ShownRows().size();
    SelectTab(nav->tcFilter, QStringLiteral("Aktive"));
    EXPECT_EQ(last(), QStringLiteral("Aktive"));
    EXPECT_EQ(grid->GridFilterState(), gfsActive);
    EXPECT_LT(grid->ShownRows().size(), all);
    EXPECT_TRUE(nav->btGridFilter->toolTip().contains(QStringLiteral("aktiv")));
    for (int r : grid->ShownRows())
        EXPECT_TRUE(f->DataAnsprechpartner->Value(r, f->DataAnsprechpartner->FieldIndex(
                                                         QStringLiteral("aktiv")))
                        .toBool());

    SelectTab(nav->tcFilter, QStringLiteral("*"));
    EXPECT_EQ(last(), QString()); // stored, with no filter name
    EXPECT_EQ(grid->ShownRows().size(), all);
    EXPECT_EQ(grid->GridFilterState(), gfsInactive);

    // A filter that does not parse is ignored (logged); the state stays and nothing is stored.
    grid->SetGridFilterText(QStringLiteral("vorname = 'Jörg'"));
    EXPECT_EQ(grid->GridFilterState(), gfsChanged);
    SelectTab(nav->tcFilter, QStringLiteral("Kaputt"));
    EXPECT_EQ(grid->GridFilterState(), gfsChanged);
    EXPECT_EQ(last(), QString());

    // A filter naming a missing field: the library's message, the filter cleared.
    m_answers.Expect(QStringLiteral("Feld 'gibtsnicht' nicht gefunden"), Vcl::mrOk);
    SelectTab(nav->tcFilter, QStringLiteral("Fehlt"));
    EXPECT_FALSE(grid->GridFilterActive());
    EXPECT_EQ(grid->ShownRows().size(), all);

    // Tabs whose data starts with ":" never store.
    SelectTab(nav->tcFilter, QStringLiteral("Mit E-Mail"));
    EXPECT_EQ(last(), QStringLiteral("Mit E-Mail"));
    nav->tcFilter->AddTab(QStringLiteral("Ad hoc"), QStringLiteral(":adhoc"));
    SelectTab(nav->tcFilter, QStringLiteral(":adhoc"));
    EXPECT_EQ(last(), QStringLiteral("Mit E-Mail"));

    // The next window starts with the last filter.
    TFormAdress* g = Open();
    EXPECT_EQ(g->GridAnsprechpartner->GridFilterName(), QStringLiteral("Mit E-Mail"));
    EXPECT_EQ(g->FrameAnsprechpartner->tcFilter->SelectedData(), QStringLiteral("Mit E-Mail"));
}

TEST_F(FrameDBNavTest, TabVisibilityIsSavedUnlessAlwaysShown) {
    AddFilters();
    // The address module always shows its tabs; here they are the user's choice.
    auto userSwitchable = [](TFrameDBNav* nav) {
        nav->SetFilterTabShow(false);
        nav->tcFilter->hide();
        nav->tcFilterVisibleChange();
    };
    TFormAdress* f = Open();
    TFrameDBNav* nav = f->FrameAnsprechpartner;
    EXPECT_FALSE(nav->tcFilter->isHidden());
    nav->PopupGridSettingsPopup();
    EXPECT_FALSE(nav->moTabFilter->isVisible());
    nav->SaveCompSettings(f);
    EXPECT_EQ(testsupport::TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM lastval")),
              QStringLiteral("0"));

    userSwitchable(nav);
    nav->PopupGridSettingsPopup();
    EXPECT_TRUE(nav->moTabFilter->isVisible());
    nav->moTabFilter->trigger();
    EXPECT_FALSE(nav->tcFilter->isHidden());
    EXPECT_TRUE(nav->tcFilter->ShowFlag());
    nav->SaveCompSettings(f);
    TFormAdress* g = Open();
    userSwitchable(g->FrameAnsprechpartner);
    g->FrameAnsprechpartner->LoadCompSettings(g);
    EXPECT_FALSE(g->FrameAnsprechpartner->tcFilter->isHidden());
    EXPECT_TRUE(g->FrameAnsprechpartner->moTabFilter->isChecked());
    g->FrameAnsprechpartner->moTabFilter->trigger();
    EXPECT_TRUE(g->FrameAnsprechpartner->tcFilter->isHidden());
}

TEST_F(FrameDBNavTest, LayoutMenuForUserAndAdminWithRoundTrip) {
    TFormAdress* f = Open();
    TFrameDBNav* nav = f->FrameAnsprechpartner;
    TVoskDBGrid2* grid = f->GridAnsprechpartner;
    nav->PopupGridSettingsPopup();
    EXPECT_FALSE(nav->moLayoutLoad->isEnabled());
    EXPECT_FALSE(nav->moLayoutDelete->isEnabled());
    EXPECT_TRUE(nav->moLayoutSave->isEnabled());
    EXPECT_FALSE(nav->moLayoutGlobalSave->isVisible());
    EXPECT_FALSE(nav->moLayoutGlobalDelete->isVisible());
    EXPECT_TRUE(nav->moLayoutGlobalLoad->isVisible());

    const int name = grid->columnByFieldName(QStringLiteral("nachname"));
    const int email = grid->columnByFieldName(QStringLiteral("email"));
    grid->setColumnWidth(name, 177);
    grid->horizontalHeader()->moveSection(grid->horizontalHeader()->visualIndex(email), 0);
    grid->setColumnHidden(grid->columnByFieldName(QStringLiteral("vorname")), true);
    nav->moLayoutSave->trigger();
    grid->setColumnWidth(name, 60);
    grid->horizontalHeader()->moveSection(0, 5);
    grid->setColumnHidden(grid->columnByFieldName(QStringLiteral("vorname")), false);

    nav->PopupGridSettingsPopup();
    ASSERT_TRUE(nav->moLayoutLoad->isEnabled());
    EXPECT_TRUE(nav->moLayoutLoad->text().contains(QStringLiteral(" [ ") + s_dm->LoginName() +
                                                   QStringLiteral(" ] ")));
    EXPECT_TRUE(nav->moLayoutLoad->text().contains(QStringLiteral(" { ")));
    nav->moLayoutLoad->trigger();
    EXPECT_EQ(grid->columnWidth(name), 177);
    EXPECT_EQ(grid->horizontalHeader()->logicalIndex(0), email);
    EXPECT_TRUE(grid->isColumnHidden(grid->columnByFieldName(QStringLiteral("vorname"))));
    // Hidden columns stay hidden over a refresh of the data.
    f->DataAnsprechpartner->Refresh();
    EXPECT_TRUE(grid->isColumnHidden(grid->columnByFieldName(QStringLiteral("vorname"))));

    // The administrator saves the global layout; a new window prefers it unless told otherwise.
    s_dm->SetIsAdmin(true);
    nav->PopupGridSettingsPopup();
    EXPECT_TRUE(nav->moLayoutGlobalSave->isVisible());
    EXPECT_TRUE(nav->moLayoutGlobalDelete->isVisible());
    EXPECT_FALSE(nav->moLayoutGlobalDelete->isEnabled());
    grid->setColumnWidth(name, 99);
    nav->moLayoutGlobalSave->trigger();
    nav->PopupGridSettingsPopup();
    EXPECT_TRUE(nav->moLayoutGlobalDelete->isEnabled());
    EXPECT_TRUE(nav->moLayoutLocalFavor->isEnabled());
    TFormAdress* g = Open();
    EXPECT_EQ(g->GridAnsprechpartner->columnWidth(name), 99);
    nav->moLayoutLocalFavor->trigger(); // check: prefer the user's own
    TFormAdress* h = Open();
    EXPECT_EQ(h->GridAnsprechpartner->columnWidth(name), 177);
    EXPECT_TRUE(h->FrameAnsprechpartner->moLayoutLocalFavor->isChecked());

    nav->moLayoutDelete->trigger();
    nav->moLayoutGlobalDelete->trigger();
    nav->PopupGridSettingsPopup();
    EXPECT_FALSE(nav->moLayoutLoad->isEnabled());
    EXPECT_FALSE(nav->moLayoutGlobalLoad->isEnabled());

    // A stored layout that does not parse is ignored.
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO grid_layouts (gl_formclass, gl_grid, gl_type, gl_user, gl_layout) VALUES "
        "('TFormAdress', 'GridAnsprechpartner', 2, '', '{kein json')"));
    TVoskDM_Dunmere::Instance()->RefreshCache(QStringLiteral("grid_layouts"), false);
    TFormAdress* k = Open();
    EXPECT_FALSE(k->GridAnsprechpartner->isColumnHidden(
        k->GridAnsprechpartner->columnByFieldName(QStringLiteral("vorname"))));
}

TEST_F(FrameDBNavTest, GroupingDraggedAndSortClickedOutliveARefreshAndTravelWithTheLayout) {
    TFormAdress* f = Open();
    TFrameDBNav* nav = f->FrameAnsprechpartner;
    TVoskDBGrid2* grid = f->GridAnsprechpartner;
    TVoskClass* data = f->DataAnsprechpartner;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f));
    const int nachname = data->FieldIndex(QStringLiteral("nachname"));
    const auto names = [&] {
        QStringList list;
        for (int r : grid->ShownRows())
            list << data->Value(r, nachname).toString();
        return list;
    };
    nav->PopupGridSettingsPopup();
    nav->GridViewItems.moGruppierung->trigger();
    auto* box = grid->findChild<QWidget*>(QStringLiteral("GroupByBox"));
    ASSERT_TRUE(box && box->isVisible());
    QHeaderView* header = grid->horizontalHeader();
    testsupport::Drag(header->viewport(),
                      testsupport::SectionPoint(header, grid->columnByFieldName(QStringLiteral("aktiv"))),
                      box, box->rect().center());
    ASSERT_EQ(grid->GroupFields(), QStringList{QStringLiteral("aktiv")});
    nav->PopupGridSettingsPopup();
    EXPECT_TRUE(nav->GridViewItems.moAufklappen->isVisible());

    // Two clicks on the name's header: descending, within the groups (inactive ones first).
    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          testsupport::SectionPoint(header, nachname));
    const QStringList expected{QStringLiteral("Müller 3"), QStringLiteral("Müller 2"),
                               QStringLiteral("Müller 1")};
    ASSERT_EQ(names(), expected);
    ASSERT_TRUE(data->Locate(QStringLiteral("nachname"), QStringLiteral("Müller 2")));
    auto* refresh = qobject_cast<QAbstractButton*>(nav->DBNavigator1->widgetForAction(
        nav->DBNavigator1->ButtonControl(nbRefresh)));
    ASSERT_TRUE(refresh && refresh->isEnabled());
    refresh->click();
    QApplication::processEvents();
    EXPECT_EQ(names(), expected);
    EXPECT_EQ(data->FieldByName(QStringLiteral("nachname")).AsString(), QStringLiteral("Müller 2"));

    // Saved and opened in a new window, the layout groups and sorts the same.
    nav->moLayoutSave->trigger();
    TFormAdress* g = Open();
    TVoskDBGrid2* copy = g->GridAnsprechpartner;
    EXPECT_EQ(copy->GroupFields(), QStringList{QStringLiteral("aktiv")});
    EXPECT_TRUE(copy->GroupByBoxVisible());
    EXPECT_EQ(copy->horizontalHeader()->sortIndicatorSection(), nachname);
    EXPECT_EQ(copy->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    QStringList copied;
    for (int r : copy->ShownRows())
        copied << g->DataAnsprechpartner->Value(r, nachname).toString();
    EXPECT_EQ(copied, expected);
}

TEST_F(FrameDBNavTest, PrintTitleNamesTheGroupBox) {
    TFormAdress* f = Open();
    auto* box = new QGroupBox(QStringLiteral("&Kontakte"), f);
    auto* layout = new QVBoxLayout(box);
    auto* grid = new TVoskDBGrid2(box);
    layout->addWidget(grid);
    TFrameDBNav nav(f, box);
    nav.FSetVoskDBGrid(grid);
    EXPECT_EQ(nav.PrintTitle(), f->windowTitle() + QStringLiteral(": Kontakte"));
    QString printed;
    PrintGridProc = [&](TVoskDBGrid2*, QStringList& params) { printed = params.join(u'|'); };
    nav.moDruckenClick();
    PrintGridProc = nullptr;
    EXPECT_TRUE(printed.contains(QStringLiteral("Kontakte")));
}

TEST_F(FrameDBNavTest, ExportWritesTypedCellsOfTheShownRows) {
    AddFilters();
    TFormAdress* f = Open();
    TFrameDBNav* nav = f->FrameAnsprechpartner;
    TVoskDBGrid2* grid = f->GridAnsprechpartner;
    f->DataAdressen->First();
    grid->GridFilterLoad(QStringLiteral("Mit E-Mail"));
    const int shown = grid->ShownRows().size();
    ASSERT_EQ(shown, 2);

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Kontakte.xlsx"));
    m_answers.ExpectFile({}, {file});
    nav->PopupGridSettingsPopup();
    ASSERT_TRUE(nav->moExportieren->isEnabled());
    nav->moExportierenClick();
    ASSERT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(m_answers.OpenedUrls().size(), 1);
    EXPECT_EQ(LastVal(QStringLiteral("SaveDialogFolder_TFormAdress")), dir.path());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no leftovers

    const auto parts = ReadZip(file);
    ASSERT_TRUE(parts.contains(QStringLiteral("xl/worksheets/sheet1.xml")));
    const auto rows = SheetRows(parts.value(QStringLiteral("xl/worksheets/sheet1.xml")));
    ASSERT_EQ(rows.size(), 1 + shown);
    QStringList header;
    for (const Cell& c : rows[0])
        header << c.value;
    const int nameCol = grid->ShownColumns().indexOf(grid->columnByFieldName(QStringLiteral("nachname")));
    const int dateCol =
        grid->ShownColumns().indexOf(grid->columnByFieldName(QStringLiteral("geburtstag")));
    const int boolCol = grid->ShownColumns().indexOf(grid->columnByFieldName(QStringLiteral("aktiv")));
    ASSERT_GE(nameCol, 0);
    EXPECT_EQ(header.size(), grid->ShownColumns().size());
    EXPECT_EQ(rows[1][nameCol].value, QStringLiteral("Müller 1"));
    EXPECT_EQ(rows[1][nameCol].type, QStringLiteral("inlineStr"));
    // 1970-03-01 is day 25628 of the spreadsheet calendar, stored as a number with a date style.
    EXPECT_EQ(rows[1][dateCol].value, QStringLiteral("25628"));
    EXPECT_TRUE(rows[1][dateCol].type.isEmpty());
    EXPECT_FALSE(rows[1][dateCol].style.isEmpty());
    EXPECT_EQ(rows[1][boolCol].type, QStringLiteral("b"));

    // Refused by the rights table: the menu item is off.
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO gui_rights VALUES ('TFormAdress', 'GridAnsprechpartner', 0, false)"));
    nav->PopupGridSettingsPopup();
    EXPECT_FALSE(nav->moExportieren->isEnabled());
    s_dm->SetIsAdmin(true);
    nav->PopupGridSettingsPopup();
    EXPECT_TRUE(nav->moExportieren->isEnabled());
}

TEST_F(FrameDBNavTest, FailedExportLeavesTheOldWorkbook) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("alt.xlsx"));
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("alter Inhalt");
    }
    // The data fails halfway: the half-written workbook goes, the old one stays.
    TExportTable table;
    table.Captions = {QStringLiteral("Zahl")};
    table.RowCount = 3;
    table.Cell = [](qint64 r, int) {
        if (r == 2)
            throw EVoskException(QStringLiteral("Verbindung verloren"));
        return QVariant(r);
    };
    EXPECT_THROW(cxExport::ExportTableToXLSX(file, table), EVoskException);
    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("alter Inhalt"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    try {
        cxExport::ExportTableToXLSX(dir.filePath(QStringLiteral("nicht/da.xlsx")), table);
        FAIL() << "no error";
    } catch (const EVoskException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("da.xlsx")));
        EXPECT_TRUE(e.Message().contains(QStringLiteral("Ordner existiert nicht")));
    }
}

TEST_F(FrameDBNavTest, LongTablesContinueOnFurtherSheetsAndLongTextsAreCut) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("lang.xlsx"));
    // 32,766 letters and a character outside the basic plane that must not be split.
    const QString longText = QString(32766, QLatin1Char('a')) + QString::fromUtf8("😀") +
                             QStringLiteral("Rest");
    TExportTable table;
    table.Captions = {QStringLiteral("Nr"), QStringLiteral("Text")};
    table.RowCount = 5;
    table.Cell = [&](qint64 r, int c) {
        return c == 0 ? QVariant(r) : (r == 4 ? QVariant(longText) : QVariant());
    };
    const TGridExportResult res = cxExport::ExportTableToXLSX(file, table, {}, 3);
    EXPECT_EQ(res.Rows, 5);
    EXPECT_EQ(res.Sheets, 3);
    EXPECT_EQ(res.CutTexts, 1);
    const auto parts = ReadZip(file);
    const auto third = SheetRows(parts.value(QStringLiteral("xl/worksheets/sheet3.xml")));
    ASSERT_EQ(third.size(), 2);
    EXPECT_EQ(third[0][0].value, QStringLiteral("Nr")); // the header again
    EXPECT_EQ(third[1][1].value.size(), 32768);         // 32,767 characters, the last one whole
    EXPECT_TRUE(third[1][1].value.endsWith(QString::fromUtf8("😀")));
    const auto first = SheetRows(parts.value(QStringLiteral("xl/worksheets/sheet1.xml")));
    ASSERT_EQ(first.size(), 3);
    EXPECT_EQ(first[1].size(), 1); // NULL makes no cell
    EXPECT_EQ(first[1][0].value, QStringLiteral("0"));
}

TEST_F(FrameDBNavTest, SpecialFunctionsOfTheGridsTableShowOnTheFrameAndRunThroughTheHeader) {
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO sondfunc (dbrid, sf_sqltable, sf_nr, sf_txtnr, sf_menubutton, sf_sql) VALUES "
        "(901, 'ansprechpartner', 1, 0, true, "
        "'UPDATE ansprechpartner SET vorname = upper(vorname) WHERE dbrid = :dbrid'), "
        "(902, 'ansprechpartner', 2, 0, false, NULL), "
        "(903, 'adressen', 1, 0, true, NULL)"));
    DM1()->ClearQueryCache();
    TFormAdress* f = Open();
    TFrameDBNav* nav = f->FrameAnsprechpartner;
    const QList<TVoskButton2*> buttons = nav->SondFuncButtons();
    // Only the menu-button row of the frame's own table; the tools button offers the rest.
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->DataValue().toLongLong(), 901);
    EXPECT_FALSE(buttons[0]->isHidden());
    EXPECT_FALSE(nav->BtTools->isHidden());
    EXPECT_FALSE(buttons[0]->toolTip().isEmpty());
    EXPECT_FALSE(buttons[0]->accessibleName().isEmpty());

    // A second start of the components does not double the buttons.
    nav->LoadSondFuncs();
    EXPECT_EQ(nav->SondFuncButtons().size(), 1);

    ASSERT_TRUE(f->DataAnsprechpartner->HasRecord());
    const QVariant id = f->DataAnsprechpartner->FieldByName(QStringLiteral("dbrid")).Value();
    m_answers.Expect(QStringLiteral("Sonderfunktion ausführen?"), Vcl::mrYes);
    f->GridAnsprechpartner->setFocus();
    nav->SondFuncClick(nav->SondFuncButtons()[0]);
    const QString vorname = testsupport::TestDatabase::Scalar(
        QStringLiteral("SELECT vorname FROM ansprechpartner WHERE dbrid = %1").arg(id.toLongLong()));
    EXPECT_EQ(vorname, vorname.toUpper());
    testsupport::TestDatabase::Exec(QStringLiteral("DELETE FROM sondfunc"));
    DM1()->ClearQueryCache();
}

TEST_F(FrameDBNavTest, APostRemembersWhatTheFocusedControlHolds) {
    TFormAdress* f = Open();
    // A frame over the address itself, without a grid to take the focus.
    auto* frame = Vcl::Owned(f, new TFrameDBNav(f, f->ClientArea()), QStringLiteral("FrameAdresse"));
    f->ModulLayout()->addWidget(frame);
    frame->FSetDataSource(f->DataAdressen);
    frame->show();
    const qint64 id = CurrentId(f);
    // The activation moves asynchronously (the module's tool window comes up on the focus
    // timer): typing starts once the edit really holds the focus.
    for (int i = 0; i < 100 && QApplication::focusWidget() != f->EdTelefon; ++i) {
        f->activateWindow();
        f->EdTelefon->setFocus();
        QTest::qWait(5);
    }
    ASSERT_EQ(QApplication::focusWidget(), f->EdTelefon);
    Type(f->EdTelefon, QStringLiteral("0711 42"));
    auto* post = qobject_cast<QAbstractButton*>(
        frame->DBNavigator1->widgetForAction(frame->DBNavigator1->ButtonControl(nbPost)));
    ASSERT_TRUE(post);
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes);
    post->click();
    QApplication::processEvents();
    EXPECT_EQ(DbValue(QStringLiteral("telefon"), id), QStringLiteral("0711 42"));
    EXPECT_EQ(LastVal(f->EdTelefon->LastValueKey()), QStringLiteral("0711 42"));
    testsupport::TestDatabase::Exec(
        QStringLiteral("UPDATE adressen SET telefon = NULL WHERE dbrid = %1").arg(id));
}
