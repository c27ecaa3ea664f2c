#include "IEVectRender.h"

#include "PageCodec.h"

#include <QLineF>
#include <QPainterPath>
#include <QPolygonF>
#include <QTextOption>

#include <cmath>

namespace Imaging {

namespace {

constexpr double kLabelPadding = 4.0;

QRectF rectOf(const TIEVObject& o) {
    return QRectF(QPointF(o.Left, o.Top), QPointF(o.Right, o.Bottom)).normalized();
}

QPen penOf(TPenStyle style, TColor color, int width) {
    if (style == TPenStyle::psClear || color == clNone)
        return QPen(Qt::NoPen);
    QPen pen(ColorOf(color));
    pen.setWidthF(std::max(1, width));
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

QBrush brushOf(TBrushStyle style, TColor color) {
    if (style == TBrushStyle::bsClear || color == clNone)
        return Qt::NoBrush;
    return QBrush(ColorOf(color));
}

Qt::Alignment alignmentOf(TIEAlignment a) {
    switch (a) {
    case TIEAlignment::iejRight:
        return Qt::AlignRight;
    case TIEAlignment::iejCenter:
        return Qt::AlignHCenter;
    case TIEAlignment::iejJustify:
        return Qt::AlignJustify;
    default:
        return Qt::AlignLeft;
    }
}

QRectF labelRect(const TIEVObject& o) {
    if (o.Text.isEmpty())
        return {};
    const QFontMetricsF fm(FontOf(o));
    const QSizeF size = fm.size(0, o.Text) + QSizeF(2 * kLabelPadding, 2 * kLabelPadding);
    QRectF r(QPointF(), size);
    r.moveCenter(QPointF(o.Left, o.Top));
    return r;
}

QPolygonF arrowHead(const QLineF& line, double size) {
    if (line.length() < 1.0)
        return {};
    const double a = std::atan2(line.dy(), line.dx());
    const QPointF tip = line.p2();
    const QPointF left = tip - QPointF(std::cos(a - 0.4) * size, std::sin(a - 0.4) * size);
    const QPointF right = tip - QPointF(std::cos(a + 0.4) * size, std::sin(a + 0.4) * size);
    return QPolygonF({tip, left, right});
}

double arrowSize(const TIEVObject& o) {
    return std::max(10.0, 5.0 * std::max(1, o.PenWidth));
}

} // namespace

QFont FontOf(const TIEVObject& o) {
    QFont f(o.FontName.isEmpty() ? QStringLiteral("Arial") : o.FontName);
    f.setPixelSize(std::max(1, o.FontHeight));
    f.setBold(o.Bold);
    f.setItalic(o.Italic);
    return f;
}

QRectF ObjectBounds(const TIEVObject& o) {
    QRectF r = rectOf(o);
    if (o.Kind == iekLINELABEL) {
        r = r.united(labelRect(o));
        const double a = arrowSize(o);
        r.adjust(-a, -a, a, a);
    }
    return r;
}

bool HitTest(const TIEVObject& o, const QPointF& point, double tolerance) {
    if (o.Kind == iekLINE || o.Kind == iekLINELABEL) {
        if (labelRect(o).contains(point))
            return true;
        const QLineF line(o.Left, o.Top, o.Right, o.Bottom);
        const QPointF d = line.p2() - line.p1();
        const double len2 = d.x() * d.x() + d.y() * d.y();
        double t = len2 > 0 ? QPointF::dotProduct(point - line.p1(), d) / len2 : 0.0;
        t = std::clamp(t, 0.0, 1.0);
        return QLineF(point, line.p1() + t * d).length() <= tolerance;
    }
    if (o.Kind == iekELLIPSE) {
        QPainterPath path;
        path.addEllipse(rectOf(o).adjusted(-tolerance, -tolerance, tolerance, tolerance));
        return path.contains(point);
    }
    return rectOf(o).adjusted(-tolerance, -tolerance, tolerance, tolerance).contains(point);
}

void PaintObject(QPainter& p, const TIEVObject& o) {
    const QRectF r = rectOf(o);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    switch (o.Kind) {
    case iekBOX:
        if (o.BoxHighlight)
            p.setCompositionMode(QPainter::CompositionMode_Multiply);
        p.setPen(penOf(o.PenStyle, o.PenColor, o.PenWidth));
        p.setBrush(brushOf(o.BrushStyle, o.BrushColor));
        p.drawRect(r);
        break;
    case iekELLIPSE:
        p.setPen(penOf(o.PenStyle, o.PenColor, o.PenWidth));
        p.setBrush(brushOf(o.BrushStyle, o.BrushColor));
        p.drawEllipse(r);
        break;
    case iekBITMAP:
        if (!o.Bitmap.isNull()) {
            p.setRenderHint(QPainter::SmoothPixmapTransform, true);
            p.drawImage(r, o.Bitmap);
        }
        break;
    case iekMEMO: {
        p.setPen(Qt::NoPen);
        p.setBrush(brushOf(o.BrushStyle, o.BrushColor));
        p.drawRect(r);
        p.setPen(QPen(ColorOf(o.PenColor)));
        p.setFont(FontOf(o));
        QTextOption opt(alignmentOf(o.TextAlign) | Qt::AlignVCenter);
        opt.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        p.drawText(r.adjusted(2, 2, -2, -2), o.Text, opt);
        if (o.MemoBorderStyle == TPenStyle::psSolid) {
            p.setPen(penOf(TPenStyle::psSolid, o.MemoBorderColor, std::max(1, o.PenWidth)));
            p.setBrush(Qt::NoBrush);
            p.drawRect(r);
        }
        break;
    }
    case iekLINE:
    case iekLINELABEL: {
        const QLineF line(o.Left, o.Top, o.Right, o.Bottom);
        // The line grows with its label, so that it stays visible when the page is zoomed out.
        const QPen pen = penOf(o.PenStyle, o.PenColor, std::max({2, o.PenWidth, o.FontHeight / 8}));
        p.setPen(pen);
        p.drawLine(line);
        if (o.EndShape != TIEShape::iesNone && pen.style() != Qt::NoPen) {
            p.setBrush(ColorOf(o.PenColor));
            const QLineF toward =
                o.EndShape == TIEShape::iesOutArrow ? line : QLineF(line.p2(), line.p1());
            p.drawPolygon(arrowHead(toward, arrowSize(o)));
        }
        if (o.Kind == iekLINELABEL && !o.Text.isEmpty()) {
            const QRectF lr = labelRect(o);
            p.setBrush(brushOf(o.BrushStyle, o.BrushColor));
            p.setPen(o.LabelBorder == TIELabelBorder::ielNone ? QPen(Qt::NoPen) : pen);
            p.drawRect(lr);
            p.setFont(FontOf(o));
            p.setPen(QPen(ColorOf(o.PenColor)));
            p.drawText(lr, Qt::AlignCenter, o.Text);
        }
        break;
    }
    default:
        break;
    }
    p.restore();
}

void PaintObjects(QPainter& p, const TIEVectModel& model) {
    for (const TIEVObject& o : model.Objects())
        if (o.Style.testFlag(ievsVisible))
            PaintObject(p, o);
}

QImage CopyObjectsToBack(const TIEVectModel& model) {
    QImage out = FlattenOnWhite(model.Bitmap()).convertToFormat(QImage::Format_RGB32);
    QPainter p(&out);
    PaintObjects(p, model);
    return out;
}

} // namespace Imaging
