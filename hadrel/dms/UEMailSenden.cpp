#include "UEMailSenden.h"

#include "Korvexutils.h"
#include "TVoskTaskDialog.h"
#include "UDM1.h"
#include "UEMailSenden.Archive.h"
#include "UEMailSenden.Mime.h"
#include "UShutdownFiles.h"
#include "Uloghelper.h"
#include "UnitTable.h"
#include "Vcl.Registry.h"
#include "Vcl.Services.h"
#include "VoskExceptionHelper.h"
#include "VoskExceptions.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <functional>

using namespace UEMailSenden;

Rtl::HookSlot<void(QObject*)> TVoskSendMail::FOnBeforeEMLAddAttachments;

namespace {

const QString kCrLf = QStringLiteral("\r\n");
// How long the mail program's starter may take to say that it failed; after that it has the
// message and goes on by itself.
constexpr int kHandOffWaitMs = 4000;

TDM1* ConnectedDM() {
    TDM1* dm = DM1();
    return dm && dm->Connected() ? dm : nullptr;
}

// Runs one send path; a failure is logged and shown under the path's message, and the action
// ends with the silent abort.
bool SendPath(const QString& message, const std::function<bool()>& path) {
    try {
        return path();
    } catch (const EAbort&) {
        throw;
    } catch (const std::exception& e) {
        if (TDM1* dm = ConnectedDM())
            dm->LogEvent(message, &e);
        else
            TKorvexLog::Error(message + QLatin1Char(' ') +
                              Rtl::ExceptionMessage(std::current_exception()));
        Korvexutils::RaiseError(message + QStringLiteral("\n\n") +
                                Rtl::ExceptionMessage(std::current_exception()));
    }
}

} // namespace

TVoskSendMail::TVoskSendMail() {
    setObjectName(QStringLiteral("VoskSendMail"));
    Clear(false);
}

TVoskSendMail::~TVoskSendMail() {
    Clear(false);
}

bool TVoskSendMail::Execute(const QString& mailTo, const QString& subject, const QString& bodyText,
                            const QStringList& attachments, const QStringList& attachmentNames) {
    TVoskSendMail mail;
    mail.MailTo = mailTo;
    mail.Subject = subject;
    mail.BodyText = bodyText;
    mail.Attachments = attachments;
    mail.AttachmentNames = attachmentNames;
    return mail.Execute();
}

bool TVoskSendMail::Execute() {
    TKorvexLog::LogMessage(QStringLiteral("InternalSendMail: Bereite Email Versand vor."), 3);
    if (!AttachmentNames.isEmpty())
        BodyText += kCrLf + kCrLf + makeText(31006, QStringLiteral("Weitere Dateianhänge:")) +
                    kCrLf + AttachmentNames.join(kCrLf);
    TDM1* dm = ConnectedDM();
    const int method = (dm ? dm->GetIntSetting(QStringLiteral("MailSendMethod"), 0) : 0) & 0xFF;
    const QString mapiError = QStringLiteral("Fehler bei E-Mail-Versand über MAPI.");
    switch (method) {
    case 0:
    case 1:
    case 3:
        return SendPath(mapiError, [this] { return ExecuteMAPI(false); });
    case 4:
        return SendPath(mapiError, [this] { return ExecuteMAPI(true); });
    case 2:
        Korvexutils::RaiseCriticalError(QStringLiteral("TVoskSendMail: not implemented"));
    case 5:
        return SendPath(
            QStringLiteral("Fehler bei E-Mail-Versand mittels Standard-Programm für .eml Dateien."),
            [this] { return ExecuteWithEML(); });
    default:
        Korvexutils::RaiseCriticalError(QStringLiteral("TVoskSendMail: unknown"));
    }
}

QStringList TVoskSendMail::Recipients() const {
    const QStringList list = SplitRecipients(MailTo);
    for (const QString& r : list)
        if (!IsPlainAddress(r))
            throw EVoskException(makeText(13207, QStringLiteral("Ungültige E-Mail-Adresse.")) +
                                 kCrLf + QStringLiteral("Email: \"") + r + QLatin1Char('"'));
    return list;
}

