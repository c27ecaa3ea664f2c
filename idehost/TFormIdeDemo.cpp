#include "TFormIdeDemo.h"

#include "Vcl.Components.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFormIdeDemo::TFormIdeDemo(QObject* owner) : TVoskBaseForm(owner) {
    setObjectName(QStringLiteral("FormIdeDemo"));
    setWindowTitle(QStringLiteral("Entwurfsbeispiel"));
    resize(480, 220);
    auto* layout = new QFormLayout(this);
    LabelName = Vcl::Owned(this, new QLabel(QStringLiteral("&Name:"), this), QStringLiteral("LabelName"));
    EditName = Vcl::Owned(this, new QLineEdit(this), QStringLiteral("EditName"));
    EditName->setToolTip(QStringLiteral("Name"));
    LabelName->setBuddy(EditName);
    CheckAktiv = Vcl::Owned(this, new QCheckBox(QStringLiteral("&Aktiv"), this), QStringLiteral("CheckAktiv"));
    CheckAktiv->setToolTip(QStringLiteral("Aktiv"));
    ButtonSpeichern = Vcl::Owned(this, new QPushButton(QStringLiteral("&Speichern"), this),
                                 QStringLiteral("ButtonSpeichern"));
    ButtonSpeichern->setToolTip(QStringLiteral("Speichern"));
    ButtonSpeichern->setAccessibleName(QStringLiteral("Speichern"));
    layout->addRow(LabelName, EditName);
    layout->addRow(QString(), CheckAktiv);
    layout->addRow(QString(), ButtonSpeichern);
}
