// The document properties window on a real database and document store: what the user may edit,
// forced keywords, the archive check, record links, revisions, the change log and the admin
// panel; and how the document window opens it.

#include "FrameworkFixture.h"

#include <Dataclient_files.h>
#include <ModuleStarts.h>
#include <TRecNoClasses.h>
#include <TServSQL2.h>
#include <TVoskDBDateTimeEdit.h>
#include <TVoskDBEdit.h>
#include <TVoskDBMemo.h>
#include <TVoskPopupMenu.h>
#include <VoskKeyControls.h>
#include <TVoskDBGrid2.h>
#include <TVoskDBLookupComboBox.h>
#include <UDokumentEigenschaften.h>
#include <UEditDoku.h>
#include <UImpDoku.h>
#include <UModulForm.Start.h>
#include <Ukorvexclasses.Dokument.h>
#include <VoskGridValues.h>

#include <QApplication>
#include <QKeyEvent>
#include <QBuffer>
#include <QComboBox>
#include <QCompleter>
#include <QScopeGuard>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using testsupport::TestDatabase;

namespace {

QString scalar(const QString& sql) { return TestDatabase::Scalar(sql); }

// A key pressed and released on a widget, as the window system delivers it.
void sendKey(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    auto press = std::make_unique<QKeyEvent>(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(w, press.get());
    auto release = std::make_unique<QKeyEvent>(QEvent::KeyRelease, key, mods);
    QApplication::sendEvent(w, release.get());
}

// The rows a lookup offers, as the lookup library's list shows them.
class FakeLookupList final : public QListWidget, public IVoskSelectedRecordValues {
public:
    FakeLookupList(const QStringList& columns, const QList<QStringList>& rows) {
        setProperty("ColumnNames", columns);
        setSelectionMode(QAbstractItemView::ExtendedSelection);
        m_columns = columns;
        m_rows = rows;
        for (const QStringList& r : rows)
            addItem(r.join(u' '));
    }
    QStringList GetSelectedRecordValuesStr(const QString& field, int) const override {
        QStringList values;
        const int col = m_columns.indexOf(field);
        for (int i = 0; i < count(); ++i)
            if (item(i)->isSelected())
                values << m_rows[i].value(col);
        return values;
    }

private:
    QStringList m_columns;
    QList<QStringList> m_rows;
};

class DokumentEigenschaftenTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM picndoku_log; DELETE FROM picndokulink; DELETE FROM recnokeyword;"
            "DELETE FROM picndoku; DELETE FROM dms_file; DELETE FROM dokutypes;"
            "DELETE FROM recnokeywordcategory;"
            "INSERT INTO recnokeywordcategory (rck_b) VALUES ('Kunde'), ('Projekt'), ('Ort');"
            "INSERT INTO dokutypes (dt_id, dt_descr, dt_forcekeyword) VALUES "
            "('RE', 'Rechnung', E'Kunde\\nProjekt\\n'), ('LS', 'Lieferschein', NULL), "
            "('AB', 'Auftragsbestätigung', NULL)"));
        DMSDokuTypes().Refresh();
        s_dm->SetLoginName(QStringLiteral("postgres"));
        s_dm->SetIsAdmin(false);
    }
    void TearDown() override {
        MakeF2Proc = m_oldF2;
        delete m_form.data();
        delete m_window.data();
        QApplication::processEvents();
    }

    static int addFile(const QString& type, const QByteArray& bytes = "%PDF-1.4 x") {
        TDokument d;
        d.InsertData() = {true, QString(), type, QString(), QString(), QString()};
        QBuffer b;
        b.setData(bytes);
        b.open(QIODevice::ReadOnly);
        return d.DMSAddFileAsBLOB(b, QStringLiteral("beleg.pdf"), QStringLiteral("adressen"),
                                  QStringLiteral("5"));
    }
    static int addRow(const QString& columns, const QString& values) {
        return scalar(QStringLiteral("INSERT INTO picndoku (pd_tablename, pd_dbrid, %1) VALUES "
                                     "('adressen', 5, %2) RETURNING pd_id")
                          .arg(columns, values))
            .toInt();
    }
    TFormDoku* open(int pdId) {
        m_form = TFormKorvexGundForm::Create<TFormDoku>(nullptr);
        m_form->Dokument2->AssignToDokId(pdId, QStringLiteral("adressen"), QStringLiteral("5"));
        m_form->show();
        return m_form;
    }
    TFrameDokumentEigenschaften* frame() const { return m_form->FrameDokumentEigenschaften1; }
    QStringList keywords() const {
        TRecNoKeyword* k = frame()->RecNoKeyWord1;
        QStringList list;
        for (int r = 0; k->Active() && r < k->RecordCount(); ++r)
            list << k->Value(r, k->FieldIndex(QStringLiteral("r_kategorie"))).toString() + u'=' +
                        k->Value(r, k->FieldIndex(QStringLiteral("r_descr"))).toString();
        list.sort();
        return list;
    }
    static QString fileOf(int id) {
        return scalar(QStringLiteral("SELECT pd_dmsremotefile FROM picndoku WHERE pd_id = %1").arg(id));
    }
    static bool stored(const QString& name) {
        return scalar(QStringLiteral("SELECT count(*) FROM dms_file WHERE name = '%1'").arg(name)) ==
               QLatin1String("1");
    }

    QPointer<TFormDoku> m_form;
    QPointer<TFormDokments> m_window;
    TMakeF2Proc m_oldF2 = MakeF2Proc;
};

