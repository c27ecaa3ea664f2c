#pragma once
// Acquisition of scanned pages. The viewers address scanners by an API number and a source name;
// both API numbers name the same devices here, which a backend lists: SANE for real devices, or a
// source of prepared pages behind the same interface. A page is read in chunks; after each chunk
// the progress callback may break the scan off.

#include "IEAcquireTypes.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

namespace Imaging {

// Acquisition API numbers kept in the settings: 0 and 1 address the same devices, 2 and above
// none.
constexpr int ieaTWAIN = 0;
constexpr int ieaWIA = 1;
constexpr int ieaNone = 2;

// Answers false to break the running scan off; percent is the part of the page read so far.
using TAcquireProgress = std::function<bool(int percent)>;

class IAcquireBackend {
public:
    virtual ~IAcquireBackend() = default;
    // The devices to choose from; the first is the default. Empty when there is none.
    virtual QStringList Devices() = 0;
    // Opens device (closing another that is open); false when it cannot be opened.
    virtual bool Open(const QString& device) = 0;
    virtual void Close() = 0;
    virtual QString OpenDevice() const = 0;
    virtual QList<TAcquireOption> Options() = 0;
    // False when the device refuses the value.
    virtual bool SetOption(const QString& name, const QVariant& value) = 0;
    // Reads the next page of the running batch (starting one when none runs).
    virtual TAcquireStatus ReadPage(QImage& page, const TAcquireProgress& progress, QString& error) = 0;
    // Ends the batch: the device stops feeding.
    virtual void EndBatch() = 0;
};

// The backend over SANE, whose sessions run in the scan helper process (ScanHelperClient.h).
std::shared_ptr<IAcquireBackend> SaneBackend();

// Prepared pages, handed out in order as a feeder would; serves tests and benchmarks. Its one
// device has the options "resolution" and "source" (flatbed, feeder, duplex feeder).
class TMemoryAcquire final : public IAcquireBackend {
public:
    explicit TMemoryAcquire(QString deviceName = QStringLiteral("memory:0"));
    void SetPages(QList<QImage> pages) { m_pages = std::move(pages); }
    void AddPage(const QImage& page) { m_pages.append(page); }
    int PagesLeft() const { return int(m_pages.size()); }
    void SetResolution(double dpi) { m_resolution = dpi; }
    // The page after which reading fails (0: before the first), as a vanishing device does; -1
    // for never.
    void SetFailAfter(int pages) { m_failAfter = pages; }
    void SetDevices(QStringList devices) { m_devices = std::move(devices); }
    int BatchesEnded() const { return m_batchesEnded; }

    QStringList Devices() override { return m_devices; }
    bool Open(const QString& device) override;
    void Close() override { m_open.clear(); }
    QString OpenDevice() const override { return m_open; }
    QList<TAcquireOption> Options() override;
    bool SetOption(const QString& name, const QVariant& value) override;
    TAcquireStatus ReadPage(QImage& page, const TAcquireProgress& progress, QString& error) override;
    void EndBatch() override { ++m_batchesEnded; }

private:
    QStringList m_devices;
    QString m_open;
    QList<QImage> m_pages;
    double m_resolution = 300;
    QString m_source = QStringLiteral("Flatbed");
    int m_failAfter = -1;
    int m_read = 0;
    int m_batchesEnded = 0;
};

// The acquisition parameters of one view: the chosen source, its duplex state and options, and
// the acquisition itself.
class TIEAcquire {
public:
    TIEAcquire();
    ~TIEAcquire();

    // The backend every new acquisition uses; SANE unless a test or benchmark put another.
    static void SetDefaultBackend(std::shared_ptr<IAcquireBackend> backend);
    static std::shared_ptr<IAcquireBackend> DefaultBackend();

    // Devices for api (both APIs list the same; 2 and above none).
    QStringList SourceNames(int api);
    int SourceCount(int api) { return int(SourceNames(api).size()); }
    // Selects by name, or by index (-1: the default); false when there is no such source or it
    // cannot be opened.
    bool SetSource(int api, const QString& name);
    bool SetSource(int api, int index);
    // ieaNone while nothing is selected.
    int SelectedSourceApi() const { return m_source.isEmpty() ? ieaNone : m_api; }
    QString SelectedSource() const { return m_source; }

    // Duplex is a source choice whose text holds "duplex".
    bool DuplexSupported();
    bool DuplexEnabled();
    void SetDuplexEnabled(bool enabled);
    // The horizontal resolution the device scans with, in dpi; 0 when it does not tell.
    double XResolution();
    double XScaling() const { return 1.0; }

    QList<TAcquireOption> Options();
    bool SetOption(const QString& name, const QVariant& value);
    // Values set for the session: they are put on the device again whenever it is selected,
    // until the program ends.
    void KeepForSession(const QString& name, const QVariant& value);
    static void ClearSessionSettings();

    // Reads one page, or with feeder every page the feeder holds (a flatbed source is switched
    // to the device's feeder first). New pages are appended. Good when at least one page came;
    // Cancelled, NoDocs or Failed (error set) otherwise. A break or failure after some pages
    // keeps those pages and answers with the break or failure.
    TAcquireStatus Acquire(bool feeder, QList<QImage>& pages, const TAcquireProgress& progress,
                           QString& error);

private:
    bool open(int api, const QString& name);
    QString sourceChoice(const std::function<bool(const QString&)>& match);
    // The backend in place now: a test may change it between two uses.
    std::shared_ptr<IAcquireBackend> backend() const { return DefaultBackend(); }
    int m_api = ieaTWAIN;
    QString m_source;
};

// SANE's page data as an image: grey or RGB, 1, 8 or 16 bits (16 bits keep their high byte); a
// 1-bit sample of 1 is black. Lines that the device did not fill stay white.
QImage ImageFromScanLines(const QByteArray& data, int bytesPerLine, int pixelsPerLine, int lines,
                          bool colour, int depth);

} // namespace Imaging
