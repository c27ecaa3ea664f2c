// What the address grid's rows are to a delete and an export: the rows the user sees selected are
// deleted after a question, every row the filter lets through is exported (collapsed groups too),
// and the workbook reads back whole in a reader of its own.
#include "ModulFormFixture.h"

#include "TopLabel.h"
#include "WorkbookReader.h"
#include "cxGridExportLink.h"

#include <TVoskDataModel.h>

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

class GridRowsTest : public ModulFormFixture {
protected:
    void SetUp() override {
        ModulFormFixture::SetUp();
        // Six more in "Ort 1": 26 addresses, 20 towns.
        testsupport::TestDatabase::Exec(QStringLiteral(
            "INSERT INTO adressen (name, ort, plz) SELECT 'Zusatz ' || i, 'Ort 1', '10001' "
            "FROM generate_series(1, 6) AS i"));
    }
    void TearDown() override {
        ModulFormFixture::TearDown();
        // The suite's address of "Ort 1" comes back when a test deleted it.
        testsupport::TestDatabase::Exec(QStringLiteral(
            "DELETE FROM adressen WHERE name LIKE 'Zusatz %'; "
            "INSERT INTO adressen (name, ort, plz) SELECT 'Adresse 01', 'Ort 1', '10001' "
            "WHERE NOT EXISTS (SELECT FROM adressen WHERE name = 'Adresse 01')"));
    }
    static int Count(const QString& where = QStringLiteral("true")) {
        return testsupport::TestDatabase::Scalar(
                   QStringLiteral("SELECT count(*) FROM adressen WHERE ") + where)
            .toInt();
    }
    static int Mode(const QString& path) {
        struct stat st {};
        ::stat(QFile::encodeName(path).constData(), &st);
        return int(st.st_mode & 0777);
    }
};

TEST_F(GridRowsTest, DeletingSeveralRowsAsksAndTakesOnlyTheRowsShown) {
    TFormAdress* f = Open();
    TVoskDBGrid2* grid = f->GridAdressen;
    grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    const int all = Count();
    ASSERT_EQ(all, 26);

    // Ctrl+A under a filter: the seven of "Ort 1" are what the user sees selected.
    grid->SetGridFilterText(QStringLiteral("ort = 'Ort 1'"));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(grid->selectionModel()->selectedRows().size(), 26);
    EXPECT_EQ(grid->SelectedRowCount(), 7);
    m_answers.Expect(QStringLiteral("7 Datensätze löschen?"), Vcl::mrNo);
    Click(f, nbDelete);
    EXPECT_EQ(Count(), all);
    m_answers.Expect(QStringLiteral("7 Datensätze löschen?"), Vcl::mrYes);
    Click(f, nbDelete);
    EXPECT_EQ(Count(), all - 7);
    EXPECT_EQ(Count(QStringLiteral("ort = 'Ort 1'")), 0);
    EXPECT_EQ(f->DataAdressen->RecordCount(), all - 7);

    // Grouped by town with one group collapsed: its rows are not selected for the user.
    grid->GridFilterClear();
    grid->SetGroupFields({QStringLiteral("ort")});
    grid->SetGroupExpanded({QStringLiteral("Ort 2")}, false);
    QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(grid->SelectedRowCount(), all - 7 - 1);
    m_answers.Expect(QStringLiteral("18 Datensätze löschen?"), Vcl::mrNo);
    Click(f, nbDelete);
    EXPECT_EQ(Count(), all - 7);
}

