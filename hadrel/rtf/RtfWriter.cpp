// The RTF writer: 7-bit RTF in the style a rich-edit control writes, so that the ERP's other
// readers of the field understand it. The body is written first; the font and colour tables it
// collected go in front of it.

#include "RtfCodec.h"
#include "RtfInternal.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QUrl>

namespace Rtf {

namespace {

constexpr char HexDigits[] = "0123456789abcdef";

int Twips(qreal px) { return qRound(px * 15.0); }

void AppendHex(QByteArray& out, const QByteArray& data) {
    const qsizetype start = out.size();
    // Lines of 128 digits, as readers with line buffers expect.
    out.resize(start + data.size() * 2 + data.size() / 64 * 2 + 2);
    char* o = out.data() + start;
    const auto* d = reinterpret_cast<const uchar*>(data.constData());
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (i > 0 && i % 64 == 0) {
            *o++ = '\r';
            *o++ = '\n';
        }
        *o++ = HexDigits[d[i] >> 4];
        *o++ = HexDigits[d[i] & 15];
    }
    out.resize(o - out.constData());
}

class Writer final {
public:
    explicit Writer(const QTextDocument* doc) : m_doc(doc) {}
    QByteArray Write();

private:
    struct Run {
        int font = 0, halfPoints = 24, color = 0, highlight = 0;
        bool bold = false, italic = false, underline = false, strike = false;
        bool operator==(const Run&) const = default;
    };
    int FontIndex(const QString& family);
    int ColorIndex(const QColor& c);
    Run RunOf(const QTextCharFormat& f);
    void WriteRun(const Run& r);
    void WriteText(const QString& s);
    void WriteParagraph(const QTextBlock& b);
    void WritePicture(const QTextImageFormat& f);
    int ListNumber(QTextList* list); // its \ls number, from 1
    QByteArray ListTables();

