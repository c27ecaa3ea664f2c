#include "UFileImportMode.h"

#include "UImpDoku.State.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>

namespace UImpDoku {

TImportModeChoice ImportModeFromConfig(const QString& value, TFileImportMode defaultMode) {
    const QString v = value.trimmed();
    const auto is = [&v](const char* key) {
        return v.compare(QLatin1String(key), Qt::CaseInsensitive) == 0;
    };
    if (is("MOVE"))
        return {fimMove, false, fimMove};
    if (is("COPY"))
        return {fimCopy, false, fimCopy};
    if (is("COPY_AskDEL"))
        return {fimAbort, true, fimMove};
    if (is("LINK"))
        return {fimLink, false, fimLink};
    if (is("ASK_USER") || defaultMode == fimAsk)
        return {fimAbort, true, fimCopy};
    return {defaultMode, false, defaultMode};
}

int NaturalCompare(QStringView a, QStringView b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            // Leading zeros carry no value; the longer run is the larger number.
            qsizetype si = i, sj = j;
            while (si < a.size() && a[si] == u'0')
                ++si;
            while (sj < b.size() && b[sj] == u'0')
                ++sj;
            qsizetype ei = si, ej = sj;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            if (ei - si != ej - sj)
                return ei - si < ej - sj ? -1 : 1;
            for (qsizetype k = 0; k < ei - si; ++k)
                if (a[si + k] != b[sj + k])
                    return a[si + k].digitValue() < b[sj + k].digitValue() ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        const QChar ca = a[i].toCaseFolded(), cb = b[j].toCaseFolded();
        if (ca != cb)
            return ca.unicode() < cb.unicode() ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

namespace {

int importGroup(const QString& file) {
    const QString ext = QFileInfo(file).suffix().toLower();
    if (ext == u"pdf")
        return 0;
    static const QStringList images{QStringLiteral("tiff"), QStringLiteral("tif"),
                                    QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                    QStringLiteral("png")};
    return images.contains(ext) ? 1 : 2;
}

} // namespace

bool ImportOrderLess(const QString& a, const QString& b) {
    const int ga = importGroup(a), gb = importGroup(b);
    if (ga != gb)
        return ga < gb;
    const int byName = NaturalCompare(QFileInfo(a).fileName(), QFileInfo(b).fileName());
    if (byName != 0)
        return byName < 0;
    return a < b; // the same name in two folders: a fixed order all the same
}

void SortForImport(QStringList& files) { std::stable_sort(files.begin(), files.end(), ImportOrderLess); }

QString FillTextS(QString text, const QStringList& args) {
    qsizetype from = 0;
    for (const QString& a : args) {
        const qsizetype at = text.indexOf(QLatin1String("%s"), from);
        if (at < 0)
            break;
        text.replace(at, 2, a);
        from = at + a.size();
    }
    return text;
}

QString StoredFileName(const QString& pathOrName) {
    static const QRegularExpression separators(QStringLiteral("[/\\\\]"));
    QString name = pathOrName.section(separators, -1).trimmed();
    static const QRegularExpression invalid(QStringLiteral("[<>:\"|?*\\x00-\\x1f\\x7f]"));
    name.replace(invalid, QStringLiteral("_"));
    if (name.isEmpty() || name == u"." || name == u"..")
        name = QStringLiteral("_");
    return FitFileName(name);
}

bool IsInsideFolder(const QString& path, const QStringList& folders) {
    const QString file = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    for (const QString& f : folders) {
        if (f.isEmpty())
            continue;
        const QString folder = QDir::cleanPath(QFileInfo(f).absoluteFilePath());
        if (file.startsWith(folder + u'/'))
            return true;
        // The same folder reached through a link (/tmp on a symlinked volume).
        const QString canonical = QFileInfo(f).canonicalFilePath();
        const QString canonicalFile = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty() && !canonicalFile.isEmpty() &&
            canonicalFile.startsWith(canonical + u'/'))
            return true;
    }
    return false;
}

TFileHashes FileHashes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash md5(QCryptographicHash::Md5), sha(QCryptographicHash::Sha256);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (n == 0)
            break;
        md5.addData(QByteArrayView(buffer.constData(), n));
        sha.addData(QByteArrayView(buffer.constData(), n));
    }
    return {md5.result().toHex(), sha.result().toHex()};
}

