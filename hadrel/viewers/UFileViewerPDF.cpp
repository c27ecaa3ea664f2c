#include "UFileViewerPDF.h"

#include "UFilePreview.h"

#include <Dataclient_files.h>
#include <EventGuard.h>
#include <Korvexcommonvcl.h>
#include <Korvexutils.h>
#include <PdfSignature.h>
#include <TUserRights.h>
#include <TVoskRibbon.h>
#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>
#include <Uloadform.h>
#include <UnitTable.h>
#include <Uvoskrtl.Collections.h>
#include <Vcl.Components.h>
#include <Vcl.Hourglass.h>
#include <Vcl.Services.h>
#include <VoskPrinters.h>
#include <VoskQuery2.h>

#include <QActionGroup>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfSearchModel>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

// ---------------------------------------------------------------------------------------------
// The page view

namespace {
constexpr int kPageMargin = 8;
} // namespace

TPdfPageView::TPdfPageView(QWidget* parent)
    : QAbstractScrollArea(parent), m_renderer(new TPdfTileRenderer(this)) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::OpenHandCursor);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    connect(m_renderer, &TPdfTileRenderer::tileReady, this, &TPdfPageView::tileReady);
}

void TPdfPageView::SetDocument(QPdfDocument* document, const QByteArray& bytes) {
    m_document = document;
    m_page = 0;
    m_rotation = 0;
    m_highlights.clear();
    m_pointSizes.clear();
    ClearSelection();
    dropTiles();
    m_renderer->SetDocument(document ? bytes : QByteArray());
    applyMode();
    viewport()->update();
}

QSizeF TPdfPageView::pointSize(int page) const {
    if (!m_document || page < 0 || page >= m_document->pageCount())
        return {};
    // Asked at every paint: the document's answer waits for a tile being rendered.
    auto it = m_pointSizes.find(page);
    if (it == m_pointSizes.end())
        it = m_pointSizes.insert(page, m_document->pagePointSize(page));
    return *it;
}

void TPdfPageView::SetPage(int page, QPointF location) {
    const int count = m_document ? m_document->pageCount() : 0;
    if (count <= 0)
        return;
    page = std::clamp(page, 0, count - 1);
    const bool changed = page != m_page;
    m_page = page;
    if (changed) {
        m_highlights.clear();
        ClearSelection();
    }
    applyMode();
    const double ppp = pixelsPerPoint();
    horizontalScrollBar()->setValue(int(location.x() * ppp));
    verticalScrollBar()->setValue(int(location.y() * ppp));
    viewport()->update();
    if (changed)
        emit pageChanged(m_page);
}

QPointF TPdfPageView::Location() const {
    const double ppp = pixelsPerPoint();
    return ppp > 0 ? QPointF(horizontalScrollBar()->value() / ppp, verticalScrollBar()->value() / ppp)
                   : QPointF();
}

QSizeF TPdfPageView::pagePoints() const {
    const QSizeF s = pointSize(m_page);
    return m_rotation % 180 ? s.transposed() : s;
}

double TPdfPageView::pixelsPerPoint() const {
    return m_zoom / 100.0 * logicalDpiX() / 72.0;
}

void TPdfPageView::SetZoomFactor(int percent) {
    percent = std::clamp(percent, MinZoom, MaxZoom);
    m_mode = zmCustom;
    if (percent == m_zoom)
        return;
    m_zoom = percent;
    updateScrollBars();
    viewport()->update();
    emit zoomFactorChanged(m_zoom);
}

void TPdfPageView::SetZoomMode(TZoomMode mode) {
    m_mode = mode;
    applyMode();
}

void TPdfPageView::applyMode() {
    const QSizeF points = pagePoints();
    if (m_mode != zmCustom && !points.isEmpty()) {
        const double perPoint = logicalDpiX() / 72.0;
        const QSize area = viewport()->size() - QSize(2 * kPageMargin, 2 * kPageMargin);
        double percent = area.width() / (points.width() * perPoint) * 100;
        if (m_mode == zmWholePage)
            percent = std::min(percent, area.height() / (points.height() * perPoint) * 100);
        const int zoom = std::clamp(int(std::floor(percent)), MinZoom, MaxZoom);
        if (zoom != m_zoom) {
            m_zoom = zoom;
            emit zoomFactorChanged(m_zoom);
        }
    }
    updateScrollBars();
    viewport()->update();
}

void TPdfPageView::updateScrollBars() {
    const QSizeF points = pagePoints();
    const QSize page = (points * pixelsPerPoint()).toSize() + QSize(2 * kPageMargin, 2 * kPageMargin);
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, page.width() - view.width()));
    verticalScrollBar()->setRange(0, std::max(0, page.height() - view.height()));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(20);
    horizontalScrollBar()->setSingleStep(20);
}

void TPdfPageView::RotateClockwise() {
    m_rotation = (m_rotation + 90) % 360;
    ClearSelection();
    applyMode();
}

void TPdfPageView::RotateCounterClockwise() {
    m_rotation = (m_rotation + 270) % 360;
    ClearSelection();
    applyMode();
}

QRect TPdfPageView::pageRect() const {
    const QSize size = (pagePoints() * pixelsPerPoint()).toSize();
    const int x = size.width() + 2 * kPageMargin < viewport()->width()
                      ? (viewport()->width() - size.width()) / 2
                      : kPageMargin - horizontalScrollBar()->value();
    return QRect(QPoint(x, kPageMargin - verticalScrollBar()->value()), size);
}

QPointF TPdfPageView::toPage(QPoint p) const {
    const QRect r = pageRect();
    const double ppp = pixelsPerPoint();
    QPointF q((p.x() - r.x()) / ppp, (p.y() - r.y()) / ppp);
    const QSizeF s = pointSize(m_page);
    switch (m_rotation) {
    case 90:
        return QPointF(q.y(), s.height() - q.x());
    case 180:
        return QPointF(s.width() - q.x(), s.height() - q.y());
    case 270:
        return QPointF(s.width() - q.y(), q.x());
    default:
        return q;
    }
}

void TPdfPageView::SetHighlights(const QList<QRectF>& rects, int current) {
    m_highlights = rects;
    m_currentHighlight = current;
    viewport()->update();
}

void TPdfPageView::ClearSelection() {
    m_selection.clear();
    m_selectedText.clear();
    viewport()->update();
}

// ---- tiles --------------------------------------------------------------------------------

QSize TPdfPageView::ScaledSize() const {
    const qreal dpr = viewport()->devicePixelRatioF();
    const QSize logical = pageRect().size();
    return QSize(qRound(logical.width() * dpr), qRound(logical.height() * dpr));
}

