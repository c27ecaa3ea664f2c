// Locks and check-outs with two users at once: two connections of their own (anna and bert) on
// the suite's database, a temporary documents folder, the lock menu driven as a user does.

#include "FrameworkFixture.h"

#include <TVoskLabel.h>
#include <TVoskQuestionForm.h>
#include <UDokuPopupMenu.h>
#include <UImpDoku.h>
#include <VoskPrinters.h>
#include <UConstants.h>
#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>
#include <Vcl.Forms.h>
#include <TVoskDataModel.h>
#include <TVoskGridView.h>
#include <TVoskPopupMenu.h>
#include <VoskControls.h>
#include <VoskTransaction.h>
#include <FaultPoint.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <thread>

#include <cstdio>

using testsupport::TestDatabase;

void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QString scalar(const QString& sql) { return TestDatabase::Scalar(sql); }

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// What an editor does on save: a new file beside the copy, renamed over it, a little later.
void saveAsEditor(const QString& path, const QByteArray& bytes) {
    const QString temp = path + QStringLiteral(".~tmp");
    writeFile(temp, bytes);
    QFile f(temp);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    f.close();
    ASSERT_EQ(std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()),
              0);
}

QString sha256(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

class DmsLockFault : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM picndokulink; DELETE FROM picndoku; DELETE FROM picndoku_revision;"
            "DELETE FROM dms_file; DELETE FROM dokutypes_rights; DELETE FROM dokutypes;"
            "DELETE FROM mitarbeiter WHERE lower(m_login) IN ('anna', 'bert');"
            "INSERT INTO mitarbeiter (mitnr, m_login, m_admin) VALUES (81, 'anna', false), "
            "(82, 'bert', false);"
            "INSERT INTO dokutypes (dt_id, dt_descr, dt_parentnodeid, dt_archive_default, "
            "dt_auto_revision) VALUES ('RE', 'Rechnung', 'belege', false, false), "
            "('AR', 'Archivbeleg', 'belege', true, false), "
            "('AU', 'Automatisch', 'belege', false, true)"));
        // bert works in this session (the global data module); anna on a connection of her own.
        s_dm->SetLoginName(QStringLiteral("bert"));
        m_anna.Connect();
        m_anna.SetLoginName(QStringLiteral("anna"));
        DMSDokuTypes().Refresh();
        CurrentSession_UConstants().SetDocumentsPath(m_docs.path());
        m_form.setObjectName(QStringLiteral("FormTest"));
        m_parent = new QAction(QStringLiteral("Bearbeiten"), &m_form);
        m_menuBar.addAction(m_parent);
        TSperrDokuPopupMenu::CtrlHeld = [this] { return m_ctrl; };
        m_printers.old = Corvale::Printers::SetInstance(&m_printers);
    }
    void TearDown() override {
        Rtl::FaultHook.Reset();
        delete m_window.data();
        QCoreApplication::processEvents();
        Corvale::Printers::SetInstance(m_printers.old);
        TSperrDokuPopupMenu::CtrlHeld = nullptr;
        CurrentSession_UConstants().SetDocumentsPath(QString());
        s_dm->SetLoginName(QStringLiteral("postgres"));
    }

    // A stored document of anna's, read by a document object on her connection.
    int addDocument(TDokument& doc, const QByteArray& bytes, const QString& name,
                    const QString& type = QStringLiteral("RE")) {
        doc.SetDatabase(&m_anna.Database());
        doc.InsertData() = {true, QString(), type, QString(), QStringLiteral("belege"), QString()};
        QBuffer b;
        b.setData(bytes);
        b.open(QIODevice::ReadOnly);
        return doc.DMSAddFileAsBLOB(b, name, QStringLiteral("adressen"), QStringLiteral("5"));
    }
    static QString lockRow(int pdId) {
        return scalar(QStringLiteral("SELECT concat_ws('|', r.pdr_lock_user, r.pdr_checkout_path, "
                                     "CASE WHEN r.pdr_lock_user IS NOT NULL THEN "
                                     "r.pdr_checkout_ask_user END) FROM picndoku d JOIN "
                                     "picndoku_revision r ON r.pdr_revision_id = d.pd_revision_id "
                                     "WHERE d.pd_id = %1")
                          .arg(pdId));
    }
    static QString rowsState() {
        return scalar(QStringLiteral(
            "SELECT string_agg(concat_ws(',', pd_id, pd_descr, pd_deletable, pd_dmsremotefile), "
            "';' ORDER BY pd_id) || '/' || (SELECT string_agg(sha256, ',' ORDER BY name) FROM "
            "dms_file) FROM picndoku"));
    }
    TSperrDokuPopupMenu* menuFor(TDokument& doc) {
        auto* menu = new TSperrDokuPopupMenu(m_parent, &doc, nullptr, false);
        menu->CreateSubItems(true);
        return menu;
    }

    // anna's document window on the session's connection, watching with monitor rows.
    TFormDokments* openWindow() {
        s_dm->SetLoginName(QStringLiteral("anna"));
        m_window = TFormKorvexGundForm::Create<TFormDokments>(
            nullptr, QStringList(), QStringLiteral("adressen"), QStringLiteral("5"), nullptr);
        m_window->resize(900, 600);
        m_window->Show();
        m_window->TreeMenuCreate(false);
        m_window->acEditWaitDialog->setChecked(false);
        return m_window;
    }
    static QPushButton* updateButton(TPanel* row) {
        return row ? row->findChild<QPushButton*>(QStringLiteral("btDocumentCheckUpdate"))
                   : nullptr;
    }
    // Events go on until the row's button offers the take-back, at most two seconds.
    static bool waitForChange(TPanel* row) {
        for (int i = 0; i < 200; ++i) {
            if (updateButton(row)->isEnabled() &&
                updateButton(row)->text() ==
                    QStringLiteral("Dokument entsperren und Änderung übernehmen"))
                return true;
            QTest::qWait(10);
        }
        return false;
    }

    struct Printers final : Corvale::Printers {
        bool PrintDocument(const QTextDocument*, const QString&, QWidget*) override { return true; }
        QStringList PrinterNames() override { return {}; }
        Corvale::Printers* old = nullptr;
    } m_printers;
    QPointer<TFormDokments> m_window;
    QTemporaryDir m_docs;
    TDM1 m_anna{nullptr, false};
    Vcl::TForm m_form;
    QMenu m_menuBar;
    QAction* m_parent = nullptr;
    bool m_ctrl = false;
};

