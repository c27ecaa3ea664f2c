// Package entry points that the IDE host resolves by name after loading the library. The viewer
// registers itself once the IDE is up (Morwick.IsIDERunning), so there is no Register.
#include "UnitTable.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT void Initialize() { Rtl::Package::Get(QStringLiteral("morwick")).Initialize(); }
extern "C" Q_DECL_EXPORT void Finalize() { Rtl::Package::Get(QStringLiteral("morwick")).Finalize(); }
