#include "TDMSELO.h"

#include "UDM1.h"
#include "Vcl.Services.h"
#include "VoskExceptions.h"

#include <QFileInfo>

QString TDMSELO::ClientProgram() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return {};
    return dm->GetSetting(SettingName()).trimmed();
}

void TDMSELO::DoExecuteELO(QWidget* window, const QString& reference) {
    Q_UNUSED(window)
    const QString program = ClientProgram();
    if (program.isEmpty())
        throw EVoskException(QStringLiteral("Es ist kein Archivprogramm eingerichtet "
                                            "(Einstellung \"DMS.ExternalArchiveClient\")."));
    if (reference.trimmed().isEmpty())
        throw EVoskException(QStringLiteral("Das Dokument hat keinen Verweis in das Archiv."));
    // The reference is one argument as it is: no shell reads it.
    if (!Vcl::Shell::Instance().Launch(program, {reference.trimmed()},
                                       QFileInfo(program).absolutePath()))
        throw EVoskException(
            QStringLiteral("Das Archivprogramm \"%1\" kann nicht gestartet werden.").arg(program));
}
