// Column widths fitted to the content: the grid sums character widths where Qt's table view
// lays out each text; both must come to the same widths, whatever the texts hold.
#include "Fixture.h"

#include <TVoskDBGrid2.h>
#include <TVoskDataModel.h>
#include <VoskTextWidths.h>

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

namespace {

// The same model in Qt's own table view, measured Qt's way.
class PlainView final : public QTableView {
public:
    using QTableView::sizeHintForColumn;
};

} // namespace

class GridWidthsTest : public testsupport::DbTest {
protected:
    void SetUp() override {
        testsupport::TestDatabase::Exec(QStringLiteral(
            "DROP TABLE IF EXISTS breiten; "
            "CREATE TABLE breiten (dbrid serial PRIMARY KEY, text text, zahl int, betrag "
            "numeric(12,2), datum date, ja boolean)"));
        m_db.Connect();
    }
    void TearDown() override {
        testsupport::TestDatabase::Exec(QStringLiteral("DROP TABLE IF EXISTS breiten"));
    }
    void fill(const QStringList& texts) {
        QStringList rows;
        for (qsizetype i = 0; i < texts.size(); ++i)
            rows << QStringLiteral("(%1, %2, %3, date '2024-01-01' + %4, %5)")
                        .arg(texts[i].isNull() ? QStringLiteral("NULL")
                                               : u'\'' + QString(texts[i]).replace(u'\'', QStringLiteral("''")) + u'\'')
                        .arg(i * 977 % 100003 - 50000)
                        .arg(double(i % 91) * 12.25)
                        .arg(i % 400)
                        .arg(i % 3 == 0 ? QStringLiteral("NULL") : i % 3 == 1 ? QStringLiteral("true") : QStringLiteral("false"));
        testsupport::TestDatabase::Exec(
            QStringLiteral("INSERT INTO breiten (text, zahl, betrag, datum, ja) VALUES ") +
            rows.join(u','));
        m_class.SetDatabase(&m_db);
        m_class.SetSqlTable(QStringLiteral("breiten"));
        m_class.Open();
        m_grid.SetDataClass(&m_class);
        m_plain.setModel(m_grid.DataModel());
        for (QTableView* v : {static_cast<QTableView*>(&m_grid), static_cast<QTableView*>(&m_plain)})
            v->resize(500, 300);
    }
    void expectQtsWidths(const char* where) {
        for (int c = 0; c < m_class.FieldCount(); ++c)
            EXPECT_EQ(m_grid.sizeHintForColumn(c), m_plain.sizeHintForColumn(c))
                << where << ", column " << qPrintable(m_class.FieldNames()[c]);
    }

    TVoskDatabase m_db;
    TVoskClass m_class;
    TVoskDBGrid2 m_grid;
    PlainView m_plain;
};

TEST_F(GridWidthsTest, SummedWidthsEqualQtsLayoutForEveryKindOfText) {
    QStringList texts = {
        QStringLiteral("Schifffahrt"), QStringLiteral("Auffüllen der Lager"),
        QStringLiteral("AVATAR Wolf Tyre"), QStringLiteral("Straße 12 "),
        QStringLiteral("zwei\nZeilen, die zweite ist länger"), QStringLiteral("Tab\tstop"),
        QStringLiteral("Ελληνικά"), QStringLiteral("Łódź – „Zitat“ … 5 €"),
        QStringLiteral("ſchön Kelvin"), QStringLiteral("nbsp\u00a0"), QStringLiteral("e\u0301"),
        QStringLiteral("日本語"), QStringLiteral(""), QString(), QStringLiteral("   "),
        QStringLiteral("fi fl ffi ffl")};
    // Many ordinary ones, so that the widest is one among many of nearly equal width.
    for (int i = 0; i < 300; ++i)
        texts << QStringLiteral("Firma %1 Müller & Söhne").arg(i * 37 % 1000);
    // The widest ends in blanks, which count.
    texts << QStringLiteral("Firma 999 Müller & Söhne und Partner     ");
    fill(texts);
    expectQtsWidths("hidden");
    m_grid.show();
    m_plain.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_grid));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_plain));
    expectQtsWidths("shown");
    // A few rows measured from the middle of the list, some of them hidden.
    for (QTableView* v : {static_cast<QTableView*>(&m_grid), static_cast<QTableView*>(&m_plain)}) {
        v->horizontalHeader()->setResizeContentsPrecision(7);
        v->scrollTo(v->model()->index(150, 0), QAbstractItemView::PositionAtTop);
        for (int r = 148; r < 160; r += 3)
            v->setRowHidden(r, true);
    }
    expectQtsWidths("scrolled, precision 7");
    // A value typed but not yet posted counts, not the one read.
    for (QTableView* v : {static_cast<QTableView*>(&m_grid), static_cast<QTableView*>(&m_plain)})
        v->horizontalHeader()->setResizeContentsPrecision(1000);
    const int read = m_grid.sizeHintForColumn(1);
    m_class.First();
    m_class.Edit();
    m_class.FieldByName(QStringLiteral("text"))
        .SetAsString(QStringLiteral("Eine getippte Firma, die breiter ist als jede gelesene"));
    expectQtsWidths("a row in edit");
    EXPECT_GT(m_grid.sizeHintForColumn(1), read);
    m_class.Cancel();
    // ... and the sums were taken, never found wrong.
    EXPECT_TRUE(TVoskTextWidths::ForFont(m_grid.font()).Trusted());
}

