#include "IEAcquire.h"

#include <sane/sane.h>
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

// ---------------------------------------------------------------------------------------------
// SANE

namespace {

QString fromSane(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

QString unitText(SANE_Unit unit) {
    switch (unit) {
    case SANE_UNIT_PIXEL: return QStringLiteral("px");
    case SANE_UNIT_BIT: return QStringLiteral("bit");
    case SANE_UNIT_MM: return QStringLiteral("mm");
    case SANE_UNIT_DPI: return QStringLiteral("dpi");
    case SANE_UNIT_PERCENT: return QStringLiteral("%");
    case SANE_UNIT_MICROSECOND: return QStringLiteral("µs");
    default: return {};
    }
}

class TSaneBackend final : public IAcquireBackend {
public:
    TSaneBackend() {
        SANE_Int version = 0;
        m_ok = sane_init(&version, nullptr) == SANE_STATUS_GOOD;
    }
    ~TSaneBackend() override {
        Close();
        if (m_ok)
            sane_exit();
    }

    QStringList Devices() override {
        QStringList names;
        const SANE_Device** list = nullptr;
        if (!m_ok || sane_get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list)
            return names;
        for (int i = 0; list[i]; ++i)
            names << fromSane(list[i]->name);
        // The user's default device first, as SANE's own front ends honour it.
        const QString preferred = qEnvironmentVariable("SANE_DEFAULT_DEVICE");
        if (!preferred.isEmpty() && names.removeOne(preferred))
            names.prepend(preferred);
        return names;
    }

    bool Open(const QString& device) override {
        if (m_handle && device == m_device)
            return true;
        Close();
        if (!m_ok || device.isEmpty())
            return false;
        SANE_Handle h = nullptr;
        if (sane_open(device.toUtf8().constData(), &h) != SANE_STATUS_GOOD || !h)
            return false;
        m_handle = h;
        m_device = device;
        return true;
    }

    void Close() override {
        if (m_handle) {
            if (m_batch)
                sane_cancel(m_handle);
            sane_close(m_handle);
        }
        m_handle = nullptr;
        m_batch = false;
        m_device.clear();
    }

    QString OpenDevice() const override { return m_device; }

    QList<TAcquireOption> Options() override {
        QList<TAcquireOption> options;
        if (!m_handle)
            return options;
        for (int n = 1;; ++n) {
            const SANE_Option_Descriptor* d = sane_get_option_descriptor(m_handle, n);
            if (!d)
                break;
            options << describe(n, d);
        }
        return options;
    }

    bool SetOption(const QString& name, const QVariant& value) override {
        int n = 0;
        const SANE_Option_Descriptor* d = find(name, n);
        if (!d || !SANE_OPTION_IS_ACTIVE(d->cap) || !SANE_OPTION_IS_SETTABLE(d->cap) || d->size <= 0)
            return false;
        QByteArray buffer(d->size + 1, '\0');
        switch (d->type) {
        case SANE_TYPE_BOOL: {
            SANE_Bool b = value.toBool() ? SANE_TRUE : SANE_FALSE;
            memcpy(buffer.data(), &b, sizeof b);
            break;
        }
        case SANE_TYPE_INT:
        case SANE_TYPE_FIXED: {
            // Arrays get the value in every element.
            const SANE_Word w = d->type == SANE_TYPE_FIXED ? SANE_FIX(value.toDouble())
                                                           : SANE_Word(qRound(value.toDouble()));
            for (int i = 0; i + int(sizeof w) <= d->size; i += int(sizeof w))
                memcpy(buffer.data() + i, &w, sizeof w);
            break;
        }
        case SANE_TYPE_STRING: {
            const QByteArray s = value.toString().toUtf8();
            if (s.size() >= d->size)
                return false;
            memcpy(buffer.data(), s.constData(), size_t(s.size()));
            break;
        }
        case SANE_TYPE_BUTTON:
            break;
        default:
            return false;
        }
        SANE_Int info = 0;
        return sane_control_option(m_handle, n, SANE_ACTION_SET_VALUE,
                                   d->type == SANE_TYPE_BUTTON ? nullptr : buffer.data(),
                                   &info) == SANE_STATUS_GOOD;
    }

    TAcquireStatus ReadPage(QImage& page, const TAcquireProgress& progress, QString& error) override {
        if (!m_handle) {
            error = QStringLiteral("no device open");
            return TAcquireStatus::Failed;
        }
        QByteArray planes[3];
        QByteArray data;
        SANE_Parameters p{};
        bool threePass = false;
        for (;;) { // one pass per frame
            const SANE_Status started = sane_start(m_handle);
            if (started == SANE_STATUS_NO_DOCS) {
                endBatch();
                return TAcquireStatus::NoDocs;
            }
            if (started == SANE_STATUS_CANCELLED) {
                endBatch();
                return TAcquireStatus::Cancelled;
            }
            if (started != SANE_STATUS_GOOD)
                return fail(started, error);
            m_batch = true;
            if (sane_get_parameters(m_handle, &p) != SANE_STATUS_GOOD)
                return fail(SANE_STATUS_IO_ERROR, error);
            const qint64 expected = p.lines > 0 ? qint64(p.bytes_per_line) * p.lines : 0;
            QByteArray frame;
            if (expected > 0)
                frame.reserve(qsizetype(expected));
            char chunk[65536];
            int lastPercent = -1;
            // A break lets the sheet under way come out before the batch ends: backends that
            // read in a thread of their own (SANE's test device among them) can leave the
            // process's loader lock taken when that thread is cancelled in the middle of a read.
            bool broken = false;
            for (;;) {
                SANE_Int len = 0;
                const SANE_Status s =
                    sane_read(m_handle, reinterpret_cast<SANE_Byte*>(chunk), sizeof chunk, &len);
                if (s == SANE_STATUS_EOF)
                    break;
                if (s == SANE_STATUS_CANCELLED) {
                    endBatch();
                    return TAcquireStatus::Cancelled;
                }
                if (s != SANE_STATUS_GOOD)
                    return fail(s, error);
                if (broken)
                    continue;
                frame.append(chunk, len);
                const int percent = expected > 0 ? int(qMin<qint64>(100, frame.size() * 100 / expected)) : 0;
                if (progress && percent != lastPercent) {
                    lastPercent = percent;
                    broken = !progress(percent);
                }
            }
            if (broken) {
                endBatch();
                return TAcquireStatus::Cancelled;
            }
            switch (p.format) {
            case SANE_FRAME_RED: planes[0] = frame; threePass = true; break;
            case SANE_FRAME_GREEN: planes[1] = frame; threePass = true; break;
            case SANE_FRAME_BLUE: planes[2] = frame; threePass = true; break;
            default: data = frame; break;
            }
            if (p.last_frame)
                break;
        }
        const bool colour = threePass || p.format == SANE_FRAME_RGB;
        int bytesPerLine = p.bytes_per_line;
        if (threePass) {
            // Interleave the three planes into RGB lines.
            const int bytesPerSample = p.depth == 16 ? 2 : 1;
            const int lines = p.lines > 0 ? p.lines : int(planes[0].size() / qMax(1, p.bytes_per_line));
            bytesPerLine = p.pixels_per_line * 3 * bytesPerSample;
            data = QByteArray(qsizetype(bytesPerLine) * lines, '\xff');
            for (int y = 0; y < lines; ++y)
                for (int x = 0; x < p.pixels_per_line; ++x)
                    for (int c = 0; c < 3; ++c)
                        for (int b = 0; b < bytesPerSample; ++b) {
                            const qsizetype from = qsizetype(y) * p.bytes_per_line + x * bytesPerSample + b;
                            if (from < planes[c].size())
                                data[qsizetype(y) * bytesPerLine + (x * 3 + c) * bytesPerSample + b] =
                                    planes[c][from];
                        }
        }
        page = ImageFromScanLines(data, bytesPerLine, p.pixels_per_line, p.lines, colour, p.depth);
        if (page.isNull())
            return fail(SANE_STATUS_IO_ERROR, error);
        return TAcquireStatus::Good;
    }

    void EndBatch() override { endBatch(); }

private:
    void endBatch() {
        if (m_handle && m_batch)
            sane_cancel(m_handle);
        m_batch = false;
    }
    TAcquireStatus fail(SANE_Status s, QString& error) {
        error = fromSane(sane_strstatus(s));
        endBatch();
        if (s == SANE_STATUS_NO_DOCS)
            return TAcquireStatus::NoDocs;
        return TAcquireStatus::Failed;
    }
    const SANE_Option_Descriptor* find(const QString& name, int& n) {
        if (!m_handle)
            return nullptr;
        const QByteArray key = name.toUtf8();
        for (n = 1;; ++n) {
            const SANE_Option_Descriptor* d = sane_get_option_descriptor(m_handle, n);
            if (!d)
                return nullptr;
            if (d->name && key == d->name)
                return d;
        }
    }
    TAcquireOption describe(int n, const SANE_Option_Descriptor* d) {
        TAcquireOption o;
        o.Name = fromSane(d->name);
        o.Title = fromSane(d->title);
        o.Description = fromSane(d->desc);
        o.Unit = unitText(d->unit);
        o.Active = SANE_OPTION_IS_ACTIVE(d->cap);
        o.Settable = SANE_OPTION_IS_SETTABLE(d->cap);
        const auto number = [&](SANE_Word w) {
            return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : double(w);
        };
        switch (d->type) {
        case SANE_TYPE_BOOL: o.Type = TAcquireOption::Bool; break;
        case SANE_TYPE_INT: o.Type = TAcquireOption::Int; break;
        case SANE_TYPE_FIXED: o.Type = TAcquireOption::Fixed; break;
        case SANE_TYPE_STRING: o.Type = TAcquireOption::String; break;
        case SANE_TYPE_BUTTON: o.Type = TAcquireOption::Button; break;
        default: o.Type = TAcquireOption::Group; break;
        }
        if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
            o.HasRange = true;
            o.Min = number(d->constraint.range->min);
            o.Max = number(d->constraint.range->max);
            o.Quant = number(d->constraint.range->quant);
        } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list) {
            for (int i = 1; i <= d->constraint.word_list[0]; ++i)
                o.Values << number(d->constraint.word_list[i]);
        } else if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST && d->constraint.string_list) {
            for (int i = 0; d->constraint.string_list[i]; ++i)
                o.Choices << fromSane(d->constraint.string_list[i]);
        }
        if (o.Active && d->size > 0 && o.Type != TAcquireOption::Button && o.Type != TAcquireOption::Group) {
            QByteArray buffer(d->size + 1, '\0');
            if (sane_control_option(m_handle, n, SANE_ACTION_GET_VALUE, buffer.data(), nullptr) ==
                SANE_STATUS_GOOD) {
                SANE_Word w = 0;
                if (o.Type != TAcquireOption::String)
                    memcpy(&w, buffer.constData(), sizeof w);
                switch (o.Type) {
                case TAcquireOption::Bool: o.Value = w != SANE_FALSE; break;
                case TAcquireOption::Int: o.Value = int(w); break;
                case TAcquireOption::Fixed: o.Value = SANE_UNFIX(w); break;
                case TAcquireOption::String: o.Value = QString::fromUtf8(buffer.constData()); break;
                default: break;
                }
            }
        }
        return o;
    }

    bool m_ok = false;
    SANE_Handle m_handle = nullptr;
    QString m_device;
    bool m_batch = false;
};

} // namespace

std::shared_ptr<IAcquireBackend> SaneBackend() {
    static std::shared_ptr<IAcquireBackend> backend = std::make_shared<TSaneBackend>();
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
