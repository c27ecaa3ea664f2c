#include "RecordInfoFixture.h"

#include "AccessibleTree.h"

#include "RtlDialog.h"
#include "TVoskAlertWindow.h"
#include "TVoskStatusBar.h"
#include "UDataModul_Dunmere.h"
#include "UHostModules.h"

#include <QDate>
#include <QTest>
#include <QToolButton>

class StatusBarTest : public RecordInfoFixture {};

TEST_F(StatusBarTest, CreatedAndEditedShowDisplayNamesAndDates) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO mitarbeiter (mitnr, m_login, m_name, m_vorname) VALUES "
        "(51, 'anna', 'Schulz', 'Anna'), (52, 'bernd', 'Maier', 'Bernd') ON CONFLICT DO NOTHING;"
        "INSERT INTO adressen (name, insert_date, insert_by) VALUES "
        "('Stempel', timestamp '2024-03-05 10:00', 'anna');"
        "SELECT set_config('korvex.login', 'bernd', false);"
        "UPDATE adressen SET ort = 'Bonn' WHERE name = 'Stempel';"));
    TFormAdress* f = OpenQuiet();
    GoTo(f, IdOf(QStringLiteral("Stempel")));
    Tick(f);
    EXPECT_EQ(f->StatusBar1->PanelText(1), QStringLiteral("2024-03-05  Anna Schulz"));
    EXPECT_EQ(f->StatusBar1->PanelText(3),
              QDate::currentDate().toString(Qt::ISODate) + QStringLiteral("  Bernd Maier"));
    // A screen reader reads the stamps under their captions.
    const QStringList read = testsupport::AccessibleTexts(f->StatusBar1);
    EXPECT_TRUE(read.contains(QStringLiteral("Erstellt: 2024-03-05 Anna Schulz")))
        << read.join(u'\n').toStdString();
    EXPECT_TRUE(read.contains(QStringLiteral("Bearbeitet: ") +
                              QDate::currentDate().toString(Qt::ISODate) +
                              QStringLiteral(" Bernd Maier")));

    // A login without a user row stands as it is; a record never edited shows no edit.
    TestDatabase::Exec(QStringLiteral("INSERT INTO adressen (name, insert_date, insert_by) VALUES "
                                      "('Fremd', timestamp '2023-01-02 08:00', 'gast')"));
    f->DataAdressen->Refresh();
    GoTo(f, IdOf(QStringLiteral("Fremd")));
    Tick(f);
    EXPECT_EQ(f->StatusBar1->PanelText(1), QStringLiteral("2023-01-02  gast"));
    EXPECT_EQ(f->StatusBar1->PanelText(3), QString());

    // A quit the user cancels keeps the bar following the record.
    f->TimerShowWvodDokuHint->SetEnabled(true);
    Type(f->EdName, QStringLiteral("Fremd geaendert"));
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrCancel);
    EXPECT_FALSE(f->Close());
    EXPECT_TRUE(f->isVisible());
    EXPECT_TRUE(f->TimerShowWvodDokuHint->Enabled());
    f->DataAdressen->Cancel();
    GoTo(f, IdOf(QStringLiteral("Stempel")));
    Tick(f);
    EXPECT_EQ(f->StatusBar1->PanelText(1), QStringLiteral("2024-03-05  Anna Schulz"));

    // Without a record the panels are emptied.
    f->DataAdressen->Close();
    Tick(f);
    EXPECT_EQ(f->StatusBar1->PanelText(1), QString());
    EXPECT_TRUE(f->LastOID.isEmpty());
}

TEST_F(StatusBarTest, AQuitWhoseSaveTheServerRefusesLeavesTheBarFollowingTheRecord) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO adressen (name, insert_date, insert_by) VALUES "
        "('Quit Eins', timestamp '2024-06-01 10:00', 'eins'), "
        "('Quit Zwei', timestamp '2022-02-02 10:00', 'zwei')"));
    TFormAdress* f = Open();
    f->DataAdressen->Refresh();
    GoTo(f, IdOf(QStringLiteral("Quit Eins")));
    f->TimerShowWvodDokuHint->SetInterval(5);
    f->TimerShowWvodDokuHint->SetEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return f->StatusBar1->PanelText(1) == QStringLiteral("2024-06-01  eins"); }));

    // plz is varchar(10): the server refuses the save the user agreed to on quitting.
    f->DataAdressen->FieldByName(QStringLiteral("plz")).SetAsString(QStringLiteral("123456789012"));
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes)
        .Expect(QStringLiteral("Das Feld „PLZ“ darf höchstens 10 Zeichen lang sein."), Vcl::mrOk);
    EXPECT_FALSE(f->Close());
    EXPECT_EQ(m_answers.Questions().size(), 2u);
    EXPECT_TRUE(f->isVisible());
    EXPECT_TRUE(f->TimerShowWvodDokuHint->Enabled());

    f->DataAdressen->Cancel();
    GoTo(f, IdOf(QStringLiteral("Quit Zwei")));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return f->StatusBar1->PanelText(1) == QStringLiteral("2022-02-02  zwei"); }))
        << f->StatusBar1->PanelText(1).toStdString();
    f->TimerShowWvodDokuHint->SetEnabled(false);
}

