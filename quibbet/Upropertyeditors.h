#pragma once
// The property and component editors of the ERP's forms in the designer.

namespace Upropertyeditors {

// Registers the editors with the IDE, in the order of the editor table.
void RegisterEditors();

} // namespace Upropertyeditors
