#include "GridBandedTableView.h"

#include "BandedHeaderView.h"
#include "DataSourceModel.h"
#include "GridFooterView.h"

#include <VoskExceptions.h>

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <map>

namespace Grid {
namespace {

const char* const kSummaryNames[] = {"none", "sum", "count", "min", "max", "average"};

QString Damaged(const QString& what) {
    return QStringLiteral("Das gespeicherte Layout ist beschädigt: %1").arg(what);
}

int IntOf(const QJsonObject& o, const char* key, const QString& where) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble() || v.toDouble() != std::floor(v.toDouble()))
        throw EVoskException(
            Damaged(QStringLiteral("%1 ohne ganze Zahl \"%2\"").arg(where, QLatin1String(key))));
    return v.toInt();
}

bool BoolOf(const QJsonObject& o, const char* key, const QString& where) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isBool())
        throw EVoskException(
            Damaged(QStringLiteral("%1 ohne Wahrheitswert \"%2\"").arg(where, QLatin1String(key))));
    return v.toBool();
}

QString StringOf(const QJsonObject& o, const char* key, const QString& where) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isString())
        throw EVoskException(
            Damaged(QStringLiteral("%1 ohne Text \"%2\"").arg(where, QLatin1String(key))));
    return v.toString();
}

} // namespace

// Draws the grouping: each row's indent area, and group rows as one band across the row with
// their expand button and text (every cell draws its part of it, so the paint order of cells
// does not matter). Ungrouped views are drawn as the base delegate draws them.
class GridCellDelegate final : public QStyledItemDelegate {
public:
    GridCellDelegate(GridBandedTableView& view, QObject* parent)
        : QStyledItemDelegate(parent), m_view(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const Grid::DataController& ctl = m_view.DataController();
        if (!ctl.IsGrouped()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const int row = index.row();
        const bool first = index.column() == m_view.firstShownSection();
        const GridIndentAreaInfo indent = m_view.IndentArea(row);
        // The table draws no grid while grouped (its lines would cross the group rows): data
        // cells draw their own right and bottom line, group rows only the bottom one.
        const QColor gridColor = QColor::fromRgba(
            QRgb(m_view.TableView()->style()->styleHint(QStyle::SH_Table_GridLineColor, &option,
                                                        m_view.TableView())));
        if (!ctl.IsGroupRow(row)) {
            QStyleOptionViewItem opt = option;
            opt.rect.adjust(0, 0, -1, -1);
            if (first && indent.Bounds.width() > 0) {
                m_view.paintIndentArea(*painter, indent);
                opt.rect.setLeft(opt.rect.left() + indent.Bounds.width());
            }
            QStyledItemDelegate::paint(painter, opt, index);
            painter->save();
            painter->setPen(gridColor);
            painter->drawLine(opt.rect.left(), option.rect.bottom(), option.rect.right(),
                              option.rect.bottom());
            painter->drawLine(option.rect.right(), option.rect.top(), option.rect.right(),
                              option.rect.bottom());
            painter->restore();
            return;
        }
        painter->save();
        painter->setClipRect(option.rect);
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& pal = option.palette;
        painter->fillRect(option.rect, selected ? pal.highlight() : pal.window());
        if (first && indent.Bounds.width() > 0)
            m_view.paintIndentArea(*painter, indent);
        painter->setPen(selected ? pal.color(QPalette::HighlightedText)
                                 : pal.color(QPalette::WindowText));
        const int group = ctl.RowGroup(row);
        const int textLeft = indent.Bounds.right() + 1 + m_view.ViewInfo().LevelIndent() + kPad;
        const Line& line = lineOf(group, textLeft, option.fontMetrics);
        if (std::find(line.Aligned.begin(), line.Aligned.end(), index.column()) !=
            line.Aligned.end()) {
            painter->drawText(option.rect.adjusted(kPad, 0, -kPad, 0),
                              Qt::AlignRight | Qt::AlignVCenter,
                              option.fontMetrics.elidedText(
                                  m_view.GroupSummaryText(group, index.column()), Qt::ElideRight,
                                  option.rect.width() - 2 * kPad));
        } else {
            // The text starts behind the button and runs on over the following cells.
            const QRect button = m_view.ExpandButtonRect(row);
            if (QRect(textLeft, option.rect.top(), line.End - textLeft + kPad, option.rect.height())
                    .intersects(option.rect))
                painter->drawStaticText(
                    QPointF(textLeft, option.rect.top() +
                                          (option.rect.height() - line.Static.size().height()) / 2),
                    line.Static);
            if (button.intersects(option.rect))
                drawButton(*painter, button, ctl.Group(group).Expanded, pal);
        }
        painter->setPen(gridColor);
        painter->drawLine(option.rect.left(), option.rect.bottom(), option.rect.right(),
                          option.rect.bottom());
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (m_view.DataController().IsGrouped() && index.column() == m_view.firstShownSection())
            size.rwidth() += m_view.IndentArea(index.row()).Bounds.width() +
                             m_view.ViewInfo().LevelIndent();
        return size;
    }

    // Drops the laid-out group texts (the groups, a caption or a summary changed).
    void Forget() { m_lines.clear(); }

private:
    static constexpr int kPad = 4;

    // A group row's text as laid out for the present header: summaries of columns that start
    // right of the text stand in them (Aligned), the others follow the text, so that it is never
    // cut by a narrow column. Laid out once per group and header arrangement, not per cell.
    struct Line {
        size_t Stamp = 0;
        int End = 0; // where the text ends, in the viewport
        std::vector<int> Aligned;
        QStaticText Static;
    };

    const Line& lineOf(int group, int textLeft, const QFontMetrics& metrics) const {
        const BandedHeaderView* header = m_view.Header();
        size_t stamp = qHashMulti(0, textLeft, metrics.height(), metrics.averageCharWidth());
        for (int v = 0; v < header->count(); ++v) {
            const int logical = header->logicalIndex(v);
            if (!header->isSectionHidden(logical))
                stamp = qHashMulti(stamp, logical, header->sectionViewportPosition(logical));
        }
        if (m_lines.size() <= size_t(group))
            m_lines.resize(size_t(m_view.DataController().GroupCount()));
        Line& line = m_lines[size_t(group)];
        if (line.Stamp == stamp && stamp != 0)
            return line;
        line = Line{};
        line.Stamp = stamp;
        QString text = m_view.GroupRowText(group);
        line.End = textLeft + metrics.horizontalAdvance(text);
        for (int v = 0; v < header->count(); ++v) {
            const int logical = header->logicalIndex(v);
            if (header->isSectionHidden(logical))
                continue;
            const QString summary = m_view.GroupSummaryText(group, logical);
            if (summary.isEmpty())
                continue;
            if (header->sectionViewportPosition(logical) >= line.End + 2 * kPad) {
                line.Aligned.push_back(logical);
                continue;
            }
            const GridBandedColumn* column = m_view.ColumnOfItem(logical);
            text += QStringLiteral("   %1: %2").arg(column ? column->Caption() : QString(), summary);
            line.End = textLeft + metrics.horizontalAdvance(text);
        }
        line.Static.setText(text);
        line.Static.setTextFormat(Qt::PlainText);
        return line;
    }

    static void drawButton(QPainter& painter, const QRect& r, bool expanded, const QPalette& pal) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.fillRect(r, pal.base());
        painter.setPen(pal.color(QPalette::Dark));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        painter.setPen(pal.color(QPalette::Text));
        const int cx = r.left() + r.width() / 2, cy = r.top() + r.height() / 2;
        const int arm = std::max(1, r.width() / 2 - 2);
        painter.drawLine(cx - arm, cy, cx + arm, cy);
        if (!expanded)
            painter.drawLine(cx, cy - arm, cx, cy + arm);
        painter.restore();
    }

