#include "TVoskDBTreeView2.h"
#include "TVoskDBGrid2.h"
#include "TVoskGridCellDelegate.h"
#include "VoskAllOrNothing.h"
#include "VoskConditionalFormatting.h"

#include <EventGuard.h>
#include <TVoskClass.h>
#include <TVoskDataModel.h>
#include <VoskDatabase.h>
#include <VoskExceptions.h>
#include <VoskQuery2.h>

#include <QContextMenuEvent>
#include <QHash>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

// ---- the model -----------------------------------------------------------------------------

TVoskTreeListModel::TVoskTreeListModel(TVoskClass* dataClass, QObject* parent)
    : QAbstractItemModel(parent), m_class(dataClass), m_flat(new TVoskDataModel(dataClass, this)) {
    // Anything that moves records around is taken as a new tree: rebuilding is linear and keeps
    // no index into rows that have shifted.
    connect(m_flat, &QAbstractItemModel::modelAboutToBeReset, this,
            &TVoskTreeListModel::beginRebuild);
    connect(m_flat, &QAbstractItemModel::modelReset, this, &TVoskTreeListModel::endRebuild);
    connect(m_flat, &QAbstractItemModel::rowsAboutToBeInserted, this,
            &TVoskTreeListModel::beginRebuild);
    connect(m_flat, &QAbstractItemModel::rowsInserted, this, &TVoskTreeListModel::endRebuild);
    connect(m_flat, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &TVoskTreeListModel::beginRebuild);
    connect(m_flat, &QAbstractItemModel::rowsRemoved, this, &TVoskTreeListModel::endRebuild);
    connect(m_flat, &QAbstractItemModel::layoutAboutToBeChanged, this,
            &TVoskTreeListModel::beginRebuild);
    connect(m_flat, &QAbstractItemModel::layoutChanged, this, &TVoskTreeListModel::endRebuild);
    connect(m_flat, &QAbstractItemModel::headerDataChanged, this,
            &QAbstractItemModel::headerDataChanged);
    connect(m_flat, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& tl, const QModelIndex& br, const QList<int>& roles) {
                if (m_resetDepth > 0 || !tl.isValid())
                    return;
                if (touchesTree(tl.column(), br.column())) {
                    beginRebuild();
                    endRebuild();
                    return;
                }
                for (int r = tl.row(); r <= br.row(); ++r)
                    if (r < int(m_nodes.size()))
                        emit dataChanged(IndexOfRow(r, tl.column()), IndexOfRow(r, br.column()),
                                         roles);
            });
    build();
}

void TVoskTreeListModel::SetTreeFields(const QString& keyField, const QString& parentField) {
    if (keyField == m_keyField && parentField == m_parentField)
        return;
    beginRebuild();
    m_keyField = keyField;
    m_parentField = parentField;
    endRebuild();
}

void TVoskTreeListModel::beginRebuild() {
    if (m_resetDepth++ == 0)
        beginResetModel();
}

void TVoskTreeListModel::endRebuild() {
    if (m_resetDepth == 0 || --m_resetDepth > 0)
        return;
    build();
    endResetModel();
}

bool TVoskTreeListModel::touchesTree(int firstCol, int lastCol) const {
    if (!m_class)
        return false;
    for (const QString& f : {m_keyField, m_parentField}) {
        const int c = m_class->FieldIndex(f);
        if (c >= firstCol && c <= lastCol)
            return true;
    }
    return false;
}