TEST_F(DokumentEigenschaftenTest, WhatUsersAndAdministratorsMayEditFollowsTheKindOfDocument) {
    const int stored = addFile(QStringLiteral("LS"));
    const int link = addRow(QStringLiteral("pd_islink, pd_path, pd_dokumentfile"),
                            QStringLiteral("true, '/tmp/brief.odt', 'brief.odt'"));
    const int folder = addRow(QStringLiteral("pd_descr"), QStringLiteral("'Eigener Ordner'"));
    const int archived = addFile(QStringLiteral("LS"));
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_archive = true WHERE pd_id = %1")
                           .arg(archived));

    TFormDoku* f = open(stored);
    TFrameDokumentEigenschaften* fr = frame();
    // A stored document: its type may change, its file only through the store.
    EXPECT_TRUE(fr->pd_doktype->isEnabled());
    EXPECT_TRUE(fr->BtAssignToRecord->isEnabled());
    EXPECT_FALSE(fr->pd_dokumentfile->isEnabled());
    EXPECT_FALSE(fr->BtOpenFile->isEnabled());
    EXPECT_TRUE(fr->pd_path->isReadOnly());
    EXPECT_FALSE(fr->pd_path_user->isReadOnly());
    EXPECT_FALSE(fr->lbDokumentLink->isVisible());
    EXPECT_FALSE(fr->AdminPanel->isVisible());
    EXPECT_FALSE(fr->pd_tablename->isEnabled());
    EXPECT_EQ(fr->pageLinks->currentWidget(), fr->tabRecno);

    // A file link: its file may be chosen anew.
    f->Dokument2->AssignToDokId(link);
    EXPECT_TRUE(fr->pd_dokumentfile->isEnabled());
    EXPECT_TRUE(fr->BtOpenFile->isEnabled());
    EXPECT_TRUE(fr->lbDokumentLink->isVisible());
    EXPECT_EQ(fr->lbDokumentLink->text(), QStringLiteral("Dateiverknüpfung"));

    // A custom folder: its path is the user's; an empty user path stays closed to users.
    f->Dokument2->AssignToDokId(folder);
    EXPECT_FALSE(fr->pd_path->isReadOnly());
    EXPECT_TRUE(fr->pd_path_user->isReadOnly());
    EXPECT_FALSE(fr->pd_dokumentfile->isEnabled());
    EXPECT_EQ(fr->lbDokumentLink->text(), QStringLiteral("Benutzerordner"));

    // An archived document keeps its type.
    f->Dokument2->AssignToDokId(archived);
    EXPECT_FALSE(fr->pd_doktype->isEnabled());
    EXPECT_FALSE(fr->btDokTypeClear->isEnabled());

    // An administrator may edit every path and sees the store's fields, also on the event.
    s_dm->SetIsAdmin(true);
    EXPECT_TRUE(fr->AdminPanel->isVisible());
    EXPECT_TRUE(fr->AdminLabel->isVisible());
    EXPECT_TRUE(fr->miSelectRevision->isVisible());
    f->Dokument2->AssignToDokId(folder);
    EXPECT_FALSE(fr->pd_path->isReadOnly());
    EXPECT_FALSE(fr->pd_path_user->isReadOnly());
    EXPECT_EQ(fr->AdminEdit(QStringLiteral("pd_id"))->text(), QString::number(folder));
    s_dm->SetIsAdmin(false);
    EXPECT_FALSE(fr->AdminPanel->isVisible());

    // No document: nothing can be edited and the pages are empty.
    f->Dokument2->AssignToDokId(999999);
    EXPECT_FALSE(fr->pd_path->isEnabled());
    EXPECT_FALSE(fr->pd_doktype->isEnabled());
    EXPECT_FALSE(fr->pd_txt->isEnabled());
    EXPECT_FALSE(fr->RecNoKeyWord1->Active());
    EXPECT_FALSE(fr->sqlChangeLog->Active());
    TDokument empty;
    fr->SetDokument(&empty);
    EXPECT_FALSE(fr->pd_date->isEnabled());
    fr->SetDokument(nullptr);
    EXPECT_FALSE(fr->pd_print->isEnabled());
}