    GridBandedTableView& m_view;
    mutable std::vector<Line> m_lines; // by group
};

GridBandedTableView::GridBandedTableView(QObject* owner)
    : QObject(owner), m_controller(new Grid::DataController(this)) {
    m_control = new QWidget;
    m_control->setObjectName(QStringLiteral("GridSite"));
    m_control->setAccessibleName(QStringLiteral("Tabelle"));
    m_control->setToolTip(QStringLiteral("Tabelle"));
    auto* layout = new QVBoxLayout(m_control);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_table = new QTableView(m_control);
    m_table->setObjectName(QStringLiteral("Table"));
    m_table->setAccessibleName(QStringLiteral("Tabelle"));
    m_table->setToolTip(QStringLiteral("Zeilen der Tabelle"));
    m_header = new BandedHeaderView(*this, m_table);
    m_header->setObjectName(QStringLiteral("Header"));
    m_header->setAccessibleName(QStringLiteral("Spaltenköpfe"));
    m_header->setToolTip(QStringLiteral("Spalten ziehen, um sie zu verschieben"));
    m_header->setContextMenuPolicy(Qt::CustomContextMenu);
    m_table->setHorizontalHeader(m_header);
    m_model = new DataSourceModel(*m_controller, this);
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_cellDelegate = new GridCellDelegate(*this, m_table);
    m_table->setItemDelegate(m_cellDelegate);
    m_table->installEventFilter(this);
    m_table->viewport()->installEventFilter(this);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_footer = new GridFooterView(*this, m_control);
    m_footer->setVisible(false);
    layout->addWidget(m_table);
    layout->addWidget(m_footer);

    connect(m_header, &QHeaderView::sectionMoved, this, &GridBandedTableView::sectionMoved);
    connect(m_header, &QHeaderView::sectionResized, this, &GridBandedTableView::sectionResized);
    connect(m_header, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { emit HeaderContextMenu(m_header->mapToGlobal(p)); });
    // A reset model forgets the header's arrangement: it is put back from the view's.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        GroupsChanged();
        syncControl();
        measureGroupRows(0, m_controller->RowCount() - 1);
        if (m_footerVisible)
            m_footer->Recalculate();
    });
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { measureGroupRows(first, last); });
    m_model->SetGroupCellText(
        [this](int group, int item) { return GroupSummaryText(group, item); });
    m_model->SetGroupRowText([this](int group) { return GroupRowText(group); });
    connect(m_table->horizontalScrollBar(), &QScrollBar::valueChanged, m_footer,
            qOverload<>(&QWidget::update));
    connect(m_header, &QHeaderView::geometriesChanged, m_footer, qOverload<>(&QWidget::update));
}

