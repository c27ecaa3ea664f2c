#include "ScanHelperClient.h"

#include <sane/sane.h>

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QScopedValueRollback>

#include <chrono>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Imaging {

Q_LOGGING_CATEGORY(lcScan, "korvex.imaging.scan")

using namespace ScanHelper;

namespace {

using Clock = std::chrono::steady_clock;

qint64 msSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// Reaps pid within waitMs; its wait status, or -1 when it has not ended by then.
int reap(pid_t pid, int waitMs) {
    const Clock::time_point start = Clock::now();
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return status;
        if (r < 0 && errno != EINTR)
            return 0; // not ours to reap (any longer)
        if (msSince(start) >= waitMs)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// Helpers that did not end even when killed (a process stuck inside the kernel): reaped later, so
// that none stays a zombie.
QList<pid_t>& unreaped() {
    // Kept past static destruction: the program's backend ends its helper at exit.
    static auto* pids = new QList<pid_t>;
    return *pids;
}

void reapLeftovers() {
    unreaped().removeIf([](pid_t pid) { return reap(pid, 0) != -1; });
}

// Parameters a page can be made of: its lines hold its pixels, and the frame fits.
bool validFrame(const TFrameParameters& p) {
    const int samples = p.Format == SANE_FRAME_RGB ? 3 : 1;
    return p.Format >= SANE_FRAME_GRAY && p.Format <= SANE_FRAME_BLUE && p.BytesPerLine > 0 &&
           p.PixelsPerLine > 0 && p.Lines >= -1 &&
           (p.Depth == 1 || p.Depth == 8 || p.Depth == 16) &&
           qint64(p.PixelsPerLine) * p.Depth * samples <= qint64(p.BytesPerLine) * 8 &&
           qint64(p.BytesPerLine) * qMax(0, p.Lines) <= kMaxFrameData;
}

// The German text of a SANE status for the log; SANE's own would be read in the helper, where the
// locale lock may be lost.
QString saneStatusText(int status) {
    QString text;
    switch (status) {
    case SANE_STATUS_GOOD:
        text = QStringLiteral("Erfolg");
        break;
    case SANE_STATUS_UNSUPPORTED:
        text = QStringLiteral("Vorgang nicht unterstützt");
        break;
    case SANE_STATUS_CANCELLED:
        text = QStringLiteral("Vorgang abgebrochen");
        break;
    case SANE_STATUS_DEVICE_BUSY:
        text = QStringLiteral("Gerät belegt");
        break;
    case SANE_STATUS_INVAL:
        text = QStringLiteral("Ungültiger Wert");
        break;
    case SANE_STATUS_EOF:
        text = QStringLiteral("Keine weiteren Daten");
        break;
    case SANE_STATUS_JAMMED:
        text = QStringLiteral("Papierstau im Einzug");
        break;
    case SANE_STATUS_NO_DOCS:
        text = QStringLiteral("Der Einzug ist leer");
        break;
    case SANE_STATUS_COVER_OPEN:
        text = QStringLiteral("Der Scannerdeckel ist offen");
        break;
    case SANE_STATUS_IO_ERROR:
        text = QStringLiteral("Ein-/Ausgabefehler des Geräts");
        break;
    case SANE_STATUS_NO_MEM:
        text = QStringLiteral("Zu wenig Speicher");
        break;
    case SANE_STATUS_ACCESS_DENIED:
        text = QStringLiteral("Zugriff verweigert");
        break;
    default:
        text = QStringLiteral("Unbekannter Fehler");
        break;
    }
    return text + QStringLiteral(" (SANE-Status %1)").arg(status);
}

} // namespace

TScanHelperBackend::TScanHelperBackend(TScanHelperLimits limits) : m_limits(limits) {}

TScanHelperBackend::~TScanHelperBackend() {
    dismiss();
    reapLeftovers();
}

QString TScanHelperBackend::HelperProgram() {
    const QString set = qEnvironmentVariable("KORVEX_SCAN_HELPER");
    if (!set.isEmpty())
        return set;
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    const QString dir =
        n > 0 ? QFileInfo(QFile::decodeName(QByteArray(exe, int(n)))).absolutePath() : QString();
    return dir + QStringLiteral("/korvex-scanhelper");
}

bool TScanHelperBackend::spawn() {
    reapLeftovers();
    const QByteArray program = QFile::encodeName(HelperProgram());
    int fds[2];
    const bool paired = socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0;
    // The helper's end becomes its descriptor 3; a descriptor that is 3 already would keep its
    // close-on-exec flag through dup2.
    const int child = paired ? fcntl(fds[1], F_DUPFD_CLOEXEC, 10) : -1;
    if (paired)
        close(fds[1]);
    if (child < 0) {
        if (paired)
            close(fds[0]);
        m_fault = QStringLiteral("Für den Scan-Hilfsprozess ist keine Verbindung zu haben.");
        qCWarning(lcScan).noquote() << m_fault;
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, child, 3);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    // Nothing else of the program's (its database connection, its files) goes along.
    posix_spawn_file_actions_addclosefrom_np(&actions, 4);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    QByteArray parent = QByteArray::number(qint64(getpid()));
    QByteArray path = program;
    char* argv[] = {path.data(), parent.data(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.constData(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(child);
    if (rc != 0) {
        close(fds[0]);
        m_fault = QStringLiteral("Das Scan-Hilfsprogramm %1 kann nicht gestartet werden (%2).")
                      .arg(QFile::decodeName(program),
                           rc == ENOENT   ? QStringLiteral("nicht gefunden")
                           : rc == EACCES ? QStringLiteral("nicht ausführbar")
                                          : QStringLiteral("Fehler %1").arg(rc));
        qCWarning(lcScan).noquote() << m_fault;
        return false;
    }
    m_pid = pid;
    m_socket = fds[0];
    m_reader = {};
    return true;
}

bool TScanHelperBackend::ensure() {
    if (const int status = m_pid ? reap(m_pid, 0) : -1; status != -1) {
        // It ended between two calls. Between two sheets that ends the batch; else a fresh one
        // takes over.
        m_pid = 0;
        close(m_socket);
        m_socket = -1;
        m_opened = false;
        if (m_inBatch) {
            m_inBatch = false;
            m_fault = exitText(status);
            qCWarning(lcScan).noquote() << m_fault;
            return false;
        }
    }
    if (m_pid)
        return true;
    if (!spawn())
        return false;
    m_fault.clear();
    TMessage message{};
    QByteArray body;
    quint32 version = 0;
    bool ok = false;
    if (!await(message, body))
        return false;
    if (message != TMessage::Hello || !Unpack(body, version, ok) || version != kProtocolVersion) {
        fault(
            QStringLiteral("Der Scan-Hilfsprozess gehört zu einer anderen Version des Programms."));
        return false;
    }
    if (!ok) {
        fault(QStringLiteral("SANE lässt sich im Scan-Hilfsprozess nicht starten."));
        return false;
    }
    if (!m_device.isEmpty()) {
        m_opened = askBool(TMessage::Open, Pack(m_device));
        if (m_opened)
            for (const auto& [name, value] : std::as_const(m_settings))
                if (m_pid)
                    setOnHelper(name, value);
    }
    return m_pid != 0;
}

void TScanHelperBackend::dismiss() {
    if (!m_pid)
        return;
    // The closed socket tells the helper to end; it is killed when it does not.
    close(m_socket);
    m_socket = -1;
    if (reap(m_pid, m_limits.EndMs) == -1) {
        kill(m_pid, SIGKILL);
        if (reap(m_pid, m_limits.EndMs) == -1)
            unreaped().append(m_pid);
    }
    m_pid = 0;
    m_opened = false;
    m_inBatch = false;
}

void TScanHelperBackend::fault(const QString& why) {
    if (m_pid) {
        kill(m_pid, SIGKILL);
        const int status = reap(m_pid, m_limits.EndMs);
        if (status == -1)
            unreaped().append(m_pid);
        close(m_socket);
        m_socket = -1;
        m_pid = 0;
        m_opened = false;
        m_inBatch = false;
        m_fault = why.isEmpty() ? exitText(status) : why;
    } else {
        m_fault = why;
    }
    qCWarning(lcScan).noquote() << m_fault;
}

QString TScanHelperBackend::exitText(int waitStatus) const {
    if (waitStatus != -1 && WIFSIGNALED(waitStatus))
        return QStringLiteral("Der Scan-Hilfsprozess ist abgestürzt (Signal %1).")
            .arg(WTERMSIG(waitStatus));
    if (waitStatus != -1 && WIFEXITED(waitStatus))
        return QStringLiteral("Der Scan-Hilfsprozess hat sich beendet (Code %1).")
            .arg(WEXITSTATUS(waitStatus));
    return QStringLiteral("Der Scan-Hilfsprozess hat die Verbindung verloren.");
}

bool TScanHelperBackend::send(TMessage message, const QByteArray& body) {
    if (SendFrame(m_socket, Frame(message, body), m_limits.SilenceMs))
        return true;
    fault({});
    return false;
}

bool TScanHelperBackend::await(TMessage& message, QByteArray& body) {
    switch (ReadFrame(m_socket, m_reader, message, body, m_limits.SilenceMs)) {
    case TWait::Frame:
        return true;
    case TWait::Timeout:
        fault(QStringLiteral("Der Scan-Hilfsprozess antwortet seit %1 s nicht.")
                  .arg(m_limits.SilenceMs / 1000.0));
        return false;
    case TWait::Broken:
        fault(QStringLiteral("Der Scan-Hilfsprozess antwortet unverständlich."));
        return false;
    case TWait::Closed:
        fault({});
        return false;
    }
    return false;
}

bool TScanHelperBackend::ask(TMessage message, const QByteArray& body, TMessage answer,
                             QByteArray& reply) {
    if (!send(message, body))
        return false;
    TMessage got{};
    if (!await(got, reply))
        return false;
    if (got != answer) {
        fault(QStringLiteral("Der Scan-Hilfsprozess antwortet unverständlich."));
        return false;
    }
    return true;
}

bool TScanHelperBackend::askBool(TMessage message, const QByteArray& body) {
    QByteArray reply;
    bool yes = false;
    if (!ask(message, body, TMessage::Answer, reply))
        return false;
    if (!Unpack(reply, yes)) {
        fault(QStringLiteral("Der Scan-Hilfsprozess antwortet unverständlich."));
        return false;
    }
    return yes;
}

bool TScanHelperBackend::setOnHelper(const QString& name, const QVariant& value) {
    return askBool(TMessage::SetOption, Pack(name, value));
}

QStringList TScanHelperBackend::Devices() {
    if (m_busy || !ensure())
        return {};
    const QScopedValueRollback busy(m_busy, true);
    QByteArray reply;
    QStringList names;
    if (!ask(TMessage::Devices, {}, TMessage::DeviceList, reply))
        return {};
    if (!Unpack(reply, names)) {
        fault(QStringLiteral("Der Scan-Hilfsprozess antwortet unverständlich."));
        return {};
    }
    // The user's default device first, as SANE's own front ends honour it.
    const QString preferred = qEnvironmentVariable("SANE_DEFAULT_DEVICE");
    if (!preferred.isEmpty() && names.removeOne(preferred))
        names.prepend(preferred);
    return names;
}

bool TScanHelperBackend::Open(const QString& device) {
    if (device.isEmpty() || m_busy)
        return false;
    if (device != m_device) {
        m_device.clear();
        m_settings.clear();
        m_optionsKnown = false;
        m_opened = false;
    }
    // A fresh helper opens the device it is told of at its start.
    if (!ensure())
        return false;
    if (!m_opened) {
        const QScopedValueRollback busy(m_busy, true);
        m_opened = askBool(TMessage::Open, Pack(device));
    }
    if (m_opened)
        m_device = device;
    return m_opened;
}

void TScanHelperBackend::Close() {
    if (m_busy)
        return;
    dismiss();
    m_device.clear();
    m_settings.clear();
    m_options.clear();
    m_optionsKnown = false;
}

QList<TAcquireOption> TScanHelperBackend::Options() {
    if (m_optionsKnown)
        return m_options;
    if (m_busy || m_device.isEmpty() || !ensure() || !m_opened)
        return {};
    const QScopedValueRollback busy(m_busy, true);
    QByteArray reply;
    QList<TAcquireOption> options;
    if (!ask(TMessage::Options, {}, TMessage::OptionList, reply))
        return {};
    if (!Unpack(reply, options)) {
        fault(QStringLiteral("Der Scan-Hilfsprozess antwortet unverständlich."));
        return {};
    }
    m_options = options;
    m_optionsKnown = true;
    return m_options;
}

bool TScanHelperBackend::SetOption(const QString& name, const QVariant& value) {
    if (m_busy || m_device.isEmpty() || !ensure() || !m_opened)
        return false;
    const QScopedValueRollback busy(m_busy, true);
    m_optionsKnown = false;
    if (!setOnHelper(name, value))
        return false;
    m_settings.removeIf([&](const QPair<QString, QVariant>& s) { return s.first == name; });
    m_settings.append({name, value});
    return true;
}

TScanHelperBackend::TFrameEnd TScanHelperBackend::readFrame(const TAcquireProgress& progress,
                                                            TFrameParameters& parameters,
                                                            QByteArray& data, qint32& status) {
    if (!send(TMessage::Start))
        return TFrameEnd::Lost;
    // While the helper is silent the progress is told again now and then, so that the window
    // stays alive and a break is taken while a sheet is drawn in.
    constexpr int kTick = 100;
    bool begun = false;
    bool broken = false;
    qint64 expected = 0;
    int lastPercent = -1;
    Clock::time_point heard = Clock::now();
    Clock::time_point brokenAt;
    const auto report = [&](int percent) {
        if (!progress || broken)
            return;
        const Clock::time_point before = Clock::now();
        const bool goOn = progress(percent);
        heard += Clock::now() - before; // the time the program spent is not the helper's
        if (goOn)
            return;
        broken = true;
        brokenAt = Clock::now();
        // A helper that cannot be told any more is ended below.
        SendFrame(m_socket, Frame(TMessage::Break), m_limits.EndMs);
    };
    for (;;) {
        const qint64 left =
            broken ? m_limits.EndMs - msSince(brokenAt) : m_limits.SilenceMs - msSince(heard);
        const int wait = int(qBound<qint64>(0, left, progress && !broken ? kTick : left));
        TMessage message{};
        QByteArray body;
        const TWait w = ReadFrame(m_socket, m_reader, message, body, wait);
        if (w == TWait::Timeout) {
            if (broken && msSince(brokenAt) >= m_limits.EndMs) {
                // The user wanted it to stop: no fault of the scan.
                fault(QStringLiteral(
                    "Der Scan-Hilfsprozess endete nach dem Abbruch nicht und wurde beendet."));
                return TFrameEnd::Broken;
            }
            if (!broken && msSince(heard) >= m_limits.SilenceMs) {
                fault(QStringLiteral("Der Scan-Hilfsprozess antwortet seit %1 s nicht.")
                          .arg(m_limits.SilenceMs / 1000.0));
                return TFrameEnd::Lost;
            }
            report(qMax(lastPercent, 0));
            continue;
        }
        if (w != TWait::Frame) {
            fault(w == TWait::Broken
                      ? QStringLiteral("Der Scan-Hilfsprozess antwortet unverständlich.")
                      : QString());
            return broken ? TFrameEnd::Broken : TFrameEnd::Lost;
        }
        heard = Clock::now();
        switch (message) {
        case TMessage::FrameBegin:
            if (begun || !Unpack(body, parameters) || !validFrame(parameters))
                break;
            begun = true;
            expected =
                parameters.Lines > 0 ? qint64(parameters.BytesPerLine) * parameters.Lines : 0;
            data.clear();
            if (expected > 0)
                data.reserve(qsizetype(expected));
            continue;
        case TMessage::Data:
            if (!begun || data.size() + body.size() > kMaxFrameData)
                break;
            if (broken)
                continue;
            data.append(body);
            if (const int percent =
                    expected > 0 ? int(qMin<qint64>(100, data.size() * 100 / expected)) : 0;
                percent != lastPercent) {
                lastPercent = percent;
                report(percent);
            }
            continue;
        case TMessage::FrameEnd:
            if (!begun)
                break;
            return broken ? TFrameEnd::Broken : TFrameEnd::Complete;
        case TMessage::Status:
            if (!Unpack(body, status))
                break;
            return broken ? TFrameEnd::Broken : TFrameEnd::Status;
        default:
            break;
        }
        fault(QStringLiteral("Der Scan-Hilfsprozess antwortet unverständlich."));
        return broken ? TFrameEnd::Broken : TFrameEnd::Lost;
    }
}

TAcquireStatus TScanHelperBackend::ReadPage(QImage& page, const TAcquireProgress& progress,
                                            QString& error) {
    if (m_busy) {
        error = QStringLiteral("Der Scanner ist beschäftigt.");
        return TAcquireStatus::Failed;
    }
    if (m_device.isEmpty() || !ensure() || !m_opened) {
        error = m_fault.isEmpty() ? QStringLiteral("Kein Scanner geöffnet.") : m_fault;
        return TAcquireStatus::Failed;
    }
    const QScopedValueRollback busy(m_busy, true);
    m_inBatch = true;
    QByteArray planes[3];
    QByteArray data;
    TFrameParameters p;
    bool threePass = false;
    for (;;) { // one pass per frame
        QByteArray frame;
        qint32 status = SANE_STATUS_GOOD;
        switch (readFrame(progress, p, frame, status)) {
        case TFrameEnd::Complete:
            break;
        case TFrameEnd::Broken:
            dismiss();
            return TAcquireStatus::Cancelled;
        case TFrameEnd::Lost:
            error = m_fault;
            return TAcquireStatus::Failed;
        case TFrameEnd::Status:
            dismiss();
            if (status == SANE_STATUS_NO_DOCS)
                return TAcquireStatus::NoDocs;
            if (status == SANE_STATUS_CANCELLED)
                return TAcquireStatus::Cancelled;
            error = saneStatusText(status);
            return TAcquireStatus::Failed;
        }
        switch (p.Format) {
        case SANE_FRAME_RED:
            planes[0] = frame;
            threePass = true;
            break;
        case SANE_FRAME_GREEN:
            planes[1] = frame;
            threePass = true;
            break;
        case SANE_FRAME_BLUE:
            planes[2] = frame;
            threePass = true;
            break;
        default:
            data = frame;
            break;
        }
        if (p.LastFrame)
            break;
    }
    const bool colour = threePass || p.Format == SANE_FRAME_RGB;
    int bytesPerLine = p.BytesPerLine;
    if (threePass) {
        // Interleave the three planes into RGB lines.
        const int bytesPerSample = p.Depth == 16 ? 2 : 1;
        const int lines = p.Lines > 0 ? p.Lines : int(planes[0].size() / p.BytesPerLine);
        bytesPerLine = p.PixelsPerLine * 3 * bytesPerSample;
        data = QByteArray(qsizetype(bytesPerLine) * lines, '\xff');
        for (int y = 0; y < lines; ++y)
            for (int x = 0; x < p.PixelsPerLine; ++x)
                for (int c = 0; c < 3; ++c)
                    for (int b = 0; b < bytesPerSample; ++b) {
                        const qsizetype from =
                            qsizetype(y) * p.BytesPerLine + x * bytesPerSample + b;
                        if (from < planes[c].size())
                            data[qsizetype(y) * bytesPerLine + (x * 3 + c) * bytesPerSample + b] =
                                planes[c][from];
                    }
    }
    page = ImageFromScanLines(data, bytesPerLine, p.PixelsPerLine, p.Lines, colour, p.Depth);
    if (page.isNull()) {
        error = saneStatusText(SANE_STATUS_IO_ERROR);
        dismiss();
        return TAcquireStatus::Failed;
    }
    return TAcquireStatus::Good;
}

} // namespace Imaging
