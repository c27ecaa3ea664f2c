// The colours of the grid's conditional formatting in the exported workbook: as the workbook's own
// conditional formats where it can judge a rule as the grid does, fixed in the cells where it
// cannot; read back by openpyxl.
#include "ModulFormFixture.h"

#include "TopLabel.h"
#include "VoskConditionalFormatting.h"
#include "WorkbookReader.h"
#include "cxGridExportLink.h"

#include <TVoskDataModel.h>

#include <QTemporaryDir>

namespace {

TVoskCondFormatRule Rule(const char* field, TVoskCondOperator op, const QString& v1,
                         const char* background, const QString& v2 = {}) {
    TVoskCondFormatRule r;
    r.field = QString::fromLatin1(field);
    r.op = op;
    r.value1 = v1;
    r.value2 = v2;
    if (background)
        r.background = QColor::fromString(QLatin1String(background));
    return r;
}

using Op = TVoskCondOperator;

// The workbook column ("A", "B", ...) of field as the grid shows it.
QString Letter(TVoskDBGrid2* grid, const char* field) {
    const int at =
        int(grid->ShownColumns().indexOf(grid->columnByFieldName(QString::fromLatin1(field))));
    return at < 0 ? QString() : QString(QChar(char16_t(u'A' + at)));
}

QList<testsupport::WorkbookCondFormat> FormatsOf(const testsupport::WorkbookSheetLooks& sheet,
                                                 const QString& range) {
    QList<testsupport::WorkbookCondFormat> list;
    for (const auto& f : sheet.condFormats)
        if (f.range == range)
            list << f;
    return list;
}

} // namespace

class ConditionalFormattingExportTest : public ModulFormFixture {
protected:
    void TearDown() override {
        ModulFormFixture::TearDown();
        testsupport::TestDatabase::Exec(QStringLiteral("DELETE FROM grid_layouts"));
    }
};

