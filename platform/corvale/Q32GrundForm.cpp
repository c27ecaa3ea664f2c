#include "Q32GrundForm.h"

#include "StrUtils.h"
#include "Vcl.Components.h"

#include <QDebug>

namespace {
QPointer<QWidget> g_focusForm;
QPointer<QWidget> g_focusWidget;
} // namespace

TVoskBaseForm::TVoskBaseForm(QObject* owner, QWidget* parent) : Vcl::TForm(owner, parent) {}

TQ32GrundForm::TQ32GrundForm(QObject* owner, QWidget* parent) : TVoskBaseForm(owner, parent) {}

void TQ32GrundForm::SetParameter(const QString& name, const QString& value) {
    const QString prefix = name + QLatin1Char('=');
    for (QString& line : m_parameters)
        if (line.startsWith(prefix, Qt::CaseInsensitive)) {
            line = prefix + value;
            return;
        }
    m_parameters.append(prefix + value);
}

bool TQ32GrundForm::ParameterExists(const QString& name) const {
    bool found = false;
    Rtl::ValueOf(m_parameters, name, &found);
    return found;
}

QString TQ32GrundForm::GetParameterStr(const QString& name, const QString& def) const {
    bool found = false;
    const QString value = Rtl::ValueOf(m_parameters, name, &found);
    return found ? value : def;
}

int TQ32GrundForm::GetParameterInt(const QString& name, int def) const {
    bool ok = false;
    const int value = GetParameterStr(name).trimmed().toInt(&ok);
    return ok ? value : def;
}

bool TQ32GrundForm::GetParameterBool(const QString& name, bool def) const {
    if (!ParameterExists(name))
        return def;
    return Rtl::StrToBoolDef(GetParameterStr(name).trimmed(), def);
}

void TQ32GrundForm::FocusError_Init(QWidget* form) {
    g_focusForm = form;
    g_focusWidget = form ? form->focusWidget() : nullptr;
}

QWidget* TQ32GrundForm::FocusError_Widget() { return g_focusWidget.data(); }

void TQ32GrundForm::FocusError_Exec(const QString& location, const QString& message) {
    qWarning().noquote() << "FocusError:" << location << message << "vorher:"
                         << (g_focusWidget ? Vcl::FullName(g_focusWidget) : QStringLiteral("-"));
    if (g_focusWidget && g_focusWidget->isVisible() && g_focusWidget->isEnabled())
        g_focusWidget->setFocus();
}
