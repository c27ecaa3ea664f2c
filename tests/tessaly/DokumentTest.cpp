// The document object against the private cluster: which documents a record shows, what their
// lock rows say, how files and revisions are stored all or nothing, and the rights per type.

#include <Dataclient_files.h>
#include <FaultPoint.h>
#include <TUserRights.h>
#include <TestDatabase.h>
#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>
#include <VoskPipeline.h>
#include <VoskTransaction.h>

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>
#include <stdexcept>

using testsupport::TestDatabase;

namespace {

QString scalar(const QString& sql) { return TestDatabase::Scalar(sql); }

class DokumentTest : public testsupport::DbTest {
protected:
    void SetUp() override {
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM picndokulink; DELETE FROM picndoku; DELETE FROM picndoku_revision;"
            "DELETE FROM dms_file; DELETE FROM dokutypes_rights; DELETE FROM dokutypes;"
            "DELETE FROM recnokeyword WHERE r_tablename = 'picndoku';"
            "DELETE FROM mitarbeiter WHERE mitnr IN (71, 72);"
            "INSERT INTO mitarbeiter (mitnr, m_login, m_admin) VALUES (71, 'anna', false), "
            "(72, 'chefin', true);"
            "INSERT INTO dokutypes (dt_id, dt_descr, dt_parentnodeid, dt_parentnodeid_default, "
            "dt_config, dt_write_once) VALUES "
            "('RE', 'Rechnung', 'belege', false, 'ImportMode = copy\r\nDefaultPath=/tmp/re', "
            "false), ('LS', 'Lieferschein', 'belege', true, NULL, false), "
            "('VT', 'Vertrag', 'vertraege', false, NULL, true)"));
        m_dm.Connect();
        m_dm.SetLoginName(QStringLiteral("anna"));
        DMSDokuTypes().Refresh();
    }
    void TearDown() override { Rtl::FaultHook.Reset(); }

    // A document row of record (adressen, dbrid) with the given columns.
    static int addRow(qint64 dbrid, const QString& columns = {}, const QString& values = {}) {
        return scalar(QStringLiteral("INSERT INTO picndoku (pd_tablename, pd_dbrid%1) VALUES "
                                     "('adressen', %2%3) RETURNING pd_id")
                          .arg(columns.isEmpty() ? QString() : QStringLiteral(", ") + columns)
                          .arg(dbrid)
                          .arg(values.isEmpty() ? QString() : QStringLiteral(", ") + values))
            .toInt();
    }
    int addFile(TDokument& d, const QByteArray& bytes, const QString& name) {
        QBuffer b;
        b.setData(bytes);
        b.open(QIODevice::ReadOnly);
        return d.DMSAddFileAsBLOB(b, name, QStringLiteral("adressen"), QStringLiteral("5"));
    }
    static QByteArray contents(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    TDM1 m_dm;
};

TEST_F(DokumentTest, ARecordShowsItsOwnAndLinkedDocumentsWithoutHiddenOnes) {
    const int own = addRow(5, QStringLiteral("pd_descr"), QStringLiteral("'Angebot'"));
    const int hidden = addRow(5, QStringLiteral("pd_deletable"), QStringLiteral("true"));
    const int foreign = scalar(QStringLiteral("INSERT INTO picndoku (pd_tablename, pd_dbrid, "
                                              "pd_dokumentfile) VALUES ('lager', 9, 'plan.pdf') "
                                              "RETURNING pd_id"))
                            .toInt();
    addRow(6);
    TestDatabase::Exec(QStringLiteral("INSERT INTO picndokulink (pdl_pd_id, pdl_tablename, "
                                      "pdl_dbrid) VALUES (%1, 'adressen', 5)")
                           .arg(foreign));
    TDokument d;
    d.LoadByRecord(QStringLiteral("adressen"), QStringLiteral("5"), false);
    ASSERT_EQ(d.RecordCount(), 2);
    ASSERT_TRUE(d.Locate(QString::fromLatin1(TDokument::fnId), own));
    EXPECT_EQ(d.Caption(), QStringLiteral("Angebot"));
    EXPECT_FALSE(d.IsLinked());
    EXPECT_TRUE(d.isCustomFolder());
    ASSERT_TRUE(d.Locate(QString::fromLatin1(TDokument::fnId), foreign));
    EXPECT_TRUE(d.IsLinked());
    EXPECT_EQ(d.Caption(), QStringLiteral("plan.pdf"));
    EXPECT_EQ(d.ParamByName(QStringLiteral("PDTABLENAME")).toString(), QStringLiteral("adressen"));
    EXPECT_FALSE(d.FindParam(QStringLiteral("rvalue")).has_value());

    d.LoadByRecord(QStringLiteral("adressen"), QStringLiteral("5"), true);
    EXPECT_EQ(d.RecordCount(), 3);
    EXPECT_TRUE(d.Locate(QString::fromLatin1(TDokument::fnId), hidden));
    // A record id that is no number names no record.
    d.LoadByRecord(QStringLiteral("adressen"), QStringLiteral("5 OR 1=1"), true);
    EXPECT_EQ(d.RecordCount(), 0);
}

