#include "VoskTextWidths.h"

#include <QGlyphRun>
#include <QTextLayout>

#include <cmath>
#include <limits>

namespace {

constexpr int kLatin = 0x250;  // Basic Latin to Latin Extended-B
constexpr int kPunct = 0x2000; // General Punctuation, super- and subscripts, currency signs
constexpr int kPunctEnd = 0x20D0;
constexpr int kSlots = kLatin + (kPunctEnd - kPunct);
constexpr float kUnknown = std::numeric_limits<float>::quiet_NaN();
constexpr float kNoSum = std::numeric_limits<float>::infinity();

// The natural width of a one-line text as the item views lay it out for a size hint (wrapping at
// words on a line wider than any text), and how many glyphs the shaping made of it.
qreal LayoutWidth(const QString& text, const QFont& font, int* glyphs = nullptr) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(1 << 22);
    layout.endLayout();
    if (glyphs) {
        *glyphs = 0;
        for (const QGlyphRun& run : layout.glyphRuns())
            *glyphs += int(run.glyphIndexes().size());
    }
    return line.isValid() ? line.naturalTextWidth() : 0;
}

bool IsBreak(QChar c) { return c == u'\n' || c == QChar::LineSeparator; }

} // namespace

TVoskTextWidths& TVoskTextWidths::ForFont(const QFont& font) {
    static QHash<QString, std::shared_ptr<TVoskTextWidths>> fonts;
    std::shared_ptr<TVoskTextWidths>& w = fonts[font.key()];
    if (!w)
        w.reset(new TVoskTextWidths(font));
    return *w;
}

TVoskTextWidths::TVoskTextWidths(const QFont& font)
    : m_font(font), m_metrics(font), m_advance(kSlots, kUnknown),
      m_asciiKerning(128 * 128, kUnknown) {}

int TVoskTextWidths::slot(char16_t c) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return -1; // controls
    if (c < kLatin)
        return c;
    // Zero-width characters, line and paragraph separators and direction marks change the
    // layout beyond their own width.
    if (c < kPunct + 0x10 || (c >= 0x2028 && c < 0x2030) || (c >= 0x205F && c < 0x2070) ||
        c >= kPunctEnd || c < kPunct)
        return -1;
    return kLatin + (c - kPunct);
}

float TVoskTextWidths::advance(int slot, QChar c) {
    float& a = m_advance[size_t(slot)];
    if (std::isnan(a))
        a = m_metrics.inFont(c) ? float(LayoutWidth(QString(c), m_font)) : kNoSum;
    return a;
}

float TVoskTextWidths::kerning(int a, int b, QChar ca, QChar cb) {
    const bool ascii = a < 128 && b < 128;
    float* k = ascii ? &m_asciiKerning[size_t(a * 128 + b)] : nullptr;
    const quint32 key = quint32(a) << 16 | quint32(b);
    if (!ascii) {
        if (const auto it = m_kerning.constFind(key); it != m_kerning.constEnd())
            return it.value();
    } else if (!std::isnan(*k)) {
        return *k;
    }
    int glyphs = 0;
    const qreal pair = LayoutWidth(QString(ca) + cb, m_font, &glyphs);
    // A pair shaped into one glyph (or more than two) is no sum of two advances.
    const float v = glyphs == 2 ? float(pair - advance(a, ca) - advance(b, cb)) : kNoSum;
    if (ascii)
        *k = v;
    else
        m_kerning.insert(key, v);
    return v;
}

qreal TVoskTextWidths::lineWidth(QStringView line) {
    // Runs over every cell of a column: measures already taken are read from the tables here,
    // printable ASCII (its own slot) without a call.
    qreal w = 0;
    int prev = -1;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        const char16_t u = c.unicode();
        const int s = u >= 0x20 && u < 0x7F ? int(u) : slot(u);
        if (s < 0)
            return -1;
        float a = m_advance[size_t(s)];
        if (std::isnan(a))
            a = advance(s, c);
        if (std::isinf(a))
            return -1;
        w += a;
        if (prev >= 0) {
            float k = prev < 128 && s < 128 ? m_asciiKerning[size_t(prev * 128 + s)] : kUnknown;
            if (std::isnan(k))
                k = kerning(prev, s, line[i - 1], c);
            if (std::isinf(k))
                return -1;
            w += k;
        }
        prev = s;
    }
    return w;
}

qreal TVoskTextWidths::Width(QStringView text) {
    if (!m_trusted)
        return -1;
    qreal widest = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !IsBreak(text[i]))
            continue;
        const qreal w = lineWidth(text.mid(start, i - start));
        if (w < 0)
            return -1;
        widest = std::max(widest, w);
        start = i + 1;
    }
    return widest;
}

qreal TVoskTextWidths::Shaped(QStringView text) const {
    qreal widest = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !IsBreak(text[i]))
            continue;
        widest = std::max(widest, LayoutWidth(text.mid(start, i - start).toString(), m_font));
        start = i + 1;
    }
    return widest;
}
