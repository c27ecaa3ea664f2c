// The document list of a record on a real database: what it lists, how it binds its parameters,
// and how it opens and previews documents.

#include "FrameworkFixture.h"

#include <TServSQL2.h>
#include <TVoskDBGrid2.h>
#include <TVoskDocumentViewer.h>
#include <UDokuList.h>
#include <Ukorvexclasses.Dokument.h>
#include <VoskDatabase.h>

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QTest>

using testsupport::TestDatabase;

namespace {

class DokuListTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM picndokulink; DELETE FROM picndoku; DELETE FROM dms_file;"
            "DELETE FROM dokutypes;"
            "INSERT INTO dokutypes (dt_id, dt_descr) VALUES ('RE', 'Rechnung'), "
            "('LS', 'Lieferschein')"));
        m_list = std::make_unique<TVoskDocumentList>(nullptr);
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_list->DokuListCX->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        m_list->resize(500, 300);
        m_list->show();
    }
    void TearDown() override {
        TDokument::_OpenDokumentC.Reset();
        m_tester.reset();
        m_list.reset();
    }

    static int addFile(const QString& table, const QString& recId, const QString& type,
                       const QString& date) {
        TDokument d;
        d.InsertData() = {true, QString(), type, QString(), QString(), QString()};
        QBuffer b;
        b.setData("%PDF-1.4 x");
        b.open(QIODevice::ReadOnly);
        const int id = d.DMSAddFileAsBLOB(b, QStringLiteral("beleg.pdf"), table, recId);
        TestDatabase::Exec(
            QStringLiteral("UPDATE picndoku SET pd_date = '%1' WHERE pd_id = %2").arg(date).arg(id));
        return id;
    }
    QList<int> listedIds() const {
        QList<int> ids;
        TServSQL2* q = m_list->sqlDokuList;
        const int col = q->FieldIndex(QStringLiteral("pd_id"));
        for (int r = 0; q->Active() && r < q->RecordCount(); ++r)
            ids << q->Value(r, col).toInt();
        return ids;
    }

    std::unique_ptr<TVoskDocumentList> m_list;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

TEST_F(DokuListTest, ListsOwnStoredAndLinkedDocumentsNewestFirstOptionallyOfOneType) {
    const int oldOwn = addFile(QStringLiteral("adressen"), QStringLiteral("5"), QStringLiteral("RE"),
                               QStringLiteral("2024-01-01"));
    const int newOwn = addFile(QStringLiteral("adressen"), QStringLiteral("5"),
                               QStringLiteral("LS"), QStringLiteral("2024-03-01"));
    const int other = addFile(QStringLiteral("adressen"), QStringLiteral("6"), QStringLiteral("RE"),
                              QStringLiteral("2024-04-01"));
    // A document of another table, linked to the address.
    const int linked = addFile(QStringLiteral("auftrag"), QStringLiteral("77"),
                               QStringLiteral("RE"), QStringLiteral("2024-02-01"));
    TestDatabase::Exec(QStringLiteral("INSERT INTO picndokulink (pdl_pd_id, pdl_tablename, "
                                      "pdl_dbrid) VALUES (%1, 'adressen', 5)")
                           .arg(linked));
    // A row of the address without a stored file (a folder) is no document to list.
    TestDatabase::Exec(QStringLiteral("INSERT INTO picndoku (pd_tablename, pd_dbrid, pd_descr) "
                                      "VALUES ('adressen', 5, 'Ordner')"));

    // The record id comes as text and is compared with the integer column.
    m_list->Open(QStringLiteral("adressen"), QStringLiteral("5"));
    EXPECT_EQ(listedIds(), (QList<int>{newOwn, linked, oldOwn}));
    EXPECT_FALSE(listedIds().contains(other));
    EXPECT_EQ(m_list->TableName(), QStringLiteral("adressen"));
    EXPECT_EQ(m_list->RecID(), QStringLiteral("5"));
    EXPECT_EQ(m_list->DokType(), QString());
    EXPECT_EQ(m_list->VoskGroupBox1->title(), QStringLiteral("Verfügbare Dokumente"));

    m_list->Open(QStringLiteral("adressen"), QStringLiteral("5"), QStringLiteral("RE"));
    EXPECT_EQ(listedIds(), (QList<int>{linked, oldOwn}));
    EXPECT_EQ(m_list->DokType(), QStringLiteral("RE"));

    // The same search by position: table, record id, type.
    EXPECT_TRUE(m_list->Search({QStringLiteral("adressen"), QStringLiteral("6"), QString()}));
    EXPECT_EQ(listedIds(), (QList<int>{other}));
    EXPECT_FALSE(m_list->Search({QStringLiteral("adressen"), QStringLiteral("6"),
                                 QStringLiteral("LS")}));
}

TEST_F(DokuListTest, AnEmptyRecordIdListsNothingWithoutAskingTheDatabase) {
    addFile(QStringLiteral("adressen"), QStringLiteral("5"), QStringLiteral("RE"),
            QStringLiteral("2024-01-01"));
    m_list->Open(QStringLiteral("adressen"), QStringLiteral("5"));
    ASSERT_EQ(listedIds().size(), 1);

    const qint64 trips = DM1()->Database().RoundTrips();
    m_list->Open(QStringLiteral("adressen"), QString());
    EXPECT_EQ(DM1()->Database().RoundTrips(), trips);
    EXPECT_FALSE(m_list->sqlDokuList->Active());
    EXPECT_EQ(m_list->DokuListCX->model()->rowCount(), 0);
    EXPECT_EQ(m_list->TableName(), QString());
}

TEST_F(DokuListTest, DoubleClickAndViewOpenTheFocusedDocumentAndScrollingPreviewsIt) {
    const int older = addFile(QStringLiteral("adressen"), QStringLiteral("5"), QStringLiteral("RE"),
                              QStringLiteral("2024-01-01"));
    const int newer = addFile(QStringLiteral("adressen"), QStringLiteral("5"), QStringLiteral("RE"),
                              QStringLiteral("2024-02-01"));
    QList<int> opened;
    TDokument::_OpenDokumentC.Set([&](QObject*, int pdId, bool) -> QObject* {
        opened << pdId;
        return nullptr;
    });
    TVoskDocumentViewer viewer;
    m_list->SetDocumentViewer(&viewer);

    // An empty list opens nothing.
    m_list->DokuListDblClick();
    EXPECT_TRUE(opened.isEmpty());

    m_list->Open(QStringLiteral("adressen"), QStringLiteral("5"));
    EXPECT_EQ(viewer.DocumentId(), newer);
    TVoskDBGrid2* grid = m_list->DokuListCX;
    const int fileCol = grid->columnByFieldName(QStringLiteral("pd_dokumentfile"));
    ASSERT_GE(fileCol, 0);
    const QRect second = grid->visualRect(grid->model()->index(1, fileCol));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(viewer.DocumentId(), older);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(opened, QList<int>{older});

    m_list->sqlDokuList->First();
    m_list->miView->trigger();
    EXPECT_EQ(opened, (QList<int>{older, newer}));

    // While the data class is disabled the viewer shows nothing.
    m_list->sqlDokuList->SetEnabledFlag(false);
    m_list->sqlDokuList->Next();
    EXPECT_EQ(viewer.DocumentId(), 0);
    m_list->SetDocumentViewer(nullptr);
}

} // namespace
