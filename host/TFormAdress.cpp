#include "TFormAdress.h"

#include "UModulForm.Start.h"

#include "TfrmAdressliste.h"

#include "TQ32Control.h"
#include "TVoskClass.h"
#include "TVoskDBEdit.h"
#include "TVoskDBGrid2.h"
#include "Vcl.Components.h"

#include <QFormLayout>
#include <QToolButton>
#include <QLabel>
#include <QSplitter>

TFormAdress::TFormAdress(QObject* owner, QWidget* parent) : TModulForm(owner, parent) {
    setObjectName(QStringLiteral("FormAdress"));
    DataAdressen = Vcl::Owned(this, new TVoskClass2(this), QStringLiteral("DataAdressen"));
    DataAdressen->SetSqlTable(QStringLiteral("adressen"));
    DataAdressen->SetKeyFieldName(QStringLiteral("dbrid"));
    DataAdressen->SetDescription(QStringLiteral("Adressen"));
    DataAdressen->SetQuerySql(QStringLiteral("SELECT * FROM adressen ORDER BY name, dbrid"));

    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("SplitterAdressen"));
    ModulLayout()->addWidget(split, 1);

    GridAdressen = Vcl::Owned(this, new TVoskDBGrid2(split), QStringLiteral("GridAdressen"));
    GridAdressen->SetDataClass(DataAdressen);
    // The key and the audit stamps are the server's; the status bar shows the stamps.
    GridAdressen->SetHiddenFields({QStringLiteral("dbrid"), QStringLiteral("insert_date"),
                                   QStringLiteral("insert_by"), QStringLiteral("modified_date"),
                                   QStringLiteral("modified_by")});
    split->addWidget(GridAdressen);

    auto* panel = new QWidget(split);
    panel->setObjectName(QStringLiteral("PanelEdits"));
    auto* form = new QFormLayout(panel);
    auto edit = [&](const char* name, const char* field, const char* label) {
        auto* e = Vcl::Owned(this, new TVoskDBEdit(panel), QString::fromLatin1(name));
        e->SetDataClass(DataAdressen);
        e->SetDataField(QString::fromLatin1(field));
        form->addRow(QString::fromUtf8(label), e);
        return e;
    };
    EdName = edit("EdName", "name", "Name");
    EdStrasse = edit("EdStrasse", "strasse", "Straße");
    EdPlz = edit("EdPlz", "plz", "PLZ");
    EdOrt = edit("EdOrt", "ort", "Ort");
    EdTelefon = edit("EdTelefon", "telefon", "Telefon");
    EdEmail = edit("EdEmail", "email", "E-Mail");
    split->addWidget(panel);

    TopLabel->Toplabel->setText(QStringLiteral("Adressen"));
    TopLabel->SetBtSkip(true);
    TopLabel->SetBtInsert(true);
    TopLabel->FSetDataSource(DataAdressen);
    // The address is the record documents and soft links hang on; its name identifies it.
    TopLabel->FSetDokumentClass(DataAdressen);
    (new TQ32Control(DataAdressen))->AddEditControl(EdName);
    TopLabel->SetVoskDBGrid(GridAdressen);
    for (QWidget* b : {TopLabel->BtTools, TopLabel->InfoBt, TopLabel->PrintBt,
                       TopLabel->PrintBtFullAuto})
        b->show();
}

void TFormAdress::FormCreate(QObject* sender) {
    TModulForm::FormCreate(sender);
    // The address module's report: the designed address-list dialog.
    // A plain click asks with the designed dialog; the automatic prints go to the report.
    TopLabel->OnPrintBtClick = [this](QObject*, bool autoPrint, bool toPaper, bool printerSel) {
        if (autoPrint)
            ::Print(this, QString(), QString(), true, false, nullptr, toPaper, printerSel);
        else
            TfrmAdressliste::Execute(this);
    };
    DataAdressen->Open();
}

TFormAdress* TFormAdress::Open(QObject* owner, const QStringList& parameters) {
    auto* form = TFormKorvexGundForm::Create<TFormAdress>(owner, parameters);
    UModulForm::ShowModulForm(form);
    return form;
}
