#include "UEMailSenden.Text.h"

#include <QDate>
#include <QDir>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTime>

namespace UEMailSenden {

namespace {

bool IsNameChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_';
}

const QRegularExpression& LinkExpression() {
    // Without Unicode properties \w is [A-Za-z0-9_], as the stored bodies were written for.
    static const QRegularExpression re(
        QStringLiteral(
            R"(src\=("|')(cid\:(\/\/dokument\/\?(pd_id|filename)\=(\w+))(&displayname\=([\w\.]+))?)("|'))"),
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

} // namespace

QString GetEnvVariable(const QString& name) {
    const QString value = qEnvironmentVariable(name.toLocal8Bit().constData());
    if (!value.isEmpty())
        return value;
    const QString lower = name.toLower();
    const QLocale locale = QLocale::system();
    if (lower == QLatin1String("date"))
        return locale.toString(QDate::currentDate(), QLocale::ShortFormat);
    if (lower == QLatin1String("time"))
        return locale.toString(QTime::currentTime(), QLocale::LongFormat);
    if (lower == QLatin1String("cd"))
        return QDir::toNativeSeparators(QDir::currentPath());
    return {};
}

QString ExpandEnvVars(const QString& source) {
    QString s = source;
    qsizetype i = 0;
    while (i < s.size()) {
        if (s[i] != QLatin1Char('%')) {
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        while (j < s.size() && IsNameChar(s[j]))
            ++j;
        if (j < s.size() && s[j] == QLatin1Char('%')) {
            const QString value = GetEnvVariable(s.mid(i + 1, j - i - 1));
            s.replace(i, j - i + 1, value);
            i += value.size();
        } else {
            i = j + 1;
        }
    }
    return s;
}

void ExtractList(const QString& source, QStringList& list, const QString& separators,
                 bool includeEmpty, bool includeSeparator) {
    qsizetype start = 0;
    for (qsizetype i = 0; i <= source.size(); ++i) {
        const bool atEnd = i == source.size();
        if (!atEnd && !separators.contains(source[i]))
            continue;
        QString part = source.mid(start, i - start + (includeSeparator && !atEnd ? 1 : 0));
        if (!includeSeparator)
            part = part.trimmed();
        if (!part.isEmpty() || (includeEmpty && !atEnd))
            list.append(part);
        start = i + 1;
    }
}

QStringList SplitRecipients(const QString& mailTo) {
    QStringList list;
    ExtractList(mailTo, list, QStringLiteral(",;"), false, false);
    for (QString& r : list)
        r = r.trimmed();
    return list;
}

QString OneString(const QString& s) {
    QString out;
    out.reserve(s.size());
    bool inRun = false;
    for (QChar c : s) {
        if (c.unicode() < 32) {
            if (!inRun)
                out += QLatin1Char(' ');
            inRun = true;
        } else {
            out += c;
            inRun = false;
        }
    }
    return out;
}

QString ContentIdgenerate() {
    QRandomGenerator* g = QRandomGenerator::global();
    auto hex = [](quint32 v) {
        return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper();
    };
    return hex(g->bounded(2147483647u)) + hex(g->bounded(2147483647u));
}

QList<TLinkMatch> LinkMatches(const QString& text) {
    QList<TLinkMatch> result;
    QRegularExpressionMatchIterator it = LinkExpression().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (m.lastCapturedIndex() < 5 || !m.hasCaptured(4))
            continue;
        TLinkMatch l;
        l.valueStart = m.capturedStart(2);
        l.valueLength = m.capturedLength(2);
        l.kind = m.captured(4);
        l.value = m.captured(5);
        l.displayName = m.captured(7);
        result.append(l);
    }
    return result;
}

QList<TAttachmentLink> SearchAttachmentLinks(const QString& text) {
    QList<TAttachmentLink> result;
    for (const TLinkMatch& m : LinkMatches(text)) {
        TAttachmentLink link;
        if (m.kind.compare(QLatin1String("pd_id"), Qt::CaseInsensitive) == 0) {
            link.Source = TAttachmentLinkSource::alsDMS;
            link.ID = m.value;
        } else {
            link.Source = TAttachmentLinkSource::alsFile;
            link.SourceFilename = m.value;
        }
        link.DisplayFilename = m.displayName;
        result.append(link);
    }
    return result;
}

int RewriteLinks(QString& text, const TAttachmentLink& link, const QString& contentId) {
    const QList<TLinkMatch> matches = LinkMatches(text);
    int rewritten = 0;
    // Last to first, so that the offsets of the earlier matches stay valid.
    for (auto it = matches.crbegin(); it != matches.crend(); ++it) {
        const bool byId = it->kind.compare(QLatin1String("pd_id"), Qt::CaseInsensitive) == 0;
        const QString& wanted = byId ? link.ID : link.SourceFilename;
        if (wanted.isEmpty() || it->value.compare(wanted, Qt::CaseInsensitive) != 0)
            continue;
        // The whole value, display name included: a "cid:" URL must be the bare content id for a
        // mail program to resolve it; the name travels as the part's file name.
        text.replace(it->valueStart, it->valueLength, QStringLiteral("cid:") + contentId);
        ++rewritten;
    }
    return rewritten;
}

QString HtmlDocument(const QString& body, const QString& fontFamily, int fontSize) {
    QStringList lines;
    lines << QStringLiteral(R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">)")
          << QStringLiteral(
                 R"(<meta http-equiv="Content-Type" content="text/html; charset=UTF-8" />)")
          << QStringLiteral("<html><head>");
    if (fontSize > 0) {
        // The family sits inside a quoted CSS string in a style element.
        QString family = fontFamily;
        family.remove(QRegularExpression(QStringLiteral(R"(['"<>\\])")));
        lines << QStringLiteral(
                     "<style> body {font-family: '%1', serif; font-size: %2pt;} </style>")
                     .arg(family)
                     .arg(fontSize);
    }
    lines << QStringLiteral("<title>Title</title>") << QStringLiteral("</head><body>")
          << QStringLiteral("<div>%1</div>").arg(body) << QStringLiteral("</body></html>");
    return lines.join(QStringLiteral("\r\n"));
}

QStringList XdgEmailArguments(const TMailHandOff& hand) {
    // Our arguments are UTF-8 whatever the locale says; xdg-email refuses empty option values.
    QStringList args{QStringLiteral("--utf8")};
    if (!hand.subject.isEmpty())
        args << QStringLiteral("--subject") << hand.subject;
    if (!hand.noteText.isEmpty()) {
        // The mailto URL that xdg-email builds ends each line with CR LF itself.
        QString body = hand.noteText;
        body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        args << QStringLiteral("--body") << body;
    }
    for (const QString& f : hand.files)
        args << QStringLiteral("--attach") << f;
    for (const QString& r : hand.recipients)
        args << (r.startsWith(QLatin1String("SMTP:"), Qt::CaseInsensitive) ? r.mid(5) : r);
    return args;
}

} // namespace UEMailSenden
