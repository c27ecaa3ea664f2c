#include "UFileViewerTIFF.Pages.h"

#include <IEScale.h>
#include <UDM1.h>
#include <Uloghelper.h>
#include <VoskExceptionHelper.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QPainter>
#include <QScopeGuard>

#include <cmath>
#include <optional>

using namespace Imaging;

void PagesLogEvent(const QString& text) {
    if (TDM1* dm = DM1())
        dm->LogEvent(text);
    else
        TLogSink::Add({QDateTime::currentDateTime(), QStringLiteral("EVENT"), 0, {}, text});
}

namespace {

QString fmt(int nr, const QString& def, const QStringList& args) {
    return TDM1::FormatLogText(makeText(nr, def), args);
}

// "Seite 1" .. "Seite count": the text is read and split once, not once a page.
QStringList pageInfoTexts(int count) {
    const QString format = makeText(17114, QStringLiteral("Seite %d"));
    const qsizetype at = format.indexOf(QLatin1String("%d"));
    QStringList texts;
    texts.reserve(count);
    for (int i = 1; i <= count; ++i)
        texts << (at < 0 ? format : format.left(at) + QString::number(i) + format.mid(at + 2));
    return texts;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TPageData

TPageData::TPageData(QObject* owner, int fromIndex) : QObject(owner), FromIndex(fromIndex) {}

void TPageData::Clear() {
    Loadet = false;
    OldImage.clear();
    OldAnnot.clear();
    CurImage.clear();
    CurAnnot.clear();
    CurAnnotX.clear();
}

TPageData* TPageData::_Get(TPageList* View, int Page, int Index) {
    if (!View || Page < 0 || Page >= View->ImageCount())
        return nullptr;
    TPageData* data = View->UserData(Page);
    if (!data) {
        // The list owns its pages' data and frees it; as QObject children of the list, thousands
        // of pages would be freed in quadratic time.
        data = new TPageData(nullptr, Index);
        View->SetUserData(Page, data);
    }
    return data;
}

void TPageData::_Destroy(TPageList* View, int Page) {
    if (!View || Page < 0 || Page >= View->ImageCount())
        return;
    TPageData* data = View->UserData(Page);
    View->SetUserData(Page, nullptr);
    delete data;
}

// ---------------------------------------------------------------------------------------------
// TPageList

TPageList::TPageList(QObject* parent) : QAbstractListModel(parent) {}

TPageList::~TPageList() {
    for (const Page& p : std::as_const(m_pages))
        delete p.data;
}

int TPageList::AppendImage() { return InsertImage(ImageCount()); }

int TPageList::AppendImages(const QStringList& infoTexts) {
    const int first = ImageCount();
    if (infoTexts.isEmpty())
        return first;
    beginInsertRows({}, first, first + int(infoTexts.size()) - 1);
    m_pages.reserve(first + infoTexts.size());
    for (const QString& info : infoTexts) {
        Page p;
        p.info = info;
        m_pages.append(p);
    }
    endInsertRows();
    return first;
}

int TPageList::InsertImage(int index) {
    index = qBound(0, index, ImageCount());
    beginInsertRows({}, index, index);
    m_pages.insert(index, Page{});
    endInsertRows();
    if (m_selected >= index)
        ++m_selected;
    return index;
}

void TPageList::DeleteImage(int index) {
    if (!valid(index))
        return;
    beginRemoveRows({}, index, index);
    m_pages.removeAt(index);
    endRemoveRows();
    if (m_selected == index)
        SetSelectedImage(-1);
    else if (m_selected > index)
        --m_selected;
}

void TPageList::Clear() {
    beginResetModel();
    for (const Page& p : std::as_const(m_pages))
        delete p.data;
    m_pages.clear();
    endResetModel();
    SetSelectedImage(-1);
}

QString TPageList::ImageInfoText(int index) const { return valid(index) ? m_pages[index].info : QString(); }

void TPageList::SetImageInfoText(int index, const QString& text) {
    if (!valid(index))
        return;
    m_pages[index].info = text;
    emit dataChanged(this->index(index), this->index(index), {Qt::DisplayRole});
}

TPageData* TPageList::UserData(int index) const { return valid(index) ? m_pages[index].data : nullptr; }

void TPageList::SetUserData(int index, TPageData* data) {
    if (valid(index))
        m_pages[index].data = data;
}

Imaging::TIOParams& TPageList::Params(int index) {
    static Imaging::TIOParams none;
    if (!valid(index)) {
        none = {};
        return none;
    }
    return m_pages[index].params;
}

const Imaging::TIOParams& TPageList::Params(int index) const {
    return const_cast<TPageList*>(this)->Params(index);
}

void TPageList::SetImage(int index, const QImage& page) {
    if (!valid(index))
        return;
    m_pages[index].thumb = Imaging::ScaledDown(page, m_thumbSize, m_smooth);
    m_pages[index].thumbTried = true;
    emit dataChanged(this->index(index), this->index(index), {Qt::DecorationRole});
}

void TPageList::InvalidateImage(int index) {
    if (!valid(index))
        return;
    m_pages[index].thumb = QImage();
    m_pages[index].thumbTried = false;
    emit dataChanged(this->index(index), this->index(index), {Qt::DecorationRole});
}

QImage TPageList::Thumbnail(int index) const {
    if (!valid(index))
        return {};
    auto* self = const_cast<TPageList*>(this);
    Page& p = self->m_pages[index];
    if (p.thumbTried)
        return p.thumb;
    try {
        if ((!p.data || !p.data->Loadet) && OnNeedPage)
            OnNeedPage(index);
        Page& loaded = self->m_pages[index];
        if (loaded.data && loaded.data->Loadet && !loaded.data->CurImage.isEmpty())
            loaded.thumb = Imaging::ScaledDown(TViewerPages::DecodePage(loaded.data->CurImage), m_thumbSize, m_smooth);
    } catch (...) {
        PagesLogEvent(QStringLiteral("TPageList.Thumbnail: Seite %1: %2")
                          .arg(index + 1)
                          .arg(Rtl::ExceptionMessage(std::current_exception())));
    }
    if (valid(index))
        self->m_pages[index].thumbTried = true;
    return valid(index) ? m_pages[index].thumb : QImage();
}

void TPageList::SetThumbnailSize(QSize size) {
    if (size == m_thumbSize)
        return;
    m_thumbSize = size;
    dropThumbnails();
}

void TPageList::SetSmoothThumbnails(bool smooth) {
    if (smooth == m_smooth)
        return;
    m_smooth = smooth;
    dropThumbnails();
}

void TPageList::dropThumbnails() {
    for (Page& p : m_pages) {
        p.thumb = QImage();
        p.thumbTried = false;
    }
    if (!m_pages.isEmpty())
        emit dataChanged(index(0), index(ImageCount() - 1), {Qt::DecorationRole});
}

void TPageList::SetSelectedImage(int index) {
    if (!valid(index))
        index = -1;
    if (index == m_selected)
        return;
    m_selected = index;
    emit selectedImageChanged(index);
}

int TPageList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ImageCount();
}

QVariant TPageList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !valid(index.row()))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole: return m_pages[index.row()].info;
    case Qt::DecorationRole: {
        const QImage thumb = Thumbnail(index.row());
        return thumb.isNull() ? QVariant() : QVariant(thumb);
    }
    default: return {};
    }
}

