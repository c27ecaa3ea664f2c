// Annotation XML benchmark (fixed seed): one page with 1,000 annotations of all kinds, 50 of them
// 400 x 200 stamps (half flat, half photo-like) and 10 barcode markers.
//   ours:     SaveAnnotations into both streams, then LoadAnnotations of the full one into a model;
//   baseline: QXmlStreamWriter writing the same two documents (each picture compressed once, zlib
//             default level, Base64), then QXmlStreamReader reading the full one back with the
//             numbers parsed, Base64 decoded and inflated.
// The same again on a page without pictures (a text in each stamp's place), where the XML is all
// that is measured. Prints a table, then "figure xml_vs_raw R" and "figure annot_xml_text_only R":
// medians of per-round ratios ours / baseline, the side that goes first alternating.

#include "AnnotLayer.h"
#include "AnnotPayload.h"

#include <IERawBitmap.h>

#include <QGuiApplication>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <zlib.h>

#include "../Timing.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

using namespace Imaging;

namespace {

QImage Stamp(std::mt19937& rng, bool photo) {
    QImage img(400, 200, QImage::Format_RGB32);
    if (photo) {
        for (int y = 0; y < 200; ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < 400; ++x)
                line[x] = qRgb((x + int(rng() % 64)) & 255, (y + int(rng() % 64)) & 255,
                               int(rng() % 256));
        }
        return img;
    }
    // A stamp: a coloured frame and text-like bars on white.
    img.fill(Qt::white);
    const QRgb ink = qRgb(int(rng() % 200), 0, int(rng() % 200));
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 400; ++x)
            if (x < 6 || x > 393 || y < 6 || y > 193 ||
                ((y / 20) % 2 == 1 && (x / 15) % 3 != 0 && x > 30 && x < 370 && y > 40 && y < 160))
                img.setPixel(x, y, ink);
    return img;
}

void BuildPage(TAnnotLayer& layer, std::vector<QImage>& stamps, bool pictures) {
    std::mt19937 rng(4711);
    auto pos = [&] {
        return QRect(int(rng() % 2000), int(rng() % 2800), 60 + int(rng() % 300),
                     25 + int(rng() % 120));
    };
    const QStringList words = {QStringLiteral("Prüfen"), QStringLiteral("Rückfrage"),
                               QStringLiteral("Maß"),    QStringLiteral("Lieferung"),
                               QStringLiteral("OK"),     QStringLiteral("Ändern")};
    const QStringList users = {QStringLiteral("meier"), QStringLiteral("schulz"),
                               QStringLiteral("öztürk")};
    int images = 0;
    for (int i = 0; i < 1000; ++i) {
        const QString creator = i < 10 ? QStringLiteral("*Barcode*") : users[rng() % users.size()];
        if (i % 20 == 10 && images < 50) {
            if (!pictures) {
                // The page without pictures: a text in the stamp's place.
                layer.AddAnnotText(QRect(int(rng() % 2000), int(rng() % 2800), 400, 200),
                                   QStringLiteral("Stempel %1").arg(images++), 0, 34,
                                   QStringLiteral("Arial"), false, false, clNone, 0, creator);
                continue;
            }
            const QImage s = Stamp(rng, images % 2 == 1);
            stamps.push_back(s);
            layer.AddAnnotImage(QRect(int(rng() % 2000), int(rng() % 2800), 400, 200), s,
                                QStringLiteral("Stempel %1").arg(images), creator);
            ++images;
            continue;
        }
        switch (i % 4) {
        case 0:
            layer.AddAnnotHighlight(pos(), 65535, creator);
            break;
        case 1:
            layer.AddAnnotText(pos(),
                               words[rng() % words.size()] + u' ' + words[rng() % words.size()], 0,
                               34, QStringLiteral("Arial"), rng() % 2, rng() % 2,
                               rng() % 2 ? clInfoBk : clNone, 0, creator);
            break;
        case 2:
            layer.AddAnnotArrow(pos(), QStringLiteral("Pos. %1").arg(i), rng() % 2,
                                QStringLiteral("Pos. *"), 255, 0, rng() % 2, 26, creator);
            break;
        default:
            layer.AddAnnotDot(QPoint(int(rng() % 2000), int(rng() % 2800)), 10 + int(rng() % 20),
                              255, 0, creator);
            break;
        }
    }
}

