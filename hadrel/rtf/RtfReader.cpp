// The RTF reader: one pass over the bytes with a stack of group states. Text is gathered into runs
// and inserted a run at a time, so a document costs a few cursor operations per format change and
// paragraph, not per character.

#include "RtfCodec.h"
#include "RtfInternal.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace Rtf {

bool IsRtf(const QByteArray& data) {
    qsizetype i = 0;
    while (i < data.size() && (data[i] == ' ' || data[i] == '\r' || data[i] == '\n' || data[i] == '\t'))
        ++i;
    return data.mid(i, 5) == "{\\rtf";
}

namespace {

enum class Dest {
    Normal,
    Skip,
    FontTable,
    ColorTable,
    Pict,
    Pn,
    PnTextAfter,
    ListTable,
    List,
    ListLevel,
    ListOverrideTable,
    ListOverride,
    LevelText,      // a list level's number format: its text after the number is the suffix
    FieldInst,      // a field's instruction, read for the text a MACROBUTTON shows
    Shape,          // a shape: only its picture and its text frame are content
    ShapePropName,  // \sn
    ShapePropValue, // \sv
};

struct CharState {
    bool bold = false, italic = false, underline = false, strike = false;
    int halfPoints = 24;
    int font = -1;
    int color = 0;
    int highlight = 0;
    bool hidden = false;
    bool operator==(const CharState&) const = default;
};

size_t qHash(const CharState& c, size_t seed = 0) {
    return ::qHash(c.bold | c.italic << 1 | c.underline << 2 | c.strike << 3 | c.halfPoints << 4,
                   seed) ^
           ::qHash(quint64(quint32(c.font)) << 32 | quint32(c.color) << 16 | quint32(c.highlight));
}

struct ParaState {
    int align = 0; // 0 left, 1 centre, 2 right, 3 justified
    int li = 0, ri = 0, fi = 0, sb = 0, sa = 0;
    ListKind pnKind = ListKind::None;
    int pnStart = 1;
    QString pnSuffix;
    bool pnSuffixSet = false;
    int ls = 0;
    int ilvl = 0;
};

struct State {
    Dest dest = Dest::Normal;
    CharState ch;
    ParaState para;
    int uc = 1;
    bool fieldShown = false; // the field's instruction gave its text: its result is not shown
};

struct Font {
    QString name;
    int codePage = 0; // 0: the document's
};

struct Picture {
    int depth = 0;
    QByteArray kind; // "png", "jpeg", "dib", or the control word of another kind
    int picw = 0, pich = 0, goalw = 0, goalh = 0, scalex = 100, scaley = 100;
    QByteArray header; // the group's control words, for writing an unknown kind back unchanged
    QByteArray data; // its first size bytes are the picture
    qsizetype size = 0;
    bool broken = false;
    int nibble = -1;
    bool inShape = false; // the picture of a shape (\sn pib)
};

struct ListLevel {
    int nfc = 0;
    int start = 1;
    QString text; // \leveltext: its length, the number's placeholder, what stands around it
    QString suffix = QStringLiteral(".");
};
struct ListDef {
    int id = 0;
    std::vector<ListLevel> levels;
};

// A lone half of a surrogate pair stays as it is: \u writes the two halves one by one.
void Append(QString& s, char32_t c) {
    if (c > 0xFFFF)
        s += QString::fromUcs4(&c, 1);
    else
        s += QChar(char16_t(c));
}

int Clamp(qint64 v, int lo, int hi) { return int(std::min<qint64>(std::max<qint64>(v, lo), hi)); }

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

ListKind KindOfNfc(int nfc) {
    switch (nfc) {
    case 0: return ListKind::Decimal;
    case 1: return ListKind::UpperRoman;
    case 2: return ListKind::LowerRoman;
    case 3: return ListKind::UpperAlpha;
    case 4: return ListKind::LowerAlpha;
    case 23: return ListKind::Bullet;
    default: return ListKind::None;
    }
}

// Twips to the document's pixels (96 per inch).
qreal Px(int twips) { return twips / 15.0; }

class Reader final {
public:
    Reader(const QByteArray& data, QTextCursor& cursor, bool wholeDocument)
        : m_p(data.constData()), m_begin(data.constData()), m_end(data.constData() + data.size()),
          m_cursor(cursor), m_doc(cursor.document()), m_wholeDocument(wholeDocument) {}

    ReadResult Run();

private:
    State& Top() { return m_stack.back(); }
    void Problem(const QString& text) {
        if (m_result.problems.size() < 50)
            m_result.problems << text;
    }

    void OpenGroup();
    bool CloseGroup(); // false when the outermost group closed
    void ControlWord(const QByteArray& word, bool hasParam, int param);
    void ControlSymbol(char c);
    void Destination(Dest dest) { Top().dest = dest; }
    void Text(const char* p, qsizetype n);
    void Char(char32_t c);
    void CodePageByte(uchar b);
    void PictHex(); // consumes hex digits at m_p
    void Binary(int length);

    void Flush();
    // Text in this character format follows: a run in another format is written out first.
    void BeginText(const CharState& ch) {
        if (m_run.isEmpty() || !(m_runState == ch)) {
            Flush();
            m_runState = ch;
        }
        m_paragraphHasContent = true;
    }
    void EndParagraph(bool newBlock);
    QTextCharFormat CharFormat(const CharState& c);
    QTextBlockFormat BlockFormat(const ParaState& p, ListKind kind);
    void FinishPicture(Picture& pict);
    int CodePage() const;
    QStringDecoder* Decoder(int codePage); // null for a code page we cannot decode
    // Hidden text is left out; the first time says so.
    bool Hidden(const CharState& ch);
    void EndField(const State& inst);
    void EndLevelText();

    const char* m_p;
    const char* m_begin;
    const char* m_end;
    QTextCursor& m_cursor;
    QTextDocument* m_doc;
    bool m_wholeDocument;
    ReadResult m_result;

    std::vector<State> m_stack;
    int m_overflow = 0;
    bool m_star = false;
    int m_ucSkip = 0;
    int m_docCodePage = 1252;
    int m_defaultFont = 0;

