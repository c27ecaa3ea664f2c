#pragma once
// The TIFF viewer's pages without any widget: the page list of the thumbnail strip with each
// page's data (stored and current image and annotation bytes), page loading from the data server
// (each page when it is first shown or drawn as a thumbnail, in view and in edit mode alike; the
// whole file only when a page cannot be read alone), the per-page compression rules, the
// page-orientation rule after scanning, the stamp pictures, the value conversions of the
// annotation reader and the break of a running load or scan. A save copies the pages never read
// from the stored file's bytes, read once for it. The viewer
// (TFileViewerFrameTIFF) owns one TViewerPages and answers its IViewerPagesHost calls with its
// widgets; tests answer them with fakes.

#include <PageCodec.h>
#include <VoskExceptions.h>

#include <QAbstractListModel>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

class TPageList;

// The viewer's own exception: missing or invalid images and stamp lists.
class EImagesException : public EVoskException {
public:
    using EVoskException::EVoskException;
    const char* ClassName() const noexcept override { return "EImagesException"; }
};

// The data of one page, hung on its thumbnail. The streams are implicitly shared byte arrays:
// copying one stream into another costs nothing until either is changed. A page not loaded has
// empty streams and is unchanged: it is the stored file's page FromIndex.
class TPageData final : public QObject {
    Q_OBJECT
public:
    TPageData(QObject* owner, int fromIndex);

    bool Loadet = false;
    // The page's number in the stored file; -1 for a page added or scanned since.
    int FromIndex = -1;
    QByteArray OldImage;  // the page as stored (TIFF)
    QByteArray OldAnnot;  // its annotation data as stored
    QByteArray CurImage;  // the page now
    QByteArray CurAnnot;  // its annotation data now
    QByteArray CurAnnotX; // the annotation data as it will be written
    // The annotation data is no well-formed XML (another program's): said once when the page
    // is first shown, then kept as it is until the user agrees to replace it.
    bool AnnotUnreadable = false;

    // Empties the five streams; the page counts as not loaded.
    void Clear();

    // The page data of thumbnail Page, created (FromIndex Index; the list frees it) when it has
    // none; null for a page the list does not have.
    static TPageData* _Get(TPageList* View, int Page, int Index);
    // Detaches the page data from thumbnail Page and frees it.
    static void _Destroy(TPageList* View, int Page);
};

// The thumbnail strip's pages: info text, TIFF parameters, page data and a thumbnail decoded
// from the current image when a view first asks for it.
class TPageList final : public QAbstractListModel {
    Q_OBJECT
public:
    explicit TPageList(QObject* parent = nullptr);
    ~TPageList() override;

    int ImageCount() const { return int(m_pages.size()); }
    // A new page without data or picture at the end, or before index; its index.
    int AppendImage();
    // New pages at the end with these info texts, in one step; the index of the first.
    int AppendImages(const QStringList& infoTexts);
    int InsertImage(int index);
    // Removes the entry; its page data is left to the caller.
    void DeleteImage(int index);
    // Removes every entry, the page data with it.
    void Clear();

    QString ImageInfoText(int index) const;
    void SetImageInfoText(int index, const QString& text);
    TPageData* UserData(int index) const;
    void SetUserData(int index, TPageData* data);
    // The page's TIFF parameters (compression, description, resolution) as read or to be written.
    Imaging::TIOParams& Params(int index);
    const Imaging::TIOParams& Params(int index) const;

    // The thumbnail from a decoded page, or dropped so that it is decoded again when shown.
    void SetImage(int index, const QImage& page);
    void InvalidateImage(int index);
    // The thumbnail, decoded when first asked for; null when the page cannot be shown.
    QImage Thumbnail(int index) const;
    QSize ThumbnailSize() const { return m_thumbSize; }
    void SetThumbnailSize(QSize size);
    // Whether thumbnails are scaled smoothly (the viewer's zoom filter); a change draws them anew.
    bool SmoothThumbnails() const { return m_smooth; }
    void SetSmoothThumbnails(bool smooth);
    // Asked for a thumbnail of a page whose data is not loaded yet: loads it.
    std::function<void(int)> OnNeedPage;

