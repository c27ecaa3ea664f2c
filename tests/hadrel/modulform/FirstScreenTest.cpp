// The address module's first screen shows every text of its grids whole: each cell as painted
// agrees with the same cell painted with room to spare, and the delegate asks no more room than
// its column has.
#include "ModulFormFixture.h"

#include <QAbstractItemDelegate>
#include <QImage>

namespace {

// The cells of the rows a view shows whole, in each shown column.
std::vector<QModelIndex> WholeCells(QTableView* view) {
    std::vector<QModelIndex> cells;
    const QRect area = view->viewport()->rect();
    for (int r = 0; r < view->model()->rowCount(); ++r)
        for (int c = 0; c < view->model()->columnCount(); ++c) {
            const QModelIndex index = view->model()->index(r, c);
            if (!view->isColumnHidden(c) && !view->isRowHidden(r) &&
                area.contains(view->visualRect(index)))
                cells.push_back(index);
        }
    return cells;
}

// Where a cell's text lies in its rectangle: the part painted alike however wide the column is
// (the text margin at the far side, where the focus frame closes, left out).
QRect TextSide(const QModelIndex& index, const QRect& cell, int width) {
    const int margin = 3;
    const auto align = Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt());
    return align & Qt::AlignRight
               ? QRect(cell.right() + 1 - width + margin, cell.top(), width - margin, cell.height())
               : QRect(cell.left(), cell.top(), width - margin, cell.height());
}

void ExpectTextsWhole(QTableView* view, const char* name) {
    const std::vector<QModelIndex> cells = WholeCells(view);
    ASSERT_GT(cells.size(), 20u) << name;
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.font = view->font();
    option.fontMetrics = QFontMetrics(view->font());
    option.widget = view;
    for (const QModelIndex& index : cells) {
        const int room = view->columnWidth(index.column()) - (view->showGrid() ? 1 : 0);
        EXPECT_LE(view->itemDelegateForIndex(index)->sizeHint(option, index).width(), room)
            << name << ": " << qPrintable(index.data().toString());
    }
    // The same cells with 200 pixels more in every column.
    const QImage shown = view->viewport()->grab().toImage();
    std::vector<QRect> before;
    for (const QModelIndex& index : cells)
        before.push_back(view->visualRect(index));
    std::vector<int> widths;
    for (int c = 0; c < view->model()->columnCount(); ++c) {
        widths.push_back(view->columnWidth(c));
        view->setColumnWidth(c, widths.back() + 200);
    }
    view->resize(view->width() + 200 * int(widths.size()), view->height());
    QApplication::processEvents();
    const QImage roomy = view->viewport()->grab().toImage();
    for (size_t i = 0; i < cells.size(); ++i) {
        const QRect wide = view->visualRect(cells[i]);
        const QImage a = shown.copy(TextSide(cells[i], before[i], before[i].width()));
        const QImage b = roomy.copy(TextSide(cells[i], wide, before[i].width()));
        EXPECT_TRUE(a == b) << name << ": " << qPrintable(cells[i].data().toString())
                            << " paints cut";
    }
    view->resize(view->width() - 200 * int(widths.size()), view->height());
    for (int c = 0; c < int(widths.size()); ++c)
        view->setColumnWidth(c, widths[size_t(c)]);
}

} // namespace

class FirstScreenTest : public ModulFormFixture {
protected:
    void SetUp() override {
        ModulFormFixture::SetUp();
        // Addresses as the demo has them, ahead of the suite's own in name order.
        testsupport::TestDatabase::Exec(QStringLiteral(
            "INSERT INTO adressen (name, ort, plz, strasse, telefon, email) "
            "SELECT 'Aa ' || n.name || ' ' || f.firma, o.ort, "
            "lpad(((i * 7919) % 90000 + 10000)::text, 5, '0'), s.strasse || ' ' || (i % 120 + 1), "
            "'0' || (30 + i % 60) || ' ' || (100000 + (i * 4241) % 900000), "
            "lower(n.name) || '.' || i || '@beispiel.de' "
            "FROM generate_series(1, 200) AS i "
            "JOIN (VALUES (0, 'Müller'), (1, 'Schmidt'), (2, 'Schäfer'), (3, 'Bauer')) "
            "  AS n(k, name) ON n.k = i % 4 "
            "JOIN (VALUES (0, 'GmbH'), (1, 'AG'), (2, 'und Söhne'), (3, 'GmbH & Co. KG')) "
            "  AS f(k, firma) ON f.k = i % 3 "
            "JOIN (VALUES (0, 'Berlin'), (1, 'Hamburg'), (2, 'München'), (3, 'Köln'), "
            "  (4, 'Frankfurt am Main'), (5, 'Düsseldorf'), (6, 'Leipzig')) AS o(k, ort) "
            "  ON o.k = i % 7 "
            "JOIN (VALUES (0, 'Hauptstraße'), (1, 'Bahnhofstraße'), (2, 'Birkenweg')) "
            "  AS s(k, strasse) ON s.k = i % 3"));
    }
    void TearDown() override {
        ModulFormFixture::TearDown();
        testsupport::TestDatabase::Exec(
            QStringLiteral("DELETE FROM adressen WHERE name LIKE 'Aa %'"));
    }
};

TEST_F(FirstScreenTest, EveryTextOfTheAddressGridPaintsWhole) {
    TFormAdress* f = Open();
    TVoskDBGrid2* grid = f->GridAdressen;
    grid->resize(grid->width(), 420);
    QApplication::processEvents();
    ExpectTextsWhole(grid, "GridAdressen");
}
