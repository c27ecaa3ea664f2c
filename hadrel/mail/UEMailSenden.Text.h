#pragma once
// The text side of the mail sender, without widgets: environment references in subjects and
// bodies, recipient lists, content ids, the document-link notation of HTML bodies and the
// argument list that hands a message to the desktop's mail program.

#include <QList>
#include <QString>
#include <QStringList>

namespace UEMailSenden {

// Where a linked attachment comes from: a document of the document management by its id, or a
// file by its name.
enum class TAttachmentLinkSource { alsDMS = 0, alsFile = 1 };

struct TAttachmentLink final {
    TAttachmentLinkSource Source = TAttachmentLinkSource::alsDMS;
    QString SourceFilename;  // the file that becomes the attachment
    QString ID;              // document id for alsDMS
    QString DisplayFilename; // the name the mail shows; may be empty
    bool operator==(const TAttachmentLink&) const = default;
};

// The environment variable's value; when it is empty or unset, "date", "time" and "cd" (any case)
// give today's date, the current time and the current folder in the user's locale, any other
// name an empty text.
QString GetEnvVariable(const QString& name);
// Replaces every "%NAME%" (letters, digits, underscores) by GetEnvVariable(NAME). "%%" vanishes,
// a percent sign that does not start a reference stays.
QString ExpandEnvVars(const QString& source);
// Splits source at every separator into list. Without includeSeparator each part is trimmed, with
// it the separator stays at the part's end; empty parts only with includeEmpty, and never the
// last one.
void ExtractList(const QString& source, QStringList& list, const QString& separators,
                 bool includeEmpty, bool includeSeparator);
// The recipients of a "a@x; b@y," list, trimmed, empty entries left out.
QStringList SplitRecipients(const QString& mailTo);
// s with every run of control characters replaced by one blank.
QString OneString(const QString& s);
// Two random numbers in upper-case hexadecimal, at least four digits each.
QString ContentIdgenerate();

// One match of the link notation src="cid://dokument/?pd_id=4711&displayname=Plan.pdf" (or
// filename=..., in single or double quotes, any case).
struct TLinkMatch final {
    qsizetype valueStart = 0; // the value from "cid:" on, without the quotes
    qsizetype valueLength = 0;
    QString kind;        // "pd_id" or "filename", as written
    QString value;       // the id or file name (word characters)
    QString displayName; // empty when the link names none
};
QList<TLinkMatch> LinkMatches(const QString& text);
// The links of text in text order.
QList<TAttachmentLink> SearchAttachmentLinks(const QString& text);
// Points every link of text that refers to link (by document id for "pd_id", by file name for
// "filename", without regard to case) at contentId: the whole value becomes "cid:" + contentId.
// Returns how many were rewritten.
int RewriteLinks(QString& text, const TAttachmentLink& link, const QString& contentId);

// The HTML document of a draft around body (already HTML); a font size of 0 or less sets no style.
QString HtmlDocument(const QString& body, const QString& fontFamily, int fontSize);

// What the desktop's mail program gets: recipients (with the address type "SMTP:" unless the
// method sends addresses as they are), subject, note text and the files to attach.
struct TMailHandOff final {
    QStringList recipients;
    QString subject;
    QString noteText;
    QStringList files;
};
// The argument list of xdg-email for hand: options first, the addresses last, without their
// address type.
QStringList XdgEmailArguments(const TMailHandOff& hand);

} // namespace UEMailSenden
