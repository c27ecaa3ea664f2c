#include "Korvexutils.h"

#include "TVoskDBEdit.h"
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
    Vcl::Ask(Vcl::mtError, QStringLiteral("Fehler"), message, Vcl::mbOK);
    throw EAbort();
}

} // namespace Korvexutils
