#pragma once
// Catches what the guard would show the user, for the lifetime of the object.

#include "EventGuard.h"
#include "VoskExceptions.h"

#include <QList>
#include <QObject>
#include <QStringList>

struct ClientDisplay {
    QStringList seen;
    QList<QObject*> senders;
    ClientDisplay() {
        Rtl::ClientErrorDisplay.Set([this](std::exception_ptr e, QObject* sender) {
            seen << Rtl::ExceptionMessage(e);
            senders << sender;
        });
    }
    ~ClientDisplay() { Rtl::ClientErrorDisplay.Reset(); }
    ClientDisplay(const ClientDisplay&) = delete;
    ClientDisplay& operator=(const ClientDisplay&) = delete;
};
