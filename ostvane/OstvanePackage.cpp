// Entry points that the host calls by name after loading the package.
#include "UnitTable.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT void Initialize() { Rtl::Package::Get(QStringLiteral("ostvane")).Initialize(); }
extern "C" Q_DECL_EXPORT void Finalize() { Rtl::Package::Get(QStringLiteral("ostvane")).Finalize(); }
