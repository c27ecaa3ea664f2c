#include "TVoskBandedHeader.h"

#include "TVoskDBGrid2.h"

#include <QPainter>

#include <algorithm>
#include <QStyleOptionHeader>

TVoskBandedHeader::TVoskBandedHeader(TVoskDBGrid2* grid)
    : QHeaderView(Qt::Horizontal, grid), m_grid(grid) {
    setSectionsClickable(true);
    setSectionsMovable(true);
    setHighlightSections(true);
    setSortIndicator(-1, Qt::AscendingOrder);
    // The table view ties sorting to its header; a new header needs it tied again.
    const bool sorting = grid->isSortingEnabled();
    grid->setSortingEnabled(false);
    grid->setHorizontalHeader(this);
    grid->setSortingEnabled(sorting);
}

void TVoskBandedHeader::SetBands(const QList<TVoskGridBand>& bands) {
    m_bands = bands;
    updateGeometries();
    viewport()->update();
}

void TVoskBandedHeader::SetBandCaption(int band, const QString& caption) {
    if (band < 0 || band >= m_bands.size())
        return;
    m_bands[band].Caption = caption;
    viewport()->update();
}

int TVoskBandedHeader::BandOfSection(int logicalIndex) const {
    TVoskClass* c = m_grid->DataClass();
    if (!c || logicalIndex < 0 || logicalIndex >= c->FieldCount())
        return -1;
    const QString field = c->FieldNameAt(logicalIndex);
    for (int b = 0; b < m_bands.size(); ++b)
        if (m_bands[b].Fields.contains(field, Qt::CaseInsensitive))
            return b;
    return -1;
}

int TVoskBandedHeader::BandRowHeight() const {
    return m_bands.isEmpty() ? 0 : fontMetrics().height() + 8;
}

QSize TVoskBandedHeader::sizeHint() const {
    QSize s = QHeaderView::sizeHint();
    s.rheight() += BandRowHeight();
    return s;
}

QList<QRect> TVoskBandedHeader::BandRects(int band) const {
    QList<QRect> rects;
    const int h = BandRowHeight();
    int runStart = -1;
    int runEnd = -1;
    auto flush = [&] {
        if (runStart >= 0)
            rects << QRect(runStart, 0, runEnd - runStart, h);
        runStart = -1;
    };
    for (int v = 0; v < count(); ++v) {
        const int logical = logicalIndex(v);
        if (isSectionHidden(logical))
            continue;
        if (BandOfSection(logical) != band) {
            flush();
            continue;
        }
        const int x = sectionViewportPosition(logical);
        if (runStart < 0)
            runStart = x;
        runEnd = x + sectionSize(logical);
    }
    flush();
    return rects;
}

void TVoskBandedHeader::paintSection(QPainter* painter, const QRect& rect,
                                     int logicalIndex) const {
    // A column outside every band takes the band row as well.
    const int top = BandOfSection(logicalIndex) < 0 ? 0 : BandRowHeight();
    QHeaderView::paintSection(painter, rect.adjusted(0, top, 0, 0), logicalIndex);
}

QSize TVoskBandedHeader::sectionSizeFromContents(int logicalIndex) const {
    QSize s = QHeaderView::sectionSizeFromContents(logicalIndex);
    const int band = BandOfSection(logicalIndex);
    if (band < 0)
        return s;
    int shown = 0;
    for (int i = 0; i < count(); ++i)
        if (!isSectionHidden(i) && BandOfSection(i) == band)
            ++shown;
    const int caption = fontMetrics().horizontalAdvance(m_bands[band].Caption) + 16;
    if (shown > 0)
        s.setWidth(std::max(s.width(), (caption + shown - 1) / shown));
    return s;
}

void TVoskBandedHeader::paintEvent(QPaintEvent* e) {
    QHeaderView::paintEvent(e);
    if (m_bands.isEmpty())
        return;
    QPainter p(viewport());
    for (int b = 0; b < m_bands.size(); ++b) {
        for (const QRect& r : BandRects(b)) {
            QStyleOptionHeader opt;
            initStyleOption(&opt);
            opt.rect = r;
            opt.section = 0;
            opt.text = m_bands[b].Caption;
            opt.textAlignment = Qt::AlignCenter;
            opt.position = QStyleOptionHeader::Middle;
            style()->drawControl(QStyle::CE_Header, &opt, &p, this);
        }
    }
}