TEST_F(ConditionalFormattingExportTest, RulesBecomeWorkbookFormatsOrFixedCellColours) {
    TFormAdress* f = Open();
    auto* data = Vcl::Owned(f, new TVoskClass2(f), QStringLiteral("DataWerte"));
    data->SetQuerySql(QStringLiteral(
        "SELECT * FROM (VALUES "
        "(1, 'Alpha', 50.0::float8, '2024-03-01'::date, '2024-03-01 10:00'::timestamp, true, "
        "'Berlin', 5::bigint), "
        "(2, 'a*b', 150.5, '2023-12-31', '2024-03-01 10:00:00.5', false, 'München', "
        "9007199254740993), "
        "(3, 'Beta', NULL, NULL, NULL, NULL, '', 200)) "
        "AS t(nr, name, betrag, datum, stempel, aktiv, ort, gross) ORDER BY nr"));
    data->Open();
    auto* grid = Vcl::Owned(f, new TVoskDBGrid2(f->ClientArea()), QStringLiteral("GridWerte"));
    grid->SetDataClass(data);
    grid->SetHiddenFields({QStringLiteral("nr")});
    ASSERT_EQ(grid->ShownColumns().size(), 7);

    TVoskCondFormatRule nameRule = Rule("name", Op::Contains, QStringLiteral("A*"), nullptr);
    nameRule.textColor = QColor(0xff, 0, 0);
    nameRule.bold = true;
    TVoskCondFormatRule aktivRule = Rule("aktiv", Op::Equal, QStringLiteral("ja"), nullptr);
    aktivRule.textColor = Qt::black;
    grid->ConditionalFormatting()->SetRules({
        Rule("betrag", Op::Greater, QStringLiteral("100"), "#ffff00"),
        nameRule,
        Rule("datum", Op::Between, QStringLiteral("31.12.2024"), "#00ff00",
             QStringLiteral("01.01.2024")),
        Rule("ort", Op::Equal, QStringLiteral("berlin"), "#0000ff"),
        // German order: the workbook cannot judge it, nor any rule of the column after it.
        Rule("ort", Op::Less, QStringLiteral("M"), "#ff00ff"),
        Rule("ort", Op::Equal, QStringLiteral("München"), "#00ffff"),
        Rule("gross", Op::Greater, QStringLiteral("100"), "#ffff00"),
        Rule("stempel", Op::Equal, QStringLiteral("01.03.2024 10:00"), "#c0c0c0"),
        // Searched in the shown date.
        Rule("datum", Op::Contains, QStringLiteral("12.2023"), "#808080"),
        aktivRule,
        Rule("betrag", Op::Greater, QStringLiteral("50"), "#c0c0c0"),
        // The hidden column is not in the workbook, nor is its rule.
        Rule("nr", Op::Equal, QStringLiteral("1"), "#123456"),
    });

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Werte.xlsx"));
    ExportGridToXLSX(file, grid);
    const auto looks = testsupport::ReadWorkbookLooks(file);
    ASSERT_EQ(looks.size(), 1);
    const auto& sheet = looks[0];
    auto range = [&](const char* field) {
        const QString l = Letter(grid, field);
        return l + QStringLiteral("2:") + l + u'4';
    };

    // Of a column's formats the first that holds decides, as in the grid.
    for (const auto& cf : sheet.condFormats) {
        EXPECT_EQ(cf.type, QStringLiteral("expression")) << cf.range.toStdString();
        EXPECT_TRUE(cf.stopIfTrue) << cf.range.toStdString();
    }
    const auto betrag = FormatsOf(sheet, range("betrag"));
    ASSERT_EQ(betrag.size(), 2);
    EXPECT_EQ(betrag[0].formula, QStringLiteral("AND(ISNUMBER(%1),%1>100)").arg(Letter(grid, "betrag") + u'2'));
    EXPECT_EQ(betrag[0].look.fill, QStringLiteral("FFFF00"));
    EXPECT_EQ(betrag[1].look.fill, QStringLiteral("C0C0C0"));
    EXPECT_LT(betrag[0].priority, betrag[1].priority);

    const auto name = FormatsOf(sheet, range("name"));
    ASSERT_EQ(name.size(), 1);
    EXPECT_TRUE(name[0].formula.contains(QStringLiteral("SEARCH(\"A~*\"")));
    EXPECT_EQ(name[0].look.font, QStringLiteral("FF0000"));
    EXPECT_TRUE(name[0].look.bold);
    EXPECT_TRUE(name[0].look.fill.isEmpty());

    EXPECT_EQ(FormatsOf(sheet, range("datum")).size(), 1);
    EXPECT_EQ(FormatsOf(sheet, range("stempel")).size(), 1);
    EXPECT_EQ(FormatsOf(sheet, range("gross")).size(), 1);
    const auto ort = FormatsOf(sheet, range("ort"));
    ASSERT_EQ(ort.size(), 1) << "the rules after one the workbook cannot judge are fixed";
    EXPECT_EQ(ort[0].look.fill, QStringLiteral("0000FF"));
    const auto aktiv = FormatsOf(sheet, range("aktiv"));
    ASSERT_EQ(aktiv.size(), 1);
    EXPECT_EQ(aktiv[0].look.font, QStringLiteral("000000")) << "black is a colour too";
    EXPECT_EQ(sheet.condFormats.size(), 8);

    // Fixed colours: where a rule without a workbook form decides, and where a value is not held
    // as the column's kind (a bigint beyond a double's digits is text there).
    ASSERT_EQ(sheet.cells.size(), 3);
    QMap<std::pair<int, QString>, QString> fixed;
    for (int r = 0; r < 3; ++r)
        for (qsizetype c = 0; c < sheet.cells[r].size(); ++c)
            if (!sheet.cells[r][c].fill.isEmpty())
                fixed[{r, QString(QChar(char16_t(u'A' + c)))}] = sheet.cells[r][c].fill;
    const QMap<std::pair<int, QString>, QString> expected = {
        {{1, Letter(grid, "ort")}, QStringLiteral("00FFFF")},
        {{2, Letter(grid, "ort")}, QStringLiteral("FF00FF")}, // an empty text is less than "M"
        {{1, Letter(grid, "gross")}, QStringLiteral("FFFF00")},
        {{1, Letter(grid, "datum")}, QStringLiteral("808080")},
    };
    EXPECT_EQ(fixed, expected);
    // A coloured date stays a date.
    const int datum = int(grid->ShownColumns().indexOf(grid->columnByFieldName(QStringLiteral("datum"))));
    EXPECT_EQ(sheet.numberFormats[1][datum], QStringLiteral("dd.mm.yyyy"));
    const auto values = testsupport::ReadWorkbook(file);
    ASSERT_EQ(values.value(0).rows.size(), 4);
    EXPECT_EQ(values[0].rows[2][datum].type, QStringLiteral("datetime"));

    // Without rules the workbook has neither formats nor colours.
    grid->ConditionalFormatting()->SetRules({});
    ExportGridToXLSX(file, grid);
    const auto plain = testsupport::ReadWorkbookLooks(file);
    ASSERT_EQ(plain.size(), 1);
    EXPECT_TRUE(plain[0].condFormats.isEmpty());
    for (const auto& row : plain[0].cells)
        for (const auto& cell : row)
            EXPECT_TRUE(cell.fill.isEmpty() && cell.font.isEmpty());
}