// ---------------------------------------------------------------------------------------------
// TCancelState

TCancelState::TCancelState(Clock clock) : m_clock(std::move(clock)) {}

qint64 TCancelState::now() const {
    if (m_clock)
        return m_clock();
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    // Never 0, which means "not armed".
    return timer.elapsed() + 1;
}

void TCancelState::Arm() {
    const qint64 t = now();
    m_tag = t == 0 ? 1 : t;
}

void TCancelState::Poll() const {
    if (m_tag != 0 && now() - m_tag > kGraceMs)
        throw EAbort();
}

// ---------------------------------------------------------------------------------------------
// TViewerPages

struct TViewerPages::StoredPages {
    QByteArray bytes;
    QList<quint64> offsets;
    std::unique_ptr<TTiffReader> reader;

    // Opens the stored file's page index; EImagesException when the file has no such page.
    TTiffReader& open(int index) {
        if (index < 0 || index >= offsets.size())
            throw EImagesException(17107, fmt(17107, QStringLiteral("Ungültiges Bild (%s)"),
                                              {QStringLiteral("Seite %1 fehlt in der gespeicherten "
                                                              "Datei").arg(index + 1)}));
        reader->OpenAt(offsets[index]);
        return *reader;
    }
};

TViewerPages::TViewerPages(IViewerPagesHost* host, QObject* parent)
    : QObject(parent), m_host(host), m_list(new TPageList(this)) {
    // A thumbnail being drawn reads its page alone, quietly: the strip asks for the ones it shows.
    m_list->OnNeedPage = [this](int page) {
        TPageData* data = TPageData::_Get(m_list, page, -1);
        if (data && !data->Loadet)
            loadPageData(page, data, false, true);
    };
}

