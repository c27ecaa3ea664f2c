#include "UInputDialog.h"

#include "Korvexcommonvcl.h"
#include "Korvexutils.Dialogs.h"
#include "Korvexutils.h"
#include "TNummernKreis.h"
#include "UDM1.h"
#include "UnitTable.h"
#include "Vcl.Accessible.h"
#include "Vcl.Components.h"
#include "VoskF2Controls.h"
#include <EventGuard.h>

#include <QBoxLayout>
#include <QDoubleValidator>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

namespace {

const QLocale& German() {
    static const QLocale locale(QLocale::German, QLocale::Germany);
    return locale;
}

int RightEdge(const QWidget* w) { return w->x() + w->width(); }

} // namespace

TFormKorvexInputDialog::TFormKorvexInputDialog(QObject* owner, QWidget* parent)
    : TFormKorvexGundForm(owner, parent) {
    setObjectName(QStringLiteral("FormKorvexInputDialog"));
    SetBorderStyle(Vcl::bsDialog);
    SetPosition(Vcl::poOwnerFormCenter);
    m_content = new QWidget(this);
    m_content->setObjectName(QStringLiteral("PanelInput"));
    LbCaption = Vcl::Owned(this, new QLabel(m_content), QStringLiteral("LbCaption"));
    lbBezeichnung = Vcl::Owned(
        this, new QLabel(makeText(316, QStringLiteral("Bezeichnung")) + u':', m_content),
        QStringLiteral("lbBezeichnung"));
    lbBezeichnung->setVisible(false);
    EditInput = Vcl::Owned(this, new TVoskEdit(m_content), QStringLiteral("EditInput"));
    EditInput->setToolTip(QStringLiteral("Der Wert, nach dem gefragt wird"));
    EditBezeichnung = Vcl::Owned(this, new TVoskEdit(m_content), QStringLiteral("EditBezeichnung"));
    EditBezeichnung->setVisible(false);
    EditBezeichnung->setToolTip(QStringLiteral("Eine Bezeichnung zum Wert"));
    EditBezeichnung->setAccessibleName(QStringLiteral("Bezeichnung"));
    LbCaption->setBuddy(EditInput);
    lbBezeichnung->setBuddy(EditBezeichnung);
    BtNewNumber = Vcl::Owned(
        this, new QPushButton(makeText(11101, QStringLiteral("Neue Nr. (F8)")), m_content),
        QStringLiteral("BtNewNumber"));
    BtNewNumber->setFocusPolicy(Qt::NoFocus);
    BtNewNumber->setVisible(false);
    BtNewNumber->setToolTip(QStringLiteral("Eine neue Nummer aus dem Nummernkreis ziehen (F8)"));
    BtNewNumber->setAccessibleName(QStringLiteral("Neue Nummer"));
    NummernKreis1 = Vcl::Owned(this, new TNummernKreis(this), QStringLiteral("NummernKreis1"));

    BevelButtons = Vcl::Owned(this, new QFrame(this), QStringLiteral("BevelButtons"));
    BevelButtons->setFrameShape(QFrame::NoFrame);
    auto* row = new QHBoxLayout(BevelButtons);
    BtOk = Vcl::Owned(this, new QPushButton(makeText(5217, QStringLiteral("&Ok")), BevelButtons),
                      QStringLiteral("BtOk"));
    BtOk->setDefault(true);
    BtOk->setToolTip(QStringLiteral("Den Wert übernehmen"));
    BtAbort = Vcl::Owned(this,
                         new QPushButton(makeText(5218, QStringLiteral("&Abbrechen")), BevelButtons),
                         QStringLiteral("BtAbort"));
    BtAbort->setToolTip(QStringLiteral("Ohne Übernahme schließen"));
    for (QPushButton* b : {BtOk, BtAbort})
        b->setAccessibleName(Korvexcommonvcl::PlainCaption(b->text()));
    row->addStretch();
    row->addWidget(BtOk);
    row->addWidget(BtAbort);
    ClientLayout()->addWidget(m_content, 1);
    ClientLayout()->addWidget(BevelButtons);

    connect(BtOk, &QPushButton::clicked, this, [this] { SetModalResult(Vcl::mrOk); });
    connect(BtAbort, &QPushButton::clicked, this,
            [this] { Rtl::Guarded([this] { BtAbortClick(); }, this); });
    connect(BtNewNumber, &QPushButton::clicked, this,
            [this] { Rtl::Guarded([this] { BtNewNumberClick(); }, this); });
    ArrangeControls();
}

void TFormKorvexInputDialog::SetNumCircleName(const QString& name) {
    m_numCircleName = name;
    BtNewNumber->setVisible(!name.isEmpty());
}

