#include "IEScale.h"

#include <algorithm>
#include <vector>

namespace Imaging {

namespace {

// The set bits of a row in [start, start + len), a byte (or part of one) at a time.
inline int countBits(const uchar* line, int start, int len) {
    int n = 0;
    while (len > 0) {
        const int off = start & 7;
        const int take = std::min(8 - off, len);
        n += __builtin_popcount((unsigned(line[start >> 3]) >> (8 - off - take)) & ((1u << take) - 1));
        start += take;
        len -= take;
    }
    return n;
}

// The mono page averaged over step x step blocks into 8-bit grey.
QImage boxAverage(const QImage& page, int step) {
    const int w = std::max(1, page.width() / step), h = std::max(1, page.height() / step);
    QImage grey(w, h, QImage::Format_Grayscale8);
    const QList<QRgb> table = page.colorTable();
    const bool oneIsBlack = table.size() >= 2 && qGray(table[1]) < qGray(table[0]);
    const int area = step * step;
    std::vector<int> sums(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int r = 0; r < step; ++r) {
            const uchar* line = page.constScanLine(y * step + r);
            for (int x = 0; x < w; ++x)
                sums[size_t(x)] += countBits(line, x * step, step);
        }
        uchar* out = grey.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const int ones = sums[size_t(x)];
            const int black = oneIsBlack ? ones : area - ones;
            out[x] = uchar(255 - black * 255 / area);
        }
    }
    return grey;
}

// Any other page averaged over step x step blocks into 32-bit colour (premultiplied where it has
// alpha). Each band of step rows is converted on its own: a large page is never copied whole.
QImage boxAverageColour(const QImage& page, int step) {
    const int w = std::max(1, page.width() / step), h = std::max(1, page.height() / step);
    const QImage::Format format =
        page.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    QImage out(w, h, format);
    if (out.isNull())
        return {};
    const int area = step * step;
    std::vector<quint32> sums(static_cast<size_t>(w) * 4);
    const QList<QRgb> table = page.colorTable();
    for (int y = 0; y < h; ++y) {
        // The band's rows in place, without a copy of the page.
        QImage band(page.constScanLine(y * step), page.width(), step, page.bytesPerLine(), page.format());
        if (!table.isEmpty())
            band.setColorTable(table);
        const QImage rows = band.convertToFormat(format);
        std::fill(sums.begin(), sums.end(), 0);
        for (int r = 0; r < step; ++r) {
            const uchar* line = rows.constScanLine(r);
            for (int x = 0; x < w; ++x) {
                const uchar* p = line + qsizetype(x) * step * 4;
                quint32* s = sums.data() + qsizetype(x) * 4;
                for (int i = 0; i < step; ++i, p += 4) {
                    s[0] += p[0];
                    s[1] += p[1];
                    s[2] += p[2];
                    s[3] += p[3];
                }
            }
        }
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < w * 4; ++x)
            dst[x] = uchar((sums[size_t(x)] + quint32(area) / 2) / quint32(area));
    }
    return out;
}

} // namespace

QImage ScaledDown(const QImage& page, QSize box, bool smooth) {
    if (page.isNull() || box.isEmpty())
        return {};
    const QSize target = page.size().scaled(box, Qt::KeepAspectRatio).boundedTo(page.size());
    if (target.isEmpty())
        return {};
    if (!smooth)
        return page.scaled(target, Qt::KeepAspectRatio, Qt::FastTransformation);
    QImage source = page;
    const int step = std::max(1, std::min(page.width() / target.width(), page.height() / target.height()));
    if (page.format() == QImage::Format_Mono || page.format() == QImage::Format_MonoLSB) {
        if (page.format() == QImage::Format_MonoLSB)
            source = page.convertToFormat(QImage::Format_Mono);
        source = step > 1 ? boxAverage(source, step) : source.convertToFormat(QImage::Format_Grayscale8);
    } else if (step > 1) {
        // Qt's smooth scaling works on a 32-bit copy of the whole page first.
        source = boxAverageColour(page, step);
    }
    if (source.size() == target)
        return source;
    // target has the page's proportions; the averaged blocks may have lost a little of them.
    return source.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace Imaging