TEST_F(DmsLockFault, OnlyTheHolderWritesAndAnAdministratorReleasesAfterTheQuestion) {
    TDokument annasDoc;
    const int id = addDocument(annasDoc, "Fassung 1", QStringLiteral("rechnung.txt"));
    const QString copy = TSperrDokuPopupMenu::FreeWorkingCopyPath(
        CurrentSession_UConstants().DocumentsDir(), annasDoc.OrigFileName());
    annasDoc.LockRevision(copy);
    EXPECT_EQ(contents(copy), QByteArray("Fassung 1"));
    EXPECT_EQ(lockRow(id), QStringLiteral("anna|%1|t").arg(copy));
    EXPECT_TRUE(annasDoc.isLockedByMe());
    const QString before = rowsState();

    TDokument bertsDoc; // on the session's connection
    bertsDoc.AssignToDokId(id);
    EXPECT_TRUE(bertsDoc.isLocked(true));
    const auto refusedWithAnna = [&](const std::function<void()>& write, const char* what) {
        try {
            write();
            ADD_FAILURE() << what << " was not refused";
        } catch (const EVoskException& e) {
            EXPECT_TRUE(e.Message().startsWith(
                QStringLiteral("Gesperrt von anna auf %1 seit ").arg(TDokument::ThisHost())))
                << what;
        }
        if (bertsDoc.InEdit())
            bertsDoc.Cancel();
        EXPECT_EQ(rowsState(), before) << what;
    };
    const QString bertsCopy = m_docs.filePath(QStringLiteral("bert.txt"));
    writeFile(bertsCopy, "Berts Fassung");
    refusedWithAnna([&] { bertsDoc.LockRevision(); }, "lock");
    refusedWithAnna([&] { bertsDoc.LockRevision(m_docs.filePath(QStringLiteral("b2.txt"))); },
                    "check-out");
    refusedWithAnna([&] { bertsDoc.CreateNewRevision(bertsCopy, 0, QStringLiteral("file")); },
                    "new revision");
    refusedWithAnna([&] { bertsDoc.DMSSetServerFile(bertsCopy); }, "take-back");
    refusedWithAnna(
        [&] {
            bertsDoc.Edit();
            bertsDoc.FieldByName(QStringLiteral("pd_descr")).SetAsString(QStringLiteral("neu"));
            bertsDoc.Post(false);
        },
        "post");
    refusedWithAnna([&] { bertsDoc.Delete(); }, "delete");
    EXPECT_FALSE(QFileInfo::exists(m_docs.filePath(QStringLiteral("b2.txt"))));
    // bert's own unlock: nothing changes, the item is off for him.
    refusedWithAnna([&] { bertsDoc.UnlockRevision(); }, "unlock");
    std::unique_ptr<TSperrDokuPopupMenu> menu(menuFor(bertsDoc));
    EXPECT_FALSE(menu->miRevisionUnlock->isEnabled());
    EXPECT_EQ(lockRow(id), QStringLiteral("anna|%1|t").arg(copy));

    // Made administrator, bert releases anna's lock through the server after question 31011.
    TestDatabase::Exec(QStringLiteral("UPDATE mitarbeiter SET m_admin = true WHERE mitnr = 82"));
    s_dm->SetLoginName(QStringLiteral("bert"));
    menu->CreateSubItems(true);
    ASSERT_TRUE(menu->miRevisionUnlock->isEnabled());
    m_answers.Expect(QStringLiteral("durch jemand anderes gesperrt"), Vcl::mrYes);
    menu->miRevisionUnlock->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);
    // It is one of the document locks' questions that "Nicht mehr fragen" silences.
    EXPECT_EQ(m_answers.Questions().back().checkBoxCaption, QStringLiteral("Nicht mehr fragen"));
    EXPECT_EQ(lockRow(id), QStringLiteral(""));
    EXPECT_FALSE(bertsDoc.isLocked());

    // anna's window still shows her check-out; taking it back is refused, her copy stays.
    writeFile(copy, "Fassung 2");
    EXPECT_THROW(annasDoc.CreateNewRevision(copy, 0, QStringLiteral("file")), EVoskException);
    EXPECT_THROW(annasDoc.DMSSetServerFile(copy), EVoskException);
    EXPECT_EQ(contents(copy), QByteArray("Fassung 2"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM picndoku")), QStringLiteral("1"));
}

TEST_F(DmsLockFault, OfTwoUsersLockingAtOnceExactlyOneWins) {
    TDokument annasDoc;
    const int id = addDocument(annasDoc, "x", QStringLiteral("plan.txt"));
    TDokument bertsDoc;
    bertsDoc.AssignToDokId(id);
    // bert's update waits for anna's open transaction and then finds the row taken.
    TVoskTransaction tx(m_anna.Database());
    annasDoc.LockRevision();
    std::atomic<bool> bertDone = false;
    QString bertsError;
    std::thread bert([&] {
        try {
            bertsDoc.LockRevision();
        } catch (const EVoskException& e) {
            bertsError = e.Message();
        }
        bertDone = true;
    });
    // Wait until bert blocks on the row, seen from the server.
    for (int i = 0; i < 500 && scalar(QStringLiteral(
                                   "SELECT count(*) FROM pg_stat_activity WHERE wait_event_type "
                                   "= 'Lock' AND datname = current_database()")) == u'0';
         ++i)
        QThread::msleep(10);
    EXPECT_FALSE(bertDone);
    tx.Commit();
    bert.join();
    EXPECT_TRUE(bertsError.startsWith(QStringLiteral("Gesperrt von anna")));
    EXPECT_EQ(lockRow(id), QStringLiteral("anna|t"));
}

TEST_F(DmsLockFault, CheckOutWritesAFreshCopyAndNeverOverwrites) {
    TDokument doc;
    const int id = addDocument(doc, "Inhalt", QStringLiteral("../../etc/brief.txt"));
    // The row's name reduced to a file name; a taken name gets the next free suffix.
    const QString folder = CurrentSession_UConstants().DocumentsDir();
    EXPECT_TRUE(folder.startsWith(m_docs.path()));
    EXPECT_TRUE(folder.contains(QStringLiteral("/KORVEX ERP")));
    writeFile(QDir(folder).filePath(QStringLiteral("brief.txt")), "alt");
    writeFile(QDir(folder).filePath(QStringLiteral("brief_1.txt")), "alt");
    EXPECT_EQ(TSperrDokuPopupMenu::FreeWorkingCopyPath(folder, QStringLiteral("..")),
              QDir(folder).filePath(QStringLiteral("_")));
    EXPECT_EQ(TSperrDokuPopupMenu::FreeWorkingCopyPath(folder, QStringLiteral("a\\b\\brief.txt")),
              QDir(folder).filePath(QStringLiteral("brief_2.txt")));
    EXPECT_EQ(TSperrDokuPopupMenu::FreeWorkingCopyPath(folder, QStringLiteral("liesmich")),
              QDir(folder).filePath(QStringLiteral("liesmich")));

    // An existing file is never overwritten and nothing is recorded.
    EXPECT_THROW(doc.LockRevision(QDir(folder).filePath(QStringLiteral("brief.txt"))), EVoskException);
    EXPECT_EQ(contents(QDir(folder).filePath(QStringLiteral("brief.txt"))), QByteArray("alt"));
    EXPECT_EQ(lockRow(id), QStringLiteral(""));
    // A failure before the commit leaves no copy behind.
    Rtl::FaultHook.Set([](const char* point) {
        if (QByteArray(point) == "TDokument.LockRevision.commit")
            throw EVoskException(QStringLiteral("Verbindung verloren"));
    });
    const QString copy = QDir(folder).filePath(QStringLiteral("brief_2.txt"));
    EXPECT_THROW(doc.LockRevision(copy), EVoskException);
    Rtl::FaultHook.Reset();
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_EQ(lockRow(id), QStringLiteral(""));
    doc.LockRevision(copy);
    EXPECT_EQ(contents(copy), QByteArray("Inhalt"));
    EXPECT_EQ(doc.CheckoutFileTime(), TDokument::FileTime(copy));
    // Unlocking keeps the copy on disk.
    doc.UnlockRevision();
    EXPECT_TRUE(QFileInfo::exists(copy));
    EXPECT_FALSE(doc.isLocked());
}

TEST_F(DmsLockFault, TheMenuShowsWhatTheDocumentAllows) {
    TDokument doc;
    addDocument(doc, "Inhalt", QStringLiteral("brief.txt"));
    s_dm->SetLoginName(QStringLiteral("anna"));
    doc.SetDatabase(&s_dm->Database());
    doc.RefreshRecord();
    const auto shown = [](TVoskMenuItem* item) {
        QString s;
        s += item->isVisible() ? u'v' : u'-';
        s += item->isEnabled() ? u'e' : u'-';
        s += item->isChecked() ? u'c' : u'-';
        return s;
    };
    std::unique_ptr<TSperrDokuPopupMenu> menu(menuFor(doc));
    // Without Ctrl one "edit" item: a text document has no internal editor, so the outside one.
    EXPECT_EQ(shown(menu->miEditIntern), QStringLiteral("---"));
    EXPECT_EQ(shown(menu->miRevisionEdit), QStringLiteral("ve-"));
    EXPECT_EQ(menu->miRevisionEdit->text(), QStringLiteral("Dokument bearbeiten"));
    EXPECT_EQ(shown(menu->miRevisionLock), QStringLiteral("ve-"));
    EXPECT_EQ(shown(menu->miRevisionUpdate), QStringLiteral("v--"));
    EXPECT_EQ(shown(menu->miRevisionUnlock), QStringLiteral("v--"));
    EXPECT_EQ(shown(menu->miRevisionOpenDir), QStringLiteral("v--"));
    // A line, not a heading reading "-".
    EXPECT_TRUE(menu->miSeparator->isSeparator());
    EXPECT_EQ(menu->miSeparator->text(), QString());
    EXPECT_TRUE(m_parent->isEnabled());

    // Ctrl shows every item with its own text; a second build reuses the items.
    m_ctrl = true;
    QAction* const edit = menu->miRevisionEdit;
    menu->CreateSubItems(true);
    EXPECT_EQ(menu->miRevisionEdit, edit);
    EXPECT_EQ(m_parent->menu()->actions().size(), 7);
    EXPECT_EQ(menu->miRevisionEdit->text(), QStringLiteral("Dokument sperren und extern bearbeiten"));
    EXPECT_EQ(shown(menu->miEditIntern), QStringLiteral("v--"));

    // Checked out through the menu: the copy opens with the desktop's program.
    m_answers.Expect(QStringLiteral("Dokument sperren und extern bearbeiten?"), Vcl::mrYes);
    menu->miRevisionEdit->trigger();
    ASSERT_EQ(m_answers.OpenedUrls().size(), 1);
    const QString copy = doc.GetLockedPath();
    EXPECT_EQ(m_answers.OpenedUrls().first().toLocalFile(), copy);
    EXPECT_EQ(QFileInfo(copy).fileName(), QStringLiteral("brief.txt"));
    menu->CreateSubItems(true);
    EXPECT_EQ(shown(menu->miRevisionEdit), QStringLiteral("vec"));
    EXPECT_EQ(shown(menu->miRevisionLock), QStringLiteral("v-c"));
    EXPECT_EQ(shown(menu->miRevisionUpdate), QStringLiteral("ve-"));
    EXPECT_EQ(menu->miRevisionUnlock->text(),
              QStringLiteral("Dokument entsperren (Änderung verwerfen)"));
    EXPECT_EQ(shown(menu->miRevisionOpenDir), QStringLiteral("ve-"));

    // Without a question for one action only, also when it fails.
    {
        TSperrDokuPopupMenu::WithoutQuestion quiet;
        EXPECT_THROW(
            {
                TSperrDokuPopupMenu::WithoutQuestion inner;
                throw EAbort();
            },
            EAbort);
        EXPECT_TRUE(TSperrDokuPopupMenu::FWithoutQuestion);
        menu->miRevisionUnlock->trigger();
    }
    EXPECT_FALSE(TSperrDokuPopupMenu::FWithoutQuestion);
    EXPECT_FALSE(doc.isLocked());
    EXPECT_TRUE(QFileInfo::exists(copy));
}

TEST_F(DmsLockFault, TakingBackMakesARevisionWhereTheTypeOrDocumentAsksForOne) {
    struct Case {
        QString type;
        bool revisionFlag;
        bool asRevision;
    };
    const Case cases[] = {{QStringLiteral("RE"), false, false},
                          {QStringLiteral("RE"), true, true},
                          {QStringLiteral("AR"), false, true},
                          {QStringLiteral("AU"), false, true}};
    s_dm->SetLoginName(QStringLiteral("anna"));
    for (const Case& c : cases) {
        SCOPED_TRACE((c.type + (c.revisionFlag ? QStringLiteral("+flag") : QString())).toStdString());
        TDokument doc;
        const int id = addDocument(doc, "alt", QStringLiteral("text.txt"), c.type);
        TestDatabase::Exec(QStringLiteral("UPDATE picndoku SET pd_revision_flag = %1 WHERE "
                                          "pd_id = %2")
                               .arg(c.revisionFlag ? "true" : "false")
                               .arg(id));
        doc.SetDatabase(&s_dm->Database());
        doc.AssignToDokId(id);
        EXPECT_EQ(TSperrDokuPopupMenu::TakesBackAsRevision(doc), c.asRevision);
        const QString copy = TSperrDokuPopupMenu::FreeWorkingCopyPath(
            CurrentSession_UConstants().DocumentsDir(), QStringLiteral("text.txt"));
        doc.LockRevision(copy);
        writeFile(copy, "neu");
        std::unique_ptr<TSperrDokuPopupMenu> menu(menuFor(doc));
        m_answers.Expect(QStringLiteral("Änderung übernehmen?"), Vcl::mrYes);
        menu->miRevisionUpdate->trigger();
        EXPECT_EQ(m_answers.Pending(), 0);
        EXPECT_FALSE(doc.isLocked());
        EXPECT_EQ(doc.Id() != id, c.asRevision);
        EXPECT_EQ(contents(doc.DMSGetFile(m_docs.filePath(QStringLiteral("check.txt")))),
                  QByteArray("neu"));
        EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM picndoku WHERE pd_revision_id = "
                                        "(SELECT pd_revision_id FROM picndoku WHERE pd_id = %1)")
                             .arg(id)),
                  c.asRevision ? QStringLiteral("2") : QStringLiteral("1"));
        QFile::remove(copy);
    }
}

