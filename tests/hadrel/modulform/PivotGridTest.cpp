// The pivot grid: its sums over a real table with gaps, its field captions, the grid menu of the
// frames over it and its workbook export read back.
#include "ModulFormFixture.h"

#include "FrameDBNavigate.h"
#include "TVoskDBPivotGrid.h"
#include "TopLabel.h"
#include "UDM1.h"
#include "UGrundModulForm.h"
#include "cxPivotGridExportLink.h"

#include <VoskExceptions.h>

#include <QAbstractItemModelTester>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <archive.h>
#include <sys/resource.h>

#include <csignal>
#include <archive_entry.h>

namespace {

QByteArray ReadPart(const QString& path, const QString& part) {
    QByteArray data;
    archive* a = archive_read_new();
    archive_read_support_format_zip(a);
    if (archive_read_open_filename(a, QFile::encodeName(path).constData(), 10240) == ARCHIVE_OK) {
        archive_entry* e = nullptr;
        while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
            if (QString::fromUtf8(archive_entry_pathname(e)) != part)
                continue;
            char buf[8192];
            la_ssize_t n;
            while ((n = archive_read_data(a, buf, sizeof buf)) > 0)
                data.append(buf, n);
        }
    }
    archive_read_free(a);
    return data;
}

struct XCell {
    QString type, value;
};

// The sheet's cells by reference ("B3"); inline strings come as their text.
QMap<QString, XCell> SheetCells(const QByteArray& xml, int* rows) {
    QMap<QString, XCell> cells;
    QXmlStreamReader r(xml);
    QString ref;
    XCell cell;
    *rows = 0;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == QLatin1String("row"))
            ++*rows;
        else if (r.isStartElement() && r.name() == QLatin1String("c")) {
            ref = r.attributes().value(QLatin1String("r")).toString();
            cell = {r.attributes().value(QLatin1String("t")).toString(), {}};
        } else if (r.isStartElement() &&
                   (r.name() == QLatin1String("v") || r.name() == QLatin1String("t")))
            cell.value = r.readElementText();
        else if (r.isEndElement() && r.name() == QLatin1String("c"))
            cells.insert(ref, cell);
    }
    EXPECT_FALSE(r.hasError()) << r.errorString().toStdString();
    return cells;
}

} // namespace

class PivotGridTest : public ModulFormFixture {
public:
    static void SetUpTestSuite() {
        ModulFormFixture::SetUpTestSuite();
        // Regions and quarters with gaps: no region, no quarter, no amount.
        testsupport::TestDatabase::Exec(QStringLiteral(
            "CREATE TABLE umsatz_pivot (dbrid serial PRIMARY KEY, region text, quartal int, "
            "betrag numeric(10,2), menge int, kunde text); "
            "INSERT INTO umsatz_pivot (region, quartal, betrag, menge, kunde) VALUES "
            "('Süd', 1, 12.50, 3, 'Müller'), ('Süd', 2, 0.20, 1, 'Albers'), "
            "('Süd', 1, 0.10, NULL, 'Lang'), ('Nord', NULL, 0.10, 2, 'Weber'), "
            "('Nord', 2, NULL, 5, 'Kurz'), (NULL, 1, 7.00, 4, 'Zander'), "
            "(NULL, 1, NULL, NULL, 'Schmidt'), ('Öst', 2, 1.05, 6, 'Haller')"));
    }

protected:
    void SetUp() override {
        ModulFormFixture::SetUp();
        m_class.SetSqlTable(QStringLiteral("umsatz_pivot"));
        m_class.Open();
        m_pivot = new TVoskDBPivotGrid(&m_form);
        m_pivot->setObjectName(QStringLiteral("PivotUmsatz"));
        Vcl::SetOwner(m_pivot, &m_form);
        m_pivot->SetDataClass(&m_class);
        m_pivot->SetFields(QStringLiteral("region"), QStringLiteral("quartal"),
                           QStringLiteral("betrag"));
    }
    void TearDown() override {
        if (m_class.InEdit())
            m_class.Cancel();
        s_dm->SetIsAdmin(false);
        testsupport::TestDatabase::Exec(QStringLiteral(
            "DELETE FROM grid_layouts; DELETE FROM lastval; DELETE FROM gui_rights; "
            "DELETE FROM tablefieldinfo WHERE tablename = 'umsatz_pivot'"));
        s_dm->ReloadCaptions();
        ModulFormFixture::TearDown();
    }
    QVariant Cell(int r, int c) const {
        TVoskPivotModel* m = m_pivot->Model();
        return m->data(m->index(r, c), Qt::EditRole);
    }

