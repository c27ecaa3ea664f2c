#include "TVoskPageStrip.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

TVoskPageStrip::TVoskPageStrip(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("PageStrip"));
    setAccessibleName(QStringLiteral("Seiten"));
    setToolTip(QStringLiteral("Seiten des Dokuments (blättern mit Bild auf/ab)"));
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    // Pixmaps of a view's width, cost in KiB: about a dozen A4 pages.
    m_cache.setMaxCost(48 * 1024);
}

void TVoskPageStrip::SetPages(int count, double aspect, PageLoader loader) {
    m_count = count;
    m_aspect = aspect > 0.01 && aspect < 100 ? aspect : 1.414;
    m_loader = std::move(loader);
    m_cache.clear();
    m_read.clear();
    verticalScrollBar()->setValue(0);
    updateRange();
    viewport()->update();
}

int TVoskPageStrip::pageWidth() const { return qMax(16, viewport()->width() - 2 * kGap); }
int TVoskPageStrip::slotHeight() const { return int(pageWidth() * m_aspect) + kGap; }

int TVoskPageStrip::CurrentPage() const {
    return m_count ? qBound(0, verticalScrollBar()->value() / slotHeight(), m_count - 1) : -1;
}

void TVoskPageStrip::ScrollToPage(int page) {
    verticalScrollBar()->setValue(qBound(0, page, qMax(0, m_count - 1)) * slotHeight());
}

void TVoskPageStrip::updateRange() {
    QScrollBar* bar = verticalScrollBar();
    const int slot = slotHeight();
    bar->setRange(0, qMax(0, int(qMin<qint64>(qint64(m_count) * slot + kGap, INT_MAX) -
                                 viewport()->height())));
    bar->setPageStep(viewport()->height());
    bar->setSingleStep(qMax(20, slot / 10));
}

void TVoskPageStrip::resizeEvent(QResizeEvent* e) {
    // Keep the page that was at the top there at the new scale.
    const int top = CurrentPage();
    const double within = m_count ? double(verticalScrollBar()->value() % qMax(1, slotHeight())) /
                                        slotHeight()
                                  : 0;
    QAbstractScrollArea::resizeEvent(e);
    updateRange();
    if (top >= 0)
        verticalScrollBar()->setValue(int((top + within) * slotHeight()));
}

const QPixmap* TVoskPageStrip::page(int n) {
    if (m_cacheWidth != pageWidth()) {
        m_cache.clear();
        m_cacheWidth = pageWidth();
    }
    if (const QPixmap* cached = m_cache.object(n))
        return cached;
    const QSize room(pageWidth(), slotHeight() - kGap);
    const QImage image = m_loader ? m_loader(n, room * devicePixelRatioF()) : QImage();
    m_read.insert(n);
    if (image.isNull())
        return nullptr;
    auto* pixmap = new QPixmap(QPixmap::fromImage(
        image.scaled(room * devicePixelRatioF(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    pixmap->setDevicePixelRatio(devicePixelRatioF());
    const int cost = qMax(1, int(qint64(pixmap->width()) * pixmap->height() * 4 / 1024));
    return m_cache.insert(n, pixmap, cost) ? m_cache.object(n) : nullptr;
}

void TVoskPageStrip::paintEvent(QPaintEvent* e) {
    QPainter p(viewport());
    if (!m_count)
        return;
    const int slot = slotHeight();
    const int scroll = verticalScrollBar()->value();
    const int first = qMax(0, (scroll + e->rect().top()) / slot);
    const int last = qMin(m_count - 1, (scroll + e->rect().bottom()) / slot);
    for (int n = first; n <= last; ++n) {
        const QRect frame(kGap, kGap + n * slot - scroll, pageWidth(), slot - kGap);
        const QPixmap* pixmap = page(n);
        if (!pixmap) {
            p.fillRect(frame, palette().base());
            p.setPen(palette().text().color());
            p.drawText(frame, Qt::AlignCenter | Qt::TextWordWrap,
                       QStringLiteral("Seite %1 kann nicht gelesen werden.").arg(n + 1));
            continue;
        }
        const QSize shown = pixmap->deviceIndependentSize().toSize();
        const QRect at(QPoint(frame.x() + (frame.width() - shown.width()) / 2, frame.y()), shown);
        p.drawPixmap(at, *pixmap);
    }
}
