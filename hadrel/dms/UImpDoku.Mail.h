#pragma once
// The document window's part in mailing: the mail sender's hook that turns document links of an
// HTML body (src="cid://dokument/?pd_id=4711") into attachments, and the placeholder images that
// stand in for a document that is gone or that the user may not see.

#include <QString>

class QObject;

namespace UImpDoku {

// The hook TVoskSendMail::FOnBeforeEMLAddAttachments: for every link of the sender's body, the
// document's file (when the user may see it), a "denied" picture named "accessdenied_..." (when
// not), or a "not found" picture; a link to a file by name takes that file.
void _PrepareVoskEmailLinkedAttachements(QObject* ASender);

// A PNG in the session's temporary folder, "_denied_<prefix>__<ticks>.png" or
// "_notfound_<prefix>__<ticks>.png", removed when the program ends; returns its path.
QString _GetFNDenied(const QString& APrefix);
QString _GetFNNotFound(const QString& APrefix);

} // namespace UImpDoku
