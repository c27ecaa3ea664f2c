#include "Vcl.Application.h"

#include "EventGuard.h"
#include "Vcl.Components.h"
#include "Vcl.Services.h"
#include "VoskExceptions.h"

#include <QDebug>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTimer>

namespace Vcl {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    InstallFallbackErrorDisplay();
    const QLocale german(QLocale::German, QLocale::Germany);
    QLocale::setDefault(german);
    if (m_qtTranslator.load(german, QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(&m_qtTranslator);
}

TApplication::~TApplication() {
    Rtl::FallbackErrorDisplay.Reset();
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    // The receiver goes to the display as it is: a QPointer taken here would also be taken on
    // objects already in their destructor (child events), which Qt does not allow.
    bool handled = false;
    Rtl::Guarded([&] { handled = QApplication::notify(receiver, event); }, receiver);
    return handled;
}

void InstallFallbackErrorDisplay() {
    Rtl::FallbackErrorDisplay.Set([](std::exception_ptr e, QObject* sender) {
        const QString message = Rtl::ExceptionMessage(e);
        QString details = Rtl::ExceptionClassName(e);
        if (sender)
            details += QStringLiteral("\nSender: %1:%2").arg(FullName(sender), ClassName(sender));
        qWarning().noquote() << "Unhandled exception:" << message << "|" << details;
        Ask(mtError, QApplication::applicationDisplayName(), message, mbOK, mbOK, details);
    });
}

void QueueCall(QObject* context, std::function<void()> call) {
    QObject* target = context ? context : QCoreApplication::instance();
    QPointer<QObject> sender(context);
    // The sender is read after the call: a call that frees its own context must not hand a
    // dangling sender to the error display.
    QTimer::singleShot(0, target, [call = std::move(call), sender] {
        try {
            call();
        } catch (...) {
            Rtl::HandleException(std::current_exception(), sender.data());
        }
    });
}

TMessageEvent::TMessageEvent(int msg, qint64 wparam, qint64 lparam)
    : QEvent(EventType()), m_msg(msg), m_wparam(wparam), m_lparam(lparam) {}

QEvent::Type TMessageEvent::EventType() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

void PostMessage(QObject* receiver, int msg, qint64 wparam, qint64 lparam) {
    if (receiver)
        QCoreApplication::postEvent(receiver, new TMessageEvent(msg, wparam, lparam));
}

namespace {
bool s_terminated = false;
}

bool ApplicationTerminated() { return s_terminated; }
void SetApplicationTerminated(bool terminated) { s_terminated = terminated; }

} // namespace Vcl