    int SelectedImage() const { return m_selected; }
    void SetSelectedImage(int index);
    void Deselect() { SetSelectedImage(-1); }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

signals:
    void selectedImageChanged(int index);

private:
    struct Page {
        QString info;
        Imaging::TIOParams params;
        TPageData* data = nullptr;
        QImage thumb;
        bool thumbTried = false;
    };
    bool valid(int index) const { return index >= 0 && index < m_pages.size(); }
    // Decoded again when next shown.
    void dropThumbnails();
    QList<Page> m_pages;
    int m_selected = -1;
    QSize m_thumbSize{160, 200};
    bool m_smooth = true;
};

// What page loading reads of the document and the data server.
class IPageSource {
public:
    virtual ~IPageSource() = default;
    // A preview or scan not yet stored.
    virtual bool IsNewDokument() const = 0;
    virtual QString RemoteFilename() const = 0;
    virtual void CheckRemoteStructure() = 0;
    virtual bool FileExists(const QString& name) = 0;
    virtual int GetImageCount(const QString& name) = 0;
    // The whole file, its recorded size and hash checked where the store keeps them; empty when
    // it cannot be read.
    virtual QByteArray ReadFile(const QString& name) = 0;
    // Page (from 0) as a one-page TIFF.
    virtual QByteArray ReadImage(const QString& name, int page) = 0;
    // The page's annotation data; empty when it has none.
    virtual QByteArray ReadAnnotation(const QString& name, int page) = 0;
    // Pages 0 .. count - 1 at once (a store answers them in one query instead of one a page).
    virtual QList<QByteArray> ReadAnnotations(const QString& name, int count) {
        QList<QByteArray> annotations;
        annotations.reserve(count);
        for (int i = 0; i < count; ++i)
            annotations << ReadAnnotation(name, i);
        return annotations;
    }
};

// What page loading asks of the viewer around it.
class IViewerPagesHost {
public:
    virtual ~IViewerPagesHost() = default;
    virtual bool OverviewVisible() const = 0; // the thumbnail strip is shown
    virtual void SetViewerEnabled(bool enabled) = 0;
    virtual void SetStatus(const QString& text, int percent) = 0;
    virtual void ClearStatus() = 0;
    virtual void RefreshTabs() = 0;
    virtual void SetTab(int page) = 0;
    // Shows the decoded page with the annotations of data in the current-page view.
    virtual void ShowPage(int page, const QImage& image, TPageData* data) = 0;
    // Empties the current-page view.
    virtual void EmptyView() = 0;
    // After a page was shown or the view emptied: change and undo state, option bars, layout.
    virtual void PageShown() = 0;
    // Called by the loops between pages; ends them with the silent abort after a break.
    virtual void PollCancel() = 0;
};

// A stamp of the stamp list: its name and list picture (null when it could not be read).
struct TStampPicture {
    QString Name;
    QImage Picture;
};

// The break of a running load or scan. The break button arms it with the tick count of the
// moment; loops poll it where they show progress, and one still running more than 2,500 ms after
// the break ends with the silent abort. A scan start and the status display reset it.
class TCancelState final {
public:
    using Clock = std::function<qint64()>;
    static constexpr qint64 kGraceMs = 2500;
    // clock: milliseconds of a monotonic clock; empty: the system's.
    explicit TCancelState(Clock clock = {});

    void Arm();
    void Reset() { m_tag = 0; }
    bool Armed() const { return m_tag != 0; }
    qint64 Tag() const { return m_tag; }
    // Throws EAbort when armed more than the grace time ago.
    void Poll() const;

private:
    qint64 now() const;
    Clock m_clock;
    qint64 m_tag = 0;
};

class TViewerPages final : public QObject {
    Q_OBJECT
public:
    TViewerPages(IViewerPagesHost* host, QObject* parent = nullptr);
    ~TViewerPages() override;

    TPageList* imOverview() const { return m_list; }
    // The document's pages; null without a document.
    void SetSource(IPageSource* source) { m_source = source; }
    IPageSource* Source() const { return m_source; }

