#include "Korvexutils.h"

#include "TVoskDBEdit.h"
#include "UDM1.h"
#include "VoskKeyControls.h"
#include "Vcl.Forms.h"
#include "Vcl.Services.h"
#include "VoskExceptions.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStringList>
#include <QTextEdit>
#include <QVariant>
#include <QWidget>

namespace Korvexutils {

QString FindModulName(const QWidget* form) {
    return form ? form->property("ModulName").toString() : QString();
}

QString TrimEx(const QString& text) {
    qsizetype b = 0, e = text.size();
    while (b < e && (text[b].unicode() <= 0x20 || text[b].isSpace()))
        ++b;
    while (e > b && (text[e - 1].unicode() <= 0x20 || text[e - 1].isSpace()))
        --e;
    return text.mid(b, e - b);
}

QWidget* KorvexGetForm(QWidget* control, bool topLevel, bool raiseIfNone) {
    QWidget* form = nullptr;
    for (QWidget* w = control; w; w = w->parentWidget()) {
        if (qobject_cast<Vcl::TForm*>(w)) {
            form = w;
            if (!topLevel)
                break;
        }
        if (w->isWindow() && !qobject_cast<QMdiSubWindow*>(w)) {
            if (!form)
                form = w;
            break;
        }
    }
    if (!form && raiseIfNone)
        throw EVoskException(QStringLiteral("KorvexGetForm: kein Formular"));
    return form;
}

bool SetControlValue(const QVariant& value, QWidget* control, const QString&, int, QObject*) {
    if (!control)
        return false;
    const QString text = value.toString();
    // A bound editor writes its field, also one whose line the user cannot type into.
    if (auto* f = qobject_cast<TVoskDBFieldEdit*>(control))
        return f->SetFieldValue(value);
    if (auto* e = qobject_cast<QLineEdit*>(control)) {
        if (e->isReadOnly())
            return false;
        e->setText(text);
        if (auto* db = qobject_cast<TVoskDBEdit*>(e))
            db->PostEditValue(); // into its field, as typing would
        return true;
    }
    if (auto* t = qobject_cast<QTextEdit*>(control)) {
        if (t->isReadOnly())
            return false;
        t->textCursor().insertText(text);
        return true;
    }
    if (auto* t = qobject_cast<QPlainTextEdit*>(control)) {
        if (t->isReadOnly())
            return false;
        t->textCursor().insertText(text);
        return true;
    }
    if (auto* s = qobject_cast<QSpinBox*>(control)) {
        bool ok = false;
        const double d = QLocale(QLocale::German).toDouble(text, &ok);
        if (!ok)
            return false;
        s->setValue(qRound(d));
        return true;
    }
    if (auto* s = qobject_cast<QDoubleSpinBox*>(control)) {
        bool ok = false;
        const double d = QLocale(QLocale::German).toDouble(text, &ok);
        if (!ok)
            return false;
        s->setValue(d);
        return true;
    }
    if (auto* c = qobject_cast<QComboBox*>(control)) {
        if (!c->isEditable())
            return false;
        c->setEditText(text);
        return true;
    }
    return false;
}

bool RaiseQuestionYes(const QString& question) {
    return Vcl::Ask(Vcl::mtConfirmation, QString(), question, Vcl::mbYesNo, Vcl::mbYes) ==
           Vcl::mrYes;
}

bool RaiseQuestionYes(const QString& question, bool defaultYes, const QString& key, bool* kept) {
    if (kept)
        *kept = false;
    TDM1* dm = key.isEmpty() ? nullptr : DM1();
    if (dm && !dm->Connected())
        dm = nullptr;
    if (dm) {
        const QString answer = dm->LoadLastVal(key, {}, true);
        if (answer == QLatin1String("1") || answer == QLatin1String("0")) {
            if (kept)
                *kept = true;
            return answer == QLatin1String("1");
        }
    }
    Vcl::TQuestion q;
    q.kind = Vcl::mtConfirmation;
    q.text = question;
    q.buttons = Vcl::mbYesNo;
    q.defaultButton = defaultYes ? Vcl::mbYes : Vcl::mbNo;
    bool dontAsk = false;
    if (dm) {
        q.checkBoxCaption = QStringLiteral("Nicht mehr fragen");
        q.checkBoxHint = QStringLiteral("Diese Antwort merken und die Frage nicht mehr stellen");
        q.checkBoxChecked = &dontAsk;
    }
    const Vcl::TModalResult answer = Vcl::Dialogs::Instance().Ask(q);
    if (dm && dontAsk && (answer == Vcl::mrYes || answer == Vcl::mrNo))
        dm->SaveLastVal(key, answer == Vcl::mrYes ? QStringLiteral("1") : QStringLiteral("0"),
                        true);
    return answer == Vcl::mrYes;
}

void RaiseCriticalError(const QString& message) {
    Vcl::Ask(Vcl::mtError, QString(), message, Vcl::mbOK);
    throw EAbort();
}

} // namespace Korvexutils

