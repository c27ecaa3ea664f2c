// "Übernehmen" of the serial-number frame replacing 5,000 unused presets of a stock document by
// 5,000 new ones, against the same work as raw SQL through libpq: the set-based delete, then the
// server function, in one transaction. Both sides start from the same state; in each round both
// run, the one that goes first alternating, and the figure is the median of the rounds' ratios.
// Also the merge of 20,000 file lines into a memo of 20,000 lines, against a plain hash-set merge
// of the same lines appended to a bare QPlainTextEdit in one edit; both memos must end the same.

#include "../Connect.h"
#include "../Timing.h"
#include <UDM1.h>
#include <UFrameProduktSerNr.h>
#include <Vcl.Services.h>
#include <VoskF2Controls.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QSet>
#include <QStringList>
#include <QTextCursor>

#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kPresets = 5000;
constexpr int kRounds = 9;
constexpr int kMergeLines = 20000;

class SayYes final : public Vcl::Dialogs {
public:
    Vcl::TModalResult Ask(const Vcl::TQuestion&) override { return Vcl::mrYes; }
};

void exec(PGconn* c, const QByteArray& sql) {
    PGresult* r = PQexec(c, sql.constData());
    const ExecStatusType st = PQresultStatus(r);
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) {
        std::fprintf(stderr, "%s\n%s\n", sql.constData(), PQerrorMessage(c));
        std::exit(1);
    }
    PQclear(r);
}

QString numbers(const QString& prefix) {
    QStringList l;
    l.reserve(kPresets);
    for (int i = 0; i < kPresets; ++i)
        l << QStringLiteral("%1-%2").arg(prefix).arg(i, 6, 10, QLatin1Char('0'));
    return l.join(QLatin1Char('\n'));
}

// The document holds exactly 5,000 unused presets named after prefix.
void preset(PGconn* c, int ld, const QString& prefix) {
    exec(c, "DELETE FROM mapsernr; DELETE FROM lagsernr");
    const QByteArray text = numbers(prefix).toUtf8();
    const char* values[] = {text.constData()};
    PGresult* r = PQexecParams(
        c,
        QByteArray("SELECT tlager.lagsernr__mapsernr__vorgabesernr__extract_from_text($1, ") +
            QByteArray::number(ld) + ")",
        1, nullptr, values, nullptr, nullptr, 0);
    PQclear(r);
    exec(c, "VACUUM ANALYZE lagsernr");
    exec(c, "VACUUM ANALYZE mapsernr");
}

