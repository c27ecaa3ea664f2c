#include "UPassW.h"

#include "Korvexcommonvcl.h"
#include "Korvexutils.h"
#include "RtlDialog.h"
#include "UDM1.h"
#include "Uloghelper.h"
#include "UnitTable.h"
#include "Vcl.Components.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kCancelMarker = QStringLiteral("XXXXX");
}

TPasswordDlg::TPasswordDlg(QObject* owner) : TVoskBaseForm(owner) {
    setObjectName(QStringLiteral("PasswordDlg"));
    SetBorderStyle(Vcl::bsDialog);
    SetPosition(Vcl::poScreenCenter);
    setWindowTitle(QStringLiteral("Paßwort-Dialog"));
    auto* box = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    Label1 = Vcl::Owned(this, new QLabel(makeText(2082, QStringLiteral("Passwort:")), this),
                        QStringLiteral("Label1"));
    Password = Vcl::Owned(this, new QLineEdit(this), QStringLiteral("Password"));
    Password->setEchoMode(QLineEdit::Password);
    Password->setMinimumWidth(220);
    Password->setToolTip(QStringLiteral("Das Passwort eingeben"));
    Password->setAccessibleName(Korvexcommonvcl::PlainCaption(Label1->text()));
    Label1->setBuddy(Password);
    form->addRow(Label1, Password);
    box->addLayout(form);
    auto* row = new QHBoxLayout;
    OKBtn = Vcl::Owned(this, new QPushButton(QStringLiteral("OK"), this), QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    OKBtn->setToolTip(QStringLiteral("Das Passwort bestätigen"));
    CancelBtn = Vcl::Owned(this, new QPushButton(QStringLiteral("Abbrechen"), this),
                           QStringLiteral("CancelBtn"));
    CancelBtn->setToolTip(QStringLiteral("Ohne Passwort schließen"));
    for (QPushButton* b : {OKBtn, CancelBtn})
        b->setAccessibleName(b->text());
    row->addStretch();
    row->addWidget(OKBtn);
    row->addWidget(CancelBtn);
    box->addLayout(row);
    connect(OKBtn, &QPushButton::clicked, this, [this] { SetModalResult(Vcl::mrOk); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { SetModalResult(Vcl::mrCancel); });
    connect(Password, &QLineEdit::returnPressed, OKBtn, &QPushButton::click);
}

namespace UPassW {

QString PasswordCaption(const QString& DialogCaption, const QString& DialogSubCaption) {
    QString caption = DialogCaption;
    if (caption.isEmpty())
        caption = DialogSubCaption.isEmpty()
                      ? makeText(17176, QStringLiteral("Passwort-Dialog"))
                      : makeText(17175, QStringLiteral("Passwort für %s"));
    // The caption is the caller's text, not a format: only the first "%s" is a placeholder.
    const int at = caption.indexOf(QLatin1String("%s"));
    if (at >= 0)
        caption.replace(at, 2, DialogSubCaption);
    return caption;
}

} // namespace UPassW

std::optional<QString> AskPasswordEx(const QString& DialogCaption,
                                     const QString& DialogSubCaption) {
    TDM1* dm = DM1();
    if (!dm || dm->DialogMode() == 1) {
        if (dm)
            dm->LogEvent(QStringLiteral("AskPassword"));
        else
            TKorvexLog::LogMessage(QStringLiteral("AskPassword"), TKorvexLogLevel::Info);
        return std::nullopt;
    }
    TPasswordDlg dlg;
    dlg.setWindowTitle(UPassW::PasswordCaption(DialogCaption, DialogSubCaption));
    if (Korvexcommonvcl::ShowModal(&dlg) != Vcl::mrOk)
        return std::nullopt;
    return dlg.Password->text();
}

QString AskPassword(const QString& DialogCaption, const QString& DialogSubCaption) {
    return AskPasswordEx(DialogCaption, DialogSubCaption).value_or(kCancelMarker);
}

QString AskPassword2(const QString& DialogSubCaption) {
    return AskPassword(QString(), DialogSubCaption);
}

void CheckPassword(const QString& Password, const QString& DialogCaption,
                   const QString& DialogSubCaption) {
    const std::optional<QString> answer = AskPasswordEx(DialogCaption, DialogSubCaption);
    if (!answer || *answer != Password)
        Korvexutils::RaiseCriticalError(makeText(4762, QStringLiteral("Passwort falsch")));
}

void CheckPassword2(const QString& Password, const QString& DialogSubCaption) {
    CheckPassword(Password, QString(), DialogSubCaption);
}

namespace {

void InitUnit() {
    RtlDialog::FAskPassword.Set(&AskPassword);
    RtlDialog::FAskPassword2.Set(&AskPassword2);
    RtlDialog::FAskPasswordEx.Set(&AskPasswordEx);
}

void FiniUnit() {
    RtlDialog::FAskPassword.Reset();
    RtlDialog::FAskPassword2.Reset();
    RtlDialog::FAskPasswordEx.Reset();
}

} // namespace

KORVEX_UNIT("hadrel", "UPassW", InitUnit, FiniUnit);