TEST_F(DokumentEigenschaftenTest, ThePathLabelsMarkThePathInEffect) {
    const int id = addFile(QStringLiteral("LS"));
    open(id);
    TFrameDokumentEigenschaften* fr = frame();
    EXPECT_TRUE(fr->pd_path_visible->property("inEffect").toBool());
    EXPECT_FALSE(fr->pd_pathuser_visible->property("inEffect").toBool());
    EXPECT_TRUE(fr->pd_pathuser_visible->font().strikeOut());
    EXPECT_EQ(fr->pd_path_visible->palette().color(QPalette::WindowText), QColor(Qt::red));

    fr->pd_path_user->setFocus();
    QTest::keyClicks(fr->pd_path_user, QStringLiteral("/home/ablage"));
    m_answers.Expect(QStringLiteral("Dokument: Änderungen speichern?"), Vcl::mrYes);
    m_form->Dokument2->Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_path_user FROM picndoku WHERE pd_id = %1").arg(id)),
              QStringLiteral("/home/ablage"));
    EXPECT_FALSE(fr->pd_path_visible->property("inEffect").toBool());
    EXPECT_TRUE(fr->pd_path_visible->font().strikeOut());
    EXPECT_TRUE(fr->pd_pathuser_visible->property("inEffect").toBool());
    EXPECT_EQ(fr->pd_pathuser_visible->palette().color(QPalette::WindowText), QColor(Qt::red));
}

TEST_F(DokumentEigenschaftenTest, ATypeWithForcedCategoriesAddsPlaceholdersThatTheNextTypeDrops) {
    const int id = addFile(QStringLiteral("LS"));
    open(id);
    TFrameDokumentEigenschaften* fr = frame();
    ASSERT_TRUE(fr->pd_doktype->SelectKey(QStringLiteral("RE")));
    fr->pd_doktypePropertiesCloseUp();
    EXPECT_EQ(keywords(), (QStringList{QStringLiteral("Kunde=!"), QStringLiteral("Projekt=!")}));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM recnokeyword WHERE r_tablename = "
                                    "'picndoku' AND r_descr = '!' AND r_dbrid = "
                                    "(SELECT dbrid FROM picndoku WHERE pd_id = %1)")
                         .arg(id)),
              QStringLiteral("2"));

    // The user fills one in; the other placeholder goes with the next type.
    TRecNoKeyword* k = fr->RecNoKeyWord1;
    ASSERT_TRUE(k->Locate(QStringLiteral("r_kategorie"), QStringLiteral("Kunde")));
    k->FieldByName(QStringLiteral("r_descr")).SetAsString(QStringLiteral("MÜLLER"));
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes);
    k->Post();
    ASSERT_TRUE(fr->pd_doktype->SelectKey(QStringLiteral("LS")));
    fr->pd_doktypePropertiesCloseUp();
    EXPECT_EQ(keywords(), QStringList{QStringLiteral("Kunde=MÜLLER")});
    // Back to the forced type: only the missing category gets a placeholder.
    ASSERT_TRUE(fr->pd_doktype->SelectKey(QStringLiteral("RE")));
    fr->pd_doktypePropertiesCloseUp();
    EXPECT_EQ(keywords(),
              (QStringList{QStringLiteral("Kunde=MÜLLER"), QStringLiteral("Projekt=!")}));
    m_answers.Expect(QStringLiteral("Dokument: Änderungen speichern?"), Vcl::mrYes);
    m_form->Dokument2->Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_doktype FROM picndoku WHERE pd_id = %1").arg(id)),
              QStringLiteral("RE"));

    // A keyword needs its category and its text.
    k->AppendKeyword();
    k->FieldByName(QStringLiteral("r_descr")).SetAsString(QStringLiteral("X"));
    EXPECT_ANY_THROW(k->Post());
    EXPECT_TRUE(k->IsNewRecord());
    k->Cancel();
}

