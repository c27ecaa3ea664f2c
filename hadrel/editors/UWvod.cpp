#include "UWvod.h"

#include "Korvexcommonvcl.h"
#include "Korvexutils.Dialogs.h"
#include "UDM1.h"
#include "UGrundModulForm.h"
#include "UModulFormSeams.h"
#include "UnitTable.h"
#include "Vcl.Components.h"
#include "VoskExceptions.h"
#include "VoskF2Controls.h"
#include <EventGuard.h>

#include <QBoxLayout>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

TFormWvod::TFormWvod(QObject* owner, QWidget* parent) : TFormKorvexGundForm(owner, parent) {
    setObjectName(QStringLiteral("FormWvod"));
    SetBorderStyle(Vcl::bsSizeToolWin);
    SetPosition(Vcl::poOwnerFormCenter);
    resize(460, 340);
    auto* form = new QFormLayout;
    lbDatum = Vcl::Owned(this, new QLabel(makeText(338, QStringLiteral("Datum")) + u':', this),
                         QStringLiteral("lbDatum"));
    lbBetreff = Vcl::Owned(this, new QLabel(makeText(3900, QStringLiteral("Betreff")) + u':', this),
                           QStringLiteral("lbBetreff"));
    lbBearbeiter = Vcl::Owned(
        this, new QLabel(makeText(3552, QStringLiteral("Bearbeiter")) + u':', this),
        QStringLiteral("lbBearbeiter"));
    EdDate = Vcl::Owned(this, new TVoskDateEdit(this), QStringLiteral("EdDate"));
    EdDate->setToolTip(QStringLiteral("Wann die Wiedervorlage fällig ist (TT.MM.JJJJ)"));
    EdBetreff = Vcl::Owned(this, new TVoskEdit(this), QStringLiteral("EdBetreff"));
    EdBetreff->setMaxLength(100);
    EdBetreff->setToolTip(QStringLiteral("Worum es geht (höchstens 100 Zeichen)"));
    MemoText = Vcl::Owned(this, new TVoskMemo(this), QStringLiteral("MemoText"));
    MemoText->setToolTip(QStringLiteral("Der Text der Wiedervorlage"));
    MemoText->setAccessibleName(QStringLiteral("Text"));
    EdUser = Vcl::Owned(this, new TVoskEdit(this), QStringLiteral("EdUser"));
    EdUser->setToolTip(QStringLiteral("Für wen die Wiedervorlage ist"));
    // Logins are kept in upper case.
    connect(EdUser, &QLineEdit::textEdited, EdUser, [this](const QString& t) {
        const int pos = EdUser->cursorPosition();
        EdUser->setText(t.toUpper());
        EdUser->setCursorPosition(pos);
    });
    BtDelWvod = Vcl::Owned(this, new QToolButton(this), QStringLiteral("BtDelWvod"));
    BtDelWvod->setAutoRaise(true);
    BtDelWvod->setIcon(QIcon::fromTheme(QStringLiteral("edit-delete")));
    BtDelWvod->setToolTip(QStringLiteral("Löscht die aktuelle Wiedervorlage"));
    BtDelWvod->setAccessibleName(QStringLiteral("Wiedervorlage löschen"));
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(EdDate);
    dateRow->addStretch();
    dateRow->addWidget(BtDelWvod);
    form->addRow(lbDatum, dateRow);
    form->addRow(lbBetreff, EdBetreff);
    form->addRow(lbBearbeiter, EdUser);
    lbDatum->setBuddy(EdDate);
    lbBetreff->setBuddy(EdBetreff);
    lbBearbeiter->setBuddy(EdUser);
    for (QLabel* l : {lbDatum, lbBetreff, lbBearbeiter})
        l->buddy()->setAccessibleName(Korvexcommonvcl::PlainCaption(l->text()));
    auto* row = new QHBoxLayout;
    BtOk = Vcl::Owned(this, new QPushButton(QStringLiteral("OK"), this), QStringLiteral("BtOk"));
    BtOk->setDefault(true);
    BtOk->setToolTip(QStringLiteral("Die Wiedervorlage speichern"));
    BtAbort = Vcl::Owned(this, new QPushButton(makeText(10053, QStringLiteral("Abbrechen")), this),
                         QStringLiteral("BtAbort"));
    BtAbort->setToolTip(QStringLiteral("Ohne Speichern schließen"));
    for (QPushButton* b : {BtOk, BtAbort})
        b->setAccessibleName(Korvexcommonvcl::PlainCaption(b->text()));
    row->addStretch();
    row->addWidget(BtOk);
    row->addWidget(BtAbort);
    auto* box = new QVBoxLayout;
    box->addLayout(form);
    box->addWidget(MemoText, 1);
    box->addLayout(row);
    ClientLayout()->addLayout(box, 1);
    connect(BtOk, &QPushButton::clicked, this, [this] { SetModalResult(Vcl::mrOk); });
    connect(BtAbort, &QPushButton::clicked, this, [this] { SetModalResult(Vcl::mrAbort); });
    connect(BtDelWvod, &QToolButton::clicked, this,
            [this] { Rtl::Guarded([this] { BtDelWvodClick(); }, this); });
    SetDbrid(QString());
}

