#include "UEditContact.h"

#include "Korvexcommonvcl.h"
#include "TDBText.h"
#include "TQ32Control.h"
#include "TRecNoClasses.h"
#include "TServSQL2.h"
#include "TVoskDBDateTimeEdit.h"
#include "TVoskDBEdit.h"
#include "TVoskDBLookupComboBox.h"
#include "TVoskDBMemo.h"
#include "UDM1.h"
#include "UModulFormSeams.h"
#include "Uloghelper.h"
#include "UnitTable.h"
#include "Vcl.Components.h"
#include "Vcl.Services.h"

#include <EventGuard.h>
#include <VoskExceptions.h>

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextCursor>
#include <QToolButton>

namespace {

QLabel* Label(TFormRecnoComments* form, const QString& text, const QString& name) {
    return Vcl::Owned(form, new QLabel(text, form), name);
}

QString Colon(int textNr, const QString& german) {
    return makeText(textNr, german) + QLatin1Char(':');
}

} // namespace

TFormRecnoComments::TFormRecnoComments(QObject* owner, TRecNoComment* notes)
    : TModulForm(owner) {
    setObjectName(QStringLiteral("FormRecnoComments"));
    // A window over the record information, not a child of the main window.
    SetFormStyle(Vcl::fsNormal);
    SetPosition(Vcl::poOwnerFormCenter);
    resize(620, 460);
    RecNoComment_ReplaceDataSet = notes;
    if (!notes)
        RecNoComment_ReplaceDataSet = Vcl::Owned(this, new TRecNoComment(this),
                                                 QStringLiteral("RecNoComment_ReplaceDataSet"));
    TRecNoComment* data = RecNoComment_ReplaceDataSet;
    TopLabel->FSetTextNr(2058);
    TopLabel->FSetDataSource(data);

    sqlCategory = Vcl::Owned(this, new TServSQL2(this), QStringLiteral("sqlCategory"));
    sqlCategory->SetSqlName(QStringLiteral("System.CommentsKategorien"));
    sqlCategory->SetReadOnly(true);
    Q32Control1 = Vcl::Owned(this, new TQ32Control(this), QStringLiteral("Q32Control1"));

    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    lbId = Label(this, QStringLiteral("#id:"), QStringLiteral("lbId"));
    lbDatum = Label(this, Colon(2702, QStringLiteral("Datum")), QStringLiteral("lbDatum"));
    lbUser = Label(this, Colon(3821, QStringLiteral("Benutzer")), QStringLiteral("lbUser"));
    lbText = Label(this, Colon(757, QStringLiteral("Text")), QStringLiteral("lbText"));
    lbBetreff = Label(this, Colon(3900, QStringLiteral("Betreff")), QStringLiteral("lbBetreff"));
    lbKategorie =
        Label(this, Colon(17618, QStringLiteral("Kategorie")), QStringLiteral("lbKategorie"));
    lbUnternotiz =
        Label(this, makeText(31193, QStringLiteral("Unternotiz")), QStringLiteral("lbUnternotiz"));
    lbUnternotiz->hide();

    rc_id = Vcl::Owned(this, new TVoskDBEdit(page), QStringLiteral("rc_id"));
    rc_id->setEnabled(false);
    rc_id->setToolTip(QStringLiteral("Nummer der Notiz"));
    rc_date = Vcl::Owned(this, new TVoskDBDateTimeEdit(page), QStringLiteral("rc_date"));
    rc_date->setToolTip(QStringLiteral("Datum und Uhrzeit der Notiz (TT.MM.JJJJ hh:mm)"));
    rc_user = Vcl::Owned(this, new TVoskDBEdit(page), QStringLiteral("rc_user"));
    rc_user->setToolTip(QStringLiteral("Anmeldename des Verfassers"));
    dblb_insert_by_name =
        Vcl::Owned(this, new TDBText(page), QStringLiteral("dblb_insert_by_name"));
    dblb_insert_by_name->SetTransparent(true);
    dblb_insert_by_name->setToolTip(QStringLiteral("Name des Verfassers"));
    dblb_insert_by_name->setAccessibleName(QStringLiteral("Name des Verfassers"));
    rc_betreff = Vcl::Owned(this, new TVoskDBEdit(page), QStringLiteral("rc_betreff"));
    rc_betreff->setToolTip(QStringLiteral("Worum es in der Notiz geht"));
    rc_category = Vcl::Owned(this, new TVoskDBLookupComboBox(page), QStringLiteral("rc_category"));
    rc_category->setToolTip(QStringLiteral("Kategorie der Notiz aus der Liste wählen"));
    rc_text = Vcl::Owned(this, new TVoskDBMemo(page), QStringLiteral("rc_text"));
    rc_text->setToolTip(QStringLiteral("Text der Notiz; F2 öffnet den großen Texteditor"));
    rc_text->installEventFilter(this);

    auto* userRow = new QHBoxLayout;
    userRow->addWidget(rc_user);
    userRow->addWidget(dblb_insert_by_name, 1);
    grid->addWidget(lbId, 0, 0);
    grid->addWidget(rc_id, 0, 1);
    grid->addWidget(lbDatum, 0, 2);
    grid->addWidget(rc_date, 0, 3);
    grid->addWidget(lbUser, 1, 0);
    grid->addLayout(userRow, 1, 1, 1, 3);
    grid->addWidget(lbBetreff, 2, 0);
    grid->addWidget(rc_betreff, 2, 1, 1, 3);
    grid->addWidget(lbKategorie, 3, 0);
    grid->addWidget(rc_category, 3, 1, 1, 3);
    grid->addWidget(lbText, 4, 0, Qt::AlignTop);
    grid->addWidget(rc_text, 4, 1, 1, 3);
    grid->addWidget(lbUnternotiz, 5, 1, 1, 3);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(4, 1);

    const std::pair<QLabel*, QWidget*> buddies[] = {
        {lbId, rc_id},           {lbDatum, rc_date},         {lbUser, rc_user},
        {lbBetreff, rc_betreff}, {lbKategorie, rc_category}, {lbText, rc_text}};
    for (const auto& [label, edit] : buddies) {
        label->setBuddy(edit);
        edit->setAccessibleName(Korvexcommonvcl::PlainCaption(label->text()).chopped(1));
    }
    rc_id->SetDataClass(data);
    rc_id->SetDataField(QStringLiteral("rc_id"));
    rc_date->SetDataClass(data);
    rc_date->SetDataField(QStringLiteral("rc_date"));
    rc_user->SetDataClass(data);
    rc_user->SetDataField(QStringLiteral("rc_user"));
    rc_text->SetDataClass(data);
    rc_text->SetDataField(QStringLiteral("rc_text"));
    rc_betreff->SetDataClass(data);
    rc_betreff->SetDataField(QStringLiteral("rc_betreff"));
    rc_category->SetListSource(sqlCategory);
    rc_category->SetListField(QStringLiteral("menubez"));
    rc_category->SetKeyField(QStringLiteral("menudata"));
    rc_category->SetDataClass(data);
    rc_category->SetDataField(QStringLiteral("rc_category"));
    dblb_insert_by_name->SetDataClass(data);
    dblb_insert_by_name->SetDataField(QStringLiteral("rc_user_name"));
    for (QWidget* w : std::initializer_list<QWidget*>{rc_id, rc_date, rc_user, rc_betreff,
                                                      rc_category, rc_text})
        Q32Control1->AddControl(w);

    BtOK = Vcl::Owned(this, new QPushButton(makeText(5217, QStringLiteral("&Ok")), this),
                      QStringLiteral("BtOK"));
    BtOK->setToolTip(QStringLiteral("Die Notiz speichern und schließen"));
    BtCancel = Vcl::Owned(this, new QPushButton(makeText(5218, QStringLiteral("&Abbrechen")), this),
                          QStringLiteral("BtCancel"));
    BtCancel->setToolTip(QStringLiteral("Die Änderungen verwerfen und schließen"));
    for (QPushButton* b : {BtOK, BtCancel}) {
        b->setAccessibleName(Korvexcommonvcl::PlainCaption(b->text()));
        b->setAutoDefault(false);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BtOK);
    buttons->addWidget(BtCancel);
    ModulLayout()->addWidget(page, 1);
    ModulLayout()->addLayout(buttons);
    connect(BtOK, &QPushButton::clicked, this, [this] { Rtl::Guarded([this] { BtOKClick(); }, this); });
    connect(BtCancel, &QPushButton::clicked, this,
            [this] { Rtl::Guarded([this] { BtCancelClick(); }, this); });
}

