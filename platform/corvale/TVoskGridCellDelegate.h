#pragma once
// Cell painting and editing of a TVoskDBGrid2 whose rows carry bands (group heads above the
// cells, the preview text below): the cells keep their own strip of the row. Delegates that a
// grid sets for its columns derive from this one.

#include <QPointer>
#include <QStyledItemDelegate>

class TVoskClass;
class TVoskConditionalFormatting;
class TVoskDBGrid2;

// rules on top of the look of a cell of data shown in option (grid and tree list alike).
void ApplyConditionalFormatting(QStyleOptionViewItem* option, const QModelIndex& index,
                                const TVoskConditionalFormatting* rules, const TVoskClass* data);

class TVoskGridCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TVoskGridCellDelegate(TVoskDBGrid2* grid);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    // The option with its rectangle cut down to the cells' strip of the row.
    QStyleOptionViewItem cellOption(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const;
    // The grid's conditional formatting on top of the cell's own look.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

    QPointer<TVoskDBGrid2> m_grid;
};
