#include "TfrmToDesignBase.h"

#include "Korvexutils.h"

#include <UConstants.h>
#include <Vcl.Components.h>

#include <QRegularExpression>
#include <QWidget>

TfrmToDesignBase::TfrmToDesignBase(QObject* owner, QWidget* parent) : TQ32GrundForm(owner, parent) {
    if (auto* ownerForm = qobject_cast<QWidget*>(owner)) {
        m_modulNameOwnerForm = Korvexutils::FindModulName(ownerForm);
        if (m_modulNameOwnerForm.isEmpty())
            m_modulNameOwnerForm = Vcl::ClassName(ownerForm);
    }
}

QString TfrmToDesignBase::PrintSettingsFileName() const {
    QString name = m_modulName.isEmpty() ? Vcl::ClassName(this) : m_modulName;
    // A module name is data: it names a file inside the folder, never a path.
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
    if (name.startsWith(u'.'))
        name.prepend(u'_');
    return CurrentSession_UConstants().BasePath() + QStringLiteral("PrintSettings_") + name +
           QStringLiteral(".ini");
}
