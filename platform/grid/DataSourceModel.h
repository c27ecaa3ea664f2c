#pragma once
// A read-only Qt table model over a data controller: one row per loaded record, one column per
// item, the display text for DisplayRole and the value for EditRole, item captions as headers.
// An edit goes to the data source, so its refusal reaches the error display; a total data change
// of the controller resets the model.

#include "DataController.h"

#include <QAbstractTableModel>
#include <QPointer>

namespace Grid {

class DataSourceModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataSourceModel(DataController& controller, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    QPointer<DataController> m_controller;
};

} // namespace Grid
