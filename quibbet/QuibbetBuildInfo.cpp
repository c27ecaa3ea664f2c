#include "QuibbetBuildInfo.h"

namespace QuibbetBuild {

QString VersionAndEdition() {
    return QStringLiteral(KORVEX_VERSION) + QStringLiteral(" Linux");
}

QString Description() {
    return QStringLiteral("Entwurfszeit-Paket des KORVEX ERP, Stand %1").arg(QStringLiteral(KORVEX_SRC_PRODUCT));
}

QString Information() {
    return QStringLiteral("Quellen: %1\nExterne Quellen: %2\nRoot-Repository: %3\n"
                          "Datenbank-Skripte: %4\nKompiliert von: %5")
        .arg(QStringLiteral(KORVEX_SRC_PRODUCT), QStringLiteral(KORVEX_SRC_EXTERNAL),
             QStringLiteral(KORVEX_SRC_ROOT), QStringLiteral(KORVEX_SRC_DB),
             QStringLiteral(KORVEX_BUILD_BY));
}

} // namespace QuibbetBuild