QRect TPdfPageView::VisibleArea() const {
    const QRect r = pageRect();
    const QRect shown = r.intersected(viewport()->rect());
    if (shown.isEmpty())
        return {};
    const QSize scaled = ScaledSize();
    const double sx = double(scaled.width()) / r.width(), sy = double(scaled.height()) / r.height();
    const QRect local = shown.translated(-r.topLeft());
    const int left = int(std::floor(local.x() * sx)), top = int(std::floor(local.y() * sy));
    const int right = int(std::ceil((local.x() + local.width()) * sx));
    const int bottom = int(std::ceil((local.y() + local.height()) * sy));
    return QRect(left, top, right - left, bottom - top).intersected(QRect(QPoint(), scaled));
}

QList<TPdfTileKey> TPdfPageView::visibleTiles() const {
    if (!m_document || m_document->pageCount() <= 0 || pageRect().isEmpty())
        return {};
    return PdfTiles::TilesIn(m_page, m_rotation, ScaledSize(), VisibleArea());
}

QRectF TPdfPageView::tileTarget(const TPdfTileKey& key) const {
    const QRect r = pageRect();
    const QRect tile = PdfTiles::TileRect(key);
    const double sx = double(r.width()) / key.scaled.width();
    const double sy = double(r.height()) / key.scaled.height();
    return QRectF(r.x() + tile.x() * sx, r.y() + tile.y() * sy, tile.width() * sx,
                  tile.height() * sy);
}

bool TPdfPageView::Rendering() const {
    return !m_wanted.isEmpty() && m_renderer->Pending() > 0 && PendingTiles() > 0;
}

int TPdfPageView::PendingTiles() const {
    int missing = 0;
    for (const TPdfTileKey& key : visibleTiles())
        if (!m_tiles.contains(key))
            ++missing;
    return missing;
}

QImage TPdfPageView::VisiblePage() const {
    const QRect area = VisibleArea();
    if (area.isEmpty())
        return {};
    QImage shown(area.size(), QImage::Format_RGB32);
    shown.fill(Qt::white);
    QPainter p(&shown);
    for (const TPdfTileKey& key : visibleTiles())
        if (const auto it = m_tiles.constFind(key); it != m_tiles.cend())
            p.drawImage(PdfTiles::TileRect(key).topLeft() - area.topLeft(), it->image);
    return shown;
}

qint64 TPdfPageView::tileBudget() const {
    // Three screens of tiles with a tile's margin round them, and never less than 96 MB.
    const qreal dpr = viewport()->devicePixelRatioF();
    const qint64 w = qint64(viewport()->width() * dpr) + 2 * PdfTiles::TileSize;
    const qint64 h = qint64(viewport()->height() * dpr) + 2 * PdfTiles::TileSize;
    return std::max<qint64>(qint64(96) << 20, 3 * w * h * 4);
}

void TPdfPageView::requestTiles(const QList<TPdfTileKey>& visible) {
    QList<TPdfTileKey> wanted;
    for (const TPdfTileKey& key : visible)
        if (!m_tiles.contains(key))
            wanted << key;
    // The middle of the view first.
    const QPointF middle = QRectF(VisibleArea()).center();
    const auto distance = [&](const TPdfTileKey& k) {
        const QPointF d = QRectF(PdfTiles::TileRect(k)).center() - middle;
        return d.x() * d.x() + d.y() * d.y();
    };
    std::stable_sort(wanted.begin(), wanted.end(), [&](const TPdfTileKey& a, const TPdfTileKey& b) {
        return distance(a) < distance(b);
    });
    // Then the tiles round the view, so that scrolling finds them ready, while they fit.
    const QRect area = VisibleArea();
    if (!visible.isEmpty() && !area.isEmpty()) {
        const int t = PdfTiles::TileSize;
        const QList<TPdfTileKey> around = PdfTiles::TilesIn(
            m_page, m_rotation, visible.first().scaled, area.adjusted(-t, -t, t, t));
        const qint64 tileBytes = qint64(t) * t * 4;
        if (around.size() * tileBytes <= tileBudget() / 2)
            for (const TPdfTileKey& key : around)
                if (!m_tiles.contains(key) && !visible.contains(key))
                    wanted << key;
    }
    if (wanted != m_wanted) {
        m_wanted = wanted;
        m_renderer->Want(wanted);
    }
}

void TPdfPageView::tileReady(quint64 generation, const TPdfTileKey& key, const QImage& image) {
    if (generation != m_renderer->Generation() || image.isNull())
        return;
    m_wanted.removeOne(key);
    if (const auto old = m_tiles.constFind(key); old != m_tiles.cend())
        m_tileBytes -= old->image.sizeInBytes();
    m_tiles.insert(key, {image, ++m_useCount});
    m_tileBytes += image.sizeInBytes();
    trimTiles(visibleTiles());
    viewport()->update();
}

void TPdfPageView::trimTiles(const QList<TPdfTileKey>& keep) {
    const qint64 budget = tileBudget();
    while (m_tileBytes > budget) {
        // The least recently drawn goes; tiles of another zoom are drawn as stand-ins only and
        // count as drawn when they were last current.
        auto oldest = m_tiles.end();
        for (auto it = m_tiles.begin(); it != m_tiles.end(); ++it)
            if (!keep.contains(it.key()) && (oldest == m_tiles.end() || it->used < oldest->used))
                oldest = it;
        if (oldest == m_tiles.end())
            break;
        m_tileBytes -= oldest->image.sizeInBytes();
        m_tiles.erase(oldest);
    }
}

void TPdfPageView::dropTiles() {
    m_tiles.clear();
    m_tileBytes = 0;
    m_wanted.clear();
}

void TPdfPageView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    if (!m_document || m_document->pageCount() <= 0)
        return;
    const QRect r = pageRect();
    if (r.isEmpty())
        return;
    p.fillRect(r.intersected(viewport()->rect()), Qt::white);
    const QSize scaled = ScaledSize();
    // Until the tiles at this zoom are there, those of the zoom before stand in, scaled.
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (auto it = m_tiles.cbegin(); it != m_tiles.cend(); ++it) {
        const TPdfTileKey& k = it.key();
        if (k.page == m_page && k.rotation == m_rotation && k.scaled != scaled)
            p.drawImage(tileTarget(k), it->image);
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QList<TPdfTileKey> visible = visibleTiles();
    for (const TPdfTileKey& k : visible)
        if (const auto it = m_tiles.find(k); it != m_tiles.end()) {
            it->used = ++m_useCount;
            p.drawImage(tileTarget(k), it->image);
        }
    requestTiles(visible);

    // Marks are given in unturned page points.
    p.save();
    p.translate(r.topLeft());
    const double ppp = pixelsPerPoint();
    p.scale(ppp, ppp);
    const QSizeF s = pointSize(m_page);
    switch (m_rotation) {
    case 90:
        p.translate(s.height(), 0);
        p.rotate(90);
        break;
    case 180:
        p.translate(s.width(), s.height());
        p.rotate(180);
        break;
    case 270:
        p.translate(0, s.width());
        p.rotate(270);
        break;
    default:
        break;
    }
    p.setPen(Qt::NoPen);
    for (int i = 0; i < m_highlights.size(); ++i)
        p.fillRect(m_highlights[i], i == m_currentHighlight ? QColor(255, 140, 0, 120)
                                                             : QColor(255, 230, 0, 100));
    for (const QPolygonF& poly : m_selection) {
        p.setBrush(QColor(0, 90, 200, 80));
        p.drawPolygon(poly);
    }
    p.restore();
}