TEST_F(GridRowsTest, ExportOfAGroupedGridHoldsEveryRowWhateverIsCollapsed) {
    TFormAdress* f = Open();
    TVoskDBGrid2* grid = f->GridAdressen;
    grid->SetGroupFields({QStringLiteral("ort")});
    grid->FullCollapse();
    ASSERT_LT(grid->ShownRows().size(), 26) << "the heads of the groups only";

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Adressen.xlsx"));
    m_answers.ExpectFile({}, {file});
    f->TopLabel->moExportierenClick();
    const QList<testsupport::WorkbookSheet> book = testsupport::ReadWorkbook(file);
    ASSERT_EQ(book.size(), 1);
    const auto& rows = book[0].rows;
    ASSERT_EQ(rows.size(), 1 + 26);
    const int name = grid->ShownColumns().indexOf(grid->columnByFieldName(QStringLiteral("name")));
    const int ort = grid->ShownColumns().indexOf(grid->columnByFieldName(QStringLiteral("ort")));
    EXPECT_EQ(rows[0][name].value.toString(),
              grid->DataModel()->headerData(grid->columnByFieldName(QStringLiteral("name")),
                                            Qt::Horizontal));
    QStringList names;
    int inOrt1 = 0;
    for (qsizetype r = 1; r < rows.size(); ++r) {
        EXPECT_EQ(rows[r][name].type, QStringLiteral("str"));
        names << rows[r][name].value.toString();
        inOrt1 += rows[r][ort].value.toString() == QStringLiteral("Ort 1");
    }
    EXPECT_EQ(inOrt1, 7);
    names.sort();
    EXPECT_EQ(names.join(u','), testsupport::TestDatabase::Scalar(QStringLiteral(
                                    "SELECT string_agg(name, ',' ORDER BY name) FROM adressen")));
    // The filter still narrows the export.
    grid->SetGridFilterText(QStringLiteral("ort = 'Ort 1'"));
    m_answers.ExpectFile({}, {file});
    f->TopLabel->moExportierenClick();
    EXPECT_EQ(testsupport::ReadWorkbook(file).value(0).rows.size(), 1 + 7);
}

TEST_F(GridRowsTest, ValuesNoWorkbookNumberHoldsAreWrittenAsTheDatabaseShowsThem) {
    TFormAdress* f = Open();
    auto* data = Vcl::Owned(f, new TVoskClass2(f), QStringLiteral("DataWerte"));
    data->SetQuerySql(QStringLiteral(
        "SELECT 'NaN'::float8 AS nan, 'Infinity'::float8 AS plus, '-Infinity'::numeric AS minus, "
        "9007199254740993::bigint AS gross, -9007199254740992::bigint AS grenze, 42 AS klein, "
        "2.5::numeric AS bruch, 'infinity'::date AS ewig, '-infinity'::timestamp AS nie, "
        "'2024-02-29'::date AS tag"));
    data->Open();
    auto* grid = Vcl::Owned(f, new TVoskDBGrid2(f->ClientArea()), QStringLiteral("GridWerte"));
    grid->SetDataClass(data);

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Werte.xlsx"));
    const mode_t oldMask = ::umask(027);
    ExportGridToXLSX(file, grid);
    ::umask(oldMask);
    EXPECT_EQ(Mode(file), 0640) << "the mode of a new file under the umask";
    const auto book = testsupport::ReadWorkbook(file);
    ASSERT_EQ(book.size(), 1);
    ASSERT_EQ(book[0].rows.size(), 2);
    const auto& row = book[0].rows[1];
    const QList<std::pair<QString, QVariant>> expected = {
        {QStringLiteral("str"), QStringLiteral("NaN")},
        {QStringLiteral("str"), QStringLiteral("Infinity")},
        {QStringLiteral("str"), QStringLiteral("-Infinity")},
        {QStringLiteral("str"), QStringLiteral("9007199254740993")},
        {QStringLiteral("int"), qint64(-9007199254740992)},
        {QStringLiteral("int"), 42},
        {QStringLiteral("float"), 2.5},
        {QStringLiteral("str"), QStringLiteral("infinity")},
        {QStringLiteral("str"), QStringLiteral("-infinity")},
        {QStringLiteral("datetime"), QStringLiteral("2024-02-29T00:00:00")}};
    ASSERT_EQ(row.size(), expected.size());
    for (qsizetype c = 0; c < row.size(); ++c) {
        EXPECT_EQ(row[c].type, expected[c].first) << c;
        EXPECT_EQ(row[c].value.toString(), expected[c].second.toString()) << c;
    }

    // A workbook written over keeps the mode it had.
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
    ExportGridToXLSX(file, grid);
    EXPECT_EQ(Mode(file), 0600);
}
