// GMime pulls in GLib, whose headers use names that Qt defines as macros: GMime comes first.
#include <gmime/gmime.h>

#include "MailReaders.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

#include <fcntl.h>

namespace mailtest {

namespace {

QByteArray Decoded(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return {};
    GMimeStream* mem = g_mime_stream_mem_new();
    g_mime_data_wrapper_write_to_stream(content, mem);
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(mem));
    QByteArray result(reinterpret_cast<const char*>(bytes->data), qsizetype(bytes->len));
    g_object_unref(mem);
    return result;
}

QByteArray Encoded(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return {};
    GMimeStream* raw = g_mime_data_wrapper_get_stream(content);
    GMimeStream* mem = g_mime_stream_mem_new();
    g_mime_stream_reset(raw);
    g_mime_stream_write_to_stream(raw, mem);
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(mem));
    QByteArray result(reinterpret_cast<const char*>(bytes->data), qsizetype(bytes->len));
    g_object_unref(mem);
    return result;
}

void Walk(GMimeObject* object, const QString& path, QList<Part>& parts) {
    Part p;
    p.path = path;
    GMimeContentType* ct = g_mime_object_get_content_type(object);
    gchar* mimeType = g_mime_content_type_get_mime_type(ct); // ours to free
    p.type = QString::fromUtf8(mimeType).toLower();
    g_free(mimeType);
    p.contentId = QString::fromUtf8(g_mime_object_get_content_id(object));
    p.typeParam = QString::fromUtf8(g_mime_content_type_get_parameter(ct, "type"));
    p.charset = QString::fromUtf8(g_mime_content_type_get_parameter(ct, "charset"));
    p.disposition = QString::fromUtf8(g_mime_object_get_disposition(object));
    if (GMIME_IS_PART(object)) {
        p.fileName = QString::fromUtf8(g_mime_part_get_filename(GMIME_PART(object)));
        p.content = Decoded(GMIME_PART(object));
        p.encoded = Encoded(GMIME_PART(object));
    }
    parts.append(p);
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* mp = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(mp); ++i)
            Walk(g_mime_multipart_get_part(mp, i),
                 path.isEmpty() ? QString::number(i + 1) : path + u'.' + QString::number(i + 1),
                 parts);
    }
}

QByteArray RunPython(const QString& script, const QString& fileName) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, fileName});
    EXPECT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
}

} // namespace

const Part* Draft::Find(const QString& type) const {
    for (const Part& p : parts)
        if (p.type == type)
            return &p;
    return nullptr;
}

QList<const Part*> Draft::All(const QString& type) const {
    QList<const Part*> result;
    for (const Part& p : parts)
        if (p.type == type)
            result.append(&p);
    return result;
}

Draft ParseWithGMime(const QString& fileName) {
    static const bool initialized = [] {
        g_mime_init();
        return true;
    }();
    (void)initialized;
    Draft d;
    GError* error = nullptr;
    GMimeStream* stream =
        g_mime_stream_fs_open(QFile::encodeName(fileName).constData(), O_RDONLY, 0, &error);
    if (!stream) {
        ADD_FAILURE() << "cannot open " << fileName.toStdString();
        g_clear_error(&error);
        return d;
    }
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    if (!message) {
        ADD_FAILURE() << "GMime reads no message from " << fileName.toStdString();
    } else {
        d.subject = QString::fromUtf8(g_mime_message_get_subject(message));
        InternetAddressList* to = g_mime_message_get_to(message);
        for (int i = 0; i < internet_address_list_length(to); ++i) {
            InternetAddress* a = internet_address_list_get_address(to, i);
            if (INTERNET_ADDRESS_IS_MAILBOX(a))
                d.to << QString::fromUtf8(
                    internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(a)));
        }
        d.xUnsent = QString::fromUtf8(g_mime_object_get_header(GMIME_OBJECT(message), "X-Unsent"));
        Walk(g_mime_message_get_mime_part(message), QString(), d.parts);
        g_object_unref(message);
    }
    g_object_unref(parser);
    g_object_unref(stream);
    return d;
}

QJsonObject ParseWithPython(const QString& fileName) {
    static const QString script = QStringLiteral(R"(
import email, email.policy, hashlib, json, sys
with open(sys.argv[1], 'rb') as f:
    m = email.message_from_binary_file(f, policy=email.policy.default)
parts = []
for p in m.walk():
    payload = None if p.is_multipart() else p.get_payload(decode=True)
    text = p.get_content() if p.get_content_maintype() == 'text' else ''
    parts.append({'type': p.get_content_type(), 'cid': p.get('Content-ID', ''),
                  'filename': p.get_filename() or '', 'size': len(payload or b''),
                  'sha256': hashlib.sha256(payload or b'').hexdigest(), 'text': text})
print(json.dumps({'subject': str(m['subject'] or ''), 'to': str(m['to'] or ''),
                  'x_unsent': str(m['X-Unsent'] or ''),
                  'defects': [str(d) for p in m.walk() for d in p.defects], 'parts': parts}))
)");
    return QJsonDocument::fromJson(RunPython(script, fileName)).object();
}

QList<QPair<QString, QByteArray>> ZipEntriesWithPython(const QString& fileName) {
    static const QString script = QStringLiteral(R"(
import base64, json, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    assert z.testzip() is None
    print(json.dumps([[i.filename, base64.b64encode(z.read(i)).decode()] for i in z.infolist()]))
)");
    QList<QPair<QString, QByteArray>> result;
    for (const QJsonValue v : QJsonDocument::fromJson(RunPython(script, fileName)).array()) {
        const QJsonArray e = v.toArray();
        result.append({e[0].toString(), QByteArray::fromBase64(e[1].toString().toLatin1())});
    }
    return result;
}

} // namespace mailtest
