#include "StrUtils.h"

#include <QFile>
#include <QTextBoundaryFinder>

namespace Rtl {

QString TruncateText(const QString& text, int maxChars) {
    if (maxChars <= 0)
        return {};
    if (text.size() <= maxChars)
        return text;
    int cut = maxChars;
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut);
}

bool StrToBoolDef(const QString& text, bool def) {
    const QString t = text.trimmed().toLower();
    if (t.isEmpty())
        return def;
    if (t == u"-1" || t == u"1" || t == u"true" || t == u"t" || t == u"y" || t == u"yes" ||
        t == u"j" || t == u"ja")
        return true;
    if (t == u"0" || t == u"false" || t == u"f" || t == u"n" || t == u"no" || t == u"nein")
        return false;
    bool ok = false;
    const long long n = t.toLongLong(&ok);
    return ok ? n != 0 : def;
}

QString BoolToStr(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

QString ValueOf(const QStringList& lines, const QString& name, bool* found) {
    for (const auto& line : lines) {
        const int eq = line.indexOf(u'=');
        if (eq > 0 && line.left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
            if (found)
                *found = true;
            return line.mid(eq + 1);
        }
    }
    if (found)
        *found = false;
    return {};
}

QString FitFileName(const QString& name, qsizetype maxBytes, const QString& keepTail) {
    const auto bytes = [](const QString& s) { return QFile::encodeName(s).size(); };
    if (bytes(name) <= maxBytes)
        return name;
    // An extension is what follows the last point, when short enough to be one.
    const qsizetype dot = name.lastIndexOf(u'.');
    QString ext = dot > 0 ? name.mid(dot) : QString();
    if (bytes(ext) > 32)
        ext.clear();
    QString stem = ext.isEmpty() ? name : name.left(dot);
    QString tail;
    if (!keepTail.isEmpty() && stem.endsWith(keepTail) && bytes(keepTail) + bytes(ext) < maxBytes) {
        tail = keepTail;
        stem.chop(keepTail.size());
    }
    const qsizetype room = maxBytes - bytes(ext) - bytes(tail);
    // Cut between characters as a reader sees them: a letter keeps its accents.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, stem);
    qsizetype keep = 0;
    for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary()) {
        if (bytes(stem.left(at)) > room)
            break;
        keep = at;
    }
    QString cut = stem.left(keep).trimmed();
    if (cut.isEmpty() && tail.isEmpty())
        cut = QStringLiteral("_");
    return cut + tail + ext;
}

} // namespace Rtl
