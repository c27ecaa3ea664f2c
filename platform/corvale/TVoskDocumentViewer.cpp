#include "TVoskDocumentViewer.h"

#include "TVoskPageStrip.h"

#include <Dataclient_files.h>
#include <PageCodec.h>
#include <PdfSignature.h>
#include <UConstants.h>
#include <Ukorvexclasses.Dokument.h>
#include <VoskExceptions.h>
#include <VoskPreviewMail.h>
#include <VoskPreviewText.h>

#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPdfDocument>
#include <QPdfView>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTextEdit>
#include <QVBoxLayout>

Rtl::HookSlot<void(const QByteArray&, QTextDocument*)> TVoskDocumentViewer::ReadRtf;

namespace {
// Pictures are decoded at most this large; the label scales them down further to fit.
constexpr int kMaxSide = 2048;
// Mails and texts are read in pieces of this size.
constexpr qint64 kChunk = 1 << 20;

QString sizeText(qint64 bytes) {
    return QLocale(QLocale::German).formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

void describe(QWidget* w, const QString& name, const QString& tip) {
    w->setAccessibleName(name);
    w->setToolTip(tip);
}

// A linked TIFF file read where the codec asks.
class DeviceTiffInput final : public Imaging::TTiffInput {
public:
    explicit DeviceTiffInput(std::unique_ptr<QIODevice> device) : m_device(std::move(device)) {}
    quint64 Size() override { return quint64(m_device->size()); }
    qint64 ReadAt(quint64 pos, char* dst, qint64 len) override {
        if (!m_device->seek(qint64(pos)))
            return 0;
        return qMax<qint64>(0, m_device->read(dst, len));
    }

private:
    std::unique_ptr<QIODevice> m_device;
};

double aspectOf(const Imaging::TIOParams& p) {
    if (p.Width <= 0 || p.Height <= 0)
        return 1.414;
    // Fax pages have fewer lines per inch than dots: their slots take the paper's shape.
    const double dpiRatio = p.DpiX > 0 && p.DpiY > 0 ? p.DpiX / p.DpiY : 1.0;
    return double(p.Height) / p.Width * dpiRatio;
}

QImage decodePage(Imaging::TTiffReader& reader, QSize most) {
    QImage page = reader.Decode();
    if (page.isNull())
        return page;
    // Black and white pages scale down legibly only through grey.
    if (page.depth() == 1)
        page = page.convertToFormat(QImage::Format_Grayscale8);
    // Scaled here so that the strip keeps small pixmaps; fax resolution made square first.
    const Imaging::TIOParams p = reader.Params();
    if (p.DpiX > 0 && p.DpiY > 0 && qAbs(p.DpiX - p.DpiY) > 1)
        page = page.scaled(page.width(), qRound(page.height() * p.DpiX / p.DpiY));
    return page.scaled(most.boundedTo(page.size()), Qt::KeepAspectRatio, Qt::SmoothTransformation);
}
} // namespace

struct TVoskDocumentViewer::Source final {
    TVoskDatabase* db = nullptr;
    QString remote; // the stored name, when the bytes are in the store
    QString path;   // the linked file, otherwise
    qint64 size = 0;