void TPdfPageView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    applyMode();
}

void TPdfPageView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    emit clicked();
    m_dragStart = e->pos();
    m_scrollStart = QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    if (m_hand) {
        viewport()->setCursor(Qt::ClosedHandCursor);
    } else {
        m_selecting = true;
        m_selectFrom = toPage(e->pos());
        ClearSelection();
    }
}

void TPdfPageView::mouseMoveEvent(QMouseEvent* e) {
    if (!(e->buttons() & Qt::LeftButton))
        return;
    if (m_hand) {
        const QPoint d = e->pos() - m_dragStart;
        horizontalScrollBar()->setValue(m_scrollStart.x() - d.x());
        verticalScrollBar()->setValue(m_scrollStart.y() - d.y());
        viewport()->update();
    } else if (m_selecting && m_document) {
        const QPdfSelection sel = m_document->getSelection(m_page, m_selectFrom, toPage(e->pos()));
        m_selection = sel.bounds();
        m_selectedText = sel.text();
        viewport()->update();
    }
}

void TPdfPageView::mouseReleaseEvent(QMouseEvent*) {
    m_selecting = false;
    viewport()->setCursor(m_hand ? Qt::OpenHandCursor : Qt::IBeamCursor);
}

void TPdfPageView::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Copy) && !m_selectedText.isEmpty()) {
        Vcl::Clipboard::Instance().SetText(m_selectedText);
        return;
    }
    QAbstractScrollArea::keyPressEvent(e);
}

// ---------------------------------------------------------------------------------------------
// Thumbnails

TPdfThumbnails::TPdfThumbnails(QObject* parent) : QAbstractListModel(parent) {
    m_renderNext.setSingleShot(true);
    m_renderNext.setInterval(0);
    connect(&m_renderNext, &QTimer::timeout, this, &TPdfThumbnails::renderQueued);
}

void TPdfThumbnails::SetDocument(QPdfDocument* document) {
    beginResetModel();
    m_document = document;
    m_thumbs.clear();
    m_queued.clear();
    m_renderNext.stop();
    endResetModel();
}

QImage TPdfThumbnails::render(int page) const {
    const QSize size = ThumbSize(page);
    QImage thumb(size, QImage::Format_RGB32);
    thumb.fill(Qt::white);
    QPainter p(&thumb);
    if (m_document)
        p.drawImage(0, 0, m_document->render(page, size));
    p.setPen(Qt::gray);
    p.drawRect(thumb.rect().adjusted(0, 0, -1, -1));
    return thumb;
}

// One thumbnail per turn of the event loop, so that the page shows first and input is not held up.
void TPdfThumbnails::renderQueued() {
    if (m_queued.isEmpty() || !m_document)
        return;
    // The page in view first: the library renders one thing at a time.
    if (Busy && Busy()) {
        m_renderNext.start(10);
        return;
    }
    m_renderNext.setInterval(0);
    const int page = m_queued.takeFirst();
    if (page < rowCount() && !m_thumbs.contains(page)) {
        m_thumbs.insert(page, render(page));
        const QModelIndex at = index(page);
        emit dataChanged(at, at, {Qt::DecorationRole});
    }
    if (!m_queued.isEmpty())
        m_renderNext.start();
}

int TPdfThumbnails::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_document ? 0 : std::max(0, m_document->pageCount());
}

QSize TPdfThumbnails::ThumbSize(int page) const {
    const QSizeF points = m_document ? m_document->pagePointSize(page) : QSizeF();
    if (points.width() <= 0 || points.height() <= 0)
        return {ThumbWidth, ThumbWidth};
    return points.scaled(ThumbWidth, ThumbHeight, Qt::KeepAspectRatio).toSize().expandedTo({1, 1});
}

QVariant TPdfThumbnails::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_document || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole)
        return QString::number(index.row() + 1);
    if (role == Qt::ToolTipRole)
        return QStringLiteral("Seite %1").arg(index.row() + 1);
    if (role == Qt::SizeHintRole) {
        // The delegate would ask for the picture to measure the item.
        const int text = QFontMetrics(QApplication::font()).height();
        return QSize(ThumbWidth + 12, ThumbHeight + text + 12);
    }
    if (role != Qt::DecorationRole)
        return {};
    const auto it = m_thumbs.constFind(index.row());
    if (it != m_thumbs.cend())
        return *it;
    // Asked for by the view as an item comes into sight: an empty frame now, the page soon after.
    if (!m_queued.contains(index.row()))
        m_queued << index.row();
    m_renderNext.start();
    const QSize size = ThumbSize(index.row());
    if (m_placeholder.size() != size) {
        m_placeholder = QImage(size, QImage::Format_RGB32);
        m_placeholder.fill(Qt::white);
        QPainter p(&m_placeholder);
        p.setPen(Qt::gray);
        p.drawRect(m_placeholder.rect().adjusted(0, 0, -1, -1));
    }
    return m_placeholder;
}

// ---------------------------------------------------------------------------------------------
// The viewer

namespace {
QIcon themeIcon(const char* name) { return QIcon::fromTheme(QString::fromLatin1(name)); }

QAction* addButton(TVoskRibbonGroup* g, const char* name, const QString& caption, const char* icon,
                   const QString& hint, TVoskRibbonGroup::ItemSize size = TVoskRibbonGroup::Large) {
    QToolButton* b = g->AddButton(QString::fromLatin1(name), caption, themeIcon(icon), {}, size);
    b->defaultAction()->setToolTip(hint);
    return b->defaultAction();
}

QAction* checkable(QAction* a, bool checked) {
    a->setCheckable(true);
    a->setChecked(checked);
    return a;
}

bool IsTabSheet(QObject* o) {
    return o && (Vcl::ClassNameIs(o, QStringLiteral("TcxTabSheet")) ||
                 Vcl::ClassNameIs(o, QStringLiteral("TVoskTabSheet")));
}
} // namespace

