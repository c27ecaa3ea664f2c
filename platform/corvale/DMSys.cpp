#include "DMSys.h"

#include "Korvexutils.h"
#include "Ukorvexclasses.Dokument.h"
#include "Vcl.Services.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

namespace {

// What each picture number the forms use shows, as freedesktop icon names: the first name the
// installed theme has wins. Chosen by what the button does, not by how the old picture looked.
struct ThemeIcon {
    int index;
    const char* names[3];
};
const ThemeIcon kIcons[] = {
    {TDMSys::ImageClose, {"window-close", "process-stop", nullptr}},
    {4, {"view-history", "document-open-recent", nullptr}},      // history
    {5, {"document-print", nullptr, nullptr}},                    // print
    {6, {"appointment-new", "x-office-calendar", nullptr}},       // resubmission date
    {8, {"security-low", "emblem-unreadable", "object-locked"}},  // access denied
    {TDMSys::ImageOk, {"dialog-ok-apply", "dialog-ok", "object-select-symbolic"}},
    {29, {"dialog-information", nullptr, nullptr}},               // alert window
    {41, {"edit-clear", "edit-delete", nullptr}},                 // clear a value
    {56, {"system-search", "edit-find", nullptr}},                // search in the grid
    {60, {"edit-copy", nullptr, nullptr}},                        // copy / paste field values
    {152, {"document-open", nullptr, nullptr}},                   // open a file
    {233, {"scanner", "document-scan", "image-x-generic"}},       // scan into a document
    {305, {"document-import", "insert-image", "image-x-generic"}}, // a file into the scan window
    {175, {"configure", "preferences-system", "emblem-system"}},  // module settings
    {237, {"view-filter", "edit-find", nullptr}},                 // grid filters
    {245, {"view-grid", "view-grid-symbolic", "view-list-details"}}, // grid settings
    {246, {"window-new", nullptr, nullptr}},                      // undock the window
    {248, {"tools", "applications-utilities", "preferences-other"}}, // tools menu
    {249, {"help-contextual", "help-browser", "help-faq"}},       // short help
    {251, {"help-about", "dialog-information", nullptr}},         // info (F4)
    {252, {"document-print-direct", "document-print", nullptr}},  // automatic print
    {256, {"chronometer", "media-playback-start", nullptr}},      // auto refresh running
    {257, {"view-refresh", nullptr, nullptr}},                    // auto refresh off
    {263, {"insert-link", "emblem-symbolic-link", nullptr}},      // assign to the record
    {283, {"window-restore", "view-restore", nullptr}},           // dock the window
    {290, {"window-duplicate", "window-new", nullptr}},           // one more window
    {291, {"format-text-uppercase", "format-text-bold", nullptr}}, // special function: capitals
    {307, {"image-missing", "dialog-question", nullptr}},         // not found
    {TDMSys::ImageMinimize, {"window-minimize", nullptr, nullptr}},
    {238, {"gnumeric-autofilter", "view-filter", nullptr}},       // stored grid filter in force
    {239, {"kt-add-filters", "view-filter", nullptr}},            // grid filter changed
    {244, {"zoom-fit-width", "gnumeric-column-size", nullptr}},   // optimal column widths
    {258, {"x-office-spreadsheet", "document-export", nullptr}},  // cached data read again
    // The document management: tree nodes and document states.
    {1, {"folder-root", "user-home", "folder"}},                  // root folder of a record
    {3, {"transform-move", "object-move", nullptr}},              // drag handle of a document
    {37, {"folder-bookmark", "folder-favorites", "folder"}},      // custom / initial folder
    {38, {"folder-documents", "folder", nullptr}},                // folder with documents
    {36, {"document-import", "document-new", "text-x-generic"}},  // a file being imported
    {151, {"folder", nullptr, nullptr}},                          // empty folder
    {92, {"insert-link", "emblem-symbolic-link", nullptr}},       // linked from another record
    {126, {"view-hidden", "text-x-generic", nullptr}},            // hidden document
    {127, {"text-x-generic", "document-multiple", nullptr}},      // stored document
    {128, {"emblem-favorite", "starred-symbolic", nullptr}},      // standard document
    {158, {"document-export", nullptr, nullptr}},                 // automatic export
    {206, {"go-jump", nullptr, nullptr}},                         // from another table
    {229, {"view-list-details", nullptr, nullptr}},               // list output defined (tab)
    {265, {"view-list-details", nullptr, nullptr}},               // list output defined
    {267, {"lock", "object-locked", nullptr}},                    // locked
    {268, {"document-encrypt", "lock", nullptr}},                 // checked out
    {270, {"object-locked", "lock", nullptr}},                    // locked by me
    {271, {"document-edit", "document-edit-sign", nullptr}},      // checked out by me
    {275, {"document-print-preview", "document-print", nullptr}}, // report printed after it
    {282, {"emblem-symbolic-link", "insert-link", nullptr}},      // file outside the store
};

// Icons come from the desktop's theme; without a desktop (offscreen, a bare X server) Qt knows no
// theme, and the ones installed with the program are used.
void ChooseTheme() {
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor") &&
        QIcon::hasThemeIcon(QStringLiteral("window-close")))
        return;
    // Without a desktop the search path is Qt's own resources only; the system's themes live in
    // the data folders' "icons".
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& dir : QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                                        QStringLiteral("icons"),
                                                        QStandardPaths::LocateDirectory))
        if (!paths.contains(dir))
            paths << dir;
    if (!paths.contains(QStringLiteral("/usr/share/icons")) &&
        QDir(QStringLiteral("/usr/share/icons")).exists())
        paths << QStringLiteral("/usr/share/icons");
    QIcon::setThemeSearchPaths(paths);
    for (const char* theme : {"breeze", "Adwaita"})
        for (const QString& dir : QIcon::themeSearchPaths())
            if (QDir(dir + u'/' + QLatin1String(theme)).exists()) {
                QIcon::setThemeName(QLatin1String(theme));
                QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
                return;
            }
}

