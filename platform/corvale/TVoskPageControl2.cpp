#include "TVoskPageControl2.h"

#include "UDM1.h"
#include "Vcl.Components.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QStyleOptionTabWidgetFrame>

#include <memory>
#include <unordered_map>

namespace {

// The frame around the pages as the style draws it at a small size, painted at any size by
// filling its rows and columns. A style draws that frame with one-pixel lines, some of them
// blended; the raster engine hands a blended line of more than about a hundred pixels to its
// thread pool, one wake-up of several threads per line and paint. Rectangles of one colour are
// filled in place. Used only where it gives exactly the pixels the style gives: checked once per
// style, palette and state against the style's own drawing at two sizes.
class TFrameTiles final {
public:
    static constexpr int kEdge = 4; // corner tiles are kEdge x kEdge
    static constexpr int kSide = 2 * kEdge + 1;

    TFrameTiles(const QStyle* style, QStyleOptionTabWidgetFrame option, const QWidget* widget) {
        option.rect = QRect(0, 0, kSide, kSide);
        m_tile = QImage(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
        m_tile.fill(Qt::transparent);
        {
            QPainter p(&m_tile);
            style->drawPrimitive(QStyle::PE_FrameTabWidget, &option, &p, widget);
        }
        m_valid = Agrees(style, option, widget, QSize(kSide + 13, kSide + 9)) &&
                  Agrees(style, option, widget, QSize(kSide + 150, kSide + 110));
    }
    bool Valid() const { return m_valid; }

    void Paint(QPainter* p, const QRect& r) const {
        if (r.width() < kSide || r.height() < kSide)
            return;
        const int w = r.width() - 2 * kEdge, h = r.height() - 2 * kEdge;
        const int right = r.right() - kEdge + 1, bottom = r.bottom() - kEdge + 1;
        for (int x : {0, kSide - kEdge})
            for (int y : {0, kSide - kEdge})
                p->drawImage(QPoint(x == 0 ? r.left() : right, y == 0 ? r.top() : bottom), m_tile,
                             QRect(x, y, kEdge, kEdge));
        for (int i = 0; i < kEdge; ++i) {
            Fill(p, QRect(r.left() + kEdge, r.top() + i, w, 1), m_tile.pixelColor(kEdge, i));
            Fill(p, QRect(r.left() + kEdge, bottom + i, w, 1),
                 m_tile.pixelColor(kEdge, kSide - kEdge + i));
            Fill(p, QRect(r.left() + i, r.top() + kEdge, 1, h), m_tile.pixelColor(i, kEdge));
            Fill(p, QRect(right + i, r.top() + kEdge, 1, h),
                 m_tile.pixelColor(kSide - kEdge + i, kEdge));
        }
        Fill(p, QRect(r.left() + kEdge, r.top() + kEdge, w, h), m_tile.pixelColor(kEdge, kEdge));
    }

private:
    static void Fill(QPainter* p, const QRect& r, const QColor& c) {
        if (c.alpha() != 0 && !r.isEmpty())
            p->fillRect(r, c);
    }
    // Over a background of many colours, so that a blended pixel shows what it was blended with.
    bool Agrees(const QStyle* style, QStyleOptionTabWidgetFrame option, const QWidget* widget,
                const QSize& size) const {
        QImage theirs(size + QSize(4, 4), QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < theirs.height(); ++y)
            for (int x = 0; x < theirs.width(); ++x)
                theirs.setPixelColor(x, y, QColor((x * 37) % 256, (y * 53) % 256, (x * y) % 256));
        QImage ours = theirs;
        option.rect = QRect(QPoint(2, 2), size);
        {
            QPainter p(&theirs);
            style->drawPrimitive(QStyle::PE_FrameTabWidget, &option, &p, widget);
        }
        {
            QPainter p(&ours);
            Paint(&p, option.rect);
        }
        return theirs == ours;
    }

    QImage m_tile;
    bool m_valid = false;
};

const TFrameTiles& FrameTiles(const QStyle* style, const QStyleOptionTabWidgetFrame& option,
                              const QWidget* widget) {
    struct Key final {
        const QStyle* Style;
        qint64 Palette;
        int Group, Shape, State, Direction;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash final {
        size_t operator()(const Key& k) const {
            return qHashMulti(0, k.Style, k.Palette, k.Group, k.Shape, k.State, k.Direction);
        }
    };
    static std::unordered_map<Key, std::unique_ptr<TFrameTiles>, KeyHash> cache;
    const Key key{style,
                  option.palette.cacheKey(),
                  int(option.palette.currentColorGroup()),
                  int(option.shape),
                  int(option.state & (QStyle::State_Enabled | QStyle::State_Active |
                                      QStyle::State_HasFocus | QStyle::State_MouseOver)),
                  int(option.direction)};
    auto it = cache.find(key);
    if (it == cache.end()) {
        // A style or palette that is gone leaves entries nobody asks for again; a few hundred of
        // them are tiny.
        if (cache.size() > 256)
            cache.clear();
        it = cache.emplace(key, std::make_unique<TFrameTiles>(style, option, widget)).first;
    }
    return *it->second;
}

} // namespace

TVoskPageControl2::TVoskPageControl2(QWidget* parent) : QTabWidget(parent) {
    // Made before anyone else hears of the page change, so that they find its controls.
    connect(this, &QTabWidget::currentChanged, this, [this](int index) { BuildPage(widget(index)); });
}

void TVoskPageControl2::paintEvent(QPaintEvent* event) {
    // A style sheet's drawing depends on the widget, not only on the style and the palette.
    if (documentMode() || style()->inherits("QStyleSheetStyle"))
        return QTabWidget::paintEvent(event);
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    option.rect = style()->subElementRect(QStyle::SE_TabWidgetTabPane, &option, this);
    const TFrameTiles& tiles = FrameTiles(style(), option, this);
    if (!tiles.Valid() || option.rect.width() < TFrameTiles::kSide ||
        option.rect.height() < TFrameTiles::kSide)
        return QTabWidget::paintEvent(event);
    QPainter p(this);
    tiles.Paint(&p, option.rect);
}

int TVoskPageControl2::AddDeferredTab(QWidget* page, const QString& caption,
                                      std::function<void(QWidget*)> build) {
    m_deferred.insert(page, std::move(build));
    const int index = addTab(page, caption);
    if (currentWidget() == page)
        BuildPage(page); // the first page is shown at once
    return index;
}

void TVoskPageControl2::BuildPage(QWidget* page) {
    const auto it = m_deferred.find(page);
    if (it == m_deferred.end())
        return;
    const std::function<void(QWidget*)> build = std::move(it.value());
    m_deferred.erase(it);
    build(page);
}

QString TVoskPageControl2::UserPageKey() const {
    const QWidget* form = Vcl::ParentForm(this);
    QString cls;
    for (const QObject* o = this; o && cls.isEmpty(); o = Vcl::Owner(o))
        if (o != this && o->isWidgetType() && static_cast<const QWidget*>(o)->isWindow())
            cls = Vcl::ClassName(o);
    if (cls.isEmpty() && form)
        cls = Vcl::ClassName(form);
    return QStringLiteral("UserPage_%1_%2").arg(cls, objectName());
}

void TVoskPageControl2::LoadUserPage() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return;
    m_key = UserPageKey();
    const QString page = dm->LoadLastVal(m_key);
    if (page.isEmpty())
        return;
    for (int i = 0; i < count(); ++i)
        if (widget(i)->objectName().compare(page, Qt::CaseInsensitive) == 0) {
            setCurrentIndex(i);
            return;
        }
}

void TVoskPageControl2::SaveUserPage() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected() || !currentWidget() || currentWidget()->objectName().isEmpty())
        return;
    dm->SaveLastVal(m_key.isEmpty() ? UserPageKey() : m_key, currentWidget()->objectName());
}

void TVoskPageControl2::RegisterDataChangeEvent() {
    if (m_registered)
        return;
    m_registered = true;
    connect(this, &QTabWidget::currentChanged, this, [this](int index) {
        if (QWidget* page = widget(index))
            emit PageShown(page);
    });
}

int TVoskPageControl2::NeighbourVisibleTab(bool forward) const {
    const int step = forward ? 1 : -1;
    for (int i = currentIndex() + step; i >= 0 && i < count(); i += step)
        if (isTabVisible(i))
            return i;
    return -1;
}