TViewerPages::~TViewerPages() {
    qDeleteAll(FDeletedPages);
    FDeletedPages.clear();
}

QString TViewerPages::remoteName() const {
    if (!m_source)
        throw EImagesException(QStringLiteral("Kein Dokument"));
    return m_source->RemoteFilename();
}

QImage TViewerPages::DecodePage(const QByteArray& tiff, TIOParams* params) {
    try {
        TTiffReader reader(tiff);
        reader.OpenPage(0);
        if (params)
            *params = reader.Params();
        return reader.Decode();
    } catch (const ETiffPageTooLarge& e) {
        PagesLogEvent(QStringLiteral("TFileViewerFrameTIFF.LoadImage: ") + e.Message());
        throw EImagesException(e.Message());
    } catch (const ETiffError& e) {
        PagesLogEvent(QStringLiteral("TFileViewerFrameTIFF.LoadImage: ") + e.Message());
        throw EImagesException(17106, makeText(17106, QStringLiteral("Ungültiges Bild")));
    }
}

void TViewerPages::RemoveAllImages() {
    for (int i = m_list->ImageCount() - 1; i >= 0; --i)
        TPageData::_Destroy(m_list, i);
    qDeleteAll(FDeletedPages);
    FDeletedPages.clear();
    m_list->Clear();
    m_decoded = {};
    m_stored.reset();
}

void TViewerPages::ClearAllPages() {
    RemoveAllImages();
    LoadImage(-1, true);
}

QString TViewerPages::TabText(int page) const {
    if (page < 0 || page >= m_list->ImageCount())
        return makeText(17115, QStringLiteral("Keine Seiten"));
    return m_list->ImageInfoText(page);
}

QImage TViewerPages::CurrentImage() const {
    const int page = m_list->SelectedImage();
    const TPageData* data = m_list->UserData(page);
    if (data && m_decoded.data == data && m_decoded.bytes.constData() == data->CurImage.constData())
        return m_decoded.image;
    return {};
}

void TViewerPages::SetDecoded(int Page, const QImage& image) {
    const TPageData* data = m_list->UserData(Page);
    if (!data)
        return;
    m_decoded = {data, data->CurImage, image};
    if (m_host->OverviewVisible())
        m_list->SetImage(Page, image);
}

