// GMime pulls in GLib, whose headers use names that Qt defines as macros: GMime comes first.
#include <gmime/gmime.h>

#include "UEMailSenden.Mime.h"

#include "UEMailSenden.Base64.h"
#include "UEMailSenden.Files.h"

#include "VoskExceptions.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace UEMailSenden {

namespace {

void EnsureGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

struct Unref {
    void operator()(gpointer p) const {
        if (p)
            g_object_unref(p);
    }
};
template <class T> using GPtr = std::unique_ptr<T, Unref>;

QByteArray Utf8(const QString& s) {
    return s.toUtf8();
}

GMimeObject* TextPart(const char* subtype, const QString& text) {
    GMimeTextPart* part = g_mime_text_part_new_with_subtype(subtype);
    // As UTF-8, whatever narrower charset would do: the HTML part says so in its meta line too.
    // Line ends as CR LF in the content itself, as base64 and quoted-printable carry them.
    QString canonical = text;
    canonical.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    const QByteArray bytes = canonical.replace(u'\n', QStringLiteral("\r\n")).toUtf8();
    GPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size())));
    GPtr<GMimeDataWrapper> content(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(GMIME_PART(part), content.get());
    g_mime_text_part_set_charset(part, "UTF-8");
    // Text stays readable: quoted-printable where 7 bits do not do.
    const GMimeContentEncoding best =
        g_mime_part_get_best_content_encoding(GMIME_PART(part), GMIME_ENCODING_CONSTRAINT_7BIT);
    g_mime_part_set_content_encoding(GMIME_PART(part), best == GMIME_CONTENT_ENCODING_BASE64
                                                           ? GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE
                                                           : best);
    return GMIME_OBJECT(part);
}

// How a stored mail goes into a message part unencoded: 7bit when every byte is ASCII, 8bit
// otherwise; none when it holds a NUL or a line over 998 bytes, which neither may carry.
std::optional<GMimeContentEncoding> MessageEncoding(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool eightBit = false;
    qsizetype line = 0;
    QByteArray chunk;
    while (!(chunk = f.read(1 << 16)).isEmpty()) {
        for (const char c : std::as_const(chunk)) {
            if (c == '\0')
                return std::nullopt;
            if (c == '\n') {
                line = 0;
                continue;
            }
            if (c != '\r' && ++line > 998)
                return std::nullopt;
            if (static_cast<unsigned char>(c) >= 0x80)
                eightBit = true;
        }
    }
    return eightBit ? GMIME_CONTENT_ENCODING_8BIT : GMIME_CONTENT_ENCODING_7BIT;
}

// The charset a text file's bytes are in, for its part's content type: "us-ascii" for 7 bits,
// "utf-8" where they are valid UTF-8 (a byte order mark included), "utf-16" behind its byte order
// mark, else "windows-1252", what such files here come in. Empty when it cannot be read.
QByteArray TextCharset(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    bool ascii = true;
    bool utf8 = true;
    int pending = 0;          // continuation bytes still due
    unsigned char low = 0x80; // the range the next continuation byte must lie in
    unsigned char high = 0xbf;
    bool first = true;
    QByteArray chunk;
    while (utf8 && !(chunk = f.read(1 << 16)).isEmpty()) {
        if (first) {
            first = false;
            if (chunk.startsWith("\xff\xfe") || chunk.startsWith("\xfe\xff"))
                return QByteArrayLiteral("utf-16");
        }
        for (const char ch : std::as_const(chunk)) {
            const auto c = static_cast<unsigned char>(ch);
            if (pending > 0) {
                if (c < low || c > high) {
                    utf8 = false;
                    break;
                }
                low = 0x80;
                high = 0xbf;
                --pending;
                continue;
            }
            if (c < 0x80)
                continue;
            ascii = false;
            // The lead byte tells how many follow and, for the shortest forms and the
            // surrogates (RFC 3629), what the first of them may be.
            if (c >= 0xc2 && c <= 0xdf) {
                pending = 1;
            } else if (c >= 0xe0 && c <= 0xef) {
                pending = 2;
                low = c == 0xe0 ? 0xa0 : 0x80;
                high = c == 0xed ? 0x9f : 0xbf;
            } else if (c >= 0xf0 && c <= 0xf4) {
                pending = 3;
                low = c == 0xf0 ? 0x90 : 0x80;
                high = c == 0xf4 ? 0x8f : 0xbf;
            } else {
                utf8 = false;
                break;
            }
        }
    }
    if (utf8 && pending == 0)
        return ascii ? QByteArrayLiteral("us-ascii") : QByteArrayLiteral("utf-8");
    return QByteArrayLiteral("windows-1252");
}

} // namespace

} // namespace UEMailSenden

// ---- file parts whose base64 we write ourselves, a GObject subclass of GMimePart ----------------
//
// GMime encodes a part through its base64 filter and then its CR LF filter, two passes with a
// copy between them in 4 KB pieces. A file part that goes as base64 into a draft with CR LF line
// ends writes its headers as GMime does and then its content in one pass: read in blocks of
// 256 KB, encoded into lines with their CR LF, handed to the stream a block at a time. The bytes
// are GMime's: 76 characters a line, the last one shorter, nothing for an empty file. Any other
// case (another encoding or newline format, content that is not a file) is GMime's own.

