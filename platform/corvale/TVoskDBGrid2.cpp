#include "TVoskDBGrid2.h"

#include <EventGuard.h>
#include <TVoskClass.h>
#include <TVoskDataModel.h>

#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>

TVoskDBGrid2::TVoskDBGrid2(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    // A click on a column header sorts the records by it; no order until the user asks.
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    horizontalHeader()->setSectionsClickable(true);
    setSortingEnabled(true);
}

void TVoskDBGrid2::SetDataClass(TVoskClass* dataClass) {
    if (dataClass == m_class)
        return;
    if (m_class)
        disconnect(m_class, nullptr, this, nullptr);
    m_class = dataClass;
    TVoskDataModel* old = m_model;
    m_model = dataClass ? new TVoskDataModel(dataClass, this) : nullptr;
    setModel(m_model);
    delete old;
    if (!dataClass)
        return;
    connect(dataClass, &TVoskClass::CurrentChanged, this, &TVoskDBGrid2::followClass);
    // The model's reset runs first (it was connected earlier), so the rows exist again here.
    connect(dataClass, &TVoskClass::RowsReset, this, &TVoskDBGrid2::followClass);
    connect(dataClass, &TVoskClass::RowsReset, this, &TVoskDBGrid2::applyColumns);
    connect(dataClass, &TVoskClass::RowsReset, this, &TVoskDBGrid2::applyFilter);
    // A posted record is tested again; the one being typed stays shown until then.
    connect(dataClass, &TVoskClass::RowUpdated, this, [this](int) {
        if (m_filter && !m_class->InEdit())
            applyFilter();
    });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { followView(current); });
    followClass();
    applyColumns();
}

void TVoskDBGrid2::SetHiddenFields(const QStringList& fields) {
    m_hiddenFields = fields;
    applyColumns();
}

void TVoskDBGrid2::applyColumns() {
    if (!m_class || !m_model)
        return;
    const QStringList fields = m_class->FieldNames();
    for (int c = 0; c < fields.size(); ++c)
        setColumnHidden(c, m_hiddenFields.contains(fields[c], Qt::CaseInsensitive));
    // Widths fit the content once per set of columns; a refresh keeps what the user dragged.
    if (fields == m_sizedFor || fields.isEmpty() || !m_autoFit) {
        applyLayoutIfPending();
        return;
    }
    m_sizedFor = fields;
    resizeColumnsToContents();
    const int widest = qMax(120, fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
    for (int c = 0; c < fields.size(); ++c)
        if (columnWidth(c) > widest)
            setColumnWidth(c, widest);
    applyLayoutIfPending();
}

int TVoskDBGrid2::columnByFieldName(const QString& fieldName) const {
    return m_model ? m_model->ColumnOfField(fieldName) : -1;
}

void TVoskDBGrid2::followClass() {
    if (!m_class || !m_model || m_syncing)
        return;
    const int row = m_class->CurrentRow();
    m_syncing = true;
    if (row < 0) {
        selectionModel()->clearCurrentIndex();
    } else if (currentIndex().row() != row) {
        const int col = qMax(0, currentIndex().column());
        selectionModel()->setCurrentIndex(m_model->index(row, col),
                                          QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
    }
    m_syncing = false;
}

void TVoskDBGrid2::followView(const QModelIndex& current) {
    if (!m_class || m_syncing || !current.isValid() || current.row() == m_class->CurrentRow())
        return;
    m_syncing = true;
    Rtl::Guarded([&] { m_class->SetRecNo(current.row() + 1); }, this);
    m_syncing = false;
    // A refused move (the post failed) puts the view back on the class's record.
    if (m_class->CurrentRow() != current.row())
        followClass();
}

void TVoskDBGrid2::BeginUpdate() {
    if (m_updateLevel++ == 0)
        setUpdatesEnabled(false);
}

void TVoskDBGrid2::EndUpdate() {
    if (m_updateLevel == 0)
        return;
    if (--m_updateLevel == 0)
        setUpdatesEnabled(true);
}

void TVoskDBGrid2::EndEdit(bool accept) {
    QWidget* editor = indexWidget(currentIndex());
    if (!editor || state() != QAbstractItemView::EditingState)
        return;
    if (accept)
        commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

int TVoskDBGrid2::SelectedRowCount() const {
    return selectionModel() ? int(selectionModel()->selectedRows().size()) : 0;
}

void TVoskDBGrid2::DeleteSelection() {
    if (!m_class || !selectionModel())
        return;
    QList<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows())
        rows << i.row();
    // From the bottom up, so that the rows still to delete keep their numbers.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    BeginUpdate();
    try {
        for (int r : rows) {
            m_class->SetRecNo(r + 1);
            m_class->Delete();
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TVoskDBGrid2::EditFirstVisibleColumn() {
    if (!m_model)
        return;
    for (int c = 0; c < m_model->columnCount(); ++c)
        if (!isColumnHidden(c) &&
            (m_model->flags(m_model->index(qMax(0, currentIndex().row()), c)) &
             Qt::ItemIsEditable)) {
            const QModelIndex index = m_model->index(qMax(0, currentIndex().row()), c);
            setCurrentIndex(index);
            edit(index);
            return;
        }
}
