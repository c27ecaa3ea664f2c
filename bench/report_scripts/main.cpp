// Checking every report script from the button bar's menu against one python3 process that
// compiles the same built scripts and nothing else: 2,000 rtf rows of 200 lines, 5 % of them with
// a syntax error, fixed seed. In each round both sides run, the one that goes first alternating;
// the figure is the median of the rounds' ratios. Both sides must find the errors that were made.

#include <TKorvexPython.h>
#include <TfrmToDesignBase.h>
#include "../Connect.h"
#include "../Timing.h"
#include <UDM1.h>
#include <UFrameBt.h>
#include <Vcl.Services.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kScripts = 2000;
constexpr int kLines = 200;
constexpr int kRounds = 7;

// The check-all file is opened through the shell; here nobody looks at it.
class QuietShell final : public Vcl::Shell {
public:
    bool Launch(const QString&, const QStringList&, const QString&) override { return true; }
    bool OpenUrl(const QUrl&) override { return true; }
    Vcl::TRunResult Run(const QString&, const QStringList&, int) override {
        Vcl::TRunResult r;
        r.started = true;
        return r;
    }
};

QString makeScript(QRandomGenerator& rng, bool broken) {
    QString s;
    const int bad = broken ? int(rng.bounded(kLines)) : -1;
    bool spoiled = false;
    for (int i = 0; i < kLines; ++i) {
        switch (rng.bounded(4)) {
        case 0:
            s += QStringLiteral("summe_%1 = %2 + len(modulname)\n").arg(i).arg(rng.bounded(1000));
            break;
        case 1:
            s += QStringLiteral("if firma:\n    print('Zeile %1', firma)\n").arg(i);
            ++i;
            break;
        case 2:
            s += QStringLiteral("werte_%1 = [x * %2 for x in range(%1)]\n")
                     .arg(i)
                     .arg(rng.bounded(9));
            break;
        default:
            s += QStringLiteral("text_%1 = 'Größe %1: ' + str(%2)\n").arg(i).arg(rng.bounded(99));
            break;
        }
        if (broken && !spoiled && i >= bad) {
            s += QStringLiteral("def kaputt_%1(:\n").arg(i);
            spoiled = true;
        }
    }
    if (broken && !spoiled)
        s += QStringLiteral("def kaputt(:\n");
    return s;
}

void load(PGconn* c, const std::vector<QString>& scripts) {
    PQclear(PQexec(c, "DELETE FROM rtf"));
    PGresult* r = PQexec(c, "COPY rtf (rtf_id, rtf_blanksql, rtf_script) FROM STDIN");
    PQclear(r);
    for (size_t i = 0; i < scripts.size(); ++i) {
        QString esc = scripts[i];
        esc.replace(u'\\', QStringLiteral("\\\\"))
            .replace(u'\n', QStringLiteral("\\n"))
            .replace(u'\t', QStringLiteral("\\t"));
        const QByteArray line =
            QByteArray::number(qulonglong(i + 1)) + "\tf\t" + esc.toUtf8() + "\n";
        PQputCopyData(c, line.constData(), int(line.size()));
    }
    PQputCopyEnd(c, nullptr);
    PQclear(PQgetResult(c));
}

// The baseline: one python3 compiling all built scripts read from one file.
double baseline(const QString& file, int& errors) {
    static const char* kSource = R"PY(
import sys
data = open(sys.argv[1], 'rb').read()
pos, errors = 0, 0
while pos < len(data):
    nl = data.index(b'\n', pos)
    size = int(data[pos:nl])
    src = data[nl + 1:nl + 1 + size]
    pos = nl + 1 + size
    try:
        compile(src, 'rtf', 'exec', dont_inherit=True)
    except SyntaxError:
        errors += 1
print(errors)
)PY";
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(QStringLiteral("python3"),
            {QStringLiteral("-I"), QStringLiteral("-c"), QString::fromLatin1(kSource), file});
    p.waitForFinished(-1);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    errors = p.readAllStandardOutput().trimmed().toInt();
    return ms;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    TDM1 dm;
    if (!BenchDb::Connected(dm))
        return 1;
    QTemporaryDir session;
    CurrentSession_UConstants().SetBasePath(session.path());
    QuietShell shell;
    Vcl::Shell::SetInstance(&shell);

    QRandomGenerator rng(20261209);
    std::vector<QString> scripts;
    int broken = 0;
    for (int i = 0; i < kScripts; ++i) {
        const bool bad = rng.bounded(100) < 5;
        broken += bad;
        scripts.push_back(makeScript(rng, bad));
    }
    load(dm.Database().Handle(), scripts);

    TfrmToDesignBase dialog;
    dialog.SetModulName(QStringLiteral("Benchmark"));
    auto* bar = new TFrameBt(&dialog, &dialog);
    bar->OpenReport(1);

    // The same built scripts for the baseline: the header the bar puts before each one.
    const QString header =
        QStringLiteral("# -*- coding: utf-8 -*-\nHOSTNAME = ''\nDATABASE = ''\nUSERNAME = ''\n\n"
                       "modulname = 'Benchmark'\nmodulname_ownerform = ''\nfirma = ''\n\n\n");
    QByteArray all;
    for (const QString& s : scripts) {
        const QByteArray src = (header + s).toUtf8();
        all += QByteArray::number(src.size()) + '\n' + src;
    }
    const QString batchFile = session.filePath(QStringLiteral("all.bin"));
    {
        QFile f(batchFile);
        f.open(QIODevice::WriteOnly);
        f.write(all);
    }

    std::vector<double> ours, theirs;
    BenchTiming::PairedRatio ratio;
    int listed = 0, baseErrors = 0;
    for (int round = 0; round < kRounds; ++round) {
        auto checkAll = [&] {
            QElapsedTimer t;
            t.start();
            bar->miPythonScriptsCheckClick();
            ours.push_back(double(t.nsecsElapsed()) / 1e6);
            QFile f(TFrameBt::CheckAllFileName());
            f.open(QIODevice::ReadOnly);
            listed = int(f.readAll().count("rtf_id: "));
        };
        if (BenchTiming::AFirst(round)) {
            checkAll();
            theirs.push_back(baseline(batchFile, baseErrors));
        } else {
            theirs.push_back(baseline(batchFile, baseErrors));
            checkAll();
        }
        ratio.Add(ours.back(), theirs.back());
    }
    Vcl::Shell::SetInstance(nullptr);
    PQclear(PQexec(dm.Database().Handle(), "DELETE FROM rtf"));

    const double a = median(ours), b = median(theirs);
    std::printf("report_scripts: %d scripts of %d lines, %d with a syntax error, %d rounds\n",
                kScripts, kLines, broken, kRounds);
    std::printf("%-36s %12s %10s\n", "variant", "median ms", "errors");
    std::printf("%-36s %12.1f %10d\n", "check-all of the button bar", a, listed);
    std::printf("%-36s %12.1f %10d\n", "one python3 compiling the scripts", b, baseErrors);
    if (listed != broken || baseErrors != broken) {
        std::fprintf(stderr, "errors found differ from errors made (%d)\n", broken);
        return 1;
    }
    std::printf("figure check_all_ms %.1f\n", a);
    std::printf("figure python_compile_ms %.1f\n", b);
    std::printf("figure check_all_vs_python %.3f\n", ratio.Median());
    return 0;
}
