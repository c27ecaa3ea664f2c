#include "Upropertyeditors.h"

#include "UnitTable.h"

namespace {
void unitInit() {}
void unitFini() {}
} // namespace

KORVEX_UNIT("quibbet", "Upropertyeditors", unitInit, unitFini);

namespace Upropertyeditors {

void RegisterEditors() {
    // The editor table: each row RegisterPropertyEditor(type, class, name, editor), then the
    // component editors. It grows with the editors themselves.
}

} // namespace Upropertyeditors