    TVoskClass m_class;
    QWidget m_form;
    TVoskDBPivotGrid* m_pivot = nullptr;
};

TEST_F(PivotGridTest, SumsSkipMissingValuesAndTotalsAddUpAsTheRecordsChange) {
    TVoskPivotModel* m = m_pivot->Model();
    QAbstractItemModelTester tester(m, QAbstractItemModelTester::FailureReportingMode::Fatal);
    // Rows: Nord, Öst, Süd, then the records without a region; columns: 1, 2, no quarter.
    ASSERT_EQ(m->RowKeyCount(), 4);
    ASSERT_EQ(m->ColumnKeyCount(), 3);
    EXPECT_EQ(m->data(m->index(1, 0)).toString(), QStringLiteral("Öst"));
    EXPECT_EQ(m->data(m->index(3, 0)).toString(), QStringLiteral("(leer)"));
    EXPECT_EQ(m->headerData(3, Qt::Horizontal).toString(), QStringLiteral("(leer)"));
    EXPECT_EQ(m->headerData(4, Qt::Horizontal).toString(), QStringLiteral("Gesamtsumme"));
    // Süd, quarter 1: 12.50 + 0.10, exact to the cent and shown the German way.
    EXPECT_EQ(Cell(2, 1).toDouble(), 12.6);
    EXPECT_EQ(m->data(m->index(2, 1)).toString(), QStringLiteral("12,60"));
    // Nord, quarter 2 has a record but no amount: empty, not zero; a cell without records too.
    EXPECT_TRUE(Cell(0, 2).isNull());
    EXPECT_TRUE(Cell(1, 1).isNull());
    // The region-less records: 7.00 and a NULL amount.
    EXPECT_EQ(Cell(3, 1).toDouble(), 7.0);
    // Row totals, column totals and the grand total.
    EXPECT_EQ(Cell(0, 4).toDouble(), 0.1);
    EXPECT_EQ(Cell(2, 4).toDouble(), 12.8);
    EXPECT_EQ(Cell(4, 1).toDouble(), 19.6);
    EXPECT_EQ(Cell(4, 2).toDouble(), 1.25);
    EXPECT_EQ(Cell(4, 4).toDouble(), 20.95);
    EXPECT_EQ(m->data(m->index(4, 0)).toString(), QStringLiteral("Gesamtsumme"));

    // Whole numbers stay whole numbers; no column field leaves the totals alone.
    m_pivot->SetFields(QStringLiteral("region"), {}, QStringLiteral("menge"));
    ASSERT_EQ(m->columnCount(), 2);
    EXPECT_EQ(Cell(0, 1), QVariant(qint64(7)));
    EXPECT_EQ(Cell(4, 1), QVariant(qint64(21)));

    // A posted change and a refresh after another user's insert both reach the sums.
    m_class.Locate(QStringLiteral("kunde"), QStringLiteral("Kurz"));
    m_class.Edit();
    m_class.SetValue(m_class.FieldIndex(QStringLiteral("menge")), 10);
    m_class.Post();
    EXPECT_EQ(Cell(0, 1), QVariant(qint64(12)));
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO umsatz_pivot (region, menge) VALUES ('West', 9)"));
    m_class.Refresh();
    EXPECT_EQ(m->RowKeyCount(), 5);
    EXPECT_EQ(Cell(5, 1), QVariant(qint64(35)));
    testsupport::TestDatabase::Exec(QStringLiteral(
        "DELETE FROM umsatz_pivot WHERE region = 'West'; "
        "UPDATE umsatz_pivot SET menge = 5 WHERE kunde = 'Kurz'"));
}

