#include "Morwick.IsIDERunning.h"

#include "Morwick.MainU.h"
#include "Morwick.UtiltiesU.h"

#include "UnitTable.h"
#include "Vcl.Components.h"
#include "Vcl.Forms.h"
#include "Vcl.Services.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

using namespace ToolsAPI;

namespace {

QPointer<QTimer> s_timer;
QPointer<TStartDummy> s_startDummy;
int s_freed = 0;

constexpr quint32 WS_EX_APPWINDOW_TOOLWINDOW = 0x40080;

QString productName() {
    IOTAServices* services = Morwick::_BorlandServicesIntf();
    return services ? services->GetProductName() : QStringLiteral("IDE");
}

bool isSplash(const Vcl::TForm* f) {
    return f->metaObject() == &Vcl::TForm::staticMetaObject &&
           f->windowTitle() == QLatin1String("SplashScreen");
}

void unitInit() {
    s_startDummy = new TStartDummy;
    s_timer = new QTimer;
    s_timer->setInterval(1);
    QObject::connect(s_timer, &QTimer::timeout, s_startDummy, [] { s_startDummy->TimerEvent(); });
    s_timer->start();
}

void unitFini() {
    // A timer still waiting would call into this library after it is gone.
    delete s_timer.data();
    delete s_startDummy.data();
    try {
        if (QWidget* main = Vcl::Screen::MainForm())
            if (auto dummies = Vcl::ComponentsOf<TDestroyDummy>(main); !dummies.isEmpty())
                delete dummies.first();
    } catch (...) {
    }
}

} // namespace

KORVEX_UNIT("morwick", "Morwick.IsIDERunning", unitInit, unitFini);

namespace Morwick {

void TTaskbar::AddExStyles(QWidget* window, quint32 styles) {
    m_calls << QStringLiteral("AddExStyles %1 0x%2")
                   .arg(window ? window->windowTitle() : QString())
                   .arg(styles, 0, 16);
}

void TTaskbar::SetProgressIndeterminate(QWidget* window) {
    m_calls << QStringLiteral("ProgressIndeterminate %1").arg(window ? window->windowTitle() : QString());
}

void TTaskbar::SetThumbnailTooltip(QWidget* window, const QString& text) {
    m_calls << QStringLiteral("ThumbnailTooltip %1: %2")
                   .arg(window ? window->windowTitle() : QString(), text);
}

void TTaskbar::ShowShutdownWindow(const QString& caption, const QString& tooltip) {
    m_calls << QStringLiteral("ShutdownWindow %1: %2").arg(caption, tooltip);
}

TTaskbar& TTaskbar::Instance() {
    static TTaskbar taskbar;
    return taskbar;
}

bool IDEIsReady() {
    if (!QApplication::instance())
        return false;
    if (Vcl::Screen::MainForm())
        return true;
    for (Vcl::TForm* f : Vcl::Screen::Forms())
        if (isSplash(f))
            return true;
    return false;
}

QTimer* StartTimer() { return s_timer.data(); }

void TaskbarStart() {
    const QString product = productName();
    const QList<Vcl::TForm*> forms = Vcl::Screen::Forms();
    for (auto it = forms.crbegin(); it != forms.crend(); ++it) {
        Vcl::TForm* f = *it;
        if (!isSplash(f))
            continue;
        const QString text = product + QStringLiteral(" wird gestartet");
        f->setWindowTitle(text);
        f->hide();
        TTaskbar::Instance().AddExStyles(f, WS_EX_APPWINDOW_TOOLWINDOW);
        f->show();
        TTaskbar::Instance().SetProgressIndeterminate(f);
        TTaskbar::Instance().SetThumbnailTooltip(f, text);
    }
    // Only with a main form: on the splash alone there is nothing to hang the dummy on yet.
    QWidget* main = Vcl::Screen::MainForm();
    if (!main)
        return;
    auto* dummy = new TDestroyDummy(main);
    if (auto* form = qobject_cast<Vcl::TForm*>(main)) {
        if (form->OnHide)
            Vcl::Ask(Vcl::mtWarning, QStringLiteral("DORNAX.Morwick"),
                     QStringLiteral("TAppBuilder.OnHide ist besetzt"), Vcl::mbOK);
        else
            dummy->MainFormHideHook(form);
    }
}

} // namespace Morwick

void TStartDummy::TimerEvent() {
    bool ready = false;
    try {
        ready = Morwick::IDEIsReady();
    } catch (...) {
    }
    if (!ready)
        return;
    s_timer->stop();
    s_timer->deleteLater();
    // Each step on its own: a failing taskbar must not keep the wizard out.
    try {
        Morwick::TaskbarStart();
    } catch (...) {
    }
    try {
        Morwick::DoRegister();
    } catch (...) {
    }
    try {
        Morwick::DoInit();
    } catch (...) {
    }
}

TDestroyDummy::TDestroyDummy(QObject* owner) : QObject(owner) {
    setObjectName(QStringLiteral("DestroyDummy"));
    Vcl::SetOwner(this, owner);
}

TDestroyDummy::~TDestroyDummy() {
    ++s_freed;
    // The hide handler goes with the dummy, so a later hide cannot reach a freed object.
    if (m_hooked)
        if (auto* form = qobject_cast<Vcl::TForm*>(Vcl::Owner(this)))
            form->OnHide = nullptr;
    BeforeDestruction();
}

void TDestroyDummy::MainFormHideHook(Vcl::TForm* form) {
    QPointer<TDestroyDummy> self(this);
    form->OnHide = [self](QObject* sender) {
        if (self)
            self->MainFormHide(sender);
    };
    m_hooked = true;
}

void TDestroyDummy::MainFormHide(QObject*) {
    // Not at once: the handler that calls this belongs to the main form and runs right now.
    deleteLater();
}

int TDestroyDummy::FreedCount() { return s_freed; }

void TDestroyDummy::BeforeDestruction() {
    try {
        const QString product = productName();
        Morwick::TTaskbar::Instance().ShowShutdownWindow(product + QStringLiteral(" wird beended"),
                                                         product + QStringLiteral(" wird beendet"));
    } catch (...) {
    }
}
