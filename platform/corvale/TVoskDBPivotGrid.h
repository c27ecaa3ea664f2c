#pragma once
// Cross-tab over a data class: the distinct values of a row field down the side, those of a
// column field across the top, and in each cell the sum of a data field over the records that
// share both, with a total column on the right and a total row at the bottom. Above the table a
// field bar names what is summed and what the columns are. The field assignment is the pivot's
// layout, stored globally per form class and grid like the grids' layouts.

#include <QAbstractTableModel>
#include <QDateTime>
#include <QFrame>
#include <QPointer>

#include <vector>

class QLabel;
class QTableView;
#include <TVoskClass.h>

// The sums of the cross-tab as a table: column 0 holds the row values, columns 1..n the column
// values, the last column the row totals; the last row the column totals and the grand total.
// Display gives the shown text, Edit the typed value (a key value or a sum; null where no record
// has a value). The model keeps its own copy of the sums, so a class being re-read never reaches
// it half done.
class TVoskPivotModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TVoskPivotModel(QObject* parent = nullptr);

    // Field names; an empty row or column field makes a single total row or column. Without a
    // data field or an open class the model is empty.
    void SetSource(TVoskClass* dataClass, const QString& rowField, const QString& columnField,
                   const QString& dataField);
    void SetCaptions(const QString& rowCaption, const QString& columnCaption);
    // Computes the sums anew from the class.
    void Rebuild();

    int RowKeyCount() const { return int(m_rowKeys.size()); }
    int ColumnKeyCount() const { return int(m_colKeys.size()); }
    QVariant RowKey(int i) const { return m_rowKeys[size_t(i)]; }
    QVariant ColumnKey(int i) const { return m_colKeys[size_t(i)]; }
    // The sum of row key r and column key c; -1 for either means its total. Null when no record
    // there has a value.
    QVariant Sum(int r, int c) const;
    // The text a key value is shown with; null shows as "(leer)".
    static QString KeyText(const QVariant& key);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Acc {
        qint64 whole = 0;
        double real = 0;
        double comp = 0; // running compensation of the real sum
        bool any = false;
        bool isReal = false;
        void Add(const QVariant& v);
        QVariant Value(int decimals) const;
    };
    Acc& at(int r, int c);
    const Acc& at(int r, int c) const;
    QString sumText(const QVariant& v) const;

    QPointer<TVoskClass> m_class;
    QString m_rowField, m_colField, m_dataField;
    QString m_rowCaption, m_colCaption;
    bool m_valid = false;
    std::vector<QVariant> m_rowKeys, m_colKeys;
    // (rows + 1) x (columns + 1): the last row and column are the totals.
    std::vector<Acc> m_acc;
    int m_decimals = 0; // decimals of the most precise value summed, for rounding and display
};

class TVoskDBPivotGrid final : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString RowField READ RowField WRITE SetRowField)
    Q_PROPERTY(QString ColumnField READ ColumnField WRITE SetColumnField)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(QString RowCaption READ RowCaption WRITE SetRowCaption)
    Q_PROPERTY(QString ColumnCaption READ ColumnCaption WRITE SetColumnCaption)
    Q_PROPERTY(QString DataCaption READ DataCaption WRITE SetDataCaption)
public:
    explicit TVoskDBPivotGrid(QWidget* parent = nullptr);

    TVoskClass* DataClass() const { return m_class; }
    void SetDataClass(TVoskClass* dataClass);
    TVoskPivotModel* Model() const { return m_model; }
    QTableView* View() const { return m_view; }

    QString RowField() const { return m_rowField; }
    QString ColumnField() const { return m_colField; }
    QString DataField() const { return m_dataField; }
    void SetRowField(const QString& field);
    void SetColumnField(const QString& field);
    void SetDataField(const QString& field);
    // All three at once. With the class open, a field it lacks or a data field that holds no
    // numbers is refused with a German message and the assignment stays as it was.
    void SetFields(const QString& rowField, const QString& columnField, const QString& dataField);

    // Captions of the fields as the field bar and the header show them; set by the form or, when
    // empty, filled by CheckCaptionHeaders.
    QString RowCaption() const { return m_rowCaption; }
    QString ColumnCaption() const { return m_colCaption; }
    QString DataCaption() const { return m_dataCaption; }
    void SetRowCaption(const QString& caption);
    void SetColumnCaption(const QString& caption);
    void SetDataCaption(const QString& caption);
    // The form's start-up: each field without a caption gets the alias of its column (the field
    // name when there is none).
    void CheckCaptionHeaders();
    // The caption a field is shown with: the set caption, else the alias, else the name.
    QString FieldCaption(const QString& field) const;

    // ---- layout: the field assignment ------------------------------------------------------
    // Type 1 the user's own, 2 the global one (the grid menu offers only the global one).
    QString FormClassName() const;
    QString GridName() const { return objectName(); }
    bool LayoutExists(int type);
    QDateTime LayoutSavedAt() const { return m_layoutSavedAt; }
    QString LayoutSavedBy() const { return m_layoutSavedBy; }
    // False when nothing is stored or the stored text is not usable (logged, nothing applied).
    bool LayoutLoad(int type);
    void LayoutSave(int type);
    void LayoutDelete(int type);
    // Restores the global layout once.
    void InitLayout();
    QString LayoutText() const;
    bool ApplyLayoutText(const QString& text);

private:
    void refresh();
    void updateFieldBar();

    QPointer<TVoskClass> m_class;
    TVoskPivotModel* m_model;
    QLabel* m_dataLabel;
    QLabel* m_columnLabel;
    QTableView* m_view;
    QString m_rowField, m_colField, m_dataField;
    QString m_rowCaption, m_colCaption, m_dataCaption;
    QDateTime m_layoutSavedAt;
    QString m_layoutSavedBy;
    bool m_layoutInitDone = false;
};
