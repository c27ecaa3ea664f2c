// Rebuilding the document tree of a record with 1,000 documents in 50 folders (four levels, a
// tenth of them locked) against the plain way: the folder and document queries through libpq and
// a bare QTreeWidget filled with the same 1,050 items, parents found through a hash. Rounds
// alternate which side goes first; the figures are the medians of the per-round ratios of wall
// time and of process CPU time. Both trees must hold the same captions under the same parents.
// The last figure counts the round trips of one rebuild.

#include "../Timing.h"
#include "UImpDoku.h"

#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>
#include <Vcl.Application.h>
#include <Vcl.Services.h>
#include <VoskDatabase.h>

#include <QHash>
#include <QTreeWidget>

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kDocuments = 1000;
constexpr int kFolders = 50;
constexpr int kRounds = 20;

// A record of exactly 1,000 documents is at the window's limit, which it tells on every rebuild:
// the answer costs nothing here.
struct AnswerOk final : Vcl::Dialogs {
    Vcl::TModalResult Ask(const Vcl::TQuestion&) override {
        ++asked;
        return Vcl::mrOk;
    }
    int asked = 0;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

PGresult* Exec(PGconn* c, const char* sql, const std::vector<const char*>& params) {
    PGresult* r = PQexecParams(c, sql, int(params.size()), nullptr, params.data(), nullptr,
                               nullptr, 0);
    if (PQresultStatus(r) != PGRES_TUPLES_OK) {
        std::fprintf(stderr, "baseline query failed: %s\n", PQresultErrorMessage(r));
        std::exit(1);
    }
    return r;
}

// The plain way: the same two reads (folders of the table, documents of the record with their
// lock rows), every item made once and hung under its parent found through a hash.
int Baseline(PGconn* c, const QByteArray& treeSql, QTreeWidget* tree) {
    PGresult* folders = Exec(c, treeSql.constData(), {"benchtab", nullptr});
    PGresult* docs = Exec(
        c,
        "SELECT d.pd_id, d.pd_parentnodeident, coalesce(nullif(d.pd_descr, ''), "
        "d.pd_dokumentfile), t.dt_descr, d.pd_date, r.pdr_lock_user "
        "FROM picndoku d LEFT JOIN picndoku_revision r ON r.pdr_revision_id = d.pd_revision_id "
        "LEFT JOIN dokutypes t ON t.dt_id = d.pd_doktype "
        "WHERE d.pd_tablename = $1 AND d.pd_dbrid = $2 AND NOT d.pd_deletable "
        "ORDER BY d.pd_id LIMIT 1000",
        {"benchtab", "1"});
    tree->setUpdatesEnabled(false);
    tree->clear();
    QHash<QString, QTreeWidgetItem*> byNode;  // lower-cased node id
    QHash<int, QTreeWidgetItem*> byDtn;
    QHash<int, int> parentOf;
    const int nf = PQntuples(folders);
    for (int i = 0; i < nf; ++i) {
        auto* item = new QTreeWidgetItem(
            {QString::fromUtf8(PQgetvalue(folders, i, 3)), QString(), QString(), QString()});
        const int id = std::atoi(PQgetvalue(folders, i, 0));
        byDtn.insert(id, item);
        if (!PQgetisnull(folders, i, 1))
            parentOf.insert(id, std::atoi(PQgetvalue(folders, i, 1)));
        byNode.insert(QString::fromUtf8(PQgetvalue(folders, i, 2)).toLower(), item);
    }
    QTreeWidgetItem* root = nullptr;
    for (auto it = byDtn.cbegin(); it != byDtn.cend(); ++it) {
        QTreeWidgetItem* parent = byDtn.value(parentOf.value(it.key(), -1));
        if (parent)
            parent->addChild(it.value());
        else if (!root)
            tree->addTopLevelItem(root = it.value());
    }
    const int nd = PQntuples(docs);
    for (int i = 0; i < nd; ++i) {
        QTreeWidgetItem* parent =
            byNode.value(QString::fromUtf8(PQgetvalue(docs, i, 1)).toLower(), root);
        auto* item = new QTreeWidgetItem(
            parent, {QString::fromUtf8(PQgetvalue(docs, i, 2)),
                     QString::fromUtf8(PQgetvalue(docs, i, 3)),
                     QString::fromUtf8(PQgetvalue(docs, i, 4)),
                     PQgetisnull(docs, i, 5) ? QString() : QStringLiteral("Gesperrt")});
        (void)item;
    }
    tree->collapseAll();
    if (root)
        tree->setCurrentItem(root);
    tree->setUpdatesEnabled(true);
    PQclear(folders);
    PQclear(docs);
    return nf + nd;
}

// Every node as "caption <- parent's caption", sorted: the same lines on both sides mean the
// same nodes under the same parents.
QStringList NodesOf(const QTreeWidget& tree) {
    QStringList out;
    std::function<void(const QTreeWidgetItem*)> walk = [&](const QTreeWidgetItem* item) {
        out << item->text(0) + QStringLiteral(" <- ") +
                   (item->parent() ? item->parent()->text(0) : QString());
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i));
    };
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        walk(tree.topLevelItem(i));
    out.sort();
    return out;
}

