#include "TFormInfo.h"

#include "UDM1.h"
#include "Vcl.Components.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>

TFormInfo::TFormInfo(QObject* owner, QWidget* parent) : TFormKorvexGundForm(owner, parent) {
    setObjectName(QStringLiteral("FormInfo"));
    // A dialog: no tool window and no stored position, sized by its text.
    SetBorderStyle(Vcl::bsDialog);
    SetPosition(Vcl::poMainFormCenter);
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
    LabelInfo->setAccessibleName(QStringLiteral("Programminformationen"));
    ClientLayout()->setContentsMargins(16, 12, 16, 12);
    setMinimumSize(0, 0);
    adjustSize();
    setFixedSize(sizeHint());
}

void TFormInfo::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        Close();
        return;
    }
    TFormKorvexGundForm::keyPressEvent(e);
}
