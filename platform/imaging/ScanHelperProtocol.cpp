#include "ScanHelperProtocol.h"

#include <QtEndian>

#include <cerrno>
#include <chrono>

#include <poll.h>
#include <sys/socket.h>

namespace Imaging {

QDataStream& operator<<(QDataStream& s, const TAcquireOption& o) {
    return s << o.Name << o.Title << o.Description << qint32(o.Type) << o.Unit << o.Choices
             << o.Values << o.HasRange << o.Min << o.Max << o.Quant << o.Value << o.Active
             << o.Settable;
}

QDataStream& operator>>(QDataStream& s, TAcquireOption& o) {
    qint32 type = 0;
    s >> o.Name >> o.Title >> o.Description >> type >> o.Unit >> o.Choices >> o.Values >>
        o.HasRange >> o.Min >> o.Max >> o.Quant >> o.Value >> o.Active >> o.Settable;
    if (type < TAcquireOption::Bool || type > TAcquireOption::Group)
        s.setStatus(QDataStream::ReadCorruptData);
    o.Type = TAcquireOption::Kind(type);
    return s;
}

} // namespace Imaging

namespace Imaging::ScanHelper {

QDataStream& operator<<(QDataStream& s, const TFrameParameters& p) {
    return s << p.Format << p.LastFrame << p.BytesPerLine << p.PixelsPerLine << p.Lines << p.Depth;
}

QDataStream& operator>>(QDataStream& s, TFrameParameters& p) {
    return s >> p.Format >> p.LastFrame >> p.BytesPerLine >> p.PixelsPerLine >> p.Lines >> p.Depth;
}

QByteArray Frame(TMessage message, const QByteArray& body) {
    QByteArray frame(4, '\0');
    qToLittleEndian(quint32(body.size() + 1), frame.data());
    frame.append(char(message));
    frame.append(body);
    return frame;
}

bool TFrameReader::Next(TMessage& message, QByteArray& body) {
    if (m_broken)
        return false;
    const qsizetype available = m_buffer.size() - m_start;
    if (available < 4)
        return false;
    const quint32 length = qFromLittleEndian<quint32>(m_buffer.constData() + m_start);
    if (length == 0 || length > kMaxFrame) {
        m_broken = true;
        return false;
    }
    if (available - 4 < qsizetype(length))
        return false;
    message = TMessage(quint8(m_buffer[m_start + 4]));
    body = m_buffer.mid(m_start + 5, qsizetype(length) - 1);
    m_start += 4 + qsizetype(length);
    // What was taken goes once it is the larger part, so that a long page costs no quadratic
    // moving of what follows.
    if (m_start == m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    } else if (m_start > m_buffer.size() / 2) {
        m_buffer.remove(0, m_start);
        m_start = 0;
    }
    return true;
}

namespace {
using Clock = std::chrono::steady_clock;

// What is left of timeoutMs since start, for poll; -1 stays without end.
int remaining(Clock::time_point start, int timeoutMs) {
    if (timeoutMs < 0)
        return -1;
    const auto spent =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    return int(qMax<qint64>(0, timeoutMs - spent));
}
} // namespace

TWait ReadFrame(int fd, TFrameReader& reader, TMessage& message, QByteArray& body, int timeoutMs) {
    const Clock::time_point start = Clock::now();
    char chunk[256 * 1024];
    for (;;) {
        if (reader.Next(message, body))
            return TWait::Frame;
        if (reader.Broken())
            return TWait::Broken;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, remaining(start, timeoutMs));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return TWait::Closed;
        if (ready == 0)
            return TWait::Timeout;
        const ssize_t n = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        if (n <= 0)
            return TWait::Closed;
        reader.Append(chunk, n);
    }
}

bool SendFrame(int fd, const QByteArray& frame, int timeoutMs) {
    const Clock::time_point start = Clock::now();
    qsizetype sent = 0;
    while (sent < frame.size()) {
        const ssize_t n = send(fd, frame.constData() + sent, size_t(frame.size() - sent),
                               MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        pollfd p{fd, POLLOUT, 0};
        const int ready = poll(&p, 1, remaining(start, timeoutMs));
        if (ready == 0 || (ready < 0 && errno != EINTR) || (p.revents & (POLLERR | POLLHUP)))
            return false;
    }
    return true;
}

} // namespace Imaging::ScanHelper
