#include "TQ32Control.h"

#include "TVoskClass.h"

TQ32Control::TQ32Control(TVoskClass* dataClass) : QObject(dataClass) {
    setObjectName(QStringLiteral("Q32Control"));
}

TQ32Control* TQ32Control::Of(const TVoskClass* dataClass) {
    return dataClass ? dataClass->findChild<TQ32Control*>(QString(), Qt::FindDirectChildrenOnly)
                     : nullptr;
}

TVoskClass* TQ32Control::VoskClass() const {
    return qobject_cast<TVoskClass*>(parent());
}

void TQ32Control::AddEditControl(QWidget* control) {
    if (control && !GetEditControlsList().contains(control))
        m_controls.append(control);
}

QList<QWidget*> TQ32Control::GetEditControlsList() const {
    QList<QWidget*> list;
    for (const QPointer<QWidget>& c : m_controls)
        if (c)
            list.append(c.data());
    return list;
}
