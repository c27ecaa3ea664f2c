#pragma once
// Widths of many short texts in one font, as Qt's item views measure them (the natural width of
// the widest line, as a text layout gives it), without shaping every text: the
// advance of each character and the kerning of each pair of characters are shaped once per font
// and summed. Pairs the font joins into one glyph (ligatures such as "fi") and characters outside
// Latin and its punctuation are left to real shaping: for texts holding them Width() says it
// cannot tell. A grid fits its columns to a thousand rows this way in about the time it takes to
// shape a handful of them.

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QStringView>

#include <memory>
#include <vector>

class TVoskTextWidths final {
public:
    // The measures of font, kept for the process (fonts of grids are few).
    static TVoskTextWidths& ForFont(const QFont& font);

    // Lines break at '\n' and U+2028. -1 when the text holds something a sum of pairs cannot
    // tell; Shaped() measures it then.
    qreal Width(QStringView text);
    qreal Shaped(QStringView text) const;
    // A text whose sum did not match its shaping turns the sums off for this font for good.
    bool Trusted() const { return m_trusted; }
    void Distrust() { m_trusted = false; }

private:
    explicit TVoskTextWidths(const QFont& font);
    // Index into the character tables, -1 for characters left to shaping.
    static int slot(char16_t c);
    float advance(int slot, QChar c);
    float kerning(int a, int b, QChar ca, QChar cb);
    qreal lineWidth(QStringView line);

    QFont m_font;
    QFontMetricsF m_metrics;
    bool m_trusted = true;
    std::vector<float> m_advance;      // per slot; NaN until shaped, +inf when not in the font
    std::vector<float> m_asciiKerning; // per pair of ASCII characters; NaN until shaped
    QHash<quint32, float> m_kerning;   // other pairs of slots
};