    const QTextDocument* m_doc;
    QByteArray m_out;
    QStringList m_fonts;
    QHash<QString, int> m_fontIndex;
    QList<QRgb> m_colors;
    QHash<QRgb, int> m_colorIndex;
    Run m_last;
    bool m_haveLast = false;
    int m_defaultHalfPoints = 24;
    QList<QTextList*> m_lists;
};

int Writer::ListNumber(QTextList* list) {
    const qsizetype i = m_lists.indexOf(list);
    if (i >= 0)
        return int(i) + 1;
    m_lists << list;
    return int(m_lists.size());
}

QByteArray Writer::ListTables() {
    // Newer readers take numbering from these tables, which keep the kind and the start of every
    // list; \pn in the paragraphs stays for readers that know only that.
    if (m_lists.isEmpty())
        return {};
    QByteArray out = "{\\*\\listtable";
    QByteArray overrides = "{\\*\\listoverridetable";
    for (int i = 0; i < m_lists.size(); ++i) {
        const QTextListFormat lf = m_lists[i]->format();
        const ListKind kind = KindOfList(lf);
        static const int nfcs[] = {0, 23, 0, 4, 3, 2, 1}; // by ListKind
        const int nfc = nfcs[int(kind)];
        const int start = lf.hasProperty(ListStartProperty) ? lf.intProperty(ListStartProperty) : 1;
        const QByteArray id = QByteArray::number(i + 1);
        out += "{\\list\\listtemplateid" + id + "\\listsimple{\\listlevel\\levelnfc" +
               QByteArray::number(nfc) + "\\levelnfcn" + QByteArray::number(nfc) +
               "\\leveljc0\\leveljcn0\\levelfollow0\\levelstartat" + QByteArray::number(start) +
               "\\levelspace0\\levelindent0{\\leveltext";
        QByteArray text;
        std::swap(text, m_out);
        if (kind == ListKind::Bullet) {
            m_out += "\\'01";
            WriteText(QStringLiteral("\u2022"));
        } else {
            const QString suffix =
                lf.numberSuffix().isNull() ? QStringLiteral(".") : lf.numberSuffix();
            const char length = char(1 + std::min<qsizetype>(suffix.size(), 10));
            const char e[4] = {'\\', '\'', HexDigits[length >> 4], HexDigits[length & 15]};
            m_out.append(e, 4);
            m_out += "\\'00";
            WriteText(suffix.left(10));
        }
        std::swap(text, m_out);
        out += text + ";}{\\levelnumbers" + (kind == ListKind::Bullet ? "" : "\\'01") +
               ";}\\fi-360\\li" + QByteArray::number(360 * std::max(1, lf.indent())) +
               "}\\listid" + id + "}";
        overrides += "{\\listoverride\\listid" + id + "\\listoverridecount0\\ls" + id + "}";
    }
    return out + "}\r\n" + overrides + "}\r\n";
}

int Writer::FontIndex(const QString& family) {
    auto it = m_fontIndex.constFind(family);
    if (it != m_fontIndex.constEnd())
        return *it;
    m_fonts << family;
    m_fontIndex.insert(family, int(m_fonts.size() - 1));
    return int(m_fonts.size() - 1);
}

int Writer::ColorIndex(const QColor& c) {
    const QRgb rgb = c.rgb() | 0xFF000000u;
    auto it = m_colorIndex.constFind(rgb);
    if (it != m_colorIndex.constEnd())
        return *it;
    m_colors << rgb;
    m_colorIndex.insert(rgb, int(m_colors.size())); // entry 0 is the automatic colour
    return int(m_colors.size());
}

Writer::Run Writer::RunOf(const QTextCharFormat& f) {
    Run r;
    QString family;
    const QVariant families = f.property(QTextFormat::FontFamilies);
    if (families.isValid())
        family = families.toStringList().value(0);
    if (family.isEmpty())
        family = f.stringProperty(QTextFormat::FontFamily);
    r.font = family.isEmpty() ? 0 : FontIndex(family);
    const qreal pt = f.fontPointSize();
    r.halfPoints = pt > 0 ? qBound(2, qRound(pt * 2), 3276) : m_defaultHalfPoints;
    r.bold = f.fontWeight() >= QFont::DemiBold;
    r.italic = f.fontItalic();
    r.underline = f.fontUnderline();
    r.strike = f.fontStrikeOut();
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
        r.color = ColorIndex(f.foreground().color());
    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
        r.highlight = ColorIndex(f.background().color());
    return r;
}

void Writer::WriteRun(const Run& r) {
    if (m_haveLast && r == m_last)
        return;
    m_out += "\\plain\\f" + QByteArray::number(r.font) + "\\fs" + QByteArray::number(r.halfPoints);
    if (r.bold) m_out += "\\b";
    if (r.italic) m_out += "\\i";
    if (r.underline) m_out += "\\ul";
    if (r.strike) m_out += "\\strike";
    if (r.color) m_out += "\\cf" + QByteArray::number(r.color);
    if (r.highlight) m_out += "\\highlight" + QByteArray::number(r.highlight);
    m_out += ' ';
    m_last = r;
    m_haveLast = true;
}

void Writer::WriteText(const QString& s) {
    for (const QChar ch : s) {
        const char16_t c = ch.unicode();
        if (c >= 0x20 && c < 0x80) {
            if (c == '\\' || c == '{' || c == '}')
                m_out += '\\';
            m_out += char(c);
            continue;
        }
        switch (c) {
        case u'\t': m_out += "\\tab "; continue;
        case u'\x2028': case u'\n': m_out += "\\line "; continue;
        case u'\x00A0': m_out += "\\~"; continue;
        case u'\x00AD': m_out += "\\-"; continue;
        case u'\x2011': m_out += "\\_"; continue;
        case QChar::ObjectReplacementCharacter: continue;
        default: break;
        }
        if (c < 0x20)
            continue;
        const int b = EncodeCp1252(c);
        if (b >= 0) {
            const char e[4] = {'\\', '\'', HexDigits[b >> 4], HexDigits[b & 15]};
            m_out.append(e, 4);
        } else {
            // \uc1: one '?' for readers without Unicode.
            m_out += "\\u" + QByteArray::number(c > 32767 ? int(c) - 65536 : int(c)) + '?';
        }
    }
}

void Writer::WritePicture(const QTextImageFormat& f) {
    const QString name = f.name();
    const QVariant raw = m_doc->resource(QTextDocument::UserResource, QUrl(RawPictureUrl(name)));
    if (raw.typeId() == QMetaType::QVariantList) {
        // As it came, so that a kind we cannot show survives.
        const QVariantList parts = raw.toList();
        m_out += "{\\pict" + parts.value(0).toByteArray() + "\r\n";
        AppendHex(m_out, parts.value(1).toByteArray());
        m_out += '}';
        return;
    }
    const QVariant res = m_doc->resource(QTextDocument::ImageResource, QUrl(name));
    QImage img = res.value<QImage>();
    if (img.isNull())
        img = res.value<QPixmap>().toImage();
    if (img.isNull())
        return;
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    const qreal w = f.width() > 0 ? f.width() : img.width();
    const qreal h = f.height() > 0 ? f.height() : img.height();
    m_out += "{\\pict\\pngblip\\picw" + QByteArray::number(img.width()) + "\\pich" +
             QByteArray::number(img.height()) + "\\picwgoal" + QByteArray::number(Twips(w)) +
             "\\pichgoal" + QByteArray::number(Twips(h)) + "\r\n";
    AppendHex(m_out, png);
    m_out += '}';
}

void Writer::WriteParagraph(const QTextBlock& block) {
    const QTextBlockFormat bf = block.blockFormat();
    m_out += "\\pard";
    if (QTextList* list = block.textList()) {
        const QTextListFormat lf = list->format();
        const ListKind kind = KindOfList(lf);
        const int start = lf.hasProperty(ListStartProperty) ? lf.intProperty(ListStartProperty) : 1;
        const int number = list->itemNumber(block) + start;
        static const char* const kinds[] = {"", "", "\\pndec", "\\pnlcltr", "\\pnucltr", "\\pnlcrm",
                                            "\\pnucrm"};
        const QString suffix = lf.numberSuffix().isNull() ? QStringLiteral(".") : lf.numberSuffix();
        if (kind == ListKind::Bullet) {
            m_out += "{\\pntext\\f0\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf0\\pnindent0{\\pntxtb\\'b7}}";
        } else {
            QString label = list->itemText(block);
            if (start != 1 && kind == ListKind::Decimal)
                label = QString::number(number) + suffix;
            m_out += "{\\pntext\\f0 ";
            WriteText(label);
            m_out += "\\tab}{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart" +
                     QByteArray::number(start) + kinds[int(kind)] + "{\\pntxta ";
            WriteText(suffix);
            m_out += "}}";
        }
        m_out += "\\fi-360\\li" + QByteArray::number(360 * std::max(1, lf.indent())) + "\\ls" +
                 QByteArray::number(ListNumber(list)) + "\\ilvl0";
    } else {
        if (bf.leftMargin() != 0) m_out += "\\li" + QByteArray::number(Twips(bf.leftMargin()));
        if (bf.textIndent() != 0) m_out += "\\fi" + QByteArray::number(Twips(bf.textIndent()));
    }
    if (bf.rightMargin() != 0) m_out += "\\ri" + QByteArray::number(Twips(bf.rightMargin()));
    if (bf.topMargin() != 0) m_out += "\\sb" + QByteArray::number(Twips(bf.topMargin()));
    if (bf.bottomMargin() != 0) m_out += "\\sa" + QByteArray::number(Twips(bf.bottomMargin()));
    const Qt::Alignment a = bf.alignment() & Qt::AlignHorizontal_Mask;
    if (a & Qt::AlignHCenter) m_out += "\\qc";
    else if (a & Qt::AlignJustify) m_out += "\\qj";
    else if ((a & Qt::AlignRight) && !(a & Qt::AlignAbsolute)) m_out += "\\qr";
    else if (a & Qt::AlignRight) m_out += "\\qr";
    m_out += ' ';
    m_haveLast = false;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment frag = it.fragment();
        if (!frag.isValid())
            continue;
        const QTextCharFormat cf = frag.charFormat();
        WriteRun(RunOf(cf));
        if (cf.isImageFormat()) {
            const QTextImageFormat imf = cf.toImageFormat();
            for (int i = 0; i < frag.length(); ++i)
                WritePicture(imf);
            continue;
        }
        WriteText(frag.text());
    }
    m_out += "\\par\r\n";
}