    // 0 no document, 1 view only, 2 editable, 3 editable with page changes not yet stored.
    quint8 FEditablePages = 0;
    // The page marker of the page-adding action under way; 0 for none.
    int FNewPage = 0;
    // Page data of deleted pages, kept until the next save or reload; owned here.
    QList<TPageData*> FDeletedPages;

    void ReloadImages(int Page);
    void LoadImage(int Page, bool LoadIntoView);
    void RemoveAllImages();
    void ClearAllPages();
    // The caption of a page's tab; with no pages (or no such page) the "no pages" tab's.
    QString TabText(int page) const;
    // The decoded current page; null when none is shown.
    QImage CurrentImage() const;
    // image is what the current stream of page decodes to (a page just made from it): showing
    // the page uses it instead of decoding the stream again.
    void SetDecoded(int Page, const QImage& image);

    bool CheckImageFormatAndSetName(int Page, const QString& CodeSource);
    // Before a save of the pages: the stored file read whole, once (the source checks its
    // recorded size and SHA-256 over the bytes it read), when any page comes from it. Pages
    // never loaded take their parameters from it, for the compression rules; SaveToStreamTIFF
    // copies them, and the loaded pages that are unchanged, from these bytes.
    // ReleaseStoredPages drops them again (the save's caller, however the save ends).
    // progress, when given, hears now and then how many of the pages are done.
    using TPageProgress = std::function<void(int done, int count)>;
    void ReadStoredPages(const TPageProgress& progress = {});
    void ReleaseStoredPages();
    // Every page into one multipage TIFF in page order, with the page's parameters. A page whose
    // compression stays is copied with its compressed data unchanged (no decode, no loss at each
    // revision), only its description written anew; the others are encoded. A page from the
    // stored file that was never loaded, or is unchanged, is copied from the bytes that
    // ReadStoredPages read; without them every page must be loaded.
    QByteArray SaveToStreamTIFF(const TPageProgress& progress = {}) const;
    // The compression rules on one page's parameters; true when they changed.
    static bool CheckImageFormatAndSetName(Imaging::TIOParams& params, const QString& CodeSource);
    static bool PageFormatCheck(const QString& X, int Page, int ImageWidth, int ImageHeight,
                                double Scaling, double Resolution);
    static int CheckInt(const QVariant& O, int Default);
    static QString CheckStr(const QVariant& O);

    // The stamp list: per entry (its name part is the stamp's name) the picture that getImage
    // delivers, drawn on background and fitted into size. No getImage: EImagesException 17100;
    // a picture that cannot be read is logged and left null.
    static QList<TStampPicture> BuildImageList(const QStringList& Images,
                                               const std::function<QByteArray(const QString&)>& getImage,
                                               QColor background, QSize size);
    // One stamp picture drawn on background and fitted into size; EImagesException 17107 when
    // the bytes are no picture.
    static QImage StampListPicture(const QByteArray& bytes, const QString& name, QColor background,
                                   QSize size);

    // The decoded first page of a one-page TIFF; EImagesException 17106 when it does not decode.
    static QImage DecodePage(const QByteArray& tiff, Imaging::TIOParams* params = nullptr);
    // The opened page of a stored file as a one-page TIFF, its compressed data unchanged; a page
    // of old-style JPEG, which cannot be copied so, is stored anew as JPEG.
    static QByteArray ExtractStoredPage(Imaging::TTiffReader& reader);

private:
    // quiet: for a thumbnail being drawn, without hourglass, status or input block.
    void loadPageData(int Page, TPageData* data, bool decode, bool quiet = false);
    QString remoteName() const;
    void loadWholeFile(const QString& name);
    // The stored file as ReadStoredPages read it: its bytes, a reader over them and where each
    // page's directory starts.
    struct StoredPages;
    std::unique_ptr<StoredPages> m_stored;
    IViewerPagesHost* m_host;
    IPageSource* m_source = nullptr;
    TPageList* m_list;
    // The page decoded last, so that showing it does not decode it again.
    struct Decoded {
        const TPageData* data = nullptr;
        QByteArray bytes;
        QImage image;
    } m_decoded;
};

// The log line of the page model: through the data module when there is one.
void PagesLogEvent(const QString& text);
