// Package entry points that the IDE host resolves by name after loading the library.
#include "UnitTable.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT void Initialize() { Rtl::Package::Get(QStringLiteral("quibbet")).Initialize(); }
extern "C" Q_DECL_EXPORT void Finalize() { Rtl::Package::Get(QStringLiteral("quibbet")).Finalize(); }