// Every row of a browse as the tree reads it, by document id.
QStringList browsedRows(TDokument& d) {
    QStringList out;
    for (int row = 0; d.BrowseTo(row); ++row)
        out << QStringLiteral("%1 %2 rev=%3 linked=%4 hidden=%5 type=%6 lock=%7")
                   .arg(d.Id())
                   .arg(d.Caption())
                   .arg(d.HasRevisions())
                   .arg(d.IsLinked())
                   .arg(d.IsHidden())
                   .arg(d.DokTypeDescr(), d.LockUser());
    return out;
}

TEST_F(DokumentTest, ABrowseOnAPipelineReadsTheRecordsRowsAsOneAloneDoes) {
    // Revisions in the record, one whose other revision lives in another record, a linked
    // document of another record, one of the record's own linked to it as well, a hidden one.
    const int single = addRow(5, QStringLiteral("pd_descr, pd_doktype"),
                              QStringLiteral("'Einzeln', 'RE'"));
    const int oldRev = addRow(5, QStringLiteral("pd_descr, pd_deletable"),
                              QStringLiteral("'Alt', true"));
    const int newRev = scalar(QStringLiteral("INSERT INTO picndoku (pd_tablename, pd_dbrid, "
                                             "pd_descr, pd_revision_id) SELECT 'adressen', 5, "
                                             "'Neu', pd_revision_id FROM picndoku WHERE pd_id = %1 "
                                             "RETURNING pd_id")
                                  .arg(oldRev))
                           .toInt();
    const int away = addRow(5, QStringLiteral("pd_descr"), QStringLiteral("'Auswärts'"));
    TestDatabase::Exec(QStringLiteral("INSERT INTO picndoku (pd_tablename, pd_dbrid, "
                                      "pd_revision_id) SELECT 'lager', 9, pd_revision_id FROM "
                                      "picndoku WHERE pd_id = %1")
                           .arg(away));
    const int foreign = scalar(QStringLiteral("INSERT INTO picndoku (pd_tablename, pd_dbrid, "
                                              "pd_dokumentfile) VALUES ('lager', 9, 'plan.pdf') "
                                              "RETURNING pd_id"))
                            .toInt();
    const int ownLinked = addRow(5, QStringLiteral("pd_descr"), QStringLiteral("'Doppelt'"));
    TestDatabase::Exec(QStringLiteral("INSERT INTO picndokulink (pdl_pd_id, pdl_tablename, "
                                      "pdl_dbrid) VALUES (%1, 'adressen', 5), (%2, 'adressen', 5);"
                                      "UPDATE picndoku_revision SET pdr_lock_user = 'anna' "
                                      "WHERE pdr_revision_id = (SELECT pd_revision_id FROM "
                                      "picndoku WHERE pd_id = %2)")
                           .arg(foreign)
                           .arg(ownLinked));
    addRow(6);

    TDokument alone, queued;
    for (const bool hidden : {false, true}) {
        alone.BrowseByRecord(QStringLiteral("adressen"), QStringLiteral("5"), hidden);
        TVoskPipeline reads(queued.Database());
        const int at =
            queued.BrowseByRecord(reads, QStringLiteral("adressen"), QStringLiteral("5"), hidden);
        reads.Run();
        ASSERT_FALSE(reads.Error(at));
        const QStringList rows = browsedRows(alone);
        EXPECT_EQ(browsedRows(queued), rows);
        const auto row = [&](int id) {
            return rows.filter(QRegularExpression(QStringLiteral("^%1 ").arg(id))).value(0);
        };
        EXPECT_EQ(rows.size(), hidden ? 6 : 5);
        EXPECT_EQ(row(single), QStringLiteral("%1 Einzeln rev=0 linked=0 hidden=0 type=Rechnung "
                                              "lock=").arg(single));
        EXPECT_EQ(row(newRev), QStringLiteral("%1 Neu rev=1 linked=0 hidden=0 type= lock=")
                                   .arg(newRev));
        EXPECT_EQ(row(oldRev), hidden ? QStringLiteral("%1 Alt rev=1 linked=0 hidden=1 type= "
                                                       "lock=").arg(oldRev)
                                      : QString());
        EXPECT_EQ(row(away), QStringLiteral("%1 Auswärts rev=1 linked=0 hidden=0 type= lock=")
                                 .arg(away));
        EXPECT_EQ(row(foreign), QStringLiteral("%1 plan.pdf rev=0 linked=1 hidden=0 type= lock=")
                                    .arg(foreign));
        EXPECT_EQ(row(ownLinked), QStringLiteral("%1 Doppelt rev=0 linked=0 hidden=0 type= "
                                                 "lock=anna").arg(ownLinked));
    }
    // A type narrows the linked documents as it does the record's own.
    TestDatabase::Exec(
        QStringLiteral("UPDATE picndoku SET pd_doktype = 'RE' WHERE pd_id = %1").arg(foreign));
    alone.AssignToRecNo(QStringLiteral("adressen"), QStringLiteral("5"), nullptr,
                        QStringLiteral("RE"));
    ASSERT_EQ(alone.RecordCount(), 2);
    EXPECT_TRUE(alone.Locate(QString::fromLatin1(TDokument::fnId), single));
    EXPECT_TRUE(alone.Locate(QString::fromLatin1(TDokument::fnId), foreign));
    EXPECT_TRUE(alone.IsLinked());

    // The same for a keyword, which marks nothing as linked.
    TestDatabase::Exec(QStringLiteral("INSERT INTO recnokeyword (r_tablename, r_dbrid, "
                                      "r_kategorie, r_descr) SELECT 'picndoku', dbrid, 'Ort', "
                                      "'Hamm' FROM picndoku WHERE pd_id IN (%1, %2)")
                           .arg(newRev)
                           .arg(foreign));
    alone.BrowseByKeyword(QStringLiteral("Ort"), QStringLiteral("Hamm"), false);
    TVoskPipeline reads(queued.Database());
    queued.BrowseByKeyword(reads, QStringLiteral("Ort"), QStringLiteral("Hamm"), false);
    reads.Run();
    EXPECT_EQ(browsedRows(queued), browsedRows(alone));
    EXPECT_EQ(browsedRows(queued),
              QStringList({QStringLiteral("%1 Neu rev=1 linked=0 hidden=0 type= lock=").arg(newRev),
                           QStringLiteral("%1 plan.pdf rev=0 linked=0 hidden=0 type=Rechnung lock=")
                               .arg(foreign)}));
}