TEST_F(DmsLockFault, AnAdministratorsMultiRowUnlockWarnsOfDelayedUploadsAndCallsPerRow) {
    TestDatabase::Exec(QStringLiteral("UPDATE mitarbeiter SET m_admin = true WHERE mitnr = 82"));
    s_dm->SetLoginName(QStringLiteral("bert"));
    TDokument a, b, c;
    const int ids[] = {addDocument(a, "1", QStringLiteral("a.txt")),
                       addDocument(b, "2", QStringLiteral("b.txt")),
                       addDocument(c, "3", QStringLiteral("c.txt"))};
    for (TDokument* d : {&a, &b, &c})
        d->LockRevision();
    TestDatabase::Exec(
        QStringLiteral("UPDATE picndoku SET pd_delayed_upload = true WHERE pd_id = %1").arg(ids[2]));

    // bert's grid of locked documents with all three rows selected, the first current.
    TDokument locked;
    locked.LoadByRecord(QStringLiteral("adressen"), QStringLiteral("5"), false);
    ASSERT_EQ(locked.RecordCount(), 3);
    locked.Locate(QString::fromLatin1(TDokument::fnId), ids[0]);
    TVoskDataModel model(&locked);
    TVoskGridView grid;
    grid.setModel(&model);
    grid.selectAll();
    TSperrDokuPopupMenu menu(m_parent, &locked, &grid, false);
    menu.CreateSubItems(true);
    m_answers.Expect(QStringLiteral("DMSDelayedUpload"), Vcl::mrOk)
        .Expect(QStringLiteral("durch jemand anderes gesperrt"), Vcl::mrYes);
    menu.miRevisionUnlock->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);
    // The delayed upload's row is gone, the others are free, and the current row stays current.
    EXPECT_EQ(scalar(QStringLiteral("SELECT string_agg(pd_id::text || coalesce(r.pdr_lock_user, "
                                    "'-'), ',' ORDER BY pd_id) FROM picndoku d JOIN "
                                    "picndoku_revision r ON r.pdr_revision_id = d.pd_revision_id")),
              QStringLiteral("%1-,%2-").arg(ids[0]).arg(ids[1]));
    EXPECT_EQ(locked.Id(), ids[0]);
    EXPECT_EQ(locked.RecordCount(), 2);
}