QIcon FindThemeIcon(int index) {
    for (const ThemeIcon& t : kIcons) {
        if (t.index != index)
            continue;
        for (const char* name : t.names)
            if (name && QIcon::hasThemeIcon(QLatin1String(name)))
                return QIcon::fromTheme(QLatin1String(name));
    }
    return {};
}

// A view draws a selected row's icon in the Selected mode, which the style makes by tinting the
// picture towards the highlight. A theme's flat grey line drawing (the small "text-x-generic")
// then all but matches the highlight and vanishes from the row. Selected, an icon shows as it is
// where it stands out from the highlight, else in the colour of highlighted text, as a theme
// recolours its single-colour icons.
class SelectionIconEngine final : public QIconEngine {
public:
    explicit SelectionIconEngine(const QIcon& base) : m_base(base) {}

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        if (mode != QIcon::Selected)
            return m_base.pixmap(size, 1.0, mode, state);
        const QPalette palette = QGuiApplication::palette();
        const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
        const QColor text = palette.color(QPalette::Active, QPalette::HighlightedText);
        const QString key = QStringLiteral("%1x%2-%3-%4-%5")
                                .arg(size.width())
                                .arg(size.height())
                                .arg(int(state))
                                .arg(highlight.rgba())
                                .arg(text.rgba());
        if (const auto cached = m_selected.constFind(key); cached != m_selected.cend())
            return *cached;
        QPixmap shown = m_base.pixmap(size, 1.0, QIcon::Normal, state);
        const QImage picture = shown.toImage();
        if (!shown.isNull() && !StandsOut(picture, highlight)) {
            QImage shape = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QPainter p(&shape);
            p.setCompositionMode(QPainter::CompositionMode_SourceIn);
            p.fillRect(shape.rect(), text);
            p.end();
            shown = QPixmap::fromImage(shape);
        }
        m_selected.insert(key, shown);
        return shown;
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap pm = pixmap(rect.size() * dpr, mode, state);
        if (pm.isNull())
            return;
        pm.setDevicePixelRatio(dpr);
        const QSize drawn = (QSizeF(pm.size()) / dpr).toSize();
        painter->drawPixmap(QRect(QPoint(rect.x() + (rect.width() - drawn.width()) / 2,
                                         rect.y() + (rect.height() - drawn.height()) / 2),
                                  drawn),
                            pm);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return m_base.actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return m_base.availableSizes(mode, state);
    }
    QString iconName() override { return m_base.name(); }
    bool isNull() override { return m_base.isNull(); }
    QString key() const override { return QStringLiteral("SelectionIconEngine"); }
    QIconEngine* clone() const override { return new SelectionIconEngine(m_base); }

    // Whether at least half of the picture's solid pixels differ from the background by a
    // luminance contrast of 1.5 : 1 or more.
    static bool StandsOut(const QImage& picture, const QColor& background) {
        const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
        const auto luminance = [](QRgb c) {
            const auto linear = [](int v) {
                const double f = v / 255.0;
                return f <= 0.03928 ? f / 12.92 : std::pow((f + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) +
                   0.0722 * linear(qBlue(c));
        };
        const double back = luminance(background.rgb());
        int solid = 0;
        int distinct = 0;
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(line[x]) < 128)
                    continue;
                ++solid;
                const double l = luminance(line[x]);
                if ((std::max(l, back) + 0.05) / (std::min(l, back) + 0.05) >= 1.5)
                    ++distinct;
            }
        }
        return distinct * 2 >= solid;
    }

private:
    QIcon m_base;
    QHash<QString, QPixmap> m_selected;
};

} // namespace

TDMSys::TDMSys()
    : m_imageList(new TImageList(this, ImageCount)), m_imageListHot(new TImageList(this, ImageCount)) {
    setObjectName(QStringLiteral("DMSys"));
    ChooseTheme();
    // Numbers without a picture stay empty: a button then shows its caption, never a stand-in.
    for (const ThemeIcon& t : kIcons) {
        QIcon icon = FindThemeIcon(t.index);
        if (!icon.isNull())
            icon = QIcon(new SelectionIconEngine(icon));
        m_imageList->SetIcon(t.index, icon);
        m_imageListHot->SetIcon(t.index, icon);
    }
}

