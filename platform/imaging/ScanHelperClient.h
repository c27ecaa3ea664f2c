#pragma once
// The SANE backend as the program sees it: every SANE call runs in the scan helper
// (korvex-scanhelper), a process of its own, so that a backend that hangs or crashes ends the scan
// and not the program. The helper is started on first use; it ends with the batch it scanned
// (SANE's cancel may leave it unfit for more), when the device is closed, when it breaks the
// conversation or stays silent too long, and with this object. A fresh helper opens the device
// again and gets the options set on it since it was opened.
//
// Main thread only: the helper is bound to end with the thread that started it.

#include "IEAcquire.h"
#include "ScanHelperProtocol.h"

#include <sys/types.h>

namespace Imaging {

// The one place of the helper's time limits.
struct TScanHelperLimits {
    // How long the helper may stay silent while it works (a lamp warming up, a sheet drawn in)
    // before it counts as hung and is killed.
    int SilenceMs = 60000;
    // How long it has to end after a break or when it is dismissed, before it is killed.
    int EndMs = 3000;
};

class TScanHelperBackend final : public IAcquireBackend {
public:
    explicit TScanHelperBackend(TScanHelperLimits limits = {});
    ~TScanHelperBackend() override;
    TScanHelperBackend(const TScanHelperBackend&) = delete;
    TScanHelperBackend& operator=(const TScanHelperBackend&) = delete;

    // The helper program: KORVEX_SCAN_HELPER when set, else korvex-scanhelper beside the running
    // program.
    static QString HelperProgram();
    // The running helper's process id; 0 while none runs.
    pid_t HelperPid() const { return m_pid; }
    // Why the last helper ended before its time; empty when none did.
    QString LastFault() const { return m_fault; }

    QStringList Devices() override;
    bool Open(const QString& device) override;
    void Close() override;
    QString OpenDevice() const override { return m_device; }
    QList<TAcquireOption> Options() override;
    bool SetOption(const QString& name, const QVariant& value) override;
    TAcquireStatus ReadPage(QImage& page, const TAcquireProgress& progress,
                            QString& error) override;
    void EndBatch() override { dismiss(); }

private:
    enum class TFrameEnd { Complete, Status, Broken, Lost };
    bool ensure();
    bool spawn();
    // Ends the helper: it is asked by closing the socket and killed when it has not ended
    // within EndMs; it is reaped either way.
    void dismiss();
    // Kills the helper at once and keeps why.
    void fault(const QString& why);
    bool send(ScanHelper::TMessage message, const QByteArray& body = {});
    // The next frame within SilenceMs; a helper that died, broke the conversation or stayed
    // silent is killed, and false comes back.
    bool await(ScanHelper::TMessage& message, QByteArray& body);
    bool ask(ScanHelper::TMessage message, const QByteArray& body, ScanHelper::TMessage answer,
             QByteArray& reply);
    bool askBool(ScanHelper::TMessage message, const QByteArray& body);
    bool setOnHelper(const QString& name, const QVariant& value);
    TFrameEnd readFrame(const TAcquireProgress& progress, ScanHelper::TFrameParameters& parameters,
                        QByteArray& data, qint32& status);
    QString exitText(int waitStatus) const;

    TScanHelperLimits m_limits;
    pid_t m_pid = 0;
    int m_socket = -1;
    ScanHelper::TFrameReader m_reader;
    bool m_busy = false;
    bool m_inBatch = false; // a sheet was read since the batch began

    QString m_fault;
    // The device open and what was set on it since, in the order last set: a fresh helper gets
    // them again.
    QString m_device;
    bool m_opened = false; // by the running helper
    QList<QPair<QString, QVariant>> m_settings;
    // The options as last read; they change only with what is set.
    QList<TAcquireOption> m_options;
    bool m_optionsKnown = false;
};

} // namespace Imaging