void TViewerPages::loadPageData(int Page, TPageData* data, bool decode, bool quiet) {
    const QString name = remoteName();
    std::optional<THourGlass> hourglass;
    if (!quiet) {
        hourglass.emplace();
        m_host->SetViewerEnabled(false);
    }
    const auto enable = qScopeGuard([this, quiet] {
        if (!quiet)
            m_host->SetViewerEnabled(true);
    });
    if (!quiet)
        m_host->SetStatus(makeText(17113, QStringLiteral("Lade Bild")), 10);
    data->Clear();
    // A page that is not loaded still stands where it stood in the stored file.
    const int stored = data->FromIndex >= 0 ? data->FromIndex : Page;
    data->OldImage = m_source->ReadImage(name, stored);
    data->CurImage = data->OldImage;
    TIOParams params;
    if (decode) {
        // The page decoded before goes first: a view holds one decoded page.
        m_decoded = {};
        const QImage image = DecodePage(data->CurImage, &params);
        m_decoded = {data, data->CurImage, image};
        // A thumbnail is made only for a strip that shows it.
        if (m_host->OverviewVisible())
            m_list->SetImage(Page, image);
        else
            m_list->InvalidateImage(Page);
    } else {
        try {
            TTiffReader reader(data->CurImage);
            reader.OpenPage(0);
            params = reader.Params();
        } catch (const ETiffError& e) {
            PagesLogEvent(QStringLiteral("TFileViewerFrameTIFF.LoadImage: ") + e.Message());
            throw EImagesException(17106, makeText(17106, QStringLiteral("Ungültiges Bild")));
        }
        m_list->InvalidateImage(Page);
    }
    m_list->Params(Page) = params;
    if (!quiet)
        m_host->SetStatus(makeText(17112, QStringLiteral("Lade Anmerkungen")), 10);
    data->OldAnnot = m_source->ReadAnnotation(name, stored);
    data->CurAnnot = data->OldAnnot;
    data->CurAnnotX = data->CurAnnot;
    data->Loadet = true;
    if (!quiet)
        m_host->ClearStatus();
}

void TViewerPages::LoadImage(int Page, bool LoadIntoView) {
    const auto finally = qScopeGuard([this, LoadIntoView] {
        if (LoadIntoView)
            m_host->PageShown();
    });
    if (Page < 0 || Page >= m_list->ImageCount()) {
        if (LoadIntoView) {
            m_list->Deselect();
            m_host->EmptyView();
        }
        return;
    }
    try {
        TPageData* data = TPageData::_Get(m_list, Page, -1);
        if (!data->Loadet)
            loadPageData(Page, data, LoadIntoView);
        if (LoadIntoView) {
            m_list->SetSelectedImage(Page);
            m_host->SetTab(Page);
            QImage image;
            if (m_decoded.data == data && m_decoded.bytes.constData() == data->CurImage.constData())
                image = m_decoded.image;
            else {
                m_decoded = {};
                image = DecodePage(data->CurImage);
                m_decoded = {data, data->CurImage, image};
            }
            m_host->ShowPage(Page, image, data);
        }
    } catch (...) {
        LoadImage(-1, LoadIntoView);
        throw;
    }
}

QByteArray TViewerPages::ExtractStoredPage(TTiffReader& reader) {
    if (reader.CanCopyRaw())
        return reader.ExtractPage();
    TIOParams p = reader.Params();
    p.TIFF_Compression = ioTIFF_JPEG;
    TTiffWriter writer;
    writer.WritePage(reader.Decode(), p);
    return writer.Finish();
}

void TViewerPages::ReleaseStoredPages() { m_stored.reset(); }

namespace {
// Often enough for a status line that moves, seldom enough to cost nothing.
constexpr int kProgressEvery = 64;
} // namespace

void TViewerPages::ReadStoredPages(const TPageProgress& progress) {
    m_stored.reset();
    bool fromStore = false;
    for (int i = 0; i < m_list->ImageCount() && !fromStore; ++i)
        if (const TPageData* data = m_list->UserData(i); data && data->FromIndex >= 0)
            fromStore = true;
    if (!fromStore)
        return;
    const QString name = remoteName();
    auto stored = std::make_unique<StoredPages>();
    stored->bytes = m_source->ReadFile(name);
    if (stored->bytes.isEmpty())
        throw EImagesException(17106, makeText(17106, QStringLiteral("Ungültiges Bild")));
    try {
        stored->offsets = TiffPageOffsets(stored->bytes);
        stored->reader = std::make_unique<TTiffReader>(stored->bytes);
        // The compression rules need what the pages never loaded are.
        const int count = m_list->ImageCount();
        for (int i = 0; i < count; ++i) {
            if (progress && i % kProgressEvery == 0)
                progress(i, count);
            const TPageData* data = m_list->UserData(i);
            if (data && !data->Loadet && data->FromIndex >= 0)
                m_list->Params(i) = stored->open(data->FromIndex).Params();
        }
    } catch (const ETiffError& e) {
        throw EImagesException(17107, fmt(17107, QStringLiteral("Ungültiges Bild (%s)"), {e.Message()}));
    }
    m_stored = std::move(stored);
}