TEST_F(DokumentTest, KeywordsFindDocumentsAcrossTablesAndLoadingStopsAtTheLimit) {
    TestDatabase::Exec(QStringLiteral(
        "WITH d AS (INSERT INTO picndoku (pd_tablename, pd_dbrid, pd_descr) "
        "SELECT 'lager', i, 'Teil ' || i FROM generate_series(1, 1005) i RETURNING dbrid) "
        "INSERT INTO recnokeyword (r_tablename, r_dbrid, r_kategorie, r_descr) "
        "SELECT 'picndoku', dbrid, 'Ort', 'Hamm' FROM d"));
    TDokument d;
    d.AssignToKeyword(QStringLiteral("Ort"), QStringLiteral("Hamm"), false);
    EXPECT_EQ(d.RecordCount(), TDokument::MaxDocuments);
    EXPECT_TRUE(d.LimitReached());
    d.AssignToKeyword(QStringLiteral("Ort"), QStringLiteral("Unna"), false);
    EXPECT_EQ(d.RecordCount(), 0);
    EXPECT_FALSE(d.LimitReached());
}

TEST_F(DokumentTest, LockRowsTellWhoHoldsTheDocument) {
    const int mine = addRow(5);
    const int theirs = addRow(5, QStringLiteral("pd_dokumentfile"), QStringLiteral("'a.tif'"));
    TestDatabase::Exec(
        QStringLiteral(
            "UPDATE picndoku_revision r SET pdr_lock_user = CASE d.pd_id WHEN %1 THEN 'ANNA' "
            "ELSE 'bert' END, pdr_checkout_path = '/home/anna/KORVEX ERP/a.tif', "
            "pdr_lock_time = '2024-03-01 10:00', pdr_lock_host = CASE d.pd_id WHEN %1 THEN '%2' "
            "ELSE 'pc7' END FROM picndoku d WHERE d.pd_revision_id = r.pdr_revision_id")
            .arg(mine)
            .arg(TDokument::ThisHost()));
    TDokument d;
    d.AssignToDokId(mine);
    EXPECT_TRUE(d.isLocked());
    EXPECT_FALSE(d.isLocked(true));
    EXPECT_TRUE(d.isLockedByMe());
    EXPECT_FALSE(d.LockedElsewhere());
    EXPECT_EQ(d.GetLockedPath(), QStringLiteral("/home/anna/KORVEX ERP/a.tif"));
    // The same check-out taken on another machine: its copy is not here.
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku_revision SET pdr_lock_host = 'pc9' WHERE "
                                      "pdr_lock_user = 'ANNA'"));
    d.AssignToDokId(mine);
    EXPECT_TRUE(d.LockedElsewhere());
    EXPECT_EQ(d.GetLockedPath(), QString());
    d.AssignToDokId(theirs);
    EXPECT_TRUE(d.isLocked(true));
    EXPECT_FALSE(d.isLockedByMe());
    EXPECT_EQ(d.GetLockedPath(), QString());
    EXPECT_EQ(d.GetLockedInfo(), QStringLiteral("Gesperrt von bert auf pc7 seit 01.03.2024 10:00"));
    // Another user's lock refuses a new revision before anything is stored.
    QBuffer b;
    b.setData("neu");
    b.open(QIODevice::ReadOnly);
    EXPECT_THROW(d.CreateNewRevision(b, 0, QStringLiteral("file")), EVoskException);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM dms_file")), QStringLiteral("0"));
}