TEST_F(ConditionalFormattingExportTest, HeaderMenuExportCarriesTheRulesOfTheShownColumns) {
    TFormAdress* f = Open();
    TVoskDBGrid2* grid = f->GridAdressen;
    ASSERT_FALSE(grid->HiddenFields().isEmpty());
    const QString hidden = grid->HiddenFields().first();
    grid->ConditionalFormatting()->SetRules({
        Rule(hidden.toLatin1().constData(), Op::Greater, QStringLiteral("0"), "#123456"),
        Rule("ort", Op::Equal, QStringLiteral("Ort 3"), "#ffc000"),
    });

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Adressen.xlsx"));
    m_answers.ExpectFile({}, {file});
    f->TopLabel->moExportierenClick();
    const auto looks = testsupport::ReadWorkbookLooks(file);
    ASSERT_EQ(looks.size(), 1);
    const int rows = int(looks[0].cells.size());
    ASSERT_EQ(rows, 20);
    ASSERT_EQ(looks[0].condFormats.size(), 1);
    const QString l = Letter(grid, "ort");
    EXPECT_EQ(looks[0].condFormats[0].range, l + QStringLiteral("2:") + l + QString::number(rows + 1));
    EXPECT_EQ(looks[0].condFormats[0].formula,
              QStringLiteral("AND(ISTEXT(%1),%1=\"Ort 3\")").arg(l + u'2'));
    EXPECT_EQ(looks[0].condFormats[0].look.fill, QStringLiteral("FFC000"));
}

TEST_F(ConditionalFormattingExportTest, EverySheetOfALongTableCarriesTheFormats) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("lang.xlsx"));
    TExportTable table;
    table.Captions = {QStringLiteral("Nr")};
    table.RowCount = 5;
    table.Cell = [](qint64 r, int) { return QVariant(r); };
    // A rule that changes no look is still a rule, which the reader must take.
    table.CondFormats = {{0, QStringLiteral("A2>2"), {QColor(0xff, 0, 0), {}, false}},
                         {0, QStringLiteral("A2<0"), {}}};
    cxExport::ExportTableToXLSX(file, table, {}, 3);
    const auto looks = testsupport::ReadWorkbookLooks(file);
    ASSERT_EQ(looks.size(), 3);
    const QStringList ranges = {QStringLiteral("A2:A3"), QStringLiteral("A2:A3"),
                                QStringLiteral("A2")};
    for (int s = 0; s < 3; ++s) {
        ASSERT_EQ(looks[s].condFormats.size(), 2) << s;
        EXPECT_EQ(looks[s].condFormats[0].range, ranges[s]);
        EXPECT_EQ(looks[s].condFormats[0].look.fill, QStringLiteral("FF0000"));
    }
}