TEST_F(PivotGridTest, FieldsTheDataLacksOrThatHoldNoNumbersAreRefused) {
    const QString before = m_pivot->LayoutText();
    try {
        m_pivot->SetDataField(QStringLiteral("kunde"));
        FAIL() << "text summed";
    } catch (const EVoskException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Das Feld \"kunde\" enthält keine Zahlen und kann "
                                              "nicht summiert werden."));
    }
    EXPECT_THROW(m_pivot->SetRowField(QStringLiteral("gibtsnicht")), EVoskException);
    EXPECT_EQ(m_pivot->LayoutText(), before);
    // A stored layout that names a lost field or does not parse is passed over.
    EXPECT_FALSE(m_pivot->ApplyLayoutText(
        QStringLiteral("{\"rowField\":\"weg\",\"columnField\":\"\",\"dataField\":\"betrag\"}")));
    EXPECT_FALSE(m_pivot->ApplyLayoutText(QStringLiteral("{kaputt")));
    EXPECT_EQ(m_pivot->LayoutText(), before);
    EXPECT_EQ(m_pivot->Model()->RowKeyCount(), 4);
}

TEST_F(PivotGridTest, StartUpNamesTheFieldsByTheirAliases) {
    testsupport::TestDatabase::Exec(QStringLiteral(
        "INSERT INTO tablefieldinfo (tablename, field, alias) VALUES "
        "('umsatz_pivot', 'region', 'Verkaufsgebiet'), ('umsatz_pivot', 'betrag', 'Umsatz')"));
    s_dm->ReloadCaptions();
    m_pivot->SetColumnCaption(QStringLiteral("Quartal"));
    UGrundModulForm::StartVoskComponent(&m_form, nullptr, false);
    EXPECT_EQ(m_pivot->RowCaption(), QStringLiteral("Verkaufsgebiet"));
    EXPECT_EQ(m_pivot->ColumnCaption(), QStringLiteral("Quartal")); // set by the form, kept
    EXPECT_EQ(m_pivot->DataCaption(), QStringLiteral("Umsatz"));
    TVoskPivotModel* m = m_pivot->Model();
    EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Verkaufsgebiet"));
    EXPECT_EQ(m->headerData(1, Qt::Horizontal, Qt::ToolTipRole).toString(),
              QStringLiteral("Quartal: 1"));
    const QList<QLabel*> labels = m_pivot->findChildren<QLabel*>();
    QStringList texts;
    for (QLabel* l : labels) {
        EXPECT_FALSE(l->accessibleName().isEmpty());
        EXPECT_FALSE(l->toolTip().isEmpty());
        texts << l->text();
    }
    EXPECT_TRUE(texts.contains(QStringLiteral("Summe von Umsatz")));
}

TEST_F(PivotGridTest, FramesOfferOnlyTheGlobalLayoutWhichKeepsTheFieldAssignment) {
    TFrameDBNav nav(&m_form, &m_form);
    nav.FSetVoskDBGrid(m_pivot);
    nav.FSetDataSource(&m_class);
    nav.PopupGridSettingsPopup();
    for (TVoskMenuItem* item : {nav.moLayoutLoad, nav.moLayoutSave, nav.moLayoutDelete,
                                nav.moLayoutLocalFavor, nav.moOptimaleBreite})
        EXPECT_FALSE(item->isVisible()) << item->objectName().toStdString();
    EXPECT_TRUE(nav.moLayoutGlobalLoad->isVisible());
    EXPECT_FALSE(nav.moLayoutGlobalLoad->isEnabled());
    EXPECT_FALSE(nav.moLayoutGlobalSave->isVisible());
    EXPECT_TRUE(nav.moExportieren->isVisible());
    EXPECT_TRUE(nav.moExportieren->isEnabled());
    EXPECT_FALSE(nav.moDrucken->isEnabled());

    // Only an administrator saves the global layout.
    nav.moLayoutSaveClick(nav.moLayoutGlobalSave);
    EXPECT_EQ(testsupport::TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM grid_layouts")),
              QStringLiteral("0"));
    s_dm->SetIsAdmin(true);
    nav.PopupGridSettingsPopup();
    ASSERT_TRUE(nav.moLayoutGlobalSave->isVisible());
    nav.moLayoutSaveClick(nav.moLayoutGlobalSave);
    nav.PopupGridSettingsPopup();
    EXPECT_TRUE(nav.moLayoutGlobalLoad->isEnabled());
    EXPECT_TRUE(nav.moLayoutGlobalLoad->text().contains(QStringLiteral(" [ ") +
                                                        s_dm->LoginName() + QStringLiteral(" ] ")));
    EXPECT_TRUE(nav.moLayoutGlobalDelete->isEnabled());

    m_pivot->SetFields(QStringLiteral("quartal"), {}, QStringLiteral("menge"));
    nav.moLayoutLoadClick(nav.moLayoutGlobalLoad);
    EXPECT_EQ(m_pivot->RowField(), QStringLiteral("region"));
    EXPECT_EQ(m_pivot->ColumnField(), QStringLiteral("quartal"));
    EXPECT_EQ(m_pivot->DataField(), QStringLiteral("betrag"));

    // A pivot started under the header frame takes the stored assignment.
    auto* second = new TVoskDBPivotGrid(&m_form);
    second->setObjectName(QStringLiteral("PivotUmsatz"));
    second->SetDataClass(&m_class);
    TTopLabelFrame header(&m_form, &m_form);
    header.SetVoskDBGrid(second);
    TFrameDBNav nav2(&m_form, &m_form);
    nav2.FSetVoskDBGrid(second);
    nav2.LoadGridSettings();
    EXPECT_EQ(second->DataField(), QStringLiteral("betrag"));
    header.PopupGridSettingsPopup();
    EXPECT_FALSE(header.moLayoutSave->isVisible());
    EXPECT_FALSE(header.moOptimaleBreite->isVisible());
    EXPECT_TRUE(header.moLayoutGlobalDelete->isEnabled());
    header.moLayoutDeleteClick(header.moLayoutGlobalDelete);
    EXPECT_EQ(testsupport::TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM grid_layouts")),
              QStringLiteral("0"));
}