TEST_F(DokumentTest, ARevisionIsANewRowAndTheOldBytesStay) {
    TDokument d;
    d.InsertData() = {true, QStringLiteral("Rechnung März"), QStringLiteral("RE"),
                      QStringLiteral("R-17"), QStringLiteral("belege"), QString()};
    const int first = addFile(d, "Version 1", QStringLiteral("/home/anna/rechnung.pdf"));
    EXPECT_EQ(d.Id(), first);
    EXPECT_EQ(d.Caption(), QStringLiteral("Rechnung März"));
    EXPECT_EQ(d.DokType(), QStringLiteral("RE"));
    EXPECT_TRUE(d.isDMSDokument());
    EXPECT_TRUE(d.isDMSViewDokument());
    EXPECT_TRUE(d.DMSRemoteFilename().startsWith(QStringLiteral("RE/rechnung_")));
    TestDatabase::Exec(QStringLiteral("INSERT INTO recnokeyword (r_tablename, r_dbrid, "
                                      "r_kategorie, r_descr) SELECT 'picndoku', dbrid, 'Ort', "
                                      "'Hamm' FROM picndoku WHERE pd_id = %1")
                           .arg(first));
    const QString firstFile = d.DMSRemoteFilename();
    TDCFileMethods store(&d.Database());
    const QByteArray note("<annotation/>");
    store.WriteAnnotation(&note, firstFile, 0);

    QBuffer b;
    b.setData("Version 2");
    b.open(QIODevice::ReadOnly);
    const int second = d.CreateNewRevision(b, 0x75, QStringLiteral("image"));
    EXPECT_NE(second, first);
    EXPECT_EQ(d.Id(), second);
    EXPECT_TRUE(d.HasRevisions());
    EXPECT_NE(d.DMSRemoteFilename(), firstFile);
    // The new revision starts with the annotations of the one before; then each has its own.
    EXPECT_EQ(store.ReadAnnotation(d.DMSRemoteFilename(), 0), note);
    store.WriteAnnotation(nullptr, d.DMSRemoteFilename(), 0);
    EXPECT_EQ(store.ReadAnnotation(firstFile, 0), note);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(DISTINCT pd_revision_id) FROM picndoku")),
              QStringLiteral("1"));
    // Each revision's MD5 is that of its own bytes, as the server reckons it.
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FILTER (WHERE pd_md5 = md5(lo_get(oid))) FROM "
                                    "picndoku JOIN dms_file ON name = pd_dmsremotefile")),
              QStringLiteral("2"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_deletable FROM picndoku WHERE pd_id = %1")
                         .arg(first)),
              QStringLiteral("t"));
    QTemporaryDir dir;
    EXPECT_EQ(contents(d.DMSGetFile(dir.filePath(QStringLiteral("neu.pdf")))), "Version 2");
    // The keyword goes on with the valid revision: the record's keyword load finds it once.
    d.AssignToKeyword(QStringLiteral("Ort"), QStringLiteral("Hamm"), false);
    ASSERT_EQ(d.RecordCount(), 1);
    EXPECT_EQ(d.Id(), second);

    d.AssignToDokId(first);
    EXPECT_TRUE(d.IsHidden());
    EXPECT_EQ(contents(d.DMSGetFile(dir.filePath(QStringLiteral("alt.pdf")))), "Version 1");
    // With revisions, a file is not replaced in place.
    EXPECT_THROW(d.DMSSetServerFile(b, QStringLiteral("x.pdf")), EVoskException);
}

