#include "UImpDoku.Mail.h"

#include "DMSys.h"
#include "TUserRights.h"
#include "UConstants.h"
#include "UEMailSenden.h"
#include "UShutdownFiles.h"
#include "Ukorvexclasses.Dokument.h"
#include "UnitTable.h"
#include "VoskExceptions.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include <optional>

namespace UImpDoku {

namespace {

using Source = UEMailSenden::TAttachmentLinkSource;

// The two pictures are drawn once per hook call and dropped when it ends.
std::optional<QImage> g_denied, g_notFound;

const QImage& Picture(std::optional<QImage>& slot, TImageList* list, int index) {
    if (!slot) {
        QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        list->Icon(index).paint(&p, image.rect());
        p.end();
        slot = image;
    }
    return *slot;
}

QString WritePicture(const QImage& image, const QString& kind, const QString& prefix) {
    // The prefix is a document id or a file name of word characters (the link notation's).
    const QString path = QDir(CurrentSession_UConstants().TempDir())
                             .filePath(QStringLiteral("_%1_%2__%3.png")
                                           .arg(kind, prefix)
                                           .arg(QDateTime::currentMSecsSinceEpoch()));
    if (!image.save(path, "PNG"))
        throw EVoskException(
            QStringLiteral("Das Platzhalterbild \"%1\" kann nicht geschrieben werden.").arg(path));
    DeleteFileOnShutdown(path);
    return path;
}

} // namespace

QString _GetFNDenied(const QString& APrefix) {
    return WritePicture(Picture(g_denied, DMSys()->ImageList(), 8), QStringLiteral("denied"),
                        APrefix);
}

QString _GetFNNotFound(const QString& APrefix) {
    return WritePicture(Picture(g_notFound, DMSys()->ImageListHot(), 307),
                        QStringLiteral("notfound"), APrefix);
}

void _PrepareVoskEmailLinkedAttachements(QObject* ASender) {
    auto* mail = qobject_cast<TVoskSendMail*>(ASender);
    if (!mail)
        return;
    struct DropPictures {
        ~DropPictures() {
            g_denied.reset();
            g_notFound.reset();
        }
    } dropPictures;

    for (const UEMailSenden::TAttachmentLink& link :
         TVoskSendMail::SearchAttachmentLinks(mail->BodyText)) {
        if (link.Source == Source::alsDMS) {
            TDokument doc;
            bool numeric = false;
            const int id = link.ID.toInt(&numeric);
            doc.AssignToDokId(numeric ? id : -1);
            QString file, display = link.DisplayFilename;
            if (doc.IsEmpty()) {
                file = _GetFNNotFound(link.ID);
            } else if (TUserRights::CanDoDMSFileAction(doc.DokType(), doc.Id(), 0, false)) {
                file = doc.DMSGetFile(QString(), true, true);
            } else {
                file = _GetFNDenied(doc.IdText());
                display = QStringLiteral("accessdenied_") + link.DisplayFilename;
            }
            mail->AddAttachmentLinked(Source::alsDMS, file, link.ID, display);
        } else {
            QString file = link.SourceFilename;
            if (!QFileInfo::exists(file))
                file = _GetFNNotFound(QFileInfo(link.SourceFilename).completeBaseName());
            mail->AddAttachmentLinked(Source::alsFile, file, link.ID, link.DisplayFilename);
        }
    }
}

} // namespace UImpDoku

namespace {
void InitUnit() {
    TVoskSendMail::FOnBeforeEMLAddAttachments.Set(&UImpDoku::_PrepareVoskEmailLinkedAttachements);
}
void FiniUnit() {
    TVoskSendMail::FOnBeforeEMLAddAttachments.Reset();
}
} // namespace

KORVEX_UNIT("hadrel", "UImpDoku.Mail", InitUnit, FiniUnit);