TEST_F(DokumentEigenschaftenTest, TheArchiveCheckMovesTheFileIntoItsTypesArchiveOrUndoesTheMove) {
    const int id = addFile(QStringLiteral("RE"));
    const QString reName = fileOf(id);
    ASSERT_TRUE(reName.startsWith(QStringLiteral("RE/")));
    const QString base = reName.mid(3);
    open(id);
    TFrameDokumentEigenschaften* fr = frame();

    m_answers.Expect(QStringLiteral("liegt im Archiv ihres Dokumenttyps"), Vcl::mrOk);
    fr->btCheckDokTypPathClick();

    // The type changed, the file stayed: declining leaves it; a refused post puts it back.
    TestDatabase::Exec(
        QStringLiteral("UPDATE picndoku SET pd_doktype = 'LS' WHERE pd_id = %1").arg(id));
    m_form->Dokument2->AssignToDokId(id);
    m_answers.Expect(QStringLiteral("Dokumenttyp: LS\nDMS-Dokumenttyp: RE"), Vcl::mrNo);
    fr->btCheckDokTypPathClick();
    EXPECT_EQ(fileOf(id), reName);
    TestDatabase::Exec(QStringLiteral(
        "CREATE FUNCTION refuse_ls() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
        "RAISE EXCEPTION 'Archiv gesperrt'; END $$;"
        "CREATE TRIGGER refuse_ls BEFORE UPDATE ON picndoku FOR EACH ROW "
        "WHEN (NEW.pd_dmsremotefiledoktype = 'LS') EXECUTE FUNCTION refuse_ls()"));
    m_answers.Expect(QStringLiteral("Dokumenttyp: LS"), Vcl::mrYes);
    EXPECT_ANY_THROW(fr->btCheckDokTypPathClick());
    TestDatabase::Exec(QStringLiteral("DROP TRIGGER refuse_ls ON picndoku; DROP FUNCTION refuse_ls()"));
    EXPECT_EQ(fileOf(id), reName);
    EXPECT_TRUE(stored(reName));
    EXPECT_FALSE(stored(QStringLiteral("LS/") + base));
    EXPECT_FALSE(m_form->Dokument2->InEdit());

    m_answers.Expect(QStringLiteral("Dokumenttyp: LS"), Vcl::mrYes);
    fr->btCheckDokTypPathClick();
    EXPECT_EQ(fileOf(id), QStringLiteral("LS/") + base);
    EXPECT_TRUE(stored(QStringLiteral("LS/") + base));
    EXPECT_FALSE(stored(reName));
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_dmsremotefiledoktype FROM picndoku WHERE pd_id = %1")
                         .arg(id)),
              QStringLiteral("LS"));
}

TEST_F(DokumentEigenschaftenTest, TheArchiveSearchTakesOverTheOneTypeWhoseArchiveHoldsTheFile) {
    const int id = addFile(QStringLiteral("RE"));
    const QString reName = fileOf(id);
    const QString base = reName.mid(3);
    // The row lost its stored name and names another type: the file is searched for.
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_dmsremotefile = NULL, pd_doktype = "
                                      "'AB' WHERE pd_id = %1")
                           .arg(id));
    open(id);
    TFrameDokumentEigenschaften* fr = frame();
    m_answers.Expect(QStringLiteral("Dokumenttyp: RE (Rechnung)"), Vcl::mrYes);
    fr->btCheckDokTypPathClick();
    EXPECT_EQ(fileOf(id), reName);
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_doktype FROM picndoku WHERE pd_id = %1").arg(id)),
              QStringLiteral("RE"));

    // A copy in a second archive: several hits, nothing changes.
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_dmsremotefile = NULL, pd_doktype = "
                                      "'AB' WHERE pd_id = %1")
                           .arg(id));
    QBuffer copy;
    copy.setData("%PDF-1.4 x");
    copy.open(QIODevice::ReadOnly);
    TDCFileMethods(&s_dm->Database()).WriteFile(copy, QStringLiteral("LS/") + base);
    m_form->Dokument2->AssignToDokId(id);
    m_answers.Expect(QStringLiteral("in mehreren Archiven gefunden.\n\nID: %1\nDatei: %2\n\n"
                                    "LS: Lieferschein\nRE: Rechnung")
                         .arg(id)
                         .arg(base),
                     Vcl::mrOk);
    EXPECT_ANY_THROW(fr->btCheckDokTypPathClick());
    EXPECT_EQ(fileOf(id), QString());

    // In no archive at all.
    TestDatabase::Exec(QStringLiteral("DELETE FROM dms_file"));
    m_answers.Expect(QStringLiteral("in keinem Archiv gefunden.\n\nID: %1").arg(id), Vcl::mrOk);
    EXPECT_ANY_THROW(fr->btCheckDokTypPathClick());
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_doktype FROM picndoku WHERE pd_id = %1").arg(id)),
              QStringLiteral("AB"));

    m_answers.Expect(QStringLiteral("noch nicht implementiert"), Vcl::mrOk);
    fr->btCheckHashClick();
}

