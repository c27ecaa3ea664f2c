#include "VoskFormParams.h"

#include "TVoskClass.h"
#include "Vcl.Components.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextEdit>

namespace Korvexutils {

namespace {

const QRegularExpression& placeholderRe() {
    static const QRegularExpression re(QStringLiteral("<#([[:alnum:]_]*?)#>"),
                                       QRegularExpression::UseUnicodePropertiesOption);
    return re;
}

// Data classes of the form at any depth of ownership, in the order they were made.
void collectClasses(const QObject* owner, QList<TVoskClass*>& classes) {
    for (QObject* c : Vcl::Components(owner)) {
        if (auto* d = qobject_cast<TVoskClass*>(c))
            classes.append(d);
        collectClasses(c, classes);
    }
}

bool valueOf(const QObject* form, const QList<TVoskClass*>& classes, const QString& name,
             QVariant& value) {
    if (QObject* control = Vcl::FindComponent(form, name); control && control->isWidgetType()) {
        value = GetControlValue(control);
        return true;
    }
    for (TVoskClass* c : classes) {
        if (!c->HasRecord())
            continue;
        const TVoskDataField f = c->FindField(name);
        if (f.Exists()) {
            value = f.Value();
            return true;
        }
    }
    return false;
}

} // namespace

QStringList StringParamNames(const QString& text) {
    QStringList names;
    auto it = placeholderRe().globalMatch(text);
    while (it.hasNext()) {
        const QString name = it.next().captured(1);
        if (!names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    }
    return names;
}

TStringParams FillStringParamsWithFormValuesOrDataSources(const QObject* form,
                                                          const QString& text) {
    TStringParams params;
    const QStringList names = StringParamNames(text);
    if (names.isEmpty())
        return params;
    QList<TVoskClass*> classes;
    if (form)
        collectClasses(form, classes);
    for (const QString& name : names) {
        TStringParam p;
        p.name = name;
        if (form)
            p.found = valueOf(form, classes, name, p.value);
        params.append(p);
    }
    return params;
}

QString ReplaceStringParams(const QString& text, const TStringParams& params,
                            const std::function<QString(const TStringParam&)>& fill) {
    QString out;
    qsizetype last = 0;
    auto it = placeholderRe().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(text).mid(last, m.capturedStart() - last);
        TStringParam param{m.captured(1), {}, false};
        for (const TStringParam& p : params)
            if (p.name.compare(param.name, Qt::CaseInsensitive) == 0) {
                param = p;
                break;
            }
        out += fill(param);
        last = m.capturedEnd();
    }
    out += QStringView(text).mid(last);
    return out;
}

QVariant GetControlValue(const QObject* control) {
    if (auto* e = qobject_cast<const QLineEdit*>(control))
        return e->text();
    if (auto* c = qobject_cast<const QComboBox*>(control))
        return c->currentText();
    if (auto* b = qobject_cast<const QAbstractButton*>(control))
        return b->isCheckable() ? QVariant(b->isChecked()) : QVariant(b->text());
    if (auto* d = qobject_cast<const QDateTimeEdit*>(control))
        return d->displayedSections() & QDateTimeEdit::TimeSections_Mask ? QVariant(d->dateTime())
                                                                         : QVariant(d->date());
    if (auto* s = qobject_cast<const QAbstractSpinBox*>(control)) {
        const QVariant v = s->property("value");
        return v.isValid() ? v : QVariant(s->text());
    }
    if (auto* p = qobject_cast<const QPlainTextEdit*>(control))
        return p->toPlainText();
    if (auto* t = qobject_cast<const QTextEdit*>(control))
        return t->toPlainText();
    if (auto* l = qobject_cast<const QLabel*>(control))
        return l->text();
    return control ? control->property("text") : QVariant();
}

QString fieldname_get(const QString& text) {
    const QRegularExpressionMatch m = placeholderRe().match(text);
    return m.hasMatch() ? m.captured(1) : QString();
}

bool isItemTwice(const QMenu* menu, const QVariant& dataValue, const QString& caption) {
    if (!menu)
        return false;
    for (const QAction* a : menu->actions()) {
        if (a->menu() && isItemTwice(a->menu(), dataValue, caption))
            return true;
        if (!a->isSeparator() && a->data() == dataValue && a->text() == caption)
            return true;
    }
    return false;
}

} // namespace Korvexutils
