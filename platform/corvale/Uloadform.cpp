#include "Uloadform.h"
#include "Vcl.Accessible.h"


#include <QLabel>
#include <QVBoxLayout>

TLoadForm::TLoadForm(QObject* owner, QWidget* parent) : TVoskBaseForm(owner, parent) {
    setObjectName(QStringLiteral("LoadForm"));
    setWindowTitle(QStringLiteral("Laden"));
    SetBorderStyle(Vcl::bsDialog);
    SetPosition(Vcl::poMainFormCenter);
    auto* layout = new QVBoxLayout(this);
    lbStatus = new QLabel(this);
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    lbStatus->setMinimumWidth(360);
    lbStatus->setTextFormat(Qt::PlainText);
    Vcl::SetContentCaption(lbStatus, QStringLiteral("Status"));
    lbStatus->setToolTip(QStringLiteral("Status"));
    layout->addWidget(lbStatus);
}

void TLoadForm::SetStatus(const QString& text) {
    lbStatus->setText(text);
    Vcl::SetMessageDescription(this, text);
    if (lbStatus->isVisible())
        lbStatus->repaint();
}

QString TLoadForm::Status() const { return lbStatus->text(); }
