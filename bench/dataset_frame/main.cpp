// Binding a data class to the dataset frame (columns, no stored layout so best fit and caps, first
// record, shown) against a bare QTableView over the same data model that fits its columns to the
// contents and is shown. The table has 12 columns of text, integer, Boolean and date, made from a
// fixed seed; the data class is read once before the clock starts. Runs alternate; medians of five.

#include "TVoskClass.h"
#include "TVoskDataModel.h"
#include "UDM1.h"
#include "UFrameDataset.h"

#include <QApplication>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Ms(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
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
    TVoskClass2 data;
    data.SetSqlTable(QStringLiteral("bench_frame"));
    data.SetQuerySql(QStringLiteral("SELECT * FROM bench_frame ORDER BY dbrid"));
    data.Open();
    Vcl::TDataSource source;
    source.SetDataSet(&data);

    std::vector<double> frameMs, bareMs;
    for (int run = 0; run < 5; ++run) {
        for (int side = 0; side < 2; ++side) {
            if ((run % 2 == 0) == (side == 0)) {
                auto frame = std::make_unique<TFrameDataSet>(nullptr);
                frame->resize(1400, 800);
                const auto t0 = Clock::now();
                frame->FSetDataSource(&source);
                frame->show();
                QApplication::processEvents();
                frameMs.push_back(Ms(t0));
            } else {
                auto view = std::make_unique<QTableView>();
                view->resize(1400, 800);
                const auto t0 = Clock::now();
                auto* model = new TVoskDataModel(&data, view.get());
                view->setModel(model);
                view->resizeColumnsToContents();
                view->show();
                QApplication::processEvents();
                bareMs.push_back(Ms(t0));
            }
        }
    }
    dm.ExecSQL(QStringLiteral("DROP TABLE bench_frame"));
    const double f = Median(frameMs), b = Median(bareMs);
    std::printf("%10s %12s %12s %8s\n", "rows", "frame ms", "bare Qt ms", "ratio");
    std::printf("%10d %12.1f %12.1f %8.2f\n", rows, f, b, f / b);
    std::printf("figure dataset_frame_vs_bare_qt %.2f\n", f / b);
    return 0;
}
