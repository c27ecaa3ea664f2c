#include "TAbstractControlWindow.h"

#include "TQ32Control.h"
#include "TVoskClass.h"

TAbstractControlWindow::TAbstractControlWindow(QObject* owner) : TVoskBaseForm(owner) {
    SetBorderStyle(Vcl::bsToolWindow);
    if (auto* c = qobject_cast<TVoskClass*>(owner))
        m_sqlTable = c->GetSqlTableName();
    else if (auto* q = qobject_cast<TQ32Control*>(owner); q && q->VoskClass())
        m_sqlTable = q->VoskClass()->GetSqlTableName();
}