TFormRecnoComments* TFormRecnoComments::Execute(QWidget* owner, TRecNoComment* notes) {
    QStringList parameters;
    // The popup parent is the owner's window; it also keeps the editor out of the MDI area.
    if (auto* form = qobject_cast<Vcl::TForm*>(owner ? owner->window() : nullptr))
        parameters << QStringLiteral("ModulPopupParent=%1").arg(form->Serial());
    return TFormKorvexGundForm::Create<TFormRecnoComments>(owner, parameters, notes);
}

void TFormRecnoComments::FormCreate(QObject* sender) {
    TModulForm::FormCreate(sender);
    setWindowTitle(makeText(2058, QStringLiteral("Bemerkungen")));
    // A note has no resubmission of its own.
    if (BtWvod)
        BtWvod->setEnabled(false);
    try {
        sqlCategory->Open();
    } catch (const EAbort&) {
    } catch (...) {
        // Without the list the note can still be written; its category stays as it is.
        TKorvexLog::Error(Vcl::FullName(this) + QStringLiteral(".FormCreate: ") +
                          Rtl::ExceptionMessage(std::current_exception()));
    }
}

void TFormRecnoComments::BtOKClick() {
    TRecNoComment* data = RecNoComment_ReplaceDataSet;
    if (data && data->InEdit())
        data->Post(true);
    Close();
}