GridBandedTableView::~GridBandedTableView() {
    // The model goes before the controller it reads; the widgets with the view unless a parent
    // has taken them.
    if (m_table)
        m_table->setModel(nullptr);
    delete m_model;
    if (m_control && !m_control->parent())
        delete m_control.data();
}

int GridBandedTableView::AddBand(const QString& caption) {
    m_bands.push_back(GridBand{caption, true});
    Changed();
    return int(m_bands.size()) - 1;
}

int GridBandedTableView::BandWidth(int band) const {
    int width = 0;
    for (GridBandedColumn* c : ShownColumns())
        if (c->BandIndex == band)
            width += c->Width;
    return width;
}

int GridBandedTableView::ColumnIndex(const GridBandedColumn& column) const {
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].get() == &column)
            return int(i);
    return -1;
}

GridBandedColumn* GridBandedTableView::ColumnByName(const QString& name) const {
    if (name.isEmpty())
        return nullptr;
    for (const auto& c : m_columns)
        if (c->Name.compare(name, Qt::CaseInsensitive) == 0)
            return c.get();
    return nullptr;
}

GridBandedColumn* GridBandedTableView::ColumnOfItem(int itemIndex) const {
    for (const auto& c : m_columns)
        if (c->ItemIndex() == itemIndex)
            return c.get();
    return nullptr;
}

GridBandedColumn& GridBandedTableView::CreateColumn(const QString& name) {
    GridItemDataBinding& binding = m_controller->AddItem(CreateDataBinding());
    m_columns.push_back(std::unique_ptr<GridBandedColumn>(new GridBandedColumn(binding)));
    GridBandedColumn& column = *m_columns.back();
    column.Name = name;
    int last = -1;
    for (const auto& c : m_columns)
        if (c.get() != &column && c->BandIndex == 0)
            last = std::max(last, c->ColIndex);
    column.ColIndex = last + 1;
    // The model has one column more: it starts over, and the header with it.
    m_controller->DataChanged();
    Changed();
    return column;
}

void GridBandedTableView::SetColumnIndex(GridBandedColumn& column, int index) {
    const int from = ColumnIndex(column);
    if (from < 0)
        return;
    index = std::clamp(index, 0, ColumnCount() - 1);
    auto moved = std::move(m_columns[size_t(from)]);
    m_columns.erase(m_columns.begin() + from);
    m_columns.insert(m_columns.begin() + index, std::move(moved));
    Changed();
}

bool GridBandedTableView::IsColumnShown(const GridBandedColumn& column) const {
    return column.Visible && column.GroupIndex < 0 && column.BandIndex >= 0 && column.BandIndex < BandCount() &&
           m_bands[size_t(column.BandIndex)].Visible;
}

std::vector<GridBandedColumn*> GridBandedTableView::ShownColumns() const {
    std::vector<GridBandedColumn*> shown;
    for (const auto& c : m_columns)
        if (IsColumnShown(*c))
            shown.push_back(c.get());
    std::stable_sort(shown.begin(), shown.end(), [](GridBandedColumn* a, GridBandedColumn* b) {
        if (a->BandIndex != b->BandIndex)
            return a->BandIndex < b->BandIndex;
        if (a->RowIndex != b->RowIndex)
            return a->RowIndex < b->RowIndex;
        return a->ColIndex < b->ColIndex;
    });
    return shown;
}

void GridBandedTableView::renumberBands() {
    // Positions inside each band become 0, 1, 2 ... in their present order.
    std::map<int, std::vector<GridBandedColumn*>> byBand;
    for (const auto& c : m_columns)
        byBand[c->BandIndex].push_back(c.get());
    for (auto& [band, cols] : byBand) {
        std::stable_sort(cols.begin(), cols.end(), [](GridBandedColumn* a, GridBandedColumn* b) {
            return a->ColIndex < b->ColIndex;
        });
        for (size_t i = 0; i < cols.size(); ++i)
            cols[i]->ColIndex = int(i);
    }
}

