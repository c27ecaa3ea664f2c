#pragma once
// A Boolean grid column shown as a check box and changed by a click on it (or the space key on its
// cell). The new value goes to a handler, not to the model: the owner decides how it is stored
// (a record-keyword operation, say) and reads its data again; a handler that throws leaves the
// box as it was.

#include <QStyledItemDelegate>

#include <functional>

class TVoskCheckColumn final : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TVoskCheckColumn(QObject* parent = nullptr);

    // row and the value the user asks for.
    std::function<void(int row, bool checked)> OnToggle;
    bool ReadOnly = false;
    // The tooltip of a row's cell; empty leaves the model's own.
    std::function<QString(int row)> CellHint;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    QWidget* createEditor(QWidget*, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        return nullptr;
    }

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    QRect boxRect(const QStyleOptionViewItem& option) const;
};