void TFormRecnoComments::BtCancelClick() {
    TRecNoComment* data = RecNoComment_ReplaceDataSet;
    if (data && data->InEdit())
        data->Cancel();
    Close();
}

void TFormRecnoComments::FormClose(QObject* sender, Vcl::TCloseAction& action) {
    // The close box must not leave the note half-edited behind in the record information.
    if (TRecNoComment* data = RecNoComment_ReplaceDataSet; data && data->InEdit()) {
        if (!data->Modified()) {
            data->Cancel();
        } else {
            switch (Vcl::Ask(Vcl::mtConfirmation, {},
                             makeText(4130, QStringLiteral("Änderungen speichern?")),
                             Vcl::mbYesNoCancel, Vcl::mbYes)) {
            case Vcl::mrYes:
                data->Post(false);
                break;
            case Vcl::mrNo:
                data->Cancel();
                break;
            default:
                action = Vcl::caNone;
                return;
            }
        }
    }
    TModulForm::FormClose(sender, action);
}

void TFormRecnoComments::FormKeyDown(QObject* sender, int& Key, Qt::KeyboardModifiers Shift) {
    if (Key == Qt::Key_Escape) {
        Key = 0;
        BtCancelClick();
    }
    TModulForm::FormKeyDown(sender, Key, Shift);
}

void TFormRecnoComments::rc_textEnter() {
    TRecNoComment* data = RecNoComment_ReplaceDataSet;
    if (!data || !data->FGetNeuAngelegt())
        return;
    // A new note is written on from its end.
    Q32Control1->Enter(rc_text);
    rc_text->moveCursor(QTextCursor::End);
}

bool TFormRecnoComments::eventFilter(QObject* watched, QEvent* e) {
    if (watched == rc_text && e->type() == QEvent::FocusIn)
        Rtl::Guarded([this] { rc_textEnter(); }, this);
    return TModulForm::eventFilter(watched, e);
}

namespace {

void InitUnit() {
    UModulFormSeams::FormRecnoComments.Set([](QWidget* owner, TRecNoComment* notes) -> QWidget* {
        return TFormRecnoComments::Execute(owner, notes);
    });
}
void FiniUnit() { UModulFormSeams::FormRecnoComments.Reset(); }

} // namespace

KORVEX_UNIT("hadrel", "UEditContact", InitUnit, FiniUnit);