namespace {

struct KorvexFilePart {
    GMimePart parent;
};
struct KorvexFilePartClass {
    GMimePartClass parent_class;
};

GType korvex_file_part_get_type();

G_DEFINE_TYPE(KorvexFilePart, korvex_file_part, GMIME_TYPE_PART)

constexpr size_t kReadBlock = 256 * 1024;

bool WriteAll(GMimeStream* stream, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = g_mime_stream_write(stream, p, n);
        if (w <= 0)
            return false;
        p += w;
        n -= size_t(w);
    }
    return true;
}

// The file's bytes from start to end (-1: its end) as base64 lines; the characters written or -1.
ssize_t WriteBase64Lines(int fd, gint64 start, gint64 end, GMimeStream* stream) {
    using UEMailSenden::TBase64LineEncoder;
    const std::unique_ptr<char[]> in(new char[kReadBlock]);
    const std::unique_ptr<char[]> out(
        new char[size_t(TBase64LineEncoder::EncodeBound(qsizetype(kReadBlock)) +
                        TBase64LineEncoder::kFinishBound)]);
    TBase64LineEncoder encoder;
    ssize_t total = 0;
    gint64 at = start;
    for (;;) {
        const size_t want =
            end < 0 ? kReadBlock : size_t(std::min<gint64>(gint64(kReadBlock), end - at));
        if (want == 0)
            break;
        const ssize_t n = ::pread(fd, in.get(), want, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        at += n;
        const qsizetype m = encoder.Encode(QByteArrayView(in.get(), n), out.get());
        if (!WriteAll(stream, out.get(), size_t(m)))
            return -1;
        total += m;
    }
    const qsizetype m = encoder.Finish(out.get());
    if (!WriteAll(stream, out.get(), size_t(m)))
        return -1;
    return total + m;
}

ssize_t FilePartWriteToStream(GMimeObject* object, GMimeFormatOptions* options,
                              gboolean contentOnly, GMimeStream* stream) {
    GMimePart* part = GMIME_PART(object);
    GMimeStream* content = part->content ? g_mime_data_wrapper_get_stream(part->content) : nullptr;
    const int fd = content ? UEMailSenden::BufferedFdStreamHandle(content) : -1;
    if (fd < 0 || part->encoding != GMIME_CONTENT_ENCODING_BASE64 ||
        g_mime_data_wrapper_get_encoding(part->content) != GMIME_CONTENT_ENCODING_DEFAULT ||
        g_mime_format_options_get_newline_format(options) != GMIME_NEWLINE_FORMAT_DOS)
        return GMIME_OBJECT_CLASS(korvex_file_part_parent_class)
            ->write_to_stream(object, options, contentOnly, stream);
    ssize_t total = 0;
    if (!contentOnly) {
        const ssize_t headers =
            g_mime_header_list_write_to_stream(object->headers, options, stream);
        if (headers < 0)
            return -1;
        const ssize_t end =
            g_mime_stream_write_string(stream, g_mime_format_options_get_newline(options));
        if (end < 0)
            return -1;
        total += headers + end;
    }
    const ssize_t body = WriteBase64Lines(fd, content->bound_start, content->bound_end, stream);
    return body < 0 ? -1 : total + body;
}

void korvex_file_part_class_init(KorvexFilePartClass* klass) {
    GMIME_OBJECT_CLASS(klass)->write_to_stream = FilePartWriteToStream;
}

void korvex_file_part_init(KorvexFilePart*) {}

} // namespace

