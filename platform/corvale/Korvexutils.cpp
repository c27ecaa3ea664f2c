#include "Korvexutils.h"

#include "TVoskDBEdit.h"
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

namespace Korvexutils {

QString MacheStellig(const QString& text, int length) {
    return text.size() >= length ? text : text + QString(length - text.size(), u' ');
}

int RaiseQuestionBtn(const QString& question, const QString& buttons) {
    Vcl::TMsgDlgButtons set = {};
    Vcl::TMsgDlgBtn first = Vcl::mbNone;
    for (const QString& name : buttons.split(u'|', Qt::SkipEmptyParts)) {
        const QString n = name.trimmed().toLower();
        Vcl::TMsgDlgBtn b = Vcl::mbNone;
        if (n == QLatin1String("yes"))
            b = Vcl::mbYes;
        else if (n == QLatin1String("no"))
            b = Vcl::mbNo;
        else if (n == QLatin1String("ok"))
            b = Vcl::mbOK;
        else if (n == QLatin1String("cancel"))
            b = Vcl::mbCancel;
        if (b == Vcl::mbNone)
            continue;
        set |= b;
        if (first == Vcl::mbNone)
            first = b;
    }
    if (!set)
        set = Vcl::mbOK;
    const Vcl::TModalResult r =
        Vcl::Ask(Vcl::mtConfirmation, QString(), question, set, first);
    return r == Vcl::mrNone ? int(Vcl::mrCancel) : int(r);
}

} // namespace Korvexutils
