// The navigation frame's special functions: its caption-bar buttons, the tools button, and the
// start-up and admin-state steps the base form runs for every frame.

#include "FrameDBNavigate.h"

#include "DMSys.h"
#include "Korvexutils.h"
#include "TQ32Control.h"
#include "TVoskDBGrid2.h"
#include "TVoskMainMenuSql.h"
#include "UDM1.h"
#include "UGrundModulForm.h"
#include "Vcl.Components.h"
#include "VoskControls.h"

#include <EventGuard.h>

#include <QHBoxLayout>

namespace {

// The module form's header: the frame's special functions and tools run there.
TTopLabelFrame* ModulHeader(const QWidget* frame) {
    for (QObject* o = Vcl::Owner(frame); o; o = Vcl::Owner(o))
        if (auto* form = qobject_cast<Vcl::TForm*>(o)) {
            if (auto* header = qobject_cast<TTopLabelFrame*>(
                    Vcl::FindComponent(form, QStringLiteral("TopLabel"))))
                return header;
            const auto all = Vcl::ComponentsOf<TTopLabelFrame>(form);
            return all.isEmpty() ? nullptr : all.first();
        }
    return nullptr;
}

struct TFrameDBNavStartSteps {
    TFrameDBNavStartSteps() {
        UGrundModulForm::RegisterStartStep(QStringLiteral("TFrameDBNav"), [](QObject* c) {
            if (auto* frame = qobject_cast<TFrameDBNav*>(c)) {
                frame->LoadGridSettings();
                frame->LoadSondFuncs();
            }
        });
        UGrundModulForm::AdminStateStep() = [](QObject* c) {
            if (auto* frame = qobject_cast<TFrameDBNav*>(c)) {
                frame->_SettingsModul()->UpdateButton();
                frame->LoadAutoRefreshSettings();
                frame->LoadGridFilterSettings();
            }
        };
    }
} frameDBNavStartSteps;

} // namespace

QList<TVoskButton2*> TFrameDBNav::SondFuncButtons() const { return SondFuncButtonsOf(this); }

void TFrameDBNav::LoadSondFuncs() {
    // Only a grid whose data class has a control chain names the table.
    TVoskDBGrid2* grid = grid2();
    TVoskClass* data = grid ? grid->DataClass() : nullptr;
    TTopLabelFrame* header = ModulHeader(this);
    const QString table =
        data && TQ32Control::Of(data) && header ? header->GetAlternativeTableName(data) : QString();
    const bool any = LoadSondFuncButtons(this, BtTools, table,
                                         [this](TVoskButton2* b) { SondFuncClick(b); });
    BtTools->setVisible(any || (data && CurrentRights().GetIsAdmin()));
}

void TFrameDBNav::SondFuncClick(QObject* sender) {
    TTopLabelFrame* header = ModulHeader(this);
    if (!header)
        Korvexutils::RaiseError(
            QStringLiteral("Sonderfunktionen gibt es nur in einem Modulfenster."));
    header->SondFuncClick(sender);
}

void TFrameDBNav::BtToolsClick() {
    TTopLabelFrame* header = ModulHeader(this);
    if (!header)
        return;
    if (m_grid)
        m_grid->setFocus();
    header->BtToolsClick(BtTools);
}
