#include "TVoskDocumentViewer.h"

#include <Dataclient_files.h>
#include <UConstants.h>
#include <Ukorvexclasses.Dokument.h>
#include <VoskExceptions.h>

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMimeDatabase>
#include <QPdfDocument>
#include <QVBoxLayout>

namespace {
// Pictures are decoded at most this large; the label scales them down further to fit.
constexpr int kMaxSide = 2048;
} // namespace

TVoskDocumentViewer::TVoskDocumentViewer(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("VoskDocumentViewer1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("imgPreview"));
    m_image->setAlignment(Qt::AlignCenter);
    m_image->setMinimumSize(64, 64);
    m_image->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_image->setAccessibleName(QStringLiteral("Vorschau"));
    m_image->setToolTip(QStringLiteral("Vorschau des Dokuments"));
    m_image->installEventFilter(this);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("lbPreviewName"));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setWordWrap(true);
    m_text->setAccessibleName(QStringLiteral("Dateiname"));
    m_text->setToolTip(QStringLiteral("Dateiname des Dokuments"));
    layout->addWidget(m_image, 1);
    layout->addWidget(m_text);
    setAccessibleName(QStringLiteral("Dokumentvorschau"));
    setToolTip(QStringLiteral("Vorschau des Dokuments"));
}

QString TVoskDocumentViewer::PreviewText() const { return m_text->text(); }

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

void TVoskDocumentViewer::render() {
    m_picture = QImage();
    m_image->clear();
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
        const QString name = doc.Caption();
        const QString suffix = QFileInfo(doc.FileName().isEmpty() ? doc.Path() : doc.FileName())
                                   .suffix()
                                   .toLower();
        m_text->setText(name);
        QString local;
        if (doc.isDMSDokument()) {
            const auto info = TDCFileMethods(&doc.Database()).FileInfo(doc.DMSRemoteFilename());
            if (!info)
                throw EVoskException(
                    QStringLiteral("Datei im Dokumentenspeicher fehlt: %1").arg(doc.DMSRemoteFilename()));
            if (info->size <= MaxPreviewBytes)
                local = doc.DMSGetFile(CurrentSession_UConstants().TempDir() +
                                           QStringLiteral("/Vorschau/%1/").arg(m_pdId),
                                       true, false);
        } else if (doc.isFileLink() && QFileInfo(doc.Path()).isFile() &&
                   QFileInfo(doc.Path()).size() <= MaxPreviewBytes) {
            local = doc.Path();
        }
        if (!local.isEmpty() && suffix == u"pdf") {
            QPdfDocument pdf;
            if (pdf.load(local) == QPdfDocument::Error::None && pdf.pageCount() > 0) {
                const QSizeF points = pdf.pagePointSize(0);
                const qreal scale = kMaxSide / std::max(points.width(), points.height());
                m_picture = pdf.render(0, (points * std::min<qreal>(scale, 2.0)).toSize());
                if (!m_picture.isNull())
                    m_kind = QStringLiteral("pdf");
            }
        } else if (!local.isEmpty()) {
            QImageReader reader(local);
            if (reader.canRead()) {
                QSize size = reader.size();
                if (size.isValid() && std::max(size.width(), size.height()) > kMaxSide) {
                    size.scale(kMaxSide, kMaxSide, Qt::KeepAspectRatio);
                    reader.setScaledSize(size);
                }
                m_picture = reader.read();
                if (!m_picture.isNull())
                    m_kind = QStringLiteral("image");
            }
        }
        if (m_kind.isEmpty()) {
            m_picture = QImage();
            const QMimeType mime = QMimeDatabase().mimeTypeForFile(
                doc.FileName().isEmpty() ? doc.Path() : doc.FileName(),
                QMimeDatabase::MatchExtension);
            QIcon icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
            if (icon.isNull())
                icon = QFileIconProvider().icon(QFileIconProvider::File);
            m_image->setPixmap(icon.pixmap(64, 64));
            m_kind = QStringLiteral("file");
            return;
        }
        showPicture();
    } catch (const EVoskException& e) {
        m_picture = QImage();
        m_image->clear();
        m_text->setText(e.Message());
        m_kind = QStringLiteral("error");
    }
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
