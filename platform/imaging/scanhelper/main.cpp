// korvex-scanhelper: the SANE session of one scan, in a process of its own. The program starts it
// with the socket of their conversation as descriptor 3 and its own process id as the argument;
// the helper answers what the program asks (ScanHelperProtocol.h) until the socket closes.
//
// Backends that read in a thread of their own end a pass by cancelling that thread
// asynchronously; a cancel that lands inside the C library's locale lock leaves it taken. So the
// helper leaves with _exit, past every exit handler, and the program starts a fresh one for the
// next batch.

#include <ScanHelperProtocol.h>

#include <sane/sane.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include <poll.h>
#include <sys/prctl.h>

using namespace Imaging;
using namespace Imaging::ScanHelper;

namespace {

constexpr int kSocket = 3;

QString fromSane(const char* s) {
    return s ? QString::fromUtf8(s) : QString();
}

QString unitText(SANE_Unit unit) {
    switch (unit) {
    case SANE_UNIT_PIXEL:
        return QStringLiteral("px");
    case SANE_UNIT_BIT:
        return QStringLiteral("bit");
    case SANE_UNIT_MM:
        return QStringLiteral("mm");
    case SANE_UNIT_DPI:
        return QStringLiteral("dpi");
    case SANE_UNIT_PERCENT:
        return QStringLiteral("%");
    case SANE_UNIT_MICROSECOND:
        return QStringLiteral("µs");
    default:
        return {};
    }
}

class TSession final {
public:
    // Ends the process: the program is gone or closed the conversation.
    [[noreturn]] void Leave() {
        if (m_handle) {
            endBatch();
            sane_close(m_handle);
        }
        _exit(0);
    }

    void Send(TMessage message, const QByteArray& body = {}) {
        if (!SendFrame(kSocket, Frame(message, body), -1))
            _exit(0); // the program is gone
    }

    void Serve() {
        SANE_Int version = 0;
        m_ok = sane_init(&version, nullptr) == SANE_STATUS_GOOD;
        Send(TMessage::Hello, Pack(kProtocolVersion, m_ok));
        for (;;) {
            TMessage message{};
            QByteArray body;
            if (ReadFrame(kSocket, m_reader, message, body, -1) != TWait::Frame)
                Leave();
            switch (message) {
            case TMessage::Devices:
                Send(TMessage::DeviceList, Pack(devices()));
                break;
            case TMessage::Open: {
                QString device;
                Send(TMessage::Answer, Pack(Unpack(body, device) && open(device)));
                break;
            }
            case TMessage::Options:
                Send(TMessage::OptionList, Pack(options()));
                break;
            case TMessage::SetOption: {
                QString name;
                QVariant value;
                Send(TMessage::Answer, Pack(Unpack(body, name, value) && setOption(name, value)));
                break;
            }
            case TMessage::Start:
                readFrame();
                break;
            case TMessage::Break:
                break; // came after the frame had ended
            default:
                Leave(); // no conversation of ours
            }
        }
    }

private:
    QStringList devices() {
        QStringList names;
        const SANE_Device** list = nullptr;
        if (!m_ok || sane_get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list)
            return names;
        for (int i = 0; list[i]; ++i)
            names << fromSane(list[i]->name);
        return names;
    }

    bool open(const QString& device) {
        if (m_handle && device == m_device)
            return true;
        if (m_handle) {
            endBatch();
            sane_close(m_handle);
            m_handle = nullptr;
            m_device.clear();
        }
        SANE_Handle h = nullptr;
        if (!m_ok || device.isEmpty() ||
            sane_open(device.toUtf8().constData(), &h) != SANE_STATUS_GOOD || !h)
            return false;
        m_handle = h;
        m_device = device;
        return true;
    }

    void endBatch() {
        if (m_handle && m_batch)
            sane_cancel(m_handle);
        m_batch = false;
    }