void TVoskTreeListModel::build() {
    m_nodes.clear();
    m_roots.clear();
    if (!m_class || !m_class->Active())
        return;
    const int n = m_class->RecordCount();
    m_nodes.assign(size_t(n), Node{});
    const int keyCol = m_class->FieldIndex(m_keyField);
    const int parentCol = m_class->FieldIndex(m_parentField);
    if (keyCol >= 0 && parentCol >= 0) {
        // The first record of a key is the one its children hang under.
        QHash<QString, int> byKey;
        byKey.reserve(n);
        for (int r = 0; r < n; ++r) {
            const QVariant k = m_class->Value(r, keyCol);
            if (!k.isNull() && !byKey.contains(k.toString()))
                byKey.insert(k.toString(), r);
        }
        for (int r = 0; r < n; ++r) {
            const QVariant p = m_class->Value(r, parentCol);
            const int parent = p.isNull() ? -1 : byKey.value(p.toString(), -1);
            m_nodes[size_t(r)].parent = parent == r ? -1 : parent;
        }
        // A cycle of parents would have no root: the record with the smallest key becomes one.
        // Each record is walked up once (state 1 on the current path, 2 done).
        std::vector<char> state(size_t(n), 0);
        std::vector<int> path;
        for (int r = 0; r < n; ++r) {
            if (state[size_t(r)])
                continue;
            path.clear();
            int x = r;
            while (x >= 0 && state[size_t(x)] == 0) {
                state[size_t(x)] = 1;
                path.push_back(x);
                x = m_nodes[size_t(x)].parent;
            }
            if (x >= 0 && state[size_t(x)] == 1) {
                // The smallest key, so that sorting the class never changes the tree.
                const auto from = std::find(path.begin(), path.end(), x);
                const int root = *std::min_element(from, path.end(), [&](int a, int b) {
                    return QVariant::compare(m_class->Value(a, keyCol),
                                             m_class->Value(b, keyCol)) < 0;
                });
                m_nodes[size_t(root)].parent = -1;
            }
            for (int p : path)
                state[size_t(p)] = 2;
        }
    }
    for (int r = 0; r < n; ++r) {
        Node& node = m_nodes[size_t(r)];
        std::vector<int>& list = node.parent < 0 ? m_roots : m_nodes[size_t(node.parent)].children;
        node.pos = int(list.size());
        list.push_back(r);
    }
    for (int r : TreeOrder()) {
        Node& node = m_nodes[size_t(r)];
        node.level = node.parent < 0 ? 0 : m_nodes[size_t(node.parent)].level + 1;
    }
}

std::vector<int> TVoskTreeListModel::TreeOrder() const {
    std::vector<int> order;
    order.reserve(m_nodes.size());
    std::vector<int> stack(m_roots.rbegin(), m_roots.rend());
    while (!stack.empty()) {
        const int r = stack.back();
        stack.pop_back();
        order.push_back(r);
        const auto& children = m_nodes[size_t(r)].children;
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    return order;
}

const std::vector<int>& TVoskTreeListModel::siblings(int parentRow) const {
    return parentRow < 0 ? m_roots : m_nodes[size_t(parentRow)].children;
}

QModelIndex TVoskTreeListModel::IndexOfRow(int row, int column) const {
    if (row < 0 || row >= int(m_nodes.size()) || column < 0 || column >= columnCount())
        return {};
    return createIndex(m_nodes[size_t(row)].pos, column, quintptr(row));
}

int TVoskTreeListModel::RowOf(const QModelIndex& index) {
    return index.isValid() ? int(index.internalId()) : -1;
}

int TVoskTreeListModel::Level(int row) const {
    return row >= 0 && row < int(m_nodes.size()) ? m_nodes[size_t(row)].level : 0;
}

int TVoskTreeListModel::ParentRow(int row) const {
    return row >= 0 && row < int(m_nodes.size()) ? m_nodes[size_t(row)].parent : -1;
}

QModelIndex TVoskTreeListModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= columnCount() || (parent.isValid() && parent.column()))
        return {};
    const auto& list = siblings(RowOf(parent));
    if (row >= int(list.size()))
        return {};
    return createIndex(row, column, quintptr(list[size_t(row)]));
}

QModelIndex TVoskTreeListModel::parent(const QModelIndex& child) const {
    const int p = ParentRow(RowOf(child));
    return p < 0 ? QModelIndex() : createIndex(m_nodes[size_t(p)].pos, 0, quintptr(p));
}

int TVoskTreeListModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return int(m_roots.size());
    if (parent.column() != 0)
        return 0;
    return int(siblings(RowOf(parent)).size());
}

int TVoskTreeListModel::columnCount(const QModelIndex&) const { return m_flat->columnCount(); }

QModelIndex TVoskTreeListModel::flatIndex(const QModelIndex& index) const {
    return index.isValid() ? m_flat->index(RowOf(index), index.column()) : QModelIndex();
}

QVariant TVoskTreeListModel::data(const QModelIndex& index, int role) const {
    return m_flat->data(flatIndex(index), role);
}

bool TVoskTreeListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    return m_flat->setData(flatIndex(index), value, role);
}

QVariant TVoskTreeListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    return m_flat->headerData(section, orientation, role);
}

Qt::ItemFlags TVoskTreeListModel::flags(const QModelIndex& index) const {
    return m_flat->flags(flatIndex(index)) & ~Qt::ItemNeverHasChildren;
}

