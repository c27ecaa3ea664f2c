#include "TfrmAdressliste.h"

#include <Korvexcommonvcl.h>
#include <UFrameBt.h>
#include <Vcl.Components.h>
#include <VoskF2Controls.h>

#include <QDate>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

TfrmAdressliste::TfrmAdressliste(QObject* owner) : TfrmToDesignBase(owner) {
    setObjectName(QStringLiteral("frmAdressliste"));
    setWindowTitle(QStringLiteral("Adressliste"));
    SetModulName(QStringLiteral("Adressliste"));
    SetHelpKeyword(QStringLiteral("Adressliste"));
    SetBorderStyle(Vcl::bsDialog);
    SetPosition(Vcl::poOwnerFormCenter);

    auto* outer = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    outer->addLayout(form);

    lbStichtag = Vcl::Owned(this, new QLabel(QStringLiteral("&Stichtag:"), this),
                            QStringLiteral("lbStichtag"));
    Stichtag = Vcl::Owned(this, new TVoskDateEdit(this), QStringLiteral("Stichtag"));
    Stichtag->SetDate(QDate::currentDate());
    Stichtag->setToolTip(QStringLiteral("Stichtag der Liste (leer: ohne Stichtag)"));
    lbStichtag->setBuddy(Stichtag);
    Stichtag->setAccessibleName(QStringLiteral("Stichtag"));
    form->addRow(lbStichtag, Stichtag);

    NurAktive = Vcl::Owned(this, new TVoskCheckBox(this), QStringLiteral("NurAktive"));
    NurAktive->setText(QStringLiteral("&Nur aktive Adressen"));
    NurAktive->setToolTip(QStringLiteral("Nur Adressen aufnehmen, die noch aktiv sind"));
    NurAktive->setAccessibleName(QStringLiteral("Nur aktive Adressen"));
    NurAktive->setChecked(true);
    form->addRow(QString(), NurAktive);

    lbSortierung = Vcl::Owned(this, new QLabel(QStringLiteral("S&ortierung:"), this),
                              QStringLiteral("lbSortierung"));
    Sortierung = Vcl::Owned(this, new TVoskPickEdit(this), QStringLiteral("Sortierung"));
    Sortierung->addItems({QStringLiteral("Name"), QStringLiteral("Ort"), QStringLiteral("PLZ")});
    Sortierung->SetItemsOnly(true);
    Sortierung->SetRequired(true);
    Sortierung->setToolTip(QStringLiteral("Reihenfolge der Adressen in der Liste"));
    Sortierung->setAccessibleName(QStringLiteral("Sortierung"));
    lbSortierung->setBuddy(Sortierung);
    form->addRow(lbSortierung, Sortierung);

    FrameBt = new TFrameBt(this, this);
    outer->addStretch(1);
    outer->addWidget(FrameBt);
    FrameBt->OpenReport(kReport);
    resize(420, 200);
}

QString TfrmAdressliste::Execute(QWidget* module) {
    auto* dialog = new TfrmAdressliste(module);
    const int result = Korvexcommonvcl::ShowModal(dialog);
    const QString text = result == Vcl::mrOk ? dialog->ResultText() : QString();
    delete dialog;
    return text;
}
