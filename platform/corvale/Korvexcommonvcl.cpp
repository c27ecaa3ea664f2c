#include "Korvexcommonvcl.h"

#include "Vcl.Forms.h"
#include "Vcl.Services.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>

namespace Korvexcommonvcl {

int RibbonHeight = 0;
bool UseLatestCommonDialogs = false;

QRect CorrectedWindowRect(const QRect& window, const QRect& area, bool keepSize) {
    if (!area.isValid())
        return window;
    QRect r = window;
    if (!keepSize) {
        r.setWidth(std::min(r.width(), area.width()));
        r.setHeight(std::min(r.height(), area.height()));
    }
    if (r.right() > area.right())
        r.moveRight(area.right());
    if (r.bottom() > area.bottom())
        r.moveBottom(area.bottom());
    if (r.left() < area.left())
        r.moveLeft(area.left());
    if (r.top() < area.top())
        r.moveTop(area.top());
    return r;
}

void CorrectWindowPosition(QWidget* form, int mode) {
    if (!form)
        return;
    QWidget* frame = form;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget()))
        frame = sub;
    QRect area;
    if (!frame->isWindow() && frame->parentWidget()) {
        area = frame->parentWidget()->rect();
    } else {
        QScreen* scr = frame->screen() ? frame->screen() : QGuiApplication::primaryScreen();
        if (!scr)
            return;
        area = scr->availableGeometry();
    }
    const QRect now = frame->isWindow() ? frame->frameGeometry() : frame->geometry();
    const QRect target = CorrectedWindowRect(now, area, mode == 1);
    if (target == now)
        return;
    // The frame adds its decoration; move and resize address the window without it.
    const QPoint shift = target.topLeft() - now.topLeft();
    const QSize grow = target.size() - now.size();
    if (!grow.isNull())
        frame->resize(frame->size() + grow);
    frame->move(frame->pos() + shift);
}

bool RaiseQuestion(const QString& question, bool defaultYes, const QString& yesText,
                   const QString& noText) {
    Q_UNUSED(yesText)
    Q_UNUSED(noText)
    return Vcl::Ask(Vcl::mtConfirmation, QStringLiteral("KORVEX ERP"), question, Vcl::mbYesNo,
                    defaultYes ? Vcl::mbYes : Vcl::mbNo) == Vcl::mrYes;
}

namespace {

class DefaultModalForms final : public ModalForms {
public:
    int Run(Vcl::TForm* form) override { return form->ShowModal(); }
};

ModalForms*& Current() {
    static ModalForms* current = nullptr;
    return current;
}

} // namespace

ModalForms& ModalForms::Instance() {
    static DefaultModalForms fallback;
    return Current() ? *Current() : fallback;
}

ModalForms* ModalForms::SetInstance(ModalForms* forms) {
    ModalForms* old = Current();
    Current() = forms;
    return old;
}

int ShowModal(Vcl::TForm* form) { return form ? ModalForms::Instance().Run(form) : Vcl::mrCancel; }

Rtl::HookSlot<void(const QString&)> GReaderErrorProc;

} // namespace Korvexcommonvcl
