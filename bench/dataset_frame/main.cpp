// Binding a data class to the dataset frame (columns, no stored layout so best fit and caps, first
// record, shown) against the plain way: a QTableView over a read-only model that reads the libpq
// result of the same SELECT in place (dates shown the German way, Booleans as check boxes, as
// the frame shows them), fitting its columns to the contents, shown. The table has 12 columns of
// text, integer, Boolean and date, made from a fixed seed; the data class and the libpq result
// are read before the clock starts. In each round both sides run, the one that goes first
// alternating; the figure is the median of the rounds' ratios. Both sides' cell texts and check
// states are compared on a sample of rows.

#include "../Timing.h"
#include "TVoskClass.h"
#include "UDM1.h"
#include "UFrameDataset.h"
#include "TVoskDBGrid2.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QTableView>

#include <libpq-fe.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr Oid kBoolOid = 16;
constexpr Oid kDateOid = 1082;

// The libpq result as a read-only table model: cells are read in place when the view asks.
class ResultModel final : public QAbstractTableModel {
public:
    ResultModel(const PGresult* r, QObject* parent)
        : QAbstractTableModel(parent), m_r(r), m_rows(PQntuples(r)), m_cols(PQnfields(r)) {
        for (int c = 0; c < m_cols; ++c)
            m_types.push_back(PQftype(r, c));
    }
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : m_cols;
    }
    Qt::ItemFlags flags(const QModelIndex& i) const override {
        return QAbstractTableModel::flags(i) |
               (m_types[size_t(i.column())] == kBoolOid ? Qt::ItemIsUserCheckable : Qt::NoItemFlags);
    }
    QVariant data(const QModelIndex& i, int role) const override {
        const int r = i.row(), c = i.column();
        const Oid type = m_types[size_t(c)];
        if (role == Qt::CheckStateRole && type == kBoolOid)
            return PQgetisnull(m_r, r, c)          ? Qt::PartiallyChecked
                   : *PQgetvalue(m_r, r, c) == 't' ? Qt::Checked
                                                   : Qt::Unchecked;
        if (role != Qt::DisplayRole || type == kBoolOid || PQgetisnull(m_r, r, c))
            return {};
        const char* v = PQgetvalue(m_r, r, c);
        const int n = PQgetlength(m_r, r, c);
        if (type == kDateOid && n == 10) { // yyyy-mm-dd as dd.mm.yyyy
            const char german[10] = {v[8], v[9], '.', v[5], v[6], '.', v[0], v[1], v[2], v[3]};
            return QString::fromLatin1(german, 10);
        }
        return QString::fromUtf8(v, n);
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        return o == Qt::Horizontal ? QVariant(QString::fromUtf8(PQfname(m_r, section)))
                                   : QVariant(section + 1);
    }

private:
    const PGresult* m_r;
    int m_rows, m_cols;
    std::vector<Oid> m_types;
};