TFileViewerFramePDF::TFileViewerFramePDF(QObject* ParentAndOwner, TDokument* Dokument,
                                         bool EditablePages, TLoadForm* _LoadForm)
    : TFileViewerFrame(
          [&]() -> QObject* {
              if (_LoadForm)
                  _LoadForm->SetStatus(QStringLiteral("TFileViewerFramePDF.Create -> inherited"));
              return ParentAndOwner;
          }(),
          Dokument, EditablePages, _LoadForm),
      m_pdf(new QPdfDocument(this)), m_history(new QPdfPageNavigator(this)),
      m_search(new QPdfSearchModel(this)), m_thumbs(new TPdfThumbnails(this)) {
    std::optional<THourGlass> hourglass;
    hourglass.emplace();
    setObjectName(QStringLiteral("FileViewerFramePDF"));
    buildForm();
    OnHide = [this](QObject* s) { FormHide(s); };
    OnKeyUp = [this](QObject* s, int& k, Qt::KeyboardModifiers m) { FormKeyUp(s, k, m); };
    OnResize = [this](QObject* s) { FormResize(s); };
    FinishCreate();
    EmbedIn(ParentAndOwner);
    SetBorderStyle(Vcl::bsNone);
    FAllowSave = false;
    ribMenu->SetActiveTab(ribMenuPage);
    PDFViewer->SetHandTool(true);
    m_search->setDocument(m_pdf);

    if (_LoadForm)
        _LoadForm->SetStatus(QStringLiteral("TFileViewerFramePDF.Create -> Recreate"));
    Recreate(Dokument, EditablePages);

    hourglass.reset();
    TDM1* dm = DM1();
    const bool connected = dm && dm->Connected();
    ribMenu->SetMinimized(connected &&
                          dm->LoadLastValBool(QStringLiteral("TFileViewerFrame.CloseRibMenu"), false));
    ribMenuPage->SetCaption(makeText(3383, QStringLiteral("Ansicht")));
    btFileSend->setText(makeText(26458, QStringLiteral("per E-Mail senden")));
    btFileSend->setToolTip(btFileSend->text());
}

TFileViewerFramePDF::~TFileViewerFramePDF() = default;

void TFileViewerFramePDF::BeforeDestruction() {
    SaveRibMenuClosed(ribMenu->IsMinimized());
    TFileViewerFrame::BeforeDestruction();
}

void TFileViewerFramePDF::buildForm() {
    resize(1039, 654);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    ribMenu = Vcl::Owned(this, new TVoskRibbon(this), QStringLiteral("ribMenu"));
    root->addWidget(ribMenu);

    auto* body = new QSplitter(Qt::Horizontal, this);
    root->addWidget(body, 1);
    pnPages = Vcl::Owned(this, new QSplitter(Qt::Horizontal, body), QStringLiteral("pnPages"));
    pnThumbnails = Vcl::Owned(this, new QListView(pnPages), QStringLiteral("pnThumbnails"));
    pnThumbnails->setModel(m_thumbs);
    m_thumbs->Busy = [this] { return PDFViewer && PDFViewer->Rendering(); };
    pnThumbnails->setViewMode(QListView::IconMode);
    pnThumbnails->setFlow(QListView::TopToBottom);
    pnThumbnails->setWrapping(false);
    pnThumbnails->setMovement(QListView::Static);
    pnThumbnails->setUniformItemSizes(true);
    pnThumbnails->setIconSize(QSize(TPdfThumbnails::ThumbWidth, TPdfThumbnails::ThumbHeight));
    pnThumbnails->setMinimumWidth(TPdfThumbnails::ThumbWidth + 30);
    pnThumbnails->setAccessibleName(QStringLiteral("Seitenübersicht"));
    pnThumbnails->setToolTip(QStringLiteral("Seitenübersicht: ein Klick zeigt die Seite"));
    pnThumbnails->hide();
    connect(pnThumbnails, &QListView::clicked, this,
            [this](const QModelIndex& i) { Rtl::Guarded([&] { gotoPage(i.row()); }, this); });

    auto* viewer = new QWidget(pnPages);
    auto* viewerLayout = new QVBoxLayout(viewer);
    viewerLayout->setContentsMargins(0, 0, 0, 0);
    viewerLayout->setSpacing(0);
    pnFind = Vcl::Owned(this, new QWidget(viewer), QStringLiteral("pnFind"));
    auto* find = new QHBoxLayout(pnFind);
    find->setContentsMargins(4, 2, 4, 2);
    auto* lbFind = new QLabel(QStringLiteral("&Suchen:"), pnFind);
    edFind = Vcl::Owned(this, new QLineEdit(pnFind), QStringLiteral("edFind"));
    lbFind->setBuddy(edFind);
    edFind->setToolTip(QStringLiteral("Text, der im Dokument gesucht wird"));
    edFind->setAccessibleName(QStringLiteral("Suchen"));
    auto* findPrev = new QPushButton(QStringLiteral("&Vorheriger"), pnFind);
    findPrev->setToolTip(QStringLiteral("Zur vorherigen Fundstelle"));
    auto* findNextButton = new QPushButton(QStringLiteral("&Nächster"), pnFind);
    findNextButton->setToolTip(QStringLiteral("Zur nächsten Fundstelle"));
    auto* findClose = new QPushButton(QStringLiteral("Schließen"), pnFind);
    findClose->setToolTip(QStringLiteral("Die Suche schließen"));
    lbFindResult = Vcl::Owned(this, new QLabel(pnFind), QStringLiteral("lbFindResult"));
    find->addWidget(lbFind);
    find->addWidget(edFind, 1);
    find->addWidget(findPrev);
    find->addWidget(findNextButton);
    find->addWidget(lbFindResult);
    find->addWidget(findClose);
    pnFind->hide();
    connect(edFind, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_search->setSearchString(text);
        m_findIndex = -1;
        showFindResult();
    });
    connect(edFind, &QLineEdit::returnPressed, this, [this] { findNext(1); });
    connect(findNextButton, &QPushButton::clicked, this, [this] { findNext(1); });
    connect(findPrev, &QPushButton::clicked, this, [this] { findNext(-1); });
    connect(findClose, &QPushButton::clicked, this, [this] { FindExit(); });
    connect(m_search, &QAbstractItemModel::rowsInserted, this, [this] { showFindResult(); });
    connect(m_search, &QAbstractItemModel::modelReset, this, [this] { showFindResult(); });
    viewerLayout->addWidget(pnFind);

    PDFViewer = Vcl::Owned(this, new TPdfPageView(viewer), QStringLiteral("PDFViewer"));
    PDFViewer->setAccessibleName(QStringLiteral("PDF-Dokument"));
    PDFViewer->setToolTip(QString());
    viewerLayout->addWidget(PDFViewer, 1);
    connect(PDFViewer, &TPdfPageView::zoomFactorChanged, this,
            [this] { Rtl::Guarded([&] { PDFViewerZoomFactorChanged(); }, this); });
    connect(PDFViewer, &TPdfPageView::clicked, this, [this] { Rtl::Guarded([&] { PDFViewerClick(); }, this); });
    connect(PDFViewer, &TPdfPageView::pageChanged, this, [this](int page) {
        if (!m_navigating)
            m_history->jump(page, PDFViewer->Location(), PDFViewer->ZoomFactor() / 100.0);
        const QModelIndex i = m_thumbs->index(page);
        if (pnThumbnails->currentIndex() != i)
            pnThumbnails->setCurrentIndex(i);
        showFindResult();
    });
    connect(m_history, &QPdfPageNavigator::jumped, this, [this](QPdfLink link) {
        if (link.page() == PDFViewer->Page())
            return;
        m_navigating = true;
        PDFViewer->SetPage(link.page(), link.location());
        m_navigating = false;
    });
    pnPages->setStretchFactor(0, 0);
    pnPages->setStretchFactor(1, 1);

    pnRelation = Vcl::Owned(this, new QWidget(body), QStringLiteral("pnRelation"));
    auto* relation = new QVBoxLayout(pnRelation);
    auto* workflow = new QGroupBox(makeText(1817, QStringLiteral("Meine Workflowaufgaben")), pnRelation);
    gbOpenWorkflow = Vcl::Owned(this, workflow, QStringLiteral("gbOpenWorkflow"));
    gbOpenWorkflow->hide();
    auto* related = new QGroupBox(makeText(11048, QStringLiteral("Dokumente-Beziehungen")), pnRelation);
    gbRelatedDoks = Vcl::Owned(this, related, QStringLiteral("gbRelatedDoks"));
    gridRelatedDoks = BuildRelatedDoksGrid(related);
    relation->addWidget(workflow);
    relation->addWidget(related);
    pnRelation->hide();
    body->setStretchFactor(0, 1);
    body->setStretchFactor(1, 0);

    auto* status = new QWidget(this);
    auto* statusLayout = new QHBoxLayout(status);
    statusLayout->setContentsMargins(4, 2, 4, 2);
    pbStatusLoad = Vcl::Owned(this, new QProgressBar(status), QStringLiteral("pbStatusLoad"));
    pbStatusLoad->setFixedWidth(150);
    pbStatusLoad->setRange(0, 100);
    pbStatusLoad->setAccessibleName(QStringLiteral("Ladefortschritt"));
    pbStatusLoad->setToolTip(QStringLiteral("Ladefortschritt"));
    QSizePolicy keep = pbStatusLoad->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    pbStatusLoad->setSizePolicy(keep);
    lbStatus = Vcl::Owned(this, new QLabel(status), QStringLiteral("lbStatus"));
    lbStatus->setAccessibleName(QStringLiteral("Status"));
    lbStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusLayout->addWidget(pbStatusLoad);
    statusLayout->addWidget(lbStatus, 1);
    root->addWidget(status);

    tiLoadOverviewBugfix = Vcl::Owned(this, new QTimer(this), QStringLiteral("tiLoadOverviewBugfix"));
    tiLoadOverviewBugfix->setInterval(0);
    connect(tiLoadOverviewBugfix, &QTimer::timeout, this,
            [this] { Rtl::Guarded([&] { tiLoadOverviewBugfixTimer(); }, this); });

    buildRibbon();
    Korvexcommonvcl::NameControls(this);
}