void TFormKorvexInputDialog::ArrangeControls() {
    LbCaption->adjustSize();
    lbBezeichnung->adjustSize();
    LbCaption->move(10, 14);
    lbBezeichnung->move(10, 46);
    EditInput->setGeometry(0, 10, 160, 24);
    EditBezeichnung->setGeometry(0, 42, 220, 24);
    BtNewNumber->adjustSize();
    if (!lbBezeichnung->isHidden()) {
        // The two labels end at the same edge, so that both edits start there.
        if (LbCaption->width() >= lbBezeichnung->width())
            lbBezeichnung->move(RightEdge(LbCaption) - lbBezeichnung->width(), lbBezeichnung->y());
        else
            LbCaption->move(RightEdge(lbBezeichnung) - LbCaption->width(), LbCaption->y());
    }
    EditInput->move(RightEdge(LbCaption) + 10, EditInput->y());
    EditBezeichnung->move(EditInput->x(), EditBezeichnung->y());
    BtNewNumber->move(RightEdge(EditInput) + 5, EditInput->y() - 1);
    int width;
    if (!BtNewNumber->isHidden())
        width = RightEdge(BtNewNumber) + 30;
    else
        width = qMax(RightEdge(EditInput), RightEdge(EditBezeichnung)) + 35;
    const int height = (lbBezeichnung->isHidden() ? 44 : 76);
    m_content->setFixedSize(width, height);
    width = qMax(width, BevelButtons->sizeHint().width());
    resize(width, height + BevelButtons->sizeHint().height() + 12);
}

void TFormKorvexInputDialog::SetNumeric(bool numeric) {
    m_numeric = numeric;
    if (numeric) {
        auto* v = new QDoubleValidator(EditInput);
        v->setLocale(German());
        v->setNotation(QDoubleValidator::StandardNotation);
        EditInput->setValidator(v);
        EditInput->setAlignment(Qt::AlignRight);
    } else {
        EditInput->setValidator(nullptr);
        EditInput->setAlignment(Qt::AlignLeft);
    }
}

void TFormKorvexInputDialog::SetValue(const QVariant& value) {
    if (m_numeric && !value.isNull() && value.canConvert<double>() &&
        value.typeId() != QMetaType::QString)
        EditInput->setText(German().toString(value.toDouble(), 'g', 15));
    else
        EditInput->setText(value.toString());
}

QVariant TFormKorvexInputDialog::Value() const {
    if (!m_numeric)
        return EditInput->text();
    const QString t = EditInput->text().trimmed();
    bool ok = false;
    double d = German().toDouble(t, &ok);
    if (!ok)
        d = QLocale::c().toDouble(t, &ok);
    return ok ? d : 0.0;
}

void TFormKorvexInputDialog::BtNewNumberClick() {
    const QString number = NummernKreis1->SelectNrKr(m_numCircleName);
    if (number.isEmpty())
        Korvexutils::RaiseInformation(
            QStringLiteral("Aus dem Nummernkreis \"%1\" kann keine Nummer gezogen werden.")
                .arg(m_numCircleName));
    else {
        EditInput->setText(number);
        m_drawn = number;
    }
    EditBezeichnung->setFocus(Qt::OtherFocusReason);
}

void TFormKorvexInputDialog::BtAbortClick() { SetModalResult(Vcl::mrAbort); }

void TFormKorvexInputDialog::HandBackDrawnNumber() {
    if (m_drawn.isEmpty() || m_numCircleName.isEmpty())
        return;
    if (EditInput->text() == m_drawn)
        NummernKreis1->ResetNrKr(m_numCircleName, m_drawn);
    m_drawn.clear();
}

void TFormKorvexInputDialog::FormKeyDown(QObject* sender, int& Key,
                                         Qt::KeyboardModifiers Shift) {
    TFormKorvexGundForm::FormKeyDown(sender, Key, Shift);
    if (Key == Qt::Key_F8) {
        // F8 is the dialog's key; the button only shows it.
        Key = 0;
        BtNewNumberClick();
    }
}

bool RaiseInputQuestion(const QString& Title, const QString& Msg, QVariant& Value,
                        QString& _EditBezeichnung, int _LbBezeichnung_0_hides, bool Numeric,
                        QWidget* _PopupParent, const QString& _AlternativeClassName,
                        const QString& NumCircleNameForNewNum) {
    auto* form = TFormKorvexGundForm::Create<TFormKorvexInputDialog>(_PopupParent);
    if (_PopupParent)
        form->setParent(_PopupParent, form->windowFlags());
    int result = Vcl::mrCancel;
    try {
        form->setWindowTitle(Title);
        form->SetAlternativeName(_AlternativeClassName);
        form->LbCaption->setText(Msg);
        form->EditInput->setAccessibleName(Korvexcommonvcl::PlainCaption(Msg));
        Vcl::SetMessageDescription(form, Msg);
        form->SetNumCircleName(NumCircleNameForNewNum);
        if (_LbBezeichnung_0_hides != 0) {
            form->lbBezeichnung->setVisible(true);
            form->EditBezeichnung->setVisible(true);
        }
        form->ArrangeControls();
        form->SetNumeric(Numeric);
        form->SetValue(Value);
        form->EditBezeichnung->setText(_EditBezeichnung);
        result = Korvexcommonvcl::ShowModal(form);
        if (result != Vcl::mrOk)
            form->HandBackDrawnNumber();
        _EditBezeichnung = form->EditBezeichnung->text();
        Value = form->Value();
    } catch (...) {
        form->PrepareDestruction();
        delete form;
        throw;
    }
    form->PrepareDestruction();
    delete form;
    return result == Vcl::mrOk;
}

namespace {

void InitUnit() { Korvexutils::RaiseInputQuestion.Set(&RaiseInputQuestion); }
void FiniUnit() { Korvexutils::RaiseInputQuestion.Reset(); }

} // namespace

KORVEX_UNIT("hadrel", "UInputDialog", InitUnit, FiniUnit);
