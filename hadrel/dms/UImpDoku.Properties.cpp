// The document window's properties action: the properties window of the focused document.

#include "UEditDoku.h"
#include "UImpDoku.h"

#include <EventGuard.h>
#include <TVoskRibbon.h>
#include <Ukorvexclasses.Dokument.h>

#include <QAction>

void TFormDokments::buildProperties() {
    barDocumentView->AddButton(acDocumentInfoProperties);
    connect(acDocumentInfoProperties, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { acDocumentInfoPropertiesExecute(); }, this); });
}

void TFormDokments::acDocumentInfoPropertiesExecute() {
    CheckDokument1Assignment();
    if (!Dokument1()->HasRecord())
        return;
    auto* form = TFormKorvexGundForm::Create<TFormDoku>(this, QStringList(), this);
    form->SetFormStyle(Vcl::fsNormal);
    form->OnClose = [this, form](QObject*, Vcl::TCloseAction& action) {
        miDokuInfoClose(form, action);
    };
    form->Dokument2->AssignToDokId(Dokument1()->Id(), _TableName, _RecId);
    form->show();
    form->raise();
    form->activateWindow();
}

void TFormDokments::miDokuInfoClose(Vcl::TForm* sender, Vcl::TCloseAction& action) {
    if (auto* form = qobject_cast<TFormDoku*>(sender))
        form->FormClose(form, action);
    const QString nodeId = GetNodeId(FocusedNode());
    if (nodeId.isEmpty() || m_destroying)
        return;
    TreeMenuCreate(false);
    TreeMenuSelect(nodeId);
}