void TFileViewerFramePDF::buildRibbon() {
    ribMenuPage = ribMenu->AddTab(QStringLiteral("ribMenuPage"), QStringLiteral("Seite / Ansicht"));
    tbPage = ribMenuPage->AddGroup(QStringLiteral("tbPage"), QStringLiteral("Seite"));
    btPagePrev = addButton(tbPage, "btPagePrev", QStringLiteral("Zurück"), "go-previous",
                           QStringLiteral("Die vorherige Seite zeigen"));
    btPageNext = addButton(tbPage, "btPageNext", QStringLiteral("Nächste"), "go-next",
                           QStringLiteral("Die nächste Seite zeigen"));
    btShowOverview = checkable(addButton(tbPage, "btShowOverview", QStringLiteral("Übersicht"), "view-list-icons",
                                         QStringLiteral("Die Seitenübersicht zeigen oder ausblenden")),
                               true);
    pmPrint = new QMenu(this);
    pmPrint->setObjectName(QStringLiteral("pmPrint"));
    btPrint = tbPage->AddButton(QStringLiteral("btPrint"), QStringLiteral("Drucken"), themeIcon("document-print"), {});
    btPrint->setMenu(pmPrint);
    btPrint->setPopupMode(QToolButton::InstantPopup);
    btPrint->setToolTip(QStringLiteral("Das Dokument drucken"));
    connect(pmPrint, &QMenu::aboutToShow, this, [this] { Rtl::Guarded([&] { pmPrintPopup(); }, this); });
    btFileSend = addButton(tbPage, "btFileSend", QStringLiteral("per E-Mail senden"), "mail-send",
                           QStringLiteral("per E-Mail senden"));
    btFileExport = addButton(tbPage, "btFileExport", QStringLiteral("Export"), "document-export",
                             QStringLiteral("Export"));
    btFileExport->setVisible(false);
    btOpenPdf = addButton(tbPage, "btOpenPdf", QStringLiteral("PDF öffnen"), "document-open",
                          QStringLiteral("Das Dokument im PDF-Programm des Desktops öffnen"));

    tbView = ribMenuPage->AddGroup(QStringLiteral("tbView"), QStringLiteral("Ansicht"));
    auto* mouse = new QActionGroup(this);
    btMouseMove = checkable(addButton(tbView, "btMouseMove", QStringLiteral("Verschieben"), "transform-move",
                                      QStringLiteral("Die Seite mit der Maus verschieben"), TVoskRibbonGroup::Small),
                            true);
    btMouseSelect = checkable(addButton(tbView, "btMouseSelect", QStringLiteral("Auswählen"), "edit-select-text",
                                        QStringLiteral("Text mit der Maus auswählen"), TVoskRibbonGroup::Small),
                              false);
    mouse->addAction(btMouseMove);
    mouse->addAction(btMouseSelect);

    auto* zoomMenu = new QMenu(this);
    cbZoom = new QToolButton(tbView);
    cbZoom->setObjectName(QStringLiteral("cbZoom"));
    cbZoom->setText(QStringLiteral("100%"));
    cbZoom->setMenu(zoomMenu);
    cbZoom->setPopupMode(QToolButton::InstantPopup);
    cbZoom->setToolTip(QStringLiteral("Zoom"));
    tbView->AddWidget(cbZoom, QStringLiteral("Zoom"));
    auto* zoomGroup = new QActionGroup(this);
    btZoom100 = checkable(zoomMenu->addAction(themeIcon("zoom-original"), QStringLiteral("100 %")), false);
    btZoomWidth = checkable(zoomMenu->addAction(themeIcon("zoom-fit-width"), QStringLiteral("Seitenbreite")), true);
    btZoomFull = checkable(zoomMenu->addAction(themeIcon("zoom-fit-best"), QStringLiteral("Ganze Seite")), false);
    btZoom100->setObjectName(QStringLiteral("btZoom100"));
    btZoomWidth->setObjectName(QStringLiteral("btZoomWidth"));
    btZoomFull->setObjectName(QStringLiteral("btZoomFull"));
    for (QAction* a : {btZoom100, btZoomWidth, btZoomFull})
        zoomGroup->addAction(a);
    zoomGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    btZoomIn = addButton(tbView, "btZoomIn", QStringLiteral("Größer"), "zoom-in", QStringLiteral("Vergrößern"));
    btZoomOut = addButton(tbView, "btZoomOut", QStringLiteral("Kleiner"), "zoom-out", QStringLiteral("Verkleinern"));
    btRotateLeft = addButton(tbView, "btRotateLeft", QStringLiteral("Links drehen"), "object-rotate-left",
                             QStringLiteral("Die Ansicht nach links drehen"));
    btRotateRight = addButton(tbView, "btRotateRight", QStringLiteral("Rechts drehen"), "object-rotate-right",
                              QStringLiteral("Die Ansicht nach rechts drehen"));

    const auto bind = [this](QAction* a, void (TFileViewerFramePDF::*handler)(QObject*)) {
        connect(a, &QAction::triggered, this, [this, a, handler] { Rtl::Guarded([&] { (this->*handler)(a); }, this); });
    };
    bind(btPagePrev, &TFileViewerFramePDF::btPagePrevClick);
    bind(btPageNext, &TFileViewerFramePDF::btPageNextClick);
    bind(btShowOverview, &TFileViewerFramePDF::btShowOverviewClick);
    bind(btFileSend, &TFileViewerFramePDF::btFileSendClick);
    bind(btOpenPdf, &TFileViewerFramePDF::btOpenPdfClick);
    bind(btMouseMove, &TFileViewerFramePDF::btMouseClick);
    bind(btMouseSelect, &TFileViewerFramePDF::btMouseClick);
    bind(btZoom100, &TFileViewerFramePDF::btZoom100Click);
    bind(btZoomWidth, &TFileViewerFramePDF::btZoomWidthClick);
    bind(btZoomFull, &TFileViewerFramePDF::btZoomFullClick);
    bind(btZoomIn, &TFileViewerFramePDF::btZoomInClick);
    bind(btZoomOut, &TFileViewerFramePDF::btZoomOutClick);
    bind(btRotateLeft, &TFileViewerFramePDF::btRotateLeftClick);
    bind(btRotateRight, &TFileViewerFramePDF::btRotateRightClick);
}