QByteArray TViewerPages::SaveToStreamTIFF(const TPageProgress& progress) const {
    TTiffWriter writer;
    const int count = m_list->ImageCount();
    for (int i = 0; i < count; ++i) {
        if (progress && i % kProgressEvery == 0)
            progress(i, count);
        const TPageData* data = m_list->UserData(i);
        if (!data)
            throw EImagesException(17106, makeText(17106, QStringLiteral("Ungültiges Bild")));
        // A stored page that is not loaded, or unchanged, is copied from the checked bytes of
        // the stored file; an edited or new one from its current image.
        const bool stored = data->FromIndex >= 0 &&
                            (!data->Loadet || data->CurImage.isEmpty() || data->CurImage == data->OldImage);
        if (!(stored && m_stored) && (!data->Loadet || data->CurImage.isEmpty()))
            throw EImagesException(17106, makeText(17106, QStringLiteral("Ungültiges Bild")));
        const TIOParams& wanted = m_list->Params(i);
        try {
            std::optional<TTiffReader> own;
            TTiffReader* reader = nullptr;
            if (stored && m_stored) {
                reader = &m_stored->open(data->FromIndex);
            } else {
                reader = &own.emplace(data->CurImage);
                reader->OpenPage(0);
            }
            const QByteArray* description =
                wanted.TIFF_ImageDescription.isEmpty() ? nullptr : &wanted.TIFF_ImageDescription;
            if (reader->Params().TIFF_Compression == wanted.TIFF_Compression && reader->CanCopyRaw()) {
                writer.CopyPage(*reader, description);
                continue;
            }
            QImage image;
            try {
                image = reader->Decode();
            } catch (const ETiffPageTooLarge& e) {
                // A page too large to be decoded here was never shown, so never changed: it
                // stays as it came rather than stopping the save of every other page.
                if (!reader->CanCopyRaw())
                    throw;
                PagesLogEvent(QStringLiteral("TFileViewerFrameTIFF.SaveToStreamTIFF: Seite %1 "
                                             "unverändert gespeichert: ")
                                  .arg(i + 1) +
                              e.Message());
                writer.CopyPage(*reader, description);
                continue;
            }
            writer.WritePage(image, wanted);
        } catch (const ETiffError& e) {
            throw EImagesException(17107, fmt(17107, QStringLiteral("Ungültiges Bild (%s)"), {e.Message()}));
        }
    }
    return writer.Finish();
}

void TViewerPages::loadWholeFile(const QString& name) {
    m_host->SetStatus(makeText(17109, QStringLiteral("Lade Bilddatei")), 10);
    const QByteArray file = m_source->ReadFile(name);
    if (file.isEmpty())
        throw EImagesException(17106, makeText(17106, QStringLiteral("Ungültiges Bild")));
    m_host->SetStatus(makeText(17113, QStringLiteral("Lade Bild")), 0);
    // Every page's bytes are split off unchanged; thumbnails are decoded when they are shown.
    QList<QByteArray> pages;
    QList<TIOParams> params;
    try {
        TTiffReader reader(file);
        QList<quint64> offsets;
        try {
            offsets = TiffPageOffsets(file);
        } catch (const ETiffError&) {
            offsets.clear();
        }
        const int count = offsets.isEmpty() ? reader.PageCount() : int(offsets.size());
        for (int i = 0; i < count; ++i) {
            if (offsets.isEmpty())
                reader.OpenPage(i);
            else
                reader.OpenAt(offsets[i]);
            params << reader.Params();
            pages << ExtractStoredPage(reader);
            if (i % 16 == 0)
                m_host->PollCancel();
        }
        if (count == 0)
            throw ETiffError(QStringLiteral("Datei ohne Seiten"));
    } catch (const ETiffError& e) {
        throw EImagesException(17107, fmt(17107, QStringLiteral("Ungültiges Bild (%s)"), {e.Message()}));
    }
    const int count = int(pages.size());
    m_list->AppendImages(pageInfoTexts(count));
    for (int i = 0; i < count; ++i) {
        TPageData::_Get(m_list, i, i);
        m_list->Params(i) = params[i];
    }
    const QString annotationsText = makeText(17112, QStringLiteral("Lade Anmerkungen"));
    m_host->SetStatus(annotationsText, 0);
    const QList<QByteArray> annotations = m_source->ReadAnnotations(name, count);
    for (int i = 0; i < count; ++i) {
        m_host->SetStatus(annotationsText, i * 100 / count);
        m_host->PollCancel();
        TPageData* data = m_list->UserData(i);
        data->OldImage = pages[i];
        data->OldAnnot = annotations.value(i);
        data->CurImage = data->OldImage;
        data->CurAnnot = data->OldAnnot;
        data->CurAnnotX = data->CurAnnot;
        data->Loadet = true;
    }
    m_host->ClearStatus();
}