// ---- the baseline ------------------------------------------------------------------------------

QByteArray Compress(const QByteArray& raw) {
    uLongf size = compressBound(uLong(raw.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(raw.constData()), uLong(raw.size()),
              Z_DEFAULT_COMPRESSION);
    out.truncate(qsizetype(size));
    return out.toBase64();
}

// Both documents with QXmlStreamWriter from the model's objects; each picture compressed once.
void BaselineWrite(TAnnotLayer& layer, QByteArray& full, QByteArray& x) {
    TIEVectModel& m = layer.Canvas();
    std::vector<QString> payloads(size_t(m.ObjectsCount()));
    for (int i = 0; i < m.ObjectsCount(); ++i)
        if (m.ObjAt(i).Kind == iekBITMAP)
            payloads[size_t(i)] = QString::fromLatin1(Compress(SaveRAW(m.ObjAt(i).Bitmap)));
    for (int pass = 0; pass < 2; ++pass) {
        QByteArray& out = pass == 0 ? full : x;
        out.clear();
        QXmlStreamWriter w(&out);
        w.setAutoFormatting(true);
        w.setAutoFormattingIndent(2);
        w.writeStartDocument();
        w.writeStartElement(QStringLiteral("annotation"));
        for (int i = 0; i < m.ObjectsCount(); ++i) {
            const TIEVObject& o = m.ObjAt(i);
            const TAnnotData& d = layer.AnnotData(o.Handle);
            if (pass == 1 && d.Creator == QLatin1String("*Barcode*"))
                continue;
            const char* name = o.Kind == iekBOX         ? "highlight"
                               : o.Kind == iekMEMO      ? "text"
                               : o.Kind == iekLINELABEL ? "arrow"
                               : o.Kind == iekELLIPSE   ? "dot"
                                                        : "image";
            w.writeStartElement(QLatin1String(name));
            w.writeAttribute(QStringLiteral("top"), QString::number(o.Top));
            w.writeAttribute(QStringLiteral("left"), QString::number(o.Left));
            w.writeAttribute(QStringLiteral("bottom"), QString::number(o.Bottom));
            w.writeAttribute(QStringLiteral("right"), QString::number(o.Right));
            w.writeAttribute(QStringLiteral("creator"), d.Creator);
            w.writeAttribute(QStringLiteral("c_date"), QString::number(DaysToMinutes(d.CDate)));
            w.writeAttribute(QStringLiteral("editor"), d.Editor);
            w.writeAttribute(QStringLiteral("e_date"), QString::number(DaysToMinutes(d.EDate)));
            switch (o.Kind) {
            case iekBOX:
                w.writeAttribute(QStringLiteral("color"), QString::number(o.BrushColor));
                break;
            case iekMEMO:
                w.writeAttribute(QStringLiteral("font"), o.FontName);
                if (o.Bold)
                    w.writeAttribute(QStringLiteral("bold"), QStringLiteral("true"));
                if (o.Italic)
                    w.writeAttribute(QStringLiteral("italic"), QStringLiteral("true"));
                w.writeAttribute(QStringLiteral("color"), QString::number(o.PenColor));
                w.writeAttribute(QStringLiteral("size"), QString::number(o.FontHeight));
                if (o.BrushStyle == TBrushStyle::bsSolid)
                    w.writeAttribute(QStringLiteral("background"), QString::number(o.BrushColor));
                if (o.MemoBorderStyle == TPenStyle::psSolid)
                    w.writeAttribute(QStringLiteral("border"), QString::number(o.MemoBorderColor));
                w.writeCharacters(o.Text);
                break;
            case iekLINELABEL:
                w.writeAttribute(QStringLiteral("color"), QString::number(o.PenColor));
                w.writeAttribute(QStringLiteral("color2"), QString::number(o.BrushColor));
                if (d.AutoText)
                    w.writeAttribute(QStringLiteral("autotext"), QStringLiteral("yes"));
                w.writeAttribute(QStringLiteral("mask"), d.Mask);
                if (o.Bold)
                    w.writeAttribute(QStringLiteral("bold"), QStringLiteral("yes"));
                w.writeAttribute(QStringLiteral("fontsize"), QString::number(o.FontHeight));
                w.writeCharacters(o.Text);
                break;
            case iekELLIPSE:
                w.writeAttribute(QStringLiteral("size"), QString::number(std::abs(o.Width())));
                w.writeAttribute(QStringLiteral("color"), QString::number(o.BrushColor));
                w.writeAttribute(QStringLiteral("border"), QString::number(o.PenColor));
                break;
            default:
                w.writeAttribute(QStringLiteral("image_name"), d.Mask);
                w.writeCharacters(payloads[size_t(i)]);
                break;
            }
            w.writeEndElement();
        }
        w.writeEndElement();
        w.writeEndDocument();
    }
}

// Reads every element with its numbers, decodes and inflates the pictures. Returns the dumps.
std::vector<QByteArray> BaselineRead(const QByteArray& xml, int& elements, qint64& checksum) {
    std::vector<QByteArray> dumps;
    QXmlStreamReader r(xml);
    elements = 0;
    checksum = 0;
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement || r.name() == u"annotation")
            continue;
        ++elements;
        const QXmlStreamAttributes a = r.attributes();
        for (const auto& attr : a) {
            bool ok = false;
            const int v = attr.value().toInt(&ok);
            checksum += ok ? v : attr.value().size();
        }
        const bool image = r.name() == u"image";
        const QString text = r.readElementText();
        if (!image) {
            checksum += text.size();
            continue;
        }
        const QByteArray packed = QByteArray::fromBase64(text.toLatin1());
        QByteArray raw(64 << 20, Qt::Uninitialized);
        uLongf size = uLongf(raw.size());
        uncompress(reinterpret_cast<Bytef*>(raw.data()), &size,
                   reinterpret_cast<const Bytef*>(packed.constData()), uLong(packed.size()));
        raw.truncate(qsizetype(size));
        dumps.push_back(raw);
    }
    return dumps;
}

