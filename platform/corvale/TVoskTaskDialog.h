#pragma once
// The task dialog's mail hand-off: the common components offer "send by e-mail" without knowing a
// mail program. The forms package's mail sender fills the slot at load and empties it at unload;
// an empty slot means that no mail sender is there.

#include <HookSlot.h>

#include <QString>
#include <QStringList>

class TVoskTaskDialog final {
public:
    // Recipients, subject, HTML body, attachment files and the names they are sent under; true
    // when the message was handed over.
    using TSendMail = bool(const QString& mailTo, const QString& subject, const QString& body,
                           const QStringList& attachments, const QStringList& attachmentNames);
    static Rtl::HookSlot<TSendMail> FVoskSendMail;
};
