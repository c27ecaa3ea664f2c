#include "BandedHeaderView.h"

#include "GridBandedTableView.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyleOptionHeader>
#include <QToolTip>

namespace Grid {

BandedHeaderView::BandedHeaderView(GridBandedTableView& view, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), m_view(view) {
    setSectionsMovable(true);
    setSectionsClickable(false);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

int BandedHeaderView::BandRowHeight() const {
    return QHeaderView::sizeHint().height();
}

QSize BandedHeaderView::sizeHint() const {
    QSize s = QHeaderView::sizeHint();
    s.setHeight(2 * BandRowHeight());
    return s;
}

QRect BandedHeaderView::BandRect(int band) const {
    int left = INT_MAX, right = INT_MIN;
    for (GridBandedColumn* c : m_view.ShownColumns()) {
        if (c->BandIndex != band)
            continue;
        const int x = sectionViewportPosition(c->ItemIndex());
        left = std::min(left, x);
        right = std::max(right, x + sectionSize(c->ItemIndex()));
    }
    if (left >= right)
        return {};
    return QRect(left, 0, right - left, BandRowHeight());
}

int BandedHeaderView::BandAt(const QPoint& pos) const {
    for (int b = 0; b < m_view.BandCount(); ++b) {
        const QRect r = BandRect(b);
        if (r.isValid() && pos.x() >= r.left() && pos.x() <= r.right())
            return b;
    }
    return -1;
}

void BandedHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    // The base paints the column caption into the lower row only.
    QRect lower = rect;
    lower.setTop(rect.top() + BandRowHeight());
    QHeaderView::paintSection(painter, lower, logicalIndex);
}

void BandedHeaderView::paintEvent(QPaintEvent* e) {
    QHeaderView::paintEvent(e);
    QPainter painter(viewport());
    for (int b = 0; b < m_view.BandCount(); ++b) {
        const QRect r = BandRect(b);
        if (!r.isValid())
            continue;
        QStyleOptionHeader opt;
        initStyleOption(&opt);
        opt.rect = r;
        opt.section = b;
        opt.text = m_view.Band(b).Caption;
        opt.textAlignment = Qt::AlignCenter;
        opt.position = QStyleOptionHeader::Middle;
        style()->drawControl(QStyle::CE_Header, &opt, &painter, this);
    }
}

bool BandedHeaderView::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        if (help->pos().y() < BandRowHeight()) {
            const int band = BandAt(help->pos());
            if (band >= 0) {
                QToolTip::showText(help->globalPos(), m_view.Band(band).Caption, this);
                return true;
            }
        } else {
            const int logical = logicalIndexAt(help->pos());
            if (GridBandedColumn* c = m_view.ColumnOfItem(logical)) {
                QToolTip::showText(help->globalPos(), c->Caption(), this);
                return true;
            }
        }
    }
    return QHeaderView::viewportEvent(e);
}

} // namespace Grid
