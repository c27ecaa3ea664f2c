// Points libpq at the cluster that the ctest fixture starts in the build folder, before any test
// connects; a server the developer's own environment names is never touched by these tests.
#include <QByteArray>
#include <QtGlobal>

namespace {
const bool s_privateCluster = [] {
    qputenv("PGHOST", QByteArray(KORVEX_TEST_PGHOST));
    qputenv("PGPORT", QByteArray("5432"));
    qputenv("PGUSER", QByteArray("postgres"));
    if (qEnvironmentVariableIsEmpty("KORVEX_TEST_TEMPLATE"))
        qputenv("KORVEX_TEST_TEMPLATE", QByteArray("korvex_template"));
    return true;
}();
} // namespace