void TVoskTreeListModel::sort(int column, Qt::SortOrder order) { m_flat->sort(column, order); }

// ---- the view ------------------------------------------------------------------------------

// Cells keep their own height when a preview band is painted beneath them.
class TVoskTreeCellDelegate final : public QStyledItemDelegate {
public:
    explicit TVoskTreeCellDelegate(TVoskDBTreeView2* tree)
        : QStyledItemDelegate(tree), m_tree(tree) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        if (m_tree->m_previewVisible)
            s.setHeight(s.height() + m_tree->previewHeight(TVoskTreeListModel::RowOf(index)));
        return s;
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, cellOption(option, index), index);
    }
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override {
        QStyledItemDelegate::updateEditorGeometry(editor, cellOption(option, index), index);
    }
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        ApplyConditionalFormatting(option, index, m_tree->m_conditionalFormatting, m_tree->m_class);
    }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (m_tree->m_f2Loaded && m_tree->m_class)
            if (const TVoskGridColumn* column =
                    m_tree->ColumnOf(m_tree->m_class->FieldNames().value(index.column())))
                if (QWidget* edit = column->CreateEditor(parent))
                    return edit;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }

private:
    // The cell without the preview band beneath it.
    QStyleOptionViewItem cellOption(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
        QStyleOptionViewItem o(option);
        if (m_tree->m_previewVisible)
            o.rect.setHeight(o.rect.height() -
                             m_tree->previewHeight(TVoskTreeListModel::RowOf(index)));
        return o;
    }
    TVoskDBTreeView2* m_tree;
};

TVoskDBTreeView2::TVoskDBTreeView2(QWidget* parent) : QTreeView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setAllColumnsShowFocus(true);
    setUniformRowHeights(false);
    header()->setSortIndicator(-1, Qt::AscendingOrder);
    header()->setSectionsClickable(true);
    header()->setStretchLastSection(false);
    setSortingEnabled(true);
    setItemDelegate(new TVoskTreeCellDelegate(this));
    m_conditionalFormatting = new TVoskConditionalFormatting(this);
    connect(m_conditionalFormatting, &TVoskConditionalFormatting::Changed, viewport(),
            qOverload<>(&QWidget::update));
    connect(this, &QTreeView::expanded, this,
            [this](const QModelIndex& i) { m_expanded.insert(keyText(TVoskTreeListModel::RowOf(i))); });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& i) {
        m_expanded.remove(keyText(TVoskTreeListModel::RowOf(i)));
    });
}

QList<TVoskGridColumn*> TVoskDBTreeView2::Columns() const {
    return TVoskGridColumn::ColumnsOf(this);
}

TVoskGridColumn* TVoskDBTreeView2::ColumnOf(const QString& fieldName) const {
    return TVoskGridColumn::ColumnOf(this, fieldName);
}

void TVoskDBTreeView2::LoadF2() {
    m_f2Loaded = true;
}

void TVoskDBTreeView2::FieldEditTxtBtClick(QObject* sender) {
    TVoskGridColumn::EditCellText(this, m_class, sender);
}

void TVoskDBTreeView2::SetDataClass(TVoskClass* dataClass) {
    if (dataClass == m_class)
        return;
    if (m_class)
        disconnect(m_class, nullptr, this, nullptr);
    m_class = dataClass;
    m_expanded.clear();
    TVoskTreeListModel* old = m_model;
    m_model = dataClass ? new TVoskTreeListModel(dataClass, this) : nullptr;
    if (m_model)
        m_model->SetTreeFields(m_keyField, m_parentField);
    setModel(m_model);
    delete old;
    if (!dataClass)
        return;
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        restoreExpanded();
        followClass();
    });
    connect(dataClass, &TVoskClass::CurrentChanged, this, &TVoskDBTreeView2::followClass);
    connect(dataClass, &TVoskClass::RowsReset, this, &TVoskDBTreeView2::applyColumns);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { followView(current); });
    applyColumns();
    followClass();
}

void TVoskDBTreeView2::SetKeyField(const QString& field) {
    m_keyField = field;
    if (m_model)
        m_model->SetTreeFields(m_keyField, m_parentField);
}

void TVoskDBTreeView2::SetParentField(const QString& field) {
    m_parentField = field;
    if (m_model)
        m_model->SetTreeFields(m_keyField, m_parentField);
}

int TVoskDBTreeView2::columnByFieldName(const QString& fieldName) const {
    return m_model ? m_model->FlatModel()->ColumnOfField(fieldName) : -1;
}