    bool Stored() const { return !remote.isEmpty(); }
    // The bytes, read where the caller reads: nothing is copied out of the store.
    std::unique_ptr<QIODevice> Open() const {
        if (Stored())
            return TDCFileMethods(db).OpenRead(remote);
        auto file = std::make_unique<QFile>(path);
        if (!file->open(QIODevice::ReadOnly))
            throw EVoskException(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2")
                                     .arg(path, file->errorString()));
        return file;
    }
    // The first n bytes (all of a shorter file).
    QByteArray Head(qint64 n) const { return Open()->read(n); }
};

TVoskDocumentViewer::TVoskDocumentViewer(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("VoskDocumentViewer1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_stack = new QStackedWidget(this);
    m_stack->setObjectName(QStringLiteral("stPreview"));
    describe(m_stack, QStringLiteral("Vorschau"), QStringLiteral("Vorschau des Dokuments"));

    m_picturePage = new QWidget(m_stack);
    auto* pictureLayout = new QVBoxLayout(m_picturePage);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    m_image = new QLabel(m_picturePage);
    m_image->setObjectName(QStringLiteral("imgPreview"));
    m_image->setAlignment(Qt::AlignCenter);
    m_image->setMinimumSize(64, 64);
    m_image->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    describe(m_image, QStringLiteral("Vorschau"), QStringLiteral("Vorschau des Dokuments"));
    m_image->installEventFilter(this);
    pictureLayout->addWidget(m_image);
    m_stack->addWidget(m_picturePage);

    m_pdf = new QPdfDocument(this);
    m_pdfView = new QPdfView(m_stack);
    m_pdfView->setObjectName(QStringLiteral("pdfPreview"));
    describe(m_pdfView, QStringLiteral("PDF-Seiten"),
             QStringLiteral("Seiten des PDF-Dokuments (blättern mit Bild auf/ab)"));
    m_pdfView->setPageMode(QPdfView::PageMode::MultiPage);
    m_pdfView->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    m_pdfView->setDocument(m_pdf);
    m_stack->addWidget(m_pdfView);

    m_pages = new TVoskPageStrip(m_stack);
    m_stack->addWidget(m_pages);

    m_plain = new QPlainTextEdit(m_stack);
    m_plain->setObjectName(QStringLiteral("memoPreview"));
    m_plain->setReadOnly(true);
    m_plain->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_plain->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    describe(m_plain, QStringLiteral("Textinhalt"),
             QStringLiteral("Inhalt der Textdatei (nur lesen)"));
    m_stack->addWidget(m_plain);

    m_rich = new QTextEdit(m_stack);
    m_rich->setObjectName(QStringLiteral("rtfPreview"));
    m_rich->setReadOnly(true);
    describe(m_rich, QStringLiteral("Formatierter Text"),
             QStringLiteral("Inhalt des RTF-Dokuments (nur lesen)"));
    m_stack->addWidget(m_rich);

    m_mailPage = new QWidget(m_stack);
    m_mailPage->setObjectName(QStringLiteral("mailPreview"));
    describe(m_mailPage, QStringLiteral("Nachricht"), QStringLiteral("Vorschau der E-Mail"));
    auto* mailLayout = new QVBoxLayout(m_mailPage);
    mailLayout->setContentsMargins(0, 0, 0, 0);
    auto* headers = new QFormLayout;
    const auto headerRow = [&](const QString& caption, const QString& object, const QString& name,
                               const QString& tip) {
        auto* value = new QLabel(m_mailPage);
        value->setObjectName(object);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setTextFormat(Qt::PlainText);
        value->setWordWrap(true);
        describe(value, name, tip);
        auto* label = new QLabel(caption, m_mailPage);
        describe(label, name, tip);
        headers->addRow(label, value);
        return value;
    };
    m_mailFrom = headerRow(QStringLiteral("Von:"), QStringLiteral("lbMailFrom"),
                           QStringLiteral("Von"), QStringLiteral("Absender der Nachricht"));
    m_mailTo = headerRow(QStringLiteral("An:"), QStringLiteral("lbMailTo"), QStringLiteral("An"),
                         QStringLiteral("Empfänger der Nachricht"));
    m_mailCc = headerRow(QStringLiteral("Cc:"), QStringLiteral("lbMailCc"), QStringLiteral("Cc"),
                         QStringLiteral("Empfänger einer Kopie"));
    m_mailDate = headerRow(QStringLiteral("Datum:"), QStringLiteral("lbMailDate"),
                           QStringLiteral("Datum"), QStringLiteral("Sendedatum der Nachricht"));
    m_mailSubject = headerRow(QStringLiteral("Betreff:"), QStringLiteral("lbMailSubject"),
                              QStringLiteral("Betreff"), QStringLiteral("Betreff der Nachricht"));
    m_mailAttachments =
        headerRow(QStringLiteral("Anhänge:"), QStringLiteral("lbMailAttachments"),
                  QStringLiteral("Anhänge"), QStringLiteral("Dateinamen der Anhänge"));
    mailLayout->addLayout(headers);
    m_mailBody = new QPlainTextEdit(m_mailPage);
    m_mailBody->setObjectName(QStringLiteral("memoMailBody"));
    m_mailBody->setReadOnly(true);
    describe(m_mailBody, QStringLiteral("Nachrichtentext"),
             QStringLiteral("Text der Nachricht (nur lesen)"));
    mailLayout->addWidget(m_mailBody, 1);
    m_stack->addWidget(m_mailPage);

    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("lbPreviewShortened"));
    m_note->setWordWrap(true);
    describe(m_note, QStringLiteral("Hinweis zur Vorschau"),
             QStringLiteral("Die Vorschau zeigt nur den Anfang der Datei"));
    m_note->hide();
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("lbPreviewName"));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setWordWrap(true);
    describe(m_text, QStringLiteral("Dateiname"), QStringLiteral("Dateiname des Dokuments"));
    layout->addWidget(m_stack, 1);
    layout->addWidget(m_note);
    layout->addWidget(m_text);
    describe(this, QStringLiteral("Dokumentvorschau"), QStringLiteral("Vorschau des Dokuments"));
}