void GridBandedTableView::MoveColumn(GridBandedColumn& column, int band, int colIndex) {
    renumberBands();
    for (const auto& c : m_columns)
        if (c.get() != &column && c->BandIndex == band && c->ColIndex >= colIndex)
            ++c->ColIndex;
    column.BandIndex = band;
    column.ColIndex = colIndex;
    renumberBands();
    Changed();
}

void GridBandedTableView::SetFooterVisible(bool visible) {
    m_footerVisible = visible;
    m_footer->setVisible(visible);
    if (visible)
        m_footer->Recalculate();
}

QString GridBandedTableView::SummaryName(SummaryKind kind) {
    return QString::fromLatin1(kSummaryNames[int(kind)]);
}

namespace {

// A column's summary from its count, sum, least and greatest value.
QVariant Summary(SummaryKind kind, qint64 count, double sum, const QVariant& min,
                 const QVariant& max) {
    switch (kind) {
    case SummaryKind::Sum:
        return sum;
    case SummaryKind::Count:
        return count;
    case SummaryKind::Min:
        return min;
    case SummaryKind::Max:
        return max;
    case SummaryKind::Average:
        return count ? QVariant(sum / double(count)) : QVariant();
    case SummaryKind::None:
        break;
    }
    return {};
}

} // namespace

std::vector<QVariant> GridBandedTableView::FooterValues() const {
    std::vector<QVariant> result(m_columns.size());
    std::vector<int> items;
    std::vector<size_t> at;
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i]->FooterSummary == SummaryKind::None)
            continue;
        const int item = m_columns[i]->ItemIndex();
        const SummaryKind kind = m_columns[i]->FooterSummary;
        // Typed where the source reads the column so: the least and greatest value are those
        // of the records holding them, as the source gives them.
        if (const std::unique_ptr<ColumnCells> cells = m_controller->FetchCells(item)) {
            qint64 count = 0;
            double sum = 0;
            qint64 min = -1, max = -1;
            for (size_t r = 0; r < cells->Null.size(); ++r) {
                if (cells->Null[r])
                    continue;
                ++count;
                if (double d = 0; cells->Number(r, d))
                    sum += d;
                if (min < 0 || cells->Compare(r, size_t(min)) < 0)
                    min = qint64(r);
                if (max < 0 || cells->Compare(r, size_t(max)) > 0)
                    max = qint64(r);
            }
            const qint64 shown = kind == SummaryKind::Min ? min : max;
            const QVariant extreme =
                (kind == SummaryKind::Min || kind == SummaryKind::Max) && shown >= 0
                    ? m_controller->GetValue(int(shown), item)
                    : QVariant();
            result[i] = Summary(kind, count, sum, extreme, extreme);
            continue;
        }
        items.push_back(item);
        at.push_back(i);
    }
    if (items.empty())
        return result;
    const auto rows = m_controller->FetchValues(items);
    for (size_t k = 0; k < items.size(); ++k) {
        qint64 count = 0;
        double sum = 0;
        QVariant min, max;
        for (const auto& row : rows) {
            const QVariant& v = row[k];
            if (!v.isValid() || v.isNull())
                continue;
            ++count;
            bool numeric = false;
            const double d = v.toDouble(&numeric);
            if (numeric)
                sum += d;
            if (!min.isValid() || QVariant::compare(v, min) == QPartialOrdering::Less)
                min = v;
            if (!max.isValid() || QVariant::compare(v, max) == QPartialOrdering::Greater)
                max = v;
        }
        result[at[k]] = Summary(m_columns[at[k]]->FooterSummary, count, sum, min, max);
    }
    return result;
}

void GridBandedTableView::BeginUpdate() {
    if (m_updateCount++ == 0)
        m_controller->BeginUpdate();
}

void GridBandedTableView::EndUpdate() {
    if (m_updateCount == 0)
        return;
    if (--m_updateCount > 0)
        return;
    m_controller->EndUpdate();
    if (m_changePending)
        Changed();
}

void GridBandedTableView::Changed() {
    if (m_updateCount > 0) {
        m_changePending = true;
        return;
    }
    m_changePending = false;
    GridBandedTableView::GroupsChanged(); // a caption may have changed
    applyGrouping();
    syncControl();
    if (m_footerVisible)
        m_footer->Recalculate();
}

void GridBandedTableView::syncControl() {
    if (!m_header || m_header->count() != m_controller->ItemCount())
        return;
    m_syncing = true;
    const std::vector<GridBandedColumn*> shown = ShownColumns();
    int visual = 0;
    auto place = [&](GridBandedColumn* c) {
        const int logical = c->ItemIndex();
        const int from = m_header->visualIndex(logical);
        if (from != visual)
            m_header->moveSection(from, visual);
        ++visual;
    };
    for (GridBandedColumn* c : shown)
        place(c);
    for (const auto& c : m_columns)
        if (!IsColumnShown(*c))
            place(c.get());
    for (const auto& c : m_columns) {
        m_header->setSectionHidden(c->ItemIndex(), !IsColumnShown(*c));
        if (IsColumnShown(*c) && m_header->sectionSize(c->ItemIndex()) != c->Width)
            m_header->resizeSection(c->ItemIndex(), c->Width);
    }
    m_syncing = false;
    m_header->viewport()->update();
    m_footer->update();
}

