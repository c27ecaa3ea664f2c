#include "UTeilLiefDate.h"

#include "Korvexcommonvcl.h"
#include "UDM1.h"
#include "UnitTable.h"
#include "Vcl.Components.h"
#include "VoskExceptions.h"
#include "VoskF2Controls.h"
#include <EventGuard.h>

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TFormNextDate::TFormNextDate(QObject* owner) : TVoskBaseForm(owner) {
    setObjectName(QStringLiteral("FormNextDate"));
    SetBorderStyle(Vcl::bsDialog);
    SetPosition(Vcl::poOwnerFormCenter);
    setWindowTitle(QStringLiteral("Korvex"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(10, 10, 10, 10);
    lb_NeuerTermin = Vcl::Owned(this, new QLabel(makeText(11951, QStringLiteral("Neuer Termin")),
                                                 this),
                                QStringLiteral("lb_NeuerTermin"));
    lb_NeuerTermin->setAlignment(Qt::AlignCenter);
    lb_NeuerTermin->setWordWrap(true);
    EdDate = Vcl::Owned(this, new TVoskDateEdit(this), QStringLiteral("EdDate"));
    EdDate->setToolTip(QStringLiteral("Das Datum im Format TT.MM.JJJJ"));
    lb_NeuerTermin->setBuddy(EdDate);
    auto* row = new QHBoxLayout;
    BtOk = Vcl::Owned(this, new QPushButton(makeText(5217, QStringLiteral("&Ok")), this),
                      QStringLiteral("BtOk"));
    BtOk->setToolTip(QStringLiteral("Das Datum übernehmen"));
    btAbort = Vcl::Owned(this, new QPushButton(makeText(5218, QStringLiteral("&Abbrechen")), this),
                         QStringLiteral("btAbort"));
    btAbort->setToolTip(QStringLiteral("Ohne Datum schließen"));
    for (QPushButton* b : {BtOk, btAbort})
        b->setAccessibleName(Korvexcommonvcl::PlainCaption(b->text()));
    row->addStretch();
    row->addWidget(BtOk);
    row->addWidget(btAbort);
    box->addWidget(lb_NeuerTermin);
    box->addWidget(EdDate);
    box->addLayout(row);
    resize(260, sizeHint().height());
    connect(BtOk, &QPushButton::clicked, this, [this] {
        if (Rtl::Guarded([this] { BtOkClick(); }, this))
            SetModalResult(Vcl::mrOk);
    });
    connect(btAbort, &QPushButton::clicked, this, [this] { SetModalResult(Vcl::mrAbort); });
    for (QWidget* w : {static_cast<QWidget*>(EdDate), static_cast<QWidget*>(BtOk),
                       static_cast<QWidget*>(btAbort)})
        w->installEventFilter(this);
}

void TFormNextDate::BtOkClick() {
    if (!EdDate->Date().isValid()) {
        EdDate->setFocus(Qt::OtherFocusReason);
        throw EAbort();
    }
}

void TFormNextDate::FormKeyUp(int Key) {
    if (Key == Qt::Key_Return || Key == Qt::Key_Enter)
        BtOk->setFocus(Qt::OtherFocusReason);
    else if (Key == Qt::Key_Escape)
        SetModalResult(Vcl::mrAbort);
}

bool TFormNextDate::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyRelease)
        FormKeyUp(static_cast<QKeyEvent*>(e)->key());
    return TVoskBaseForm::eventFilter(watched, e);
}

QDate AskNextDate(const QDate& ADate, const QString& ACaption) {
    TFormNextDate form(Vcl::Screen::ActiveForm());
    if (ADate.isValid())
        form.EdDate->SetDate(ADate);
    if (ACaption != QLatin1String("DEFAULT")) {
        form.lb_NeuerTermin->setProperty("TextNr", 0);
        form.lb_NeuerTermin->setText(ACaption);
    }
    form.EdDate->setAccessibleName(Korvexcommonvcl::PlainCaption(form.lb_NeuerTermin->text()));
    if (Korvexcommonvcl::ShowModal(&form) != Vcl::mrOk)
        throw EAbort();
    return form.EdDate->Date();
}

KORVEX_UNIT("hadrel", "UTeilLiefDate", [] {}, [] {});