TEST_F(DokumentEigenschaftenTest, EveryRecordChosenInTheLookupGetsItsOwnLink) {
    const int id = addFile(QStringLiteral("RE"));
    TestDatabase::Exec(QStringLiteral("INSERT INTO picndokulink (pdl_pd_id, pdl_tablename, "
                                      "pdl_dbrid) VALUES (%1, 'adressen', 99)")
                           .arg(id));
    open(id);
    TFrameDokumentEigenschaften* fr = frame();
    EXPECT_EQ(fr->sqlDokuLinks->RecordCount(), 1);

    QPointer<FakeLookupList> list;
    TMakeF2Event onOk;
    QString lookupName;
    MakeF2Proc = [&](TF2Result& result, QWidget*, QObject* field, std::unique_ptr<QStringList>,
                     TMakeF2Event event) {
        lookupName = field->objectName();
        list = new FakeLookupList({QStringLiteral("dbrid"), QStringLiteral("dokident"),
                                   QStringLiteral("tablename")},
                                  {{QStringLiteral("11"), QStringLiteral("K-11"), QStringLiteral("adressen")},
                                   {QStringLiteral("12"), QString(), QStringLiteral("adressen")},
                                   {QStringLiteral("13"), QStringLiteral("K-13"), QStringLiteral("adressen")}});
        result.F2Grid = list;
        onOk = event;
    };
    QTest::mouseClick(fr->BtAssignToRecord, Qt::LeftButton);
    EXPECT_EQ(lookupName, QStringLiteral("DV_FIND_RE"));
    ASSERT_TRUE(list && onOk);
    list->selectAll();
    (*onOk)(nullptr);
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(pdl_tablename || ':' || pdl_dbrid || ':' || "
                                    "coalesce(pdl_dokident, '-'), ',' ORDER BY pdl_dbrid) "
                                    "FROM picndokulink WHERE pdl_pd_id = %1")
                         .arg(id)),
              QStringLiteral("adressen:11:K-11,adressen:12:-,adressen:13:K-13"));
    EXPECT_EQ(fr->sqlDokuLinks->RecordCount(), 3);
    delete list.data();

    // A lookup without record ids changes nothing.
    MakeF2Proc = [&](TF2Result& result, QWidget*, QObject*, std::unique_ptr<QStringList>,
                     TMakeF2Event event) {
        list = new FakeLookupList({QStringLiteral("name")}, {{QStringLiteral("Müller")}});
        result.F2Grid = list;
        onOk = event;
    };
    fr->BtAssignToRecordClick();
    list->selectAll();
    m_answers.Expect(QStringLiteral("Field \"dbrid\" not found in F2"), Vcl::mrOk);
    EXPECT_ANY_THROW((*onOk)(nullptr));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM picndokulink")), QStringLiteral("3"));
    delete list.data();
}