struct Result {
    double ratio = 0, oursMs = 0, baseMs = 0;
    qint64 fullBytes = 0, xBytes = 0, baseFullBytes = 0, baseXBytes = 0, rawBytes = 0;
    bool same = false;
};

// Save both + load against the floor's write both + read, in rounds whose first side alternates.
Result Measure(bool pictures) {
    TIEVectModel model;
    TAnnotLayer layer(model);
    layer.Env.UserName = [] { return QStringLiteral("bench"); };
    layer.Env.Now = [] { return QDateTime(QDate(2024, 1, 1), QTime(12, 0)); };
    std::vector<QImage> stamps;
    BuildPage(layer, stamps, pictures);
    // Dates are stamped by the first save; the timed runs start with them set.
    {
        QByteArray f, x;
        layer.SaveAnnotations(f, x);
    }
    auto forgetPayloads = [&] {
        for (int i = 0; i < model.ObjectsCount(); ++i) {
            TAnnotData& d = layer.AnnotData(model.GetObjFromIndex(i));
            d.Payload.clear();
            d.PayloadKey = 0;
        }
    };

    const int rounds = pictures ? 9 : 15;
    BenchTiming::PairedRatio ratio;
    std::vector<double> oursMs, baseMs;
    QByteArray full, x, bFull, bX;
    TIEVectModel loaded;
    TAnnotLayer reader(loaded);
    reader.Env = layer.Env;
    std::vector<QByteArray> dumps;
    int baseElements = 0;
    qint64 checksum = 0;
    for (int round = 0; round < rounds; ++round) {
        double ours = 0, base = 0;
        for (int side = 0; side < 2; ++side) {
            const bool oursNow = (side == 0) == BenchTiming::AFirst(round);
            forgetPayloads();
            const auto t = BenchTiming::Stamp::Now();
            if (oursNow) {
                layer.SaveAnnotations(full, x);
                reader.LoadAnnotations(full, 0);
                ours = t.Elapsed().WallMs;
            } else {
                BaselineWrite(layer, bFull, bX);
                dumps = BaselineRead(bFull, baseElements, checksum);
                base = t.Elapsed().WallMs;
            }
        }
        oursMs.push_back(ours);
        baseMs.push_back(base);
        ratio.Add(ours, base);
    }

    // Cross-check: both read back every element, ours the same objects with their places and
    // texts, and both the same pictures.
    Result r;
    r.same = loaded.ObjectsCount() == model.ObjectsCount() &&
             baseElements == model.ObjectsCount() && dumps.size() == stamps.size();
    for (size_t i = 0, k = 0; r.same && i < size_t(loaded.ObjectsCount()); ++i) {
        const TIEVObject& a = loaded.ObjAt(int(i));
        const TIEVObject& b = model.ObjAt(int(i));
        r.same = a.Kind == b.Kind && a.Left == b.Left && a.Top == b.Top && a.Right == b.Right &&
                 a.Bottom == b.Bottom && a.Text == b.Text;
        if (r.same && a.Kind == iekBITMAP) {
            r.same = a.Bitmap == stamps[k] && dumps[k] == SaveRAW(stamps[k]);
            ++k;
        }
    }
    for (const QImage& s : stamps)
        r.rawBytes += SaveRAW(s).size();
    r.ratio = ratio.Median();
    r.oursMs = BenchTiming::Median(oursMs);
    r.baseMs = BenchTiming::Median(baseMs);
    r.fullBytes = full.size();
    r.xBytes = x.size();
    r.baseFullBytes = bFull.size();
    r.baseXBytes = bX.size();
    return r;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const Result withPictures = Measure(true);
    const Result textOnly = Measure(false);
    std::printf("annotation XML: 1000 annotations, 10 barcode markers; 50 stamps 400 x 200, or "
                "50 texts in their place\n");
    std::printf("%-40s %12s %12s %12s %12s\n", "", "ours", "floor", "ours", "floor");
    std::printf("%-40s %25s %25s\n", "", "with pictures", "text only");
    std::printf("%-40s %12lld %12lld %12lld %12lld\n", "full document, bytes",
                withPictures.fullBytes, withPictures.baseFullBytes, textOnly.fullBytes,
                textOnly.baseFullBytes);
    std::printf("%-40s %12lld %12lld %12lld %12lld\n", "stored document (no markers), bytes",
                withPictures.xBytes, withPictures.baseXBytes, textOnly.xBytes,
                textOnly.baseXBytes);
    std::printf("%-40s %12lld\n", "raw picture dumps, bytes", withPictures.rawBytes);
    std::printf("%-40s %12.2f %12.2f %12.2f %12.2f\n", "save both + load, median ms",
                withPictures.oursMs, withPictures.baseMs, textOnly.oursMs, textOnly.baseMs);
    std::printf("%-40s %25s %25s\n", "same objects and pictures", withPictures.same ? "yes" : "NO",
                textOnly.same ? "yes" : "NO");
    std::printf("figure xml_vs_raw %.3f\n", withPictures.ratio);
    std::printf("figure annot_xml_text_only %.3f\n", textOnly.ratio);
    return withPictures.same && textOnly.same ? 0 : 1;
}
