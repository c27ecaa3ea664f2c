// The header's record information (unit TopLabel): the window "Informationen" of the current
// record.

#include "TopLabel.h"

#include "MenuTree.h"

#include <Korvexutils.h>
#include <TRecNoClasses.h>
#include <TVoskDBGrid2.h>
#include <TVoskSpeedButton.h>
#include <UDM1.h>
#include <Vcl.Components.h>
#include <VoskExceptions.h>
#include <VoskTimer.h>

#include <QTabWidget>

TMenuForm* TTopLabelFrame::ShowHistorie(QObject* sender) {
    TVoskClass* c = GetCurrentClass();
    if (!c)
        throw EVoskException(
            QStringLiteral("TTopLabelFrame.ShowHistorie: _DataSource nicht vorhanden"));
    const QString idField = c->KeyFieldName().section(u';', 0, 0);
    TVoskDataField field = c->FindField(idField);
    if (!field.Exists())
        throw EVoskException(
            QStringLiteral("TTopLabelFrame.ShowHistorie: OID/DBRID-Feld nicht vorhanden"));
    const QString id = c->HasRecord() ? field.AsString() : QString();
    Vcl::TForm* parentForm = GetParentForm();
    if (id.isEmpty()) {
        // This text names the notes; the document window's text of the same number names the
        // document store, so neither comes from the text table.
        Korvexutils::RaiseInformation(
            QStringLiteral("Keine Notizen: Datensatz in ") + Vcl::ClassName(c) + u'.' +
            c->objectName() + QStringLiteral(" nicht vorhanden.") + QStringLiteral("\r\n\r\n") +
            QStringLiteral("modul=") + (parentForm ? Vcl::ClassName(parentForm) : QString()) +
            QStringLiteral(", ") + field.FieldName() + QStringLiteral("=null/empty"));
        return nullptr;
    }
    TVoskClass* main = FDataSource();
    if (!main || !main->HasRecord())
        return nullptr;
    TMenuForm* form = nullptr;
    {
        THourGlass hourGlass;
        form = TFormKorvexGundForm::Create<TMenuForm>(Vcl::Owner(this));
        try {
            form->MenuCreate(GetAlternativeTableName(main), id,
                             parentForm ? Vcl::ClassName(parentForm) : QString(), QString());
            TVoskColumnHandler::InitColumns(form->GridContacts);
        } catch (...) {
            delete form;
            throw;
        }
    }
    auto* item = qobject_cast<TVoskMenuItem*>(sender);
    auto* button = qobject_cast<TVoskSpeedButton*>(sender);
    const bool properties = (item && item->TextNr() == 2288) ||
                            (button && button->objectName().section(QStringLiteral("__"), 0, 0) ==
                                           QLatin1String("BtEigenschaften"));
    bool newNote = false;
    if (properties) {
        form->VoskPageControl1->setCurrentWidget(form->RegEigenschaften);
    } else {
        form->VoskPageControl1->setCurrentWidget(form->RegVerlauf);
        if (form->RecNoComment1->IsEmpty()) {
            const QString answer = Korvexutils::RaiseQuestionBtn(
                makeText(26238, QStringLiteral("Neue Notiz anlegen?")), QStringLiteral("Yes|No"));
            if (answer.isEmpty()) {
                delete form;
                throw EAbort();
            }
            newNote = answer == QLatin1String("Yes");
        }
    }
    form->show();
    if (newNote)
        form->BtEditCommentClick(nullptr);
    return form;
}
