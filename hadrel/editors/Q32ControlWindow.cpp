#include "Q32ControlWindow.h"

#include "TQ32Control.h"
#include "TVoskClass.h"
#include "USondFunc.h"
#include "UnitTable.h"
#include "Vcl.Components.h"
#include <EventGuard.h>

#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace {

QString SafeClassName(const QObject* obj) { return obj ? Vcl::ClassName(obj) : QString(); }
QString SafeName(const QObject* obj) { return obj ? obj->objectName() : QString(); }

} // namespace

TControlWindow::TControlWindow(QObject* owner) : TAbstractControlWindow(owner) {
    setObjectName(QStringLiteral("ControlWindow"));
    setWindowTitle(QStringLiteral("F3"));
    resize(360, 220);
    auto* box = new QVBoxLayout(this);
    ScrollBox = Vcl::Owned(this, new QGroupBox(this), QStringLiteral("ScrollBox"));
    auto* inner = new QVBoxLayout(ScrollBox);
    lbEditSondfunc = Vcl::Owned(this, new QLabel(ScrollBox), QStringLiteral("lbEditSondfunc"));
    lbEditSondfunc->setAlignment(Qt::AlignCenter);
    lbEditSondfunc->setToolTip(QStringLiteral("Die Sonderfunktionen dieser Tabelle bearbeiten"));
    lbEditSondfunc->setAccessibleName(QStringLiteral("Sonderfunktionen bearbeiten"));
    lbEditSondfunc->setFocusPolicy(Qt::StrongFocus);
    lbEditSondfunc->installEventFilter(this);
    inner->addWidget(lbEditSondfunc);
    HintLabel = Vcl::Owned(this, new QLabel(this), QStringLiteral("HintLabel"));
    HintLabel->setWordWrap(true);
    HintLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    HintLabel->setToolTip(QStringLiteral("Woher die Daten dieses Feldes kommen"));
    box->addWidget(ScrollBox, 1);
    box->addWidget(HintLabel);
}

QString TControlWindow::GetClassInfo() const {
    QObject* owner = Vcl::Owner(this);
    if (!owner)
        owner = parent();
    if (auto* control = qobject_cast<TQ32Control*>(owner)) {
        TVoskClass* data = control->VoskClass();
        return QStringLiteral("Table=%1\nFormClass=%2\nDataSource=%3.%4")
            .arg(SqlTable(), SafeClassName(Vcl::Owner(control)), SafeClassName(data),
                 SafeName(data));
    }
    if (auto* data = qobject_cast<TVoskClass*>(owner))
        return QStringLiteral("Table=%1\nFormClass=%2\nDataSource=%3.%4")
            .arg(SqlTable(), SafeClassName(Vcl::Owner(data)), SafeClassName(data),
                 SafeName(data));
    return QStringLiteral("Table=%1\nUnknownSource=%2").arg(SqlTable(), SafeClassName(owner));
}

void TControlWindow::FormShow() {
    lbEditSondfunc->setText(QStringLiteral("<a href=\"#\">Edit Sondfunctions</a>"));
    lbEditSondfunc->setCursor(Qt::PointingHandCursor);
    HintLabel->setText(GetClassInfo() +
                       QStringLiteral("\nWas beim Ausführen des [F3] geladen wird,\n"
                                      "siehe Log \"F3/Antenne: ...\""));
}

void TControlWindow::showEvent(QShowEvent* e) {
    FormShow();
    TAbstractControlWindow::showEvent(e);
}

void TControlWindow::lbEditSondfuncClick() {
    auto* editor = new TFormSondFunc(this);
    editor->setWindowTitle(QStringLiteral("F3-SondFunc: ") +
                           GetClassInfo().replace(u'\n', u' '));
    editor->AssignToSqlTable(SqlTable());
}

bool TControlWindow::eventFilter(QObject* watched, QEvent* e) {
    if (watched == lbEditSondfunc &&
        (e->type() == QEvent::MouseButtonRelease ||
         (e->type() == QEvent::KeyPress &&
          (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Return ||
           static_cast<QKeyEvent*>(e)->key() == Qt::Key_Space)))) {
        Rtl::Guarded([this] { lbEditSondfuncClick(); }, this);
        return true;
    }
    return TAbstractControlWindow::eventFilter(watched, e);
}

namespace {
void InitUnit() {
    TQ32Control::ControlWindowFactory.Set([](QObject* owner) -> QWidget* {
        return new TControlWindow(owner);
    });
}
void FiniUnit() { TQ32Control::ControlWindowFactory.Reset(); }
} // namespace

KORVEX_UNIT("hadrel", "Q32ControlWindow", InitUnit, FiniUnit);
