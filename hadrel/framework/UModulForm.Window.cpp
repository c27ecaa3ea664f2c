// The module form's window size limit and the debugger banner of the activation refresh.

#include "UModulForm.h"

#include <SysPackages.h>
#include <Vcl.Components.h>

#include <QBoxLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScreen>

QRect UModulForm::FitLargerIntoArea(const QRect& window, const QRect& area) {
    QRect r = window;
    if (area.isEmpty())
        return r;
    if (r.width() > area.width()) {
        r.setWidth(area.width());
        r.moveLeft(area.left());
    }
    if (r.height() > area.height()) {
        r.setHeight(area.height());
        r.moveTop(area.top());
    }
    return r;
}

void TModulForm::CorrectMaxCoord() {
    // The window manager and the MDI area size maximised and minimised windows themselves.
    if (FLoading || !ToolForm || m_fittingMax || !isVisible() || WindowState() != Vcl::wsNormal)
        return;
    QWidget* frame = Frame();
    QRect area;
    QRect now;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frame)) {
        if (!sub->mdiArea())
            return;
        area = sub->mdiArea()->viewport()->rect();
        now = sub->geometry();
    } else if (frame->isWindow() && frame->screen()) {
        area = frame->screen()->availableGeometry();
        now = frame->frameGeometry();
    } else {
        return;
    }
    const QRect target = UModulForm::FitLargerIntoArea(now, area);
    if (target == now)
        return;
    m_fittingMax = true;
    // The frame adds its decoration; resize and move address the window without it.
    frame->resize(frame->size() + (target.size() - now.size()));
    frame->move(frame->pos() + (target.topLeft() - now.topLeft()));
    m_fittingMax = false;
}

void TModulForm::CreateDislabledDebugButton() {
    auto* b = Vcl::Owned(this, new QPushButton(ClientArea()),
                         QStringLiteral("btFormActivateRefreshDisabled"));
    b->setText(QStringLiteral("[DEBUGGER] ") +
               QStringLiteral("OnFormActivate: AutoRefresh der Datasets aktivieren"));
    QFont f = b->font();
    f.setBold(true);
    b->setFont(f);
    const QString hint = QStringLiteral("Solange diese Schaltfläche da ist, werden die Daten beim "
                                        "Aktivieren des Fensters nicht neu gelesen");
    b->setToolTip(hint);
    b->setAccessibleName(b->text());
    b->setAccessibleDescription(hint);
    ClientLayout()->insertWidget(0, b);
    connect(b, &QPushButton::clicked, this, [this, b] {
        // Out of the owner's list at once: a refresh posted meanwhile runs for real.
        Vcl::SetOwner(b, nullptr);
        b->hide();
        focusNextChild();
        b->deleteLater();
    });
}
