#include "RecordInfoFixture.h"

#include "TVoskPopupMenu.h"

#include <EventGuard.h>

class ResubmissionTest : public RecordInfoFixture {
protected:
    // The dialog answers OK with these values; what it was preset with is kept.
    void Answer(const QDate& date, const QString& subject, int result = Vcl::mrOk) {
        UModulFormSeams::FormWvod.Set([this, date, subject, result](QWidget*) {
            return std::make_unique<RecordingWvod>([this, date, subject, result](RecordingWvod& d) {
                m_preset = {
                    d.Date.toString(Qt::ISODate), d.User, d.Betreff, d.Text, d.dbrid, d.Reference};
                d.Date = date;
                d.Betreff = subject;
                d.Text = QStringLiteral("Text");
                return result;
            });
        });
    }
    static QString Rows() {
        return TestDatabase::Scalar(QStringLiteral(
            "SELECT string_agg(rc_wvod || ' ' || rc_betreff || ' ' || rc_user, ', ' ORDER BY "
            "rc_wvod) FROM recnocomments"));
    }
    QStringList m_preset;
};

TEST_F(ResubmissionTest, MenuListsTheRecordsResubmissionsPadded) {
    TFormAdress* f = OpenQuiet();
    const qint64 id = CurrentId(f);
    TestDatabase::Exec(
        QStringLiteral("INSERT INTO mitarbeiter (mitnr, m_login, m_name, m_vorname) VALUES "
                       "(53, 'carla', 'Berg', 'Carla') ON CONFLICT DO NOTHING;"
                       "INSERT INTO recnocomments (rc_tablename, rc_dbrid, rc_wvod, rc_user, "
                       "rc_betreff) VALUES "
                       "('adressen', %1, date '2030-03-01', 'carla', 'Anruf'), "
                       "('adressen', %1, date '2030-04-01', '%2', 'Besuch')")
            .arg(id)
            .arg(s_dm->LoginName()));
    f->PopUpWVODDate->aboutToShow();
    // The login's own first, then by date; a second opening makes them anew.
    f->PopUpWVODDate->aboutToShow();
    QList<TVoskMenuItem*> dated;
    for (TVoskMenuItem* i : f->PopUpWVODDate->Items())
        if (i->IsAutoLink())
            dated << i;
    ASSERT_EQ(dated.size(), 2);
    EXPECT_TRUE(dated[0]->text().endsWith(QStringLiteral(" - Besuch")));
    EXPECT_EQ(dated[1]->text(), QStringLiteral("01.03.2030 - Carla Berg") + QString(17, u' ') +
                                    QStringLiteral(" - Anruf"));
    EXPECT_GT(dated[1]->Tag(), 0);
}

TEST_F(ResubmissionTest, ANewOneInsertsOnlyAChangeReplacesTheOld) {
    TFormAdress* f = OpenQuiet();
    f->show();
    const qint64 id = CurrentId(f);
    Answer(QDate(2030, 5, 6), QString());
    f->BtWvodClick(f->PopUpWVODDate->Items().first());
    EXPECT_EQ(m_preset.mid(1, 1), QStringList({s_dm->LoginName()}));
    EXPECT_EQ(m_preset[4], QStringLiteral("0"));
    EXPECT_EQ(m_preset[5], f->windowTitle() + QStringLiteral("  ~  ") + f->EdName->text() +
                               QStringLiteral("            "));
    EXPECT_EQ(Rows(), QStringLiteral("2030-05-06 ??? ") + s_dm->LoginName());
    EXPECT_EQ(TestDatabase::Scalar(
                  QStringLiteral("SELECT rc_tablename || ':' || rc_dbrid || ':' || rc_wvod_params "
                                 "FROM recnocomments")),
              QStringLiteral("adressen:%1:Modul=TFormAdress\nControlEd=%2")
                  .arg(id)
                  .arg(f->EdName->text()));

    // Changing it: the dialog shows the stored one, the new row replaces it.
    const qint64 old =
        TestDatabase::Scalar(QStringLiteral("SELECT dbrid FROM recnocomments")).toLongLong();
    TVoskMenuItem item;
    item.SetTag(old);
    Answer(QDate(2030, 6, 1), QStringLiteral("Verschoben"));
    f->BtWvodClick(&item);
    EXPECT_EQ(m_preset.mid(0, 5),
              QStringList({QStringLiteral("2030-05-06"), s_dm->LoginName(), QStringLiteral("???"),
                           QStringLiteral("Text"), QString::number(old)}));
    EXPECT_EQ(Rows(), QStringLiteral("2030-06-01 Verschoben ") + s_dm->LoginName());

    // Cancelled: nothing changes.
    Answer(QDate(2031, 1, 1), QStringLiteral("Nie"), Vcl::mrCancel);
    f->BtWvodClick(f->PopUpWVODDate->Items().first());
    EXPECT_EQ(Rows(), QStringLiteral("2030-06-01 Verschoben ") + s_dm->LoginName());
}

