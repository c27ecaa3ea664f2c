#pragma once
// Table view over a data class: one row per record, columns by field name. The current row and
// the class's cursor follow each other; moving off an edited record posts it, and a refused post
// keeps the view on that record.

#include <QPointer>
#include <QTableView>

#include <TVoskClass.h>
class TVoskDataModel;

class TVoskDBGrid2 final : public QTableView {
    Q_OBJECT
public:
    explicit TVoskDBGrid2(QWidget* parent = nullptr);

    TVoskClass* DataClass() const { return m_class; }
    void SetDataClass(TVoskClass* dataClass);
    TVoskDataModel* DataModel() const { return m_model; }
    // The view column showing the field, -1 without one.
    int columnByFieldName(const QString& fieldName) const;

    // Closes an open cell editor; accept hands its value to the field first.
    void EndEdit(bool accept);
    // The selected rows; without multi-select at most the current one.
    int SelectedRowCount() const;
    // Deletes the records of the selected rows, without asking.
    void DeleteSelection();
    // Opens the editor of the first shown column the user may type into at the current row, as
    // after an insert (a serial key or an audit stamp is never that column).
    void EditFirstVisibleColumn();
    // Fields that are not shown (kept over every reload of the class).
    void SetHiddenFields(const QStringList& fields);
    const QStringList& HiddenFields() const { return m_hiddenFields; }

    // Paint lock for bulk changes; nests.
    void BeginUpdate();
    void EndUpdate();
    int UpdateLevel() const { return m_updateLevel; }

private:
    void followClass();
    void followView(const QModelIndex& current);
    void applyColumns();

    QPointer<TVoskClass> m_class;
    TVoskDataModel* m_model = nullptr;
    int m_updateLevel = 0;
    bool m_syncing = false;
    QStringList m_hiddenFields;
    QStringList m_sizedFor; // the fields whose widths were fitted last
};