namespace {

// One RFC 2047 encoded word's text ("B" base64 or "Q" quoted) in its charset.
QString decodeWord(const QByteArray& charset, char encoding, const QByteArray& text) {
    QByteArray bytes;
    if (encoding == 'B' || encoding == 'b') {
        bytes = QByteArray::fromBase64(text);
    } else {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '_')
                bytes += ' ';
            else if (c == '=' && i + 2 < text.size()) {
                bool ok = false;
                const int v = text.mid(i + 1, 2).toInt(&ok, 16);
                if (ok) {
                    bytes += char(v);
                    i += 2;
                } else {
                    bytes += c;
                }
            } else {
                bytes += c;
            }
        }
    }
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

} // namespace

QString MailSubject(const QByteArray& message) {
    // The header ends at the first empty line; a line starting with a blank continues the one
    // before.
    QByteArray value;
    bool inSubject = false;
    for (const QByteArray& rawLine : message.split('\n')) {
        const QByteArray line = rawLine.endsWith('\r') ? rawLine.chopped(1) : rawLine;
        if (line.isEmpty())
            break;
        if (line.startsWith(' ') || line.startsWith('\t')) {
            if (inSubject)
                value += line;
            continue;
        }
        if (inSubject)
            break;
        if (line.size() >= 8 && line.left(8).compare("subject:", Qt::CaseInsensitive) == 0) {
            inSubject = true;
            value = line.mid(8);
        }
    }
    static const QRegularExpression word(
        QStringLiteral("=\\?([^?\\s]+)\\?([BbQq])\\?([^?\\s]*)\\?=(\\s+(?==\\?))?"));
    const QString raw = QString::fromUtf8(value);
    QString out;
    qsizetype at = 0;
    for (auto it = word.globalMatch(raw); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(raw).mid(at, m.capturedStart() - at);
        out += decodeWord(m.captured(1).toLatin1(), m.captured(2).at(0).toLatin1(),
                          m.captured(3).toLatin1());
        at = m.capturedEnd();
    }
    out += QStringView(raw).mid(at);
    return out.simplified();
}

QByteArray EncodeNodeDrag(const TDokuNodeDrag& d) {
    const QJsonObject o{{QStringLiteral("window"), QString::number(d.windowSerial)},
                        {QStringLiteral("table"), d.table},
                        {QStringLiteral("recid"), d.recId},
                        {QStringLiteral("node"), d.nodeId},
                        {QStringLiteral("kind"), d.kind}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<TDokuNodeDrag> DecodeNodeDrag(const QByteArray& data) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    const auto text = [&o](const char* key) -> std::optional<QString> {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isString())
            return std::nullopt;
        return v.toString();
    };
    const auto window = text("window"), table = text("table"), recId = text("recid"),
               node = text("node");
    const QJsonValue kind = o.value(QStringLiteral("kind"));
    if (!window || !table || !recId || !node || !kind.isDouble())
        return std::nullopt;
    bool ok = false;
    const quint64 serial = window->toULongLong(&ok);
    if (!ok)
        return std::nullopt;
    return TDokuNodeDrag{serial, *table, *recId, *node, kind.toInt()};
}

bool NodeDraggable(int kind) {
    return kind == DokState::nkDocument || kind == DokState::nkCustomFolder;
}

bool AcceptNodeDrop(bool fromOtherWindow, int draggedKind, int targetKind, bool targetIsParent) {
    if (fromOtherWindow)
        return draggedKind == DokState::nkDocument;
    if (!NodeDraggable(draggedKind))
        return false;
    if (draggedKind == DokState::nkCustomFolder && targetKind == DokState::nkCustomFolder)
        return false;
    const bool folderLike = targetKind == DokState::nkFolder ||
                            targetKind == DokState::nkCustomFolder ||
                            targetKind == DokState::nkRoot || targetKind == DokState::nkNone;
    return folderLike && !targetIsParent;
}

} // namespace UImpDoku