#include "Vcl.Services.h"
#include "VoskExceptions.h"

namespace Korvexutils {

void RaiseInformation(const QString& message) {
    Vcl::Ask(Vcl::mtInformation, QStringLiteral("Information"), message, Vcl::mbOK);
}

void RaiseError(const QString& message) {
    ShowError(message);
    throw EAbort();
}

void ShowError(const QString& message) {
    Vcl::Ask(Vcl::mtError, QStringLiteral("Fehler"), message, Vcl::mbOK);
}

} // namespace Korvexutils

namespace Korvexutils {

namespace {
struct ButtonName {
    const char* name;
    Vcl::TMsgDlgBtn button;
    Vcl::TModalResult result;
};
constexpr ButtonName kButtons[] = {
    {"Yes", Vcl::mbYes, Vcl::mrYes},          {"No", Vcl::mbNo, Vcl::mrNo},
    {"OK", Vcl::mbOK, Vcl::mrOk},             {"Cancel", Vcl::mbCancel, Vcl::mrCancel},
    {"Close", Vcl::mbClose, Vcl::mrClose},    {"Abort", Vcl::mbAbort, Vcl::mrAbort},
    {"Retry", Vcl::mbRetry, Vcl::mrRetry},    {"Ignore", Vcl::mbIgnore, Vcl::mrIgnore},
    {"Help", Vcl::mbHelp, Vcl::mrHelp},       {"YesToAll", Vcl::mbYesToAll, Vcl::mrYesToAll},
    {"NoToAll", Vcl::mbNoToAll, Vcl::mrNoToAll},
};
const ButtonName* buttonNamed(const QString& caption) {
    for (const ButtonName& b : kButtons)
        if (caption.section(u'=', 0, 0).trimmed().compare(QLatin1String(b.name),
                                                          Qt::CaseInsensitive) == 0)
            return &b;
    return nullptr;
}
} // namespace

QString RaiseQuestionBtn(const QString& question, const QString& captions, int defaultIndex,
                         Vcl::TMsgDlgType kind) {
    const QStringList names = captions.split(u'|', Qt::SkipEmptyParts);
    unsigned buttons = 0;
    Vcl::TQuestion q;
    q.kind = kind;
    q.text = question;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const ButtonName* b = buttonNamed(names[i]);
        if (!b)
            throw EVoskException(QStringLiteral("Unbekannte Schaltfläche \"%1\"").arg(names[i]));
        buttons |= b->button;
        if (i == defaultIndex)
            q.defaultButton = b->button;
        // "NoToAll=Nie": the button's own caption.
        if (names[i].contains(u'='))
            q.buttonCaptions.insert(int(b->button),
                                    TranslateTextMarkers(names[i].section(u'=', 1).trimmed()));
    }
    q.buttons = Vcl::TMsgDlgButtons::fromInt(int(buttons ? buttons : unsigned(Vcl::mbOK)));
    const Vcl::TModalResult answer = Vcl::Dialogs::Instance().Ask(q);
    for (const QString& name : names)
        if (const ButtonName* b = buttonNamed(name); b && b->result == answer)
            return name.section(u'=', 0, 0).trimmed();
    return {};
}