TEST_F(DmsLockFault, WithoutAdministrationTheUnlockReleasesOnlyTheOwnCurrentDocument) {
    TDokument a, d;
    const int annas = addDocument(a, "1", QStringLiteral("a.txt"));
    const int berts = addDocument(d, "2", QStringLiteral("d.txt"));
    a.LockRevision();
    TestDatabase::Exec(
        QStringLiteral("UPDATE picndoku SET pd_delayed_upload = true WHERE pd_id = %1").arg(annas));
    s_dm->SetLoginName(QStringLiteral("bert"));
    TDokument locked;
    locked.LoadByRecord(QStringLiteral("adressen"), QStringLiteral("5"), false);
    ASSERT_EQ(locked.RecordCount(), 2);
    locked.Locate(QString::fromLatin1(TDokument::fnId), berts);
    locked.LockRevision();
    // bert's grid selects anna's delayed upload as well: neither its lock nor its row is his.
    TVoskDataModel model(&locked);
    TVoskGridView grid;
    grid.setModel(&model);
    grid.selectAll();
    TSperrDokuPopupMenu menu(m_parent, &locked, &grid, false);
    menu.CreateSubItems(true);
    ASSERT_TRUE(menu.miRevisionUnlock->isEnabled());
    m_answers.Expect(QStringLiteral("Dokument entsperren?"), Vcl::mrYes);
    menu.miRevisionUnlock->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_EQ(lockRow(berts), QString());
    EXPECT_TRUE(lockRow(annas).startsWith(QStringLiteral("anna|")));
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM picndoku")), QStringLiteral("2"));
}

