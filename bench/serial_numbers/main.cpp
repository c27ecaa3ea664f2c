// "Übernehmen" of the serial-number frame replacing 5,000 unused presets of a stock document by
// 5,000 new ones, against the same work as raw SQL through libpq: the set-based delete, then the
// server function, in one transaction. Both sides start from the same state and run in turns.
// Also the merge of 20,000 file lines into a memo of 20,000 lines.

#include "../Connect.h"
#include <UDM1.h>
#include <UFrameProduktSerNr.h>
#include <Vcl.Services.h>
#include <VoskF2Controls.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>

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
    bool same = true;
    for (int round = 0; round < kRounds; ++round) {
        const QString neu = numbers(QStringLiteral("NEU%1").arg(round));
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

        preset(c, ld, QStringLiteral("ALT%1").arg(round));
        theirs.push_back(rawReplace(c, ld, neu.toUtf8()));
        same = same && count(c, "SELECT count(*) FROM lagsernr") == kPresets;
    }

    // The merge: half of the file's lines are in the memo already.
    QStringList memo, file;
    for (int i = 0; i < kMergeLines; ++i) {
        memo << QStringLiteral("SN-%1").arg(i * 2, 8, 10, QLatin1Char('0'));
        file << QStringLiteral("SN-%1").arg(i + kMergeLines / 2 * 2, 8, 10, QLatin1Char('0'));
    }
    std::vector<double> merges;
    for (int round = 0; round < kRounds; ++round) {
        frame->mVorgabeSN->setPlainText(memo.join(QLatin1Char('\n')));
        QElapsedTimer t;
        t.start();
        frame->mVorgabeSN_StringsMerge(file);
        merges.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const int merged = int(frame->mVorgabeSN->toPlainText().count(QLatin1Char('\n'))) + 1;

    delete frame;
    Vcl::Dialogs::SetInstance(oldDialogs);
    exec(c, "DELETE FROM mapsernr; DELETE FROM lagsernr; DELETE FROM ldsdok WHERE ld_aknr = "
            "'BENCH'; DELETE FROM art WHERE ak_nr = 'BENCH'");
    if (!same) {
        std::fprintf(stderr, "the two sides did not leave the same presets\n");
        return 1;
    }
    const double a = median(ours), b = median(theirs), m = median(merges);
    std::printf("serial_numbers: %d unused presets replaced by %d new ones, %d rounds\n", kPresets,
                kPresets, kRounds);
    std::printf("%-44s %12s\n", "variant", "median ms");
    std::printf("%-44s %12.1f\n", "\"Übernehmen\" of the frame (with refresh)", a);
    std::printf("%-44s %12.1f\n", "raw SQL through libpq", b);
    std::printf("%-44s %12.1f\n", "merge 20,000 lines into 20,000 (lines out)", m);
    std::printf("merged lines %d\n", merged);
    std::printf("figure sernr_replace_ms %.1f\n", a);
    std::printf("figure sernr_raw_sql_ms %.1f\n", b);
    std::printf("figure sernr_replace_vs_sql %.3f\n", a / b);
    std::printf("figure sernr_merge_20k_ms %.1f\n", m);
    return 0;
}
