// Feeds arbitrary text to the mail sender's text routines: the document-link notation and its
// rewrite, environment references, recipient lists and the address check. None may crash or hang,
// and each keeps its promises on any input.
#include "UEMailSenden.Mime.h"
#include "UEMailSenden.Text.h"

#include <cstdlib>

using namespace UEMailSenden;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    const QList<TAttachmentLink> links = SearchAttachmentLinks(text);
    if (links.size() != LinkMatches(text).size())
        std::abort();
    QString body = text;
    for (const TAttachmentLink& l : links) {
        const int before = int(LinkMatches(body).size());
        const int n = RewriteLinks(body, l, QStringLiteral("0_attlnk_ABCD1234"));
        if (n > before)
            std::abort();
    }

    // Without a percent sign there is nothing to expand.
    const QString expanded = ExpandEnvVars(text);
    if (!text.contains(QLatin1Char('%')) && expanded != text)
        std::abort();

    for (const QString& r : SplitRecipients(text)) {
        if (r.isEmpty() || r != r.trimmed() || r.contains(QLatin1Char(',')) ||
            r.contains(QLatin1Char(';')))
            std::abort();
        if (IsPlainAddress(r) && (r.contains(QLatin1Char(' ')) || r.contains(QLatin1Char('?'))))
            std::abort();
    }

    const QString one = OneString(text);
    for (QChar c : one)
        if (c.unicode() < 32)
            std::abort();
    if (one.size() > text.size())
        std::abort();
    return 0;
}
