// Cost of opening the address module over 1,000 rows (create, read the rows, show as an MDI child)
// against a bare Qt window: a QTableView over a read-only model that reads the libpq result in
// place. Runs alternate, and so does which side goes first, so that drift of a shared machine hits
// both alike; the figure is the ratio of the medians.

#include "TFormAdress.h"
#include "TVoskClass.h"
#include "UDM1.h"
#include "Vcl.Application.h"
#include "Vcl.Forms.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QAbstractTableModel>
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

// The libpq result as a read-only table model: cells are read in place when the view asks.
class ResultModel final : public QAbstractTableModel {
public:
    ResultModel(PGresult* r, QObject* parent)
        : QAbstractTableModel(parent), m_r(r), m_rows(PQntuples(r)), m_cols(PQnfields(r)) {}
    ~ResultModel() override { PQclear(m_r); }
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : m_cols;
    }
    QVariant data(const QModelIndex& i, int role) const override {
        if (role != Qt::DisplayRole || PQgetisnull(m_r, i.row(), i.column()))
            return {};
        return QString::fromUtf8(PQgetvalue(m_r, i.row(), i.column()),
                                 PQgetlength(m_r, i.row(), i.column()));
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        return o == Qt::Horizontal ? QVariant(QString::fromUtf8(PQfname(m_r, section)))
                                   : QVariant(section + 1);
    }

private:
    PGresult* m_r;
    int m_rows, m_cols;
};

// The bare baseline: the same SELECT by libpq, a view over the result in a sub-window.
double OpenBare(PGconn* conn, QMdiArea* mdi) {
    const auto t0 = Clock::now();
    PGresult* r = PQexec(conn, "SELECT * FROM adressen ORDER BY name, dbrid");
    if (PQresultStatus(r) != PGRES_TUPLES_OK || PQntuples(r) != kRows) {
        std::fprintf(stderr, "bare read failed: %s\n", PQresultErrorMessage(r));
        std::exit(1);
    }
    auto* w = new QWidget;
    auto* layout = new QVBoxLayout(w);
    auto* model = new ResultModel(r, w);
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
    // Which side goes first alternates, so that neither always runs on a warmed cache.
    for (int i = 0; i < kRuns; ++i) {
        if (i % 2 == 0) {
            bare.push_back(OpenBare(conn, mdi));
            module.push_back(OpenModule());
        } else {
            module.push_back(OpenModule());
            bare.push_back(OpenBare(conn, mdi));
        }
    }
    PQfinish(conn);
    const double b = Median(bare), m = Median(module);
    std::printf("open a window over %d addresses, median of %d runs\n", kRows, kRuns);
    std::printf("%-34s %10s\n", "variant", "ms");
    std::printf("%-34s %10.2f\n", "bare QTableView (libpq result model)", b);
    std::printf("%-34s %10.2f\n", "address module (TFormAdress)", m);
    std::printf("figure bare_qt_ms %.2f\n", b);
    std::printf("figure module_ms %.2f\n", m);
    std::printf("figure ratio_vs_bare_qt %.2f\n", m / b);
    return 0;
}
