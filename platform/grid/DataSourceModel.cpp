#include "DataSourceModel.h"

#include "EventGuard.h"

namespace Grid {

DataSourceModel::DataSourceModel(DataController& controller, QObject* parent)
    : QAbstractTableModel(parent), m_controller(&controller) {
    connect(&controller, &DataController::DataAboutToReset, this, [this] { beginResetModel(); });
    connect(&controller, &DataController::DataReset, this, [this] { endResetModel(); });
    connect(&controller, &QObject::destroyed, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int DataSourceModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_controller ? 0 : m_controller->RecordCount();
}

int DataSourceModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_controller ? 0 : m_controller->ItemCount();
}

QVariant DataSourceModel::data(const QModelIndex& index, int role) const {
    if (!m_controller || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    // Painting asks again and again: a cell that cannot be read shows empty instead of
    // raising a dialog per cell.
    try {
        if (role == Qt::DisplayRole)
            return m_controller->GetDisplayText(index.row(), index.column());
        if (role == Qt::EditRole)
            return m_controller->GetValue(index.row(), index.column());
    } catch (...) {
    }
    return {};
}

QVariant DataSourceModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || !m_controller)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    const GridItemDataBinding* item = m_controller->Item(section);
    return item ? QVariant(item->Caption()) : QVariant();
}

Qt::ItemFlags DataSourceModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

bool DataSourceModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!m_controller || role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const bool done =
        Rtl::Guarded([&] { m_controller->SetValue(index.row(), index.column(), value); }, this);
    if (done)
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return done;
}

} // namespace Grid
