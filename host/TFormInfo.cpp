#include "TFormInfo.h"

#include "UDM1.h"
#include "Vcl.Components.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QLabel>

TFormInfo::TFormInfo(QObject* owner, QWidget* parent) : TFormKorvexGundForm(owner, parent) {
    setObjectName(QStringLiteral("FormInfo"));
    LabelInfo = Vcl::Owned(this, new QLabel(ClientArea()), QStringLiteral("LabelInfo"));
    LabelInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelInfo->setTextFormat(Qt::PlainText);
    LabelInfo->setToolTip(QStringLiteral("Programm; Datenbank; Anmeldung"));
    ClientLayout()->addWidget(LabelInfo);
}

void TFormInfo::FormCreate(QObject* sender) {
    TFormKorvexGundForm::FormCreate(sender);
    setWindowTitle(QStringLiteral("Info"));
}

void TFormInfo::FormShow(QObject* sender) {
    TFormKorvexGundForm::FormShow(sender);
    TDM1* dm = DM1();
    LabelInfo->setText(
        QStringLiteral("Programm: %1\nDatenbank: %2\nAnmeldung: %3")
            .arg(QCoreApplication::applicationName(),
                 dm && dm->Connected() ? dm->DatabaseName() : QStringLiteral("-"),
                 dm ? dm->LoginName() : QStringLiteral("-")));
}