void GridBandedTableView::sectionMoved(int logical, int oldVisual, int newVisual) {
    if (m_syncing)
        return;
    GridBandedColumn* moved = ColumnOfItem(logical);
    if (!moved)
        return;
    // The band is the one the column was dropped into: moving left it joins the column it now
    // stands before, moving right the one it now stands after.
    auto shownAt = [&](int visual, int step) -> GridBandedColumn* {
        for (int v = visual; v >= 0 && v < m_header->count(); v += step) {
            GridBandedColumn* c = ColumnOfItem(m_header->logicalIndex(v));
            if (c && c != moved && IsColumnShown(*c))
                return c;
        }
        return nullptr;
    };
    GridBandedColumn* neighbour =
        newVisual < oldVisual ? shownAt(newVisual + 1, 1) : shownAt(newVisual - 1, -1);
    if (!neighbour)
        neighbour = newVisual < oldVisual ? shownAt(newVisual - 1, -1) : shownAt(newVisual + 1, 1);
    if (neighbour)
        moved->BandIndex = neighbour->BandIndex;
    // Positions in each band follow the header's order now.
    for (int v = 0, n = 0; v < m_header->count(); ++v, ++n)
        if (GridBandedColumn* c = ColumnOfItem(m_header->logicalIndex(v)); c && IsColumnShown(*c))
            c->ColIndex = n;
    renumberBands();
    Changed();
    emit LayoutChanged();
}

void GridBandedTableView::sectionResized(int logical, int, int newSize) {
    if (m_syncing || newSize <= 0)
        return;
    if (GridBandedColumn* c = ColumnOfItem(logical)) {
        c->Width = newSize;
        m_header->viewport()->update();
        m_footer->update();
        emit LayoutChanged();
    }
}

// ---- grouping -----------------------------------------------------------------------------------

std::vector<GridBandedColumn*> GridBandedTableView::GroupedColumns() const {
    std::vector<GridBandedColumn*> grouped;
    for (const auto& c : m_columns)
        if (c->GroupIndex >= 0)
            grouped.push_back(c.get());
    std::stable_sort(grouped.begin(), grouped.end(), [](GridBandedColumn* a, GridBandedColumn* b) {
        return a->GroupIndex < b->GroupIndex;
    });
    return grouped;
}

void GridBandedTableView::SetGroupIndex(GridBandedColumn& column, int index) {
    std::vector<GridBandedColumn*> grouped = GroupedColumns();
    grouped.erase(std::remove(grouped.begin(), grouped.end(), &column), grouped.end());
    column.GroupIndex = -1;
    if (index >= 0)
        grouped.insert(grouped.begin() + std::min(index, int(grouped.size())), &column);
    for (size_t i = 0; i < grouped.size(); ++i)
        grouped[i]->GroupIndex = int(i);
    Changed();
}

void GridBandedTableView::applyGrouping() {
    std::vector<int> items;
    for (GridBandedColumn* c : GroupedColumns())
        items.push_back(c->ItemIndex());
    m_table->setShowGrid(items.empty());
    m_controller->SetGroupingItems(items);
}

bool GridBandedTableView::SetRowExpanded(int row, bool expanded) {
    return m_controller->SetRowExpanded(row, expanded);
}

int GridBandedTableView::firstShownSection() const {
    for (int v = 0; v < m_header->count(); ++v) {
        const int logical = m_header->logicalIndex(v);
        if (!m_header->isSectionHidden(logical))
            return logical;
    }
    return -1;
}

GridIndentAreaInfo GridBandedTableView::IndentArea(int row) const {
    GridIndentAreaInfo info;
    info.Row = row;
    const int first = firstShownSection();
    if (!m_controller->IsGrouped() || first < 0 || row < 0 || row >= m_controller->RowCount())
        return info;
    info.Level = m_controller->RowLevel(row);
    info.GroupRow = m_controller->IsGroupRow(row);
    auto& self = const_cast<GridBandedTableView&>(*this);
    info.Bounds = QRect(m_header->sectionViewportPosition(first), m_table->rowViewportPosition(row),
                        info.Level * self.ViewInfo().LevelIndent(), m_table->rowHeight(row));
    return info;
}

QRect GridBandedTableView::ExpandButtonRect(int row) const {
    if (!m_controller->IsGroupRow(row))
        return {};
    const GridIndentAreaInfo indent = IndentArea(row);
    const GridViewInfo& info = const_cast<GridBandedTableView&>(*this).ViewInfo();
    const int size = info.ExpandButtonSize;
    return QRect(indent.Bounds.left() + indent.Bounds.width() + info.ExpandButtonOffset(),
                 indent.Bounds.top() + (indent.Bounds.height() - size) / 2, size, size);
}

