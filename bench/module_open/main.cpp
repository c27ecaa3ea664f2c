// Cost of opening the address module over 1,000 rows (create, read the rows, show as an MDI child)
// against a bare Qt window with a QTableView over the same rows read by libpq. Runs alternate so
// that drift of a shared machine hits both alike; the figure is the ratio of the medians.

#include "TFormAdress.h"
#include "TVoskClass.h"
#include "UDM1.h"
#include "Vcl.Application.h"
#include "Vcl.Forms.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRows = 1000;
constexpr int kRuns = 15;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The bare baseline: the same SELECT by libpq into a standard item model, a view in a sub-window.
double OpenBare(PGconn* conn, QMdiArea* mdi) {
    const auto t0 = Clock::now();
    PGresult* r = PQexec(conn, "SELECT * FROM adressen ORDER BY name, dbrid");
    const int rows = PQntuples(r), cols = PQnfields(r);
    auto* w = new QWidget;
    auto* layout = new QVBoxLayout(w);
    auto* model = new QStandardItemModel(rows, cols, w);
    for (int c = 0; c < cols; ++c)
        model->setHeaderData(c, Qt::Horizontal, QString::fromUtf8(PQfname(r, c)));
    for (int i = 0; i < rows; ++i)
        for (int c = 0; c < cols; ++c)
            model->setItem(i, c, new QStandardItem(QString::fromUtf8(PQgetvalue(r, i, c))));
    PQclear(r);
    auto* view = new QTableView(w);
    view->setModel(model);
    layout->addWidget(view);
    QMdiSubWindow* sub = mdi->addSubWindow(w);
    sub->show();
    QApplication::processEvents();
    const auto t1 = Clock::now();
    delete sub;
    QApplication::processEvents();
    return Ms(t0, t1);
}

double OpenModule() {
    const auto t0 = Clock::now();
    TFormAdress* form = TFormAdress::Open();
    QApplication::processEvents();
    const auto t1 = Clock::now();
    if (form->DataAdressen->RecordCount() != kRows) {
        std::fprintf(stderr, "module read %d rows\n", form->DataAdressen->RecordCount());
        std::exit(1);
    }
    form->Frame()->close();
    delete form;
    QApplication::processEvents();
    return Ms(t0, t1);
}

} // namespace

int main(int argc, char** argv) {
    Vcl::TApplication app(argc, argv);
    TDM1 dm;
    dm.Connect();
    dm.Database().Exec(QStringLiteral(
        "INSERT INTO adressen (name, ort, plz, strasse, telefon, email) "
        "SELECT 'Firma ' || i, 'Ort ' || (i % 50), lpad((i * 7919 % 90000 + 10000)::text, 5, '0'), "
        "'Straße ' || i, '030 ' || (100000 + i), 'info' || i || '@beispiel.de' "
        "FROM generate_series(1, %1) AS i").arg(kRows));
    PGconn* conn = PQconnectdb("");
    if (PQstatus(conn) != CONNECTION_OK) {
        std::fprintf(stderr, "libpq: %s\n", PQerrorMessage(conn));
        return 1;
    }
    QMainWindow main;
    auto* mdi = new QMdiArea(&main);
    main.setCentralWidget(mdi);
    main.resize(1400, 900);
    main.show();
    Vcl::Screen::SetMainForm(&main);

    // Warm both paths once: first-use costs (fonts, styles, plans) are not what is compared.
    OpenBare(conn, mdi);
    OpenModule();
    std::vector<double> bare, module;
    for (int i = 0; i < kRuns; ++i) {
        bare.push_back(OpenBare(conn, mdi));
        module.push_back(OpenModule());
    }
    PQfinish(conn);
    const double b = Median(bare), m = Median(module);
    std::printf("open a window over %d addresses, median of %d runs\n", kRows, kRuns);
    std::printf("%-34s %10s\n", "variant", "ms");
    std::printf("%-34s %10.2f\n", "bare QTableView (libpq)", b);
    std::printf("%-34s %10.2f\n", "address module (TFormAdress)", m);
    std::printf("figure bare_qt_ms %.2f\n", b);
    std::printf("figure module_ms %.2f\n", m);
    std::printf("figure ratio_vs_bare_qt %.2f\n", m / b);
    return 0;
}
