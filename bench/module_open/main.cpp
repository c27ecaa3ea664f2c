// Cost of opening the address module (create, read the rows, show as an MDI child) against a bare
// Qt window: a QTableView over a read-only model that reads the libpq result in place, in a
// sub-window of the same MDI area. Two tables of 1,000 and 100,000 addresses sit in schemas of
// their own; the search path picks one for both sides.
//
// Each round measures both sides at both sizes, which side goes first alternating; a ratio is the
// median of the rounds' own ratios. At 1,000 rows the wall time is compared (what a user waits
// for), and the process CPU time beside it; the cost of each further row is compared in the
// process's CPU time, so that the server's sort of 100,000 rows, the same for both, does not
// water it down. Both sides' rows are checked
// against each other. Then the queries of a second opening in the session are counted, by the
// connection's own count and by a libpq trace of the messages sent.

#include "../Timing.h"
#include "TFormAdress.h"
#include "TVoskClass.h"
#include "TVoskDBGrid2.h"
#include "TVoskDataModel.h"
#include "UDM1.h"
#include "Vcl.Application.h"
#include "Vcl.Forms.h"

#include <QAbstractTableModel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QVBoxLayout>

#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kSmall = 1000;
constexpr int kLarge = 100000;
constexpr int kRounds = 11;
const char* const kSelect = "SELECT * FROM adressen ORDER BY name, dbrid";

using BenchTiming::Median;
using Time = BenchTiming::Stamp;

[[noreturn]] void Fail(const char* what, const char* detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail);
    std::exit(1);
}

void Exec(PGconn* c, const char* sql) {
    PGresult* r = PQexec(c, sql);
    if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK)
        Fail(sql, PQresultErrorMessage(r));
    PQclear(r);
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

// What each side showed, for the cross-check.
struct Shown {
    int rows = 0;
    QString first, last;
};

// The bare baseline: the same SELECT by libpq, a view over the result in a sub-window.
Time OpenBare(PGconn* conn, QMdiArea* mdi, Shown* shown) {
    const Time clock = Time::Now();
    PGresult* r = PQexec(conn, kSelect);
    if (PQresultStatus(r) != PGRES_TUPLES_OK)
        Fail("bare read", PQresultErrorMessage(r));
    auto* w = new QWidget;
    auto* layout = new QVBoxLayout(w);
    auto* model = new ResultModel(r, w);
    auto* view = new QTableView(w);
    view->setModel(model);
    layout->addWidget(view);
    QMdiSubWindow* sub = mdi->addSubWindow(w);
    sub->show();
    QApplication::processEvents();
    const Time t = clock.Elapsed();
    const int name = PQfnumber(r, "name");
    shown->rows = model->rowCount({});
    shown->first = model->index(0, name).data().toString();
    shown->last = model->index(shown->rows - 1, name).data().toString();
    delete sub;
    QApplication::processEvents();
    return t;
}

TFormAdress* ShowModule() {
    TFormAdress* form = TFormAdress::Open();
    QApplication::processEvents();
    return form;
}

void CloseModule(TFormAdress* form) {
    form->Frame()->close();
    delete form;
    QApplication::processEvents();
}

Time OpenModule(Shown* shown) {
    const Time clock = Time::Now();
    TFormAdress* form = ShowModule();
    const Time t = clock.Elapsed();
    const QAbstractItemModel* model = form->GridAdressen->model();
    const int name = form->DataAdressen->FieldIndex(QStringLiteral("name"));
    shown->rows = model->rowCount();
    shown->first = model->index(0, name).data().toString();
    shown->last = model->index(shown->rows - 1, name).data().toString();
    CloseModule(form);
    return t;
}

void Check(const Shown& bare, const Shown& module, int rows) {
    if (bare.rows != rows || module.rows != rows || bare.first != module.first ||
        bare.last != module.last)
        Fail("sides differ", qPrintable(QStringLiteral("%1 rows %2..%3 against %4 rows %5..%6")
                                            .arg(module.rows)
                                            .arg(module.first, module.last)
                                            .arg(bare.rows)
                                            .arg(bare.first, bare.last)));
}

void UseSize(TDM1& dm, PGconn* bare, int rows) {
    const QByteArray set = "SET search_path = adr" + QByteArray::number(rows) + ", public";
    dm.Database().Exec(QString::fromLatin1(set));
    Exec(bare, set.constData());
}

struct Pair {
    Time module, bare;
};

Pair Round(TDM1& dm, PGconn* conn, QMdiArea* mdi, int rows, bool moduleFirst) {
    UseSize(dm, conn, rows);
    Pair p;
    Shown a, b;
    if (moduleFirst) {
        p.module = OpenModule(&a);
        p.bare = OpenBare(conn, mdi, &b);
    } else {
        p.bare = OpenBare(conn, mdi, &b);
        p.module = OpenModule(&a);
    }
    Check(b, a, rows);
    return p;
}

// Round trips of the connection by the libpq trace: each run of messages the client sends before
// it reads the server's answers is one (a pipeline of several statements counts once).
int TracedRoundTrips(FILE* trace) {
    std::fflush(trace);
    std::rewind(trace);
    char line[4096];
    int n = 0;
    bool sending = false;
    while (std::fgets(line, sizeof line, trace)) {
        const bool front = std::strncmp(line, "F\t", 2) == 0;
        const bool back = std::strncmp(line, "B\t", 2) == 0;
        if (front && !sending)
            ++n;
        if (front || back)
            sending = front;
    }
    return n;
}

} // namespace

