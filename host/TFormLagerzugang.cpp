#include "TFormLagerzugang.h"

#include "UFrameProduktSerNr.h"

#include "TVoskClass.h"
#include "TVoskDBGrid2.h"
#include "Vcl.Components.h"

#include <QBoxLayout>
#include <QLabel>
#include <QSplitter>

TFormLagerzugang::TFormLagerzugang(QObject* owner, QWidget* parent) : TModulForm(owner, parent) {
    setObjectName(QStringLiteral("FormLagerzugang"));
    DataLdsdok = Vcl::Owned(this, new TVoskClass2(this), QStringLiteral("DataLdsdok"));
    DataLdsdok->SetSqlTable(QStringLiteral("ldsdok"));
    DataLdsdok->SetKeyFieldName(QStringLiteral("ld_id"));
    DataLdsdok->SetDescription(QStringLiteral("Lagerzugänge"));
    DataLdsdok->SetQuerySql(QStringLiteral("SELECT * FROM ldsdok ORDER BY ld_id"));

    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("SplitterLagerzugang"));
    ModulLayout()->addWidget(split, 1);
    GridLdsdok = Vcl::Owned(this, new TVoskDBGrid2(split), QStringLiteral("GridLdsdok"));
    GridLdsdok->setToolTip(QStringLiteral("Lagerzugänge"));
    GridLdsdok->setAccessibleName(QStringLiteral("Lagerzugänge"));
    GridLdsdok->SetDataClass(DataLdsdok);
    split->addWidget(GridLdsdok);
    FrameProduktSerNr = new TFrameProduktSerNr(this, split);
    split->addWidget(FrameProduktSerNr);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 3);

    TopLabel->Toplabel->setText(QStringLiteral("Lagerzugang"));
    TopLabel->SetBtSkip(true);
    TopLabel->FSetDataSource(DataLdsdok);
    TopLabel->SetVoskDBGrid(GridLdsdok);
}

void TFormLagerzugang::FormCreate(QObject* sender) {
    TModulForm::FormCreate(sender);
    TopLabel->OnPrintBtClick = [this](QObject*, bool, bool, bool) {
        FrameProduktSerNr->moEtikettdruckenClick();
    };
    DataLdsdok->Open();
    auto follow = [this] {
        FrameProduktSerNr->VorgabeSeriennummern_Activate(
            DataLdsdok->HasRecord()
                ? DataLdsdok->FieldByName(QStringLiteral("ld_id")).AsInteger()
                : 0);
    };
    connect(DataLdsdok, &TVoskClass::CurrentChanged, this, follow);
    follow();
}