TEST_F(StatusBarTest, ResubmissionButtonShowsTheLoginsNextDateOnly) {
    TFormAdress* f = OpenQuiet();
    const qint64 id = CurrentId(f);
    Tick(f);
    EXPECT_EQ(f->BtWvod->text(), QString()) << "no resubmission, no caption";

    // Another user's earlier date does not count; the login's own earliest does.
    TestDatabase::Exec(QStringLiteral("INSERT INTO recnocomments (rc_tablename, rc_dbrid, rc_wvod, "
                                      "rc_user, rc_betreff) VALUES "
                                      "('adressen', %1, date '2030-01-05', 'jemand', 'fremd'), "
                                      "('adressen', %1, date '2030-02-01', '%2', 'spaeter'), "
                                      "('adressen', %1, date '2030-01-20', '%2', 'frueher')")
                           .arg(id)
                           .arg(s_dm->LoginName()));
    f->ResetStatusBar();
    Tick(f);
    EXPECT_EQ(f->BtWvod->text(), QStringLiteral("*20.01.2030*"));
    EXPECT_TRUE(testsupport::AccessibleTexts(f->StatusBar1)
                    .contains(QStringLiteral("Wiedervorlage | 20.01.2030")));
}

TEST_F(StatusBarTest, ANewNotePopsUpOnceAndNotAgainOnTheParentShowingIt) {
    const qint64 parent = IdOf(QStringLiteral("Adresse 03"));
    const qint64 child = IdOf(QStringLiteral("Adresse 04"));
    const QString text = QString(600, u'x');
    TestDatabase::Exec(
        QStringLiteral("INSERT INTO recnocomments (rc_tablename, rc_dbrid, rc_parent_dbrid, "
                       "rc_user, rc_betreff, "
                       "rc_text, rc_date) VALUES ('adressen', %1, %2, 'anna', 'Lieferstopp', '%3', "
                       "timestamp '2026-05-04 12:30')")
            .arg(child)
            .arg(parent)
            .arg(text));
    TFormAdress* f = OpenQuiet();
    GoTo(f, child);
    Tick(f);
    EXPECT_TRUE(IsRed(f->BtHistorie));
    ASSERT_TRUE(f->AlertWindow);
    EXPECT_EQ(f->AlertWindow->Caption(), QStringLiteral("Notiz: Lieferstopp"));
    const QString body = QStringLiteral("anna - 04.05.2026 12:30\r\n\r\n") + text + "\r\n";
    EXPECT_EQ(f->AlertWindow->Text(), body.left(500) + QStringLiteral("\r\n"));
    f->AlertWindow->hide();

    GoTo(f, parent);
    Tick(f);
    EXPECT_TRUE(IsBlue(f->BtHistorie));
    EXPECT_TRUE(f->AlertWindow->isHidden());

    // A record without notes: blue, and the next note there pops up again.
    GoTo(f, IdOf(QStringLiteral("Adresse 05")));
    Tick(f);
    EXPECT_TRUE(IsBlue(f->BtHistorie));
    EXPECT_TRUE(f->LastHintID.isEmpty());
}

TEST_F(StatusBarTest, AsDialogTheMemoEditorGetsTheWholeNoteReadOnly) {
    const qint64 id = IdOf(QStringLiteral("Adresse 06"));
    const QString text = QString(700, u'y');
    TestDatabase::Exec(
        QStringLiteral(
            "INSERT INTO recnocomments (rc_tablename, rc_dbrid, rc_user, rc_betreff, rc_text, "
            "rc_date) "
            "VALUES ('adressen', %1, 'anna', 'Bonität', '%2', timestamp '2026-05-04 12:30')")
            .arg(id)
            .arg(text));
    s_dm->SetBoolSetting(QStringLiteral("recnocomments_cbHinweisAlsDialog"), true);
    struct Call {
        QString field, text;
        int caret;
        bool readOnly, rtf;
    };
    std::vector<Call> calls;
    const auto old = RtlDialog::FEditTextS.Get();
    RtlDialog::FEditTextS.Set(
        [&](const QString& field, const QString& t, int caret, bool ro, bool rtf, QChar, bool) {
            calls.push_back({field, t, caret, ro, rtf});
            return t;
        });
    TFormAdress* f = OpenQuiet();
    GoTo(f, id);
    Tick(f);
    RtlDialog::FEditTextS.Set(old);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].field, QStringLiteral("Notiz: Bonität"));
    EXPECT_EQ(calls[0].text, QStringLiteral("anna - 04.05.2026 12:30\r\n\r\n") + text + "\r\n");
    EXPECT_EQ(calls[0].caret, 99999);
    EXPECT_TRUE(calls[0].readOnly);
    EXPECT_FALSE(calls[0].rtf);
    EXPECT_FALSE(f->AlertWindow);
}

