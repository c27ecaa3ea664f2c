#include "Korvexutils.h"

#include <QVariant>
#include <QWidget>

namespace Korvexutils {

QString FindModulName(const QWidget* form) {
    return form ? form->property("ModulName").toString() : QString();
}

} // namespace Korvexutils
