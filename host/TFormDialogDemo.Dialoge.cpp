// The dialog row of the "Dialoge" demo module.
#include "TFormDialogDemo.h"

#include "Korvexcommonvcl.h"
#include "Korvexutils.Dialogs.h"
#include "Korvexutils.h"
#include "TQ32Control.h"
#include "TVoskClass.h"
#include "UNummernKreis.h"
#include "UPassW.h"
#include "UTeilLiefDate.h"
#include "Vcl.Components.h"
#include <EventGuard.h>

#include <QBoxLayout>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {
const QString kModul = QStringLiteral("Dialoge");
}

void TFormDialogDemo::AddDialogButtons(QBoxLayout* box) {
    auto* fields = new QFormLayout;
    EdNummer = Vcl::Owned(this, new QLineEdit(this), QStringLiteral("EdNummer"));
    EdNummer->setToolTip(QStringLiteral("Die zuletzt gezogene oder eingegebene Nummer"));
    fields->addRow(QStringLiteral("&Nummer:"), EdNummer);
    Adressen1 = Vcl::Owned(this, new TVoskClass2(this), QStringLiteral("Adressen1"));
    Adressen1->SetSqlTable(QStringLiteral("adressen"));
    Q32Control1 = new TQ32Control(Adressen1);
    Q32Control1->setObjectName(QStringLiteral("Q32Control1"));
    EdAdresse = Vcl::Owned(this, new QLineEdit(this), QStringLiteral("EdAdresse"));
    EdAdresse->setToolTip(QStringLiteral("F3 zeigt, woher die Adressdaten kommen"));
    Q32Control1->AddControl(EdAdresse);
    fields->addRow(QStringLiteral("&Adresse (F3):"), EdAdresse);
    LbErgebnis = Vcl::Owned(this, new QLabel(this), QStringLiteral("LbErgebnis"));
    LbErgebnis->setToolTip(QStringLiteral("Was der letzte Dialog ergab"));
    fields->addRow(QStringLiteral("Ergebnis:"), LbErgebnis);
    for (int i = 0; i < fields->rowCount(); ++i)
        if (auto* l = qobject_cast<QLabel*>(fields->itemAt(i, QFormLayout::LabelRole)->widget()))
            if (QWidget* field = fields->itemAt(i, QFormLayout::FieldRole)->widget()) {
                l->setBuddy(field);
                field->setAccessibleName(Korvexcommonvcl::PlainCaption(l->text()));
            }
    box->addLayout(fields);

    auto* row = new QHBoxLayout;
    const auto add = [&](const QString& name, const QString& text, const QString& tip,
                         std::function<void()> action) {
        auto* b = Vcl::Owned(this, new QPushButton(text, this), name);
        b->setToolTip(tip);
        b->setAccessibleName(Korvexcommonvcl::PlainCaption(text));
        connect(b, &QPushButton::clicked, this, [this, action] { Rtl::Guarded(action, this); });
        row->addWidget(b);
    };
    add(QStringLiteral("BtNummernkreis"), QStringLiteral("Nummern&kreis..."),
        QStringLiteral("Eine Angebotsnummer aus den Nummernkreisen wählen"), [this] {
            if (TFormNummernKreis::SetNumber(EdNummer, kModul, QStringLiteral("Angebotsnummer"),
                                             TNKOptions{}))
                LbErgebnis->setText(QStringLiteral("Nummer %1 aus %2")
                                        .arg(EdNummer->text(),
                                             TFormNummernKreis::FLastNrKr.isEmpty()
                                                 ? QStringLiteral("eigener Eingabe")
                                                 : TFormNummernKreis::FLastNrKr));
        });
    add(QStringLiteral("BtPasswort"), QStringLiteral("&Passwort..."),
        QStringLiteral("Nach dem Passwort fragen (es lautet \"korvex\")"), [this] {
            CheckPassword2(QStringLiteral("korvex"), QStringLiteral("die Demo"));
            LbErgebnis->setText(QStringLiteral("Passwort richtig"));
        });
    add(QStringLiteral("BtEingabe"), QStringLiteral("&Eingabe..."),
        QStringLiteral("Nach einer Nummer mit Bezeichnung fragen; F8 zieht eine neue"), [this] {
            QVariant value = EdNummer->text();
            QString desc;
            const bool ok = Korvexutils::RaiseInputQuestion(
                QStringLiteral("Angebot"), QStringLiteral("Angebotsnummer:"), value, desc, 1,
                false, this, QString(), QStringLiteral("ANG"));
            if (ok) {
                EdNummer->setText(value.toString());
                LbErgebnis->setText(desc);
            }
        });
    add(QStringLiteral("BtTermin"), QStringLiteral("&Termin..."),
        QStringLiteral("Nach einem neuen Termin fragen"), [this] {
            LbErgebnis->setText(
                AskNextDate(QDate::currentDate(), QStringLiteral("DEFAULT"))
                    .toString(QStringLiteral("dd.MM.yyyy")));
        });
    row->addStretch();
    box->addLayout(row);
}

void TFormDialogDemo::OpenStartDialog() {
    if (!GetParameterBool(QStringLiteral("Nummernkreis")))
        return;
    QTimer::singleShot(0, this, [this] {
        if (auto* b = findChild<QPushButton*>(QStringLiteral("BtNummernkreis")))
            b->click();
    });
}

void TFormDialogDemo::FormKeyDown(QObject* sender, int& Key, Qt::KeyboardModifiers Shift) {
    if (Key == Qt::Key_F3 && ActiveControl() == EdAdresse) {
        Key = 0;
        Q32Control1->ShowControlWindow();
        return;
    }
    TModulForm::FormKeyDown(sender, Key, Shift);
}