TVoskDocumentViewer::~TVoskDocumentViewer() {
    // The view must not draw a document that goes before it, nor the document read from a
    // source that went.
    m_pdfView->setDocument(nullptr);
    m_pdf->close();
}

QString TVoskDocumentViewer::PreviewText() const { return m_text->text(); }
QString TVoskDocumentViewer::ShortenedNote() const {
    return m_note->isHidden() ? QString() : m_note->text();
}

void TVoskDocumentViewer::LoadDocument(int pdId) {
    m_pdId = pdId;
    if (m_enabled)
        render();
}

void TVoskDocumentViewer::DisableDocument() {
    m_pdId = 0;
    render();
}

void TVoskDocumentViewer::SetViewerEnabled(bool enabled) {
    m_enabled = enabled;
    if (enabled && m_shownId != m_pdId)
        render();
}

void TVoskDocumentViewer::setShortened(const QString& note) {
    m_note->setText(note);
    m_note->setVisible(!note.isEmpty());
}

void TVoskDocumentViewer::clearShown() {
    m_picture = QImage();
    m_image->clear();
    setShortened({});
    m_pdf->close();
    m_pdfSource.reset();
    m_pages->Clear();
    m_plain->clear();
    m_rich->clear();
    m_mailBody->clear();
    m_stack->setCurrentWidget(m_picturePage);
}

void TVoskDocumentViewer::render() {
    clearShown();
    m_text->clear();
    m_kind.clear();
    m_shownId = m_pdId;
    if (m_pdId <= 0)
        return;
    TDokument doc;
    try {
        doc.AssignToDokId(m_pdId);
        if (!doc.HasRecord())
            return;
        const QString fileName = doc.FileName().isEmpty() ? doc.Path() : doc.FileName();
        m_text->setText(doc.Caption());
        Source src;
        src.db = &doc.Database();
        if (doc.isDMSDokument()) {
            const auto info = TDCFileMethods(src.db).FileInfo(doc.DMSRemoteFilename());
            if (!info)
                throw EVoskException(
                    QStringLiteral("Datei im Dokumentenspeicher fehlt: %1").arg(doc.DMSRemoteFilename()));
            src.remote = doc.DMSRemoteFilename();
            src.size = info->size;
        } else if (doc.isFileLink() && QFileInfo(doc.Path()).isFile()) {
            src.path = doc.Path();
            src.size = QFileInfo(doc.Path()).size();
        }
        const QMimeType mime =
            QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
        const QString suffix = QFileInfo(fileName).suffix().toLower();
        static const QStringList textSuffixes = {
            QStringLiteral("txt"), QStringLiteral("csv"), QStringLiteral("log"),
            QStringLiteral("xml"), QStringLiteral("json"), QStringLiteral("ini"),
            QStringLiteral("sql")};
        QString kind;
        if (suffix == u"pdf" || mime.name() == u"application/pdf")
            kind = QStringLiteral("pdf");
        else if (mime.name() == u"image/tiff")
            kind = QStringLiteral("tiff");
        else if (mime.name().startsWith(u"image/"))
            kind = QStringLiteral("image");
        else if (suffix == u"rtf" || mime.inherits(QStringLiteral("text/rtf")))
            kind = QStringLiteral("rtf");
        else if (suffix == u"eml" || mime.inherits(QStringLiteral("message/rfc822")))
            kind = QStringLiteral("mail");
        else if (textSuffixes.contains(suffix) || mime.inherits(QStringLiteral("text/plain")))
            kind = QStringLiteral("text");
        if (!src.Stored() && src.path.isEmpty())
            kind.clear();
        else if (kind.isEmpty() && mime.isDefault() && src.size > 0) {
            // No type by its name: the first bytes tell text from anything else.
            const QByteArray head = src.Head(VoskPreview::SniffBytes);
            if (head.trimmed().startsWith("{\\rtf"))
                kind = QStringLiteral("rtf");
            else if (VoskPreview::LooksLikeText(head))
                kind = QStringLiteral("text");
        }
        if (kind.isEmpty() || !showKind(doc, src, kind)) {
            clearShown();
            QIcon icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
            if (icon.isNull())
                icon = QFileIconProvider().icon(QFileIconProvider::File);
            m_image->setPixmap(icon.pixmap(64, 64));
            m_kind = QStringLiteral("file");
        }
    } catch (const EVoskException& e) {
        clearShown();
        m_text->setText(e.Message());
        m_kind = QStringLiteral("error");
    }
}

