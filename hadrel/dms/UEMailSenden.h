#pragma once
// TVoskSendMail: the one way in which the system hands an e-mail to the user's mail program. The
// setting "MailSendMethod" decides how: the mail program's compose window through xdg-email, or an
// unsent draft (.eml, "X-Unsent: 1") in the export folder, opened with the desktop's program for
// it. The sender never talks to a mail server itself.

#include "UEMailSenden.Text.h"

#include <HookSlot.h>

#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

class TVoskSendMail : public QObject {
    Q_OBJECT
public:
    using TAttachmentLink = UEMailSenden::TAttachmentLink;
    using TAttachmentLinkSource = UEMailSenden::TAttachmentLinkSource;

    TVoskSendMail();
    ~TVoskSendMail() override;

    QString MailTo; // separated by "," or ";"
    QString Subject;
    QString BodyText;            // CR LF line ends; the send paths append to it
    QStringList Attachments;     // full paths of the files to attach
    QStringList AttachmentNames; // further files, only listed at the end of the body
    // Linked attachments in the order they were added, one per SourceFilename.
    std::vector<TAttachmentLink> AttachmentsLinked;

    // Called with the sender before a draft's parts are built: turns document links of the body
    // into linked attachments. Filled by the document window's unit.
    static Rtl::HookSlot<void(QObject*)> FOnBeforeEMLAddAttachments;

    // Creates a sender with these values, sends, frees it; true when the message was handed over.
    // A failure has been shown to the user and ends in the silent abort.
    static bool Execute(const QString& mailTo, const QString& subject, const QString& bodyText,
                        const QStringList& attachments, const QStringList& attachmentNames);
    // Sends by "MailSendMethod" (its low byte): 0, 1, 3 to the mail program with "SMTP:" addresses,
    // 4 with the addresses as they are, 5 as a draft; 2 and anything else are refused.
    bool Execute();
    // The mail program's compose window (xdg-email).
    bool ExecuteMAPI(bool MAPIwithoutSMTP);
    // The unsent draft, opened with the desktop's program for .eml files.
    bool ExecuteWithEML();

    void CheckWarnLinkedAttachments(bool ALinkedAllowed);
    void AddAttachment(const QString& Attachment, const QString& AttachName);
    // For every entry ("hint|path" or "path") whose folder is exportedPath, its file name as a
    // further attachment name.
    void AddAttachments(const QStringList& AttachNames, const QString& ExportedPath);
    void AddAttachmentLinked(TAttachmentLinkSource ASrc, const QString& ASrcFilename,
                             const QString& AID, const QString& ADisplayFilename);
    static QList<TAttachmentLink> SearchAttachmentLinks(const QString& AText);
    void Clear(bool onlyAttachments);
    // Packs the attachments after the first into a new archive in the export folder, which takes
    // their place. The files themselves stay.
    void doCompress();

    // What the last ExecuteMAPI handed to the mail program, and the last draft written.
    const UEMailSenden::TMailHandOff& HandOff() const { return m_handOff; }
    const QString& DraftFileName() const { return m_draftFileName; }

private:
    QStringList Recipients() const;

    UEMailSenden::TMailHandOff m_handOff;
    QString m_draftFileName;
};

// The task dialog's mail hand-off: TVoskSendMail::Execute with the same arguments.
bool VoskSendMailExecute(const QString& MailTo, const QString& Subject, const QString& BodyText,
                         const QStringList& Attachments, const QStringList& AttachmentNames);

// The unit's routines live beside their engine (UEMailSenden.Text.h); ReadKey needs the registry.
namespace UEMailSenden {
enum class TRegistryRoot { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };
// Value str of key under root ("" for the key's default value); "" when key or value is missing.
QString ReadKey(TRegistryRoot root, const QString& key, const QString& str);
} // namespace UEMailSenden
