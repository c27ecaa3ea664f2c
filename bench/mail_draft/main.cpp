// Mail draft benchmark (fixed seed): a draft with 8 attachments of 32 MB through the mail sender's
// draft path (the opener recorded, not run), against GMime's base64 encoder filter streaming the
// same files into one file with the same CR LF line ends. Rounds alternate which side runs first;
// the figure is the median of the per-round ratios. The peak memory growth of one draft is
// measured in a fresh process (the program runs itself with --rss).
//
// Both sides are checked: every attachment of the draft decodes to its file, and the draft's
// encoded attachments are as long as the baseline's output.

#include <gmime/gmime.h>

#include "ProcMemory.h"
#include "UDM1.h"
#include "UEMailSenden.h"
#include "Vcl.Services.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
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

// The baseline: the raw library's base64 encoder and CR LF filters, fed in cache-sized slices of
// 256 KB reads, the output gathered into 256 KB writes to one file.
void Baseline(const QStringList& files, const QString& target) {
    constexpr size_t kBlock = 256 * 1024, kSlice = 4096;
    const int out = ::open(QFile::encodeName(target).constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    std::vector<char> in(kBlock), pending;
    pending.reserve(2 * kBlock);
    auto drain = [&](bool all) {
        if (pending.size() < kBlock && !all)
            return;
        const char* p = pending.data();
        for (size_t left = pending.size(); left > 0;) {
            const ssize_t w = ::write(out, p, left);
            if (w <= 0)
                qFatal("baseline write failed");
            p += w;
            left -= size_t(w);
        }
        pending.clear();
    };
    for (const QString& path : files) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        GMimeFilter* base64 = g_mime_filter_basic_new(GMIME_CONTENT_ENCODING_BASE64, TRUE);
        GMimeFilter* crlf = g_mime_filter_unix2dos_new(FALSE);
        auto pass = [&](char* data, size_t n, bool last) {
            char *encoded, *lines;
            size_t encodedLen, linesLen, prespace;
            if (last) {
                g_mime_filter_complete(base64, data, n, 0, &encoded, &encodedLen, &prespace);
                g_mime_filter_complete(crlf, encoded, encodedLen, prespace, &lines, &linesLen,
                                       &prespace);
            } else {
                g_mime_filter_filter(base64, data, n, 0, &encoded, &encodedLen, &prespace);
                g_mime_filter_filter(crlf, encoded, encodedLen, prespace, &lines, &linesLen,
                                     &prespace);
            }
            pending.insert(pending.end(), lines, lines + linesLen);
            drain(false);
        };
        for (ssize_t n; (n = ::read(fd, in.data(), in.size())) > 0;)
            for (size_t at = 0; at < size_t(n); at += kSlice)
                pass(in.data() + at, std::min(kSlice, size_t(n) - at), false);
        pass(in.data(), 0, true);
        g_object_unref(crlf);
        g_object_unref(base64);
        ::close(fd);
    }
    drain(true);
    ::close(out);
}

double Ms(const std::function<void()>& fn) {
    QElapsedTimer t;
    t.start();
    fn();
    return double(t.nsecsElapsed()) / 1e6;
}

QByteArray Md5OfFile(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    QCryptographicHash h(QCryptographicHash::Md5);
    h.addData(&f);
    return h.result();
}

// Decodes every attachment of the draft: their checksums and the length of their encoded text.
void ReadDraft(const QString& eml, QList<QByteArray>& md5s, qint64& encodedBytes) {
    GMimeStream* in =
        g_mime_stream_fs_open(QFile::encodeName(eml).constData(), O_RDONLY, 0, nullptr);
    GMimeParser* parser = g_mime_parser_new_with_stream(in);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    GMimeMultipart* mixed = GMIME_MULTIPART(g_mime_message_get_mime_part(message));
    for (int i = 1; i < g_mime_multipart_get_count(mixed); ++i) {
        GMimePart* part = GMIME_PART(g_mime_multipart_get_part(mixed, i));
        GMimeDataWrapper* content = g_mime_part_get_content(part);
        encodedBytes += g_mime_stream_length(g_mime_data_wrapper_get_stream(content));
        GMimeStream* decoded = g_mime_stream_mem_new();
        g_mime_data_wrapper_write_to_stream(content, decoded);
        GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(decoded));
        md5s << QCryptographicHash::hash(
            QByteArrayView(reinterpret_cast<const char*>(bytes->data), qsizetype(bytes->len)),
            QCryptographicHash::Md5);
        g_object_unref(decoded);
    }
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

    std::vector<double> ratios, system, baseline;
    QString lastDraft;
    for (int round = 0; round < kRounds; ++round) {
        // Both sides write new files: rewriting a truncated one makes ext4 flush it on close.
        if (!lastDraft.isEmpty())
            QFile::remove(lastDraft);
        QFile::remove(baselineFile);
        double s = 0, b = 0;
        auto runSystem = [&] { s = Ms([&] { lastDraft = Draft(files); }); };
        auto runBaseline = [&] { b = Ms([&] { Baseline(files, baselineFile); }); };
        if (round % 2 == 0) {
            runSystem();
            runBaseline();
        } else {
            runBaseline();
            runSystem();
        }
        system.push_back(s);
        baseline.push_back(b);
        ratios.push_back(s / b);
    }

    // Cross-check both sides.
    QList<QByteArray> md5s;
    qint64 encoded = 0;
    ReadDraft(lastDraft, md5s, encoded);
    bool ok = md5s.size() == kFiles && shell.opened.size() == kRounds;
    for (int i = 0; ok && i < kFiles; ++i)
        ok = md5s[i] == Md5OfFile(files[i]);
    const qint64 baselineBytes = QFileInfo(baselineFile).size();
    ok = ok && encoded == baselineBytes;
    if (!ok) {
        std::fprintf(stderr, "cross-check failed: %d parts, %lld encoded vs %lld baseline bytes\n",
                     int(md5s.size()), qlonglong(encoded), qlonglong(baselineBytes));
        return 1;
    }

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--rss"), work.path()});
    child.waitForFinished(-1);
    const double rssMb = child.readAllStandardOutput().trimmed().toLong() / 1024.0;

    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("%-44s %12s %12s\n", "8 x 32 MB attachments", "system ms", "baseline ms");
    for (int i = 0; i < kRounds; ++i)
        std::printf("round %-38d %12.0f %12.0f\n", i + 1, system[size_t(i)], baseline[size_t(i)]);
    std::printf("%-44s %12.0f %12.0f\n", "median", median(system), median(baseline));
    std::printf("draft %.1f MB, baseline %.1f MB; peak RSS growth of one draft %.1f MB\n",
                QFileInfo(lastDraft).size() / 1048576.0, baselineBytes / 1048576.0, rssMb);
    std::printf("figure mail_draft_ratio %.3f\n", median(ratios));
    std::printf("figure mail_draft_rss_mb %.1f\n", rssMb);
    QFile::remove(lastDraft);
    Vcl::Shell::SetInstance(nullptr);
    return 0;
}