TEST_F(DokumentEigenschaftenTest, AKeywordOpensTheModulesOfTheRecordItNamesAndOffersItsCategorysTexts) {
    TestDatabase::Exec(QStringLiteral(
        "UPDATE recnokeywordcategory SET rck_column = 'name' WHERE rck_b = 'Kunde';"
        "INSERT INTO linkmodule (lm_keyfield, lm_formclassname, lm_tablename, lm_caption, "
        "lm_order) VALUES ('NAME', 'TFormListe', 'adressen', 'Adressliste', 2), "
        "('name', 'TFormAdress', 'adressen', 'Adressen', 1), ('ort', 'TFormOrt', 'adressen', "
        "'Orte', 1);"
        "INSERT INTO adressen (name) VALUES ('Linkmenü GmbH');"));
    const auto cleanup = qScopeGuard([] {
        TestDatabase::Exec(QStringLiteral("DELETE FROM linkmodule; DELETE FROM adressen WHERE "
                                          "name = 'Linkmenü GmbH'"));
    });
    testsupport::ModuleStarts starts;
    QStringList& started = starts.started;

    const int id = addFile(QStringLiteral("LS"));
    const QString dbrid =
        scalar(QStringLiteral("SELECT dbrid FROM picndoku WHERE pd_id = %1").arg(id));
    TestDatabase::Exec(QStringLiteral("INSERT INTO recnokeyword (r_tablename, r_dbrid, "
                                      "r_kategorie, r_descr) VALUES ('picndoku', %1, 'Kunde', "
                                      "'LINKMENÜ GMBH'), ('picndoku', %1, 'Projekt', 'NORD'), "
                                      "('adressen', 7, 'Kunde', 'ALTKUNDE')")
                           .arg(dbrid));
    open(id);
    TFrameDokumentEigenschaften* fr = frame();
    TRecNoKeyword* k = fr->RecNoKeyWord1;
    TVoskPopupMenu* menu = fr->PopupKeyWords;
    auto linkTexts = [&] {
        menu->popup(fr->GridKeyWords->mapToGlobal(QPoint(5, 5)));
        QStringList texts;
        for (QAction* a : menu->actions())
            texts << a->text();
        menu->close();
        return texts;
    };

    // The customer keyword offers both modules of its column, in their order.
    ASSERT_TRUE(k->Locate(QStringLiteral("r_kategorie"), QStringLiteral("Kunde")));
    EXPECT_EQ(linkTexts(), (QStringList{QStringLiteral("Adressen: LINKMENÜ GMBH"),
                                        QStringLiteral("Adressliste: LINKMENÜ GMBH")}));
    menu->popup(QPoint(5, 5));
    menu->actions().value(1)->trigger();
    menu->close();
    EXPECT_EQ(started, QStringList{QStringLiteral("TFormListe:NAME=LINKMENÜ GMBH")});

    // A keyword naming no record is refused before any module starts.
    k->Edit();
    k->FieldByName(QStringLiteral("r_descr")).SetAsString(QStringLiteral("NIEMAND"));
    k->Post(false);
    menu->popup(QPoint(5, 5));
    m_answers.Expect(QStringLiteral("Adressen: Kein Datensatz mit „NIEMAND“ gefunden."),
                     Vcl::mrOk);
    menu->actions().value(0)->trigger();
    menu->close();
    EXPECT_EQ(started.size(), 1);

    // A category without a record column names nothing: no entries.
    ASSERT_TRUE(k->Locate(QStringLiteral("r_kategorie"), QStringLiteral("Projekt")));
    EXPECT_TRUE(linkTexts().isEmpty());
    // Given a category that names a column in the grid, the keyword offers its links at once.
    TVoskDBGrid2* grid = fr->GridKeyWords;
    const QModelIndex category =
        grid->model()->index(k->CurrentRow(), k->FieldIndex(QStringLiteral("r_kategorie")));
    grid->setCurrentIndex(category);
    grid->edit(category);
    auto* box = grid->findChild<QComboBox*>();
    ASSERT_TRUE(box);
    box->setCurrentText(QStringLiteral("Kunde"));
    emit grid->itemDelegate()->commitData(box);
    EXPECT_EQ(linkTexts(), (QStringList{QStringLiteral("Adressen: NORD"),
                                        QStringLiteral("Adressliste: NORD")}));

    // The ellipsis of the text offers what the category holds elsewhere, placeholders left out.
    TestDatabase::Exec(QStringLiteral("INSERT INTO recnokeyword (r_tablename, r_dbrid, "
                                      "r_kategorie, r_descr) VALUES ('adressen', 8, 'Kunde', '!')"));
    ASSERT_TRUE(k->Locate(QStringLiteral("r_descr"), QStringLiteral("NIEMAND")));
    const QModelIndex cell =
        grid->model()->index(k->CurrentRow(), k->FieldIndex(QStringLiteral("r_descr")));
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    auto* edit = grid->findChild<QLineEdit*>(QStringLiteral("edKeywordText"));
    auto* button = grid->findChild<QToolButton*>(QStringLiteral("btKeywordValues"));
    ASSERT_TRUE(edit && button);
    EXPECT_FALSE(button->accessibleName().isEmpty());
    QTest::mouseClick(button, Qt::LeftButton);
    QAbstractItemModel* values = edit->completer()->completionModel();
    QStringList offered;
    for (int r = 0; r < values->rowCount(); ++r)
        offered << values->index(r, 0).data().toString();
    EXPECT_EQ(offered, (QStringList{QStringLiteral("ALTKUNDE"), QStringLiteral("NIEMAND"),
                                    QStringLiteral("NORD")}));
    edit->completer()->popup()->hide();
    // What the user types is kept in upper case.
    edit->setText(QStringLiteral("altkunde"));
    sendKey(edit, Qt::Key_Return);
    EXPECT_EQ(k->FieldByName(QStringLiteral("r_descr")).AsString(), QStringLiteral("ALTKUNDE"));
}

