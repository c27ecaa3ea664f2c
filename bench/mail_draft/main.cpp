// Mail draft benchmark (fixed seed): a draft with 8 attachments of 32 MB through the mail sender's
// draft path (the opener recorded, not run), against a plain one-pass base64 encoder writing the
// same files into one file with the same CR LF lines. The figure is the median of per-round
// ratios of process CPU time (wall time beside it), the side that goes first alternating. The
// peak memory growth of one draft is measured in a fresh process (the program runs itself with
// --rss).
//
// Both sides are checked: every attachment of the draft decodes to its file, and the draft's
// encoded attachments, one after another, are byte for byte the floor's output.

#include <gmime/gmime.h>

#include "ProcMemory.h"
#include "Timing.h"
#include "UDM1.h"
#include "UEMailSenden.h"
#include "Vcl.Services.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QtEndian>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstring>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kFiles = 8;
constexpr qint64 kFileBytes = 32 << 20;
constexpr int kRounds = 7;

class RecordingShell final : public Vcl::Shell {
public:
    bool Launch(const QString&, const QStringList&, const QString&) override { return true; }
    bool OpenUrl(const QUrl& url) override {
        opened.append(url);
        return true;
    }
    Vcl::TRunResult Run(const QString&, const QStringList&, int) override {
        return {true, false, 0, {}};
    }
    QList<QUrl> opened;
};

QStringList MakeFiles(const QString& folder) {
    QStringList files;
    QRandomGenerator rng(4711);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (int i = 0; i < kFiles; ++i) {
        const QString path = QDir(folder).filePath(QStringLiteral("Anlage_%1.bin").arg(i + 1));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        for (qint64 done = 0; done < kFileBytes; done += chunk.size()) {
            rng.fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
            f.write(chunk);
        }
        files << path;
    }
    return files;
}

// The system: one draft through the mail sender; returns the draft's file name.
QString Draft(const QStringList& files) {
    TVoskSendMail mail;
    mail.MailTo = QStringLiteral("einkauf@example.de");
    mail.Subject = QStringLiteral("Unterlagen");
    mail.BodyText = QStringLiteral("Guten Tag,\r\nanbei die Unterlagen.");
    mail.Attachments = files;
    if (!mail.ExecuteWithEML())
        qFatal("no draft");
    return mail.DraftFileName();
}