bool TVoskSendMail::ExecuteMAPI(bool MAPIwithoutSMTP) {
    Subject = ExpandEnvVars(Subject);
    BodyText = ExpandEnvVars(BodyText);
    CheckWarnLinkedAttachments(false);
    TMailHandOff hand;
    for (const QString& r : Recipients())
        hand.recipients << (MAPIwithoutSMTP ? r : QStringLiteral("SMTP:") + r);
    hand.subject = OneString(Subject);
    hand.noteText = BodyText;
    for (const QString& a : std::as_const(Attachments)) {
        const QFileInfo info(a);
        if (!a.isEmpty() && info.isFile())
            hand.files << info.absoluteFilePath();
    }
    m_handOff = hand;

    const QString program = QStringLiteral("xdg-email");
    const Vcl::TRunResult run =
        Vcl::Shell::Instance().Run(program, XdgEmailArguments(hand), kHandOffWaitMs);
    if (!run.started)
        throw EVoskException(QStringLiteral("Das Programm %1 kann nicht gestartet werden: %2")
                                 .arg(program, run.errorText));
    if (!run.Succeeded()) {
        QString detail = run.exitCode < 0
                             ? QStringLiteral("Das Programm %1 ist abgestürzt.").arg(program)
                             : QStringLiteral("Das Programm %1 endete mit dem Code %2.")
                                   .arg(program)
                                   .arg(run.exitCode);
        if (!run.errorText.isEmpty())
            detail += QLatin1Char('\n') + run.errorText;
        throw EVoskException(detail);
    }
    return true;
}

bool TVoskSendMail::ExecuteWithEML() {
    QString fontFamily;
    int fontSize = 0;
    if (TDM1* dm = ConnectedDM()) {
        fontFamily = dm->GetSetting(QStringLiteral("Mail_FontFamily"));
        fontSize = dm->GetIntSetting(QStringLiteral("Mail_FontSize"), 0);
    }
    TMimeDraft draft;
    draft.subject = Subject;
    draft.to = Recipients();
    FOnBeforeEMLAddAttachments(this);

    draft.plainText = BodyText;
    BodyText.replace(kCrLf, QStringLiteral("<br />"));
    BodyText.replace(QLatin1Char('\n'), QStringLiteral("<br />"));
    int k = 0;
    for (const TAttachmentLink& link : AttachmentsLinked) {
        const QString cid = QStringLiteral("%1_attlnk_%2").arg(k++).arg(ContentIdgenerate());
        draft.linked.append({link.SourceFilename, cid, link.DisplayFilename});
        RewriteLinks(BodyText, link, cid);
    }
    CheckWarnLinkedAttachments(true);
    draft.html = HtmlDocument(BodyText, fontFamily, fontSize);
    for (qsizetype i = 0; i < Attachments.size(); ++i)
        draft.attachments.append(
            {Attachments[i], QStringLiteral("%1_attach_%2").arg(i).arg(ContentIdgenerate()), {}});

    const QString folder = CurrentSession_UConstants().ExportDir();
    if (!QDir().mkpath(folder))
        throw EVoskException(
            QStringLiteral("Der Ordner \"%1\" kann nicht angelegt werden.").arg(folder));
    const QString fileName = QDir(folder).filePath(ContentIdgenerate() + QStringLiteral(".eml"));
    WriteMimeDraft(draft, fileName);
    DeleteFileOnShutdown(fileName);
    m_draftFileName = fileName;
    if (!Vcl::Shell::Instance().OpenUrl(QUrl::fromLocalFile(fileName)))
        throw EVoskException(
            QStringLiteral("Der Entwurf \"%1\" kann nicht geöffnet werden: kein Programm für "
                           ".eml-Dateien.")
                .arg(fileName));
    return true;
}

void TVoskSendMail::CheckWarnLinkedAttachments(bool ALinkedAllowed) {
    if (!ALinkedAllowed && !AttachmentsLinked.empty())
        BodyText +=
            kCrLf + kCrLf + makeText(17189, QStringLiteral("Verlinkte Anhänge")) +
            QStringLiteral(" <> ") + makeText(26614, QStringLiteral("Anhänge des Mailprogramms")) +
            kCrLf +
            makeText(34061, QStringLiteral("Warnung! Verlinkte Anhänge nicht unterstützt!")) +
            kCrLf;
    else if (ALinkedAllowed && !LinkMatches(BodyText).isEmpty())
        BodyText +=
            kCrLf + kCrLf +
            makeText(34060,
                     QStringLiteral("Warnung! E-Mail enthält verwaiste verlinkte Anhänge!")) +
            kCrLf;
}

