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
