// The per-page annotation XML: one UTF-8 document per page, written by hand so that its bytes are
// fixed (declaration, CR LF, two-space indent, attributes in their order), read with
// QXmlStreamReader.

#include "AnnotLayer.h"
#include "AnnotPayload.h"

#include <IERawBitmap.h>
#include <UDM1.h>

#include <QStringDecoder>
#include <QXmlStreamReader>

#include <limits>
#include <vector>

using namespace Imaging;

namespace {

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<annotation";
const char kTail[] = "</annotation>\r\n";

void appendUtf8(QByteArray& out, char32_t c) {
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        out.append(char(0xC0 | (c >> 6)));
        out.append(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(char(0xE0 | (c >> 12)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    } else {
        out.append(char(0xF0 | (c >> 18)));
        out.append(char(0x80 | ((c >> 12) & 0x3F)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    }
}

// Escapes markup and writes every character XML cannot carry as a stand-in, so the document
// always parses again. In attributes, tab, CR and LF become character references (a parser would
// turn them into blanks); in element text only CR does (it would vanish into the line end).
void appendEscaped(QByteArray& out, const QString& s, bool attribute) {
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = s.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && s.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(char16_t(c), s.at(i + 1).unicode());
            ++i;
        } else if (QChar::isSurrogate(c)) {
            c = 0xFFFD;
        }
        switch (c) {
        case '&':
            out.append("&amp;");
            continue;
        case '<':
            out.append("&lt;");
            continue;
        case '>':
            out.append("&gt;");
            continue;
        case '"':
            if (attribute) {
                out.append("&quot;");
                continue;
            }
            break;
        case '\r':
            out.append("&#xD;");
            continue;
        case '\n':
            if (attribute) {
                out.append("&#xA;");
                continue;
            }
            break;
        case '\t':
            if (attribute) {
                out.append("&#x9;");
                continue;
            }
            break;
        default:
            if (c < 0x20)
                c = ' ';
            else if (c == 0xFFFE || c == 0xFFFF)
                c = 0xFFFD;
            break;
        }
        appendUtf8(out, c);
    }
}

void attr(QByteArray& out, const char* name, const QString& value) {
    out.append(' ');
    out.append(name);
    out.append("=\"");
    appendEscaped(out, value, true);
    out.append('"');
}

void attr(QByteArray& out, const char* name, qint64 value) {
    out.append(' ');
    out.append(name);
    out.append("=\"");
    out.append(QByteArray::number(value));
    out.append('"');
}

void attrLiteral(QByteArray& out, const char* name, const char* value) {
    out.append(' ');
    out.append(name);
    out.append("=\"");
    out.append(value);
    out.append('"');
}

// Our own payloads are Base64 and go out as they are; a kept foreign one is escaped like text.
void appendPayload(QByteArray& out, const QByteArray& payload) {
    for (const char c : payload)
        if (c == '<' || c == '>' || c == '&' || c == '\r' || uchar(c) >= 0x80 || uchar(c) < 0x20) {
            appendEscaped(out, QString::fromUtf8(payload), false);
            return;
        }
    out.append(payload);
}

// Trim as the runtime does: every character up to the blank goes at both ends.
QString trimControls(QStringView s) {
    qsizetype a = 0, b = s.size();
    while (a < b && s.at(a).unicode() <= 32)
        ++a;
    while (b > a && s.at(b - 1).unicode() <= 32)
        --b;
    return s.mid(a, b - a).toString();
}

// Deeper markup inside an annotation element is refused (17104): no page of ours nests at all.
constexpr int kMaxDepth = 64;
// Coordinates of a page not known are kept within this, so that sizes of them fit an int.
constexpr qint64 kFar = qint64(1) << 29;

struct XmlChild {
    QString name;
    QXmlStreamAttributes attributes;
    QString text;  // the character data of the node and everything inside it
    qsizetype rawStart = 0, rawEnd = 0;         // the node in the decoded document
    qsizetype contentStart = 0, contentEnd = 0; // an element's content there
    int index = 0;                              // among the root's child nodes
    bool element = false;
    bool markup = false; // the content holds more than character data
    bool tooDeep = false;
};

struct XmlPage {
    QString text; // the document decoded
    QXmlStreamAttributes rootAttributes;
    std::vector<XmlChild> children;
    QString error;
    QString raw(const XmlChild& c) const { return text.mid(c.rawStart, c.rawEnd - c.rawStart); }
    QString content(const XmlChild& c) const {
        return text.mid(c.contentStart, c.contentEnd - c.contentStart);
    }
};

// The document as the reader would decode it: by its byte order mark, else by its declaration,
// else as UTF-8. Unsupported encodings give the reader's own error.
bool decode(const QByteArray& data, QString& text, QString& error) {
    std::optional<QStringConverter::Encoding> bom = QStringConverter::encodingForData(data);
    QStringDecoder decoder;
    if (bom) {
        decoder = QStringDecoder(*bom);
    } else {
        QXmlStreamReader probe(data);
        QString declared;
        if (probe.readNext() == QXmlStreamReader::StartDocument)
            declared = probe.documentEncoding().toString();
        decoder = declared.isEmpty() ? QStringDecoder(QStringConverter::Utf8)
                                     : QStringDecoder(declared.toLatin1().constData());
        if (!decoder.isValid()) {
            while (!probe.atEnd())
                probe.readNext();
            error = probe.hasError() ? probe.errorString()
                                     : QStringLiteral("Encoding %1 is unsupported").arg(declared);
            return false;
        }
    }
    text = decoder.decode(data);
    return true;
}

// The document element's children, each read to its end without recursion; the reader's error
// when the document is not well-formed. Offsets of nodes come from the reader's character offset
// behind each token; character data reads one character ahead, the "<" of the next markup.
XmlPage readChildren(const QByteArray& data) {
    XmlPage page;
    if (!decode(data, page.text, page.error))
        return page;
    const QString& text = page.text;
    QXmlStreamReader r(text);
    // Names with prefixes that only the root declares stay readable when kept alone.
    r.setNamespaceProcessing(false);
    qsizetype end = 0; // behind the last token
    auto next = [&](qsizetype& start) {
        const auto token = r.readNext();
        start = end;
        end = r.characterOffset();
        if (token == QXmlStreamReader::Characters && end > start && text.at(end - 1) == u'<')
            --end;
        return token;
    };
    int depth = 0;
    int index = 0;
    while (!r.atEnd()) {
        qsizetype start = 0;
        const auto token = next(start);
        if (token == QXmlStreamReader::StartElement) {
            if (depth == 0) {
                page.rootAttributes = r.attributes();
                depth = 1;
                continue;
            }
            XmlChild c;
            c.name = r.name().toString();
            c.attributes = r.attributes();
            c.index = index++;
            c.element = true;
            c.rawStart = start;
            c.contentStart = c.contentEnd = end;
            bool& markup = c.markup;
            int level = 0;
            while (!r.atEnd()) {
                qsizetype at = 0;
                const auto t = next(at);
                if (t == QXmlStreamReader::StartElement) {
                    markup = true;
                    if (++level > kMaxDepth)
                        c.tooDeep = true;
                } else if (t == QXmlStreamReader::EndElement) {
                    if (level == 0) {
                        c.contentEnd = at;
                        break;
                    }
                    --level;
                } else if (t == QXmlStreamReader::Characters) {
                    if (r.isCDATA())
                        markup = true;
                    if (!c.tooDeep)
                        c.text += r.text();
                } else if (t == QXmlStreamReader::Comment ||
                           t == QXmlStreamReader::ProcessingInstruction ||
                           t == QXmlStreamReader::EntityReference) {
                    markup = true;
                } else if (t == QXmlStreamReader::Invalid) {
                    break;
                }
            }
            c.rawEnd = end;
            if (c.tooDeep)
                c.text.clear();
            page.children.push_back(std::move(c));
        } else if (token == QXmlStreamReader::EndElement) {
            depth = 0;
        } else if (depth == 1 &&
                   (token == QXmlStreamReader::Comment ||
                    token == QXmlStreamReader::ProcessingInstruction ||
                    token == QXmlStreamReader::EntityReference ||
                    (token == QXmlStreamReader::Characters &&
                     (r.isCDATA() || !r.isWhitespace())))) {
            XmlChild c;
            c.index = index++;
            c.rawStart = start;
            c.rawEnd = end;
            // Blanks around text directly in the root are the layout's, not the text's.
            while (c.rawStart < c.rawEnd && text.at(c.rawStart).unicode() <= 32)
                ++c.rawStart;
            while (c.rawEnd > c.rawStart && text.at(c.rawEnd - 1).unicode() <= 32)
                --c.rawEnd;
            page.children.push_back(std::move(c));
        }
    }
    if (r.hasError())
        page.error = r.errorString();
    return page;
}

// 64 bits, so that neither a huge value nor its defaults overflow.
qint64 coordAttr(const QXmlStreamAttributes& a, QLatin1StringView name, qint64 def) {
    if (!a.hasAttribute(name))
        return def;
    bool ok = false;
    const qint64 v = a.value(name).trimmed().toLongLong(&ok);
    return ok ? v : def;
}

// The attributes each element kind reads; any other is kept as it came.
bool knownAttribute(TIEVObjectKind kind, QStringView name) {
    static const QStringList common = {QStringLiteral("top"),     QStringLiteral("left"),
                                       QStringLiteral("bottom"),  QStringLiteral("right"),
                                       QStringLiteral("creator"), QStringLiteral("c_date"),
                                       QStringLiteral("editor"),  QStringLiteral("e_date")};
    static const QStringList highlight = {QStringLiteral("color")};
    static const QStringList text = {QStringLiteral("font"),       QStringLiteral("bold"),
                                     QStringLiteral("italic"),     QStringLiteral("color"),
                                     QStringLiteral("size"),       QStringLiteral("background"),
                                     QStringLiteral("border")};
    static const QStringList arrow = {QStringLiteral("color"),    QStringLiteral("color2"),
                                      QStringLiteral("autotext"), QStringLiteral("mask"),
                                      QStringLiteral("bold"),     QStringLiteral("fontsize")};
    static const QStringList dot = {QStringLiteral("size"), QStringLiteral("color"),
                                    QStringLiteral("border")};
    static const QStringList image = {QStringLiteral("image_name")};
    const auto in = [name](const QStringList& list) {
        for (const QString& n : list)
            if (n == name)
                return true;
        return false;
    };
    if (in(common))
        return true;
    switch (kind) {
    case iekBOX:
        return in(highlight);
    case iekMEMO:
        return in(text);
    case iekLINELABEL:
        return in(arrow);
    case iekELLIPSE:
        return in(dot);
    case iekBITMAP:
        return in(image);
    default:
        return false;
    }
}

int intAttr(const QXmlStreamAttributes& a, QLatin1StringView name, int def) {
    if (!a.hasAttribute(name))
        return def;
    bool ok = false;
    const int v = a.value(name).trimmed().toInt(&ok);
    return ok ? v : def;
}

QString strAttr(const QXmlStreamAttributes& a, QLatin1StringView name, const QString& def) {
    return a.hasAttribute(name) ? a.value(name).toString() : def;
}

} // namespace

void TAnnotLayer::SaveAnnotations(QByteArray& data, QByteArray& dataX) {
    // Each element or kept node, and whether the stored stream (without barcode marks) has it.
    std::vector<std::pair<QByteArray, bool>> nodes;
    qsizetype foreign = 0; // the next kept node to write
    auto keptBefore = [&](int index) {
        for (; foreign < m_foreign.size() && m_foreign.at(foreign).Index < index; ++foreign)
            nodes.emplace_back("  " + m_foreign.at(foreign).Raw.toUtf8() + "\r\n", true);
    };
    const QDateTime now = Now();
    const int count = m_canvas.ObjectsCount();
    for (int i = 0; i < count; ++i) {
        const int h = m_canvas.GetObjFromIndex(i);
        const TIEVObject& o = m_canvas.Obj(h);
        const char* name = nullptr;
        switch (o.Kind) {
        case iekBOX:
            name = "highlight";
            break;
        case iekMEMO:
            name = "text";
            break;
        case iekLINELABEL:
            name = "arrow";
            break;
        case iekELLIPSE:
            name = "dot";
            break;
        case iekBITMAP:
            name = "image";
            break;
        default:
            throw EImagesException(17117, UnknownAnnotationText(QString::number(int(o.Kind))));
        }
        CheckAnnotationData(h);
        TAnnotData& d = AnnotData(h);
        // What stood before an object in the page read stays before it.
        if (d.SrcIndex >= 0)
            keptBefore(d.SrcIndex);
        // A new object is stamped with the time of its first write, in its record too.
        if (d.CDate < 0)
            d.CDate = DateTimeToDays(now);
        if (d.EDate < 0)
            d.EDate = DateTimeToDays(now);

        QByteArray e;
        e.append("  <");
        e.append(name);
        attr(e, "top", o.Top);
        attr(e, "left", o.Left);
        attr(e, "bottom", o.Bottom);
        attr(e, "right", o.Right);
        attr(e, "creator", d.Creator);
        attr(e, "c_date", DaysToMinutes(d.CDate));
        attr(e, "editor", d.Editor);
        attr(e, "e_date", DaysToMinutes(d.EDate));
        QString text;
        QByteArray payload;
        // The content as it stood, while what the object shows of it is unchanged.
        bool keepContent = !d.RawContent.isNull();
        switch (o.Kind) {
        case iekBOX:
            attr(e, "color", o.BrushColor);
            break;
        case iekMEMO:
            attr(e, "font", o.FontName);
            if (o.Bold)
                attrLiteral(e, "bold", "true");
            if (o.Italic)
                attrLiteral(e, "italic", "true");
            attr(e, "color", o.PenColor);
            attr(e, "size", o.FontHeight);
            if (o.BrushStyle == TBrushStyle::bsSolid)
                attr(e, "background", o.BrushColor);
            if (o.MemoBorderStyle == TPenStyle::psSolid)
                attr(e, "border", o.MemoBorderColor);
            text = AllowedText(o.Text);
            keepContent = keepContent && o.Text == d.RawText;
            break;
        case iekLINELABEL:
            attr(e, "color", o.PenColor);
            attr(e, "color2", o.BrushColor);
            if (d.AutoText)
                attrLiteral(e, "autotext", "yes");
            attr(e, "mask", d.Mask);
            if (o.Bold)
                attrLiteral(e, "bold", "yes");
            attr(e, "fontsize", o.FontHeight);
            text = AllowedText(o.Text);
            keepContent = keepContent && o.Text == d.RawText;
            break;
        case iekELLIPSE:
            attr(e, "size", std::abs(o.Width()));
            attr(e, "color", o.BrushColor);
            attr(e, "border", o.PenColor);
            break;
        case iekBITMAP:
            attr(e, "image_name", d.ImageName());
            // Each picture is compressed once: the payload it was read from or last written as
            // stays with it while the bitmap is the same; one that could not be read stays as it
            // was stored.
            if (o.Bitmap.isNull() || d.PayloadKey != o.Bitmap.cacheKey() || d.Payload.isEmpty()) {
                if (!o.Bitmap.isNull()) {
                    d.Payload = AnnotPayload::Encode(SaveRAW(o.Bitmap));
                    d.PayloadKey = o.Bitmap.cacheKey();
                }
            }
            payload = d.Payload;
            keepContent = keepContent && payload == d.RawText.toUtf8();
            break;
        default:
            break;
        }
        for (const auto& [attrName, attrValue] : std::as_const(d.ForeignAttributes)) {
            e.append(' ');
            e.append(attrName.toUtf8());
            e.append("=\"");
            appendEscaped(e, attrValue, true);
            e.append('"');
        }
        if (keepContent) {
            e.append('>');
            e.append(d.RawContent.toUtf8());
            e.append("</");
            e.append(name);
            e.append(">\r\n");
        } else if (text.isEmpty() && payload.isEmpty()) {
            e.append("/>\r\n");
        } else {
            e.append('>');
            if (!payload.isEmpty())
                appendPayload(e, payload);
            else
                appendEscaped(e, text, false);
            e.append("</");
            e.append(name);
            e.append(">\r\n");
        }
        nodes.emplace_back(std::move(e), d.Creator != QLatin1String(BarcodeCreator));
    }
    keptBefore(std::numeric_limits<int>::max());
    QByteArray head = kDeclaration;
    for (const auto& [name, value] : std::as_const(m_rootAttributes)) {
        head.append(' ');
        head.append(name.toUtf8());
        head.append("=\"");
        appendEscaped(head, value, true);
        head.append('"');
    }
    head.append(">\r\n");
    QByteArray full, x;
    for (const auto& [bytes, stored] : nodes) {
        if (full.isEmpty())
            full.append(head);
        full.append(bytes);
        if (stored) {
            if (x.isEmpty())
                x.append(head);
            x.append(bytes);
        }
    }
    if (!full.isEmpty())
        full.append(kTail);
    if (!x.isEmpty())
        x.append(kTail);
    data = full;
    dataX = x;
    m_changed = false;
}

void TAnnotLayer::LoadAnnotations(const QByteArray& data, int page, bool reportUnreadable) {
    m_canvas.RemoveAllObjects();
    m_foreign.clear();
    m_rootAttributes.clear();
    m_changed = false;
    m_unreadable = false;
    if (data.isEmpty())
        return;
    auto show = [this](const QString& message) {
        if (Env.ShowException)
            Env.ShowException(message);
    };
    const XmlPage xml = readChildren(data);
    if (!xml.error.isEmpty()) {
        m_unreadable = true;
        if (!reportUnreadable)
            return;
        show(TDM1::FormatLogText(
            makeText(17103,
                     QStringLiteral("Fehler beim Laden der Kommentare von \"%s\" Seite %d. %s")),
            {Env.RemoteFileName, QString::number(page + 1), xml.error}));
        return;
    }
    for (const QXmlStreamAttribute& a : xml.rootAttributes)
        m_rootAttributes.append({a.qualifiedName().toString(), a.value().toString()});
    // Coordinates are kept on the page (any value far off it, when the page is not known), so
    // that sizes and defaults computed from them cannot overflow.
    const QSize pageSize = m_canvas.Bitmap().size();
    const auto onPage = [](qint64 v, int extent) {
        return int(extent > 0 ? std::clamp<qint64>(v, 0, extent) : std::clamp(v, -kFar, kFar));
    };
    const auto keep = [&](const XmlChild& c) { m_foreign.append({c.index, xml.raw(c)}); };
    for (const XmlChild& c : xml.children) {
        if (!c.element) {
            keep(c);
            continue;
        }
        try {
            const QString kindName = c.name.toLower();
            TIEVObjectKind kind = iekNONE;
            if (kindName == u"highlight")
                kind = iekBOX;
            else if (kindName == u"text")
                kind = iekMEMO;
            else if (kindName == u"arrow")
                kind = iekLINELABEL;
            else if (kindName == u"dot")
                kind = iekELLIPSE;
            else if (kindName == u"image")
                kind = iekBITMAP;
            if (kind == iekNONE || c.tooDeep)
                keep(c);
            if (c.tooDeep && kind != iekNONE)
                throw EImagesException(
                    17104, QStringLiteral("Die Anmerkung ist tiefer als %1 Ebenen verschachtelt.")
                               .arg(kMaxDepth));
            if (kind == iekNONE) {
                try {
                    if (Env.RaiseError)
                        Env.RaiseError(UnknownAnnotationText(c.name));
                } catch (const EAbort&) {
                }
                continue;
            }
            const QXmlStreamAttributes& a = c.attributes;
            TIEVObject o;
            o.Kind = kind;
            const qint64 top = coordAttr(a, QLatin1StringView("top"), 0);
            const qint64 left = coordAttr(a, QLatin1StringView("left"), 0);
            o.Top = onPage(top, pageSize.height());
            o.Left = onPage(left, pageSize.width());
            o.Bottom = onPage(coordAttr(a, QLatin1StringView("bottom"), top + 25), pageSize.height());
            o.Right = onPage(coordAttr(a, QLatin1StringView("right"), left + 50), pageSize.width());
            const int h = m_canvas.AddObject(o);
            CheckAnnotationData(h);
            TAnnotData& d = AnnotData(h);
            d.SrcIndex = c.index;
            for (const QXmlStreamAttribute& attribute : a)
                if (!knownAttribute(kind, attribute.qualifiedName()))
                    d.ForeignAttributes.append(
                        {attribute.qualifiedName().toString(), attribute.value().toString()});
            // Kinds without text keep any content; the others content that holds markup.
            if (c.markup || ((kind == iekBOX || kind == iekELLIPSE) && !c.text.trimmed().isEmpty()))
                d.RawContent = xml.content(c);
            d.AllowEdit = 1;
            d.Creator =
                ShortString(strAttr(a, QLatin1StringView("creator"), QStringLiteral("unknown")));
            d.Editor =
                ShortString(strAttr(a, QLatin1StringView("editor"), QStringLiteral("unknown")));
            d.CDate = intAttr(a, QLatin1StringView("c_date"), 0) / 1440.0;
            d.EDate = intAttr(a, QLatin1StringView("e_date"), 0) / 1440.0;
            TIEVObject& n = m_canvas.ObjRef(h);
            switch (kind) {
            case iekBOX:
                n.BoxHighlight = true;
                n.PenStyle = TPenStyle::psClear;
                n.BrushColor = intAttr(a, QLatin1StringView("color"), 65535);
                n.BrushStyle = TBrushStyle::bsSolid;
                break;
            case iekMEMO: {
                n.FontName = strAttr(a, QLatin1StringView("font"), {});
                n.Bold = a.hasAttribute(QLatin1StringView("bold"));
                n.Italic = a.hasAttribute(QLatin1StringView("italic"));
                n.PenColor = intAttr(a, QLatin1StringView("color"), 0);
                n.FontHeight = intAttr(a, QLatin1StringView("size"), 34);
                n.TextAlign = TIEAlignment::iejCenter;
                n.TextAutoSize = true;
                const bool background = a.hasAttribute(QLatin1StringView("background"));
                n.BrushStyle = background ? TBrushStyle::bsSolid : TBrushStyle::bsClear;
                n.MemoCharsBrushStyle = n.BrushStyle;
                if (background)
                    n.BrushColor = intAttr(a, QLatin1StringView("background"), clInfoBk);
                if (a.hasAttribute(QLatin1StringView("border"))) {
                    n.MemoBorderStyle = TPenStyle::psSolid;
                    n.MemoBorderColor = intAttr(a, QLatin1StringView("border"), 0);
                } else {
                    n.MemoBorderStyle = TPenStyle::psClear;
                }
                n.Text = c.text;
                d.RawText = n.Text;
                break;
            }
            case iekLINELABEL:
                n.EndShape = TIEShape::iesOutArrow;
                n.PenStyle = TPenStyle::psSolid;
                n.PenColor = intAttr(a, QLatin1StringView("color"), 255);
                n.BrushStyle = TBrushStyle::bsSolid;
                n.BrushColor = intAttr(a, QLatin1StringView("color2"), 0);
                n.LabelBorder = TIELabelBorder::ielNone;
                n.Text = trimControls(c.text);
                d.RawText = n.Text;
                d.AutoText = a.hasAttribute(QLatin1StringView("autotext")) ? 1 : 0;
                d.Mask = ShortString(trimControls(a.value(QLatin1StringView("mask"))));
                n.Bold = a.hasAttribute(QLatin1StringView("bold"));
                n.Italic = false;
                n.FontHeight = intAttr(a, QLatin1StringView("fontsize"), 26);
                break;
            case iekELLIPSE: {
                // The size is written as the dot's absolute width; a negative one reads the same.
                // A dot stays round: its size is cut to what fits both ways.
                const auto room = [](int from, int extent) {
                    return (extent > 0 ? qint64(extent) : kFar) - from;
                };
                const qint64 size = std::max<qint64>(
                    0, std::min({std::abs(coordAttr(a, QLatin1StringView("size"), 10)),
                                 room(n.Left, pageSize.width()), room(n.Top, pageSize.height())}));
                n.Right = int(n.Left + size);
                n.Bottom = int(n.Top + size);
                n.BrushStyle = TBrushStyle::bsSolid;
                n.BrushColor = intAttr(a, QLatin1StringView("color"), 255);
                n.PenStyle = TPenStyle::psSolid;
                n.PenColor = intAttr(a, QLatin1StringView("border"), 0);
                break;
            }
            case iekBITMAP: {
                d.Mask = ShortString(strAttr(a, QLatin1StringView("image_name"), {}));
                n.BrushStyle = TBrushStyle::bsClear;
                // The stored payload stays with the object whatever happens, so a picture this
                // program cannot read is written back as it came.
                d.Payload = c.text.toUtf8();
                d.RawText = c.text;
                QImage bitmap;
                QString why;
                const std::optional<QByteArray> raw = AnnotPayload::Decode(d.Payload, &why);
                if (raw)
                    bitmap = LoadRAW(*raw, &why);
                if (bitmap.isNull())
                    throw EImagesException(
                        17108,
                        TDM1::FormatLogText(
                            makeText(17108, QStringLiteral("Ungültiges Annotation-Image (%s)")),
                            {Env.RemoteFileName}));
                n.Bitmap = bitmap;
                d.PayloadKey = bitmap.cacheKey();
                break;
            }
            default:
                break;
            }
        } catch (const EAbort&) {
        } catch (const std::exception& e) {
            show(TDM1::FormatLogText(
                makeText(
                    17104,
                    QStringLiteral("Fehler beim Laden des %d. Kommentars von \"%s\" Seite %d. %s")),
                {QString::number(c.index + 1), Env.RemoteFileName, QString::number(page + 1),
                 Rtl::ExceptionMessage(std::current_exception())}));
        }
    }
    m_canvas.Update();
}