// The floor: a one-pass base64 encoder, 57 bytes a line as 76 characters and CR LF, two
// characters at a time from a table of every 12-bit value, six bytes of a full line from each
// 8-byte load; 256 KB reads, the lines gathered into 256 KB writes to one file. Each file
// ends with a line of its own, as a part does.
void Baseline(const QStringList& files, const QString& target) {
    static const auto pairs = [] {
        static const char abc[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::array<std::array<char, 2>, 4096> t{};
        for (int i = 0; i < 4096; ++i)
            t[size_t(i)] = {abc[i >> 6], abc[i & 63]};
        return t;
    }();
    static const char abc[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    constexpr size_t kBlock = 256 * 1024, kLine = 57;
    const int out = ::open(QFile::encodeName(target).constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    std::vector<unsigned char> in(kBlock + kLine);
    std::vector<char> pending(kBlock + 128);
    size_t used = 0;
    auto flush = [&] {
        for (const char* p = pending.data(); used > 0;) {
            const ssize_t w = ::write(out, p, used);
            if (w <= 0)
                qFatal("baseline write failed");
            p += w;
            used -= size_t(w);
        }
    };
    auto line = [&](const unsigned char* s, size_t n) {
        char* o = pending.data() + used;
        size_t i = 0;
        if (n == kLine) {
            // Six bytes a step from one big-endian 8-byte load; the ninth load ends at byte 56.
            for (; i + 8 <= n; i += 6) {
                quint64 x;
                std::memcpy(&x, s + i, 8);
                x = qFromBigEndian(x);
                std::memcpy(o, pairs[(x >> 52) & 0xFFF].data(), 2);
                std::memcpy(o + 2, pairs[(x >> 40) & 0xFFF].data(), 2);
                std::memcpy(o + 4, pairs[(x >> 28) & 0xFFF].data(), 2);
                std::memcpy(o + 6, pairs[(x >> 16) & 0xFFF].data(), 2);
                o += 8;
            }
        }
        for (; i + 3 <= n; i += 3) {
            const unsigned v = unsigned(s[i]) << 16 | unsigned(s[i + 1]) << 8 | s[i + 2];
            std::memcpy(o, pairs[v >> 12].data(), 2);
            std::memcpy(o + 2, pairs[v & 0xFFF].data(), 2);
            o += 4;
        }
        if (n - i == 1) {
            const unsigned v = unsigned(s[i]) << 16;
            *o++ = abc[v >> 18];
            *o++ = abc[(v >> 12) & 63];
            *o++ = '=';
            *o++ = '=';
        } else if (n - i == 2) {
            const unsigned v = unsigned(s[i]) << 16 | unsigned(s[i + 1]) << 8;
            *o++ = abc[v >> 18];
            *o++ = abc[(v >> 12) & 63];
            *o++ = abc[(v >> 6) & 63];
            *o++ = '=';
        }
        *o++ = '\r';
        *o++ = '\n';
        used = size_t(o - pending.data());
        if (used >= kBlock)
            flush();
    };
    for (const QString& path : files) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        size_t have = 0; // bytes of a line left over from the last read
        for (ssize_t n; (n = ::read(fd, in.data() + have, kBlock)) > 0;) {
            have += size_t(n);
            size_t at = 0;
            for (; at + kLine <= have; at += kLine)
                line(in.data() + at, kLine);
            std::memmove(in.data(), in.data() + at, have - at);
            have -= at;
        }
        if (have > 0)
            line(in.data(), have);
        ::close(fd);
    }
    flush();
    ::close(out);
}

QByteArray Md5OfFile(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    QCryptographicHash h(QCryptographicHash::Md5);
    h.addData(&f);
    return h.result();
}

// Decodes every attachment of the draft: their checksums, and the checksum of their encoded
// text as stored, one part after another.
void ReadDraft(const QString& eml, QList<QByteArray>& md5s, QByteArray& encodedMd5,
               qint64& encodedBytes) {
    GMimeStream* in =
        g_mime_stream_fs_open(QFile::encodeName(eml).constData(), O_RDONLY, 0, nullptr);
    GMimeParser* parser = g_mime_parser_new_with_stream(in);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    GMimeMultipart* mixed = GMIME_MULTIPART(g_mime_message_get_mime_part(message));
    QCryptographicHash encodedHash(QCryptographicHash::Md5);
    for (int i = 1; i < g_mime_multipart_get_count(mixed); ++i) {
        GMimePart* part = GMIME_PART(g_mime_multipart_get_part(mixed, i));
        GMimeDataWrapper* content = g_mime_part_get_content(part);
        GMimeStream* raw = g_mime_data_wrapper_get_stream(content);
        GMimeStream* text = g_mime_stream_mem_new();
        g_mime_stream_reset(raw);
        g_mime_stream_write_to_stream(raw, text);
        GByteArray* textBytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(text));
        encodedBytes += qint64(textBytes->len);
        encodedHash.addData(QByteArrayView(reinterpret_cast<const char*>(textBytes->data),
                                           qsizetype(textBytes->len)));
        g_object_unref(text);
        GMimeStream* decoded = g_mime_stream_mem_new();
        g_mime_data_wrapper_write_to_stream(content, decoded);
        GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(decoded));
        md5s << QCryptographicHash::hash(
            QByteArrayView(reinterpret_cast<const char*>(bytes->data), qsizetype(bytes->len)),
            QCryptographicHash::Md5);
        g_object_unref(decoded);
    }
    encodedMd5 = encodedHash.result();
    g_object_unref(message);
    g_object_unref(parser);
    g_object_unref(in);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    g_mime_init();
    RecordingShell shell;
    Vcl::Shell::SetInstance(&shell);
    TDM1 dm;
    dm.Connect();
    dm.SetIntSetting(QStringLiteral("MailSendMethod"), 5);

    if (argc == 3 && qstrcmp(argv[1], "--rss") == 0) {
        // Fresh process: the peak growth of one draft over what the program holds before it.
        QTemporaryDir base;
        CurrentSession_UConstants().SetBasePath(base.path());
        const QStringList files = QDir(QString::fromLocal8Bit(argv[2]))
                                      .entryList({QStringLiteral("Anlage_*.bin")}, QDir::Files);
        QStringList paths;
        for (const QString& f : files)
            paths << QDir(QString::fromLocal8Bit(argv[2])).filePath(f);
        BenchMemory::ResetPeak();
        const long before = BenchMemory::StatusKb("VmRSS:");
        QFile::remove(Draft(paths));
        std::printf("%ld\n", BenchMemory::StatusKb("VmHWM:") - before);
        return 0;
    }

    QTemporaryDir work;
    CurrentSession_UConstants().SetBasePath(work.filePath(QStringLiteral("session")));
    const QStringList files = MakeFiles(work.path());
    const QString baselineFile = work.filePath(QStringLiteral("baseline.b64"));

    // CPU time is the figure: the wall time of writing 350 MB is mostly the kernel's writeback
    // of the page cache, the same for both sides.
    BenchTiming::PairedRatio cpuRatio, wallRatio;
    std::vector<BenchTiming::Stamp> system, baseline;
    QString lastDraft;
    for (int round = 0; round < kRounds; ++round) {
        // Both sides write new files: rewriting a truncated one makes ext4 flush it on close.
        if (!lastDraft.isEmpty())
            QFile::remove(lastDraft);
        QFile::remove(baselineFile);
        BenchTiming::Stamp s, b;
        auto runSystem = [&] {
            const auto t = BenchTiming::Stamp::Now();
            lastDraft = Draft(files);
            s = t.Elapsed();
        };
        auto runBaseline = [&] {
            const auto t = BenchTiming::Stamp::Now();
            Baseline(files, baselineFile);
            b = t.Elapsed();
        };
        BenchTiming::InTurn(round, runSystem, runBaseline);
        system.push_back(s);
        baseline.push_back(b);
        cpuRatio.Add(s.CpuMs, b.CpuMs);
        wallRatio.Add(s.WallMs, b.WallMs);
    }

    // Cross-check both sides: the draft's attachments decode to their files, and their encoded
    // text is byte for byte the floor's.
    QList<QByteArray> md5s;
    QByteArray encodedMd5;
    qint64 encoded = 0;
    ReadDraft(lastDraft, md5s, encodedMd5, encoded);
    bool ok = md5s.size() == kFiles && shell.opened.size() == kRounds;
    for (int i = 0; ok && i < kFiles; ++i)
        ok = md5s[i] == Md5OfFile(files[i]);
    const qint64 baselineBytes = QFileInfo(baselineFile).size();
    const bool sameText = encoded == baselineBytes && encodedMd5 == Md5OfFile(baselineFile);
    if (!ok || !sameText) {
        std::fprintf(stderr,
                     "cross-check failed: %d parts, %lld encoded vs %lld floor bytes%s\n",
                     int(md5s.size()), qlonglong(encoded), qlonglong(baselineBytes),
                     sameText ? "" : ", encoded text differs from the floor's");
        return 1;
    }

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--rss"), work.path()});
    child.waitForFinished(-1);
    const double rssMb = child.readAllStandardOutput().trimmed().toLong() / 1024.0;

    std::printf("%-32s %11s %11s %11s %11s\n", "8 x 32 MB attachments", "system cpu",
                "floor cpu", "system wall", "floor wall");
    for (int i = 0; i < kRounds; ++i)
        std::printf("round %-26d %11.0f %11.0f %11.0f %11.0f\n", i + 1, system[size_t(i)].CpuMs,
                    baseline[size_t(i)].CpuMs, system[size_t(i)].WallMs,
                    baseline[size_t(i)].WallMs);
    std::printf("draft %.1f MB, floor %.1f MB (the same encoded bytes); peak RSS growth of one "
                "draft %.1f MB\n",
                QFileInfo(lastDraft).size() / 1048576.0, baselineBytes / 1048576.0, rssMb);
    std::printf("figure mail_draft_ratio %.3f\n", cpuRatio.Median());
    std::printf("figure mail_draft_wall_ratio %.3f\n", wallRatio.Median());
    std::printf("figure mail_draft_rss_mb %.1f\n", rssMb);
    QFile::remove(lastDraft);
    Vcl::Shell::SetInstance(nullptr);
    return 0;
}
