#pragma once
// Peak resident memory of the test process from /proc: what a step costs at its worst.

#include <QByteArray>
#include <QFile>

namespace testsupport {

// AddressSanitizer keeps freed blocks in quarantine (256 MB by default) before reusing them, so a
// step that frees and allocates again peaks higher in that build.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr double kAllocatorSlackMb = 256.0;
#else
inline constexpr double kAllocatorSlackMb = 0.0;
#endif

// The peak a step that takes mb may show: in that build the quarantine comes on top, and the
// shadow memory, an eighth of everything the process touches, on both.
inline double AllowedPeakMb(double mb) {
#if defined(__SANITIZE_ADDRESS__)
    return (mb + kAllocatorSlackMb) * 1.125;
#else
    return mb;
#endif
}

// A "Key:   1234 kB" line of /proc/self/status, in kB; -1 when it is missing.
inline qint64 StatusKb(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Measures the memory a step takes beyond what the process holds before it: the peak is started
// afresh from the current resident size.
class TPeakMemory final {
public:
    TPeakMemory() {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        m_before = StatusKb("VmRSS:");
    }
    // MB above the resident size at construction, at the peak since.
    double ExtraMb() const { return double(StatusKb("VmHWM:") - m_before) / 1024.0; }

private:
    qint64 m_before = 0;
};

} // namespace testsupport