    // One frame: its parameters, its data as it comes, its end; or the status that ended it. A
    // Break that comes between two reads stops the device at once.
    void readFrame() {
        if (!m_handle) {
            Send(TMessage::Status, Pack(qint32(SANE_STATUS_INVAL)));
            return;
        }
        SANE_Status s = sane_start(m_handle);
        if (s != SANE_STATUS_GOOD) {
            Send(TMessage::Status, Pack(qint32(s)));
            return;
        }
        m_batch = true;
        SANE_Parameters p{};
        if (sane_get_parameters(m_handle, &p) != SANE_STATUS_GOOD) {
            Send(TMessage::Status, Pack(qint32(SANE_STATUS_IO_ERROR)));
            return;
        }
        TFrameParameters f;
        f.Format = qint32(p.format);
        f.LastFrame = p.last_frame != SANE_FALSE;
        f.BytesPerLine = p.bytes_per_line;
        f.PixelsPerLine = p.pixels_per_line;
        f.Lines = p.lines;
        f.Depth = p.depth;
        Send(TMessage::FrameBegin, Pack(f));
        static char chunk[65536];
        bool broken = false;
        for (;;) {
            if (!broken && breakAsked()) {
                broken = true;
                endBatch();
            }
            SANE_Int len = 0;
            s = sane_read(m_handle, reinterpret_cast<SANE_Byte*>(chunk), sizeof chunk, &len);
            if (s == SANE_STATUS_EOF && !broken) {
                Send(TMessage::FrameEnd);
                return;
            }
            if (s != SANE_STATUS_GOOD) {
                Send(TMessage::Status, Pack(qint32(broken ? SANE_STATUS_CANCELLED : s)));
                return;
            }
            if (!broken && len > 0)
                Send(TMessage::Data, QByteArray::fromRawData(chunk, len));
        }
    }

    // Whether the program asked for a break since the frame began; the socket is only looked at,
    // never waited on. A closed socket ends the helper.
    bool breakAsked() {
        TMessage message{};
        QByteArray body;
        const TWait w = ReadFrame(kSocket, m_reader, message, body, 0);
        if (w == TWait::Closed || w == TWait::Broken)
            Leave();
        return w == TWait::Frame && message == TMessage::Break;
    }

    QList<TAcquireOption> options() {
        QList<TAcquireOption> list;
        if (!m_handle)
            return list;
        for (int n = 1;; ++n) {
            const SANE_Option_Descriptor* d = sane_get_option_descriptor(m_handle, n);
            if (!d)
                break;
            list << describe(n, d);
        }
        return list;
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

    bool setOption(const QString& name, const QVariant& value) {
        int n = 0;
        const SANE_Option_Descriptor* d = find(name, n);
        if (!d || !SANE_OPTION_IS_ACTIVE(d->cap) || !SANE_OPTION_IS_SETTABLE(d->cap) ||
            d->size <= 0)
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
        case SANE_TYPE_BOOL:
            o.Type = TAcquireOption::Bool;
            break;
        case SANE_TYPE_INT:
            o.Type = TAcquireOption::Int;
            break;
        case SANE_TYPE_FIXED:
            o.Type = TAcquireOption::Fixed;
            break;
        case SANE_TYPE_STRING:
            o.Type = TAcquireOption::String;
            break;
        case SANE_TYPE_BUTTON:
            o.Type = TAcquireOption::Button;
            break;
        default:
            o.Type = TAcquireOption::Group;
            break;
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
        if (o.Active && d->size > 0 && o.Type != TAcquireOption::Button &&
            o.Type != TAcquireOption::Group) {
            QByteArray buffer(d->size + 1, '\0');
            if (sane_control_option(m_handle, n, SANE_ACTION_GET_VALUE, buffer.data(), nullptr) ==
                SANE_STATUS_GOOD) {
                SANE_Word w = 0;
                if (o.Type != TAcquireOption::String)
                    memcpy(&w, buffer.constData(), sizeof w);
                switch (o.Type) {
                case TAcquireOption::Bool:
                    o.Value = w != SANE_FALSE;
                    break;
                case TAcquireOption::Int:
                    o.Value = int(w);
                    break;
                case TAcquireOption::Fixed:
                    o.Value = SANE_UNFIX(w);
                    break;
                case TAcquireOption::String:
                    o.Value = QString::fromUtf8(buffer.constData());
                    break;
                default:
                    break;
                }
            }
        }
        return o;
    }

    bool m_ok = false;
    SANE_Handle m_handle = nullptr;
    QString m_device;
    bool m_batch = false;
    TFrameReader m_reader;
};

} // namespace

int main(int argc, char** argv) {
    // Started by the program only: its process id comes along, and the helper ends with it, even
    // when it is stuck in a backend and never sees the socket close.
    if (argc != 2 || std::strtol(argv[1], nullptr, 10) <= 0) {
        static const char usage[] = "korvex-scanhelper is started by the program when it scans\n";
        [[maybe_unused]] const ssize_t n = write(2, usage, sizeof usage - 1);
        _exit(2);
    }
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != pid_t(std::strtol(argv[1], nullptr, 10)))
        _exit(0); // the program died before the line above
    // A backend that writes to standard output must not write into the conversation.
    dup2(2, 1);
    TSession session;
    session.Serve();
}
