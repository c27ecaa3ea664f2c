// Package entry points that the IDE host resolves by name after loading the library.
#include "UQuibbetModul.h"
#include "UnitTable.h"

#include <QtGlobal>

namespace {
const bool registered = [] {
    Rtl::Package::Get(QStringLiteral("quibbet")).Requires({QStringLiteral("hadrel")});
    return true;
}();
} // namespace

extern "C" Q_DECL_EXPORT void Initialize() { Rtl::Package::Get(QStringLiteral("quibbet")).Initialize(); }
extern "C" Q_DECL_EXPORT void Finalize() { Rtl::Package::Get(QStringLiteral("quibbet")).Finalize(); }
// Register is UQuibbetModul's.
