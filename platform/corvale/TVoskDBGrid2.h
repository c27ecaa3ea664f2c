#pragma once
// Table view over a data class: one row per record, columns by field name. The current row and
// the class's cursor follow each other; moving off an edited record posts it, and a refused post
// keeps the view on that record.

#include <QPointer>
#include <QTableView>

#include <TVoskClass.h>

#include "VoskGridSearch.h"

class QLineEdit;
class TVoskDataModel;

class TVoskDBGrid2 final : public QTableView, public IVoskGridSearchPanel, public IVoskGridFind {
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

    // Searching: a search field over the grid's lower edge, and a find box opened below a
    // control; typing moves to the first row from the current one whose shown text contains the
    // typed text, Enter to the next such row.
    bool SearchPanelVisible() const override;
    void ShowSearchPanel(bool focus) override;
    void HideSearchPanel() override;
    void ShowFind(QWidget* anchor) override;
    // The first row at or after from, wrapping round, whose shown text contains text; -1 none.
    int FindRow(const QString& text, int from) const;
    // Moves to the row FindRow gives; false when none matches.
    bool SearchText(const QString& text, bool next);
    QLineEdit* SearchPanel() const { return m_searchPanel; }
    QLineEdit* FindBox() const { return m_findBox; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QLineEdit* MakeSearchField(QWidget* parent, const QString& name);
    void placeSearchPanel();
    void followClass();
    void followView(const QModelIndex& current);
    void applyColumns();

    QPointer<TVoskClass> m_class;
    TVoskDataModel* m_model = nullptr;
    int m_updateLevel = 0;
    bool m_syncing = false;
    QStringList m_hiddenFields;
    QStringList m_sizedFor; // the fields whose widths were fitted last
    QLineEdit* m_searchPanel = nullptr;
    QLineEdit* m_findBox = nullptr;
};