void TViewerPages::ReloadImages(int Page) {
    if (FEditablePages == 3)
        FEditablePages = 2;
    m_host->SetViewerEnabled(false);
    const auto restore = [this] {
        m_host->SetViewerEnabled(true);
        m_host->RefreshTabs();
    };
    QString nameForMessage;
    try {
        ClearAllPages();
        FNewPage = 0;
        if (FEditablePages != 0) {
            if (!m_source) {
                nameForMessage = QStringLiteral("*nil*");
                throw EImagesException(QStringLiteral("Kein Dokument"));
            }
            const bool isNew = m_source->IsNewDokument();
            nameForMessage = isNew ? QStringLiteral("*new*") : m_source->RemoteFilename();
            const QString name = m_source->RemoteFilename();
            bool exists = false;
            if (!isNew) {
                exists = m_source->FileExists(name);
                if (!exists) {
                    m_source->CheckRemoteStructure();
                    exists = m_source->FileExists(name);
                }
            }
            const int count = exists ? m_source->GetImageCount(name) : 0;
            const bool viewOnly = FEditablePages == 1;
            const auto missing = [] {
                return EImagesException(17105, makeText(17105, QStringLiteral("Datei existiert nicht.")));
            };
            // The requested page alone, in view and in edit mode, strip shown or not: the other
            // pages are read when they are shown or drawn as thumbnails, and a save copies the
            // ones never read from the stored file. The whole file only when that page cannot be
            // read by itself.
            bool created = false;
            if (viewOnly || exists) {
                if (viewOnly && !exists)
                    throw missing();
                m_list->AppendImages(pageInfoTexts(count));
                for (int i = 0; i < count; ++i)
                    TPageData::_Get(m_list, i, i);
                created = count > 0;
                if (created) {
                    try {
                        const int page = qMin(qMax(Page, 0), count - 1);
                        TPageData* data = TPageData::_Get(m_list, page, page);
                        loadPageData(page, data, true);
                    } catch (const EAbort&) {
                        throw;
                    } catch (...) {
                        PagesLogEvent(TDM1::FormatLogText(
                            QStringLiteral("TFileViewerFrameTIFF.ReloadImages: Fehler beim Laden der "
                                           "einzelnen Seite %d. Versuche nun alle Seiten gemeinsam zu laden"),
                            {QString::number(Page)}));
                        RemoveAllImages();
                        created = false;
                    }
                }
            }
            if (!created && (viewOnly || exists)) {
                if (viewOnly && !exists)
                    throw missing();
                loadWholeFile(name);
            }
        }
        restore();
        const int count = m_list->ImageCount();
        LoadImage(qMin(qMax(Page, 0), count - 1), true);
    } catch (const EAbort&) {
        RemoveAllImages();
        LoadImage(-1, true);
        m_host->ClearStatus();
        restore();
        throw;
    } catch (...) {
        const QString cause = Rtl::ExceptionMessage(std::current_exception());
        const std::exception_ptr original = std::current_exception();
        RemoveAllImages();
        try {
            LoadImage(-1, true);
        } catch (...) {
        }
        m_host->ClearStatus();
        restore();
        if (nameForMessage.isEmpty())
            nameForMessage = m_source ? m_source->RemoteFilename() : QStringLiteral("*nil*");
        const QString text = fmt(17102, QStringLiteral("Fehler beim Laden des Dokuments \"%s\" %s"),
                                 {nameForMessage, cause});
        TVoskExceptionHelper::InsertStackInfo(original,
                                              QStringLiteral("TFileViewerFrameTIFF.ReloadImages"));
        throw EVoskException(17102, text);
    }
}

