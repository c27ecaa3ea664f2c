#pragma once
// The conversation between the program and its scan helper (korvex-scanhelper), which runs the
// SANE session in a process of its own: a backend that hangs or crashes then takes only the
// helper with it. Both ends of a Unix stream socket pair carry frames: the 4-byte little-endian
// length of what follows, one message byte, and a body written with QDataStream. The program asks
// and the helper answers; only Break may come while a frame is being read.
//
// Qt Core only: the helper links no more.

#include "IEAcquireTypes.h"

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>

namespace Imaging {
// Beside the type, where QList's own operators find them.
QDataStream& operator<<(QDataStream& s, const TAcquireOption& o);
QDataStream& operator>>(QDataStream& s, TAcquireOption& o);
} // namespace Imaging

namespace Imaging::ScanHelper {

// Raised with every change of the messages below: a helper of another build refuses to talk.
constexpr quint32 kProtocolVersion = 1;
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_4;
// The largest frame either end takes. Data chunks are far smaller; a longer length comes from a
// broken peer and is never allocated.
constexpr quint32 kMaxFrame = 16u << 20;
// The largest frame of page data the program collects: more than any sheet at any depth gives,
// less than a page image may hold.
constexpr qint64 kMaxFrameData = qint64(1) << 31;

enum class TMessage : quint8 {
    // program -> helper; a closed socket ends the batch and the helper
    Devices = 1, // -> DeviceList
    Open,        // QString device -> Answer (closes the device open before)
    Options,     // -> OptionList
    SetOption,   // QString name, QVariant value -> Answer
    Start,       // starts the next frame -> FrameBegin, Data..., FrameEnd; or Status
    Break,       // during a frame: the device stops; the frame then ends with Status
    // helper -> program
    Hello = 64, // quint32 version, bool SANE initialised: the first frame a helper sends
    DeviceList, // QStringList
    Answer,     // bool
    OptionList, // QList<TAcquireOption>
    FrameBegin, // TFrameParameters
    Data,       // raw bytes of the frame, in order
    FrameEnd,   // the frame is complete
    Status,     // qint32 SANE status: the start or the frame ended without data
};

// SANE's parameters of one frame.
struct TFrameParameters {
    qint32 Format = 0; // SANE_Frame: grey, RGB, or one of the three colour planes
    bool LastFrame = true;
    qint32 BytesPerLine = 0;
    qint32 PixelsPerLine = 0;
    qint32 Lines = -1; // -1: not known before the frame ends
    qint32 Depth = 8;
};

QDataStream& operator<<(QDataStream& s, const TFrameParameters& p);
QDataStream& operator>>(QDataStream& s, TFrameParameters& p);

template <class... T> QByteArray Pack(const T&... fields) {
    QByteArray body;
    QDataStream s(&body, QIODevice::WriteOnly);
    s.setVersion(kStreamVersion);
    (s << ... << fields);
    return body;
}
// False when the body does not hold exactly these fields.
template <class... T> bool Unpack(const QByteArray& body, T&... fields) {
    QDataStream s(body);
    s.setVersion(kStreamVersion);
    (s >> ... >> fields);
    return s.status() == QDataStream::Ok && s.atEnd();
}

QByteArray Frame(TMessage message, const QByteArray& body = {});

// Cuts the bytes received into frames.
class TFrameReader final {
public:
    void Append(const char* data, qsizetype size) { m_buffer.append(data, size); }
    // The next complete frame; false while none is. A length beyond kMaxFrame makes the reader
    // broken for good.
    bool Next(TMessage& message, QByteArray& body);
    bool Broken() const { return m_broken; }

private:
    QByteArray m_buffer;
    qsizetype m_start = 0;
    bool m_broken = false;
};

enum class TWait { Frame, Timeout, Closed, Broken };
// Waits up to timeoutMs (-1: without end) for the next frame on fd, reading what comes into
// reader. Closed when the peer is gone; Broken when what came is no frame.
TWait ReadFrame(int fd, TFrameReader& reader, TMessage& message, QByteArray& body, int timeoutMs);
// Sends the whole frame within timeoutMs (-1: without end). A peer that is gone gives false,
// never SIGPIPE.
bool SendFrame(int fd, const QByteArray& frame, int timeoutMs);

} // namespace Imaging::ScanHelper
