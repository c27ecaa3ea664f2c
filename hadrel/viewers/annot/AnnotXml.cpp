// The per-page annotation XML: one UTF-8 document per page, written by hand so that its bytes are
// fixed (declaration, CR LF, two-space indent, attributes in their order), read with
// QXmlStreamReader.

#include "AnnotLayer.h"
#include "AnnotPayload.h"

#include <IERawBitmap.h>
#include <UDM1.h>

#include <QXmlStreamReader>

#include <vector>

using namespace Imaging;

namespace {

const char kHead[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<annotation>\r\n";
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

struct XmlChild {
    QString name;
    QXmlStreamAttributes attributes;
    QString text;
    int index = 0; // among the root's child nodes
    bool element = false;
};

// The document element's children, or the reader's error when the document is not well-formed.
std::vector<XmlChild> readChildren(const QByteArray& data, QString& error) {
    std::vector<XmlChild> children;
    QXmlStreamReader r(data);
    int depth = 0;
    int index = 0;
    while (!r.atEnd()) {
        const auto token = r.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (depth == 1) {
                XmlChild c;
                c.name = r.name().toString();
                c.attributes = r.attributes();
                c.index = index++;
                c.element = true;
                c.text = r.readElementText(QXmlStreamReader::IncludeChildElements);
                children.push_back(std::move(c));
                continue; // readElementText stops on the element's end
            }
            ++depth;
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        } else if (depth == 1 && (token == QXmlStreamReader::Comment ||
                                  token == QXmlStreamReader::ProcessingInstruction ||
                                  (token == QXmlStreamReader::Characters && !r.isWhitespace()))) {
            ++index;
            children.push_back(XmlChild{{}, {}, {}, index - 1, false});
        }
    }
    if (r.hasError())
        error = r.errorString();
    return children;
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
    QByteArray full, x;
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
            break;
        default:
            break;
        }
        if (text.isEmpty() && payload.isEmpty()) {
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
        if (full.isEmpty())
            full.append(kHead);
        full.append(e);
        if (d.Creator != QLatin1String(BarcodeCreator)) {
            if (x.isEmpty())
                x.append(kHead);
            x.append(e);
        }
    }
    if (!full.isEmpty())
        full.append(kTail);
    if (!x.isEmpty())
        x.append(kTail);
    data = full;
    dataX = x;
}

void TAnnotLayer::LoadAnnotations(const QByteArray& data, int page) {
    m_canvas.RemoveAllObjects();
    if (data.isEmpty())
        return;
    auto show = [this](const QString& message) {
        if (Env.ShowException)
            Env.ShowException(message);
    };
    QString error;
    const std::vector<XmlChild> children = readChildren(data, error);
    if (!error.isEmpty()) {
        show(TDM1::FormatLogText(
            makeText(17103,
                     QStringLiteral("Fehler beim Laden der Kommentare von \"%s\" Seite %d. %s")),
            {Env.RemoteFileName, QString::number(page + 1), error}));
        return;
    }
    for (const XmlChild& c : children) {
        if (!c.element)
            continue;
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
            o.Top = intAttr(a, QLatin1StringView("top"), 0);
            o.Left = intAttr(a, QLatin1StringView("left"), 0);
            o.Bottom = intAttr(a, QLatin1StringView("bottom"), o.Top + 25);
            o.Right = intAttr(a, QLatin1StringView("right"), o.Left + 50);
            const int h = m_canvas.AddObject(o);
            CheckAnnotationData(h);
            TAnnotData& d = AnnotData(h);
            d.SrcIndex = c.index;
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
                d.AutoText = a.hasAttribute(QLatin1StringView("autotext")) ? 1 : 0;
                d.Mask = ShortString(trimControls(a.value(QLatin1StringView("mask"))));
                n.Bold = a.hasAttribute(QLatin1StringView("bold"));
                n.Italic = false;
                n.FontHeight = intAttr(a, QLatin1StringView("fontsize"), 26);
                break;
            case iekELLIPSE: {
                // The size is written as the dot's absolute width; a negative one reads the same.
                const int size = std::abs(intAttr(a, QLatin1StringView("size"), 10));
                n.Right = n.Left + size;
                n.Bottom = n.Top + size;
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
