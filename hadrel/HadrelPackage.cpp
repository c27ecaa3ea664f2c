// Package entry points that the host resolves by name after loading the library.
#include "UnitTable.h"

#include <QtGlobal>

namespace {
const bool registered = [] {
    Rtl::Package::Get(QStringLiteral("hadrel")).Requires({QStringLiteral("rtl")});
    return true;
}();
} // namespace

extern "C" Q_DECL_EXPORT void Initialize() { Rtl::Package::Get(QStringLiteral("hadrel")).Initialize(); }
extern "C" Q_DECL_EXPORT void Finalize() { Rtl::Package::Get(QStringLiteral("hadrel")).Finalize(); }
// Design time: every unit's Register procedure, which puts the package's components on the IDE's
// palette.
extern "C" Q_DECL_EXPORT void Register() { Rtl::Package::Get(QStringLiteral("hadrel")).Register(); }
