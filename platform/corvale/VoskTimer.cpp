#include "VoskTimer.h"

#include "EventGuard.h"

std::function<void(QObject*)> TVoskColumnHandler::F2ButtonCode;

TVoskTimer::TVoskTimer(QObject* parent) : QTimer(parent) {
    connect(this, &QTimer::timeout, this, [this] {
        if (OnTimer)
            Rtl::Guarded([this] { OnTimer(this); }, this);
    });
}

void TVoskTimer::SetEnabled(bool enabled) {
    if (enabled)
        start();
    else
        stop();
}