TEST(TextWidthsTest, SumsOnlyWhatAPairwiseSumCanTell) {
    TVoskTextWidths& w = TVoskTextWidths::ForFont(QFont());
    for (const QString& s : {QStringLiteral("AVATAR"), QStringLiteral("Wasser Töpfe"),
                             QStringLiteral("Ende   "), QStringLiteral("a\nlängere Zeile"),
                             QStringLiteral("x\u00a0")})
        EXPECT_EQ(w.Width(s), w.Shaped(s)) << qPrintable(s);
    // A ligature of the font is shaped, never summed.
    const qreal ligature = w.Width(QStringLiteral("Schiff"));
    EXPECT_TRUE(ligature < 0 || ligature == w.Shaped(QStringLiteral("Schiff")));
    // Tabs, combining marks and other scripts go to real shaping.
    for (const QString& s : {QStringLiteral("a\tb"),
                             QStringLiteral("e\u0301"), QStringLiteral("Ω")})
        EXPECT_LT(w.Width(s), 0) << qPrintable(s);
}

// Over its own records the grid ranks the row numbers by summed widths and lays out only the
// widest; the column still comes out as wide as Qt's header measures it.
TEST_F(GridWidthsTest, RowNumbersOfTheGridsOwnRecordsAreAsWideAsQtMeasuresThem) {
    QStringList texts;
    for (int i = 0; i < 1200; ++i)
        texts << QStringLiteral("Zeile %1").arg(i);
    fill(texts);
    m_grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_grid));
    QHeaderView plain(Qt::Vertical);
    plain.setModel(m_grid.DataModel());
    const auto expectQts = [&](const char* where) {
        plain.setFont(m_grid.verticalHeader()->font());
        for (int r = 0; r < m_grid.DataModel()->rowCount(); ++r)
            plain.setSectionHidden(r, m_grid.isRowHidden(r));
        EXPECT_EQ(m_grid.verticalHeader()->sizeHint(), plain.sizeHint()) << where;
    };
    expectQts("1,200 rows");
    // The longest numbers hidden: the widest left sits among the first hundred.
    for (int r = 999; r < 1200; ++r)
        m_grid.setRowHidden(r, true);
    expectQts("rows from 1,000 on hidden");
    QFont big = m_grid.font();
    big.setPointSize(big.pointSize() * 2);
    m_grid.setFont(big);
    expectQts("larger font");
}

// The row numbers' column keeps its measured width until the rows, the hidden rows, the font
// or the header texts change; then it is what Qt's own header measures.
TEST(GridRowNumbersTest, WidthFollowsRowsHiddenRowsFontAndHeaderTexts) {
    QStandardItemModel model(9, 2);
    TVoskDBGrid2 grid;
    grid.setModel(&model);
    grid.resize(400, 300);
    grid.show();
    QHeaderView plain(Qt::Vertical);
    plain.setModel(&model);
    const auto expectQts = [&](const char* where) {
        plain.setFont(grid.verticalHeader()->font());
        for (int r = 0; r < model.rowCount(); ++r)
            plain.setSectionHidden(r, grid.isRowHidden(r));
        EXPECT_EQ(grid.verticalHeader()->sizeHint(), plain.sizeHint()) << where;
    };
    expectQts("nine rows");
    const int narrow = grid.verticalHeader()->sizeHint().width();
    model.setRowCount(12000);
    expectQts("12,000 rows");
    EXPECT_GT(grid.verticalHeader()->sizeHint().width(), narrow);
    for (int r = 0; r < 150; ++r)
        grid.setRowHidden(r, true);
    expectQts("first rows hidden");
    QFont big = grid.font();
    big.setPointSize(big.pointSize() * 2);
    grid.setFont(big);
    expectQts("larger font");
    model.setHeaderData(11999, Qt::Vertical, QStringLiteral("Summe aller Zeilen"));
    expectQts("a longer header text");
}