TEST_F(DokumentEigenschaftenTest, RevisionsAndTheChangeLogShowTheDocumentsHistory) {
    const int first = addFile(QStringLiteral("RE"));
    int second = 0;
    {
        TDokument d;
        d.AssignToDokId(first);
        QBuffer b;
        b.setData("%PDF-1.4 zwei");
        b.open(QIODevice::ReadOnly);
        second = d.CreateNewRevision(b, 0, QStringLiteral("file"), QStringLiteral("beleg.pdf"));
    }
    TestDatabase::Exec(QStringLiteral(
        "UPDATE picndoku SET pd_doktype = 'LS', pd_parentnodeident = 'belege' WHERE pd_id = %1;"
        "UPDATE picndoku_revision SET pdr_lock_user = 'anna' WHERE pdr_revision_id = "
        "(SELECT pd_revision_id FROM picndoku WHERE pd_id = %1);"
        "UPDATE picndoku_revision SET pdr_lock_user = NULL WHERE pdr_revision_id = "
        "(SELECT pd_revision_id FROM picndoku WHERE pd_id = %1)")
                           .arg(second));
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(pdg_type || '=' || coalesce(pdg_info, ''), "
                                    "',' ORDER BY pdg_id) FROM picndoku_log WHERE pdg_pd_id = %1")
                         .arg(second)),
              QStringLiteral("Revision=beleg.pdf,Dokumenttyp=RE -> LS,Ordner= -> belege,"
                             "Gesperrt=anna,Entsperrt=anna"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT DISTINCT insert_by FROM picndoku_log")),
              QStringLiteral("postgres"));

    // The old revision's window lists both and shows the valid one on request.
    s_dm->SetIsAdmin(true);
    open(first);
    TFrameDokumentEigenschaften* fr = frame();
    TServSQL2* revisions = fr->sqlRevisions;
    ASSERT_EQ(revisions->RecordCount(), 2);
    ASSERT_TRUE(revisions->Locate(QStringLiteral("pd_id"), first));
    fr->PopupRevisionsPopup();
    EXPECT_FALSE(fr->miSelectRevision->isEnabled());
    ASSERT_TRUE(revisions->Locate(QStringLiteral("pd_id"), second));
    fr->PopupRevisionsPopup();
    EXPECT_TRUE(fr->miSelectRevision->isEnabled());
    fr->miSelectRevision->trigger();
    EXPECT_EQ(m_form->Dokument2->Id(), second);
    EXPECT_EQ(fr->AdminEdit(QStringLiteral("pd_id"))->text(), QString::number(second));
    // Its change log, with the rows of the other revision.
    EXPECT_GE(fr->sqlChangeLog->RecordCount(), 6);
    EXPECT_EQ(fr->GridChangeLog->GridFilterText(), QStringLiteral("pdg_pd_id = %1").arg(second));

    TestDatabase::Exec(QStringLiteral("DELETE FROM picndoku WHERE pd_id = %1").arg(first));
    EXPECT_EQ(scalar(QStringLiteral("SELECT pdg_type FROM picndoku_log WHERE pdg_pd_id = %1 "
                                    "ORDER BY pdg_id DESC LIMIT 1")
                         .arg(first)),
              QStringLiteral("Gelöscht"));
}

TEST_F(DokumentEigenschaftenTest, ARefusedPostKeepsTheUsersValuesAndTheFile) {
    const int id = addFile(QStringLiteral("LS"));
    open(id);
    TFrameDokumentEigenschaften* fr = frame();
    TestDatabase::Exec(QStringLiteral(
        "ALTER TABLE picndoku ADD CONSTRAINT kurz CHECK (length(coalesce(pd_txt, '')) < 5)"));
    fr->pd_txt->setFocus();
    QTest::keyClicks(fr->pd_txt, QStringLiteral("zu lang"));
    m_answers.Expect(QStringLiteral("Dokument: Änderungen speichern?"), Vcl::mrYes);
    EXPECT_ANY_THROW(m_form->Dokument2->Post());
    TestDatabase::Exec(QStringLiteral("ALTER TABLE picndoku DROP CONSTRAINT kurz"));
    EXPECT_TRUE(m_form->Dokument2->InEdit());
    EXPECT_EQ(fr->pd_txt->toPlainText(), QStringLiteral("zu lang"));
    m_answers.Expect(QStringLiteral("Dokument: Änderungen speichern?"), Vcl::mrYes);
    m_form->Dokument2->Post();
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_txt FROM picndoku WHERE pd_id = %1").arg(id)),
              QStringLiteral("zu lang"));

    // Another user takes the lock meanwhile: the post is refused with the lock's owner.
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku_revision SET pdr_lock_user = 'anna', "
                                      "pdr_lock_time = localtimestamp WHERE pdr_revision_id = "
                                      "(SELECT pd_revision_id FROM picndoku WHERE pd_id = %1)")
                           .arg(id));
    QTest::keyClicks(fr->pd_txt, QStringLiteral("!"));
    try {
        m_form->Dokument2->Post();
        ADD_FAILURE() << "a post over another user's lock went through";
    } catch (const std::exception& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("anna"))) << e.what();
    }
    EXPECT_TRUE(m_form->Dokument2->InEdit());
    EXPECT_EQ(fr->pd_txt->toPlainText(), QStringLiteral("zu lang!"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_txt FROM picndoku WHERE pd_id = %1").arg(id)),
              QStringLiteral("zu lang"));
    // The archive check cannot move the file of a locked document either.
    m_form->Dokument2->Cancel();
    TestDatabase::Exec(
        QStringLiteral("UPDATE picndoku SET pd_doktype = 'RE' WHERE pd_id = %1").arg(id));
    m_form->Dokument2->AssignToDokId(id);
    const QString before = fileOf(id);
    m_answers.Expect(QStringLiteral("Dokumenttyp: RE"), Vcl::mrYes);
    EXPECT_ANY_THROW(fr->btCheckDokTypPathClick());
    EXPECT_EQ(fileOf(id), before);
    EXPECT_TRUE(stored(before));
}