double rawReplace(PGconn* c, int ld, const QByteArray& text) {
    const QByteArray id = QByteArray::number(ld);
    QElapsedTimer t;
    t.start();
    exec(c, "BEGIN");
    exec(c, "WITH gone AS (DELETE FROM mapsernr m USING lagsernr s WHERE m.ms_table = "
            "'ldsdok'::regclass AND m.ms_pkey = " + id + " AND s.lgs_id = m.ms_lgs_id AND "
            "s.w_wen IS NULL AND s.lg_id IS NULL AND s.l_nr IS NULL RETURNING m.ms_lgs_id) "
            "DELETE FROM lagsernr s USING gone g WHERE s.lgs_id = g.ms_lgs_id AND NOT EXISTS "
            "(SELECT 1 FROM mapsernr o WHERE o.ms_lgs_id = s.lgs_id AND NOT (o.ms_table = "
            "'ldsdok'::regclass AND o.ms_pkey = " + id + "))");
    const char* values[] = {text.constData()};
    PGresult* r = PQexecParams(
        c,
        "SELECT tlager.lagsernr__mapsernr__vorgabesernr__extract_from_text($1::text, " + id + ")",
        1, nullptr, values, nullptr, nullptr, 0);
    if (PQresultStatus(r) != PGRES_TUPLES_OK) {
        std::fprintf(stderr, "%s\n", PQerrorMessage(c));
        std::exit(1);
    }
    PQclear(r);
    exec(c, "COMMIT");
    return double(t.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The merge floor: the lines of the memo and of the file as views in one hash set, the new
// ones appended at the end in one edit.
void PlainMerge(QPlainTextEdit& memo, const QStringList& file) {
    const QString current = memo.toPlainText();
    QSet<QStringView> known;
    known.reserve(current.size() / 8 + file.size());
    for (QStringView l : QStringView(current).split(u'\n'))
        known.insert(l.trimmed());
    QString added;
    for (const QString& raw : file) {
        const QStringView l = QStringView(raw).trimmed();
        if (l.isEmpty() || known.contains(l))
            continue;
        known.insert(l);
        if (!added.isEmpty())
            added += u'\n';
        added += l;
    }
    if (added.isEmpty())
        return;
    QTextCursor cursor(memo.document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    if (!current.isEmpty() && !current.endsWith(u'\n'))
        cursor.insertText(QStringLiteral("\n"));
    cursor.insertText(added);
    cursor.endEditBlock();
}

int count(PGconn* c, const char* sql) {
    PGresult* r = PQexec(c, sql);
    const int n = PQntuples(r) ? atoi(PQgetvalue(r, 0, 0)) : -1;
    PQclear(r);
    return n;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TDM1 dm;
    if (!BenchDb::Connected(dm))
        return 1;
    PGconn* c = dm.Database().Handle();
    exec(c, "INSERT INTO art (ak_nr) VALUES ('BENCH') ON CONFLICT DO NOTHING");
    PGresult* r = PQexec(c, "INSERT INTO ldsdok (ld_aknr, ld_stk) VALUES ('BENCH', 5000) "
                            "RETURNING ld_id");
    const int ld = atoi(PQgetvalue(r, 0, 0));
    PQclear(r);
    SayYes yes;
    Vcl::Dialogs* oldDialogs = Vcl::Dialogs::SetInstance(&yes);

    QWidget host;
    host.resize(1200, 600);
    auto* frame = new TFrameProduktSerNr(&host, &host);
    frame->resize(1200, 600);

    std::vector<double> ours, theirs;
    BenchTiming::PairedRatio replaceRatio, mergeRatio;
    bool same = true;
    for (int round = 0; round < kRounds; ++round) {
        const QString neu = numbers(QStringLiteral("NEU%1").arg(round));
        auto viaFrame = [&] {
            preset(c, ld, QStringLiteral("ALT%1").arg(round));
            frame->VorgabeSeriennummern_Activate(0);
            frame->VorgabeSeriennummern_Activate(ld);
            frame->mVorgabeSN->setPlainText(neu);
            QElapsedTimer t;
            t.start();
            frame->btnSNUndertakeClick();
            ours.push_back(double(t.nsecsElapsed()) / 1e6);
            if (qEnvironmentVariableIsSet("SERNR_BENCH_DETAIL")) {
                QElapsedTimer r;
                r.start();
                frame->ServSQL2ProduktSN->Refresh(true, true);
                std::printf("refresh alone %.1f ms\n", double(r.nsecsElapsed()) / 1e6);
            }
            same = same && frame->ServSQL2ProduktSN->RecordCount() == kPresets &&
                   count(c, "SELECT count(*) FROM lagsernr") == kPresets;
        };
        auto viaSql = [&] {
            preset(c, ld, QStringLiteral("ALT%1").arg(round));
            theirs.push_back(rawReplace(c, ld, neu.toUtf8()));
            same = same && count(c, "SELECT count(*) FROM lagsernr") == kPresets;
        };
        BenchTiming::InTurn(round, viaFrame, viaSql);
        replaceRatio.Add(ours.back(), theirs.back());
    }

    // The merge: half of the file's lines are in the memo already.
    QStringList memo, file;
    for (int i = 0; i < kMergeLines; ++i) {
        memo << QStringLiteral("SN-%1").arg(i * 2, 8, 10, QLatin1Char('0'));
        file << QStringLiteral("SN-%1").arg(i + kMergeLines / 2 * 2, 8, 10, QLatin1Char('0'));
    }
    const QString memoText = memo.join(QLatin1Char('\n'));
    QPlainTextEdit bare(&host);
    bare.setGeometry(frame->mVorgabeSN->geometry());
    std::vector<double> merges, plainMerges;
    for (int round = 0; round < kRounds; ++round) {
        auto viaFrame = [&] {
            frame->mVorgabeSN->setPlainText(memoText);
            QElapsedTimer t;
            t.start();
            frame->mVorgabeSN_StringsMerge(file);
            merges.push_back(double(t.nsecsElapsed()) / 1e6);
        };
        auto plain = [&] {
            bare.setPlainText(memoText);
            QElapsedTimer t;
            t.start();
            PlainMerge(bare, file);
            plainMerges.push_back(double(t.nsecsElapsed()) / 1e6);
        };
        BenchTiming::InTurn(round, viaFrame, plain);
        mergeRatio.Add(merges.back(), plainMerges.back());
    }
    const QString mergedText = frame->mVorgabeSN->toPlainText();
    const int merged = int(mergedText.count(QLatin1Char('\n'))) + 1;
    const bool sameMerge = mergedText == bare.toPlainText();

    delete frame;
    Vcl::Dialogs::SetInstance(oldDialogs);
    exec(c, "DELETE FROM mapsernr; DELETE FROM lagsernr; DELETE FROM ldsdok WHERE ld_aknr = "
            "'BENCH'; DELETE FROM art WHERE ak_nr = 'BENCH'");
    if (!same || !sameMerge) {
        std::fprintf(stderr, "%s\n",
                     !same ? "the two sides did not leave the same presets"
                           : "the merged memo differs from the plain merge's");
        return 1;
    }
    const double a = median(ours), b = median(theirs), m = median(merges);
    const double pm = median(plainMerges);
    std::printf("serial_numbers: %d unused presets replaced by %d new ones, %d rounds\n", kPresets,
                kPresets, kRounds);
    std::printf("%-44s %12s\n", "variant", "median ms");
    std::printf("%-44s %12.1f\n", "\"Übernehmen\" of the frame (with refresh)", a);
    std::printf("%-44s %12.1f\n", "raw SQL through libpq", b);
    std::printf("%-44s %12.1f\n", "merge 20,000 lines into 20,000", m);
    std::printf("%-44s %12.1f\n", "plain hash-set merge, one append", pm);
    std::printf("merged lines %d\n", merged);
    std::printf("figure sernr_replace_ms %.1f\n", a);
    std::printf("figure sernr_raw_sql_ms %.1f\n", b);
    std::printf("figure sernr_replace_vs_sql %.3f\n", replaceRatio.Median());
    std::printf("figure sernr_merge_20k_ms %.1f\n", m);
    std::printf("figure sernr_merge_vs_plain %.3f\n", mergeRatio.Median());
    return 0;
}