// The cell of a model as the user sees it: its text, or its check box.
QString Shown(const QAbstractItemModel* m, int row, int col) {
    const QModelIndex i = m->index(row, col);
    const QVariant check = m->data(i, Qt::CheckStateRole);
    return check.isValid() ? QStringLiteral("[%1]").arg(check.toInt())
                           : m->data(i, Qt::DisplayRole).toString();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TDM1 dm;
    dm.Connect();
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    dm.ExecSQL(QStringLiteral("DROP TABLE IF EXISTS bench_frame"));
    dm.ExecSQL(QStringLiteral("SELECT setseed(0.22)"));
    dm.ExecSQL(QStringLiteral(
        "CREATE TABLE bench_frame AS SELECT g AS dbrid, 'Artikel ' || md5(random()::text) AS "
        "bezeichnung, (random() * 100000)::integer AS menge, random() < 0.5 AS aktiv, date "
        "'2020-01-01' + (random() * 2000)::integer AS datum, left(md5(random()::text), "
        "(random() * 30)::integer) AS kurz, (random() * 1e6)::integer AS lagerplatz, "
        "random() < 0.1 AS gesperrt, date '2024-01-01' + (random() * 500)::integer AS "
        "geliefert, repeat('Größe ', (random() * 20)::integer) || g AS bemerkung, "
        "(random() * 50)::integer AS stufe, random() < 0.9 AS geprueft "
        "FROM generate_series(1, :n) AS g"),
        {{QStringLiteral("n"), rows}});
    const char* const select = "SELECT * FROM bench_frame ORDER BY dbrid";
    TVoskClass2 data;
    data.SetSqlTable(QStringLiteral("bench_frame"));
    data.SetQuerySql(QString::fromLatin1(select));
    data.Open();
    Vcl::TDataSource source;
    source.SetDataSet(&data);
    PGconn* conn = PQconnectdb("");
    PGresult* result = PQexec(conn, select);
    if (PQresultStatus(result) != PGRES_TUPLES_OK) {
        std::fprintf(stderr, "libpq: %s\n", PQerrorMessage(conn));
        return 1;
    }

    std::vector<double> frameMs, bareMs;
    BenchTiming::PairedRatio ratio, cpuRatio;
    int mismatches = 0, compared = 0;
    QString firstMismatch;
    for (int run = 0; run < 7; ++run) {
        auto frame = std::make_unique<TFrameDataSet>(nullptr);
        frame->resize(1400, 800);
        auto view = std::make_unique<QTableView>();
        view->resize(1400, 800);
        BenchTiming::Stamp f, b;
        auto runFrame = [&] {
            const auto t = BenchTiming::Stamp::Now();
            frame->FSetDataSource(&source);
            frame->show();
            QApplication::processEvents();
            f = t.Elapsed();
        };
        auto runBare = [&] {
            const auto t = BenchTiming::Stamp::Now();
            view->setModel(new ResultModel(result, view.get()));
            view->resizeColumnsToContents();
            view->show();
            QApplication::processEvents();
            b = t.Elapsed();
        };
        BenchTiming::InTurn(run, runFrame, runBare);
        frameMs.push_back(f.WallMs);
        bareMs.push_back(b.WallMs);
        ratio.Add(f.WallMs, b.WallMs);
        cpuRatio.Add(f.CpuMs, b.CpuMs);
        if (run == 0) {
            // The same cells on both sides: every 997th row, the columns by name.
            const QAbstractItemModel* ours = frame->DBGrid->model();
            const QAbstractItemModel* plain = view->model();
            if (ours->rowCount() != plain->rowCount()) {
                std::fprintf(stderr, "the frame shows %d rows, the plain view %d\n",
                             ours->rowCount(), plain->rowCount());
                return 1;
            }
            for (int c = 0; c < plain->columnCount(); ++c) {
                const int oc = data.FieldIndex(plain->headerData(c, Qt::Horizontal).toString());
                for (int r = 0; r < plain->rowCount(); r += 997) {
                    ++compared;
                    const QString a = Shown(ours, r, oc), z = Shown(plain, r, c);
                    if (a != z && mismatches++ == 0)
                        firstMismatch = QStringLiteral("row %1 column %2: \"%3\" against \"%4\"")
                                            .arg(r)
                                            .arg(c)
                                            .arg(a, z);
                }
            }
        }
    }
    PQclear(result);
    PQfinish(conn);
    dm.ExecSQL(QStringLiteral("DROP TABLE bench_frame"));
    if (mismatches > 0) {
        std::fprintf(stderr, "%d of %d sampled cells differ, first %s\n", mismatches, compared,
                     qPrintable(firstMismatch));
        return 1;
    }
    const double fm = BenchTiming::Median(frameMs), bm = BenchTiming::Median(bareMs);
    std::printf("%10s %12s %12s %10s   (%d sampled cells the same)\n", "rows", "frame ms",
                "plain ms", "cpu ratio", compared);
    std::printf("%10d %12.1f %12.1f %10.2f\n", rows, fm, bm, cpuRatio.Median());
    std::printf("figure dataset_frame_vs_bare_qt %.2f\n", ratio.Median());
    std::printf("figure dataset_frame_cpu_vs_bare_qt %.2f\n", cpuRatio.Median());
    return 0;
}