void TFormWvod::FormCreate(QObject* sender) {
    // The entry is a small dialog: no tool window beside it.
    SetParameter(QStringLiteral("HideToolForm"), QStringLiteral("True"));
    TFormKorvexGundForm::FormCreate(sender);
    setWindowTitle(makeText(2704, QStringLiteral("*")));
}

void TFormWvod::SetDbrid(const QString& id) {
    m_dbrid = id;
    // A new entry has no row to delete yet.
    bool isNumber = false;
    const qint64 n = id.toLongLong(&isNumber);
    BtDelWvod->setEnabled(isNumber && n > 0);
}

void TFormWvod::BtDelWvodClick() {
    if (!BtDelWvod->isEnabled())
        return;
    Korvexutils::RaiseDelete(makeText(2704, QStringLiteral("Wiedervorlage")));
    TDM1* dm = DM1();
    if (!dm)
        throw EVoskException(QStringLiteral("Keine Datenbankverbindung"));
    dm->ExecSQL(QStringLiteral("DELETE FROM recnocomments WHERE dbrid=:dbrid"),
                {{QStringLiteral("dbrid"), m_dbrid.toLongLong()}});
    SetModalResult(Vcl::mrAbort);
}

namespace {

// The status bar's view of the entry: it presets the fields, shows the form and reads them back.
class TFormWvodSeam final : public UModulFormSeams::IFormWvod {
public:
    explicit TFormWvodSeam(QWidget* owner)
        : m_form(TFormKorvexGundForm::Create<TFormWvod>(owner)) {}
    ~TFormWvodSeam() override {
        m_form->PrepareDestruction();
        delete m_form;
    }
    int ShowModal() override {
        m_form->EdDate->SetDate(Date);
        m_form->EdUser->setText(User.toUpper());
        m_form->EdBetreff->setText(Betreff);
        m_form->MemoText->setPlainText(Text);
        m_form->SetDbrid(dbrid);
        m_form->setToolTip(Reference);
        const int result = Korvexcommonvcl::ShowModal(m_form);
        Date = m_form->EdDate->Date();
        User = m_form->EdUser->text();
        Betreff = m_form->EdBetreff->text();
        Text = m_form->MemoText->toPlainText();
        return result;
    }

private:
    TFormWvod* m_form;
};

void InitUnit() {
    UModulFormSeams::FormWvod.Set(
        [](QWidget* owner) -> std::unique_ptr<UModulFormSeams::IFormWvod> {
            return std::make_unique<TFormWvodSeam>(owner);
        });
}
void FiniUnit() { UModulFormSeams::FormWvod.Reset(); }

} // namespace

KORVEX_UNIT("hadrel", "UWvod", InitUnit, FiniUnit);