bool TVoskDocumentViewer::showKind(TDokument& doc, const Source& src, const QString& kind) {
    const auto local = [&]() -> QString {
        if (src.size > MaxPreviewBytes)
            return {};
        if (!src.Stored())
            return src.path;
        return doc.DMSGetFile(
            CurrentSession_UConstants().TempDir() + QStringLiteral("/Vorschau/%1/").arg(m_pdId),
            true, false);
    };
    bool shown = true;
    if (kind == u"pdf")
        shown = showPdf(src);
    else if (kind == u"tiff")
        shown = showTiff(src);
    else if (kind == u"image")
        shown = showImage(local());
    else if (kind == u"rtf")
        shown = showRtf(src);
    else if (kind == u"mail")
        showMail(src);
    else
        showText(src);
    if (shown)
        m_kind = kind;
    return shown;
}

bool TVoskDocumentViewer::showPdf(const Source& src) {
    if (src.Stored()) {
        m_pdfSource = src.Open();
        if (Rtl::HasPdfSignature(*m_pdfSource))
            m_pdf->load(m_pdfSource.get());
        else
            m_pdf->close();
    } else if (Rtl::FileHasPdfSignature(src.path)) {
        m_pdf->load(src.path);
    } else {
        m_pdf->close();
    }
    if (m_pdf->status() != QPdfDocument::Status::Ready || m_pdf->pageCount() <= 0) {
        m_pdf->close();
        m_pdfSource.reset();
        return false;
    }
    m_stack->setCurrentWidget(m_pdfView);
    return true;
}

bool TVoskDocumentViewer::showTiff(const Source& src) {
    int count = 0;
    double aspect = 1.414;
    TVoskPageStrip::PageLoader loader;
    try {
        if (src.Stored()) {
            TDCFileMethods store(src.db);
            count = store.GetImageCount(src.remote);
            if (count > 0) {
                Imaging::TTiffReader first(store.ReadImage(src.remote, 0));
                first.OpenPage(0);
                aspect = aspectOf(first.Params());
            }
            loader = [db = src.db, name = src.remote](int page, QSize most) {
                try {
                    Imaging::TTiffReader reader(TDCFileMethods(db).ReadImage(name, page));
                    reader.OpenPage(0);
                    return decodePage(reader, most);
                } catch (const EVoskException&) {
                    return QImage(); // the strip says the page cannot be read
                }
            };
        } else {
            auto input = std::make_shared<DeviceTiffInput>(src.Open());
            const QList<quint64> offsets = Imaging::TiffPageOffsets(*input);
            count = int(offsets.size());
            if (count > 0) {
                Imaging::TTiffReader first(*input);
                first.OpenAt(offsets[0]);
                aspect = aspectOf(first.Params());
            }
            loader = [input, offsets](int page, QSize most) {
                try {
                    Imaging::TTiffReader reader(*input);
                    reader.OpenAt(offsets.value(page));
                    return decodePage(reader, most);
                } catch (const EVoskException&) {
                    return QImage();
                }
            };
        }
    } catch (const Imaging::ETiffError&) {
        return false; // not a TIFF after all: by name and icon
    }
    if (count <= 0)
        return false;
    m_pages->SetPages(count, aspect, std::move(loader));
    m_stack->setCurrentWidget(m_pages);
    return true;
}