QString TFileViewerFramePDF::GetSavePath(bool Global) const {
    const QString root = QStringLiteral("TFileViewerFramePDF~");
    if (Global)
        return root;
    return root + (IsTabSheet(parent()) ? QStringLiteral("Inline~") : QStringLiteral("View~"));
}

void TFileViewerFramePDF::SetStatus(const QString& Text, int Percent, bool Whole) {
    if (!m_statusPainted.isValid() || (pbStatusLoad->value() >= 100 && Percent < 100))
        m_statusPainted.start();
    lbStatus->setText(Text);
    pbStatusLoad->setValue(Percent);
    // The bar shows while a document loads; it keeps its place when hidden.
    pbStatusLoad->setVisible(Percent < 100);
    // A repaint flushes every pending area of the window: a load that ends soon leaves the status
    // to the event loop, one that has run a while shows its progress at once.
    if (Whole) {
        repaint();
    } else if (Percent < 100 && m_statusPainted.elapsed() >= 100) {
        lbStatus->repaint();
        m_statusPainted.start();
    } else {
        lbStatus->update();
    }
}

void TFileViewerFramePDF::ClearStatus(bool Whole) { SetStatus({}, 100, Whole); }

void TFileViewerFramePDF::emptyViewer() {
    m_pdf->close();
    m_buffer.close();
    m_buffer.setData(QByteArray());
    m_thumbs->SetDocument(nullptr);
    PDFViewer->SetDocument(nullptr, {});
    m_history->clear();
}

void TFileViewerFramePDF::Recreate(TDokument* Dokument, bool) {
    if (Dokument) {
        try {
            if (Dokument->NewDocumentFlag())
                throw EVoskException(QStringLiteral("read only"));
            TUserRights::CanDoDMSFileAction(Dokument->DokType(), Dokument->Id(), 0, true);
            if (Dokument->isFileLink() && !Dokument->isDMSDokument())
                Dokument->DMSGetFile(); // refuses a link whose file is gone
        } catch (...) {
            Recreate(nullptr);
            throw;
        }
    }
    FHasBeenSaved = false;
    SetDokument(Dokument);
    SetStatus({}, 10);
    emptyViewer();

    bool loaded = false;
    // A linked document's file lies outside the store, at its path.
    const bool link = Dokument && Dokument->isFileLink() && !Dokument->isDMSDokument();
    if (Dokument && (Dokument->isDMSDokument() || link)) {
        THourGlass hourglass;
        TDCFileMethods files;
        const QString name = link ? Dokument->Path() : Dokument->DMSRemoteFilename();
        std::optional<QByteArray> bytes;
        if (link) {
            QFile file(name);
            bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        } else if (!name.isEmpty()) {
            bytes = files.ReadFileIfStored(name);
            if (!bytes) {
                Dokument->DMSCheckRemoteStructure();
                bytes = files.ReadFileIfStored(name);
            }
        }
        if (bytes) {
            btMouseMove->setChecked(true);
            SetStatus({}, 20);
            m_buffer.setData(std::move(*bytes));
            m_buffer.open(QIODevice::ReadOnly);
            if (Rtl::HasPdfSignature(m_buffer))
                m_pdf->load(&m_buffer);
            else
                m_pdf->close();
            SetStatus({}, pbStatusLoad->value() > 80 ? 88 : 30);
            if (m_pdf->status() == QPdfDocument::Status::Ready && m_pdf->pageCount() > 0) {
                loaded = true;
                m_thumbs->SetDocument(m_pdf);
                PDFViewer->SetDocument(m_pdf, m_buffer.data());
                PDFViewerDocumentLoaded();
            } else {
                const bool password = m_pdf->error() == QPdfDocument::Error::IncorrectPassword;
                emptyViewer();
                const QString message =
                    password ? QStringLiteral("Das PDF-Dokument ist durch ein Kennwort geschützt und "
                                              "kann hier nicht angezeigt werden.")
                             : QStringLiteral("Die Datei ist kein lesbares PDF-Dokument.");
                if (password)
                    Korvexutils::ShowError(message);
                SetStatus(message, 100);
                ShowRelatedDokuments();
                return;
            }
        }
    }

    TDM1* dm = DM1();
    const bool overview = dm && dm->Connected()
                              ? dm->LoadLastValBool(GetSavePath() + QStringLiteral("btShowOverview"), true)
                              : true;
    btShowOverview->setChecked(overview);
    if (overview)
        tiLoadOverviewBugfix->start();
    else
        pnThumbnails->hide();
    ShowRelatedDokuments();
    if (loaded)
        SetStatus({}, pbStatusLoad->value() > 80 ? 100 : 95);
    else
        ClearStatus();
}