// What a document object read is what its writes start from. Once another connection (chefin)
// made a newer revision, a revision, a rename, a delete or a save's lock from the old row is
// refused with the valid revision, who made it and when, and signalled; the rows stay as they
// were. A hidden revision loaded as such may still be renamed or deleted, never revised; and a
// revision deleted under the object counts as replaced.
TEST_F(DokumentTest, AWriteFromARowNoLongerTheValidRevisionIsRefusedWithTheValidOne) {
    TDokument old;
    old.InsertData() = {true, QStringLiteral("Plan"), QStringLiteral("RE"), {}, {}, {}};
    const int first = addFile(old, "Version 1", QStringLiteral("plan.pdf"));
    TDM1 chefin(nullptr, false);
    chefin.Connect();
    chefin.SetLoginName(QStringLiteral("chefin"));
    TDokument other;
    other.SetDatabase(&chefin.Database());
    other.AssignToDokId(first);
    QBuffer v2;
    v2.setData("Version 2");
    v2.open(QIODevice::ReadOnly);
    const int second = other.CreateNewRevision(v2, 0x75, QStringLiteral("file"));
    const QString rows = QStringLiteral(
        "SELECT string_agg(concat_ws(':', pd_id, pd_descr, pd_deletable), ',' ORDER BY pd_id) "
        "|| '/' || (SELECT count(*) FROM dms_file) FROM picndoku");
    const QString before = scalar(rows);

    QList<int> signalled;
    QObject::connect(&old, &TDokument::revisionStale, [&](int id) { signalled << id; });
    const auto refusal = [&](const std::function<void()>& write) -> QString {
        try {
            write();
        } catch (const TDokument::EStaleRevision& e) {
            EXPECT_EQ(e.ValidId, second);
            EXPECT_EQ(e.ChangedBy, QStringLiteral("chefin"));
            EXPECT_TRUE(e.ChangedAt.isValid());
            return e.Message();
        }
        return QStringLiteral("kein Einwand");
    };
    QBuffer v3;
    v3.setData("Version 3");
    v3.open(QIODevice::ReadOnly);
    const QString message =
        refusal([&] { old.CreateNewRevision(v3, 0x75, QStringLiteral("file")); });
    EXPECT_TRUE(message.startsWith(QStringLiteral("Das Dokument \"Plan\" wurde inzwischen von "
                                                  "chefin am ")))
        << message.toStdString();
    EXPECT_TRUE(message.endsWith(QStringLiteral("Es wurde nichts gespeichert.")))
        << message.toStdString();
    old.Edit();
    old.FieldByName(QString::fromLatin1(TDokument::fnCaption)).SetValue(QStringLiteral("Alt"));
    refusal([&] { old.Post(); });
    old.Cancel();
    refusal([&] { old.Delete(); });
    refusal([&] {
        TVoskTransaction tx(old.Database());
        old.LockForSave();
    });
    EXPECT_EQ(signalled, QList<int>(4, second));
    EXPECT_EQ(scalar(rows), before);
    EXPECT_EQ(old.Id(), first);

    // Loaded as the hidden revision it is: a rename goes, a revision does not.
    old.AssignToDokId(first);
    ASSERT_TRUE(old.IsHidden());
    old.Edit();
    old.FieldByName(QString::fromLatin1(TDokument::fnCaption)).SetValue(QStringLiteral("Alt"));
    old.Post();
    QBuffer v4;
    v4.setData("Version 4");
    v4.open(QIODevice::ReadOnly);
    refusal([&] { old.CreateNewRevision(v4, 0x75, QStringLiteral("file")); });

    // The valid revision deleted under an object that shows it: the chain goes on with the one
    // made valid, and the object's writes are refused with it.
    TDokument shown;
    shown.AssignToDokId(second);
    other.AssignToDokId(second);
    other.Delete();
    QObject::connect(&shown, &TDokument::revisionStale, [&](int id) { signalled << id; });
    try {
        shown.Delete();
        ADD_FAILURE() << "a deleted revision was deleted again";
    } catch (const TDokument::EStaleRevision& e) {
        EXPECT_EQ(e.ValidId, first);
    }
}