void TVoskSendMail::AddAttachment(const QString& Attachment, const QString& AttachName) {
    if (!Attachment.isEmpty() && !Attachments.contains(Attachment))
        Attachments.append(Attachment);
    if (!AttachName.isEmpty() && !AttachmentNames.contains(AttachName))
        AttachmentNames.append(AttachName);
}

void TVoskSendMail::AddAttachments(const QStringList& AttachNames, const QString& ExportedPath) {
    const QString exported = QDir::cleanPath(ExportedPath);
    for (const QString& entry : AttachNames) {
        const qsizetype bar = entry.indexOf(QLatin1Char('|'));
        const QFileInfo info(bar < 0 ? entry : entry.mid(bar + 1));
        if (QDir::cleanPath(info.path()).compare(exported, Qt::CaseInsensitive) == 0)
            AddAttachment(QString(), info.fileName());
    }
}

void TVoskSendMail::AddAttachmentLinked(TAttachmentLinkSource ASrc, const QString& ASrcFilename,
                                        const QString& AID, const QString& ADisplayFilename) {
    for (TAttachmentLink& l : AttachmentsLinked)
        if (l.SourceFilename == ASrcFilename) {
            if (!AID.isEmpty() && l.ID.isEmpty())
                l.ID = AID;
            return;
        }
    AttachmentsLinked.push_back({ASrc, ASrcFilename, AID, ADisplayFilename});
}

QList<TVoskSendMail::TAttachmentLink> TVoskSendMail::SearchAttachmentLinks(const QString& AText) {
    return UEMailSenden::SearchAttachmentLinks(AText);
}

void TVoskSendMail::Clear(bool onlyAttachments) {
    if (!onlyAttachments) {
        MailTo.clear();
        Subject.clear();
        BodyText.clear();
    }
    Attachments.clear();
    AttachmentNames.clear();
    AttachmentsLinked.clear();
}

void TVoskSendMail::doCompress() {
    try {
        if (Attachments.size() <= 1)
            return;
        // A new archive each time, so that no earlier mail's files travel along.
        const QString target =
            QDir(CurrentSession_UConstants().ExportDir())
                .filePath(QStringLiteral("attachments_%1.zip").arg(ContentIdgenerate()));
        try {
            WriteZipArchive(target, Attachments.mid(1));
        } catch (const EVoskException& e) {
            Korvexutils::RaiseCriticalError(QStringLiteral("TVoskSendMail.doCompress: ") +
                                            e.Message());
        }
        Attachments = QStringList{Attachments.first()};
        if (AttachmentNames.size() > 1)
            AttachmentNames = QStringList{AttachmentNames.first()};
        AddAttachment(target, QString());
        DeleteFileOnShutdown(target);
    } catch (...) {
        TVoskExceptionHelper::InsertStackInfo(std::current_exception(),
                                              QStringLiteral("TVoskSendMail.doCompress"));
    }
}

bool VoskSendMailExecute(const QString& MailTo, const QString& Subject, const QString& BodyText,
                         const QStringList& Attachments, const QStringList& AttachmentNames) {
    return TVoskSendMail::Execute(MailTo, Subject, BodyText, Attachments, AttachmentNames);
}

namespace UEMailSenden {

QString ReadKey(TRegistryRoot root, const QString& key, const QString& str) {
    // One registry file serves both roots; the machine's keys live below their own root key.
    QString path = key.startsWith(QLatin1Char('\\')) ? key.mid(1) : key;
    if (root == TRegistryRoot::HKEY_LOCAL_MACHINE)
        path = QStringLiteral("HKEY_LOCAL_MACHINE\\") + path;
    Vcl::TRegistry reg;
    if (!reg.OpenKeyReadOnly(QLatin1Char('\\') + path) || !reg.ValueExists(str))
        return {};
    return reg.ReadString(str);
}

} // namespace UEMailSenden

namespace {
void InitUnit() {
    TVoskTaskDialog::FVoskSendMail.Set(&VoskSendMailExecute);
}
void FiniUnit() {
    TVoskTaskDialog::FVoskSendMail.Reset();
}
} // namespace

KORVEX_UNIT("hadrel", "UEMailSenden", InitUnit, FiniUnit);