    std::map<int, Font> m_fonts;
    int m_fontEntry = 0;
    QString m_fontName;
    std::vector<QColor> m_colors;
    int m_red = -1, m_green = -1, m_blue = -1;

    std::vector<ListDef> m_lists;
    std::map<int, int> m_overrides; // \ls number -> list id
    int m_overrideListId = 0;

    std::unique_ptr<Picture> m_pict;
    int m_pictureCount = 0;

    QString m_run;
    CharState m_runState;
    bool m_pendingTab = false;
    bool m_paragraphHasContent = false;
    bool m_brokeParagraph = false;
    QHash<CharState, QTextCharFormat> m_formats;
    QTextList* m_list = nullptr;
    ListKind m_listKind = ListKind::None;
    int m_listStart = 1;
    QString m_listSuffix;
    std::map<int, std::unique_ptr<QStringDecoder>> m_decoders;
    bool m_hiddenSkipped = false;
    int m_leadPending = 0; // the code page whose decoder holds a lead byte
    QString m_fieldInst;
    int m_shapeDepth = 0; // the stack size inside the shape being read, 0 outside shapes
    bool m_shapeShown = false;
    QString m_shapePropName;
    QStringList m_lostKinds; // destinations with content that was left out, each named once
};

ReadResult Reader::Run() {
    m_result.isRtf = IsRtf(QByteArray::fromRawData(m_begin, m_end - m_begin));
    m_stack.reserve(64);
    m_stack.push_back(State{});
    bool started = false;
    bool ended = false;
    while (m_p < m_end && !ended) {
        const char c = *m_p;
        if (c == '{') {
            ++m_p;
            if (!started) {
                started = true; // the outermost group is the bottom state itself
                continue;
            }
            m_ucSkip = 0;
            OpenGroup();
        } else if (c == '}') {
            ++m_p;
            m_ucSkip = 0;
            if (!CloseGroup())
                ended = true;
        } else if (c == '\\') {
            ++m_p;
            if (m_p >= m_end)
                break;
            const char w = *m_p;
            if ((w >= 'a' && w <= 'z') || (w >= 'A' && w <= 'Z')) {
                const char* s = m_p;
                while (m_p < m_end && ((*m_p >= 'a' && *m_p <= 'z') || (*m_p >= 'A' && *m_p <= 'Z')))
                    ++m_p;
                // RTF words are at most 32 letters; a longer one is nothing we know.
                const QByteArray word = QByteArray::fromRawData(s, std::min<qsizetype>(m_p - s, 33));
                bool neg = false, hasParam = false;
                qint64 v = 0;
                if (m_p < m_end && *m_p == '-' && m_p + 1 < m_end && m_p[1] >= '0' && m_p[1] <= '9') {
                    neg = true;
                    ++m_p;
                }
                while (m_p < m_end && *m_p >= '0' && *m_p <= '9') {
                    hasParam = true;
                    if (v < 100'000'000'000LL)
                        v = v * 10 + (*m_p - '0');
                    ++m_p;
                }
                if (m_p < m_end && *m_p == ' ')
                    ++m_p;
                const int param = Clamp(neg ? -v : v, -2147483647, 2147483647);
                if (m_overflow > 0)
                    continue;
                if (m_ucSkip > 0 && word != "bin") {
                    --m_ucSkip;
                    continue;
                }
                ControlWord(word, hasParam, param);
            } else {
                ++m_p;
                if (m_overflow > 0)
                    continue;
                if (w == '\'') {
                    if (m_end - m_p < 2 || HexValue(m_p[0]) < 0 || HexValue(m_p[1]) < 0) {
                        Problem(QStringLiteral("ungültiges \\' bei Byte %1").arg(m_p - m_begin));
                        // The two places of the escape are dropped with it.
                        for (int k = 0; k < 2 && m_p < m_end && *m_p != '\\' && *m_p != '{' &&
                                        *m_p != '}';
                             ++k)
                            ++m_p;
                        continue;
                    }
                    const uchar b = uchar(HexValue(m_p[0]) << 4 | HexValue(m_p[1]));
                    m_p += 2;
                    if (m_ucSkip > 0) {
                        --m_ucSkip;
                        continue;
                    }
                    CodePageByte(b);
                } else {
                    if (m_ucSkip > 0) {
                        --m_ucSkip;
                        continue;
                    }
                    ControlSymbol(w);
                }
            }
        } else if (c == '\r' || c == '\n') {
            ++m_p;
        } else {
            if (m_overflow > 0) {
                ++m_p;
                continue;
            }
            if (Top().dest == Dest::Pict) {
                PictHex();
                continue;
            }
            // A run of plain text up to the next special byte.
            const char* s = m_p;
            while (m_p < m_end && *m_p != '\\' && *m_p != '{' && *m_p != '}' && *m_p != '\r' &&
                   *m_p != '\n')
                ++m_p;
            Text(s, m_p - s);
        }
    }
    if (!ended) {
        m_result.complete = false;
        Problem(started ? QStringLiteral("RTF endet vor dem Ende seiner Gruppen")
                        : QStringLiteral("kein RTF"));
        // A picture cut off keeps what arrived only if it can be shown; the rest is dropped.
        m_pict.reset();
    }
    Flush();
    EndParagraph(false);
    return m_result;
}

void Reader::OpenGroup() {
    if (m_overflow > 0 || int(m_stack.size()) >= MaxGroupDepth) {
        if (m_overflow == 0)
            Problem(QStringLiteral("Gruppen tiefer als %1 übersprungen").arg(MaxGroupDepth));
        ++m_overflow;
        m_result.complete = false;
        return;
    }
    m_stack.push_back(m_stack.back());
    // A group inside a picture holds its properties, never its data.
    if (m_stack.back().dest == Dest::Pict)
        m_stack.back().dest = Dest::Skip;
    m_star = false;
}

bool Reader::CloseGroup() {
    if (m_overflow > 0) {
        --m_overflow;
        return true;
    }
    m_star = false;
    if (m_stack.size() <= 1)
        return false;
    const State popped = m_stack.back();
    m_stack.pop_back();
    switch (popped.dest) {
    case Dest::Pict:
        if (m_pict && Top().dest != Dest::Pict) {
            std::unique_ptr<Picture> pict = std::move(m_pict);
            FinishPicture(*pict);
        }
        break;
    case Dest::Pn:
    case Dest::PnTextAfter:
        // Numbering is a property of the paragraph around the group.
        Top().para.pnKind = popped.para.pnKind;
        Top().para.pnStart = popped.para.pnStart;
        Top().para.pnSuffix = popped.para.pnSuffix;
        Top().para.pnSuffixSet = popped.para.pnSuffixSet;
        break;
    case Dest::FontTable:
        if (Top().dest != Dest::FontTable && !m_fontName.trimmed().isEmpty())
            m_fonts[m_fontEntry].name = m_fontName.trimmed();
        break;
    case Dest::LevelText:
        if (Top().dest != Dest::LevelText)
            EndLevelText();
        break;
    case Dest::FieldInst:
        if (Top().dest != Dest::FieldInst)
            EndField(popped);
        break;
    default:
        break;
    }
    if (m_shapeDepth > 0 && int(m_stack.size()) < m_shapeDepth) {
        if (!m_shapeShown)
            Problem(QStringLiteral("Zeichnungsobjekt ausgelassen"));
        m_shapeDepth = 0;
    }
    if (popped.dest == Dest::FontTable && Top().dest == Dest::FontTable) {
        // An entry in its own group: its name ends with the group even without ';'.
        if (!m_fontName.trimmed().isEmpty())
            m_fonts[m_fontEntry].name = m_fontName.trimmed();
        m_fontName.clear();
    }
    return true;
}

int Reader::CodePage() const {
    const int f = m_stack.back().ch.font;
    const auto it = m_fonts.find(f < 0 ? m_defaultFont : f);
    if (it != m_fonts.end() && it->second.codePage != 0)
        return it->second.codePage;
    return m_docCodePage;
}

void Reader::ControlWord(const QByteArray& w, bool hasParam, int param) {
    State& st = Top();
    const bool star = m_star;
    m_star = false;
    const Dest dest = st.dest;
    const int on = hasParam ? param : 1;

    // Destinations first: they decide what the rest of the group means.
    if (w == "fonttbl") return Destination(Dest::FontTable);
    if (w == "colortbl") return Destination(Dest::ColorTable);
    if (w == "pict") {
        const bool shapePicture =
            dest == Dest::ShapePropValue && m_shapePropName.compare(u"pib", Qt::CaseInsensitive) == 0;
        if (dest != Dest::Normal && !shapePicture)
            return Destination(Dest::Skip); // a fall-back, or a shape's fill or texture
        if (m_pict)
            return Destination(Dest::Skip); // a picture inside a picture
        m_pict = std::make_unique<Picture>();
        m_pict->depth = int(m_stack.size());
        m_pict->inShape = shapePicture;
        return Destination(Dest::Pict);
    }
    if (w == "pn") return Destination(dest == Dest::Skip ? Dest::Skip : Dest::Pn);
    if (w == "pntxta") return Destination(dest == Dest::Pn ? Dest::PnTextAfter : Dest::Skip);
    if (w == "listtable") return Destination(Dest::ListTable);
    if (w == "listoverridetable") return Destination(Dest::ListOverrideTable);
    if (w == "list" && dest == Dest::ListTable) {
        m_lists.push_back(ListDef{});
        return Destination(Dest::List);
    }
    if (w == "listlevel" && dest == Dest::List) {
        if (!m_lists.empty() && m_lists.back().levels.size() < 9)
            m_lists.back().levels.push_back(ListLevel{});
        return Destination(Dest::ListLevel);
    }
    if (w == "listoverride" && dest == Dest::ListOverrideTable) {
        m_overrideListId = 0;
        return Destination(Dest::ListOverride);
    }
    if (w == "fldinst") {
        if (dest == Dest::Skip)
            return;
        m_fieldInst.clear();
        return Destination(Dest::FieldInst);
    }
    if (w == "fldrslt")
        return st.fieldShown ? Destination(Dest::Skip) : void();
    if (w == "shppict" || w == "object" || w == "result" || w == "field")
        return; // their content is the part to show
    if (w == "shp" || w == "shpgrp") {
        if (dest == Dest::Skip || dest == Dest::Shape)
            return;
        m_shapeDepth = int(m_stack.size());
        m_shapeShown = false;
        return Destination(Dest::Shape);
    }
    if (dest == Dest::Shape) {
        // What a shape shows: its picture (\sn pib) and its text frame; its fall-back result
        // stands in for both.
        if (w == "shpinst" || w == "sp")
            return;
        if (w == "sn") {
            m_shapePropName.clear();
            return Destination(Dest::ShapePropName);
        }
        if (w == "sv")
            return Destination(Dest::ShapePropValue);
        if (w == "shptxt") {
            m_shapeShown = true;
            return Destination(Dest::Normal);
        }
        if (w == "shprslt")
            return Destination(Dest::Skip);
    }
    if (w == "leveltext" && dest == Dest::ListLevel) {
        if (!m_lists.empty() && !m_lists.back().levels.empty())
            m_lists.back().levels.back().text.clear();
        return Destination(Dest::LevelText);
    }
    static const QByteArray lost[] = {"header",  "headerl",  "headerr",    "headerf",
                                      "footer",  "footerl",  "footerr",    "footerf",
                                      "footnote", "annotation", "do"};
    for (const QByteArray& s : lost)
        if (w == s) {
            if (dest != Dest::Skip && !m_lostKinds.contains(QString::fromLatin1(w))) {
                m_lostKinds << QString::fromLatin1(w);
                Problem(QStringLiteral("\\%1 ausgelassen").arg(QString::fromLatin1(w)));
            }
            return Destination(Dest::Skip);
        }
    static const QByteArray skipped[] = {
        "stylesheet", "info",    "pntext",   "pntxtb",   "listtext",  "leveltext", "nonesttables",
        "levelnumbers", "listname",
        "nonshppict", "objdata", "xe",       "tc",        "txe",
        "filetbl",    "revtbl",  "template", "fchars",    "lchars",
        "pgdsctbl",   "rsidtbl", "listpicture", "atnid", "atnauthor", "bkmkstart", "bkmkend"};
    for (const QByteArray& s : skipped)
        if (w == s)
            return Destination(Dest::Skip);
    if (star) {
        Destination(Dest::Skip); // an optional destination we do not know
        return;
    }

    switch (dest) {
    case Dest::Skip:
        if (w == "bin" && hasParam)
            Binary(param);
        return;
    case Dest::FontTable:
        if (w == "f") {
            if (!m_fontName.trimmed().isEmpty())
                m_fonts[m_fontEntry].name = m_fontName.trimmed();
            m_fontName.clear();
            m_fontEntry = param;
            m_fonts[m_fontEntry];
        } else if (w == "fcharset") {
            m_fonts[m_fontEntry].codePage = CodePageOfCharset(param);
        } else if (w == "cpg") {
            m_fonts[m_fontEntry].codePage = param;
        }
        return;
    case Dest::ColorTable:
        if (w == "red") m_red = Clamp(param, 0, 255);
        else if (w == "green") m_green = Clamp(param, 0, 255);
        else if (w == "blue") m_blue = Clamp(param, 0, 255);
        return;
    case Dest::Pict: {
        Picture& p = *m_pict;
        if (w == "bin") {
            if (hasParam)
                Binary(param);
            return;
        }
        if (w == "pngblip") p.kind = "png";
        else if (w == "jpegblip") p.kind = "jpeg";
        else if (w == "dibitmap") p.kind = "dib";
        else if (w == "picw") p.picw = Clamp(param, 0, 1'000'000);
        else if (w == "pich") p.pich = Clamp(param, 0, 1'000'000);
        else if (w == "picwgoal") p.goalw = Clamp(param, 0, 1'000'000);
        else if (w == "pichgoal") p.goalh = Clamp(param, 0, 1'000'000);
        else if (w == "picscalex") p.scalex = Clamp(param, 1, 10'000);
        else if (w == "picscaley") p.scaley = Clamp(param, 1, 10'000);
        else if (p.kind.isEmpty() &&
                 (w == "emfblip" || w == "wmetafile" || w == "macpict" || w == "pmmetafile" ||
                  w == "wbitmap"))
            p.kind = w;
        if (p.header.size() < 4096) {
            p.header += '\\';
            p.header += w;
            if (hasParam)
                p.header += QByteArray::number(param);
        }
        return;
    }
    case Dest::Pn:
        if (w == "pnlvlblt") st.para.pnKind = ListKind::Bullet;
        else if (w == "pnlvlbody" && st.para.pnKind == ListKind::None) st.para.pnKind = ListKind::Decimal;
        else if (w == "pndec") st.para.pnKind = ListKind::Decimal;
        else if (w == "pnlcltr") st.para.pnKind = ListKind::LowerAlpha;
        else if (w == "pnucltr") st.para.pnKind = ListKind::UpperAlpha;
        else if (w == "pnlcrm") st.para.pnKind = ListKind::LowerRoman;
        else if (w == "pnucrm") st.para.pnKind = ListKind::UpperRoman;
        else if (w == "pnstart") st.para.pnStart = Clamp(param, 0, 32767);
        return;
    case Dest::List:
        if (w == "listid" && !m_lists.empty())
            m_lists.back().id = param;
        return;
    case Dest::ListLevel:
        if (!m_lists.empty() && !m_lists.back().levels.empty()) {
            if (w == "levelnfc" || w == "levelnfcn")
                m_lists.back().levels.back().nfc = param;
            else if (w == "levelstartat")
                m_lists.back().levels.back().start = Clamp(param, 0, 32767);
        }
        return;
    case Dest::ListOverride:
        if (w == "listid") m_overrideListId = param;
        else if (w == "ls") m_overrides[param] = m_overrideListId;
        return;
    case Dest::ListTable:
    case Dest::ListOverrideTable:
    case Dest::Shape:
    case Dest::ShapePropValue:
        return;
    case Dest::PnTextAfter:
    case Dest::LevelText:
    case Dest::FieldInst:
    case Dest::ShapePropName:
    case Dest::Normal:
        break; // text of their own, \u included
    }

    // Document properties
    if (w == "ansicpg") {
        if (param > 0)
            m_docCodePage = param;
        return;
    }
    if (w == "deff") {
        m_defaultFont = param;
        return;
    }
    if (w == "uc") {
        st.uc = Clamp(param, 0, 10);
        return;
    }
    if (w == "u") {
        int v = param;
        if (v < 0)
            v += 65536;
        Char(char16_t(Clamp(v, 0, 65535)));
        m_ucSkip = st.uc;
        return;
    }
    if (w == "bin") {
        if (hasParam)
            Binary(param);
        return;
    }
    // Characters
    if (w == "par" || w == "sect" || w == "page") return EndParagraph(true);
    if (w == "row") {
        m_pendingTab = false;
        return EndParagraph(true);
    }
    if (w == "cell" || w == "nestcell") {
        if (m_pendingTab)
            Char(u'\t');
        m_pendingTab = true;
        return;
    }
    if (w == "line") return Char(u'\x2028');
    if (w == "tab") return Char(u'\t');
    if (w == "emdash") return Char(u'\x2014');
    if (w == "endash") return Char(u'\x2013');
    if (w == "bullet") return Char(u'\x2022');
    if (w == "lquote") return Char(u'\x2018');
    if (w == "rquote") return Char(u'\x2019');
    if (w == "ldblquote") return Char(u'\x201C');
    if (w == "rdblquote") return Char(u'\x201D');
    // Character formats
    CharState& c = st.ch;
    if (w == "plain") {
        c = CharState{};
        return;
    }
    if (w == "b") { c.bold = on != 0; return; }
    if (w == "i") { c.italic = on != 0; return; }
    if (w == "ul" || w == "uld" || w == "uldb" || w == "ulw" || w == "uldash" || w == "ulth" ||
        w == "ulwave") { c.underline = on != 0; return; }
    if (w == "ulnone") { c.underline = false; return; }
    if (w == "strike" || w == "striked") { c.strike = on != 0; return; }
    if (w == "fs") { c.halfPoints = hasParam ? Clamp(param, 2, 3276) : 24; return; }
    if (w == "f") { c.font = Clamp(param, 0, 1'000'000); return; }
    if (w == "cf") { c.color = Clamp(param, 0, 1'000'000); return; }
    if (w == "highlight" || w == "cb" || w == "chcbpat") {
        c.highlight = Clamp(param, 0, 1'000'000);
        return;
    }
    if (w == "v") { c.hidden = on != 0; return; }
    // Paragraph formats
    ParaState& pa = st.para;
    if (w == "pard") { pa = ParaState{}; return; }
    if (w == "ql") { pa.align = 0; return; }
    if (w == "qc") { pa.align = 1; return; }
    if (w == "qr") { pa.align = 2; return; }
    if (w == "qj") { pa.align = 3; return; }
    if (w == "li") { pa.li = Clamp(param, -31680, 31680); return; }
    if (w == "ri") { pa.ri = Clamp(param, -31680, 31680); return; }
    if (w == "fi") { pa.fi = Clamp(param, -31680, 31680); return; }
    if (w == "sb") { pa.sb = Clamp(param, 0, 31680); return; }
    if (w == "sa") { pa.sa = Clamp(param, 0, 31680); return; }
    if (w == "ls") { pa.ls = param; return; }
    if (w == "ilvl") { pa.ilvl = Clamp(param, 0, 8); return; }
}

void Reader::ControlSymbol(char c) {
    m_star = false;
    switch (c) {
    case '*': m_star = true; return;
    case '\\': case '{': case '}': {
        const char b[1] = {c};
        return Text(b, 1);
    }
    case '~': return Char(u'\x00A0');
    case '-': return Char(u'\x00AD');
    case '_': return Char(u'\x2011');
    case '\r': case '\n':
        if (Top().dest == Dest::Normal)
            EndParagraph(true);
        return;
    case '\t': return Char(u'\t');
    default: return;
    }
}

void Reader::Text(const char* p, qsizetype n) {
    State& st = Top();
    switch (st.dest) {
    case Dest::FontTable: {
        for (qsizetype i = 0; i < n; ++i) {
            if (p[i] == ';') {
                if (!m_fontName.trimmed().isEmpty())
                    m_fonts[m_fontEntry].name = m_fontName.trimmed();
                m_fontName.clear();
            } else if (m_fontName.size() < 200) {
                m_fontName += QChar(char16_t(DecodeByte(1252, uchar(p[i]))));
            }
        }
        return;
    }
    case Dest::ColorTable:
        for (qsizetype i = 0; i < n; ++i) {
            if (p[i] == ';' && m_colors.size() < 100'000) {
                m_colors.push_back(m_red < 0 && m_green < 0 && m_blue < 0
                                       ? QColor()
                                       : QColor(std::max(m_red, 0), std::max(m_green, 0),
                                                std::max(m_blue, 0)));
                m_red = m_green = m_blue = -1;
            }
        }
        return;
    case Dest::PnTextAfter:
        if (st.para.pnSuffix.size() < 10)
            st.para.pnSuffix += QString::fromLatin1(p, std::min<qsizetype>(n, 10));
        st.para.pnSuffixSet = true;
        return;
    case Dest::LevelText:
    case Dest::FieldInst:
    case Dest::ShapePropName:
        for (qsizetype i = 0; i < n; ++i)
            Char(DecodeByte(1252, uchar(p[i])));
        return;
    case Dest::Normal:
        break;
    default:
        return;
    }
    qsizetype i = 0;
    while (i < n && m_ucSkip > 0) {
        --m_ucSkip;
        ++i;
    }
    if (m_leadPending) {
        // A lead byte without its trail byte is dropped.
        if (QStringDecoder* d = Decoder(m_leadPending))
            d->resetState();
        m_leadPending = 0;
    }
    if (i >= n || Hidden(st.ch))
        return;
    if (m_pendingTab) {
        m_pendingTab = false;
        Char(u'\t');
    }
    BeginText(st.ch);
    const bool doubleByte = IsDoubleByte(CodePage());
    while (i < n) {
        // ASCII as it is; bytes above it are UTF-8 when they form a sequence, else the code page.
        qsizetype j = i;
        while (j < n && uchar(p[j]) < 0x80 && uchar(p[j]) >= 0x20)
            ++j;
        if (j > i) {
            m_run.append(QLatin1StringView(p + i, j - i));
            i = j;
            continue;
        }
        const uchar b = uchar(p[i]);
        if (b == '\t') {
            m_run += QChar(u'\t');
            ++i;
            continue;
        }
        if (b < 0x20) {
            ++i;
            continue;
        }
        if (doubleByte && b > 0x80 && i + 1 < n) {
            // A lead byte takes the next byte with it, whatever it is.
            if (QStringDecoder* d = Decoder(CodePage())) {
                const QString s = d->decode(QByteArrayView(p + i, 2));
                d->resetState();
                m_run += s.isEmpty() ? QString(QChar::ReplacementCharacter) : s;
                i += 2;
                continue;
            }
        }
        int len = b >= 0xF0 && b < 0xF5 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
        bool utf8 = len > 0 && i + len <= n;
        for (int k = 1; utf8 && k < len; ++k)
            utf8 = (uchar(p[i + k]) & 0xC0) == 0x80;
        if (utf8) {
            const QString s = QString::fromUtf8(p + i, len);
            if (!s.contains(QChar::ReplacementCharacter)) {
                m_run += s;
                i += len;
                continue;
            }
        }
        CodePageByte(b);
        ++i;
    }
}

QStringDecoder* Reader::Decoder(int cp) {
    auto& d = m_decoders[cp];
    if (!d) {
        for (const char* pattern : {"windows-%1", "cp%1", "ibm%1"}) {
            d = std::make_unique<QStringDecoder>(
                QString::fromLatin1(pattern).arg(cp).toLatin1().constData());
            if (d->isValid())
                break;
        }
        if (!d->isValid())
            Problem(QStringLiteral("Codepage %1 unbekannt: Zeichen darin als Codepage 1252 gelesen")
                        .arg(cp));
    }
    return d->isValid() ? d.get() : nullptr;
}

void Reader::CodePageByte(uchar b) {
    // In the font table the entry's own code page counts, not the current text's.
    int cp = CodePage();
    if (Top().dest == Dest::FontTable) {
        const auto it = m_fonts.find(m_fontEntry);
        cp = it != m_fonts.end() && it->second.codePage != 0 ? it->second.codePage : m_docCodePage;
    }
    const bool trail = m_leadPending == cp; // a trail byte may be any byte above 0x3F
    m_leadPending = 0;
    if ((b < 0x80 && !trail) || cp == 1252 || cp == 0)
        return Char(DecodeByte(1252, b)); // the common case, without a decoder
    QString s;
    if (cp == 65001) {
        s = QChar(QChar::ReplacementCharacter);
    } else if (QStringDecoder* d = Decoder(cp)) {
        // A lead byte of a double-byte code page gives nothing until its trail byte follows.
        const char ch = char(b);
        s = d->decode(QByteArrayView(&ch, 1));
        if (s.isEmpty() && IsDoubleByte(cp) && !trail)
            m_leadPending = cp;
        else if (s.isEmpty())
            s = QChar(QChar::ReplacementCharacter);
    } else {
        const char32_t c = DecodeByte(1252, b);
        s = QString::fromUcs4(&c, 1);
    }
    for (const char32_t c : s.toUcs4())
        Char(c);
}

void Reader::Char(char32_t c) {
    State& st = Top();
    if (st.dest == Dest::PnTextAfter) {
        if (st.para.pnSuffix.size() < 10)
            Append(st.para.pnSuffix, c);
        st.para.pnSuffixSet = true;
        return;
    }
    switch (st.dest) {
    case Dest::FontTable:
        if (m_fontName.size() < 200)
            Append(m_fontName, c);
        return;
    case Dest::LevelText:
        if (!m_lists.empty() && !m_lists.back().levels.empty() &&
            m_lists.back().levels.back().text.size() < 64)
            Append(m_lists.back().levels.back().text, c);
        return;
    case Dest::FieldInst:
        if (m_fieldInst.size() < 4096)
            Append(m_fieldInst, c);
        return;
    case Dest::ShapePropName:
        if (m_shapePropName.size() < 64)
            Append(m_shapePropName, c);
        return;
    case Dest::Normal:
        break;
    default:
        return;
    }
    if (Hidden(st.ch))
        return;
    if (m_pendingTab && c != u'\t') {
        m_pendingTab = false;
        Char(u'\t');
    }
    BeginText(st.ch);
    Append(m_run, c);
}

bool Reader::Hidden(const CharState& ch) {
    if (!ch.hidden)
        return false;
    if (!m_hiddenSkipped) {
        m_hiddenSkipped = true;
        Problem(QStringLiteral("verborgener Text ausgelassen"));
    }
    return true;
}

void Reader::EndField(const State& inst) {
    // MACROBUTTON name text: the button shows its text, and the field has no result of its own.
    const QString code = m_fieldInst.simplified();
    m_fieldInst.clear();
    if (!code.startsWith(QLatin1String("MACROBUTTON "), Qt::CaseInsensitive))
        return;
    const QString shown = code.section(u' ', 2);
    Top().fieldShown = true;
    if (shown.isEmpty() || Top().dest != Dest::Normal || Hidden(inst.ch))
        return;
    if (m_pendingTab) {
        m_pendingTab = false;
        Char(u'\t');
    }
    BeginText(inst.ch);
    m_run += shown;
}

void Reader::EndLevelText() {
    if (m_lists.empty() || m_lists.back().levels.empty())
        return;
    ListLevel& level = m_lists.back().levels.back();
    // The first character is the length; placeholders are the level numbers 0 to 8.
    QString t = level.text;
    if (t.isEmpty())
        return;
    const int length = t.at(0).unicode();
    t = t.mid(1, length);
    int last = -1;
    for (int i = 0; i < t.size(); ++i)
        if (t.at(i).unicode() < 9)
            last = i;
    if (last >= 0)
        level.suffix = t.mid(last + 1).left(10);
}

void Reader::PictHex() {
    // -1: not a hex digit, -2: white space between digits.
    static const auto table = [] {
        std::array<signed char, 256> t;
        t.fill(-1);
        for (int c = 0; c < 256; ++c)
            if (HexValue(char(c)) >= 0)
                t[c] = static_cast<signed char>(HexValue(char(c)));
        for (char c : {' ', '\r', '\n', '\t'})
            t[uchar(c)] = -2;
        return t;
    }();
    Picture& p = *m_pict;
    // The buffer grows by doubling, never beyond what the rest of the input can fill.
    const qsizetype bound = p.size + (m_end - m_p) / 2 + 1;
    qsizetype cap = p.data.size();
    char* out = p.data.data();
    qsizetype n = p.size;
    int nibble = p.nibble;
    const char* q = m_p;
    while (q < m_end) {
        const char c = *q;
        if (c == '\\' || c == '{' || c == '}')
            break;
        ++q;
        const int v = table[uchar(c)];
        if (v >= 0) {
            if (nibble < 0) {
                nibble = v;
            } else {
                if (n == cap) {
                    cap = std::min(std::max<qsizetype>(cap * 2, 65536), bound);
                    p.data.resize(cap);
                    out = p.data.data();
                }
                out[n++] = char(nibble << 4 | v);
                nibble = -1;
            }
        } else if (v == -1) {
            if (!p.broken)
                Problem(QStringLiteral("Bild mit ungültigen Hex-Zeichen bei Byte %1")
                            .arg(q - 1 - m_begin));
            p.broken = true;
        }
    }
    m_p = q;
    p.size = n;
    p.nibble = nibble;
}

void Reader::Binary(int length) {
    // The length is bounded by what is left of the input.
    const qint64 n = std::min<qint64>(std::max(length, 0), m_end - m_p);
    if (n < length) {
        Problem(QStringLiteral("\\bin länger als die Eingabe"));
        m_result.complete = false;
        if (Top().dest == Dest::Pict && m_pict) {
            // The broken picture ends at its group's closing brace; what follows it is read.
            m_pict->broken = true;
            m_p = std::find(m_p, m_end, '}');
            return;
        }
    }
    if (Top().dest == Dest::Pict && m_pict) {
        m_pict->data.truncate(m_pict->size);
        m_pict->data.append(m_p, n);
        m_pict->size = m_pict->data.size();
    }
    m_p += n;
}

QTextCharFormat Reader::CharFormat(const CharState& c) {
    auto it = m_formats.constFind(c);
    if (it != m_formats.constEnd())
        return *it;
    QTextCharFormat f;
    const auto font = m_fonts.find(c.font < 0 ? m_defaultFont : c.font);
    if (font != m_fonts.end() && !font->second.name.isEmpty())
        f.setFontFamilies({font->second.name});
    f.setFontPointSize(c.halfPoints / 2.0);
    f.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.italic);
    f.setFontUnderline(c.underline);
    f.setFontStrikeOut(c.strike);
    // Index 0 and unset entries are the automatic colour.
    if (c.color > 0 && c.color < int(m_colors.size()) && m_colors[c.color].isValid())
        f.setForeground(m_colors[c.color]);
    if (c.highlight > 0 && c.highlight < int(m_colors.size()) && m_colors[c.highlight].isValid())
        f.setBackground(m_colors[c.highlight]);
    m_formats.insert(c, f);
    return f;
}

void Reader::Flush() {
    if (m_run.isEmpty())
        return;
    m_cursor.insertText(m_run, CharFormat(m_runState));
    m_run.clear();
}

QTextBlockFormat Reader::BlockFormat(const ParaState& p, ListKind kind) {
    QTextBlockFormat f;
    static const Qt::Alignment aligns[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight,
                                           Qt::AlignJustify};
    f.setAlignment(aligns[p.align]);
    // In a list the list's own indent takes the place of the paragraph's.
    if (kind == ListKind::None) {
        if (p.li) f.setLeftMargin(Px(p.li));
        if (p.fi) f.setTextIndent(Px(p.fi));
    }
    if (p.ri) f.setRightMargin(Px(p.ri));
    if (p.sb) f.setTopMargin(Px(p.sb));
    if (p.sa) f.setBottomMargin(Px(p.sa));
    return f;
}

void Reader::EndParagraph(bool newBlock) {
    if (Top().dest != Dest::Normal && newBlock)
        return;
    m_pendingTab = false;
    Flush();
    const ParaState& p = Top().para;
    ListKind kind = p.pnKind;
    int start = p.pnStart;
    QString suffix = p.pnSuffixSet ? p.pnSuffix : QStringLiteral(".");
    if (kind == ListKind::None && p.ls > 0) {
        const auto ov = m_overrides.find(p.ls);
        const int id = ov == m_overrides.end() ? 0 : ov->second;
        for (const ListDef& l : m_lists)
            if (l.id == id && !l.levels.empty()) {
                const ListLevel& lv = l.levels[std::min<size_t>(p.ilvl, l.levels.size() - 1)];
                kind = KindOfNfc(lv.nfc);
                start = lv.start;
                suffix = lv.suffix;
            }
    }
    // A final paragraph without content is what a trailing \par leaves: writers end every
    // paragraph with one, so the last one ends the text rather than starting another.
    const bool trailingBreak = m_wholeDocument ? m_cursor.block().length() <= 1 &&
                                                     m_cursor.block().previous().isValid()
                                               : m_brokeParagraph;
    if (!newBlock && !m_paragraphHasContent && trailingBreak) {
        QTextCursor c(m_cursor);
        c.deletePreviousChar();
        return;
    }
    const bool formatted = p.align || p.li || p.ri || p.fi || p.sb || p.sa || kind != ListKind::None;
    if (formatted || m_wholeDocument || m_cursor.blockFormat() != QTextBlockFormat())
        m_cursor.setBlockFormat(BlockFormat(p, kind));
    if (kind != ListKind::None) {
        if (m_list && m_listKind == kind && m_listStart == start && m_listSuffix == suffix &&
            m_cursor.block().previous().textList() == m_list) {
            m_list->add(m_cursor.block());
        } else {
            m_list = m_cursor.createList(ListFormat(kind, start, suffix));
            m_listKind = kind;
            m_listStart = start;
            m_listSuffix = suffix;
        }
    } else {
        m_list = nullptr;
    }
    m_paragraphHasContent = false;
    if (newBlock) {
        m_cursor.insertBlock(QTextBlockFormat(), CharFormat(Top().ch));
        m_brokeParagraph = true;
    }
}

void Reader::FinishPicture(Picture& p) {
    p.data.truncate(p.size);
    p.data.squeeze();
    if (p.nibble >= 0)
        p.broken = true;
    QImage image;
    if (!p.broken) {
        if (p.kind == "png" || p.kind == "jpeg") {
            image = QImage::fromData(p.data, p.kind == "png" ? "PNG" : "JPEG");
        } else if (p.kind == "dib") {
            image = ImageOfDib(p.data);
        }
    }
    const bool placeholder = image.isNull();
    QSizeF size;
    if (p.goalw > 0 && p.goalh > 0)
        size = QSizeF(Px(p.goalw), Px(p.goalh));
    else if (!image.isNull())
        size = image.size();
    else if (p.picw > 0 && p.pich > 0 && p.picw < 10000 && p.pich < 10000)
        size = QSizeF(p.picw, p.pich);
    else
        size = QSizeF(96, 96);
    size = QSizeF(size.width() * p.scalex / 100.0, size.height() * p.scaley / 100.0);
    size = size.boundedTo(QSizeF(20000, 20000));
    if (p.broken) {
        Problem(QStringLiteral("Bild nicht lesbar, ausgelassen"));
        return;
    }
    if (placeholder) {
        ++m_result.placeholders;
        image = PlaceholderImage(QString::fromLatin1(p.kind.isEmpty() ? "?" : p.kind));
    }
    if (Top().dest != Dest::Normal && !p.inShape)
        return;
    if (p.inShape)
        m_shapeShown = true;
    Flush();
    if (m_pendingTab) {
        m_pendingTab = false;
        Char(u'\t');
        Flush();
    }
    QString name;
    do {
        name = QStringLiteral("rtfpict:%1").arg(++m_pictureCount);
    } while (m_doc->resource(QTextDocument::ImageResource, QUrl(name)).isValid());
    m_doc->addResource(QTextDocument::ImageResource, QUrl(name), image);
    m_doc->addResource(QTextDocument::UserResource, QUrl(RawPictureUrl(name)),
                       QVariantList{p.header, p.data});
    QTextImageFormat f;
    f.merge(CharFormat(Top().ch));
    f.setName(name);
    f.setWidth(size.width());
    f.setHeight(size.height());
    m_cursor.insertImage(f);
    m_paragraphHasContent = true;
}

} // namespace

QTextListFormat ListFormat(ListKind kind, int start, const QString& suffix) {
    QTextListFormat f;
    switch (kind) {
    case ListKind::Bullet: f.setStyle(QTextListFormat::ListDisc); break;
    case ListKind::Decimal: f.setStyle(QTextListFormat::ListDecimal); break;
    case ListKind::LowerAlpha: f.setStyle(QTextListFormat::ListLowerAlpha); break;
    case ListKind::UpperAlpha: f.setStyle(QTextListFormat::ListUpperAlpha); break;
    case ListKind::LowerRoman: f.setStyle(QTextListFormat::ListLowerRoman); break;
    case ListKind::UpperRoman: f.setStyle(QTextListFormat::ListUpperRoman); break;
    case ListKind::None: break;
    }
    f.setIndent(1);
    if (kind != ListKind::Bullet)
        f.setNumberSuffix(suffix);
    // Qt shows every list from 1; the start is kept so that it is written back.
    if (start != 1)
        f.setProperty(ListStartProperty, start);
    return f;
}

QString RawPictureUrl(const QString& imageName) { return QStringLiteral("raw-") + imageName; }

QImage ImageOfDib(const QByteArray& dib) {
    // BITMAPINFOHEADER: size, width, height, planes, bit count, compression, image size, ...
    if (dib.size() < 40)
        return {};
    const auto* d = reinterpret_cast<const uchar*>(dib.constData());
    auto u32 = [d](int o) { return quint32(d[o] | d[o + 1] << 8 | d[o + 2] << 16 | quint32(d[o + 3]) << 24); };
    auto u16 = [d](int o) { return quint16(d[o] | d[o + 1] << 8); };
    const quint32 headerSize = u32(0);
    const qint32 width = qint32(u32(4));
    const qint32 height = qint32(u32(8));
    const int bits = u16(14);
    const quint32 compression = u32(16);
    if (headerSize < 40 || headerSize > quint32(dib.size()) || width <= 0 || height == 0 ||
        height == INT_MIN || qint64(width) * std::abs(height) > MaxImagePixels)
        return {};
    const int h = std::abs(height);
    if (bits == 24 && compression == 0) {
        // The common case, straight into an image without a detour through the BMP reader.
        const qint64 stride = (qint64(width) * 3 + 3) & ~3;
        if (qint64(headerSize) + stride * h > qint64(dib.size()))
            return {};
        QImage img(width, h, QImage::Format_BGR888);
        if (img.isNull())
            return {};
        const uchar* src = d + headerSize;
        for (int y = 0; y < h; ++y) {
            const int row = height > 0 ? h - 1 - y : y;
            std::memcpy(img.scanLine(y), src + qint64(row) * stride, size_t(width) * 3);
        }
        return img;
    }
    // Every other layout through Qt's BMP reader behind a file header of our own.
    quint32 colors = headerSize >= 36 ? u32(32) : 0;
    if (colors == 0 && bits <= 8)
        colors = 1u << bits;
    if (colors > 256)
        return {};
    quint32 offset = 14 + headerSize + colors * 4;
    if (compression == 3 && headerSize == 40)
        offset += 12; // the three bit masks
    QByteArray file;
    file.reserve(dib.size() + 14);
    const quint32 total = quint32(dib.size() + 14);
    const char fh[14] = {'B', 'M', char(total), char(total >> 8), char(total >> 16), char(total >> 24),
                         0, 0, 0, 0, char(offset), char(offset >> 8), char(offset >> 16),
                         char(offset >> 24)};
    file.append(fh, 14);
    file.append(dib);
    return QImage::fromData(file, "BMP");
}

QImage PlaceholderImage(const QString& kind) {
    QImage img(96, 96, QImage::Format_RGB32);
    img.fill(QColor(0xEE, 0xEE, 0xEE));
    QPainter p(&img);
    p.setPen(QColor(0x88, 0x88, 0x88));
    p.drawRect(0, 0, 95, 95);
    p.drawLine(0, 0, 95, 95);
    p.drawLine(0, 95, 95, 0);
    p.end();
    img.setText(QStringLiteral("Description"), QStringLiteral("Bild (%1)").arg(kind));
    return img;
}

ReadResult Read(const QByteArray& data, QTextDocument* doc) {
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    doc->clear();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    ReadResult r = Reader(data, cursor, true).Run();
    cursor.endEditBlock();
    doc->setUndoRedoEnabled(undo);
    doc->setModified(false);
    return r;
}

ReadResult Insert(const QByteArray& data, QTextCursor& cursor) {
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    ReadResult r = Reader(data, cursor, false).Run();
    cursor.endEditBlock();
    return r;
}

} // namespace Rtf