int main(int argc, char** argv) {
    Vcl::TApplication app(argc, argv);
    // "profile N": only N openings of the module over 1,000 rows, for a profiler.
    const int profile = argc > 2 && std::strcmp(argv[1], "profile") == 0 ? std::atoi(argv[2]) : 0;
    TDM1 dm;
    dm.Connect();
    PGconn* conn = PQconnectdb("");
    if (PQstatus(conn) != CONNECTION_OK)
        Fail("libpq", PQerrorMessage(conn));
    // The address table of each size in a schema of its own, with the table's own triggers.
    for (int rows : {kSmall, kLarge}) {
        const QString schema = QStringLiteral("adr%1").arg(rows);
        dm.Database().Exec(
            QStringLiteral("CREATE SCHEMA %1; CREATE TABLE %1.adressen (LIKE public.adressen "
                           "INCLUDING ALL); "
                           "INSERT INTO %1.adressen (name, ort, plz, strasse, telefon, email) "
                           "SELECT 'Firma ' || i, 'Ort ' || (i % 50), "
                           "lpad((i * 7919 % 90000 + 10000)::text, 5, '0'), 'Straße ' || i, "
                           "'030 ' || (100000 + i), 'info' || i || '@beispiel.de' "
                           "FROM generate_series(1, %2) AS i; ANALYZE %1.adressen")
                .arg(schema)
                .arg(rows));
    }
    QMainWindow main;
    auto* mdi = new QMdiArea(&main);
    main.setCentralWidget(mdi);
    main.resize(1400, 900);
    main.show();
    Vcl::Screen::SetMainForm(&main);

    if (profile > 0) {
        UseSize(dm, conn, kSmall);
        Shown shown;
        for (int i = 0; i < profile; ++i)
            OpenModule(&shown);
        return 0;
    }
    // First-use costs (fonts, styles, plans, the session's caches) are not what is compared.
    for (int rows : {kSmall, kLarge})
        Round(dm, conn, mdi, rows, true);

    BenchTiming::PairedRatio ratioSmall, ratioSmallCpu, ratioPerRow;
    std::vector<double> moduleSmall, bareSmall, moduleRow, bareRow;
    for (int round = 0; round < kRounds; ++round) {
        const bool moduleFirst = BenchTiming::AFirst(round);
        const Pair s = Round(dm, conn, mdi, kSmall, moduleFirst);
        const Pair l = Round(dm, conn, mdi, kLarge, !moduleFirst);
        ratioSmall.Add(s.module.WallMs, s.bare.WallMs);
        ratioSmallCpu.Add(s.module.CpuMs, s.bare.CpuMs);
        const double m = (l.module.CpuMs - s.module.CpuMs) / (kLarge - kSmall);
        const double b = (l.bare.CpuMs - s.bare.CpuMs) / (kLarge - kSmall);
        ratioPerRow.Add(m, b);
        moduleSmall.push_back(s.module.WallMs);
        bareSmall.push_back(s.bare.WallMs);
        moduleRow.push_back(m * 1000);
        bareRow.push_back(b * 1000);
    }

    // The second opening: the module has been opened before in this session.
    UseSize(dm, conn, kSmall);
    Shown shown;
    OpenModule(&shown);
    FILE* trace = std::tmpfile();
    PQtrace(dm.Database().Handle(), trace);
    PQsetTraceFlags(dm.Database().Handle(), PQTRACE_SUPPRESS_TIMESTAMPS);
    const qint64 before = dm.Database().RoundTrips();
    TFormAdress* second = ShowModule();
    const qint64 counted = dm.Database().RoundTrips() - before;
    PQuntrace(dm.Database().Handle());
    CloseModule(second);
    const int traced = TracedRoundTrips(trace);
    if (const char* keep = std::getenv("MODULE_OPEN_TRACE")) {
        std::rewind(trace);
        FILE* out = std::fopen(keep, "w");
        char buf[4096];
        while (std::fgets(buf, sizeof buf, trace))
            std::fputs(buf, out);
        std::fclose(out);
    }
    std::fclose(trace);
    if (traced != counted)
        Fail("round trips", qPrintable(QStringLiteral("counted %1, libpq sent %2")
                                           .arg(counted)
                                           .arg(traced)));
    PQfinish(conn);

    std::printf("open the address module against a bare QTableView, medians of %d rounds\n",
                kRounds);
    std::printf("%-44s %12s %12s\n", "", "module", "bare");
    std::printf("%-44s %12.2f %12.2f\n", "1,000 rows, wall ms", Median(moduleSmall),
                Median(bareSmall));
    std::printf("%-44s %12.3f %12.3f\n", "each further row up to 100,000, CPU us",
                Median(moduleRow), Median(bareRow));
    std::printf("%-44s %12lld\n", "round trips of a second opening", static_cast<long long>(counted));
    std::printf("  of which the data queries (addresses, contacts)  2\n");
    std::printf("figure ratio_vs_bare_qt %.2f\n", ratioSmall.Median());
    std::printf("figure ratio_vs_bare_qt_cpu %.2f\n", ratioSmallCpu.Median());
    std::printf("figure per_row_vs_bare %.2f\n", ratioPerRow.Median());
    std::printf("figure second_open_queries %lld\n", static_cast<long long>(counted));
    return 0;
}
