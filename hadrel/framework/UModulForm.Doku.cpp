// The module form's document hook (unit UModulForm): the document window of the record of its
// document class, opened from the status bar, a scan button or a document viewer.

#include "UModulForm.h"

#include "UModulFormSeams.h"

#include <Korvexutils.h>
#include <TVoskClass.h>
#include <TVoskDocumentViewer.h>
#include <TVoskSpeedButton.h>
#include <UDM1.h>
#include <Vcl.Components.h>

#include <EventGuard.h>
#include <VoskExceptions.h>

#include <QScopeGuard>

void TModulForm::BtDokuClick(QObject* sender) {
    auto* viewer = qobject_cast<TVoskDocumentViewer*>(sender);
    TVoskClass* d = viewer && viewer->DataClass() ? viewer->DataClass() : TopLabel->DokumentClass();
    if (!d)
        throw EVoskException(
            QStringLiteral("[TModulForm.BtDokuClick]: Die Dokumentklasse ist nicht definiert"));
    if (d->CanPost())
        d->Post();
    if (!d->Active() || !d->EnabledFlag() || !d->HasRecord())
        return;
    const QString name = Vcl::ClassName(d) + u'.' + d->objectName();
    const bool hasRepository = d->FieldIndex(QStringLiteral("repository_dbrid")) >= 0;
    if (!hasRepository && d->FieldIndex(QStringLiteral("dbrid")) < 0)
        throw EVoskException(QStringLiteral("TopLabel._DocumentClass ") + name +
                             QStringLiteral(": Class has no dbrid or repository_dbrid"));
    QString table;
    if (d->FieldIndex(QStringLiteral("repository_tablename")) >= 0)
        table = d->FieldByName(QStringLiteral("repository_tablename")).AsString();
    if (table.isEmpty())
        table = d->GetSqlTableName();
    if (table.isEmpty())
        throw EVoskException(QStringLiteral("TopLabel._DocumentClass ") + name +
                             QStringLiteral(": No tablename/sqltable or repository_tablename"));
    const QString idField =
        hasRepository ? QStringLiteral("repository_dbrid") : QStringLiteral("dbrid");
    const QString recId = d->FieldByName(idField).AsString();
    if (recId.isEmpty()) {
        // This text names the document store; the notes' text of the same number names the
        // notes, so neither comes from the text table.
        Korvexutils::RaiseInformation(QStringLiteral("Keine Objektablage: Datensatz in ") + name +
                                      QStringLiteral(" nicht vorhanden.") +
                                      QStringLiteral("\r\n\r\n") + QStringLiteral("table=") +
                                      table + QStringLiteral(", ") + idField +
                                      QStringLiteral("=null/empty"));
        return;
    }
    if (!UModulFormSeams::FormDokments.Assigned()) {
        Korvexutils::RaiseInformation(
            QStringLiteral("Die Dokumentverwaltung ist in dieser Installation nicht verfügbar."));
        return;
    }

    // No second window while this one is being built.
    if (BtDoku)
        BtDoku->setEnabled(false);
    TDM1::CursorHook(true);
    const auto restore = qScopeGuard([this] {
        TDM1::CursorHook(false);
        if (BtDoku)
            BtDoku->setEnabled(true);
    });
    UModulFormSeams::IFormDokments* window = nullptr;
    try {
        window = UModulFormSeams::FormDokments(BtDoku ? Vcl::Owner(BtDoku) : this, table, recId, d);
        if (!window)
            return;
        window->SetOwnerModulForm(this);
        window->Show();
        if (auto* scan = dynamic_cast<UModulFormSeams::IScanButton*>(sender))
            window->SetAlternateDokIdent(scan->Dokident__Get());
        window->TreeMenuCreate(true);
        if (viewer)
            window->TreeMenuSelect(QString::number(viewer->NodeIdent()));
    } catch (...) {
        const std::exception_ptr e = std::current_exception();
        if (window)
            delete window->Window();
        Rtl::HandleException(e, this);
    }
}

void TModulForm::StartDMSFromPreview(QWidget* preview) {
    if (qobject_cast<TVoskDocumentViewer*>(preview))
        BtDokuClick(preview);
}
