#include "AnnotPayload.h"

#include <zlib.h>

namespace AnnotPayload {

QByteArray Encode(const QByteArray& raw) {
    uLongf size = compressBound(uLong(raw.size()));
    QByteArray packed(qsizetype(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                  reinterpret_cast<const Bytef*>(raw.constData()), uLong(raw.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK)
        return {};
    packed.truncate(qsizetype(size));
    return packed.toBase64();
}

namespace {

std::optional<QByteArray> failed(QString* error, const char* why) {
    if (error)
        *error = QString::fromLatin1(why);
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> Decode(const QByteArray& text, QString* error) {
    QByteArray b64;
    b64.reserve(text.size());
    for (const char c : text)
        if (c != '\r' && c != '\n' && c != ' ' && c != '\t')
            b64.append(c);
    const auto decoded =
        QByteArray::fromBase64Encoding(b64, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty())
        return failed(error, "invalid Base64");
    const QByteArray& packed = decoded.decoded;

    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return failed(error, "inflate not available");
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.constData()));
    z.avail_in = uInt(packed.size());
    QByteArray out;
    // Dumps compress well; start at four times the packed size and grow.
    qsizetype capacity =
        std::min<qsizetype>(MaxInflated, std::max<qsizetype>(4096, packed.size() * 4));
    out.resize(capacity);
    int rc = Z_OK;
    while (true) {
        z.next_out = reinterpret_cast<Bytef*>(out.data() + z.total_out);
        z.avail_out = uInt(capacity - qsizetype(z.total_out));
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END)
            break;
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            inflateEnd(&z);
            return failed(error, "broken zlib stream");
        }
        if (z.avail_out > 0) { // no progress possible: the input ended early
            inflateEnd(&z);
            return failed(error, "truncated zlib stream");
        }
        if (capacity >= MaxInflated) {
            inflateEnd(&z);
            return failed(error, "payload too large");
        }
        capacity = std::min<qsizetype>(MaxInflated, capacity * 2);
        out.resize(capacity);
    }
    const bool trailing = z.avail_in != 0;
    out.truncate(qsizetype(z.total_out));
    inflateEnd(&z);
    if (trailing)
        return failed(error, "bytes after the zlib stream");
    return out;
}

} // namespace AnnotPayload