QStringList NodesOf(const TDokuTree& tree) {
    QStringList out;
    tree.ForEach([&](TDokuTreeNode* n) {
        out << n->Caption + QStringLiteral(" <- ") + (n->Parent ? n->Parent->Caption : QString());
    });
    out.sort();
    return out;
}

} // namespace

int main(int argc, char** argv) {
    Vcl::TApplication app(argc, argv);
    AnswerOk answers;
    Vcl::Dialogs::SetInstance(&answers);
    TDM1 dm;
    dm.Connect();
    // The record's folder tree and documents, the same on every run.
    dm.Database().Exec(QStringLiteral(
        "SELECT setseed(0.34);"
        "INSERT INTO dokutrees (dtl_id, dtl_description, dtl_tablename) "
        "VALUES (1, 'Bench', 'benchtab');"
        "INSERT INTO dokutreenodes (dtn_id, dtn_dtl_id, dtn_parentid, dtn_nodeid, dtn_caption, "
        "dtn_image, dtn_position) "
        "SELECT i, 1, CASE WHEN i = 1 THEN NULL ELSE (i - 2) / 3 + 1 END, 'Ordner' || i, "
        "'Ordner ' || i, CASE WHEN i = 1 THEN 1 ELSE 151 END, i FROM generate_series(1, %1) i;"
        "INSERT INTO dokutypes (dt_id, dt_descr, dt_linkto) "
        "SELECT 'T' || i, 'Typ ' || i, 'benchtab' FROM generate_series(1, 8) i;"
        "INSERT INTO picndoku (pd_tablename, pd_dbrid, pd_descr, pd_dokumentfile, pd_doktype, "
        "pd_parentnodeident, pd_date) "
        "SELECT 'benchtab', 1, 'Dokument ' || i, 'dokument' || i || '.pdf', "
        "'T' || (1 + floor(random() * 8)::int), 'ordner' || (1 + floor(random() * %1)::int), "
        "timestamp '2024-01-01' + i * interval '1 hour' FROM generate_series(1, %2) i;"
        "UPDATE picndoku_revision r SET pdr_lock_user = 'mueller', pdr_lock_time = now() "
        "FROM picndoku d WHERE d.pd_revision_id = r.pdr_revision_id AND d.pd_id % 10 = 0;"
        "ANALYZE")
                               .arg(kFolders)
                               .arg(kDocuments));
    const QByteArray treeSql = [&] {
        // The named SQL as the server gets it: parameters by position.
        TVoskQuery2 q(&dm.Database());
        q.SetSQLByKey(QStringLiteral("DMS.DokuTree"));
        return q.SentSQL();
    }();
    PGconn* conn = PQconnectdb("");
    if (PQstatus(conn) != CONNECTION_OK) {
        std::fprintf(stderr, "libpq: %s\n", PQerrorMessage(conn));
        return 1;
    }

    auto* window = TFormKorvexGundForm::Create<TFormDokments>(
        nullptr, QStringList(), QStringLiteral("benchtab"), QStringLiteral("1"), nullptr);
    window->resize(1000, 700);
    window->Show();
    QTreeWidget bare;
    bare.setColumnCount(4);
    bare.resize(600, 700);
    bare.show();
    QApplication::processEvents();

    const auto timeWindow = [&] {
        const auto t0 = BenchTiming::Stamp::Now();
        window->TreeMenuCreate(false);
        QApplication::processEvents();
        return t0.Elapsed();
    };
    const auto timeBare = [&] {
        const auto t0 = BenchTiming::Stamp::Now();
        const int items = Baseline(conn, treeSql, &bare);
        QApplication::processEvents();
        if (items != kFolders + kDocuments) {
            std::fprintf(stderr, "baseline built %d items\n", items);
            std::exit(1);
        }
        return t0.Elapsed();
    };
    // Warm both: plans, fonts and icons are not what is compared.
    timeWindow();
    timeBare();
    if (window->FAnzahl != kDocuments || window->TreeModel->Tree().DocumentCount() != kDocuments) {
        std::fprintf(stderr, "window loaded %d documents\n", window->FAnzahl);
        return 1;
    }
    if (const QStringList a = NodesOf(window->TreeModel->Tree()), b = NodesOf(bare); a != b) {
        int at = 0;
        while (at < a.size() && at < b.size() && a[at] == b[at])
            ++at;
        std::fprintf(stderr, "the trees differ: %lld nodes against %lld, first \"%s\" against \"%s\"\n",
                     qlonglong(a.size()), qlonglong(b.size()), qPrintable(a.value(at)),
                     qPrintable(b.value(at)));
        return 1;
    }
    const qint64 tripsBefore = dm.Database().RoundTrips();
    timeWindow();
    const qint64 trips = dm.Database().RoundTrips() - tripsBefore;

    std::vector<double> w, b;
    BenchTiming::PairedRatio ratio, cpuRatio;
    for (int i = 0; i < kRounds; ++i) {
        BenchTiming::Stamp tw, tb;
        if (BenchTiming::AFirst(i)) {
            tw = timeWindow();
            tb = timeBare();
        } else {
            tb = timeBare();
            tw = timeWindow();
        }
        w.push_back(tw.WallMs);
        b.push_back(tb.WallMs);
        ratio.Add(tw.WallMs, tb.WallMs);
        cpuRatio.Add(tw.CpuMs, tb.CpuMs);
    }
    PQfinish(conn);
    delete window;
    Vcl::Dialogs::SetInstance(nullptr);
    if (answers.asked != kRounds + 2) {
        std::fprintf(stderr, "the window asked %d times\n", answers.asked);
        return 1;
    }
    std::printf("rebuild the tree of a record: %d documents in %d folders, median of %d rounds\n",
                kDocuments, kFolders, kRounds);
    std::printf("%-44s %10s\n", "variant", "ms");
    std::printf("%-44s %10.2f\n", "libpq queries + bare QTreeWidget (baseline)", Median(b));
    std::printf("%-44s %10.2f\n", "TFormDokments::TreeMenuCreate", Median(w));
    std::printf("%-44s %10lld\n", "round trips per rebuild", static_cast<long long>(trips));
    std::printf("figure dms_tree_baseline_ms %.2f\n", Median(b));
    std::printf("figure dms_tree_ms %.2f\n", Median(w));
    std::printf("figure dms_tree_ratio %.2f\n", ratio.Median());
    std::printf("figure dms_tree_cpu_ratio %.2f\n", cpuRatio.Median());
    std::printf("figure dms_tree_queries %lld\n", static_cast<long long>(trips));
    return 0;
}
