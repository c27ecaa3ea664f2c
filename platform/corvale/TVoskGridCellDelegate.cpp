#include "TVoskGridCellDelegate.h"

#include "TVoskDBGrid2.h"
#include "VoskConditionalFormatting.h"

#include <TVoskClass.h>

#include <QApplication>
#include <QPainter>

namespace {

bool IsCheckOnly(const QModelIndex& index) {
    return index.data(Qt::CheckStateRole).isValid() && !index.data(Qt::DisplayRole).isValid();
}

// The strip of rect in whose left edge the style puts the check box, so that the box stands
// in the middle of rect.
QRect CentredCheckStrip(const QRect& rect, const QWidget* widget) {
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    return {rect.center().x() - w / 2 - margin, rect.top(), w + 2 * margin, rect.height()};
}

} // namespace

TVoskGridCellDelegate::TVoskGridCellDelegate(TVoskDBGrid2* grid)
    : QStyledItemDelegate(grid), m_grid(grid) {}

QStyleOptionViewItem TVoskGridCellDelegate::cellOption(const QStyleOptionViewItem& option,
                                                       const QModelIndex& index) const {
    QStyleOptionViewItem o(option);
    if (m_grid)
        o.rect = m_grid->cellRect(option.rect, index.row());
    return o;
}

void ApplyConditionalFormatting(QStyleOptionViewItem* option, const QModelIndex& index,
                                const TVoskConditionalFormatting* rules, const TVoskClass* data) {
    if (!rules || rules->IsEmpty() || !data)
        return;
    const std::optional<TVoskCondFormatStyle> style = rules->StyleFor(
        data->FieldNameAt(index.column()), index.data(Qt::EditRole), option->text);
    if (!style)
        return;
    if (style->background.isValid())
        option->backgroundBrush = style->background;
    if (style->textColor.isValid())
        option->palette.setColor(QPalette::Text, style->textColor);
    if (style->bold)
        option->font.setBold(true);
}

void TVoskGridCellDelegate::initStyleOption(QStyleOptionViewItem* option,
                                            const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (m_grid)
        ApplyConditionalFormatting(option, index, m_grid->ConditionalFormatting(),
                                   m_grid->DataClass());
}

void TVoskGridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    const QStyleOptionViewItem o = cellOption(option, index);
    if (o.rect.height() <= 0)
        return; // a collapsed group's head row shows its band only
    if (!IsCheckOnly(index)) {
        QStyledItemDelegate::paint(painter, o, index);
        return;
    }
    // A Boolean's box stands in the middle of its column over the cell's own background.
    QStyleOptionViewItem cell(o);
    initStyleOption(&cell, index);
    cell.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    const QWidget* w = option.widget;
    QStyle* style = w ? w->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, w);
    QStyleOptionViewItem box(o);
    initStyleOption(&box, index);
    box.rect = CentredCheckStrip(o.rect, w);
    box.state &= ~QStyle::State_HasFocus;
    box.backgroundBrush = Qt::NoBrush;
    box.showDecorationSelected = false;
    box.state &= ~QStyle::State_Selected;
    style->drawControl(QStyle::CE_ItemViewItem, &box, painter, w);
}

void TVoskGridCellDelegate::updateEditorGeometry(QWidget* editor,
                                                 const QStyleOptionViewItem& option,
                                                 const QModelIndex& index) const {
    QStyledItemDelegate::updateEditorGeometry(editor, cellOption(option, index), index);
}

bool TVoskGridCellDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                        const QStyleOptionViewItem& option,
                                        const QModelIndex& index) {
    QStyleOptionViewItem o = cellOption(option, index);
    if (IsCheckOnly(index))
        o.rect = CentredCheckStrip(o.rect, option.widget);
    return QStyledItemDelegate::editorEvent(event, model, o, index);
}