TEST_F(DmsLockFault, AnOutsideEditShowsAtOnceAndGoesBackAsARevisionOfTheSameChain) {
    TDokument stored;
    const int id = addDocument(stored, "Fassung 1", QStringLiteral("brief.txt"),
                               QStringLiteral("AU"));
    const QString oldFile = stored.DMSRemoteFilename();
    const QString oldSha = scalar(
        QStringLiteral("SELECT sha256 FROM dms_file WHERE name = '%1'").arg(oldFile));
    TFormDokments* f = openWindow();
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));
    m_answers.Expect(QStringLiteral("Dokument sperren und extern bearbeiten?"), Vcl::mrYes);
    f->acDocEditRevisionExternal->trigger();
    ASSERT_EQ(m_answers.OpenedUrls().size(), 1);
    const QString copy = m_answers.OpenedUrls().first().toLocalFile();
    EXPECT_EQ(contents(copy), QByteArray("Fassung 1"));
    TPanel* row = f->DocumentCheck_Find(id);
    ASSERT_TRUE(row);
    EXPECT_TRUE(f->gbDocumentCheck->isVisible());
    EXPECT_EQ(f->gbDocumentCheck->height(), f->pnDocumentCheckTemplate->height() + 21);
    EXPECT_TRUE(f->tiDocumentCheck->isActive());
    EXPECT_EQ(row->findChild<QLabel*>(QStringLiteral("lbDocumentCheckName"))->text(),
              f->Dokument1()->Caption());
    EXPECT_FALSE(updateButton(row)->isEnabled());
    // A second add of the same document keeps one row.
    f->DocumentCheck_Add(*f->Dokument1());
    EXPECT_EQ(f->DocumentCheckRows().size(), 1);

    // Saved as an editor saves: the row shows it before the timer's first tick.
    const QByteArray edited = "Fassung 2, außerhalb bearbeitet";
    saveAsEditor(copy, edited);
    ASSERT_TRUE(waitForChange(row));
    EXPECT_GT(f->tiDocumentCheck->remainingTime(), 5000);
    EXPECT_EQ(row->findChild<QLabel*>(QStringLiteral("lbDocumentCheckName"))
                  ->palette()
                  .color(QPalette::WindowText),
              QColor(0, 128, 0));

    m_answers.Expect(QStringLiteral("Dokument entsperren und Änderung übernehmen?"), Vcl::mrYes);
    QTest::mouseClick(updateButton(row), Qt::LeftButton);
    EXPECT_EQ(m_answers.Pending(), 0);
    const int newId = f->Dokument1()->Id();
    EXPECT_NE(newId, id);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(DISTINCT pd_revision_id) || '/' || count(*) "
                                    "FROM picndoku WHERE pd_id IN (%1, %2)")
                         .arg(id)
                         .arg(newId)),
              QStringLiteral("1/2"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT f.sha256 FROM picndoku d JOIN dms_file f ON "
                                    "f.name = d.pd_dmsremotefile WHERE d.pd_id = %1")
                         .arg(newId)),
              sha256(edited));
    EXPECT_EQ(contents(f->Dokument1()->DMSGetFile(m_docs.filePath(QStringLiteral("neu.txt")))),
              edited);
    EXPECT_EQ(scalar(QStringLiteral("SELECT sha256 FROM dms_file WHERE name = '%1'").arg(oldFile)),
              oldSha);
    EXPECT_EQ(lockRow(newId), QString());
    QCoreApplication::processEvents();
    EXPECT_EQ(f->DocumentCheckRows().size(), 0);
    EXPECT_FALSE(f->gbDocumentCheck->isVisible());
    EXPECT_FALSE(f->tiDocumentCheck->isActive());
}

