#include "TFormForms.h"

#include "TServSQL2.h"
#include "TVoskDBGrid2.h"
#include "TVoskDBMemo.h"
#include "UModulForm.Start.h"
#include "Vcl.Components.h"
#include "VoskKeyControls.h"

#include <QFontDatabase>
#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>

TFormForms::TFormForms(QObject* owner, QWidget* parent) : TModulForm(owner, parent) {
    setObjectName(QStringLiteral("FormForms"));
    setWindowTitle(QStringLiteral("Formulare"));
    QueryForms = Vcl::Owned(this, new TServSQL2(this), QStringLiteral("QueryForms"));
    QueryForms->SetSqlTable(QStringLiteral("rtf"));
    QueryForms->SetKeyFieldName(QStringLiteral("rtf_id"));
    QueryForms->SetDescription(QStringLiteral("Formular"));
    QueryForms->SetQuerySql(QStringLiteral(
        "SELECT rtf_id, rtf_name, rtf_blanksql, rtf_script FROM rtf ORDER BY rtf_id"));

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("SplitterForms"));
    ModulLayout()->addWidget(split, 1);
    GridForms = Vcl::Owned(this, new TVoskDBGrid2(split), QStringLiteral("GridForms"));
    GridForms->SetDataClass(QueryForms);
    GridForms->SetHiddenFields({QStringLiteral("rtf_script")});
    GridForms->setAccessibleName(QStringLiteral("Formulare"));
    GridForms->setToolTip(QStringLiteral("Die Berichtsdefinitionen"));
    split->addWidget(GridForms);

    auto* panel = new QWidget(split);
    auto* box = new QVBoxLayout(panel);
    box->setContentsMargins(0, 0, 0, 0);
    CbBlankSql = Vcl::Owned(this, new TVoskDBCheckBox(panel), QStringLiteral("CbBlankSql"));
    CbBlankSql->setText(QStringLiteral("Reines SQL (wird unverändert zurückgegeben)"));
    CbBlankSql->setToolTip(
        QStringLiteral("Gesetzt: das Skript ist SQL; sonst ein Python-Skript, das ausgeführt wird"));
    CbBlankSql->setAccessibleName(QStringLiteral("Reines SQL"));
    CbBlankSql->SetDataClass(QueryForms);
    CbBlankSql->SetDataField(QStringLiteral("rtf_blanksql"));
    LbScript = new QLabel(QStringLiteral("&Skript:"), panel);
    MemoScript = Vcl::Owned(this, new TVoskDBMemo(panel), QStringLiteral("MemoScript"));
    MemoScript->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    MemoScript->setAccessibleName(QStringLiteral("Skript"));
    MemoScript->setToolTip(QStringLiteral("Das Skript des Berichts"));
    MemoScript->SetDataClass(QueryForms);
    MemoScript->SetDataField(QStringLiteral("rtf_script"));
    LbScript->setBuddy(MemoScript);
    box->addWidget(CbBlankSql);
    box->addWidget(LbScript);
    box->addWidget(MemoScript, 1);
    split->addWidget(panel);
    split->setStretchFactor(1, 3);

    TopLabel->Toplabel->setText(QStringLiteral("Formulare"));
    TopLabel->SetBtInsert(true);
    TopLabel->FSetDataSource(QueryForms);
    TopLabel->SetVoskDBGrid(GridForms);
}

void TFormForms::FormCreate(QObject* sender) {
    TModulForm::FormCreate(sender);
    QueryForms->Open();
}

TFormForms* TFormForms::Open() {
    // One report list: a second start brings the open one to the front.
    return CreateOrGetModule<TFormForms>(QString(), false, true);
}