bool TDMSys::HasThemeIcon(int index) {
    for (const ThemeIcon& t : kIcons)
        if (t.index == index)
            return true;
    return false;
}

QStringList TDMSys::ThemeIconNames(int index) {
    QStringList names;
    for (const ThemeIcon& t : kIcons)
        if (t.index == index)
            for (const char* n : t.names)
                if (n)
                    names << QLatin1String(n);
    return names;
}

QIcon TDMSys::AppIcon() {
    // The program's own mark: a dark-blue tile with a white K, drawn so that no file is needed.
    static QIcon icon = [] {
        QIcon i;
        for (int size : {16, 24, 32, 48, 64, 128}) {
            QPixmap pm(size, size);
            pm.fill(Qt::transparent);
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            QPainterPath tile;
            tile.addRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 5.0, size / 5.0);
            p.fillPath(tile, QColor(0x1f, 0x4e, 0x79));
            QFont f(QStringLiteral("DejaVu Sans"));
            f.setBold(true);
            f.setPixelSize(size * 3 / 4);
            p.setFont(f);
            p.setPen(Qt::white);
            p.drawText(pm.rect(), Qt::AlignCenter, QStringLiteral("K"));
            p.end();
            i.addPixmap(pm);
        }
        return i;
    }();
    return icon;
}

namespace {
QPointer<TDMSys> instance;
}

TDMSys* TDMSys::Current() { return instance.data(); }

TDMSys* TDMSys::ModulInitialize(QObject* owner) {
    instance = new TDMSys;
    instance->setParent(owner);
    return instance;
}

TDMSys* TDMSys::Instance() {
    if (!instance) {
        instance = new TDMSys;
        if (auto* app = QCoreApplication::instance())
            instance->setParent(app);
    }
    return instance;
}

// ---- scanning into the document management
// --------------------------------------------------------

Rtl::HookSlot<TDMSys::TDMSScan> TDMSys::_DMSScan;

void TDMSys::Scan(QObject* owner, bool scannerSetup, int, int, int, int,
                  const QStringList& scanParams, TDokument* dokument) {
    if (!_DMSScan.Assigned()) {
        Korvexutils::RaiseInformation(NoScanServiceText());
        return;
    }
    const TDokumentInsertData data = dokument ? dokument->InsertData() : TDokumentInsertData{};
    // A stored document or revision reaches the caller through the template's events, as a post
    // of the template itself would.
    const auto afterPost = dokument ? dokument->AfterPost : std::function<void(TVoskClass*)>();
    const TDokumentEvent stored = [dokument, afterPost](QObject*, TDokument* doc,
                                                       TDokumentEventMode mode, const QStringList&) {
        if ((mode == 0 || mode == 1) && afterPost)
            afterPost(doc ? doc : dokument);
    };
    _DMSScan(owner, scannerSetup, dokument, scanParams, data.DokType, data.DokIdent, stored);
}

void TDMSys::DMSLoad(QObject* owner, int mode, const QString& dokType, const QString& dokIdent,
                     const QString& table, const QString& recId, const QString& config, int, int,
                     int, TDMSLoadOptions, const TDokumentEvent& onDokEvent) {
    // The template of the new documents: the record they belong to and what they are.
    TDokument dokument;
    dokument.SetInsertData({true, QString(), dokType, dokIdent, QString(),
                            mode == 5 ? QStringLiteral("file") : QStringLiteral("image")});
    dokument.LoadByRecord(table, recId, false);
    if (_DMSScan.Assigned()) {
        QStringList params =
            config.split(QRegularExpression(QStringLiteral("\\r?\\n")), Qt::SkipEmptyParts);
        params << QStringLiteral("ScanSource=") + (mode == 5   ? QStringLiteral("otherfile")
                                                   : mode == 4 ? QStringLiteral("file")
                                                               : QString());
        _DMSScan(owner, false, &dokument, params, dokType, dokIdent, onDokEvent);
        return;
    }
    if (mode != 5) {
        Korvexutils::RaiseInformation(NoScanServiceText());
        return;
    }
    Vcl::TFileRequest request;
    request.caption = QStringLiteral("Dokument importieren (PDF/Images)");
    request.filter = QStringLiteral("PDF und Bilder|*.pdf;*.tif;*.tiff;*.png;*.jpg;*.jpeg;*.bmp;"
                                    "*.gif|Alle Dateien|*.*");
    request.parent = qobject_cast<QWidget*>(owner);
    const QString file = Vcl::FileDialogs::Instance().OpenFile(request);
    if (file.isEmpty())
        return;
    dokument.InsertData().Name = QFileInfo(file).fileName();
    dokument.DMSAddFileAsBLOB(file, table, recId);
    if (onDokEvent)
        onDokEvent(nullptr, &dokument, 0, QStringList());
}