TEST_F(StatusBarTest, PropertiesSoftlinksAndDocumentsAreRedOnlyWhenTheRecordHasThem) {
    const qint64 with = IdOf(QStringLiteral("Adresse 07"));
    const qint64 without = IdOf(QStringLiteral("Adresse 08"));
    TestDatabase::Exec(
        QStringLiteral(
            "INSERT INTO recnogroup (reg_pname, reg_tablename) VALUES ('Rabatt', 'adressen');"
            "INSERT INTO recnokeyword (r_tablename, r_dbrid, r_reg_pname, r_descr, r_value) VALUES "
            "('adressen', %1, 'Rabatt', 'Rabatt', '3');"
            "INSERT INTO picndoku (pd_tablename, pd_dbrid) VALUES ('adressen', %1);")
            .arg(with));
    TFormAdress* f = OpenQuiet();
    GoTo(f, with);
    Tick(f);
    EXPECT_TRUE(IsRed(f->BtEigenschaften));
    EXPECT_TRUE(IsRed(f->BtDoku));
    EXPECT_TRUE(IsBlue(f->BtSoftlink));
    GoTo(f, without);
    Tick(f);
    EXPECT_TRUE(IsBlue(f->BtEigenschaften));
    EXPECT_TRUE(IsBlue(f->BtDoku));

    // A parameter defined for another form class does not count for this one.
    TestDatabase::Exec(
        QStringLiteral(
            "INSERT INTO recnogroup (reg_pname, reg_formclass) VALUES ('Nur Lager', 'TFormLager');"
            "INSERT INTO recnokeyword (r_tablename, r_dbrid, r_reg_pname) VALUES "
            "('adressen', %1, 'Nur Lager');"
            "INSERT INTO softlink (slink_table, slink_type, slink_bez, slink_sql) VALUES "
            "('adressen', 'LINK', 'Karte', 'https://example.org/<#ort#>')")
            .arg(without));
    TVoskDM_Dunmere::Instance()->ClearCache();
    f->ResetStatusBar();
    Tick(f);
    EXPECT_TRUE(IsBlue(f->BtEigenschaften));
    EXPECT_TRUE(IsRed(f->BtSoftlink));
}

TEST_F(StatusBarTest, DocumentsByClassKeyAndNeverOnTheEditTable) {
    const qint64 a = IdOf(QStringLiteral("Adresse 09"));
    const qint64 b = IdOf(QStringLiteral("Adresse 10"));
    // Documents hang on the town: a kept document with the keyword (Ort, town of a) belongs to a.
    TestDatabase::Exec(
        QStringLiteral(
            "INSERT INTO dokuclasskey VALUES ('adressen', 'Ort', 'ort');"
            "WITH d AS (INSERT INTO picndoku (pd_tablename, pd_dbrid, pd_deletable) "
            "VALUES ('lager', 1, false) RETURNING dbrid) "
            "INSERT INTO recnokeyword (r_tablename, r_dbrid, r_kategorie, r_descr) "
            "SELECT 'picndoku', d.dbrid, 'Ort', (SELECT ort FROM adressen WHERE dbrid = %1) FROM d;"
            "INSERT INTO picndoku (pd_tablename, pd_dbrid) VALUES ('adressen', %2);")
            .arg(a)
            .arg(b));
    TFormAdress* f = OpenQuiet();
    GoTo(f, a);
    Tick(f);
    EXPECT_TRUE(IsRed(f->BtDoku));
    // With a class key the record's own documents by table do not count.
    GoTo(f, b);
    Tick(f);
    EXPECT_TRUE(IsBlue(f->BtDoku));

    GoTo(f, a);
    f->DataAdressen->setObjectName(QStringLiteral("ServSqlEditTable"));
    f->ResetStatusBar();
    Tick(f);
    EXPECT_TRUE(IsBlue(f->BtDoku));
    f->DataAdressen->setObjectName(QStringLiteral("DataAdressen"));
}

