// GMime pulls in GLib, whose headers use names that Qt defines as macros: GMime comes first.
#include <gmime/gmime.h>

#include "UEMailSenden.Files.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace UEMailSenden {

TReplacingFile::TReplacingFile(const QString& target)
    : m_target(target), m_temp(target + QStringLiteral(".XXXXXX")) {}

bool TReplacingFile::Open() {
    if (m_temp.open())
        return true;
    m_error = m_temp.errorString();
    return false;
}

bool TReplacingFile::Commit() {
    m_temp.close();
    m_temp.setAutoRemove(false);
    if (::rename(QFile::encodeName(m_temp.fileName()).constData(),
                 QFile::encodeName(m_target).constData()) == 0)
        return true;
    m_error = QString::fromLocal8Bit(std::strerror(errno));
    QFile::remove(m_temp.fileName());
    return false;
}

} // namespace UEMailSenden

// ---- the buffered stream, a GObject subclass of GMimeStream -------------------------------------

namespace {

constexpr size_t kBlock = 256 * 1024;

struct KorvexFdStream {
    GMimeStream parent;
    int fd;
    gboolean owner;
    char* buffer; // read ahead or written behind, never both
    size_t fill;  // bytes in the buffer
    size_t next;  // next byte to hand out when reading
    gboolean eof;
    gboolean writing;
};
struct KorvexFdStreamClass {
    GMimeStreamClass parent_class;
};

GType korvex_fd_stream_get_type();
#define KORVEX_FD_STREAM(o)                                                                        \
    (G_TYPE_CHECK_INSTANCE_CAST((o), korvex_fd_stream_get_type(), KorvexFdStream))

G_DEFINE_TYPE(KorvexFdStream, korvex_fd_stream, GMIME_TYPE_STREAM)

int FlushWrites(KorvexFdStream* s) {
    const char* p = s->buffer;
    size_t left = s->fill;
    while (left > 0) {
        const ssize_t n = ::write(s->fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return -1;
        p += n;
        left -= size_t(n);
    }
    s->fill = 0;
    return 0;
}

char* Buffer(KorvexFdStream* s) {
    if (!s->buffer)
        s->buffer = static_cast<char*>(g_malloc(kBlock));
    return s->buffer;
}

ssize_t StreamRead(GMimeStream* stream, char* buf, size_t len) {
    KorvexFdStream* s = KORVEX_FD_STREAM(stream);
    if (s->writing)
        return -1;
    if (stream->bound_end != -1)
        len = size_t(MIN(gint64(len), MAX(stream->bound_end - stream->position, 0)));
    if (len == 0)
        return 0;
    if (s->next >= s->fill) {
        if (s->eof)
            return 0;
        ssize_t n;
        do
            n = ::read(s->fd, Buffer(s), kBlock);
        while (n < 0 && errno == EINTR);
        if (n < 0)
            return -1;
        s->fill = size_t(n);
        s->next = 0;
        if (n == 0) {
            s->eof = TRUE;
            return 0;
        }
    }
    const size_t n = MIN(len, s->fill - s->next);
    std::memcpy(buf, s->buffer + s->next, n);
    s->next += n;
    stream->position += gint64(n);
    return ssize_t(n);
}

// What waits in the buffer and then len bytes of buf, written from where they are.
int WriteThrough(KorvexFdStream* s, const char* buf, size_t len) {
    iovec v[2] = {{s->buffer, s->fill}, {const_cast<char*>(buf), len}};
    iovec* at = s->fill > 0 ? v : v + 1;
    int count = s->fill > 0 ? 2 : 1;
    while (count > 0) {
        const ssize_t n = ::writev(s->fd, at, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return -1;
        for (size_t left = size_t(n); left > 0;) {
            const size_t step = MIN(left, at->iov_len);
            at->iov_base = static_cast<char*>(at->iov_base) + step;
            at->iov_len -= step;
            left -= step;
            if (at->iov_len == 0) {
                ++at;
                --count;
            }
        }
        while (count > 0 && at->iov_len == 0) {
            ++at;
            --count;
        }
    }
    s->fill = 0;
    return 0;
}

ssize_t StreamWrite(GMimeStream* stream, const char* buf, size_t len) {
    KorvexFdStream* s = KORVEX_FD_STREAM(stream);
    s->writing = TRUE;
    if (len >= kBlock) {
        if (WriteThrough(s, buf, len) != 0)
            return -1;
        stream->position += gint64(len);
        return ssize_t(len);
    }
    size_t done = 0;
    while (done < len) {
        const size_t n = MIN(len - done, kBlock - s->fill);
        std::memcpy(Buffer(s) + s->fill, buf + done, n);
        s->fill += n;
        done += n;
        if (s->fill == kBlock && FlushWrites(s) != 0)
            return done > n ? ssize_t(done - n) : -1;
    }
    stream->position += gint64(len);
    return ssize_t(len);
}

int StreamFlush(GMimeStream* stream) {
    KorvexFdStream* s = KORVEX_FD_STREAM(stream);
    return s->writing ? FlushWrites(s) : 0;
}

int StreamClose(GMimeStream* stream) {
    KorvexFdStream* s = KORVEX_FD_STREAM(stream);
    int rc = StreamFlush(stream);
    if (s->owner && s->fd >= 0 && ::close(s->fd) != 0)
        rc = -1;
    s->fd = -1;
    return rc;
}

gboolean StreamEos(GMimeStream* stream) {
    KorvexFdStream* s = KORVEX_FD_STREAM(stream);
    if (stream->bound_end != -1 && stream->position >= stream->bound_end)
        return TRUE;
    return s->eof && s->next >= s->fill;
}

gint64 StreamSeek(GMimeStream* stream, gint64 offset, GMimeSeekWhence whence) {
    KorvexFdStream* s = KORVEX_FD_STREAM(stream);
    if (s->writing || whence != GMIME_STREAM_SEEK_SET)
        return -1;
    if (::lseek(s->fd, offset, SEEK_SET) < 0)
        return -1;
    s->fill = s->next = 0;
    s->eof = FALSE;
    stream->position = offset;
    return offset;
}

int StreamReset(GMimeStream* stream) {
    KorvexFdStream* s = KORVEX_FD_STREAM(stream);
    if (s->writing)
        return stream->position == stream->bound_start ? 0 : -1;
    return StreamSeek(stream, stream->bound_start, GMIME_STREAM_SEEK_SET) < 0 ? -1 : 0;
}

gint64 StreamTell(GMimeStream* stream) {
    return stream->position;
}

gint64 StreamLength(GMimeStream* stream) {
    KorvexFdStream* s = KORVEX_FD_STREAM(stream);
    if (stream->bound_end != -1)
        return stream->bound_end - stream->bound_start;
    struct stat st;
    if (s->writing || ::fstat(s->fd, &st) != 0)
        return -1;
    return gint64(st.st_size) - stream->bound_start;
}

GMimeStream* StreamSubstream(GMimeStream*, gint64, gint64) {
    return nullptr; // never asked for by the writer
}

void StreamFinalize(GObject* object) {
    KorvexFdStream* s = KORVEX_FD_STREAM(object);
    if (s->owner && s->fd >= 0)
        ::close(s->fd);
    g_free(s->buffer);
    G_OBJECT_CLASS(korvex_fd_stream_parent_class)->finalize(object);
}

void korvex_fd_stream_class_init(KorvexFdStreamClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = StreamFinalize;
    GMimeStreamClass* c = GMIME_STREAM_CLASS(klass);
    c->read = StreamRead;
    c->write = StreamWrite;
    c->flush = StreamFlush;
    c->close = StreamClose;
    c->eos = StreamEos;
    c->reset = StreamReset;
    c->seek = StreamSeek;
    c->tell = StreamTell;
    c->length = StreamLength;
    c->substream = StreamSubstream;
}

void korvex_fd_stream_init(KorvexFdStream* s) {
    s->fd = -1;
}

} // namespace

namespace UEMailSenden {

GMimeStream* BufferedFdStream(int fd, bool owner) {
    auto* s = static_cast<KorvexFdStream*>(g_object_new(korvex_fd_stream_get_type(), nullptr));
    s->fd = fd;
    s->owner = owner;
    g_mime_stream_construct(GMIME_STREAM(s), 0, -1);
    return GMIME_STREAM(s);
}

int BufferedFdStreamHandle(GMimeStream* stream) {
    if (!G_TYPE_CHECK_INSTANCE_TYPE(stream, korvex_fd_stream_get_type()))
        return -1;
    return KORVEX_FD_STREAM(stream)->fd;
}

} // namespace UEMailSenden
