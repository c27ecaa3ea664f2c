#include "DataSourceModel.h"

#include "EventGuard.h"

namespace Grid {

DataSourceModel::DataSourceModel(DataController& controller, QObject* parent)
    : QAbstractTableModel(parent), m_controller(&controller) {
    connect(&controller, &DataController::DataAboutToReset, this, [this] { beginResetModel(); });
    connect(&controller, &DataController::DataReset, this, [this] { endResetModel(); });
    connect(&controller, &DataController::RowsAboutToBeInserted, this,
            [this](int first, int count) { beginInsertRows({}, first, first + count - 1); });
    connect(&controller, &DataController::RowsInserted, this, [this] { endInsertRows(); });
    connect(&controller, &DataController::RowsAboutToBeRemoved, this,
            [this](int first, int count) { beginRemoveRows({}, first, first + count - 1); });
    connect(&controller, &DataController::RowsRemoved, this, [this] { endRemoveRows(); });
    connect(&controller, &QObject::destroyed, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int DataSourceModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_controller ? 0 : m_controller->RowCount();
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
        if (role == GroupRowRole)
            return m_controller->IsGroupRow(index.row());
        if (role == RowLevelRole)
            return m_controller->RowLevel(index.row());
        const int record = m_controller->RowRecord(index.row());
        if (record < 0) {
            const int group = m_controller->RowGroup(index.row());
            if (role == Qt::DisplayRole && m_groupCellText)
                return m_groupCellText(group, index.column());
            if ((role == Qt::ToolTipRole || role == Qt::AccessibleTextRole) && m_groupRowText)
                return m_groupRowText(group);
            return {};
        }
        if (role == Qt::DisplayRole)
            return m_controller->GetDisplayText(record, index.column());
        if (role == Qt::EditRole)
            return m_controller->GetValue(record, index.column());
    } catch (...) {
    }
    return {};
}

QVariant DataSourceModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || !m_controller)
        return {};
    if (orientation == Qt::Vertical) {
        const int record = m_controller->RowRecord(section);
        return record >= 0 ? QVariant(record + 1) : QVariant();
    }
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
    const int record = m_controller->RowRecord(index.row());
    if (record < 0)
        return false;
    const bool done =
        Rtl::Guarded([&] { m_controller->SetValue(record, index.column(), value); }, this);
    if (done)
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return done;
}

} // namespace Grid
