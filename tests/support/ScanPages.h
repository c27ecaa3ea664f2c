#pragma once
// Pages for scan tests: barcodes drawn by ZXing's writer on a page, a private SANE configuration
// that knows only the "test" backend, so that no network backend is probed, and a scan helper
// that is made to crash or hang.

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <ScanHelperClient.h>

#include <cerrno>
#include <csignal>
#include <memory>

#include <sys/wait.h>

namespace scanpages {

// The code drawn with modules of scale pixels (with its quiet zone).
inline QImage Barcode(const QString& text, ZXing::BarcodeFormat format, int scale = 3) {
    ZXing::MultiFormatWriter writer(format);
    writer.setMargin(10);
    const ZXing::BitMatrix m = writer.encode(text.toStdWString(), 0, 0);
    QImage image(m.width() * scale, (format == ZXing::BarcodeFormat::QRCode ? m.height() : 40) * scale,
                 QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        const int my = format == ZXing::BarcodeFormat::QRCode ? y / scale : 0;
        for (int x = 0; x < image.width(); ++x)
            if (m.get(x / scale, my))
                line[x] = 0;
    }
    return image;
}

// A grey page with light noise (fixed seed) and the codes placed top left, one under the other.
inline QImage Page(int width, int height, const QList<QImage>& codes = {}, quint32 seed = 1) {
    QImage page(width, height, QImage::Format_Grayscale8);
    QRandomGenerator rng(seed);
    for (int y = 0; y < height; ++y) {
        uchar* line = page.scanLine(y);
        for (int x = 0; x < width; ++x)
            line[x] = uchar(225 + rng.bounded(30));
    }
    QPainter p(&page);
    int top = height / 20;
    for (const QImage& code : codes) {
        p.drawImage(width / 20, top, code);
        top += code.height() + height / 20;
    }
    return page;
}

// Points SANE_CONFIG_DIR at a folder whose dll.conf lists only "test", so that the scan helpers
// started from now on know SANE's test device alone.
inline void UseSaneTestBackend() {
    static std::unique_ptr<QTemporaryDir> dir;
    if (dir)
        return;
    dir = std::make_unique<QTemporaryDir>();
    QFile conf(dir->filePath(QStringLiteral("dll.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write("test\n");
    conf.close();
    qputenv("SANE_CONFIG_DIR", QFile::encodeName(dir->path()));
}

// Whether the process pid is gone for good: ended, and no zombie of ours.
inline bool ProcessGone(pid_t pid) {
    if (pid <= 0)
        return false;
    errno = 0;
    if (waitpid(pid, nullptr, WNOHANG) != -1 || errno != ECHILD)
        return false;
    return kill(pid, 0) == -1 && errno == ESRCH;
}

// The scan helper's backend, whose helper gets signal before the page at is read (counted from
// 0): SIGKILL for a helper that crashes, SIGSTOP for one that hangs.
class THelperStopper final : public Imaging::IAcquireBackend {
public:
    THelperStopper(int at, int signal, Imaging::TScanHelperLimits limits = {})
        : m_helper(std::make_shared<Imaging::TScanHelperBackend>(limits)), m_at(at), m_signal(signal) {}
    Imaging::TScanHelperBackend& Helper() { return *m_helper; }
    // The helper that got the signal.
    pid_t Signalled() const { return m_signalled; }

    QStringList Devices() override { return m_helper->Devices(); }
    bool Open(const QString& device) override { return m_helper->Open(device); }
    void Close() override { m_helper->Close(); }
    QString OpenDevice() const override { return m_helper->OpenDevice(); }
    QList<Imaging::TAcquireOption> Options() override { return m_helper->Options(); }
    bool SetOption(const QString& name, const QVariant& value) override { return m_helper->SetOption(name, value); }
    Imaging::TAcquireStatus ReadPage(QImage& page, const Imaging::TAcquireProgress& progress,
                                     QString& error) override {
        if (m_read++ == m_at && m_helper->HelperPid() > 0) {
            m_signalled = m_helper->HelperPid();
            kill(m_signalled, m_signal);
        }
        return m_helper->ReadPage(page, progress, error);
    }
    void EndBatch() override { m_helper->EndBatch(); }

private:
    std::shared_ptr<Imaging::TScanHelperBackend> m_helper;
    int m_at;
    int m_signal;
    int m_read = 0;
    pid_t m_signalled = 0;
};

} // namespace scanpages