TEST_F(ResubmissionTest, AFailingDeleteLeavesNeitherDuplicateNorLoss) {
    TFormAdress* f = OpenQuiet();
    const qint64 id = CurrentId(f);
    TestDatabase::Exec(
        QStringLiteral("INSERT INTO recnocomments (rc_tablename, rc_dbrid, rc_wvod, rc_user, "
                       "rc_betreff) VALUES "
                       "('adressen', %1, date '2030-01-01', 'x', 'gesperrt');"
                       "CREATE FUNCTION wvod_sperre() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                       "RAISE EXCEPTION 'Löschen gesperrt'; END $$;"
                       "CREATE TRIGGER wvod_sperre BEFORE DELETE ON recnocomments FOR EACH ROW "
                       "WHEN (OLD.rc_betreff = 'gesperrt') EXECUTE FUNCTION wvod_sperre();")
            .arg(id));
    TVoskMenuItem item;
    item.SetTag(
        TestDatabase::Scalar(QStringLiteral("SELECT dbrid FROM recnocomments")).toLongLong());
    Answer(QDate(2030, 2, 2), QStringLiteral("Neu"));
    m_answers.Expect(QStringLiteral("Löschen gesperrt"), Vcl::mrOk);
    Rtl::Guarded([&] { f->BtWvodClick(&item); }, f);
    TestDatabase::Exec(QStringLiteral("DROP TRIGGER wvod_sperre ON recnocomments; "
                                      "DROP FUNCTION wvod_sperre()"));
    EXPECT_EQ(Rows(), QStringLiteral("2030-01-01 gesperrt x"));
    EXPECT_FALSE(s_dm->Database().InTransaction());
    EXPECT_TRUE(f->LastOID.isEmpty());
}

TEST_F(ResubmissionTest, WithoutDialogOrCoordinatorNothingIsWritten) {
    TFormAdress* f = OpenQuiet();
    // As in an installation without the dialog's unit.
    UModulFormSeams::FormWvod.Reset();
    m_answers.Expect(QStringLiteral("Wiedervorlage-Dialog ist in dieser Installation nicht "
                                    "verfügbar"),
                     Vcl::mrOk);
    f->BtWvodClick(nullptr);

    auto* c = Vcl::Owned(f, new TVoskClass2(f), QStringLiteral("OhneSteuerung"));
    c->SetSqlTable(QStringLiteral("adressen"));
    c->Open();
    f->TopLabel->FSetDataSource(c);
    Answer(QDate(2030, 1, 1), QStringLiteral("x"));
    try {
        f->BtWvodClick(nullptr);
        ADD_FAILURE() << "a class without coordinator has no resubmission";
    } catch (const EVoskException& e) {
        EXPECT_TRUE(e.Message().startsWith(
            QStringLiteral("Kann an dieser Stelle keine Wiedervorlage aufrufen")));
    }
    f->TopLabel->FSetDataSource(f->DataAdressen);
    EXPECT_EQ(TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM recnocomments")),
              QStringLiteral("0"));
}