// Names leaving the store keep their extension and stay apart, however long they are.
TEST_F(DokumentTest, ExportedAndCopiedNamesKeepTheirExtensionAndStayApart) {
    QTemporaryDir out;
    const auto exported = [&](int id) {
        TDokument d;
        d.AssignToDokId(id);
        const QString path = d.DMSDoAutoExport();
        EXPECT_EQ(QFileInfo(path).absolutePath(), QDir(out.path()).absolutePath());
        return path;
    };
    const auto bytesOf = [](const QString& name) { return QFile::encodeName(name).size(); };
    // Two names alike in their first 100 characters: two files, each a PDF with its own bytes.
    const QString common = QStringLiteral("Angebot ") + QString(100, u'x');
    TDokument a, b;
    const int first = addFile(a, "A", common + QStringLiteral(" A.pdf"));
    const int second = addFile(b, "B", common + QStringLiteral(" B.pdf"));
    // Three bytes a letter: the stored name is over 255 bytes.
    TDokument c;
    const int euro = addFile(c, "C", QString(100, QChar(0x20ac)) + QStringLiteral(".pdf"));
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_autoexport = '%1'").arg(out.path()));
    QStringList names;
    for (const auto& [id, bytes] : {std::pair{first, "A"}, {second, "B"}, {euro, "C"}}) {
        const QString path = exported(id);
        EXPECT_TRUE(path.endsWith(QStringLiteral(".pdf"))) << path.toStdString();
        EXPECT_LE(bytesOf(QFileInfo(path).fileName()), 255);
        EXPECT_EQ(contents(path), QByteArray(bytes));
        names << QFileInfo(path).fileName();
    }
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files).size(), 3) << names.join(u'|').toStdString();
    // Cut, the generated name keeps its time stamp and unique suffix.
    EXPECT_TRUE(
        names[2].contains(QRegularExpression(QStringLiteral("_\\d{8}-\\d{9}-[0-9a-f]{6}\\.pdf$"))))
        << names[2].toStdString();
    // Names of the store's own making aside: two long ones alike to the cut end in their ids.
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_dokumentfile = repeat('ö', 200) || "
                                      "pd_id || '.pdf' WHERE pd_id IN (%1, %2)")
                           .arg(first)
                           .arg(second));
    const QString one = exported(first), two = exported(second);
    EXPECT_TRUE(one.endsWith(QStringLiteral("_%1.pdf").arg(first))) << one.toStdString();
    EXPECT_TRUE(two.endsWith(QStringLiteral("_%1.pdf").arg(second))) << two.toStdString();
    EXPECT_EQ(contents(one), QByteArray("A"));
    EXPECT_EQ(contents(two), QByteArray("B"));

    // A copy under the original name: cut to 255 bytes, still a PDF.
    c.AssignToDokId(euro);
    const QString copy = c.DMSGetFile();
    EXPECT_TRUE(copy.endsWith(QStringLiteral(".pdf"))) << copy.toStdString();
    EXPECT_LE(bytesOf(QFileInfo(copy).fileName()), 255);
    EXPECT_EQ(contents(copy), QByteArray("C"));
    const QString numbered = QFileInfo(c.DMSGetFile({}, true, false)).fileName();
    EXPECT_TRUE(numbered.startsWith(QString::number(euro) + u'_')) << numbered.toStdString();
    EXPECT_TRUE(numbered.endsWith(QStringLiteral(".pdf"))) << numbered.toStdString();
    EXPECT_LE(bytesOf(numbered), 255);
}

TEST_F(DokumentTest, AFailureAnywhereInAStoreLeavesNoRowAndNoBytes) {
    for (const char* point : {"TDCFileMethods.WriteFile.chunk", "TDokument.storeFile.rows",
                              "TDokument.storeFile.commit"}) {
        Rtl::FaultHook.Set([point](const char* p) {
            if (qstrcmp(p, point) == 0)
                throw std::runtime_error(point);
        });
        TDokument d;
        EXPECT_THROW(addFile(d, "Bytes", QStringLiteral("scan.tif")), std::runtime_error)
            << point;
        EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM picndoku")), QStringLiteral("0"));
        EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM dms_file")), QStringLiteral("0"));
        EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM pg_largeobject_metadata")),
                  QStringLiteral("0"));
    }
}

