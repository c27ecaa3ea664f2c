#include "TFormAbfrage.h"

#include "TVoskClass.h"
#include "UFrameDataset.h"
#include "UFrameSQLEditor.h"
#include "UVoskSQLMemo.h"
#include "Vcl.Components.h"
#include "Vcl.DB.h"

#include <QBoxLayout>
#include <QLabel>
#include <QSplitter>

namespace {
const char* const kSql = "SELECT name, strasse, plz, ort, telefon, email\n"
                         "FROM adressen\n"
                         "ORDER BY name";
}

TFormAbfrage::TFormAbfrage(QObject* owner, QWidget* parent) : TModulForm(owner, parent) {
    setObjectName(QStringLiteral("FormAbfrage"));
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("SplitterAbfrage"));
    ModulLayout()->addWidget(split, 1);

    FrameSQLEditor =
        Vcl::Owned(this, new TFrameSQLEditor(this, split), QStringLiteral("FrameSQLEditor"));
    FrameSQLEditor->SQLMemo->setText(QString::fromUtf8(kSql));
    split->addWidget(FrameSQLEditor);

    DataAbfrage = Vcl::Owned(this, new TVoskClass2(this), QStringLiteral("DataAbfrage"));
    DataAbfrage->SetSqlTable(QStringLiteral("adressen"));
    DataAbfrage->SetDescription(QStringLiteral("Adressen"));
    DataAbfrage->SetQuerySql(QStringLiteral("SELECT * FROM adressen ORDER BY name, dbrid"));
    DSAbfrage = Vcl::Owned(this, new Vcl::TDataSource(this), QStringLiteral("DSAbfrage"));
    DSAbfrage->SetDataSet(DataAbfrage);
    FrameDataSet = Vcl::Owned(this, new TFrameDataSet(this, split), QStringLiteral("FrameDataSet"));
    split->addWidget(FrameDataSet);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 2);

    TopLabel->Toplabel->setText(QStringLiteral("Abfrage"));
    TopLabel->FSetDataSource(DataAbfrage);
}

void TFormAbfrage::FormCreate(QObject* sender) {
    TModulForm::FormCreate(sender);
    DataAbfrage->Open();
    FrameDataSet->FSetDataSource(DSAbfrage);
}

TFormAbfrage* TFormAbfrage::Open(QObject* owner, const QStringList& parameters) {
    auto* form = TFormKorvexGundForm::Create<TFormAbfrage>(owner, parameters);
    UModulForm::ShowModulForm(form);
    return form;
}
