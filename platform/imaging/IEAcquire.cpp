#include "IEAcquire.h"

#include "ScanHelperClient.h"

#include <sane/saneopts.h>

#include <QRegularExpression>

#include <cstdlib>
#include <mutex>

namespace Imaging {

QImage ImageFromScanLines(const QByteArray& data, int bytesPerLine, int pixelsPerLine, int lines,
                          bool colour, int depth) {
    if (bytesPerLine <= 0 || pixelsPerLine <= 0)
        return {};
    if (lines < 0)
        lines = int(data.size() / bytesPerLine);
    if (lines <= 0)
        return {};
    QImage image;
    if (depth == 1) {
        image = QImage(pixelsPerLine, lines, QImage::Format_Mono);
        image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
        image.fill(0);
    } else if (colour) {
        image = QImage(pixelsPerLine, lines, QImage::Format_RGB888);
        image.fill(Qt::white);
    } else {
        image = QImage(pixelsPerLine, lines, QImage::Format_Grayscale8);
        image.fill(255);
    }
    const int samples = colour ? 3 : 1;
    const int copyBytes = depth == 1 ? (pixelsPerLine + 7) / 8 : pixelsPerLine * samples;
    const auto* src = reinterpret_cast<const uchar*>(data.constData());
    for (int y = 0; y < lines; ++y) {
        const qsizetype offset = qsizetype(y) * bytesPerLine;
        if (offset + (depth == 16 ? 2 * copyBytes : copyBytes) > data.size())
            break;
        uchar* dst = image.scanLine(y);
        if (depth == 16) {
            // Samples are in the machine's byte order; their high byte is enough for a page.
            const auto* words = reinterpret_cast<const quint16*>(src + offset);
            for (int i = 0; i < copyBytes; ++i)
                dst[i] = uchar(words[i] >> 8);
        } else {
            memcpy(dst, src + offset, size_t(copyBytes));
        }
    }
    return image;
}

std::shared_ptr<IAcquireBackend> SaneBackend() {
    static std::shared_ptr<IAcquireBackend> backend = std::make_shared<TScanHelperBackend>();
    return backend;
}

// ---------------------------------------------------------------------------------------------
// Prepared pages

TMemoryAcquire::TMemoryAcquire(QString deviceName) : m_devices{std::move(deviceName)} {}

bool TMemoryAcquire::Open(const QString& device) {
    if (!m_devices.contains(device))
        return false;
    m_open = device;
    return true;
}

QList<TAcquireOption> TMemoryAcquire::Options() {
    TAcquireOption resolution;
    resolution.Name = QStringLiteral("resolution");
    resolution.Title = QStringLiteral("Scan resolution");
    resolution.Type = TAcquireOption::Int;
    resolution.Unit = QStringLiteral("dpi");
    resolution.Value = int(m_resolution);
    resolution.Values = {75, 150, 300, 600};
    TAcquireOption source;
    source.Name = QStringLiteral("source");
    source.Title = QStringLiteral("Scan source");
    source.Type = TAcquireOption::String;
    source.Choices = {QStringLiteral("Flatbed"), QStringLiteral("ADF"), QStringLiteral("ADF Duplex")};
    source.Value = m_source;
    return {resolution, source};
}

bool TMemoryAcquire::SetOption(const QString& name, const QVariant& value) {
    if (name == QLatin1String("resolution")) {
        m_resolution = value.toDouble();
        return true;
    }
    if (name == QLatin1String("source") && Options()[1].Choices.contains(value.toString())) {
        m_source = value.toString();
        return true;
    }
    return false;
}

TAcquireStatus TMemoryAcquire::ReadPage(QImage& page, const TAcquireProgress& progress, QString& error) {
    if (m_open.isEmpty()) {
        error = QStringLiteral("no device open");
        return TAcquireStatus::Failed;
    }
    if (m_failAfter >= 0 && m_read >= m_failAfter) {
        error = QStringLiteral("Error during device I/O");
        return TAcquireStatus::Failed;
    }
    if (m_pages.isEmpty())
        return TAcquireStatus::NoDocs;
    if (progress && (!progress(0) || !progress(100)))
        return TAcquireStatus::Cancelled;
    page = m_pages.takeFirst();
    page.setDotsPerMeterX(qRound(m_resolution / 0.0254));
    page.setDotsPerMeterY(qRound(m_resolution / 0.0254));
    ++m_read;
    return TAcquireStatus::Good;
}

// ---------------------------------------------------------------------------------------------
// Acquisition parameters

namespace {
std::mutex backendMutex;
std::shared_ptr<IAcquireBackend> defaultBackend;
// Device -> option -> value, kept for the session.
QHash<QString, QList<QPair<QString, QVariant>>>& sessionSettings() {
    static QHash<QString, QList<QPair<QString, QVariant>>> settings;
    return settings;
}
bool isFeeder(const QString& choice) {
    static const QRegularExpression feeder(QStringLiteral("adf|feeder|einzug|duplex"),
                                           QRegularExpression::CaseInsensitiveOption);
    return choice.contains(feeder);
}
bool isDuplex(const QString& choice) { return choice.contains(QLatin1String("duplex"), Qt::CaseInsensitive); }
} // namespace

void TIEAcquire::SetDefaultBackend(std::shared_ptr<IAcquireBackend> backend) {
    const std::lock_guard lock(backendMutex);
    defaultBackend = std::move(backend);
}

std::shared_ptr<IAcquireBackend> TIEAcquire::DefaultBackend() {
    const std::lock_guard lock(backendMutex);
    return defaultBackend ? defaultBackend : SaneBackend();
}

TIEAcquire::TIEAcquire() = default;
TIEAcquire::~TIEAcquire() = default;

QStringList TIEAcquire::SourceNames(int api) {
    if (api != ieaTWAIN && api != ieaWIA)
        return {};
    return backend()->Devices();
}

bool TIEAcquire::open(int api, const QString& name) {
    if (!backend()->Open(name))
        return false;
    m_api = api;
    m_source = name;
    // A resolution outside the device's own range (SANE's test device starts with one) would
    // give a page of a pixel: the allowed value nearest 300 dpi instead.
    for (const TAcquireOption& o : backend()->Options()) {
        const double v = o.Value.toDouble();
        if (o.Name == QLatin1String(SANE_NAME_SCAN_RESOLUTION) && o.Active && o.Settable && o.HasRange &&
            (v < o.Min || v > o.Max))
            backend()->SetOption(o.Name, qBound(o.Min, 300.0, o.Max));
    }
    for (const auto& [option, value] : sessionSettings().value(name))
        backend()->SetOption(option, value);
    return true;
}

bool TIEAcquire::SetSource(int api, const QString& name) {
    if (name.isEmpty() || !SourceNames(api).contains(name))
        return false;
    return open(api, name);
}

bool TIEAcquire::SetSource(int api, int index) {
    const QStringList names = SourceNames(api);
    if (index == -1)
        index = 0;
    if (index < 0 || index >= names.size())
        return false;
    return open(api, names[index]);
}

QString TIEAcquire::sourceChoice(const std::function<bool(const QString&)>& match) {
    for (const TAcquireOption& o : Options())
        if (o.Name == QLatin1String(SANE_NAME_SCAN_SOURCE))
            for (const QString& c : o.Choices)
                if (match(c))
                    return c;
    return {};
}

bool TIEAcquire::DuplexSupported() { return !sourceChoice(isDuplex).isEmpty(); }

bool TIEAcquire::DuplexEnabled() {
    for (const TAcquireOption& o : Options())
        if (o.Name == QLatin1String(SANE_NAME_SCAN_SOURCE))
            return isDuplex(o.Value.toString());
    return false;
}

void TIEAcquire::SetDuplexEnabled(bool enabled) {
    if (enabled == DuplexEnabled())
        return;
    // Off: the simplex feeder, or the first other source.
    QString choice = enabled ? sourceChoice(isDuplex)
                             : sourceChoice([](const QString& c) { return isFeeder(c) && !isDuplex(c); });
    if (choice.isEmpty())
        choice = sourceChoice([](const QString& c) { return !isDuplex(c); });
    if (!choice.isEmpty())
        SetOption(QStringLiteral(SANE_NAME_SCAN_SOURCE), choice);
}

double TIEAcquire::XResolution() {
    double y = 0;
    for (const TAcquireOption& o : Options()) {
        if (o.Name == QLatin1String(SANE_NAME_SCAN_X_RESOLUTION) && o.Active)
            return o.Value.toDouble();
        if (o.Name == QLatin1String(SANE_NAME_SCAN_RESOLUTION) && o.Active)
            y = o.Value.toDouble();
    }
    return y;
}

QList<TAcquireOption> TIEAcquire::Options() {
    if (m_source.isEmpty())
        return {};
    return backend()->Options();
}

bool TIEAcquire::SetOption(const QString& name, const QVariant& value) {
    return !m_source.isEmpty() && backend()->Open(m_source) && backend()->SetOption(name, value);
}

void TIEAcquire::KeepForSession(const QString& name, const QVariant& value) {
    if (m_source.isEmpty())
        return;
    auto& list = sessionSettings()[m_source];
    for (auto& entry : list)
        if (entry.first == name) {
            entry.second = value;
            return;
        }
    list.append({name, value});
}

void TIEAcquire::ClearSessionSettings() { sessionSettings().clear(); }

TAcquireStatus TIEAcquire::Acquire(bool feeder, QList<QImage>& pages, const TAcquireProgress& progress,
                                   QString& error) {
    if (m_source.isEmpty() || !backend()->Open(m_source)) {
        error = QStringLiteral("device not available");
        return TAcquireStatus::Failed;
    }
    if (feeder) {
        QString current;
        for (const TAcquireOption& o : Options())
            if (o.Name == QLatin1String(SANE_NAME_SCAN_SOURCE))
                current = o.Value.toString();
        if (!current.isEmpty() && !isFeeder(current)) {
            const QString adf = sourceChoice(isFeeder);
            if (!adf.isEmpty())
                SetOption(QStringLiteral(SANE_NAME_SCAN_SOURCE), adf);
            else
                feeder = false; // a flatbed alone gives one page
        }
    }
    const int before = int(pages.size());
    const double dpi = XResolution();
    TAcquireStatus status = TAcquireStatus::Good;
    for (;;) {
        QImage page;
        status = backend()->ReadPage(page, progress, error);
        if (status != TAcquireStatus::Good)
            break;
        if (dpi > 0) {
            page.setDotsPerMeterX(qRound(dpi / 0.0254));
            page.setDotsPerMeterY(qRound(dpi / 0.0254));
        }
        pages.append(page);
        if (!feeder)
            break;
    }
    backend()->EndBatch();
    if (status == TAcquireStatus::NoDocs && pages.size() > before)
        return TAcquireStatus::Good;
    return status;
}

} // namespace Imaging
