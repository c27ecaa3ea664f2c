#include "Korvexcommonvcl.h"

#include "Vcl.Forms.h"
#include "Vcl.Services.h"

#include <QAbstractButton>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
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

std::pair<QRect, QRect> SplitScreenRects(const QRect& area) {
    const int half = area.width() / 2;
    return {QRect(area.left(), area.top(), half, area.height()),
            QRect(area.left() + half, area.top(), area.width() - half, area.height())};
}

void DoSplitScreen(QWidget* left, QWidget* right) {
    QWidget* first = left ? left->window() : nullptr;
    QWidget* second = right ? right->window() : nullptr;
    if (!first || !second || first == second)
        return;
    QScreen* screen = first->screen() ? first->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const auto [l, r] = SplitScreenRects(screen->availableGeometry());
    for (auto [w, rect] : {std::pair{first, l}, std::pair{second, r}}) {
        if (w->isMaximized() || w->isFullScreen())
            w->showNormal();
        // The frame (title bar and borders) goes inside the half too.
        const QMargins frame(w->geometry().left() - w->frameGeometry().left(),
                             w->geometry().top() - w->frameGeometry().top(),
                             w->frameGeometry().right() - w->geometry().right(),
                             w->frameGeometry().bottom() - w->geometry().bottom());
        w->setGeometry(rect.marginsRemoved(frame));
    }
}

int ShowModal(Vcl::TForm* form) { return form ? ModalForms::Instance().Run(form) : Vcl::mrCancel; }

Rtl::HookSlot<void(const QString&)> GReaderErrorProc;

} // namespace Korvexcommonvcl

namespace Korvexcommonvcl {

QString PlainCaption(const QString& caption) {
    QString t = caption;
    t.replace(QLatin1String("&&"), QLatin1String("\x01"));
    t.remove(u'&');
    t.replace(u'\x01', u'&');
    t = t.trimmed();
    while (t.endsWith(u':'))
        t.chop(1);
    return t.trimmed();
}

void NameControls(QWidget* root) {
    if (!root)
        return;
    // Form layouts know which label belongs to which field; the label becomes its buddy.
    for (QFormLayout* form : root->findChildren<QFormLayout*>())
        for (int r = 0; r < form->rowCount(); ++r) {
            QLayoutItem* fieldItem = form->itemAt(r, QFormLayout::FieldRole);
            QWidget* field = fieldItem ? fieldItem->widget() : nullptr;
            if (auto* label = qobject_cast<QLabel*>(form->labelForField(field)); label && field &&
                                                                                   !label->buddy())
                label->setBuddy(field);
        }
    for (QLabel* label : root->findChildren<QLabel*>()) {
        QWidget* buddy = label->buddy();
        const QString name = PlainCaption(label->text());
        if (!buddy || name.isEmpty())
            continue;
        if (buddy->accessibleName().isEmpty())
            buddy->setAccessibleName(name);
        if (buddy->toolTip().isEmpty())
            buddy->setToolTip(name);
    }
    // Buttons Qt's own widgets make for themselves, named in English or not at all.
    static const std::pair<const char*, const char*> internal[] = {
        {"ScrollLeftButton", "Nach links blättern"},
        {"ScrollRightButton", "Nach rechts blättern"},
        {"qt_toolbar_ext_button", "Weitere Schaltflächen"},
    };
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>()) {
        for (const auto& [name, german] : internal)
            if (b->objectName() == QLatin1String(name)) {
                b->setAccessibleName(QString::fromUtf8(german));
                b->setToolTip(QString::fromUtf8(german));
            }
        if (b->inherits("QTableCornerButton")) {
            b->setAccessibleName(QStringLiteral("Alle Zeilen markieren"));
            b->setToolTip(QStringLiteral("Alle Zeilen markieren"));
        }
        const QString tip = PlainCaption(b->toolTip());
        const QString name = tip.isEmpty() ? PlainCaption(b->text()) : tip;
        if (name.isEmpty())
            continue;
        if (b->accessibleName().isEmpty())
            b->setAccessibleName(name);
        if (b->toolTip().isEmpty())
            b->setToolTip(name);
    }
}

} // namespace Korvexcommonvcl
