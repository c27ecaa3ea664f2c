#pragma once
// Table view over a data class: one row per record, columns by field name. The current row and
// the class's cursor follow each other; moving off an edited record posts it, and a refused post
// keeps the view on that record.

#include <QPointer>
#include <QTableView>

#include <TVoskClass.h>

#include "VoskF2Controls.h"

#include <QHash>
class TVoskDataModel;
class TVoskDBGrid2;

// What a column's cell editor is: a plain edit, an edit with buttons, or an edit of a long text
// whose text button opens the text editor.
enum class TVoskColumnPropertiesKind { None, ButtonEdit, BlobEdit };

// A column of a grid, a component of the form named as designed, showing one field.
class TVoskGridColumn final : public QObject {
    Q_OBJECT
public:
    TVoskGridColumn(QObject* owner, const QString& name, TVoskDBGrid2* grid,
                    const QString& fieldName);
    TVoskDBGrid2* Grid() const { return m_grid; }
    QString FieldName() const { return m_field; }

    TVoskColumnPropertiesKind PropertiesKind() const { return m_kind; }
    // Changes the kind; the buttons start anew (a blob edit has its text button first).
    void SetPropertiesKind(TVoskColumnPropertiesKind kind);
    struct Button {
        TVoskEditButtonKind kind;
        bool visible = true;
    };
    QList<Button>& Buttons() { return m_buttons; }
    const QList<Button>& Buttons() const { return m_buttons; }
    int AddButton(TVoskEditButtonKind kind);

private:
    QPointer<TVoskDBGrid2> m_grid;
    QString m_field;
    TVoskColumnPropertiesKind m_kind = TVoskColumnPropertiesKind::None;
    QList<Button> m_buttons;
};

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
    // Completed BeginUpdate/EndUpdate pairs, for checks that a start rebuilt the grid once.
    int UpdatePairs() const { return m_updatePairs; }

    // Columns made by the form; the view's own columns follow the data class's fields.
    QList<TVoskGridColumn*> Columns() const;
    TVoskGridColumn* ColumnOf(const QString& fieldName) const;

    // Fast lookup per column (query and filter as TVoskEdit takes them).
    void SetColumnFastF2(TVoskGridColumn* column, const QString& query, const QString& filter);
    QString ColumnFastF2Query(const TVoskGridColumn* column) const;
    QString ColumnFastF2Filter(const TVoskGridColumn* column) const;

    // The form's start-up: the cell editors take their buttons and lookups from the columns from
    // now on.
    void LoadF2();
    bool F2Loaded() const { return m_f2Loaded; }
    // The stored filter and layout come with their store; until then the grid keeps its design.
    void InitFilter() {}
    void InitLayout() {}
    // The text button of a long-text column: the text of the current cell in the text editor,
    // written back when changed. sender is the cell editor.
    void FieldEditTxtBtClick(QObject* sender);

private:
    void followClass();
    void followView(const QModelIndex& current);
    void applyColumns();

    QPointer<TVoskClass> m_class;
    TVoskDataModel* m_model = nullptr;
    int m_updateLevel = 0;
    int m_updatePairs = 0;
    bool m_f2Loaded = false;
    struct FastF2 {
        QString query, filter;
    };
    QHash<QString, FastF2> m_fastF2; // by field name in lower case
    bool m_syncing = false;
    QStringList m_hiddenFields;
    QStringList m_sizedFor; // the fields whose widths were fitted last
};