QRect GridBandedTableView::ExpandButtonHitRect(int row) const {
    const QRect button = ExpandButtonRect(row);
    if (button.isEmpty())
        return button;
    const GridViewInfo& info = const_cast<GridBandedTableView&>(*this).ViewInfo();
    if (!info.TouchMode)
        return button.adjusted(-1, -1, 1, 1);
    // A finger hits the whole level indent of the button and the row's height.
    const GridIndentAreaInfo indent = IndentArea(row);
    return QRect(indent.Bounds.left() + indent.Bounds.width(), indent.Bounds.top(),
                 info.LevelIndent(), indent.Bounds.height());
}

QString GridBandedTableView::GroupRowText(int group) const {
    if (group < 0 || group >= m_controller->GroupCount())
        return {};
    if (m_groupTexts.size() != size_t(m_controller->GroupCount()))
        m_groupTexts.assign(size_t(m_controller->GroupCount()), QString());
    QString& text = m_groupTexts[size_t(group)];
    if (!text.isEmpty())
        return text;
    const DataGroup& g = m_controller->Group(group);
    const int item = m_controller->GroupingItems()[size_t(g.Level)];
    const GridBandedColumn* column = ColumnOfItem(item);
    const int record = m_controller->GroupedRecords()[size_t(g.FirstRecord)];
    QString value;
    try {
        value = m_controller->GetDisplayText(record, item);
    } catch (...) {
        // Painting asks again and again: a value that cannot be read shows empty.
    }
    text = QStringLiteral("%1: %2 (%3)")
               .arg(column ? column->Caption() : QString(), value)
               .arg(g.RecordCount);
    return text;
}

QString GridBandedTableView::GroupSummaryText(int, int) const {
    return {};
}

void GridBandedTableView::GroupsChanged() {
    m_groupTexts.clear();
    m_cellDelegate->Forget();
}

void GridBandedTableView::DoCustomDrawIndentArea(QPainter&, const GridIndentAreaInfo&, bool&) {}

void GridBandedTableView::DoGetGroupCellHeight(int, int&) {}

void GridBandedTableView::paintIndentArea(QPainter& painter, const GridIndentAreaInfo& info) {
    bool done = false;
    painter.save();
    DoCustomDrawIndentArea(painter, info, done);
    painter.restore();
    if (!done)
        painter.fillRect(info.Bounds, m_table->palette().window());
}

void GridBandedTableView::measureGroupRows(int first, int last) {
    if (!m_controller->IsGrouped())
        return;
    QHeaderView* rows = m_table->verticalHeader();
    const int standard = rows->defaultSectionSize();
    last = std::min(last, m_controller->RowCount() - 1);
    for (int r = std::max(0, first); r <= last; ++r) {
        if (!m_controller->IsGroupRow(r))
            continue;
        int height = standard;
        DoGetGroupCellHeight(r, height);
        height = std::clamp(height, 1, 1000);
        if (rows->sectionSize(r) != height)
            rows->resizeSection(r, height);
    }
}

bool GridBandedTableView::eventFilter(QObject* watched, QEvent* event) {
    if (!m_controller->IsGrouped())
        return QObject::eventFilter(watched, event);
    if (watched == m_table->viewport() && (event->type() == QEvent::MouseButtonPress ||
                                           event->type() == QEvent::MouseButtonDblClick)) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const int row = m_table->rowAt(mouse->position().toPoint().y());
        if (mouse->button() != Qt::LeftButton || !m_controller->IsGroupRow(row))
            return false;
        const bool onButton = ExpandButtonHitRect(row).contains(mouse->position().toPoint());
        if (!onButton && event->type() == QEvent::MouseButtonPress)
            return false;
        const int group = m_controller->RowGroup(row);
        m_table->setCurrentIndex(m_model->index(row, std::max(0, firstShownSection())));
        m_controller->SetRowExpanded(row, !m_controller->Group(group).Expanded);
        return true;
    }
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const int row = m_table->currentIndex().row();
        const int group = m_controller->RowGroup(row);
        if (group < 0)
            return false;
        const bool expanded = m_controller->Group(group).Expanded;
        switch (key->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Right:
            if (expanded)
                return key->key() == Qt::Key_Plus;
            m_controller->SetRowExpanded(row, true);
            return true;
        case Qt::Key_Minus:
        case Qt::Key_Left:
            if (expanded) {
                m_controller->SetRowExpanded(row, false);
                return true;
            }
            // On a collapsed group the key goes up to the enclosing group row.
            if (const int parent = m_controller->Group(group).Parent; parent >= 0) {
                const int parentRow = m_controller->GroupRow(parent);
                m_table->setCurrentIndex(
                    m_model->index(parentRow, std::max(0, m_table->currentIndex().column())));
            }
            return true;
        default:
            return false;
        }
    }
    return QObject::eventFilter(watched, event);
}

