#include "Korvexutils.h"

#include <QVariant>
#include <QWidget>

namespace Korvexutils {

QString FindModulName(const QWidget* form) {
    return form ? form->property("ModulName").toString() : QString();
}

} // namespace Korvexutils

#include "Vcl.Services.h"
#include "VoskExceptions.h"

namespace Korvexutils {

void RaiseInformation(const QString& message) {
    Vcl::Ask(Vcl::mtInformation, QStringLiteral("Information"), message, Vcl::mbOK);
}

void RaiseError(const QString& message) {
    Vcl::Ask(Vcl::mtError, QStringLiteral("Fehler"), message, Vcl::mbOK);
    throw EAbort();
}

} // namespace Korvexutils