TEST_F(DmsLockFault, RowsFollowTheCopyAndTheCrossStopsAsking) {
    TDokument a, b;
    const int first = addDocument(a, "1", QStringLiteral("eins.txt"));
    const int second = addDocument(b, "2", QStringLiteral("zwei.txt"));
    for (TDokument* d : {&a, &b})
        d->LockRevision(TSperrDokuPopupMenu::FreeWorkingCopyPath(
            CurrentSession_UConstants().DocumentsDir(), d->OrigFileName()));
    // anna's window finds both check-outs again.
    TFormDokments* f = openWindow();
    ASSERT_EQ(f->DocumentCheckRows().size(), 2);
    EXPECT_EQ(f->gbDocumentCheck->height(), 2 * f->pnDocumentCheckTemplate->height() + 21);
    // Two rows cloned from one template have different names; their controls keep theirs.
    TPanel* row1 = f->DocumentCheck_Find(first);
    TPanel* row2 = f->DocumentCheck_Find(second);
    ASSERT_TRUE(row1 && row2);
    EXPECT_NE(row1->objectName(), row2->objectName());
    EXPECT_TRUE(row1->objectName().startsWith(QStringLiteral("pnDocumentCheckTemplate_")));
    EXPECT_EQ(f->DocumentCheck_Find(0), nullptr);

    // A deleted copy: maroon, and its button offers the unlock.
    QFile::remove(a.CheckoutPath());
    f->tiDocumentCheckTimer();
    EXPECT_EQ(row1->findChild<QLabel*>(QStringLiteral("lbDocumentCheckName"))
                  ->palette()
                  .color(QPalette::WindowText),
              QColor(128, 0, 0));
    EXPECT_EQ(updateButton(row1)->text(), QStringLiteral("Dokument entsperren"));
    EXPECT_TRUE(updateButton(row1)->isEnabled());
    // The label selects its document in the tree.
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(second)));
    QTest::mouseClick(row1->findChild<TVoskLabel*>(QStringLiteral("lbDocumentCheckName")),
                      Qt::LeftButton);
    EXPECT_EQ(f->GetNodeId(), QString::number(first));

    // The cross: the row goes and the check-out is no longer watched, also in a new window.
    f->acEditWaitDialog->setChecked(false);
    auto* cross = row2->findChild<QPushButton*>(QStringLiteral("btDocumentCheckCancel"));
    QTest::mouseClick(cross, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(f->DocumentCheckRows().size(), 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT r.pdr_checkout_ask_user FROM picndoku d JOIN "
                                    "picndoku_revision r ON r.pdr_revision_id = d.pd_revision_id "
                                    "WHERE d.pd_id = %1")
                         .arg(second)),
              QStringLiteral("f"));
    f->DocumentCheck_Remove(first);
    QCoreApplication::processEvents();
    EXPECT_FALSE(f->gbDocumentCheck->isVisible());
    EXPECT_FALSE(f->tiDocumentCheck->isActive());
    f->TreeMenuCreate(false);
    EXPECT_EQ(f->DocumentCheckRows().size(), 0); // the first copy is gone, the second unwatched

    // "Dateiüberwachung aktivieren" watches it again.
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(second)));
    f->miEnableFileMonitoring->trigger();
    EXPECT_TRUE(f->DocumentCheck_Find(second));
    EXPECT_TRUE(f->Dokument1()->CheckoutAskUser());
}

TEST_F(DmsLockFault, ClosingTheWaitDialogCountsAsAbortAndAddsARow) {
    TDokument stored;
    const int id = addDocument(stored, "Fassung 1", QStringLiteral("brief.txt"));
    TFormDokments* f = openWindow();
    f->acEditWaitDialog->setChecked(true);
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));
    // The dialog, once it shows: one tick, then closed by its title bar.
    QStringList seen;
    std::function<void()> answer = [&] {
        TVoskQuestionForm* form = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* q = qobject_cast<TVoskQuestionForm*>(w); q && q->isVisible())
                form = q;
        if (!form) {
            QTimer::singleShot(5, f, answer);
            return;
        }
        form->Tick();
        seen << form->windowTitle() << form->Message()->text();
        seen << (form->Button(QStringLiteral("Yes"))->isEnabled() ? QStringLiteral("ja")
                                                                   : QStringLiteral("nein"));
        form->close();
    };
    QTimer::singleShot(0, f, answer);
    m_answers.Expect(QStringLiteral("Dokument sperren und extern bearbeiten?"), Vcl::mrYes);
    f->acDocEditRevisionExternal->trigger();
    ASSERT_EQ(seen.size(), 3);
    EXPECT_TRUE(seen[0].endsWith(QStringLiteral("  (start 9 sec)")));
    EXPECT_TRUE(seen[1].endsWith(QStringLiteral("\n\nbrief.txt")));
    EXPECT_EQ(seen[2], QStringLiteral("nein"));
    // Still checked out, and watched by a row.
    EXPECT_TRUE(f->Dokument1()->isLockedByMe());
    TPanel* row = f->DocumentCheck_Find(id);
    ASSERT_TRUE(row);
    // With the wait dialog chosen the row offers no cross.
    EXPECT_TRUE(row->findChild<QPushButton*>(QStringLiteral("btDocumentCheckCancel"))->isHidden());
}