void TFileViewerFramePDF::PDFViewerDocumentLoaded() {
    TDM1* dm = DM1();
    const QString zoom = dm && dm->Connected()
                             ? dm->LoadLastVal(GetSavePath() + QStringLiteral("Zoom"), QStringLiteral("Width"))
                             : QStringLiteral("Width");
    if (zoom.compare(QLatin1String("100"), Qt::CaseInsensitive) == 0)
        btZoom100Click(btZoom100);
    else if (zoom.compare(QLatin1String("Width"), Qt::CaseInsensitive) == 0)
        btZoomWidthClick(btZoomWidth);
    else if (zoom.compare(QLatin1String("Full"), Qt::CaseInsensitive) == 0)
        btZoomFullClick(btZoomFull);
    btMouseClick(nullptr);
    m_history->clear();
    m_history->jump(0, {}, PDFViewer->ZoomFactor() / 100.0);
    ClearStatus();
}

void TFileViewerFramePDF::setZoomCaption() {
    cbZoom->setText(QStringLiteral("%1%").arg(PDFViewer->ZoomFactor()));
}

void TFileViewerFramePDF::btZoom100Click(QObject* Sender) {
    btZoom100->setChecked(true);
    PDFViewer->SetZoomFactor(100);
    setZoomCaption();
    if (Sender && DM1() && DM1()->Connected())
        DM1()->SaveLastVal(GetSavePath() + QStringLiteral("Zoom"), QStringLiteral("100"));
}

void TFileViewerFramePDF::btZoomWidthClick(QObject* Sender) {
    btZoomWidth->setChecked(true);
    PDFViewer->SetZoomMode(TPdfPageView::zmPageWidth);
    setZoomCaption();
    if (Sender && DM1() && DM1()->Connected())
        DM1()->SaveLastVal(GetSavePath() + QStringLiteral("Zoom"), QStringLiteral("Width"));
}

void TFileViewerFramePDF::btZoomFullClick(QObject* Sender) {
    btZoomFull->setChecked(true);
    PDFViewer->SetZoomMode(TPdfPageView::zmWholePage);
    setZoomCaption();
    if (Sender && DM1() && DM1()->Connected())
        DM1()->SaveLastVal(GetSavePath() + QStringLiteral("Zoom"), QStringLiteral("Full"));
}

void TFileViewerFramePDF::btZoomInClick(QObject*) {
    for (QAction* a : {btZoom100, btZoomWidth, btZoomFull})
        a->setChecked(false);
    PDFViewer->SetZoomFactor(int(std::lround(PDFViewer->ZoomFactor() * 1.5)));
    setZoomCaption();
}

void TFileViewerFramePDF::btZoomOutClick(QObject*) {
    for (QAction* a : {btZoom100, btZoomWidth, btZoomFull})
        a->setChecked(false);
    PDFViewer->SetZoomFactor(int(std::lround(PDFViewer->ZoomFactor() * 0.667)));
    setZoomCaption();
}

void TFileViewerFramePDF::PDFViewerZoomFactorChanged() { setZoomCaption(); }

void TFileViewerFramePDF::FormResize(QObject* Sender) {
    TFileViewerFrame::FormResize(Sender);
    if (btZoom100->isChecked())
        btZoom100Click(nullptr);
    else if (btZoomWidth->isChecked())
        btZoomWidthClick(nullptr);
    else if (btZoomFull->isChecked())
        btZoomFullClick(nullptr);
}

bool TFileViewerFramePDF::OverviewVisible() const {
    return !pnThumbnails->isHidden() && pnThumbnails->width() > 0;
}

void TFileViewerFramePDF::btShowOverviewClick(QObject* Sender) {
    if (Sender)
        tiLoadOverviewBugfix->stop();
    pnThumbnails->setVisible(!OverviewVisible());
    btShowOverview->setChecked(OverviewVisible());
}

void TFileViewerFramePDF::PDFViewerClick() { btShowOverview->setChecked(OverviewVisible()); }

void TFileViewerFramePDF::tiLoadOverviewBugfixTimer() {
    if (!OverviewVisible())
        pnThumbnails->show();
    tiLoadOverviewBugfix->stop();
}

void TFileViewerFramePDF::FormHide(QObject* Sender) {
    if (!FDoCloseEvent)
        return;
    FDoCloseEvent = false;
    if (DM1() && DM1()->Connected())
        Rtl::Guarded([this] {
            DM1()->SaveLastValBool(GetSavePath() + QStringLiteral("btShowOverview"), OverviewVisible());
        });
    TFileViewerFrame::FormHide(Sender);
}

void TFileViewerFramePDF::btMouseClick(QObject*) {
    PDFViewer->SetHandTool(btMouseMove->isChecked());
    PDFViewer->viewport()->setCursor(btMouseMove->isChecked() ? Qt::OpenHandCursor : Qt::IBeamCursor);
    PDFViewer->ClearSelection();
}

void TFileViewerFramePDF::gotoPage(int page) {
    if (!m_pdf || page < 0 || page >= m_pdf->pageCount())
        return;
    PDFViewer->SetPage(page);
}

void TFileViewerFramePDF::btPagePrevClick(QObject*) { gotoPage(PDFViewer->Page() - 1); }
void TFileViewerFramePDF::btPageNextClick(QObject*) { gotoPage(PDFViewer->Page() + 1); }
void TFileViewerFramePDF::btRotateLeftClick(QObject*) { PDFViewer->RotateCounterClockwise(); }
void TFileViewerFramePDF::btRotateRightClick(QObject*) { PDFViewer->RotateClockwise(); }

void TFileViewerFramePDF::FormKeyUp(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift) {
    if (Key == Qt::Key_PageUp && m_history->backAvailable()) {
        m_history->back();
    } else if (Key == Qt::Key_PageDown && m_history->forwardAvailable()) {
        m_history->forward();
    } else if (Key == Qt::Key_Escape) {
        EscapeKeyUp(Key);
    }
    TFileViewerFrame::FormKeyUp(Sender, Key, Shift);
}

// ---- find ----------------------------------------------------------------------------------

int TFileViewerFramePDF::FindNextData(const QString&, bool, bool, bool, bool, QObject*) {
    if (pnFind->isHidden()) {
        pnFind->show();
        edFind->setFocus();
        edFind->selectAll();
    } else {
        FindExit();
    }
    return 0;
}

void TFileViewerFramePDF::FindExit() {
    pnFind->hide();
    PDFViewer->SetHighlights({});
}

