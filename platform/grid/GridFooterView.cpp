#include "GridFooterView.h"

#include "BandedHeaderView.h"
#include "GridBandedTableView.h"

#include <QLocale>
#include <QPainter>
#include <QStyleOptionHeader>

namespace Grid {

GridFooterView::GridFooterView(GridBandedTableView& view, QWidget* parent)
    : QWidget(parent), m_view(view) {
    setObjectName(QStringLiteral("Footer"));
    setAccessibleName(QStringLiteral("Summen"));
    setToolTip(QStringLiteral("Summen der Spalten"));
}

QSize GridFooterView::sizeHint() const {
    return QSize(100, fontMetrics().height() + 8);
}

void GridFooterView::Recalculate() {
    std::vector<QVariant> byItem(size_t(m_view.DataController().ItemCount()));
    try {
        const std::vector<QVariant> values = m_view.FooterValues();
        for (int i = 0; i < m_view.ColumnCount() && i < int(values.size()); ++i) {
            const int item = m_view.Column(i).ItemIndex();
            if (item >= 0 && item < int(byItem.size()))
                byItem[size_t(item)] = values[size_t(i)];
        }
    } catch (...) {
        // A summary that cannot be read shows empty rather than stopping the paint.
    }
    m_values = std::move(byItem);
    update();
}

QString GridFooterView::TextOf(int itemIndex) const {
    if (itemIndex < 0 || itemIndex >= int(m_values.size()))
        return {};
    const QVariant& v = m_values[size_t(itemIndex)];
    if (!v.isValid() || v.isNull())
        return {};
    if (v.typeId() == QMetaType::Double)
        return QLocale().toString(v.toDouble(), 'f', 2);
    return v.toString();
}

void GridFooterView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    BandedHeaderView* header = m_view.Header();
    const int offset = header ? header->geometry().left() : 0;
    for (GridBandedColumn* c : m_view.ShownColumns()) {
        if (c->FooterSummary == SummaryKind::None || !header)
            continue;
        const int item = c->ItemIndex();
        const QRect r(offset + header->sectionViewportPosition(item), 0, header->sectionSize(item),
                      height());
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        painter.drawText(r.adjusted(4, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, TextOf(item));
    }
}

} // namespace Grid
