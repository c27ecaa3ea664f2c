#pragma once
// A read-only Qt table model over a data controller: one row per shown row (a loaded record, or a
// group row when the controller is grouped), one column per item, the display text for
// DisplayRole and the value for EditRole, item captions as headers. An edit goes to the data
// source, so its refusal reaches the error display; a total data change of the controller resets
// the model, expanding and collapsing a group inserts and removes its rows.

#include "DataController.h"

#include <QAbstractTableModel>
#include <QPointer>

#include <functional>

namespace Grid {

class DataSourceModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role {
        GroupRowRole = Qt::UserRole + 1, // bool: the row is a group row
        RowLevelRole,                    // int: DataController::RowLevel
    };

    explicit DataSourceModel(DataController& controller, QObject* parent = nullptr);

    // The text of a group row's cell in an item's column (a group summary); none by default.
    using GroupCellTextFunc = std::function<QString(int group, int item)>;
    void SetGroupCellText(GroupCellTextFunc func) { m_groupCellText = std::move(func); }
    // The group row's own text, which its cells give as tooltip and accessible text.
    using GroupRowTextFunc = std::function<QString(int group)>;
    void SetGroupRowText(GroupRowTextFunc func) { m_groupRowText = std::move(func); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    QPointer<DataController> m_controller;
    GroupCellTextFunc m_groupCellText;
    GroupRowTextFunc m_groupRowText;
};

} // namespace Grid