TEST_F(DokumentEigenschaftenTest, AFrameWithoutADocumentShowsNoMarksAndOffersNothing) {
    QWidget host;
    TDokument none;
    auto* fr = new TFrameDokumentEigenschaften(&host, &host);
    fr->SetDokument(&none);
    host.show();
    for (QLabel* mark : {fr->lbLinkSource, fr->lbDokumentLink, fr->lbLocked, fr->lbDelayed})
        EXPECT_FALSE(mark->isVisible()) << mark->objectName().toStdString();
    EXPECT_FALSE(fr->insert_Date->isEnabled());
    EXPECT_FALSE(fr->pd_date->isEnabled());
}

TEST_F(DokumentEigenschaftenTest, TheDocumentWindowOpensTheWindowAndRebuildsItsTreeOnClose) {
    TestDatabase::Exec(QStringLiteral(
        "DELETE FROM dokutreenodes; DELETE FROM dokutrees;"
        "INSERT INTO dokutrees (dtl_id, dtl_description, dtl_tablename) VALUES (1, 'Ablage', "
        "'adressen');"
        "INSERT INTO dokutreenodes (dtn_id, dtn_dtl_id, dtn_parentid, dtn_nodeid, dtn_caption, "
        "dtn_image) VALUES (1, 1, NULL, 'root', 'Adresse', 1)"));
    const int id = addFile(QStringLiteral("LS"));
    m_window = TFormKorvexGundForm::Create<TFormDokments>(nullptr, QStringList(),
                                                          QStringLiteral("adressen"),
                                                          QStringLiteral("5"), nullptr);
    m_window->Show();
    m_window->TreeMenuCreate(false);
    ASSERT_TRUE(m_window->TreeMenuSelect(QString::number(id)));
    m_window->acDocumentInfoProperties->trigger();
    m_form = m_window->findChild<TFormDoku*>();
    ASSERT_TRUE(m_form);
    EXPECT_EQ(m_form->Dokument2->Id(), id);
    EXPECT_EQ(m_form->windowTitle().contains(QStringLiteral("Dokument-Eigenschaften")), true);
    EXPECT_FALSE(m_form->StatusBar1ContainerBtDoku->isVisible());

    // A change made there shows in the tree once the window closes with Esc.
    TFrameDokumentEigenschaften* fr = frame();
    fr->pd_txt->setFocus();
    QTest::keyClicks(fr->pd_txt, QStringLiteral("Neu"));
    m_answers.Expect(QStringLiteral("Dokument: Änderungen speichern?"), Vcl::mrYes);
    m_form->Dokument2->Post();
    TestDatabase::Exec(
        QStringLiteral("UPDATE picndoku SET pd_descr = 'Umbenannt' WHERE pd_id = %1").arg(id));
    sendKey(fr->pd_txt, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_TRUE(!m_form || !m_form->isVisible());
    EXPECT_EQ(m_window->GetNodeId(), QString::number(id));
    EXPECT_EQ(m_window->GetNodeCaption(), QStringLiteral("Umbenannt"));

    // Ctrl+Q closes it too.
    m_window->acDocumentInfoProperties->trigger();
    QPointer<TFormDoku> second;
    for (TFormDoku* f : m_window->findChildren<TFormDoku*>())
        if (f->isVisible())
            second = f;
    ASSERT_TRUE(second);
    sendKey(second->FrameDokumentEigenschaften1->pd_path_user, Qt::Key_Q, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_TRUE(!second || !second->isVisible());
}

} // namespace