bool TVoskDocumentViewer::showImage(const QString& local) {
    if (local.isEmpty())
        return false;
    QImageReader reader(local);
    if (!reader.canRead())
        return false;
    QSize size = reader.size();
    if (size.isValid() && std::max(size.width(), size.height()) > kMaxSide) {
        size.scale(kMaxSide, kMaxSide, Qt::KeepAspectRatio);
        reader.setScaledSize(size);
    }
    m_picture = reader.read();
    if (m_picture.isNull())
        return false;
    m_stack->setCurrentWidget(m_picturePage);
    showPicture();
    return true;
}

void TVoskDocumentViewer::showText(const Source& src) {
    const bool cut = src.size > VoskPreview::MaxTextBytes;
    const VoskPreview::TDecodedText text =
        VoskPreview::DecodeText(src.Head(VoskPreview::MaxTextBytes), cut);
    m_plain->setPlainText(text.text);
    m_plain->setToolTip(QStringLiteral("Inhalt der Textdatei (nur lesen, Zeichensatz %1)")
                            .arg(text.encoding));
    if (cut)
        setShortened(QStringLiteral("Die Vorschau ist gekürzt: sie zeigt nur den Anfang der "
                                    "Datei (%1 von %2).")
                         .arg(sizeText(VoskPreview::MaxTextBytes), sizeText(src.size)));
    m_stack->setCurrentWidget(m_plain);
}

bool TVoskDocumentViewer::showRtf(const Source& src) {
    if (!ReadRtf.Assigned())
        return false;
    ReadRtf(src.Head(MaxRtfBytes), m_rich->document());
    if (src.size > MaxRtfBytes)
        setShortened(QStringLiteral("Die Vorschau ist gekürzt: sie zeigt nur den Anfang der "
                                    "Datei (%1 von %2).")
                         .arg(sizeText(MaxRtfBytes), sizeText(src.size)));
    m_stack->setCurrentWidget(m_rich);
    return true;
}

void TVoskDocumentViewer::showMail(const Source& src) {
    // Streamed in pieces: attachments pass through the reader without being kept.
    VoskPreview::TMailPreviewReader reader;
    const std::unique_ptr<QIODevice> bytes = src.Open();
    for (qint64 at = 0; at < MaxPreviewBytes;) {
        const QByteArray chunk = bytes->read(kChunk);
        if (chunk.isEmpty())
            break;
        reader.Feed(chunk);
        at += chunk.size();
    }
    const VoskPreview::TMailPreview mail = reader.Finish();
    m_mailFrom->setText(mail.from);
    m_mailTo->setText(mail.to);
    m_mailCc->setText(mail.cc);
    m_mailDate->setText(mail.sent.isValid()
                            ? QLocale(QLocale::German)
                                  .toString(mail.sent.toLocalTime(),
                                            QStringLiteral("ddd, dd.MM.yyyy HH:mm"))
                            : mail.date);
    m_mailSubject->setText(mail.subject);
    m_mailAttachments->setText(mail.attachments.join(QStringLiteral(", ")));
    auto* form = static_cast<QFormLayout*>(m_mailPage->layout()->itemAt(0)->layout());
    form->setRowVisible(m_mailCc, !mail.cc.isEmpty());
    form->setRowVisible(m_mailAttachments, !mail.attachments.isEmpty());
    m_mailBody->setPlainText(mail.body);
    if (mail.shortened || src.size > MaxPreviewBytes)
        setShortened(QStringLiteral("Die Vorschau ist gekürzt: die Nachricht ist länger, als die "
                                    "Vorschau zeigt."));
    m_stack->setCurrentWidget(m_mailPage);
}

void TVoskDocumentViewer::showPicture() {
    if (m_picture.isNull())
        return;
    const QSize room = m_image->size().boundedTo(m_picture.size());
    m_image->setPixmap(QPixmap::fromImage(
        m_picture.scaled(room.isEmpty() ? QSize(64, 64) : room, Qt::KeepAspectRatio,
                          Qt::SmoothTransformation)));
}

bool TVoskDocumentViewer::eventFilter(QObject* watched, QEvent* e) {
    // The picture follows the room its label gets from the layout.
    if (watched == m_image && e->type() == QEvent::Resize)
        showPicture();
    return QWidget::eventFilter(watched, e);
}