// A new document comes back from the statement that stores it: what it holds must be what a
// load reads, and the row must stay editable.
TEST_F(DokumentTest, ANewDocumentIsReturnedAsALoadReadsItAndCostsOneRoundTrip) {
    TDokument d;
    d.InsertData() = {true, QStringLiteral("Rechnung 1"), QStringLiteral("RE"), QStringLiteral("K-1"),
                      QStringLiteral("archiv"), QStringLiteral("scan")};
    addFile(d, "erste", QStringLiteral("r1.pdf")); // prepares the statement
    const qint64 before = m_dm.Database().RoundTrips();
    const int id = addFile(d, "zweite", QStringLiteral("r2.pdf"));
    EXPECT_EQ(m_dm.Database().RoundTrips() - before, 1);

    TDokument loaded;
    loaded.AssignToDokId(id, QStringLiteral("adressen"), QStringLiteral("5"));
    ASSERT_EQ(d.RecordCount(), 1);
    ASSERT_EQ(d.FieldNames(), loaded.FieldNames());
    for (int c = 0; c < d.FieldCount(); ++c)
        EXPECT_EQ(d.Fields(c).Value(), loaded.Fields(c).Value()) << d.FieldNames()[c].toStdString();
    EXPECT_EQ(d.DokType(), QStringLiteral("RE"));
    EXPECT_FALSE(d.isLocked());
    EXPECT_EQ(scalar(QStringLiteral("SELECT pdr_checkout_ask_user::text FROM picndoku_revision r "
                                    "JOIN picndoku p ON p.pd_revision_id = r.pdr_revision_id "
                                    "WHERE p.pd_id = %1").arg(id)),
              QStringLiteral("true"));

    // Editable as any loaded row; a refresh reads the same document again.
    d.FieldByName(QString::fromLatin1(TDokument::fnCaption)).SetValue(QStringLiteral("Umbenannt"));
    d.Post(false);
    d.Refresh();
    EXPECT_EQ(d.Id(), id);
    EXPECT_EQ(scalar(QStringLiteral("SELECT pd_descr FROM picndoku WHERE pd_id = %1").arg(id)),
              QStringLiteral("Umbenannt"));

    // Inside the caller's transaction the store is a step of it: rolled back, nothing stays.
    const QString count = scalar(QStringLiteral("SELECT count(*) FROM picndoku"));
    {
        TVoskTransaction tx(d.Database());
        addFile(d, "dritte", QStringLiteral("r3.pdf"));
        EXPECT_TRUE(tx.Open());
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM picndoku")), count);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM dms_file")), count);
}

TEST_F(DokumentTest, ANewDocumentPostedInTheCallersTransactionNeedsItsBytes) {
    // As a viewer saves a scan: insert, name the file, store the bytes, post, all in one
    // transaction of the caller.
    TDokument d;
    d.AssignToRecNo(QStringLiteral("adressen"), QStringLiteral("5"));
    {
        TVoskTransaction tx(d.Database());
        d.Insert();
        d.FieldByName(QStringLiteral("pd_tablename")).SetValue(QStringLiteral("adressen"));
        d.FieldByName(QStringLiteral("pd_dbrid")).SetValue(5);
        d.FieldByName(QString::fromLatin1(TDokument::fnFileName))
            .SetValue(TDokument::DMSGenerateFileName(QStringLiteral(".tiff")));
        QBuffer b;
        b.setData("II*\0");
        b.open(QIODevice::ReadOnly);
        TDCFileMethods(&d.Database()).WriteFile(b, d.DMSRemoteFilename());
        d.Post(true);
        tx.Commit();
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM picndoku p JOIN dms_file f ON "
                                    "f.name = p.pd_dmsremotefile")),
              QStringLiteral("1"));
    // Without the bytes the commit is refused and nothing stays.
    {
        TVoskTransaction tx(d.Database());
        d.Insert();
        d.FieldByName(QStringLiteral("pd_tablename")).SetValue(QStringLiteral("adressen"));
        d.FieldByName(QStringLiteral("pd_dbrid")).SetValue(5);
        d.FieldByName(QString::fromLatin1(TDokument::fnFileName))
            .SetValue(QStringLiteral("fehlt.tiff"));
        d.Post(true);
        EXPECT_THROW(tx.Commit(), EVoskException);
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM picndoku")), QStringLiteral("1"));
}

TEST_F(DokumentTest, RightsPerTypeWithTheUsersRowBeforeEveryonesAndAdminsAllowed) {
    TestDatabase::Exec(QStringLiteral(
        "INSERT INTO dokutypes_rights (dtr_dt_id, dtr_action, dtr_mitnr, dtr_allowed) VALUES "
        "('RE', 5, 0, false), ('RE', 6, 0, false), ('RE', 6, 71, true)"));
    EXPECT_FALSE(TUserRights::CanDoDMSFileAction(QStringLiteral("RE"), 3, 5, false));
    EXPECT_TRUE(TUserRights::CanDoDMSFileAction(QStringLiteral("RE"), 3, 6, false));
    EXPECT_TRUE(TUserRights::CanDoDMSFileAction(QStringLiteral("RE"), 3, 0, false));
    EXPECT_TRUE(TUserRights::CanDoDMSFileAction(QStringLiteral("LS"), 3, 5, false));
    try {
        TUserRights::CanDoDMSFileAction(QStringLiteral("RE"), 3, 5, true);
        ADD_FAILURE() << "no refusal";
    } catch (const EUserRights& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Keine Berechtigung für \"Drucken\" bei Dokumenten "
                                              "des Typs \"RE\" (Dokument 3)"));
    }
    // The server asks the same rule before a document is added.
    TestDatabase::Exec(QStringLiteral("INSERT INTO dokutypes_rights VALUES ('RE', 2, 71, false)"));
    EXPECT_EQ(m_dm.LoadVar(QStringLiteral("SELECT (picndoku_adding_forbidden('RE', false)).reason"))
                  .toString(),
              QStringLiteral("Keine Berechtigung, Dokumente des Typs RE anzulegen"));
    m_dm.SetLoginName(QStringLiteral("chefin"));
    EXPECT_TRUE(TUserRights::CanDoDMSFileAction(QStringLiteral("RE"), 3, 5, true));
    EXPECT_FALSE(m_dm.LoadBool(QStringLiteral("SELECT (picndoku_adding_forbidden('RE', false)).result")));
}