namespace UEMailSenden {

namespace {

// A part whose content is read from the file only while the message is written.
GMimeObject* FilePart(const TMimeFile& file, const char* disposition) {
    const QFileInfo info(file.path);
    if (!info.isFile())
        throw EVoskException(
            QStringLiteral("Die Anlage \"%1\" wurde nicht gefunden.").arg(file.path));
    const int fd =
        ::open(QFile::encodeName(info.absoluteFilePath()).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw EVoskException(QStringLiteral("Die Anlage \"%1\" kann nicht gelesen werden: %2")
                                 .arg(file.path, QString::fromLocal8Bit(strerror(errno))));
    GPtr<GMimeStream> stream(BufferedFdStream(fd, true));
    GPtr<GMimeDataWrapper> content(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));

    QByteArray type = MimeTypeOfFile(file.path);
    // A message part may not be base64 (RFC 2046): a stored mail goes as it is, 7bit or 8bit;
    // one that no such part can carry goes as a plain file.
    GMimeContentEncoding encoding = GMIME_CONTENT_ENCODING_BASE64;
    if (type.startsWith("message/")) {
        const std::optional<GMimeContentEncoding> asIs = MessageEncoding(info.absoluteFilePath());
        if (asIs)
            encoding = *asIs;
        else
            type = QByteArrayLiteral("application/octet-stream");
    }
    const qsizetype slash = type.indexOf('/');
    // As g_mime_part_new_with_type does, with our class: its base64 is written in one pass.
    GMimePart* part = GMIME_PART(g_object_new(korvex_file_part_get_type(), nullptr));
    GPtr<GMimeContentType> contentType(
        g_mime_content_type_new(type.left(slash).constData(), type.mid(slash + 1).constData()));
    // A text says which charset its bytes are in: without one a reader takes them for ASCII.
    if (type.startsWith("text/"))
        if (const QByteArray charset = TextCharset(info.absoluteFilePath()); !charset.isEmpty())
            g_mime_content_type_set_parameter(contentType.get(), "charset", charset.constData());
    g_mime_object_set_content_type(GMIME_OBJECT(part), contentType.get());
    g_mime_part_set_content(part, content.get());
    g_mime_part_set_content_encoding(part, encoding);
    g_mime_object_set_disposition(GMIME_OBJECT(part), disposition);
    g_mime_part_set_filename(
        part, Utf8(file.fileName.isEmpty() ? info.fileName() : file.fileName).constData());
    g_mime_object_set_content_id(GMIME_OBJECT(part), Utf8(file.contentId).constData());
    return GMIME_OBJECT(part);
}

void Add(GMimeMultipart* parent, GMimeObject* child) {
    g_mime_multipart_add(parent, child);
    g_object_unref(child);
}

} // namespace

QByteArray MimeTypeOfFile(const QString& path) {
    static const QMimeDatabase db;
    const QMimeType t = db.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    const QString name = t.isValid() ? t.name() : QString();
    return name.contains(QLatin1Char('/')) ? name.toLatin1()
                                           : QByteArrayLiteral("application/octet-stream");
}

void WriteMimeDraft(const TMimeDraft& draft, const QString& fileName) {
    EnsureGMime();
    GPtr<GMimeMessage> message(g_mime_message_new(TRUE));
    g_mime_message_set_subject(message.get(), Utf8(draft.subject).constData(), "utf-8");
    for (const QString& to : draft.to)
        g_mime_message_add_mailbox(message.get(), GMIME_ADDRESS_TYPE_TO, nullptr,
                                   Utf8(to).constData());

    GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(mixed));
    g_object_unref(mixed); // the message holds it
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(mixed), "charset", "UTF-8");

    GMimeMultipart* alternative = g_mime_multipart_new_with_subtype("alternative");
    Add(mixed, GMIME_OBJECT(alternative));
    Add(alternative, TextPart("plain", draft.plainText));
    GMimeMultipart* related = g_mime_multipart_new_with_subtype("related");
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(related), "type", "text/html");
    Add(alternative, GMIME_OBJECT(related));
    Add(related, TextPart("html", draft.html));
    for (const TMimeFile& f : draft.linked)
        Add(related, FilePart(f, GMIME_DISPOSITION_INLINE));
    for (const TMimeFile& f : draft.attachments)
        Add(mixed, FilePart(f, GMIME_DISPOSITION_ATTACHMENT));
    g_mime_object_set_header(GMIME_OBJECT(message.get()), "X-Unsent", "1", nullptr);

    TReplacingFile out(fileName);
    if (!out.Open())
        throw EVoskException(QStringLiteral("Die Datei \"%1\" kann nicht angelegt werden: %2")
                                 .arg(fileName, out.ErrorString()));
    GPtr<GMimeStream> file(BufferedFdStream(out.Handle(), false));
    GMimeFormatOptions* options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
    const ssize_t written =
        g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), options, file.get());
    g_mime_format_options_free(options);
    const int err = errno;
    const bool flushed = written >= 0 && g_mime_stream_flush(file.get()) == 0;
    file.reset();
    if (!flushed)
        throw EVoskException(QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: %2")
                                 .arg(fileName, QString::fromLocal8Bit(strerror(err))));
    if (!out.Commit())
        throw EVoskException(QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: %2")
                                 .arg(fileName, out.ErrorString()));
}

bool IsPlainAddress(const QString& address) {
    if (address.isEmpty() || !address.contains(QLatin1Char('@')) ||
        address.startsWith(QLatin1Char('-')))
        return false;
    for (QChar c : address)
        if (c.unicode() <= 32 || c.unicode() == 127 || c == QLatin1Char('?') ||
            c == QLatin1Char('&') || c == QLatin1Char('"') || c == QLatin1Char('\'') || c.isSpace())
            return false;
    EnsureGMime();
    const QByteArray utf8 = address.toUtf8();
    GPtr<InternetAddressList> list(internet_address_list_parse(nullptr, utf8.constData()));
    if (!list || internet_address_list_length(list.get()) != 1)
        return false;
    InternetAddress* a = internet_address_list_get_address(list.get(), 0);
    if (!INTERNET_ADDRESS_IS_MAILBOX(a))
        return false;
    const char* name = internet_address_get_name(a);
    return (!name || !*name) &&
           utf8 == internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(a));
}

} // namespace UEMailSenden
