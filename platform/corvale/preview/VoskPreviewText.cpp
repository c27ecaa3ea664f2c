#include "VoskPreviewText.h"

#include <QStringDecoder>

namespace VoskPreview {

namespace {

QString normalizedLineEnds(QString s) {
    if (s.contains(u'\r')) {
        s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        s.replace(u'\r', u'\n');
    }
    return s;
}

// The length of bytes without a UTF-8 sequence that the end cuts short.
qsizetype withoutCutSequence(QByteArrayView bytes) {
    const qsizetype n = bytes.size();
    for (qsizetype back = 1; back <= 3 && back <= n; ++back) {
        const auto b = uchar(bytes[n - back]);
        if ((b & 0xC0) == 0x80)
            continue; // a continuation byte: look further back for its lead
        const int need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        return need > back ? n - back : n;
    }
    return n;
}

bool strictUtf8(QByteArrayView bytes, QString* out) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *out = utf8.decode(bytes);
    return !utf8.hasError();
}

} // namespace

bool LooksLikeText(QByteArrayView head) {
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF"))
        return true;
    qsizetype controls = 0;
    for (const char c : head) {
        const auto b = uchar(c);
        if (b == 0)
            return false;
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x1B)
            ++controls;
    }
    // A stray control character or two (a form feed, an escape of a printer file) is still text.
    return controls * 100 <= head.size();
}

QString DecodeCp1252(QByteArrayView bytes) {
    QString s(bytes.size(), Qt::Uninitialized);
    QChar* out = s.data();
    for (const char c : bytes) {
        const auto b = uchar(c);
        const char16_t mapped = Cp1252Char(b);
        *out++ = QChar(mapped ? mapped : char16_t(0xFFFD));
    }
    return s;
}

TDecodedText DecodeText(QByteArrayView bytes, bool cut) {
    TDecodedText r;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const bool le = uchar(bytes[0]) == 0xFF;
        QByteArrayView body = bytes.sliced(2);
        if (cut && body.size() % 2)
            body.chop(1);
        QStringDecoder utf16(le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                             QStringDecoder::Flag::Stateless);
        QString text = utf16.decode(body);
        // A surrogate pair cut in half.
        if (cut && !text.isEmpty() && text.back().isHighSurrogate())
            text.chop(1);
        r.text = normalizedLineEnds(std::move(text));
        r.encoding = le ? QStringLiteral("UTF-16LE") : QStringLiteral("UTF-16BE");
        return r;
    }
    const QByteArrayView noMark = bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
    if (strictUtf8(cut ? noMark.first(withoutCutSequence(noMark)) : noMark, &r.text)) {
        r.encoding = QStringLiteral("UTF-8");
    } else {
        r.text = DecodeCp1252(noMark);
        r.encoding = QStringLiteral("Windows-1252");
    }
    r.text = normalizedLineEnds(std::move(r.text));
    return r;
}

QString DecodeCharset(QByteArrayView bytes, QByteArrayView charset) {
    const QByteArray name = charset.toByteArray().trimmed().toLower();
    QString text;
    if (name == "utf-8" || name == "utf8") {
        if (strictUtf8(bytes, &text))
            return normalizedLineEnds(text);
    } else if (name == "iso-8859-1" || name == "latin1" || name == "latin-1" ||
               name == "us-ascii" || name == "ascii" || name == "windows-1252" ||
               name == "cp1252" || name == "x-cp1252") {
        // Mail programs label Windows-1252 text as ISO-8859-1 often enough that the superset is
        // the safer reading; ASCII is a subset of both.
        return normalizedLineEnds(DecodeCp1252(bytes));
    } else if (!name.isEmpty()) {
        QStringDecoder decoder(name.constData(), QStringDecoder::Flag::Stateless);
        if (decoder.isValid()) {
            text = decoder.decode(bytes);
            if (!decoder.hasError())
                return normalizedLineEnds(text);
        }
    }
    return DecodeText(bytes).text;
}

} // namespace VoskPreview