TEST_F(DokumentTest, TypesGiveTheirConfigurationAndTheFolderDefault) {
    EXPECT_EQ(DMSDokuTypes().Config(QStringLiteral("RE"), QStringLiteral("importmode")),
              QStringLiteral("copy"));
    EXPECT_EQ(DMSDokuTypes().Config(QStringLiteral("RE"), QStringLiteral("DefaultPath")),
              QStringLiteral("/tmp/re"));
    EXPECT_EQ(DMSDokuTypes().Config(QStringLiteral("LS"), QStringLiteral("ImportMode"),
                                    QStringLiteral("ask")),
              QStringLiteral("ask"));
    EXPECT_EQ(DMSDokuTypes().FindByParentNode(QStringLiteral("BELEGE")), QStringLiteral("LS"));
    EXPECT_TRUE(DMSDokuTypes().WriteOnce(QStringLiteral("VT")));
    // A write-once type allows no change; neither does an archived document.
    const int vt = addRow(5, QStringLiteral("pd_doktype"), QStringLiteral("'VT'"));
    const int archived = addRow(5, QStringLiteral("pd_archive"), QStringLiteral("true"));
    TDokument d;
    d.AssignToDokId(vt);
    EXPECT_FALSE(d.ChangeAllowed());
    d.AssignToDokId(archived);
    EXPECT_FALSE(d.ChangeAllowed());
    EXPECT_EQ(m_dm.LoadVar(QStringLiteral("SELECT (picndoku_editing_forbidden(:id)).reason"),
                           {{QStringLiteral("id"), archived}})
                  .toString(),
              QStringLiteral("Das Dokument ist archiviert"));
}

} // namespace

TEST_F(DokumentTest, StampRightsByStampUserAndTypeWhicheverOrderTheNamesCome) {
    TestDatabase::Exec(QStringLiteral(
        "DELETE FROM doksealrights;"
        "INSERT INTO doksealrights (dsr_seal, dsr_dt_id, dsr_mitnr, dsr_action, dsr_allowed) VALUES "
        "('Geprüft', NULL, 0, 2, false), ('Geprüft', 'RE', 71, 2, true), "
        "('Bezahlt', NULL, 0, 3, false)"));
    TUserRights::ReloadStampRights();
    const QString anna = TUserRights::UserKey();
    EXPECT_EQ(anna, QStringLiteral("anna"));
    // The stamp choice passes (user, stamp), the save check (stamp, user).
    EXPECT_TRUE(TUserRights::CanDoDMSStampAction(QStringLiteral("RE"), anna, QStringLiteral("Geprüft"), 3, 2, false));
    EXPECT_FALSE(TUserRights::CanDoDMSStampAction(QStringLiteral("LS"), QStringLiteral("Geprüft"), anna, 3, 2, false));
    EXPECT_TRUE(TUserRights::CanDoDMSStampAction(QStringLiteral("LS"), QStringLiteral("Geprüft"), anna, 3, 3, false));
    EXPECT_FALSE(TUserRights::CanDoDMSStampAction(QStringLiteral("LS"), QStringLiteral("Bezahlt"), QStringLiteral("otto"), 3, 3, false));
    EXPECT_TRUE(TUserRights::CanDoDMSStampAction(QStringLiteral("LS"), QStringLiteral("Neu"), anna, 3, 2, false));
    try {
        TUserRights::CanDoDMSStampAction(QStringLiteral("LS"), anna, QStringLiteral("Geprüft"), 9, 2, true);
        ADD_FAILURE() << "no refusal";
    } catch (const EUserRights& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Keine Berechtigung für den Stempel \"Geprüft\" (Stempeln) "
                                              "bei Dokumenten des Typs \"LS\" (Dokument 9)"));
    }
    m_dm.SetLoginName(QStringLiteral("chefin")); // administrators may everything
    EXPECT_TRUE(TUserRights::CanDoDMSStampAction(QStringLiteral("LS"), QStringLiteral("Geprüft"), anna, 3, 2, false));
    TestDatabase::Exec(QStringLiteral("DELETE FROM doksealrights"));
    TUserRights::ReloadStampRights();
}
