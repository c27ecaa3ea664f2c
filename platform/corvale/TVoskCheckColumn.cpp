#include "TVoskCheckColumn.h"

#include <EventGuard.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QAbstractItemView>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

TVoskCheckColumn::TVoskCheckColumn(QObject* parent) : QStyledItemDelegate(parent) {}

QRect TVoskCheckColumn::boxRect(const QStyleOptionViewItem& option) const {
    QStyleOptionButton box;
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const QRect r = style->subElementRect(QStyle::SE_CheckBoxIndicator, &box, option.widget);
    return QStyle::alignedRect(option.direction, Qt::AlignCenter, r.size(), option.rect);
}

void TVoskCheckColumn::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    // The box is drawn below; the model's own check indicator would be a second one.
    background.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);
    QStyleOptionButton box;
    box.rect = boxRect(option);
    box.state = QStyle::State_Enabled |
                (index.data(Qt::EditRole).toBool() ? QStyle::State_On : QStyle::State_Off);
    if (ReadOnly)
        box.state &= ~QStyle::State_Enabled;
    style->drawControl(QStyle::CE_CheckBox, &box, painter, option.widget);
}

QSize TVoskCheckColumn::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex&) const {
    return boxRect(option).size() + QSize(8, 4);
}

bool TVoskCheckColumn::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                 const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (CellHint && event->type() == QEvent::ToolTip && index.isValid())
        if (const QString hint = CellHint(index.row()); !hint.isEmpty()) {
            QToolTip::showText(event->globalPos(), hint, view, option.rect);
            return true;
        }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

bool TVoskCheckColumn::editorEvent(QEvent* event, QAbstractItemModel*,
                                   const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (ReadOnly || !OnToggle || !index.isValid())
        return false;
    bool toggle = false;
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* e = static_cast<QMouseEvent*>(event);
        toggle = e->button() == Qt::LeftButton && option.rect.contains(e->position().toPoint());
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        return true; // the release already toggled
    } else if (event->type() == QEvent::KeyPress) {
        toggle = static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space;
    }
    if (!toggle)
        return false;
    const int row = index.row();
    const bool checked = !index.data(Qt::EditRole).toBool();
    // Deferred: the handler reads the data again, which must not happen inside the view's event.
    QMetaObject::invokeMethod(
        this, [this, row, checked] { Rtl::Guarded([&] { OnToggle(row, checked); }, this); },
        Qt::QueuedConnection);
    return true;
}