// The child of the crash test: checks a document out as anna and hangs until it is killed.
TEST(DmsLockFaultChild, DISABLED_ChecksOutAndHangs) {
    TDM1 dm;
    dm.Connect();
    dm.SetLoginName(QStringLiteral("anna"));
    CurrentSession_UConstants().SetDocumentsPath(qEnvironmentVariable("KORVEX_LOCK_CHILD_DOCS"));
    TDokument d;
    d.AssignToDokId(qEnvironmentVariableIntValue("KORVEX_LOCK_CHILD_DOC"));
    d.LockRevision(TSperrDokuPopupMenu::FreeWorkingCopyPath(
        CurrentSession_UConstants().DocumentsDir(), d.OrigFileName()));
    std::printf("AUSGECHECKT\n");
    std::fflush(stdout);
    QThread::sleep(120);
}

TEST_F(DmsLockFault, ACrashMidEditLeavesALockTheUserTakesBackLater) {
    TDokument stored;
    const int id = addDocument(stored, "Fassung 1", QStringLiteral("brief.txt"),
                               QStringLiteral("AU"));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KORVEX_LOCK_CHILD_DOC"), QString::number(id));
    env.insert(QStringLiteral("KORVEX_LOCK_CHILD_DOCS"), m_docs.path());
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_also_run_disabled_tests"),
                 QStringLiteral("--gtest_filter=DmsLockFaultChild.DISABLED_ChecksOutAndHangs")});
    ASSERT_TRUE(child.waitForStarted());
    QByteArray out;
    while (!out.contains("AUSGECHECKT") && child.state() == QProcess::Running &&
           child.waitForReadyRead(30000))
        out += child.readAllStandardOutput();
    ASSERT_TRUE(out.contains("AUSGECHECKT")) << out.constData();
    child.kill(); // SIGKILL: nothing of the child's clean-up runs
    child.waitForFinished();
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
    const QString copy = QDir(CurrentSession_UConstants().DocumentsDir()).filePath(QStringLiteral("brief.txt"));
    EXPECT_EQ(lockRow(id), QStringLiteral("anna|%1|t").arg(copy));
    EXPECT_EQ(contents(copy), QByteArray("Fassung 1"));

    // A new session of anna's: the document shows as hers and is watched.
    TFormDokments* f = openWindow();
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));
    EXPECT_EQ(f->lbDokuStates->text(), QStringLiteral("Ausgecheckt (von mir)"));
    TPanel* row = f->DocumentCheck_Find(id);
    ASSERT_TRUE(row);
    saveAsEditor(copy, "Fassung 2");
    f->tiDocumentCheckTimer();
    ASSERT_TRUE(waitForChange(row));

    // A failure between the stored bytes and the commit leaves everything as it was.
    const QString before = rowsState();
    Rtl::FaultHook.Set([](const char* point) {
        if (QByteArray(point) == "TSperrDokuPopupMenu.miRevisionUpdateClick.commit")
            throw EVoskException(QStringLiteral("Verbindung unterbrochen"));
    });
    m_answers.Expect(QStringLiteral("Änderung übernehmen?"), Vcl::mrYes)
        .Expect(QStringLiteral("Verbindung unterbrochen"), Vcl::mrOk);
    QTest::mouseClick(updateButton(row), Qt::LeftButton);
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_EQ(rowsState(), before);
    EXPECT_EQ(lockRow(id), QStringLiteral("anna|%1|t").arg(copy));
    EXPECT_EQ(contents(copy), QByteArray("Fassung 2"));
    EXPECT_EQ(f->DocumentCheck_Find(id), row);

    // The retry stores the copy as the chain's new revision.
    Rtl::FaultHook.Reset();
    m_answers.Expect(QStringLiteral("Änderung übernehmen?"), Vcl::mrYes);
    QTest::mouseClick(updateButton(row), Qt::LeftButton);
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_NE(f->Dokument1()->Id(), id);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM picndoku")), QStringLiteral("2"));
    EXPECT_EQ(lockRow(f->Dokument1()->Id()), QString());
    EXPECT_EQ(contents(f->Dokument1()->DMSGetFile(m_docs.filePath(QStringLiteral("x.txt")))),
              QByteArray("Fassung 2"));
}