TEST_F(StatusBarTest, AFailingTickEmptiesThePanelsAndRunsAgain) {
    TFormAdress* f = OpenQuiet();
    Tick(f);
    ASSERT_FALSE(f->StatusBar1->PanelText(1).isEmpty());
    // The server function the panels need is gone: nothing reaches the user, the timer goes on.
    TestDatabase::Exec(QStringLiteral("ALTER FUNCTION nameAufloesen(text) RENAME TO nameweg"));
    Click(f, nbNext);
    f->TimerShowWvodDokuHint->SetEnabled(true);
    f->TimerFastHelpTimer(f->TimerShowWvodDokuHint);
    TestDatabase::Exec(QStringLiteral("ALTER FUNCTION nameweg(text) RENAME TO nameAufloesen"));
    EXPECT_TRUE(f->TimerShowWvodDokuHint->Enabled());
    EXPECT_EQ(f->StatusBar1->PanelText(1), QString());
    EXPECT_EQ(f->StatusBar1->PanelText(3), QString());
    EXPECT_TRUE(m_answers.Questions().empty());
}

TEST_F(StatusBarTest, EveryTickQueryUsesAnIndex) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO recnocomments (rc_tablename, rc_dbrid, rc_parent_dbrid, rc_betreff, rc_wvod) "
        "SELECT 'adressen', 100000 + i, CASE WHEN i % 3 = 0 THEN 200000 + i END, 'n', "
        "CASE WHEN i % 5 = 0 THEN date '2030-01-01' END FROM generate_series(1, 200000) i;"
        "INSERT INTO picndoku (pd_tablename, pd_dbrid, pd_deletable) "
        "SELECT 'adressen', 100000 + i, i % 2 = 0 FROM generate_series(1, 50000) i;"
        "INSERT INTO recnogroup (reg_pname) VALUES ('P');"
        "INSERT INTO recnokeyword (r_tablename, r_dbrid, r_kategorie, r_descr, r_reg_pname) "
        "SELECT 'picndoku', i, 'Ort', 'Ort ' || i, CASE WHEN i % 2 = 0 THEN 'P' END "
        "FROM generate_series(1, 50000) i;"
        "INSERT INTO dokuclasskey VALUES ('adressen', 'Ort', 'ort');"
        "ANALYZE recnocomments; ANALYZE picndoku; ANALYZE recnokeyword;"));
    auto seqScans = [] {
        s_dm->LoadVar(QStringLiteral("SELECT pg_stat_force_next_flush()"));
        s_dm->LoadVar(QStringLiteral("SELECT pg_stat_clear_snapshot()"));
        return s_dm
            ->LoadVar(
                QStringLiteral("SELECT sum(seq_scan) FROM pg_stat_user_tables WHERE relname IN "
                               "('recnocomments', 'picndoku', 'recnokeyword')"))
            .toLongLong();
    };
    TFormAdress* f = OpenQuiet();
    const qint64 before = seqScans();
    for (int i = 0; i < 3; ++i) {
        Tick(f);
        // The document key of a record without a class key row takes the other query.
        TestDatabase::Exec(i == 0 ? QStringLiteral("DELETE FROM dokuclasskey")
                                  : QStringLiteral("SELECT 1"));
        TVoskDM_Dunmere::Instance()->RefreshCache(QStringLiteral("dokuclasskey"), false);
        Click(f, nbNext);
    }
    f->PopUpWVODDatePopup();
    EXPECT_EQ(seqScans(), before);
}