void TFileViewerFramePDF::findNext(int step) {
    const int count = m_search->rowCount({});
    if (count == 0)
        return;
    m_findIndex = m_findIndex < 0 ? (step > 0 ? 0 : count - 1) : (m_findIndex + step + count) % count;
    const QPdfLink link = m_search->resultAtIndex(m_findIndex);
    if (link.page() != PDFViewer->Page())
        PDFViewer->SetPage(link.page());
    showFindResult();
}

void TFileViewerFramePDF::showFindResult() {
    const int count = edFind->text().isEmpty() ? 0 : m_search->rowCount({});
    lbFindResult->setText(edFind->text().isEmpty()
                              ? QString()
                              : count == 0 ? QStringLiteral("Nicht gefunden")
                                           : QStringLiteral("%1 von %2").arg(std::max(0, m_findIndex) + 1).arg(count));
    if (count == 0) {
        PDFViewer->SetHighlights({});
        return;
    }
    QList<QRectF> rects;
    int current = -1;
    const QPdfLink active = m_findIndex >= 0 ? m_search->resultAtIndex(m_findIndex) : QPdfLink();
    for (const QPdfLink& link : m_search->resultsOnPage(PDFViewer->Page()))
        for (const QRectF& r : link.rectangles()) {
            if (active.isValid() && link.rectangles() == active.rectangles() && active.page() == PDFViewer->Page())
                current = int(rects.size());
            rects << r;
        }
    PDFViewer->SetHighlights(rects, current);
}

// ---- print, open, send -------------------------------------------------------------------

void TFileViewerFramePDF::pmPrintPopup() {
    pmPrint->clear();
    if (!Dokument() || m_pdf->pageCount() <= 0) {
        QAction* none = pmPrint->addAction(QStringLiteral("Kein Dokument geladen"));
        none->setEnabled(false);
        return;
    }
    QAction* dialog = pmPrint->addAction(
        themeIcon("document-print-preview"),
        makeText(26305, QStringLiteral("Dokument drucken mit Einstellungen (Standarddrucker)")));
    connect(dialog, &QAction::triggered, this, [this] { Rtl::Guarded([&] { btPrintDialogClick(nullptr); }, this); });
    Corvale::Printers& printers = Corvale::Printers::Instance();
    if (printers.PrintDocument(Dokument()->FileName(), QStringLiteral("*"), nullptr, true)) {
        const QStringList preferred =
            Uvoskrtl::Collections::ArrayHelper<QString>::FromString(Dokument()->ReportPrinters(), QStringLiteral("*"));
        const QStringList names = printers.PrinterNames();
        pmPrint->addSeparator();
        for (int i = 0; i < names.size(); ++i) {
            QAction* item = pmPrint->addAction(names[i]);
            item->setCheckable(true);
            item->setChecked(preferred.contains(names[i], Qt::CaseInsensitive));
            item->setData(i);
            connect(item, &QAction::triggered, this, [this, i] { Rtl::Guarded([&] { miPrintClick(i); }, this); });
        }
    } else {
        pmPrint->addSeparator();
        QAction* item = pmPrint->addAction(makeText(31138, QStringLiteral("Dokument drucken (Standarddrucker)")));
        item->setData(-1);
        connect(item, &QAction::triggered, this, [this] { Rtl::Guarded([&] { miPrintClick(-1); }, this); });
    }
}

void TFileViewerFramePDF::miPrintClick(int Tag) {
    if (!Dokument())
        return;
    const QString local = Dokument()->DMSGetFile();
    Corvale::Printers& printers = Corvale::Printers::Instance();
    const QString printer = Tag >= 0 ? printers.PrinterNames().value(Tag) : QString();
    printers.PrintDocument(local, printer, Korvexutils::KorvexGetForm(this));
}

void TFileViewerFramePDF::btPrintDialogClick(QObject*) {
    if (m_pdf->pageCount() <= 0)
        return;
    Corvale::Printers& printers = Corvale::Printers::Instance();
    const std::unique_ptr<QPrinter> printer = printers.NewPrinter({});
    printer->setDocName(Dokument() ? Dokument()->Caption() : QString());
    // A4, margins of 12.7 mm, each page fitted and centred, turned as it is wider or higher.
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageMargins(QMarginsF(12.7, 12.7, 12.7, 12.7), QPageLayout::Millimeter);
    printers.PrintPreview(
        *printer,
        [this](QPrinter* p) {
            QPainter painter;
            if (!painter.begin(p))
                throw EVoskException(QStringLiteral("Der Druckauftrag kann nicht begonnen werden."));
            for (int i = 0; i < m_pdf->pageCount(); ++i) {
                if (i > 0)
                    p->newPage();
                const QRect area = p->pageLayout().paintRectPixels(p->resolution());
                const QSizeF points = m_pdf->pagePointSize(i);
                const QSize fitted =
                    (points * p->resolution() / 72.0).toSize().scaled(area.size(), Qt::KeepAspectRatio);
                const QRect target(QPoint((area.width() - fitted.width()) / 2, (area.height() - fitted.height()) / 2),
                                   fitted);
                const double scale = std::min(1.0, 300.0 / p->resolution());
                painter.drawImage(target, m_pdf->render(i, (QSizeF(fitted) * scale).toSize()));
            }
            painter.end();
        },
        Dokument() ? Dokument()->Caption() : QStringLiteral("PDF-Dokument"), this);
}

void TFileViewerFramePDF::btOpenPdfClick(QObject*) {
    if (!Dokument())
        return;
    const QString local = Dokument()->DMSGetFile();
    if (!Vcl::OpenDocument(local))
        Korvexutils::ShowError(QStringLiteral("Die Datei \"%1\" kann nicht geöffnet werden.").arg(local));
}

void TFileViewerFramePDF::btFileSendClick(QObject*) { SendByMail(); }

// ---- related documents ---------------------------------------------------------------------

void TFileViewerFramePDF::ShowRelatedDokuments() {
    pnRelation->setVisible(FillRelatedDokuments(gridRelatedDoks));
}

void TFileViewerFramePDF::gridRelatedDoksDblClick(int Row) { OpenRelatedDokument(gridRelatedDoks, Row); }

void TFileViewerFramePDF::ModulInitialize(QObject*) {}
void TFileViewerFramePDF::ModulFinalize() {}

// ---------------------------------------------------------------------------------------------
// The preview's row for PDF files

namespace {

TFileViewerFrame* makePdfViewer(TFormFilePreview* dialog, bool) {
    QWidget* host = dialog->findChild<QWidget*>(QStringLiteral("pnViewer"));
    return new TFileViewerFramePDF(host ? host : dialog, nullptr, false, nullptr);
}

void InitUnit() { UFilePreview::RegisterViewer(QStringLiteral(".pdf"), &makePdfViewer); }
void FiniUnit() { UFilePreview::UnregisterViewer(QStringLiteral(".pdf")); }

} // namespace

KORVEX_UNIT("hadrel", "UFileViewerPDF", InitUnit, FiniUnit);