bool RaiseDeleteMarkable(bool alreadyMarked) {
    if (alreadyMarked) {
        if (Vcl::Ask(Vcl::mtConfirmation, QString(),
                     QStringLiteral("Der Datensatz ist bereits als gelöscht markiert.\n"
                                    "Soll er endgültig gelöscht werden?"),
                     Vcl::mbYesNo, Vcl::mbNo) == Vcl::mrYes)
            return false;
        throw EAbort();
    }
    switch (Vcl::Ask(Vcl::mtConfirmation, QString(),
                     QStringLiteral("Datensatz als gelöscht markieren?\n"
                                    "Ja: markieren, Nein: endgültig löschen"),
                     Vcl::mbYesNoCancel, Vcl::mbYes)) {
    case Vcl::mrYes:
        return true;
    case Vcl::mrNo:
        return false;
    default:
        throw EAbort();
    }
}

} // namespace Korvexutils

#include "Vcl.Components.h"

namespace Korvexutils {

bool ClassIs(const QObject* obj, const QString& className) {
    return obj && Vcl::InheritsFromName(obj, className);
}

} // namespace Korvexutils

#include "Q32GrundForm.h"
#include "TVoskClass.h"
#include "UDM1.h"
#include "Vcl.Components.h"
#include "VoskFormParams.h"
#include "VoskQuery2.h"

#include <QAbstractButton>
#include <QDateEdit>
#include <QLabel>

namespace Korvexutils {

namespace {

// A field of one of the form's data classes at its current record.
bool FieldValue(QObject* form, const QString& name, QVariant& value) {
    for (TVoskClass* data : Vcl::ComponentsOf<TVoskClass>(form)) {
        if (!data->HasRecord())
            continue;
        const TVoskDataField f = data->FindField(name);
        if (f.Exists()) {
            value = f.Value();
            return true;
        }
    }
    return false;
}

} // namespace

QStringList FillQueryParamsWithFormValues(TVoskQuery2& query, QObject* form,
                                          const QString& sourceName, bool keepUnmatched) {
    QStringList lines;
    for (const QString& name : query.ParamNames()) {
        TVoskParam* p = query.FindParam(name);
        QVariant value;
        bool found = false;
        if (form) {
            if (QObject* c = Vcl::FindComponent(form, name)) {
                value = GetControlValue(c);
                found = value.isValid();
            }
            if (!found)
                found = FieldValue(form, name, value);
            if (!found)
                if (auto* f = qobject_cast<TQ32GrundForm*>(form); f && f->ParameterExists(name)) {
                    value = f->GetParameterStr(name);
                    found = true;
                }
        }
        if (found) {
            p->SetValue(value);
            lines << QStringLiteral("%1.%2=%3").arg(sourceName, name, value.toString());
        } else if (keepUnmatched) {
            continue;
        } else {
            p->SetNull();
            lines << QStringLiteral("%1.%2=<NULL>").arg(sourceName, name);
            if (TDM1* dm = DM1())
                dm->LogEvent(QStringLiteral("FillQueryParamsWithFormValues: %1 ohne Wert aus %2")
                                 .arg(name, sourceName));
        }
    }
    return lines;
}

Vcl::TModalResult RaiseQuestionEx(const QString& question, Vcl::TMsgDlgButtons buttons,
                                  Vcl::TMsgDlgBtn defaultButton) {
    return Vcl::Ask(Vcl::mtConfirmation, QString(), question, buttons, defaultButton);
}

QString MacheStellig(const QString& text, int length) {
    return text.size() >= length ? text : text + QString(length - text.size(), u' ');
}

} // namespace Korvexutils