TEST_F(DmsLockFault, ACheckOutOnAnotherMachineIsNeitherWatchedNorTakenBackHere) {
    TDokument annasDoc;
    const int id = addDocument(annasDoc, "Fassung 1", QStringLiteral("rechnung.txt"));
    const QString copy = TSperrDokuPopupMenu::FreeWorkingCopyPath(
        CurrentSession_UConstants().DocumentsDir(), annasDoc.OrigFileName());
    annasDoc.LockRevision(copy);
    // Checked out on anna's other machine; here the same path holds a file of its own.
    TestDatabase::Exec(QStringLiteral("UPDATE picndoku_revision SET pdr_lock_host = 'rechner-b'"));
    writeFile(copy, "eine fremde Datei");
    const QString before = rowsState();

    TFormDokments* f = openWindow();
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));
    EXPECT_EQ(f->DocumentCheckRows().size(), 0);
    EXPECT_TRUE(
        f->lbDokuStates->text().contains(QStringLiteral("Gesperrt von anna auf rechner-b seit ")))
        << f->lbDokuStates->text().toStdString();
    EXPECT_EQ(f->Dokument1()->GetLockedPath(), QString());

    annasDoc.RefreshRecord();
    std::unique_ptr<TSperrDokuPopupMenu> menu(menuFor(annasDoc));
    EXPECT_FALSE(menu->miRevisionUpdate->isEnabled());
    EXPECT_FALSE(menu->miRevisionEdit->isEnabled());
    EXPECT_FALSE(menu->miEditIntern->isEnabled());
    EXPECT_TRUE(menu->miRevisionUnlock->isEnabled());
    // Asked all the same, the take-back and the edit refuse and store nothing.
    m_answers.Expect(QStringLiteral("Gesperrt von anna auf rechner-b seit "), Vcl::mrOk);
    EXPECT_THROW(menu->miRevisionUpdateClick(menu->miRevisionUpdate), EAbort);
    m_answers.Expect(QStringLiteral("Gesperrt von anna auf rechner-b seit "), Vcl::mrOk);
    EXPECT_THROW(menu->miRevisionEditClick(menu->miRevisionEdit), EAbort);
    EXPECT_THROW(annasDoc.DMSSetServerFile(copy), EVoskException);
    EXPECT_THROW(annasDoc.LockRevision(QString()), EVoskException);
    EXPECT_EQ(rowsState(), before);
    EXPECT_EQ(lockRow(id), QStringLiteral("anna|%1|t").arg(copy));

    // The holder may release it from here; the file here stays as it is.
    m_answers.Expect(QStringLiteral("auf rechner-b"), Vcl::mrYes);
    menu->miRevisionUnlock->trigger();
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_EQ(lockRow(id), QString());
    EXPECT_EQ(contents(copy), QByteArray("eine fremde Datei"));
}

// A lock row without a host (an older client's, or another one's) is this machine's only while the
// recorded working copy is here as the check-out wrote it; the window then records the host.
TEST_F(DmsLockFault, ALockRowWithoutAHostIsThisMachinesOnlyWhenItsCopyIsHereUnchanged) {
    TDokument annasDoc;
    const int id = addDocument(annasDoc, "Fassung 1", QStringLiteral("rechnung.txt"));
    const QString copy = TSperrDokuPopupMenu::FreeWorkingCopyPath(
        CurrentSession_UConstants().DocumentsDir(), annasDoc.OrigFileName());
    annasDoc.LockRevision(copy);
    const QString hostless = QStringLiteral("UPDATE picndoku_revision SET pdr_lock_host = NULL");
    TestDatabase::Exec(hostless);
    // Another machine checked it out to the same path: here that path holds a file of its own.
    writeFile(copy, "eine fremde Datei");
    {
        QFile f(copy);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                      QFileDevice::FileModificationTime);
    }
    const QString before = rowsState();

    TFormDokments* f = openWindow();
    ASSERT_TRUE(f->TreeMenuSelect(QString::number(id)));
    EXPECT_EQ(f->DocumentCheckRows().size(), 0);
    EXPECT_TRUE(f->lbDokuStates->text().contains(
        QStringLiteral("Gesperrt von anna auf einem anderen Rechner seit ")))
        << f->lbDokuStates->text().toStdString();
    EXPECT_EQ(f->Dokument1()->GetLockedPath(), QString());
    EXPECT_EQ(scalar(QStringLiteral("SELECT coalesce(pdr_lock_host, '-') FROM picndoku_revision")),
              QStringLiteral("-"));
    annasDoc.RefreshRecord();
    std::unique_ptr<TSperrDokuPopupMenu> menu(menuFor(annasDoc));
    EXPECT_FALSE(menu->miRevisionUpdate->isEnabled());
    m_answers.Expect(QStringLiteral("auf einem anderen Rechner"), Vcl::mrOk);
    EXPECT_THROW(menu->miRevisionUpdateClick(menu->miRevisionUpdate), EAbort);
    EXPECT_THROW(annasDoc.DMSSetServerFile(copy), EVoskException);
    EXPECT_THROW(annasDoc.CreateNewRevision(copy, 0, QStringLiteral("file")), EVoskException);
    EXPECT_THROW(annasDoc.LockRevision(QString()), EVoskException);
    EXPECT_EQ(rowsState(), before);
    EXPECT_EQ(lockRow(id), QStringLiteral("anna|%1|t").arg(copy));
    EXPECT_EQ(contents(copy), QByteArray("eine fremde Datei"));
    menu.reset();
    delete m_window.data();

    // The copy this machine wrote, untouched since: the window takes the row for this machine's,
    // and the copy, once edited, goes back.
    QFile::remove(copy);
    annasDoc.UnlockRevision();
    annasDoc.LockRevision(copy);
    TestDatabase::Exec(hostless);
    f = openWindow();
    EXPECT_EQ(scalar(QStringLiteral("SELECT pdr_lock_host FROM picndoku_revision")),
              TDokument::ThisHost());
    TPanel* row = f->DocumentCheck_Find(id);
    ASSERT_TRUE(row);
    saveAsEditor(copy, "Fassung 2");
    f->tiDocumentCheckTimer();
    ASSERT_TRUE(waitForChange(row));
    m_answers.Expect(QStringLiteral("Änderung übernehmen?"), Vcl::mrYes);
    QTest::mouseClick(updateButton(row), Qt::LeftButton);
    EXPECT_EQ(m_answers.Pending(), 0);
    EXPECT_EQ(lockRow(id), QString());
    EXPECT_EQ(contents(f->Dokument1()->DMSGetFile(m_docs.filePath(QStringLiteral("x.txt")))),
              QByteArray("Fassung 2"));
}

} // namespace
