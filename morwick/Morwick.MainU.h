#pragma once
// The environment viewer's menu wizard and its registration with the IDE.

#include "ToolsAPI.h"

namespace Morwick {

// The IDE's general services: from the IDE's global services when set, else found through the
// IDE library's exported variable; null when neither exists.
ToolsAPI::IOTAServices* _BorlandServicesIntf();

// Adds the wizard to the IDE's Tools menu.
void DoRegister();
// Splash-screen bitmap and about-box entry.
void DoInit();
// The wizard's index in the IDE; -1 while none is registered.
int WizardIndex();

} // namespace Morwick

class TMorwickHelperWiz final : public ToolsAPI::IOTAMenuWizard {
public:
    QString GetIDString() override;
    QString GetName() override { return QStringLiteral("DORNAX.Morwick"); }
    ToolsAPI::TWizardState GetState() override { return ToolsAPI::TWizardState::Enabled; }
    void Execute() override;
    QString GetMenuText() override { return GetIDString(); }
};
