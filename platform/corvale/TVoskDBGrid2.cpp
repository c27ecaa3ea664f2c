#include "TVoskDBGrid2.h"

#include <EventGuard.h>
#include <TVoskClass.h>
#include <TVoskDataModel.h>

#include <QItemSelectionModel>

TVoskDBGrid2::TVoskDBGrid2(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
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
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { followView(current); });
    followClass();
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
