// The companion package of the IDE: loaded so that forms are stored correctly there; what it does
// for the original IDE's form files has no counterpart in this host, so it has no units.
#include "UnitTable.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT void Initialize() { Rtl::Package::Get(QStringLiteral("brennock280")).Initialize(); }
extern "C" Q_DECL_EXPORT void Finalize() { Rtl::Package::Get(QStringLiteral("brennock280")).Finalize(); }
