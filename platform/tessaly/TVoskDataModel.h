#pragma once
// Item model over a data class: one row per record, one column per field. Edits go through the
// data class (moving to the row first, which posts a pending record), so the model never holds
// values of its own. Errors of an edit are handed to the client error display, never thrown into
// the view.

#include <QAbstractTableModel>
#include <QPointer>

#include <functional>

class TVoskClass;

class TVoskDataModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TVoskDataModel(TVoskClass* dataClass, QObject* parent = nullptr);

    TVoskClass* DataClass() const { return m_class; }
    // The column showing the field, -1 when the class has none of that name.
    int ColumnOfField(const QString& fieldName) const;
    // Message of the last refused edit, empty after a successful one.
    const QString& LastError() const { return m_lastError; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // What a view adds to its column headers: asked first for every role of a field's header,
    // an invalid answer leaves the model's own.
    using THeaderExtra = std::function<QVariant(const QString& field, int role)>;
    void SetHeaderExtra(THeaderExtra extra);
    // Sorts the data class's rows; errors (a pending edit refused) go to the error display.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // While sort runs: the rows that the class announces anew are already in the view's order.
    bool Sorting() const { return m_sorting; }

private:
    QPointer<TVoskClass> m_class;
    QString m_lastError;
    bool m_resetting = false;
    bool m_sorting = false;
    bool m_canModify = false;
    THeaderExtra m_headerExtra;
};