void TVoskDBTreeView2::SetHiddenFields(const QStringList& fields) {
    m_hiddenFields = fields;
    applyColumns();
}

QList<int> TVoskDBTreeView2::ShownColumns() const {
    QList<int> cols;
    if (!m_model)
        return cols;
    for (int v = 0; v < header()->count(); ++v) {
        const int c = header()->logicalIndex(v);
        if (c >= 0 && c < m_model->columnCount() && !isColumnHidden(c))
            cols << c;
    }
    return cols;
}

void TVoskDBTreeView2::applyColumns() {
    if (!m_class || !m_model)
        return;
    const QStringList fields = m_class->FieldNames();
    for (int c = 0; c < fields.size(); ++c)
        setColumnHidden(c, m_hiddenFields.contains(fields[c], Qt::CaseInsensitive));
    // Widths fit the content once per set of columns; a refresh keeps what the user dragged.
    if (fields != m_sizedFor && !fields.isEmpty()) {
        m_sizedFor = fields;
        const int widest = qMax(120, fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
        for (int c = 0; c < fields.size(); ++c) {
            resizeColumnToContents(c);
            if (columnWidth(c) > widest)
                setColumnWidth(c, widest);
        }
    }
    applyLayoutIfPending();
    if (m_model)
        m_linkColumns.MarkIfPending(m_model->FlatModel());
}

void TVoskDBTreeView2::MarkHeaderForLinkModules() {
    m_linkColumns.Mark(m_model ? m_model->FlatModel() : nullptr);
}

void TVoskDBTreeView2::contextMenuEvent(QContextMenuEvent* e) {
    m_linkColumns.ContextMenu(
        this, e, e->reason() == QContextMenuEvent::Mouse ? indexAt(e->pos()) : currentIndex(),
        m_class);
}

QString TVoskDBTreeView2::keyText(int row) const {
    const int col = m_class ? m_class->FieldIndex(m_keyField) : -1;
    if (col < 0 || row < 0 || row >= m_class->RecordCount())
        return {};
    return m_class->Value(row, col).toString();
}

void TVoskDBTreeView2::restoreExpanded() {
    if (!m_model || m_expanded.isEmpty())
        return;
    const QSet<QString> open = m_expanded;
    for (int r : m_model->TreeOrder())
        if (open.contains(keyText(r)))
            expand(m_model->IndexOfRow(r));
}

void TVoskDBTreeView2::followClass() {
    if (!m_class || !m_model || m_syncing)
        return;
    const int row = m_class->CurrentRow();
    m_syncing = true;
    if (row < 0) {
        selectionModel()->clearCurrentIndex();
    } else if (TVoskTreeListModel::RowOf(currentIndex()) != row) {
        // The record the class moved to is shown, however deep it lies.
        for (int p = m_model->ParentRow(row); p >= 0; p = m_model->ParentRow(p))
            expand(m_model->IndexOfRow(p));
        selectionModel()->setCurrentIndex(m_model->IndexOfRow(row, qMax(0, currentIndex().column())),
                                          QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
    }
    m_syncing = false;
}

void TVoskDBTreeView2::followView(const QModelIndex& current) {
    const int row = TVoskTreeListModel::RowOf(current);
    if (!m_class || m_syncing || row < 0 || row == m_class->CurrentRow())
        return;
    m_syncing = true;
    Rtl::Guarded([&] { m_class->SetRecNo(row + 1); }, this);
    m_syncing = false;
    // A refused move (the post failed) puts the view back on the class's record.
    if (m_class->CurrentRow() != row)
        followClass();
}

void TVoskDBTreeView2::BeginUpdate() {
    if (m_updateLevel++ == 0)
        setUpdatesEnabled(false);
}

void TVoskDBTreeView2::EndUpdate() {
    if (m_updateLevel > 0 && --m_updateLevel == 0)
        setUpdatesEnabled(true);
}

void TVoskDBTreeView2::EndEdit(bool accept) {
    QWidget* editor = indexWidget(currentIndex());
    if (!editor || state() != QAbstractItemView::EditingState)
        return;
    if (accept)
        commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

QModelIndexList TVoskDBTreeView2::SelectedShownNodes() const {
    QModelIndexList nodes;
    if (!selectionModel())
        return nodes;
    for (const QModelIndex& i : selectionModel()->selectedRows()) {
        bool shown = !isRowHidden(i.row(), i.parent());
        for (QModelIndex p = i.parent(); shown && p.isValid(); p = p.parent())
            shown = isExpanded(p) && !isRowHidden(p.row(), p.parent());
        if (shown)
            nodes << i;
    }
    return nodes;
}

bool TVoskDBTreeView2::DeleteSelection() {
    if (!m_class || !m_model || !selectionModel())
        return false;
    QList<int> rows;
    for (const QModelIndex& i : SelectedShownNodes())
        rows << TVoskTreeListModel::RowOf(i);
    if (rows.isEmpty())
        return false;
    const int keyCol = m_class->FieldIndex(m_keyField);
    if (keyCol < 0)
        throw EVoskException(
            QStringLiteral("Die Datensätze können nicht gelöscht werden: das Schlüsselfeld "
                           "\"%1\" fehlt.")
                .arg(m_keyField));
    if (!Corvale::AskDeleteSelection(int(rows.size())))
        return false;
    // Children first, so that a reference to the parent never outlives it; the rows shift with
    // every delete, so the records are found again by key.
    std::stable_sort(rows.begin(), rows.end(),
                     [this](int a, int b) { return m_model->Level(a) > m_model->Level(b); });
    QVariantList keys;
    for (int r : rows)
        keys << m_class->Value(r, keyCol);
    EndEdit(false);
    BeginUpdate();
    try {
        Corvale::RunAllOrNothing(*m_class, [&] {
            for (const QVariant& key : keys)
                if (m_class->Locate(m_keyField, key))
                    m_class->Delete();
        });
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    return true;
}

void TVoskDBTreeView2::FullExpand() {
    expandAll();
    m_expanded.clear();
    if (m_model)
        for (int r = 0; r < m_model->DataClass()->RecordCount(); ++r)
            if (m_model->rowCount(m_model->IndexOfRow(r)) > 0)
                m_expanded.insert(keyText(r));
}

void TVoskDBTreeView2::FullCollapse() {
    collapseAll();
    m_expanded.clear();
}

// ---- preview -------------------------------------------------------------------------------

void TVoskDBTreeView2::SetPreviewField(const QString& field) {
    m_previewField = field;
    if (!HasPreviewColumn())
        SetPreviewVisible(false);
}

bool TVoskDBTreeView2::HasPreviewColumn() const {
    return !m_previewField.isEmpty() && (!m_class || !m_class->Active() ||
                                         m_class->FieldIndex(m_previewField) >= 0);
}

void TVoskDBTreeView2::SetPreviewVisible(bool on) {
    on = on && !m_previewField.isEmpty();
    if (on == m_previewVisible)
        return;
    m_previewVisible = on;
    doItemsLayout(); // the rows measure themselves again
    viewport()->update();
}

QString TVoskDBTreeView2::PreviewText(int row) const {
    const int col = m_class ? m_class->FieldIndex(m_previewField) : -1;
    if (col < 0 || row < 0 || row >= m_class->RecordCount())
        return {};
    return m_class->Value(row, col).toString().trimmed();
}

int TVoskDBTreeView2::previewHeight(int row) const {
    const QString text = PreviewText(row);
    if (text.isEmpty())
        return 0;
    const int lines = qMin(3, int(text.count(QLatin1Char('\n'))) + 1);
    return lines * fontMetrics().lineSpacing() + 4;
}

void TVoskDBTreeView2::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QTreeView::drawRow(painter, option, index);
    if (!m_previewVisible || !m_model)
        return;
    const int row = TVoskTreeListModel::RowOf(index);
    const int h = previewHeight(row);
    if (h <= 0)
        return;
    const int left = option.rect.left() + indentation() * (m_model->Level(row) + 1) -
                     header()->offset();
    const QRect band(left + 4, option.rect.bottom() + 1 - h,
                     qMax(0, option.rect.right() - left - 8), h);
    QStringList lines = PreviewText(row).split(QLatin1Char('\n'));
    if (lines.size() > 3)
        lines = lines.mid(0, 3);
    painter->save();
    painter->setPen(palette().color(QPalette::Disabled, QPalette::Text));
    int y = band.top();
    for (const QString& line : lines) {
        painter->drawText(QRect(band.left(), y, band.width(), fontMetrics().lineSpacing()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          fontMetrics().elidedText(line, Qt::ElideRight, band.width()));
        y += fontMetrics().lineSpacing();
    }
    painter->restore();
}