// ---------------------------------------------------------------------------------------------
// Compression per page and orientation

bool TViewerPages::CheckImageFormatAndSetName(int Page, const QString& CodeSource) {
    if (Page < 0 || Page >= m_list->ImageCount())
        return false;
    return CheckImageFormatAndSetName(m_list->Params(Page), CodeSource);
}

bool TViewerPages::CheckImageFormatAndSetName(TIOParams& params, const QString& CodeSource) {
    static const QString who = QStringLiteral("TFileViewerFrameTIFF.CheckImageFormatAndSetName: ");
    bool changed = false;
    if (!CodeSource.isEmpty()) {
        PagesLogEvent(who + QStringLiteral("Code-Source = ") + CodeSource);
        params.TIFF_ImageDescription = (QStringLiteral("Code-Source: ") + CodeSource).toLatin1();
        changed = true;
    }
    const TIOTIFFCompression c = params.TIFF_Compression;
    const bool fax = c == ioTIFF_CCITT1D || c == ioTIFF_G3FAX1D || c == ioTIFF_G3FAX2D ||
                     c == ioTIFF_G4FAX;
    // Fax compressions are kept for black-and-white pages: they are what scanners deliver and
    // usually smaller than LZW.
    if (params.PixelFormat == ie1g && c != ioTIFF_LZW && !fax) {
        params.TIFF_Compression = ioTIFF_LZW;
        PagesLogEvent(who + QStringLiteral("Compression = LZW (ie1g)"));
        changed = true;
    }
    if (params.PixelFormat == ie8g &&
        !(params.TIFF_Compression == ioTIFF_JPEG && params.TIFF_JPEGColorSpace == ioJPEG_GRAYLEV)) {
        params.TIFF_Compression = ioTIFF_JPEG;
        params.TIFF_JPEGColorSpace = ioJPEG_GRAYLEV;
        PagesLogEvent(who + QStringLiteral("Compression = Gray-JPEG (ie8g)"));
        changed = true;
    }
    // JPEG holds 8 bits a sample: a page of 16 keeps its compression, and so its depth and,
    // unchanged, its stored bytes.
    if (IsDeep(params.PixelFormat))
        return changed;
    switch (params.TIFF_Compression) {
    case ioTIFF_UNCOMPRESSED:
    case ioTIFF_OLDJPEG:
    case ioTIFF_ZIP:
    case ioTIFF_DEFLATE:
    case ioTIFF_UNKNOWN:
        params.TIFF_Compression = ioTIFF_JPEG;
        PagesLogEvent(who + QStringLiteral("Compression = JPEG"));
        changed = true;
        break;
    default: break;
    }
    return changed;
}