TEST_F(PivotGridTest, ExportWritesTheCrossTabWithTypedSumsAndTotals) {
    TFrameDBNav nav(&m_form, &m_form);
    nav.FSetVoskDBGrid(m_pivot);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Umsatz.xlsx"));
    m_answers.ExpectFile({}, {file});
    nav.moExportierenClick();
    ASSERT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    int rows = 0;
    const auto cells = SheetCells(ReadPart(file, QStringLiteral("xl/worksheets/sheet1.xml")), &rows);
    EXPECT_EQ(rows, 1 + 4 + 1); // header, four regions, totals
    EXPECT_EQ(cells.value(QStringLiteral("A1")).value, QStringLiteral("region"));
    EXPECT_EQ(cells.value(QStringLiteral("B1")).value, QStringLiteral("1"));
    EXPECT_EQ(cells.value(QStringLiteral("D1")).value, QStringLiteral("(leer)"));
    EXPECT_EQ(cells.value(QStringLiteral("E1")).value, QStringLiteral("Gesamtsumme"));
    EXPECT_EQ(cells.value(QStringLiteral("A3")).value, QStringLiteral("Öst"));
    EXPECT_EQ(cells.value(QStringLiteral("A5")).value, QStringLiteral("(leer)"));
    // Sums are number cells; a cell without a value is left out.
    EXPECT_EQ(cells.value(QStringLiteral("B4")).value, QStringLiteral("12.6"));
    EXPECT_TRUE(cells.value(QStringLiteral("B4")).type.isEmpty());
    EXPECT_FALSE(cells.contains(QStringLiteral("C2")));
    EXPECT_EQ(cells.value(QStringLiteral("A6")).value, QStringLiteral("Gesamtsumme"));
    EXPECT_EQ(cells.value(QStringLiteral("E6")).value, QStringLiteral("20.95"));
    EXPECT_TRUE(cells.value(QStringLiteral("E6")).type.isEmpty());

    // The menu item follows the rights table for the pivot's name.
    testsupport::TestDatabase::Exec(
        QStringLiteral("INSERT INTO gui_rights VALUES ('QWidget', 'PivotUmsatz', 0, false)"));
    nav.PopupGridSettingsPopup();
    EXPECT_FALSE(nav.moExportieren->isEnabled());
}

TEST_F(PivotGridTest, FailedExportLeavesTheOldWorkbook) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("alt.xlsx"));
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("alter Inhalt");
    }
    // The disk fills up while the workbook is written: a file size limit stands in for it.
    struct rlimit before {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tight = before;
    tight.rlim_cur = 2048;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    QString message;
    try {
        ExportPivotGridToXLSX(file, m_pivot);
    } catch (const EVoskException& e) {
        message = e.Message();
    }
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(message.contains(QStringLiteral("alt.xlsx"))) << message.toStdString();
    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("alter Inhalt"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // A pivot without a data field has nothing to write and says so.
    TVoskDBPivotGrid empty;
    EXPECT_THROW(ExportPivotGridToXLSX(file, &empty), EVoskException);
}