QByteArray Writer::Write() {
    const QFont def = m_doc->defaultFont();
    FontIndex(def.family().isEmpty() ? QStringLiteral("Arial") : def.family());
    if (def.pointSizeF() > 0)
        m_defaultHalfPoints = qRound(def.pointSizeF() * 2);
    m_out.reserve(m_doc->characterCount() * 2 + 256);
    for (QTextBlock b = m_doc->begin(); b.isValid(); b = b.next())
        WriteParagraph(b);

    QByteArray head = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl";
    for (int i = 0; i < m_fonts.size(); ++i) {
        head += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset0 ";
        QByteArray body;
        std::swap(body, m_out);
        WriteText(m_fonts[i]);
        std::swap(body, m_out);
        head += body + ";}";
    }
    head += "}\r\n{\\colortbl ;";
    for (QRgb c : m_colors)
        head += "\\red" + QByteArray::number(qRed(c)) + "\\green" + QByteArray::number(qGreen(c)) +
                "\\blue" + QByteArray::number(qBlue(c)) + ';';
    head += "}\r\n" + ListTables() + "\\viewkind4 ";
    m_out.prepend(head);
    m_out += "}\r\n";
    return m_out;
}

} // namespace

QByteArray Write(const QTextDocument* doc) { return Writer(doc).Write(); }

} // namespace Rtf