TEST_F(StatusBarTest, TheEditedButtonShowsWhoChangedWhatInTheAddress) {
    UHostModules::Register();
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO f2poss (modulname, feldname, f2_standard) "
        "VALUES ('TFormAdress', 'BtAuditLog', 'ADRESSEN_AENDERUNGEN'); "
        "INSERT INTO modul_field (modulname, feldname) VALUES ('TFormAdress', 'BtAuditLog')"));
    s_dm->ClearQueryCache();
    TFormAdress* f = OpenQuiet();
    // The module has a change log: its button is a link.
    EXPECT_TRUE(IsBlue(f->BtAuditLog));
    const qint64 id = CurrentId(f);
    const QString before = f->EdOrt->text();
    Type(f->EdOrt, QStringLiteral("Neustadt"));
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes);
    f->DataAdressen->Post();

    f->BtAuditLog->click();
    QApplication::processEvents();
    TFormF2List* list = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* l = qobject_cast<TFormF2List*>(w); l && l->isVisible())
            list = l;
    ASSERT_TRUE(list);
    ASSERT_GE(list->ListResult->count(), 1);
    // Newest first: the town, from what to what, and by whom.
    const QVariantMap newest = list->ListResult->RowOf(list->ListResult->item(0));
    EXPECT_EQ(newest.value(QStringLiteral("aktion")).toString(), QStringLiteral("geändert"));
    EXPECT_EQ(newest.value(QStringLiteral("feld")).toString(), QStringLiteral("ort"));
    EXPECT_EQ(newest.value(QStringLiteral("alt")).toString(), before);
    EXPECT_EQ(newest.value(QStringLiteral("neu")).toString(), QStringLiteral("Neustadt"));
    const QString who = newest.value(QStringLiteral("benutzer")).toString();
    EXPECT_FALSE(who.isEmpty());
    EXPECT_TRUE(who == s_dm->LoginName() ||
                who == TestDatabase::Scalar(QStringLiteral("SELECT nameAufloesen('%1')")
                                                .arg(s_dm->LoginName())));
    // Only this address's changes are listed.
    EXPECT_EQ(list->ListResult->count(),
              TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM adressen_log WHERE "
                                                  "al_table = 'adressen' AND al_dbrid = %1")
                                       .arg(id))
                  .toInt());
    list->close();
    TestDatabase::Exec(
        QStringLiteral("UPDATE adressen SET ort = '%1' WHERE dbrid = %2; "
                       "DELETE FROM adressen_log WHERE al_dbrid = %2 AND al_action = 'geändert'; "
                       "DELETE FROM f2poss WHERE feldname = 'BtAuditLog'; "
                       "DELETE FROM modul_field WHERE feldname = 'BtAuditLog'")
            .arg(before)
            .arg(id));
    s_dm->ClearQueryCache();
    UHostModules::Unregister();
}

TEST_F(StatusBarTest, TheEditedButtonListsEveryChangeTheBarShowsAStampOf) {
    UHostModules::Register();
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO f2poss (modulname, feldname, f2_standard) "
        "VALUES ('TFormAdress', 'BtAuditLog', 'ADRESSEN_AENDERUNGEN'); "
        "INSERT INTO modul_field (modulname, feldname) VALUES ('TFormAdress', 'BtAuditLog'); "
        "INSERT INTO adressen (name, insert_date, insert_by) VALUES "
        "('Gespeichert', timestamp '2024-03-05 10:00', 'anja'); "
        "SELECT set_config('korvex.login', 'bruno', false); "
        // A save that changed no value, as a module's post of an untouched record does.
        "UPDATE adressen SET telefon = telefon WHERE name = 'Gespeichert'; "
        "SELECT set_config('korvex.login', '', false)"));
    s_dm->ClearQueryCache();
    TFormAdress* f = OpenQuiet();
    f->DataAdressen->Refresh();
    GoTo(f, IdOf(QStringLiteral("Gespeichert")));
    Tick(f);
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    ASSERT_EQ(f->StatusBar1->PanelText(3), today + QStringLiteral("  bruno"));

    f->BtAuditLog->click();
    QApplication::processEvents();
    TFormF2List* list = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* l = qobject_cast<TFormF2List*>(w); l && l->isVisible())
            list = l;
    ASSERT_TRUE(list);
    ASSERT_EQ(list->ListResult->count(), 2);
    const QVariantMap changed = list->ListResult->RowOf(list->ListResult->item(0));
    EXPECT_EQ(changed.value(QStringLiteral("aktion")).toString(), QStringLiteral("geändert"));
    EXPECT_EQ(changed.value(QStringLiteral("benutzer")).toString(), QStringLiteral("bruno"));
    EXPECT_EQ(changed.value(QStringLiteral("zeitpunkt")).toString().left(10),
              QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
    const QVariantMap created = list->ListResult->RowOf(list->ListResult->item(1));
    EXPECT_EQ(created.value(QStringLiteral("aktion")).toString(), QStringLiteral("angelegt"));
    EXPECT_EQ(created.value(QStringLiteral("benutzer")).toString(), QStringLiteral("anja"));
    EXPECT_EQ(created.value(QStringLiteral("zeitpunkt")).toString(),
              QStringLiteral("05.03.2024 10:00"));
    list->close();
    TestDatabase::Exec(QStringLiteral("DELETE FROM f2poss WHERE feldname = 'BtAuditLog'; "
                                      "DELETE FROM modul_field WHERE feldname = 'BtAuditLog'"));
    s_dm->ClearQueryCache();
    UHostModules::Unregister();
}