bool TViewerPages::PageFormatCheck(const QString& X, int Page, int ImageWidth, int ImageHeight,
                                   double Scaling, double Resolution) {
    const int L = qMin(ImageWidth, ImageHeight);
    if (!(Resolution > 0)) {
        // A driver that reports no resolution gives no paper size: the page stays as it is.
        PagesLogEvent(TDM1::FormatLogText(
            QStringLiteral("TFileViewerFrameTIFF.btEditScanClick %s : Seite ins Hochformat drehen? "
                           "Seite=%d Width=%d Height=%d Resolution=%f: keine Auflösung, nicht gedreht"),
            {X, QString::number(Page), QString::number(ImageWidth), QString::number(ImageHeight),
             QString::number(Resolution, 'f', 6)}));
        return false;
    }
    const double x = double(L) / Resolution * 2.54 * 10;
    const long mm = std::lround(x);
    int format;
    if (mm < 126)
        format = 6;
    else if (mm <= 180)
        format = 5;
    else if (mm <= 255)
        format = 4;
    else if (mm <= 360)
        format = 3;
    else if (mm <= 510)
        format = 2;
    else if (mm <= 720)
        format = 1;
    else
        format = 0;
    PagesLogEvent(TDM1::FormatLogText(
        QStringLiteral("TFileViewerFrameTIFF.btEditScanClick %s : Seite ins Hochformat drehen? "
                       "Seite=%d Width=%d Height=%d Scaling=%f Resolution=%f Lenght=%d x=%f Format=A%d"),
        {X, QString::number(Page), QString::number(ImageWidth), QString::number(ImageHeight),
         QString::number(Scaling, 'f', 6), QString::number(Resolution, 'f', 6), QString::number(L),
         QString::number(x, 'f', 6), QString::number(format)}));
    if (format == 3)
        return ImageHeight > ImageWidth;
    return ImageHeight < ImageWidth;
}

// ---------------------------------------------------------------------------------------------
// Value conversions

int TViewerPages::CheckInt(const QVariant& O, int Default) {
    if (O.isNull() || !O.isValid())
        return Default;
    bool ok = false;
    // Leading blanks are allowed, trailing ones are not (as the annotation files were written).
    QString text = O.toString();
    qsizetype start = 0;
    while (start < text.size() && text.at(start).isSpace())
        ++start;
    const int value = QStringView(text).mid(start).toInt(&ok);
    return ok ? value : Default;
}

QString TViewerPages::CheckStr(const QVariant& O) {
    if (O.isNull() || !O.isValid())
        return {};
    return O.toString();
}

// ---------------------------------------------------------------------------------------------
// Stamp pictures

QImage TViewerPages::StampListPicture(const QByteArray& bytes, const QString& name,
                                      QColor background, QSize size) {
    QImage picture;
    if (bytes.startsWith("II*") || bytes.startsWith("MM\0*") || bytes.startsWith("II+") ||
        bytes.startsWith(QByteArray("MM\0+", 4))) {
        try {
            TTiffReader reader(bytes);
            reader.OpenPage(0);
            picture = reader.Decode();
        } catch (const ETiffError&) {
            picture = QImage();
        }
    } else {
        picture = QImage::fromData(bytes);
    }
    if (picture.isNull())
        throw EImagesException(17107, fmt(17107, QStringLiteral("Ungültiges Bild (%s)"), {name}));
    // Transparent parts show the list's background.
    QImage canvas(picture.size(), QImage::Format_RGB32);
    canvas.fill(background);
    {
        QPainter p(&canvas);
        p.setPen(Qt::NoPen);
        p.drawImage(0, 0, picture.convertToFormat(QImage::Format_ARGB32));
    }
    if (size.isEmpty())
        return canvas;
    const QImage fitted = canvas.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage result(size, QImage::Format_RGB32);
    result.fill(background);
    QPainter p(&result);
    p.drawImage((size.width() - fitted.width()) / 2, (size.height() - fitted.height()) / 2, fitted);
    return result;
}

QList<TStampPicture> TViewerPages::BuildImageList(
    const QStringList& Images, const std::function<QByteArray(const QString&)>& getImage,
    QColor background, QSize size) {
    if (!getImage)
        throw EImagesException(17100, makeText(17100, QStringLiteral("Bilderliste fehlt")));
    QList<TStampPicture> list;
    for (const QString& entry : Images) {
        const qsizetype eq = entry.indexOf(u'=');
        const QString name = eq >= 0 ? entry.left(eq) : entry;
        TStampPicture stamp{name, {}};
        try {
            stamp.Picture = StampListPicture(getImage(name), name, background, size);
        } catch (const EAbort&) {
            throw;
        } catch (...) {
            PagesLogEvent(QStringLiteral("TFileViewerFrameTIFF.SetImageList: Stempel \"") + name +
                          QStringLiteral("\" konnte nicht geladen werden"));
        }
        list << stamp;
    }
    return list;
}