// ---- storage ------------------------------------------------------------------------------------

void GridBandedTableView::StoreDataBinding(const GridItemDataBinding&, QJsonObject&) const {}

void GridBandedTableView::RestoreDataBinding(GridItemDataBinding&, const QJsonObject&) {}

QByteArray GridBandedTableView::StoreToBytes(const QString& viewName, int options) const {
    QJsonArray bands;
    for (const GridBand& b : m_bands)
        bands.append(QJsonObject{{QStringLiteral("caption"), b.Caption},
                                 {QStringLiteral("visible"), b.Visible}});
    QJsonArray columns;
    QJsonArray summaries;
    for (size_t i = 0; i < m_columns.size(); ++i) {
        const GridBandedColumn& c = *m_columns[i];
        QJsonObject o{{QStringLiteral("name"), c.Name},       {QStringLiteral("index"), int(i)},
                      {QStringLiteral("visible"), c.Visible}, {QStringLiteral("width"), c.Width},
                      {QStringLiteral("band"), c.BandIndex},  {QStringLiteral("col"), c.ColIndex},
                      {QStringLiteral("row"), c.RowIndex}};
        if (c.GroupIndex >= 0)
            o.insert(QStringLiteral("group"), c.GroupIndex);
        StoreDataBinding(c.DataBinding(), o);
        columns.append(o);
        if (c.FooterSummary != SummaryKind::None)
            summaries.append(QJsonObject{{QStringLiteral("column"), c.Name},
                                         {QStringLiteral("kind"), SummaryName(c.FooterSummary)}});
    }
    QJsonObject root{{QStringLiteral("v"), kStorageVersion},
                     {QStringLiteral("view"), viewName},
                     {QStringLiteral("bands"), bands},
                     {QStringLiteral("columns"), columns}};
    if (options & soSummary) {
        root.insert(QStringLiteral("summaries"), summaries);
        root.insert(QStringLiteral("footer"), m_footerVisible);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

void GridBandedTableView::StoreToStream(QIODevice& stream, const QString& viewName,
                                        int options) const {
    const QByteArray bytes = StoreToBytes(viewName, options);
    if (stream.write(bytes) != bytes.size())
        throw EVoskException(QStringLiteral("Das Layout kann nicht geschrieben werden: %1")
                                 .arg(stream.errorString()));
}

void GridBandedTableView::RestoreFromStream(QIODevice& stream, const QString& viewName,
                                            bool createChildren) {
    RestoreFromBytes(stream.readAll(), viewName, createChildren);
}

void GridBandedTableView::RestoreFromBytes(const QByteArray& bytes, const QString& viewName,
                                           bool createChildren) {
    // Everything is read and checked before anything changes, so bad data leaves the view as it
    // was.
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        throw EVoskException(QStringLiteral("Die Daten sind kein gespeichertes Layout"));
    const QJsonObject root = doc.object();
    const QString rootWhere = QStringLiteral("Layout");
    const int version = IntOf(root, "v", rootWhere);
    if (version > kStorageVersion)
        throw EVoskException(
            QStringLiteral("Das gespeicherte Layout hat die neuere Version %1 (bekannt bis %2)")
                .arg(version)
                .arg(kStorageVersion));
    if (version < 1)
        throw EVoskException(Damaged(QStringLiteral("Version %1").arg(version)));
    const QString storedView = StringOf(root, "view", rootWhere);
    if (storedView.compare(viewName, Qt::CaseInsensitive) != 0)
        throw EVoskException(
            QStringLiteral("Das gespeicherte Layout gehört zur Ansicht \"%1\", nicht zu \"%2\"")
                .arg(storedView, viewName));
    if (!root.value(QLatin1String("bands")).isArray() ||
        !root.value(QLatin1String("columns")).isArray())
        throw EVoskException(Damaged(QStringLiteral("Bänder oder Spalten fehlen")));

    std::vector<GridBand> bands;
    for (const QJsonValue& v : root.value(QLatin1String("bands")).toArray()) {
        if (!v.isObject())
            throw EVoskException(Damaged(QStringLiteral("Band ohne Angaben")));
        const QJsonObject o = v.toObject();
        const QString where = QStringLiteral("Band %1").arg(bands.size());
        bands.push_back(GridBand{StringOf(o, "caption", where), BoolOf(o, "visible", where)});
    }
    struct Stored {
        QString name;
        int index, width, band, col, row;
        bool visible;
        QJsonObject json;
        int group = -1;
        SummaryKind summary = SummaryKind::None;
    };
    std::vector<Stored> stored;
    for (const QJsonValue& v : root.value(QLatin1String("columns")).toArray()) {
        if (!v.isObject())
            throw EVoskException(Damaged(QStringLiteral("Spalte ohne Angaben")));
        const QJsonObject o = v.toObject();
        const QString where = QStringLiteral("Spalte %1").arg(stored.size());
        Stored s{StringOf(o, "name", where),  IntOf(o, "index", where),
                 IntOf(o, "width", where),    IntOf(o, "band", where),
                 IntOf(o, "col", where),      IntOf(o, "row", where),
                 BoolOf(o, "visible", where), o};
        if (s.name.isEmpty())
            throw EVoskException(Damaged(QStringLiteral("%1 ohne Namen").arg(where)));
        if (s.width < 0 || s.width > 100000)
            throw EVoskException(
                Damaged(QStringLiteral("%1 mit Breite %2").arg(where).arg(s.width)));
        if (o.contains(QLatin1String("group"))) {
            s.group = IntOf(o, "group", where);
            if (s.group < 0)
                throw EVoskException(
                    Damaged(QStringLiteral("%1 mit Gruppierung %2").arg(where).arg(s.group)));
        }
        stored.push_back(std::move(s));
    }
    const bool withSummaries = root.contains(QLatin1String("summaries"));
    bool footer = m_footerVisible;
    if (withSummaries) {
        if (!root.value(QLatin1String("summaries")).isArray())
            throw EVoskException(Damaged(QStringLiteral("Summen")));
        for (const QJsonValue& v : root.value(QLatin1String("summaries")).toArray()) {
            const QJsonObject o = v.toObject();
            const QString name = StringOf(o, "column", QStringLiteral("Summe"));
            const QString kind = StringOf(o, "kind", QStringLiteral("Summe"));
            int k = 0;
            while (k < int(std::size(kSummaryNames)) && kind != QLatin1String(kSummaryNames[k]))
                ++k;
            if (k == int(std::size(kSummaryNames)))
                throw EVoskException(Damaged(QStringLiteral("Summenart \"%1\"").arg(kind)));
            for (Stored& s : stored)
                if (s.name.compare(name, Qt::CaseInsensitive) == 0)
                    s.summary = SummaryKind(k);
        }
        if (root.contains(QLatin1String("footer")))
            footer = BoolOf(root, "footer", rootWhere);
    }

    BeginUpdate();
    try {
        m_bands = std::move(bands);
        std::vector<std::pair<int, GridBandedColumn*>> order;
        for (const Stored& s : stored) {
            GridBandedColumn* c = ColumnByName(s.name);
            if (!c && !createChildren)
                continue;
            if (!c) {
                c = &CreateColumn(s.name);
                RestoreDataBinding(c->DataBinding(), s.json);
            }
            c->Visible = s.visible;
            c->Width = s.width;
            c->BandIndex = s.band;
            c->ColIndex = s.col;
            c->RowIndex = s.row;
            c->GroupIndex = s.group;
            if (withSummaries)
                c->FooterSummary = s.summary;
            order.emplace_back(s.index, c);
        }
        // Grouping is the stored one: columns it does not name are not grouped by.
        for (const auto& c : m_columns)
            if (std::none_of(order.begin(), order.end(),
                             [&](const auto& p) { return p.second == c.get(); }))
                c->GroupIndex = -1;
        if (withSummaries)
            for (const auto& c : m_columns)
                if (std::none_of(order.begin(), order.end(),
                                 [&](const auto& p) { return p.second == c.get(); }))
                    c->FooterSummary = SummaryKind::None;
        // Stored columns take their stored places; the others follow in their present order.
        std::stable_sort(order.begin(), order.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::unique_ptr<GridBandedColumn>> columns;
        for (const auto& [index, c] : order)
            for (auto& p : m_columns)
                if (p.get() == c)
                    columns.push_back(std::move(p));
        for (auto& p : m_columns)
            if (p)
                columns.push_back(std::move(p));
        m_columns = std::move(columns);
        m_footerVisible = footer;
        m_footer->setVisible(footer);
    } catch (...) {
        EndUpdate();
        throw;
    }
    Changed();
    EndUpdate();
}

// ---- class overrides ----------------------------------------------------------------------------

std::unique_ptr<GridItemDataBinding> GridBandedTableView::CreateDataBinding() {
    return std::make_unique<GridItemDataBinding>();
}

std::unique_ptr<GridViewInfo> GridBandedTableView::CreateViewInfo() {
    return std::make_unique<GridViewInfo>();
}

std::unique_ptr<GridViewData> GridBandedTableView::CreateViewData() {
    return std::make_unique<GridViewData>();
}

GridViewInfo& GridBandedTableView::ViewInfo() {
    if (!m_viewInfo)
        m_viewInfo = CreateViewInfo();
    return *m_viewInfo;
}

GridViewData& GridBandedTableView::ViewData() {
    if (!m_viewData)
        m_viewData = CreateViewData();
    return *m_viewData;
}

} // namespace Grid
